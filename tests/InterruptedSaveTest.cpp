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

const std::string kOldSettings{5, 0, 0, 3, 4};
const std::string kBoth = "[input]\r\nname=Groovebox\r\nunit=1\r\nposition=3\r\n\r\n"
                          "[output]\r\nname=App Out\r\nunit=1\r\nposition=4\r\n\r\n";
const std::string kOld = "[input]\r\nname=Old In\r\nunit=1\r\nposition=3\r\n\r\n"
                         "[output]\r\nname=Old Out\r\nunit=1\r\nposition=4\r\n\r\n";

// The new files a save left (the names whole), with or without the old ones, and whether the
// start takes them: the five fields as the file stores them (10 as 13 10).
const struct {
    const char* what;
    bool oldThere;
    std::string settingsNew;
    bool taken;
} kFolders[] = {
    {"only the new files, whole", false, {2, 0, 1, 3, 4}, true},
    {"a line end stored as two bytes", false, {13, 10, 1, 1, 3, 4}, true},
    {"the new settings short", false, {2, 0, 1, 3}, false},
    {"the new settings with more than a save writes", false, {2, 0, 1, 3, 4, 9}, false},
    {"the new settings empty", false, "", false},
    {"the old files there: the new ones are a save that never replaced them",
     true,
     {0, 1, 1, 3, 4},
     false},
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
        if (folder.oldThere) {
            Write(kSettingsFileName, kOldSettings);
            Write(kPortNamesFileName, kOld);
        }
        Write(kSettingsTemporaryName, folder.settingsNew);
        Write(kPortNamesTemporaryName, kBoth);
        ResetEngineForTest();
        portNames = PortNames{{{}, -1}, {{}, -1}};
        reportedFailures.clear();
        LoadSettings();
        const std::string names =
            portNames.input.device.name[0] == '\0'
                ? std::string()
                : std::string(portNames.input.device.name) + "+" + portNames.output.device.name;
        const std::string loaded = folder.taken      ? folder.settingsNew
                                   : folder.oldThere ? kOldSettings
                                                     : "";
        EXPECT_EQ(names, folder.taken      ? "Groovebox+App Out"
                         : folder.oldThere ? "Old In+Old Out"
                                           : "");
        if (loaded.empty()) {
            EXPECT_EQ(reportedFailures, kNoSettings);
            continue;
        }
        EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{});
        SaveSettings();
        EXPECT_EQ(Read(kSettingsFileName), loaded);
        EXPECT_FALSE(fs::exists(kSettingsTemporaryName));
        EXPECT_TRUE(fs::exists(kPortNamesFileName));
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
