// The user's choices, kept from one run to the next in the five-byte file "Settings" in the
// working directory.
#pragma once

constexpr const char* kSettingsFileName = "Settings";
// The new contents are written here first, so that a failed save never harms "Settings".
constexpr const char* kSettingsTemporaryName = "Settings.new";

// Fills bridgeSettings from "Settings" and sets settingsLoaded; warns when there is no file.
void LoadSettings();

// Writes bridgeSettings to "Settings"; warns, and leaves the old file as it was, on failure.
void SaveSettings();

// Puts `from` in the place of `to` in one step, replacing `to` if it exists.
bool MoveFileOver(const char* from, const char* to);
