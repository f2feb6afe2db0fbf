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
    int fields[kSettingsFieldCount];
    fields[SettingsWheelType] = bridgeSettings.wheelType;
    fields[SettingsDrumMutes] = bridgeSettings.drumMutesEnabled ? 1 : 0;
    fields[SettingsSynthMutes] = bridgeSettings.synthMutesEnabled ? 1 : 0;
    fields[SettingsInputDevice] = bridgeSettings.inputDevice;
    fields[SettingsOutputDevice] = bridgeSettings.outputDevice;
    for (const int field : fields) {
        if (!WriteField(file, field)) {
            return false;
        }
    }
    return true;
}

// All that a save writes: five fields and nothing after them.
bool HoldsEveryField(std::FILE* file) {
    for (int field = 0; field < kSettingsFieldCount; ++field) {
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
    int fields[kSettingsFieldCount];
    for (int& field : fields) {
        field = ReadField(file);
    }
    bridgeSettings.wheelType = fields[SettingsWheelType];
    bridgeSettings.drumMutesEnabled = fields[SettingsDrumMutes] != 0;
    bridgeSettings.synthMutesEnabled = fields[SettingsSynthMutes] != 0;
    bridgeSettings.inputDevice = fields[SettingsInputDevice];
    bridgeSettings.outputDevice = fields[SettingsOutputDevice];
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
