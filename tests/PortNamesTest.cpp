// "Ports.ini": which files give which names, when "Settings" lets them decide, and how devices
// of one name are told apart.
#include "PortNames.h"
#include "CapturedSeams.h"
#include "SettingsFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
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

Port Loaded(const PortName& port) {
    return {port.device.name, port.device.occurrence + 1, port.savedPosition};
}

const Port kNone{"", 1, -1};

struct FileRow {
    const char* what;
    const char* text;
    Port input;
    Port output;
};

const char* const kThirtyOne = "Thirty-one characters of a name";
static_assert(std::char_traits<char>::length("Thirty-one characters of a name") == 31);

const FileRow kFiles[] = {
    {"both ports, as Quorvel writes them",
     "; a comment\r\n\r\n[input]\r\nname=Groovebox MIDI Out\r\nunit=1\r\nposition=3\r\n\r\n"
     "[output]\r\nname=2- Music App = Out \r\nunit=2\r\nposition=255\r\n",
     {"Groovebox MIDI Out", 1, 3},
     {"2- Music App = Out ", 2, 255}},
    {"line feeds alone, keys in another order, one port",
     "[output]\nposition=0\nunit=1\nname=\n",
     kNone,
     {"", 1, 0}},
    {"a port with a key missing is left out",
     "[input]\nname=Groovebox\nunit=1\n[output]\nname=Synth\nunit=1\nposition=1\n",
     kNone,
     {"Synth", 1, 1}},
    {"the longest name winmm gives",
     "[input]\nname=Thirty-one characters of a name\nunit=1\nposition=0\n",
     {kThirtyOne, 1, 0},
     kNone},
    {"a name longer than winmm gives",
     "[input]\nname=Thirty-two characters of a name!\nunit=1\nposition=0\n", kNone, kNone},
    {"a position outside a byte", "[input]\nname=A\nunit=1\nposition=256\n", kNone, kNone},
    {"a unit of 0", "[input]\nname=A\nunit=0\nposition=1\n", kNone, kNone},
    {"a number with more after it", "[input]\nname=A\nunit=1x\nposition=1\n", kNone, kNone},
    {"an unknown section", "[input]\nname=A\nunit=1\nposition=1\n[other]\n", kNone, kNone},
    {"a key outside any section", "name=A\n[input]\nname=A\nunit=1\nposition=1\n", kNone, kNone},
    {"a line that is no key", "[input]\nname=A\nunit=1\nposition=1\ngarbage\n", kNone, kNone},
    {"an empty file", "", kNone, kNone},
};

class PortNamesFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineForTest();
        char pattern[] = "/tmp/quorvel-port-names-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::current_path(folder);
    }
    void TearDown() override {
        fs::current_path("/");
        fs::remove_all(folder);
    }
    fs::path folder;
};

TEST_F(PortNamesFile, EachFileGivesItsNamesAndADamagedOneNoneWithoutAWord) {
    for (const FileRow& row : kFiles) {
        SCOPED_TRACE(row.what);
        portNames.input.device = Device("left from before");
        std::ofstream(kPortNamesFileName, std::ios::binary) << row.text;
        LoadPortNames();
        EXPECT_EQ(Loaded(portNames.input), row.input);
        EXPECT_EQ(Loaded(portNames.output), row.output);
    }
    fs::remove(kPortNamesFileName);
    LoadPortNames();
    EXPECT_EQ(Loaded(portNames.input), kNone);
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{});
}

TEST_F(PortNamesFile, SavedWithSettingsBesideTheirPositionsAndLoadedBack) {
    std::ofstream(kPortNamesFileName) << "[input]\nname=Old\nunit=1\nposition=9\n";
    std::ofstream(kSettingsFileName) << "xxxxx";
    portNames.input.device = Device("Groovebox MIDI Out", 1);
    portNames.output.device = Device("");
    bridgeSettings.inputDevice = 258; // "Settings" keeps the low eight bits, and so do the names
    bridgeSettings.outputDevice = -1;
    SaveSettings();
    portNames = PortNames{};
    LoadSettings();
    EXPECT_EQ(Loaded(portNames.input), (Port{"Groovebox MIDI Out", 2, 2}));
    EXPECT_EQ(Loaded(portNames.output), (Port{"", 1, 255}));
    EXPECT_EQ(bridgeSettings.inputDevice, 2);
    EXPECT_FALSE(fs::exists(kPortNamesTemporaryName));
}

TEST_F(PortNamesFile, AFailedSaveLeavesNoOlderNamesBehind) {
    std::ofstream(kPortNamesFileName) << "[input]\nname=Old\nunit=1\nposition=0\n";
    fs::create_symlink("/dev/full", kPortNamesTemporaryName);
    portNames.input.device = Device("New");
    SavePortNames();
    EXPECT_FALSE(fs::exists(kPortNamesFileName));
}

TEST(PortNamesAtStart, TheNameDecidesOnlyWhileSettingsHoldsThePositionSavedWithIt) {
    const struct {
        const char* what;
        PortName saved;
        int stored;
        const char* opened; // the name opened at start; empty: the stored position decides
    } rows[] = {
        {"agrees", {Device("Groovebox"), 2}, 2, "Groovebox"},
        {"Settings changed since", {Device("Groovebox"), 2}, 3, ""},
        {"Settings shorter than five bytes", {Device("Groovebox"), 255}, -1, ""},
        {"no names file", {Device(""), -1}, -1, ""},
        {"no device was chosen", {Device(""), 4}, 4, ""},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(NamedAtStart(row.saved, row.stored).name, row.opened) << row.what;
    }
}

TEST(DeviceIdentity, DevicesOfOneNameAreToldApartByTheirOrder) {
    DeviceList list{4, {"Groovebox", "Synth", "Groovebox", "Groovebox"}};
    const struct {
        int position;
        int occurrence;
    } rows[] = {{0, 0}, {1, 0}, {2, 1}, {3, 2}};
    for (const auto& row : rows) {
        const DeviceIdentity device = IdentityAt(list, row.position);
        EXPECT_EQ(device.occurrence, row.occurrence) << row.position;
        EXPECT_EQ(PositionOf(list, device), row.position);
    }
    EXPECT_EQ(IdentityAt(list, 4).name[0], '\0');
    EXPECT_EQ(IdentityAt(list, -1).name[0], '\0');
    // The second unit, after the first has left: the second of that name is the one now at 2.
    const DeviceList after{3, {"Synth", "Groovebox", "Groovebox"}};
    EXPECT_EQ(PositionOf(after, Device("Groovebox", 1)), 2);
    EXPECT_EQ(PositionOf(after, Device("Groovebox", 2)), -1);
    EXPECT_EQ(PositionOf(after, Device("Keyboard")), -1);
    EXPECT_EQ(PositionOf(after, Device("")), -1);
}

} // namespace
