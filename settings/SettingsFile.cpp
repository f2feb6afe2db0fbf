#include "SettingsFile.h"

#include "Engine.h"
#include "PortNames.h"
#include "SafeSave.h"

#include <cstdio>

namespace {

constexpr const char* kSettingsCaption = "warning";

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

constexpr int kFields = 5;

// All that a save writes: five fields and nothing after them.
bool HoldsEveryField(std::FILE* file) {
    for (int field = 0; field < kFields; ++field) {
        if (ReadField(file) == EOF) {
            return false;
        }
    }
    return std::fgetc(file) == EOF;
}

} // namespace

void LoadSettings() {
    std::FILE* file = OpenSaved(kSettingsFileName, kSettingsTemporaryName, HoldsEveryField);
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
    LoadPortNames();
}

void SaveSettings() {
    if (!SaveSafely(kSettingsFileName, kSettingsTemporaryName, WriteSettings)) {
        ReportFailure("Can't Save Settings", kSettingsCaption);
        return; // the names stay as they were saved with the "Settings" that is still there
    }
    SavePortNames();
}
