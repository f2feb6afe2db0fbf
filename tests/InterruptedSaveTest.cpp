// A save cut short between the delete of the old file and the rename of the new one, as on FAT
// and exFAT: the new file is taken where it is whole, and the next save puts it in place.
#include "CapturedSeams.h"
#include "FreshWorkingFolder.h"
#include "PortNames.h"
#include "SettingsFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void Write(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

std::string Read(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr const char* kAbsent = nullptr;
const std::string kBoth = "[input]\r\nname=Groovebox\r\nunit=1\r\nposition=3\r\n\r\n"
                          "[output]\r\nname=App Out\r\nunit=1\r\nposition=4\r\n\r\n";
const std::string kOld = "[input]\r\nname=Old In\r\nunit=1\r\nposition=3\r\n\r\n"
                         "[output]\r\nname=Old Out\r\nunit=1\r\nposition=4\r\n\r\n";

// What the folder holds, and what the start takes: the five fields (as the file stores them:
// 10 as 13 10) or none, and the two names or none.
const struct {
    const char* what;
    const char* settings;
    std::string settingsNew;
    const char* portNames;
    std::string portNamesNew;
    std::string loaded; // empty: "No settings to load"
    std::string names;  // input and output names, "+"-joined; empty: none
} kFolders[] = {
    {"only the new files, whole",
     kAbsent,
     {2, 0, 1, 3, 4},
     kAbsent,
     kBoth,
     {2, 0, 1, 3, 4},
     "Groovebox+App Out"},
    {"a line end stored as two bytes",
     kAbsent,
     {13, 10, 1, 1, 3, 4},
     kAbsent,
     kBoth,
     {13, 10, 1, 1, 3, 4},
     "Groovebox+App Out"},
    {"the new settings short", kAbsent, {2, 0, 1, 3}, kAbsent, kBoth, "", ""},
    {"the new settings with more than a save writes",
     kAbsent,
     {2, 0, 1, 3, 4, 9},
     kAbsent,
     kBoth,
     "",
     ""},
    {"the new settings empty", kAbsent, "", kAbsent, "", "", ""},
    {"the old files there: the new ones are a save that never replaced them",
     "\2\0\1\3\4",
     {0, 1, 1, 3, 4},
     kOld.c_str(),
     kBoth,
     {2, 0, 1, 3, 4},
     "Old In+Old Out"},
};

// A new names file cut off anywhere a save can be cut off gives no names.
const std::string kCutNames[] = {kBoth.substr(0, kBoth.find("[output]")),
                                 kBoth.substr(0, kBoth.size() - 8),
                                 kBoth.substr(0, kBoth.rfind("position"))};

const std::vector<ReportedFailure> kNoSettings{{"No settings to load", "warning"}};

using InterruptedSave = FreshWorkingFolder;

TEST_F(InterruptedSave, WholeNewFileStandsForAMissingOneAndTheNextSavePutsItInPlace) {
    for (const auto& folder : kFolders) {
        SCOPED_TRACE(folder.what);
        for (const fs::directory_entry& left : fs::directory_iterator(".")) {
            fs::remove_all(left);
        }
        if (folder.settings != kAbsent) {
            Write(kSettingsFileName, std::string(folder.settings, 5));
        }
        if (folder.portNames != kAbsent) {
            Write(kPortNamesFileName, folder.portNames);
        }
        Write(kSettingsTemporaryName, folder.settingsNew);
        Write(kPortNamesTemporaryName, folder.portNamesNew);
        ResetEngineForTest();
        portNames = PortNames{{{}, -1}, {{}, -1}};
        reportedFailures.clear();
        LoadSettings();
        const std::string names =
            portNames.input.device.name[0] == '\0'
                ? std::string()
                : std::string(portNames.input.device.name) + "+" + portNames.output.device.name;
        EXPECT_EQ(names, folder.names);
        if (folder.loaded.empty()) {
            EXPECT_EQ(reportedFailures, kNoSettings);
            continue;
        }
        EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{});
        SaveSettings();
        EXPECT_EQ(Read(kSettingsFileName), folder.loaded);
        EXPECT_FALSE(fs::exists(kSettingsTemporaryName));
        EXPECT_EQ(fs::exists(kPortNamesFileName), !folder.names.empty());
        EXPECT_FALSE(fs::exists(kPortNamesTemporaryName)) << "no start may take it for names";
    }
}

TEST_F(InterruptedSave, NewNamesFileCutOffGivesNoNames) {
    for (const std::string& cut : kCutNames) {
        Write(kSettingsFileName, std::string("\2\0\1\3\4", 5));
        Write(kPortNamesTemporaryName, cut);
        portNames = PortNames{{{}, -1}, {{}, -1}};
        LoadSettings();
        EXPECT_STREQ(portNames.input.device.name, "") << cut;
        EXPECT_STREQ(portNames.output.device.name, "") << cut;
    }
}

} // namespace
