// A MIDI device as Quorvel knows it from one run to the next: by its name and, among devices of
// the same name, by its place. Positions in a list are device indices, which the platform
// shifts as devices come and go; names stay with the devices.
#pragma once

// winmm's names: at most 31 characters and the terminator.
constexpr int kDeviceNameSize = 32;
constexpr int kMaxListedDevices = 64;

struct DeviceIdentity {
    char name[kDeviceNameSize]; // empty: no device
    int occurrence;             // 0 for the first device of that name in the list, 1 for the next
};

// The platform's devices of one kind, in index order.
struct DeviceList {
    int count;
    char names[kMaxListedDevices][kDeviceNameSize];
};

bool SameDevices(const DeviceList& a, const DeviceList& b);

// The device at a position; no device for a position outside the list.
DeviceIdentity IdentityAt(const DeviceList& devices, int position);
// Its position now, or -1 while it is not there.
int PositionOf(const DeviceList& devices, const DeviceIdentity& device);
