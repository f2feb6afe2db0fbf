// The platform's MIDI devices as winmm lists them now.
#pragma once

#include "DeviceIdentity.h"

#include <windows.h>

#include <mmsystem.h>

static_assert(kDeviceNameSize == MAXPNAMELEN);

void ReadInputDevices(DeviceList& devices);
void ReadOutputDevices(DeviceList& devices);
