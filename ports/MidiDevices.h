// The platform's MIDI devices as winmm lists them now, and a device's identity within one run:
// its name and, among devices of the same name, its place. Positions in a list are device
// indices; names are what stays with a device while indices shift.
#pragma once

#include <windows.h>

#include <mmsystem.h>

constexpr int kMaxListedDevices = 64;

struct DeviceList {
    int count;
    char names[kMaxListedDevices][MAXPNAMELEN];
};

struct DeviceIdentity {
    char name[MAXPNAMELEN]; // empty: no device
    int occurrence;         // 0 for the first device of that name, 1 for the next, ...
};

void ReadInputDevices(DeviceList& devices);
void ReadOutputDevices(DeviceList& devices);
bool SameDevices(const DeviceList& a, const DeviceList& b);

// The device at a position; no device for a position outside the list.
DeviceIdentity IdentityAt(const DeviceList& devices, int position);
// Its position now, or -1 while it is not there.
int PositionOf(const DeviceList& devices, const DeviceIdentity& device);

// Fills a combo box with the names, in index order, so that a list position is a device index.
void FillDeviceList(HWND list, const DeviceList& devices);
