// "Ports.ini": which files give which names, and when "Settings" lets them decide.
#include "PortNames.h"
#include "CapturedSeams.h"
#include "FreshWorkingFolder.h"
#include "SettingsFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

DeviceIdentity Device(const char* name, int occurrence = 0) {
    DeviceIdentity device{};
    std::strcpy(device.name, name);
    device.occurrence = occurrence;
    return device;
}

struct Port {
    std::string name;
    int unit; // as the file counts: 1 for the first device of its name
    int position;
    bool operator==(const Port&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Port& port) {
    return out << "{\"" << port.name << "\", " << port.unit << ", " << port.position << "}";
}

Port Loaded(const PortName& port) {
    return {port.device.name, port.device.occurrence + 1, port.savedPosition};
}

const Port kNone{"", 1, -1};

const std::string kLongComment = "; " + std::string(300, '-') + "\r\n";

// A file as Quorvel writes it, or as a user saved it in Notepad, and the input and output ports
// it gives; a damaged file gives none, quietly.
const struct {
    std::string text;
    Port input;
    Port output;
} kFiles[] = {
    {"; comment\r\n\r\n[input]\r\nname=Groovebox MIDI Out\r\nunit=1\r\nposition=3\r\n\r\n"
     "[output]\r\nname=2- Music App = Out \r\nunit=2\r\nposition=255\r\n",
     {"Groovebox MIDI Out", 1, 3},
     {"2- Music App = Out ", 2, 255}},
    {"[output]\nposition=0\nunit=1\nname=\n", kNone, {"", 1, 0}},
    {"[input]\nname=A\nunit=1\n[output]\nname=B\nunit=1\nposition=1\n", kNone, {"B", 1, 1}},
    {"[input]\nname=Thirty-one characters of a name\nunit=1\nposition=0\n",
     {"Thirty-one characters of a name", 1, 0},
     kNone},
    {"[input]\nname=Thirty-two characters of a name!\nunit=1\nposition=0\n", kNone, kNone},
    {"[input]\nname=A\nunit=1\nposition=256\n", kNone, kNone},
    {"[input]\nname=A\nunit=0\nposition=1\n", kNone, kNone},
    {"[input]\nname=A\nunit=1x\nposition=1\n", kNone, kNone},
    {"[input]\nname=A\nunit=1\nposition=1\n[other]\n", kNone, kNone},
    {"name=A\n[input]\nname=A\nunit=1\nposition=1\n", kNone, kNone},
    {"[input]\nname=A\nunit=1\nposition=1\ngarbage\n", kNone, kNone},
    {"", kNone, kNone},
    // Notepad's "UTF-8 with BOM", and another case than Quorvel's.
    {"\xEF\xBB\xBF[Input]\r\nNAME=A\r\nUnit=2\r\nPOSITION=4\r\n", {"A", 2, 4}, kNone},
    // Blanks around "=", before a line and at its end, but for a name's end: a driver may pad a
    // device's name with blanks.
    {"[input] \r\n  name \t= Groovebox MIDI Out\r\nunit\t=1 \t\r\n\tposition =  3  \r\n",
     {"Groovebox MIDI Out", 1, 3},
     kNone},
    // The last line without a line end, and lines ended as old Macs end them.
    {"[output]\r\nname=B\r\nunit=1\r\nposition=12", kNone, {"B", 1, 12}},
    {"[output]\rname=B\runit=1\rposition=2\r", kNone, {"B", 1, 2}},
    // Comments longer than any line, of either kind, anywhere; keys in any order, and a key a
    // later version may add.
    {kLongComment + "[output]\n  # " + kLongComment + "position=7\ncolour = red\nunit=3\nname=B\n" +
         kLongComment.substr(0, 200),
     kNone,
     {"B", 3, 7}},
    // A section or a key given twice could name a device nobody wrote down.
    {"[input]\nname=A\nunit=1\n[output]\nname=B\nunit=1\nposition=2\n[input]\nposition=5\n", kNone,
     kNone},
    {"[input]\nname=A\nunit=1\nposition=1\nname=C\n", kNone, kNone},
};

using PortNamesFile = FreshWorkingFolder;

TEST_F(PortNamesFile, EachFileGivesItsNamesAndADamagedOneNoneWithoutAWord) {
    for (const auto& file : kFiles) {
        portNames.input.device = Device("left from before");
        std::ofstream(kPortNamesFileName, std::ios::binary) << file.text;
        LoadPortNames();
        EXPECT_EQ(Loaded(portNames.input), file.input) << file.text.substr(0, 80);
        EXPECT_EQ(Loaded(portNames.output), file.output) << file.text.substr(0, 80);
    }
    fs::remove(kPortNamesFileName);
    LoadPortNames();
    EXPECT_EQ(Loaded(portNames.input), kNone);
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{});
}

