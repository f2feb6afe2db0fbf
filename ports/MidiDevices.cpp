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

void FillDeviceList(HWND list, const DeviceList& devices) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int device = 0; device < devices.count; ++device) {
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(devices.names[device]));
    }
}
