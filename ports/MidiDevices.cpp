#include "MidiDevices.h"

#include "Winmm.h"

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
    ReadNames<MIDIINCAPSA>(devices, winmm.midiInGetNumDevs(), winmm.midiInGetDevCapsA);
}

void ReadOutputDevices(DeviceList& devices) {
    ReadNames<MIDIOUTCAPSA>(devices, winmm.midiOutGetNumDevs(), winmm.midiOutGetDevCapsA);
}
