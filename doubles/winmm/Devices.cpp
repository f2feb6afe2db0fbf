// The device lists: read from the devices file once, and named to the program by index.
#include "FakeWinmm.h"

#include <cstdio>
#include <cstring>

Family inputs{"in", 0,  0x10000000, EventInputOpened, EventInputOpenFailed, EventInputClosed, {},
              0,    {}, 0};
Family outputs{
    "out", 1,  0x20000000, EventOutputOpened, EventOutputOpenFailed, EventOutputClosed, {},
    0,     {}, 0};

namespace {

// "in NAME", "out NAME", "in-busy NAME", "out-busy NAME"
void AddDevice(char* line) {
    char* name = std::strchr(line, ' ');
    if (name == nullptr) {
        return;
    }
    *name++ = '\0';
    Family& family =
        std::strncmp(line, inputs.name, std::strlen(inputs.name)) == 0 ? inputs : outputs;
    if (family.deviceCount == kMaxDevices) {
        return;
    }
    Device& device = family.devices[family.deviceCount++];
    std::snprintf(device.name, sizeof device.name, "%s", name);
    device.busy = std::strstr(line, "-busy") != nullptr;
}

template <typename Caps>
MMRESULT FillCaps(const Family& family, UINT_PTR deviceId, Caps* caps, UINT size) {
    EnsureDriver();
    if (deviceId >= static_cast<UINT_PTR>(family.deviceCount)) {
        return MMSYSERR_BADDEVICEID;
    }
    if (caps == nullptr || size < sizeof(Caps)) {
        return MMSYSERR_INVALPARAM;
    }
    std::memset(caps, 0, sizeof *caps);
    caps->wMid = 0xFFFF; // no registered manufacturer
    caps->vDriverVersion = 0x0100;
    std::memcpy(caps->szPname, family.devices[deviceId].name, MAXPNAMELEN);
    return MMSYSERR_NOERROR;
}

} // namespace

void ReadDevices() {
    char path[MAX_PATH];
    PathInFolder(path, kDevicesFile);
    std::FILE* list = std::fopen(path, "r");
    if (list == nullptr) {
        return;
    }
    char line[128];
    while (std::fgets(line, sizeof line, list) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        AddDevice(line);
    }
    std::fclose(list);
}

extern "C" {

UINT WINAPI midiInGetNumDevs() {
    EnsureDriver();
    return static_cast<UINT>(inputs.deviceCount);
}

UINT WINAPI midiOutGetNumDevs() {
    EnsureDriver();
    return static_cast<UINT>(outputs.deviceCount);
}

MMRESULT WINAPI midiInGetDevCapsA(UINT_PTR deviceId, LPMIDIINCAPSA caps, UINT size) {
    return FillCaps(inputs, deviceId, caps, size);
}

MMRESULT WINAPI midiOutGetDevCapsA(UINT_PTR deviceId, LPMIDIOUTCAPSA caps, UINT size) {
    const MMRESULT result = FillCaps(outputs, deviceId, caps, size);
    if (result == MMSYSERR_NOERROR) {
        caps->wTechnology = MOD_MIDIPORT;
        caps->wChannelMask = 0xFFFF;
    }
    return result;
}

} // extern "C"
