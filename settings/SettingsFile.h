// The user's choices, kept from one run to the next in the five-byte file "Settings" in the
// working directory.
#pragma once

constexpr const char* kSettingsFileName = "Settings";
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
