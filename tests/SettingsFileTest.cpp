#include "SettingsFile.h"
#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

struct Fields {
    int wheelType;
    bool drum;
    bool synth;
    int input;
    int output;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << "{" << f.wheelType << ", " << f.drum << ", " << f.synth << ", " << f.input << ", "
               << f.output << "}";
}

Fields Current() {
    return {bridgeSettings.wheelType, bridgeSettings.drumMutesEnabled,
            bridgeSettings.synthMutesEnabled, bridgeSettings.inputDevice,
            bridgeSettings.outputDevice};
}

void Set(const Fields& f) {
    bridgeSettings.wheelType = f.wheelType;
    bridgeSettings.drumMutesEnabled = f.drum;
    bridgeSettings.synthMutesEnabled = f.synth;
    bridgeSettings.inputDevice = f.input;
    bridgeSettings.outputDevice = f.output;
}

const ReportedFailure kNoSettings{"No settings to load", "warning"};
const ReportedFailure kCantSave{"Can't Save Settings", "warning"};

// Each test runs in a working directory of its own, as the program runs in the user's.
class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineForTest();
        previous = fs::current_path();
        char pattern[] = "/tmp/quorvel-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        fs::current_path(directory);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(directory);
    }
    static void Write(const char* name, const Bytes& bytes) {
        std::ofstream(name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    static Bytes Read(const char* name) {
        std::ifstream in(name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    static void LoadFrom(const Bytes& bytes) {
        ResetEngineForTest();
        Write(kSettingsFileName, bytes);
        LoadSettings();
    }
    fs::path previous;
    fs::path directory;
};

TEST_F(SettingsFile, LoadsTheFiveFieldsAndTheEndOfFileRule) {
    const struct {
        Bytes bytes;
        Fields expected;
    } cases[] = {
        {{0, 1, 0, 2, 1}, {0, true, false, 2, 1}},
        {{}, {-1, true, true, -1, -1}},
        {{3}, {3, true, true, -1, -1}},
        {{3, 0}, {3, false, true, -1, -1}},
        {{3, 0, 0}, {3, false, false, -1, -1}},
        {{3, 0, 0, 7}, {3, false, false, 7, -1}},
        {{0, 1, 0, 2, 1, 99, 98, 97}, {0, true, false, 2, 1}},
        {{255, 2, 200, 255, 128}, {255, true, true, 255, 128}},
    };
    for (const auto& c : cases) {
        LoadFrom(c.bytes);
        EXPECT_EQ(Current(), c.expected) << c.bytes.size() << " bytes";
        EXPECT_TRUE(bridgeSettings.settingsLoaded);
        EXPECT_TRUE(reportedFailures.empty());
    }
}

TEST_F(SettingsFile, ReadsLineEndPairsAsTheWindowsFormatStoresThem) {
    const struct {
        Bytes bytes;
        Fields expected;
    } cases[] = {
        {{13, 10, 1, 1, 13, 10, 26}, {10, true, true, 10, 26}},
        {{13, 0, 13, 13, 10, 5}, {13, false, true, 10, 5}}, // a lone 13 stays 13
        {{26, 26, 26, 26, 26}, {26, true, true, 26, 26}},   // 26 is a value, not the end
        {{0, 1, 1, 13}, {0, true, true, 13, -1}},
        {{10, 0, 0, 10, 10}, {10, false, false, 10, 10}}, // a bare 10 is read as 10 too
    };
    for (const auto& c : cases) {
        LoadFrom(c.bytes);
        EXPECT_EQ(Current(), c.expected) << c.bytes.size() << " bytes";
    }
}

TEST_F(SettingsFile, WritesTheExactBytes) {
    Set({-1, true, false, 10, 26});
    SaveSettings();
    EXPECT_EQ(Read(kSettingsFileName), (Bytes{255, 1, 0, 13, 10, 26}));
    Set({300, false, true, -2, 256});
    SaveSettings();
    EXPECT_EQ(Read(kSettingsFileName), (Bytes{44, 0, 1, 254, 0}));
    EXPECT_TRUE(reportedFailures.empty());
    EXPECT_FALSE(fs::exists(kSettingsTemporaryName));
}

TEST_F(SettingsFile, EveryByteValueRoundTripsInEveryField) {
    for (int value = 0; value < 256; ++value) {
        const Fields cases[] = {{value, false, true, 3, 4},
                                {1, true, false, value, 4},
                                {1, false, false, 3, value},
                                {value, true, true, value, value}};
        for (const Fields& f : cases) {
            Set(f);
            SaveSettings();
            ResetEngineForTest();
            LoadSettings();
            ASSERT_EQ(Current(), f) << "value " << value;
        }
    }
    for (bool drum : {false, true}) {
        for (bool synth : {false, true}) {
            Set({0, drum, synth, 0, 0});
            SaveSettings();
            ResetEngineForTest();
            LoadSettings();
            EXPECT_EQ(Current(), (Fields{0, drum, synth, 0, 0}));
        }
    }
    EXPECT_TRUE(reportedFailures.empty());
}

TEST_F(SettingsFile, MissingFileWarnsAndKeepsTheDefaults) {
    LoadSettings();
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{kNoSettings});
    EXPECT_EQ(Current(), (Fields{0, true, true, 0, 0}));
    EXPECT_FALSE(bridgeSettings.settingsLoaded);
}

TEST_F(SettingsFile, SaveThatCannotCompleteWarnsAndLeavesTheOldFile) {
    const Bytes old = {0, 1, 0, 2, 1};
    Set({2, false, true, 7, 8});

    // The temporary file's place is taken by a folder.
    Write(kSettingsFileName, old);
    fs::create_directory(kSettingsTemporaryName);
    SaveSettings();
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{kCantSave});
    EXPECT_EQ(Read(kSettingsFileName), old);
    EXPECT_TRUE(fs::is_directory(kSettingsTemporaryName)); // not ours to remove
    fs::remove(kSettingsTemporaryName);

    // Every write fails: the disk is full.
    reportedFailures.clear();
    fs::create_symlink("/dev/full", kSettingsTemporaryName);
    SaveSettings();
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{kCantSave});
    EXPECT_EQ(Read(kSettingsFileName), old);
    EXPECT_FALSE(fs::exists(fs::symlink_status(kSettingsTemporaryName)));

    // "Settings" itself is a folder.
    reportedFailures.clear();
    fs::remove(kSettingsFileName);
    fs::create_directory(kSettingsFileName);
    SaveSettings();
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{kCantSave});
    EXPECT_TRUE(fs::is_directory(kSettingsFileName));
    EXPECT_FALSE(fs::exists(kSettingsTemporaryName));
}

TEST_F(SettingsFile, SaveReplacesAnExistingFileWhole) {
    Write(kSettingsFileName, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    Set({1, true, true, 0, 3});
    SaveSettings();
    EXPECT_EQ(Read(kSettingsFileName), (Bytes{1, 1, 1, 0, 3}));
    EXPECT_TRUE(reportedFailures.empty());
}

} // namespace
