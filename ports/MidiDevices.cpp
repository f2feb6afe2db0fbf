#include "MidiDevices.h"

#include <cstring>

namespace {

template <typename Caps>
void ReadNames(DeviceList& devices, UINT count, MMRESULT(WINAPI* getCaps)(UINT_PTR, Caps*, UINT)) {
    devices.count = count < kMaxListedDevices ? static_cast<int>(count) : kMaxListedDevices;
    for (int device = 0; device < devices.count; ++device) {
        Caps caps{};
        getCaps(static_cast<UINT_PTR>(device), &caps, sizeof caps);
        caps.szPname[MAXPNAMELEN - 1] = '\0';
        std::memcpy(devices.names[device], caps.szPname, MAXPNAMELEN);
    }
}

} // namespace

void ReadInputDevices(DeviceList& devices) {
    ReadNames<MIDIINCAPSA>(devices, midiInGetNumDevs(), midiInGetDevCapsA);
}

void ReadOutputDevices(DeviceList& devices) {
    ReadNames<MIDIOUTCAPSA>(devices, midiOutGetNumDevs(), midiOutGetDevCapsA);
}

bool SameDevices(const DeviceList& a, const DeviceList& b) {
    if (a.count != b.count) {
        return false;
    }
    for (int device = 0; device < a.count; ++device) {
        if (std::strcmp(a.names[device], b.names[device]) != 0) {
            return false;
        }
    }
    return true;
}

DeviceIdentity IdentityAt(const DeviceList& devices, int position) {
    DeviceIdentity identity{};
    if (position < 0 || position >= devices.count) {
        return identity;
    }
    std::memcpy(identity.name, devices.names[position], MAXPNAMELEN);
    for (int earlier = 0; earlier < position; ++earlier) {
        identity.occurrence += std::strcmp(devices.names[earlier], identity.name) == 0 ? 1 : 0;
    }
    return identity;
}

int PositionOf(const DeviceList& devices, const DeviceIdentity& device) {
    int seen = 0;
    for (int position = 0; device.name[0] != '\0' && position < devices.count; ++position) {
        if (std::strcmp(devices.names[position], device.name) == 0 && seen++ == device.occurrence) {
            return position;
        }
    }
    return -1;
}

void FillDeviceList(HWND list, const DeviceList& devices) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int device = 0; device < devices.count; ++device) {
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(devices.names[device]));
    }
}
