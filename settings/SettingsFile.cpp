#include "SettingsFile.h"

#include "Engine.h"
#include "PlatformFiles.h"

#include <cstdio>

namespace {

constexpr const char* kSettingsCaption = "warning";

// Long enough for a scanner that opened the file to let go of it, short enough for a log-off.
constexpr int kReplaceAttempts = 10;

constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;

// The file keeps the layout a Windows text-mode stream gives it: a value of 10 is stored as
// 13, 10. The translation is done here over a binary stream, because a text-mode read would
// also take the byte 26 for the end of the file and lose that value and every one after it.
int ReadField(std::FILE* file) {
    const int value = std::fgetc(file);
    if (value == kCarriageReturn) {
        const int next = std::fgetc(file);
        if (next == kLineFeed) {
            return kLineFeed;
        }
        if (next != EOF) {
            std::ungetc(next, file);
        }
    }
    return value; // EOF (-1) past the end of the file, stored as it is
}

bool WriteField(std::FILE* file, int value) {
    const int byte = value & 0xFF;
    if (byte == kLineFeed && std::fputc(kCarriageReturn, file) == EOF) {
        return false;
    }
    return std::fputc(byte, file) != EOF;
}

bool WriteSettings(std::FILE* file) {
    return WriteField(file, bridgeSettings.wheelType) &&
           WriteField(file, bridgeSettings.drumMutesEnabled ? 1 : 0) &&
           WriteField(file, bridgeSettings.synthMutesEnabled ? 1 : 0) &&
           WriteField(file, bridgeSettings.inputDevice) &&
           WriteField(file, bridgeSettings.outputDevice);
}

// Writes the five fields and closes the file; true once they are on the disk.
bool WriteAndClose(std::FILE* file) {
    bool written = WriteSettings(file);
    written = CommitToDisk(file) && written;
    return std::fclose(file) == 0 && written;
}

enum ReplaceResult { Replaced, ReplaceRefused, NewFileIncomplete };

ReplaceResult SaveThroughReplace() {
    std::FILE* file = std::fopen(kSettingsTemporaryName, "wb");
    if (file == nullptr) {
        return ReplaceRefused; // the folder takes no new files
    }
    if (!WriteAndClose(file)) {
        std::remove(kSettingsTemporaryName);
        return NewFileIncomplete; // the disk is full, say: a write in place would fail too
    }
    for (int attempt = 1; !MoveFileOver(kSettingsTemporaryName, kSettingsFileName); ++attempt) {
        if (attempt == kReplaceAttempts) {
            std::remove(kSettingsTemporaryName);
            return ReplaceRefused;
        }
        PauseBeforeRetry();
    }
    return Replaced;
}

bool SaveInPlace() {
    std::FILE* file = std::fopen(kSettingsFileName, "wb");
    return file != nullptr && WriteAndClose(file);
}

} // namespace

void LoadSettings() {
    std::FILE* file = std::fopen(kSettingsFileName, "rb");
    if (file == nullptr) {
        ReportFailure("No settings to load", kSettingsCaption);
        return;
    }
    bridgeSettings.wheelType = ReadField(file);
    bridgeSettings.drumMutesEnabled = ReadField(file) != 0;
    bridgeSettings.synthMutesEnabled = ReadField(file) != 0;
    bridgeSettings.inputDevice = ReadField(file);
    bridgeSettings.outputDevice = ReadField(file);
    bridgeSettings.settingsLoaded = true;
    std::fclose(file);
}

void SaveSettings() {
    const ReplaceResult result = SaveThroughReplace();
    if (result == NewFileIncomplete || (result == ReplaceRefused && !SaveInPlace())) {
        ReportFailure("Can't Save Settings", kSettingsCaption);
    }
}
