// Port slots and their handles, shared by both families. A handle is its family's base, the
// slot's generation and the slot, so that a slot can be used again after its port is closed
// while a call on the old handle still shows as a call on a closed port.
#include "FakeWinmm.h"

namespace {

constexpr UINT_PTR kSlotBits = 12;
constexpr UINT_PTR kGenerationMask = 0xFFFF;
static_assert(kMaxPorts == 1 << kSlotBits);

SRWLOCK portLock = SRWLOCK_INIT; // opens, closes and unplugging

bool Taken(const Port& port) {
    return port.state == PortOpening || port.state == PortOpen;
}

// This driver's devices take one client at a time, this process included.
bool DeviceInUse(const Family& family, int device) {
    for (LONG slot = 0; slot < family.portCount; ++slot) {
        if (Taken(family.ports[slot]) && family.ports[slot].device == device) {
            return true;
        }
    }
    return false;
}

// The device number that opening `index` opens, or the reason it cannot be opened.
MMRESULT CheckOpen(Family& family, int index, int* device) {
    // The output mapper stands in for the default device; it exists while any output exists.
    const bool mapper = index == -1 && &family == &outputs;
    *device = mapper ? -1 : ListedDevice(family, static_cast<UINT>(index));
    if (mapper ? family.listedCount == 0 : *device < 0) {
        return MMSYSERR_BADDEVICEID;
    }
    if (!mapper && family.devices[*device].removed != 0) {
        return MMSYSERR_NODRIVER; // what an absent device gives
    }
    if ((!mapper && family.devices[*device].busy) || DeviceInUse(family, *device)) {
        return MMSYSERR_ALLOCATED;
    }
    return MMSYSERR_NOERROR;
}

LONG FreeSlot(const Family& family) {
    LONG slot = 0;
    while (slot < family.portCount && Taken(family.ports[slot])) {
        ++slot;
    }
    return slot;
}

} // namespace

MMRESULT ClaimPort(Family& family, bool argumentsValid, UINT deviceId, Port** claimed) {
    const int index = static_cast<int>(deviceId); // the output mapper's id becomes -1
    int device = index;
    AcquireSRWLockExclusive(&portLock);
    MMRESULT result = argumentsValid ? CheckOpen(family, index, &device) : MMSYSERR_INVALPARAM;
    const bool known = device >= 0 || (device == -1 && &family == &outputs);
    if (argumentsValid && result != MMSYSERR_BADDEVICEID && known &&
        !DeviceAllowed(family, device)) {
        Violation(ViolationDeviceNotAllowed, device);
    }
    const LONG slot = FreeSlot(family);
    if (result == MMSYSERR_NOERROR && slot == kMaxPorts) {
        result = MMSYSERR_NOMEM;
    }
    if (result == MMSYSERR_NOERROR) {
        // A call still on its way to this slot's previous port must see that port closed: the
        // new generation is in place before the slot opens again; `sending` is left as it is.
        Port& port = family.ports[slot];
        InterlockedIncrement(&port.generation);
        port.device = device;
        port.dead = 0;
        port.closing = 0;
        InterlockedExchange(&port.state, PortOpening);
        if (slot == family.portCount) {
            InterlockedIncrement(&family.portCount);
        }
        *claimed = &port;
    }
    ReleaseSRWLockExclusive(&portLock);
    if (result != MMSYSERR_NOERROR) {
        Record(family.openFailedEvent, index, result);
    }
    return result;
}

void* PublishPort(Family& family, Port& port) {
    InterlockedExchange(&port.state, PortOpen);
    if (!options.stress) {
        Record(family.openedEvent, port.device, 0);
    }
    return HandleOf(family, port);
}

void ReleasePort(Family& family, Port& port) {
    AcquireSRWLockExclusive(&portLock);
    InterlockedExchange(&port.state, PortClosed);
    ReleaseSRWLockExclusive(&portLock);
    if (!options.stress) {
        Record(family.closedEvent, port.device, 0);
    }
}

void KillOpenPorts(Family& family, int device) {
    AcquireSRWLockExclusive(&portLock);
    for (LONG slot = 0; slot < family.portCount; ++slot) {
        if (Taken(family.ports[slot]) && family.ports[slot].device == device) {
            InterlockedExchange(&family.ports[slot].dead, 1);
        }
    }
    ReleaseSRWLockExclusive(&portLock);
}

MMRESULT CallOnOpenPort(Family& family, void* handle, MMRESULT (*call)(Port& port)) {
    EnsureDriver();
    Port* port = FindOpenPort(family, handle);
    return port != nullptr ? call(*port) : MMSYSERR_INVALHANDLE;
}

Port* SlotOf(Family& family, void* handle) {
    const auto value = reinterpret_cast<UINT_PTR>(handle);
    const UINT_PTR slot = value & (kMaxPorts - 1);
    if ((value & ~((kGenerationMask << kSlotBits) | (kMaxPorts - 1))) != family.handleBase ||
        slot >= static_cast<UINT_PTR>(family.portCount)) {
        Violation(ViolationUnknownHandle, -1);
        return nullptr;
    }
    return &family.ports[slot];
}

bool HandleIsOpen(const Port& port, void* handle) {
    const UINT_PTR generation = reinterpret_cast<UINT_PTR>(handle) >> kSlotBits & kGenerationMask;
    return port.state == PortOpen &&
           (static_cast<UINT_PTR>(port.generation) & kGenerationMask) == generation;
}

Port* FindOpenPort(Family& family, void* handle) {
    Port* port = SlotOf(family, handle);
    if (port != nullptr && !HandleIsOpen(*port, handle)) {
        Violation(ViolationClosedHandle, port->device);
        return nullptr;
    }
    return port;
}

void* HandleOf(const Family& family, const Port& port) {
    const auto slot = static_cast<UINT_PTR>(&port - family.ports);
    const auto generation = static_cast<UINT_PTR>(port.generation) & kGenerationMask;
    return reinterpret_cast<void*>(family.handleBase | generation << kSlotBits | slot);
}

MMRESULT DeviceIndexOf(Family& family, void* handle, UINT* index) {
    EnsureDriver();
    const Port* port = FindOpenPort(family, handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (index == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (port->dead != 0 && !options.probeAnswersDead) {
        return MMSYSERR_NODRIVER;
    }
    if (port->dead == 0 && options.probeFailure != MMSYSERR_NOERROR) {
        return options.probeFailure;
    }
    *index = port->device < 0 ? MIDI_MAPPER : static_cast<UINT>(IndexOf(family, port->device));
    return MMSYSERR_NOERROR;
}