std::string Contents(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kOldNames = "[input]\nname=Old\nunit=1\nposition=9\n";
// The names as Quorvel writes them, byte for byte, each beside the low eight bits of its position.
const std::string kSavedNames =
    "; The MIDI devices Quorvel opens, by name; \"Settings\" keeps the rest.\r\n"
    "; unit: which of the devices of that name, in the list's order.\r\n"
    "; Delete this file to open the ports by their positions alone.\r\n\r\n"
    "[input]\r\nname=Groovebox MIDI Out\r\nunit=2\r\nposition=2\r\n\r\n"
    "[output]\r\nname=\r\nunit=1\r\nposition=255\r\n\r\n";

enum NamesAfter { TheOldFile, NoFile, TheChosenNames };

// What stands in the way of a save, the input device chosen, and what "Ports.ini" holds after.
const struct {
    const char* what;
    void (*place)();
    const char* input;
    NamesAfter after;
} kSaves[] = {
    {"nothing", [] {}, "Groovebox MIDI Out", TheChosenNames},
    {"\"Settings\" is a folder",
     [] {
         fs::remove(kSettingsFileName);
         fs::create_directory(kSettingsFileName);
     },
     "Groovebox MIDI Out", TheOldFile},
    {"the disk is full for \"Settings\"",
     [] { fs::create_symlink("/dev/full", kSettingsTemporaryName); }, "Groovebox MIDI Out",
     TheOldFile},
    {"no device chosen", [] {}, "", NoFile},
    {"the disk is full for the names",
     [] { fs::create_symlink("/dev/full", kPortNamesTemporaryName); }, "Groovebox MIDI Out",
     NoFile},
};

TEST_F(PortNamesFile, SavedOnlyWithSettingsAndNoFileLeftThatNamesAnotherDevice) {
    for (const auto& save : kSaves) {
        for (const bool hadNames : {true, false}) {
            SCOPED_TRACE(std::string(save.what) + (hadNames ? ", over older names" : ""));
            std::ofstream(kSettingsFileName) << "xxxxx";
            if (hadNames) {
                std::ofstream(kPortNamesFileName, std::ios::binary) << kOldNames;
            }
            save.place();
            portNames.input.device = Device(save.input, 1);
            portNames.output.device = Device("");
            bridgeSettings.inputDevice = 258;
            bridgeSettings.outputDevice = -1;
            SaveSettings();
            const bool oldKept = save.after == TheOldFile && hadNames;
            EXPECT_EQ(fs::exists(kPortNamesFileName), oldKept || save.after == TheChosenNames);
            EXPECT_EQ(Contents(kPortNamesFileName), oldKept                        ? kOldNames
                                                    : save.after == TheChosenNames ? kSavedNames
                                                                                   : "");
            for (const char* name : {kSettingsFileName, kSettingsTemporaryName, kPortNamesFileName,
                                     kPortNamesTemporaryName}) {
                fs::remove_all(name);
            }
        }
    }
}

// Names as a driver gives them, saved and loaded again: each comes back as it was, with its unit
// and its position.
const struct {
    Port input;
    Port output;
} kRoundTrips[] = {
    {{"Thirty-one characters of a name", 1, 3}, {"Padded by a driver at its end  ", 2, 0}},
    {{"2- Music App = Out", 64, 255}, {"A", 1, 1}},
    {{"", 1, 7}, {"Thirty-one characters of a name", 3, 255}},
};

TEST_F(PortNamesFile, WhatASaveWritesALoadGivesBackWhole) {
    for (const auto& trip : kRoundTrips) {
        portNames.input.device = Device(trip.input.name.c_str(), trip.input.unit - 1);
        portNames.output.device = Device(trip.output.name.c_str(), trip.output.unit - 1);
        bridgeSettings.inputDevice = trip.input.position;
        bridgeSettings.outputDevice = trip.output.position;
        SavePortNames();
        portNames = {};
        LoadPortNames();
        EXPECT_EQ(Loaded(portNames.input), trip.input);
        EXPECT_EQ(Loaded(portNames.output), trip.output);
    }
}

TEST(PortNamesAtStart, TheNameDecidesOnlyWhileSettingsHoldsThePositionSavedWithIt) {
    const struct {
        PortName saved;
        int stored;
        const char* opened; // the name opened at start; empty: the stored position decides
    } rows[] = {
        {{Device("Groovebox"), 2}, 2, "Groovebox"}, // agrees
        {{Device("Groovebox"), 2}, 3, ""},          // "Settings" changed since
        {{Device("Groovebox"), 255}, -1, ""},       // "Settings" shorter than five bytes
        {{Device(""), -1}, -1, ""},                 // no names file
        {{Device(""), 4}, 4, ""},                   // no device was chosen
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(NamedAtStart(row.saved, row.stored).name, row.opened) << row.stored;
    }
}

} // namespace
