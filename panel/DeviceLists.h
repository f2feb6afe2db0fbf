// The two device lists on screen: combo boxes whose positions are device indices. Window thread
// only.
#pragma once

#include "DeviceIdentity.h"

#include <windows.h>

// Fills a list with the names, in index order, so that a list position is a device index, and
// makes its drop-down wide enough for the longest.
void FillDeviceList(HWND list, const DeviceList& devices);

// Selects the chosen device among those `shown`; where it is not among them, no entry is
// selected and the edit field shows the name Quorvel waits for. Either way the field shows the
// name from its start.
void ShowChosenDevice(HWND list, const DeviceList& shown, const DeviceIdentity& chosen);

// A long name shows its start in a list's edit field, not its end: after each change of the
// list, and when the list takes the focus.
void ShowDeviceNameFromItsStart(HWND list, bool focused);

bool HasFocus(HWND list);
bool DroppedDown(HWND list);
int SelectedEntry(HWND list); // -1: none
