// The platform's MIDI devices as winmm lists them now.
#pragma once

#include "DeviceIdentity.h"

#include <windows.h>

#include <mmsystem.h>

static_assert(kDeviceNameSize == MAXPNAMELEN);

void ReadInputDevices(DeviceList& devices);
void ReadOutputDevices(DeviceList& devices);

// Fills a combo box with the names, in index order, so that a list position is a device index,
// and makes its drop-down wide enough for the longest.
void FillDeviceList(HWND list, const DeviceList& devices);
