// Output ports: sends are counted and recorded, a send that races a close of its port is
// caught, and in the stress test every word must follow its sender's last one.
#include "FakeWinmm.h"

#include <intrin.h>

namespace {

constexpr DWORD kStressCountMask = (1u << kStressSenderShift) - 1;

volatile LONG sendCount;
volatile LONG lastSentWords[1 << (32 - kStressSenderShift)];

// Keeps this send's word as its sender's last: each sender's count goes up by one per send.
bool FollowsItsSendersLast(DWORD message) {
    volatile LONG& last = lastSentWords[message >> kStressSenderShift];
    const auto before = static_cast<DWORD>(InterlockedExchange(&last, static_cast<LONG>(message)));
    return (message & kStressCountMask) == (before & kStressCountMask) + 1;
}

// Holds a close open for a moment, so that a send racing it is caught.
void HoldClose(std::int64_t microseconds, const Port& port) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const std::int64_t end = Ticks() + frequency.QuadPart * microseconds / 1000000;
    while (Ticks() < end) {
        if (port.sending != 0) {
            Violation(ViolationSendDuringClose, port.device);
            return;
        }
    }
}

MMRESULT Close(Port& port) {
    InterlockedExchange(&port.closing, 1);
    if (port.device >= 0) {
        Stall(outputs.devices[port.device].stallCloseMilliseconds, port.device);
    }
    if (port.sending != 0) {
        Violation(ViolationSendDuringClose, port.device);
    } else if (!options.stress) {
        HoldClose(200, port);
    }
    ReleasePort(outputs, port);
    return MMSYSERR_NOERROR;
}

} // namespace

std::uint32_t SendsTaken() {
    return static_cast<std::uint32_t>(sendCount);
}

extern "C" {

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR,
                            DWORD flags) {
    EnsureDriver();
    const int device = ListedDevice(outputs, deviceId);
    if (device >= 0 && outputs.devices[device].removed == 0) {
        Stall(outputs.devices[device].stallOpenMilliseconds, device);
    }
    Port* port = nullptr;
    const bool valid =
        handle != nullptr && (flags & CALLBACK_TYPEMASK) == CALLBACK_NULL && callback == 0;
    const MMRESULT result = ClaimPort(outputs, valid, deviceId, &port);
    if (result != MMSYSERR_NOERROR) {
        if (handle != nullptr) {
            *handle = nullptr;
        }
        return result;
    }
    port->openerThreadId = GetCurrentThreadId();
    *handle = static_cast<HMIDIOUT>(PublishPort(outputs, *port));
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutShortMsg(HMIDIOUT handle, DWORD message) {
    StampSend(__rdtsc());
    EnsureDriver();
    Port* port = SlotOf(outputs, handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    // In the slot before anything is checked: a close that begins after this sees the send,
    // and one that began before is seen here, as `closing` or as a new generation.
    InterlockedIncrement(&port->sending);
    MMRESULT result = MMSYSERR_NOERROR;
    if (!HandleIsOpen(*port, handle)) {
        Violation(ViolationClosedHandle, port->device);
        result = MMSYSERR_INVALHANDLE;
    } else if (port->closing != 0) {
        Violation(ViolationSendDuringClose, port->device);
    } else if (port->dead != 0) {
        result = MMSYSERR_NODRIVER;
    } else if (DeliveringForClosedPort()) {
        Violation(ViolationWordOfClosedInputSent, port->device);
    } else if (port->device >= 0) {
        Stall(outputs.devices[port->device].stallSendMilliseconds, port->device);
    }
    if (result == MMSYSERR_NOERROR) {
        // The program's own sends (its releases) are not its senders' counted words.
        const bool counted = !options.stress || GetCurrentThreadId() != port->openerThreadId;
        if (counted) {
            InterlockedIncrement(&sendCount);
        }
        HearSend(*port, message);
        if (options.stress && counted && !FollowsItsSendersLast(message)) {
            Violation(ViolationOutOfSequence, port->device);
        }
        if (options.recordMessages) {
            Record(EventSent, port->device, message);
        }
    }
    InterlockedDecrement(&port->sending);
    return result;
}

MMRESULT WINAPI midiOutGetID(HMIDIOUT handle, UINT* deviceId) {
    return DeviceIndexOf(outputs, handle, deviceId);
}

MMRESULT WINAPI midiOutClose(HMIDIOUT handle) {
    return CallOnOpenPort(outputs, handle, Close);
}

} // extern "C"
