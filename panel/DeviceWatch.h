// Keeps the device lists true while devices come and go, opens the chosen devices at start, and
// takes a chosen device up again by itself when it is back. Window thread only.
#pragma once

#include <windows.h>

// Fills both lists from the platform. When settings were loaded, the chosen devices are those
// "Ports.ini" names where "Settings" still holds their positions, and otherwise those at the
// stored positions.
void WatchDevices(HWND panel, HWND inputList, HWND outputList);

// At start: selects the chosen devices and opens them, output first, showing a failure. A named
// device that is not there opens nothing in its place: its list shows its name with no entry
// selected, and it is taken up when it arrives.
void OpenChosenDevices();

// WM_COMMAND from a device list: a choice of an entry makes the device it names the chosen
// one, stores its position now and opens it, unless it is the device in use or has just left.
void OnDeviceListCommand(HWND list, int notification);

// The name a port waits for while its chosen device is away; null while it waits for none.
const char* AwaitedInputName();
const char* AwaitedOutputName();

// WM_DEVICECHANGE: look at the devices now and, for ports that the platform lists late, once a
// second for the next ten seconds.
void OnDevicesChanged();
void OnDeviceTimer(UINT_PTR timer);

// A list that was dropped down is refilled only once it has closed: OnDeviceListClosed posts
// kFollowDevicesMessage (PanelMessages.h) to the panel, whose handling calls
// OnFollowDevicesMessage.
void OnDeviceListClosed();
void OnFollowDevicesMessage();
