// The user's choices, kept from one run to the next in the five-byte file "Settings" in the
// working directory.
#pragma once

constexpr const char* kSettingsFileName = "Settings";
// The file's fields in their order, one byte each (a 10 is stored as 13, 10); a field that the
// file ends before reads as -1.
enum SettingsField : int {
    SettingsWheelType = 0,
    SettingsDrumMutes = 1,
    SettingsSynthMutes = 2,
    SettingsInputDevice = 3,
    SettingsOutputDevice = 4,
    kSettingsFieldCount
};
// The new contents are written here first and then put in the place of "Settings", so that a
// save cut short never harms it.
constexpr const char* kSettingsTemporaryName = "Settings.new";

// Fills bridgeSettings from "Settings" and sets settingsLoaded; warns when there is no file.
void LoadSettings();

// Writes bridgeSettings to "Settings": through a new file and a replace where it can, and where
// the replace is refused (another program holds "Settings", or the folder takes no new files)
// in place, as a plain write would. Warns only when neither way worked, or when the new file
// could not be written whole: then "Settings" is left as it was, and so is "Ports.ini". Once
// "Settings" is saved, the names are saved beside it (SavePortNames).
void SaveSettings();
