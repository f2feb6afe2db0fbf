// Keeps the device lists true while devices come and go, and takes a chosen device up again
// by itself when it is back. Window thread only.
#pragma once

#include <windows.h>

// Fills both lists from the platform, and when settings were loaded, makes the devices at the
// stored positions the chosen ones.
void WatchDevices(HWND panel, HWND inputList, HWND outputList);

// The user chose an entry of a device list: the device it names becomes the chosen one, and
// its position now is stored. False (and nothing is stored) when it has just left.
bool ChooseInputDevice();
bool ChooseOutputDevice();

// WM_DEVICECHANGE: look at the devices now and, for ports that the platform lists late, once a
// second for the next ten seconds.
void OnDevicesChanged();
void OnDeviceTimer(UINT_PTR timer);

// A list that was dropped down is refilled only once it closes.
void OnDeviceListClosed();
