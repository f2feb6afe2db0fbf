// The "Settings" file: one table of file bytes and the record they stand for, and the saves
// that must fail without harming the file that is there.
#include "SettingsFile.h"
#include "CapturedSeams.h"
#include "FreshWorkingFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

void Write(const char* name, const Bytes& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes Read(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

enum Direction { LoadOnly, SaveOnly, Both };

struct Row {
    Bytes file;
    Fields record;
    Direction direction;
};

// Line ends are stored as the Windows text format stores them: 10 as 13 10.
const Row kRows[] = {
    {{0, 1, 0, 2, 1}, {0, true, false, 2, 1}, Both},
    {{}, {-1, true, true, -1, -1}, LoadOnly},
    {{3, 0, 0, 7}, {3, false, false, 7, -1}, LoadOnly},
    {{0, 1, 0, 2, 1, 99, 98}, {0, true, false, 2, 1}, LoadOnly},
    {{255, 2, 200, 255, 128}, {255, true, true, 255, 128}, LoadOnly},
    {{255, 1, 0, 13, 10, 26}, {-1, true, false, 10, 26}, SaveOnly},
    {{44, 0, 1, 254, 0}, {300, false, true, -2, 256}, SaveOnly},
    {{13, 10, 1, 1, 13, 10, 26}, {10, true, true, 10, 26}, Both},
    {{13, 0, 13, 13, 10, 5}, {13, false, true, 10, 5}, LoadOnly},
    {{26, 26, 26, 26, 26}, {26, true, true, 26, 26}, LoadOnly},
    {{0, 1, 1, 13}, {0, true, true, 13, -1}, LoadOnly},
};

const ReportedFailure kNoSettings{"No settings to load", "warning"};
const ReportedFailure kCantSave{"Can't Save Settings", "warning"};

using SettingsFile = FreshWorkingFolder;

TEST_F(SettingsFile, EveryRowLoadsAndSavesAsItsBytes) {
    for (const Row& row : kRows) {
        if (row.direction != SaveOnly) {
            Write(kSettingsFileName, row.file);
            ResetEngineForTest();
            LoadSettings();
            EXPECT_EQ(Current(), row.record) << row.file.size() << " bytes";
            EXPECT_TRUE(bridgeSettings.settingsLoaded);
        }
        if (row.direction != LoadOnly) {
            Write(kSettingsFileName, Bytes(10, 9)); // a longer file is replaced whole
            Set(row.record);
            SaveSettings();
            EXPECT_EQ(Read(kSettingsFileName), row.file) << row.record;
        }
    }
    for (int value = 0; value < 256; ++value) {
        const Fields record{value, value % 2 == 0, value % 3 == 0, 255 - value, value};
        Set(record);
        SaveSettings();
        ResetEngineForTest();
        LoadSettings();
        ASSERT_EQ(Current(), record);
    }
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{});
    EXPECT_FALSE(fs::exists(kSettingsTemporaryName));
}

TEST_F(SettingsFile, MissingFileWarnsAndKeepsTheDefaults) {
    LoadSettings();
    EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{kNoSettings});
    EXPECT_EQ(Current(), (Fields{0, true, true, 0, 0}));
    EXPECT_FALSE(bridgeSettings.settingsLoaded);
}

enum SaveOutcome { SavedInPlace, WarnedAndKeptTheOld };

struct Obstacle {
    const char* what;
    void (*place)();
    SaveOutcome outcome;
};

// What may stand in the way of the save, and what the user is left with.
const Obstacle kObstacles[] = {
    {"the folder takes no new file (a folder stands where it goes)",
     [] { fs::create_directory(kSettingsTemporaryName); }, SavedInPlace},
    {"the disk is full", [] { fs::create_symlink("/dev/full", kSettingsTemporaryName); },
     WarnedAndKeptTheOld},
    {"\"Settings\" is a folder",
     [] {
         fs::remove(kSettingsFileName);
         fs::create_directory(kSettingsFileName);
     },
     WarnedAndKeptTheOld},
};

TEST_F(SettingsFile, ObstacleToTheSaveIsGotAroundOrWarnedOfWithNothingLost) {
    const Bytes old = {0, 1, 0, 2, 1};
    const Fields record{2, false, true, 7, 8};
    for (const Obstacle& obstacle : kObstacles) {
        SCOPED_TRACE(obstacle.what);
        Write(kSettingsFileName, old);
        obstacle.place();
        const bool settingsIsFolder = fs::is_directory(kSettingsFileName);
        const bool temporaryIsOurs = !fs::is_directory(kSettingsTemporaryName);
        Set(record);
        reportedFailures.clear();
        SaveSettings();
        if (obstacle.outcome == SavedInPlace) {
            EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{});
            EXPECT_EQ(Read(kSettingsFileName), (Bytes{2, 0, 1, 7, 8}));
        } else {
            EXPECT_EQ(reportedFailures, std::vector<ReportedFailure>{kCantSave});
            EXPECT_TRUE(settingsIsFolder ? fs::is_directory(kSettingsFileName)
                                         : Read(kSettingsFileName) == old);
        }
        // A temporary file that we made is gone again; a folder in its place is not ours.
        EXPECT_EQ(fs::exists(fs::symlink_status(kSettingsTemporaryName)), !temporaryIsOurs);
        fs::remove_all(kSettingsFileName);
        fs::remove_all(kSettingsTemporaryName);
    }
}

} // namespace
