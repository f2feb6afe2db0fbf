// The device lists: read from the devices file at start, named to the program by index, and
// changed by the stage faults, renumbered or frozen as the options say.
#include "FakeWinmm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

Family inputs{
    "in", 0,  0x10000000, EventInputOpened, EventInputOpenFailed, EventInputClosed, {}, 0, {},
    0,    {}, 0};
Family outputs{
    "out", 1,  0x20000000, EventOutputOpened, EventOutputOpenFailed, EventOutputClosed, {}, 0, {},
    0,     {}, 0};

namespace {

SRWLOCK listLock = SRWLOCK_INIT;

int NewDevice(Family& family, const char* name) {
    if (family.deviceCount == kMaxDevices) {
        return -1;
    }
    Device& device = family.devices[family.deviceCount];
    std::snprintf(device.name, sizeof device.name, "%s", name);
    return family.deviceCount++;
}

// The device of that name that is, or is not, removed; -1 if there is none. "#N" names device
// number N, which tells devices of one name apart.
int Find(const Family& family, const char* name, bool removed) {
    if (name[0] == '#') {
        const int device = std::atoi(name + 1);
        return device >= 0 && device < family.deviceCount &&
                       (family.devices[device].removed != 0) == removed
                   ? device
                   : -1;
    }
    for (int device = 0; device < family.deviceCount; ++device) {
        if (std::strcmp(family.devices[device].name, name) == 0 &&
            (family.devices[device].removed != 0) == removed) {
            return device;
        }
    }
    return -1;
}

// "in NAME", "out NAME", "in-busy NAME", "out-busy NAME"
void AddDevice(char* line) {
    char* name = std::strchr(line, ' ');
    if (name == nullptr) {
        return;
    }
    *name++ = '\0';
    Family& family =
        std::strncmp(line, inputs.name, std::strlen(inputs.name)) == 0 ? inputs : outputs;
    const int device = NewDevice(family, name);
    if (device >= 0) {
        family.devices[device].busy = std::strstr(line, "-busy") != nullptr;
        family.listed[family.listedCount++] = device;
    }
}

template <typename Caps>
MMRESULT FillCaps(Family& family, UINT_PTR deviceId, Caps* caps, UINT size) {
    EnsureDriver();
    const int device = ListedDevice(family, static_cast<UINT>(deviceId));
    if (device < 0 || deviceId != static_cast<UINT>(deviceId)) {
        return MMSYSERR_BADDEVICEID;
    }
    if (caps == nullptr || size < sizeof(Caps)) {
        return MMSYSERR_INVALPARAM;
    }
    std::memset(caps, 0, sizeof *caps);
    caps->wMid = 0xFFFF; // no registered manufacturer
    caps->vDriverVersion = 0x0100;
    std::memcpy(caps->szPname, family.devices[device].name, MAXPNAMELEN);
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

int ListedDevice(Family& family, UINT index) {
    AcquireSRWLockShared(&listLock);
    const int device = index < static_cast<UINT>(family.listedCount) ? family.listed[index] : -1;
    ReleaseSRWLockShared(&listLock);
    return device;
}

int IndexOf(Family& family, int device) {
    AcquireSRWLockShared(&listLock);
    int index = family.listedCount - 1;
    while (index >= 0 && family.listed[index] != device) {
        --index;
    }
    ReleaseSRWLockShared(&listLock);
    return index;
}

int UnplugDevice(Family& family, const char* name) {
    AcquireSRWLockExclusive(&listLock);
    const int device = Find(family, name, false);
    if (device >= 0) {
        InterlockedExchange(&family.devices[device].removed, 1);
        // Renumbered, it takes its index with it and those after it move down.
        for (int index = 0; options.renumbered && index < family.listedCount; ++index) {
            if (family.listed[index] == device) {
                --family.listedCount;
                for (int later = index; later < family.listedCount; ++later) {
                    family.listed[later] = family.listed[later + 1];
                }
                break;
            }
        }
    }
    ReleaseSRWLockExclusive(&listLock);
    return device;
}

int PlugDevice(Family& family, const char* name, int at) {
    AcquireSRWLockExclusive(&listLock);
    int device = Find(family, name, true);
    const bool known = device >= 0;
    if (!known && name[0] != '#') {
        device = NewDevice(family, name);
    }
    if (device >= 0) {
        InterlockedExchange(&family.devices[device].removed, 0);
        // Renumbered, it is listed last, or at index `at`; frozen, one that was there keeps its
        // index and a new one is never listed.
        if (options.renumbered && family.listedCount < kMaxDevices) {
            const int index = at >= 0 && at < family.listedCount ? at : family.listedCount;
            for (int later = family.listedCount++; later > index; --later) {
                family.listed[later] = family.listed[later - 1];
            }
            family.listed[index] = device;
        }
    }
    ReleaseSRWLockExclusive(&listLock);
    return device;
}

extern "C" {

UINT WINAPI midiInGetNumDevs() {
    EnsureDriver();
    return static_cast<UINT>(inputs.listedCount);
}

UINT WINAPI midiOutGetNumDevs() {
    EnsureDriver();
    return static_cast<UINT>(outputs.listedCount);
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
