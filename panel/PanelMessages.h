// The panel's timers and its private window messages, each named once here so that no two
// share a number.
#pragma once

#include <windows.h>

// Timers of the panel window.
constexpr UINT_PTR kLateReadTimer = 1; // the device lists read again, for ports listed late
constexpr UINT_PTR kActivityTimer = 2; // the MIDI in and out lights polled

// A device list that was dropped down is followed again once it has closed.
constexpr UINT kFollowDevicesMessage = WM_APP + 1;
