// Input ports: a delivery thread per port polls the device's input file and hands each word to
// the callback, one at a time and in order, while the port is started; and the checks that the
// program keeps the callback's contract.
#include "FakeWinmm.h"

#include <intrin.h>

#include <cstdio>
#include <cstring>

namespace {

volatile LONG callbacksRunning;

void Deliver(Port& port, UINT kind, DWORD_PTR param1, DWORD_PTR param2) {
    if (InterlockedIncrement(&callbacksRunning) > 1) {
        Violation(ViolationConcurrentCallbacks, port.device);
    }
    const std::uint64_t began = StampDelivery();
    port.callback(static_cast<HMIDIIN>(HandleOf(inputs, port)), kind, port.instance, param1,
                  param2);
    if (__rdtsc() - began > CallbackBoundCycles()) {
        Violation(ViolationSlowCallback, port.device);
    }
    InterlockedDecrement(&callbacksRunning);
}

// Delivers one word unless the port was stopped meanwhile; false once it is.
bool DeliverWord(Port& port, DWORD word) {
    EnterCriticalSection(&port.deliveryLock);
    const bool started = port.started != 0;
    // What is played into a pulled cable is lost, as is what arrives while stopped.
    const bool delivered = started && port.dead == 0;
    if (delivered) {
        if (options.recordMessages) {
            Record(EventDelivered, port.device, word);
        }
        Deliver(port, MIM_DATA, word, GetTickCount() - port.startTime);
    }
    LeaveCriticalSection(&port.deliveryLock);
    if (delivered) {
        KeepLatency();
    }
    return started;
}

DWORD WINAPI DeliveryThread(void* parameter) {
    Port& port = *static_cast<Port*>(parameter);
    static_assert(sizeof(DWORD) == 4);
    DWORD words[1024];
    DWORD carried = 0; // bytes of a word whose rest has not been written yet
    unsigned char partial[4];
    while (port.closing == 0) {
        if (port.started == 0 || port.file == INVALID_HANDLE_VALUE) {
            Sleep(1);
            continue;
        }
        unsigned char bytes[sizeof words];
        std::memcpy(bytes, partial, carried);
        DWORD read = 0;
        ReadFile(port.file, bytes + carried, sizeof bytes - carried, &read, nullptr);
        const DWORD total = carried + read;
        const DWORD wordCount = total / 4;
        carried = total % 4;
        std::memcpy(partial, bytes + wordCount * 4, carried);
        if (wordCount == 0) {
            FlushLatency();
            Sleep(1);
            continue;
        }
        std::memcpy(words, bytes, wordCount * 4);
        for (DWORD i = 0; i < wordCount && DeliverWord(port, words[i]); ++i) {
        }
    }
    return 0;
}

bool CalledFromCallback(const Port& port) {
    return GetCurrentThreadId() == port.threadId;
}

void StopInput(Port& port) {
    EnterCriticalSection(&port.deliveryLock);
    port.started = 0;
    LeaveCriticalSection(&port.deliveryLock);
}

// Only what is played after the first start reaches the program.
void OpenInputFile(Port& port) {
    char name[32];
    char path[MAX_PATH];
    std::snprintf(name, sizeof name, kInputFilePattern, port.device);
    PathInFolder(path, name);
    port.file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    SetFilePointer(port.file, 0, nullptr, FILE_END);
}

MMRESULT Start(Port& port) {
    if (port.dead != 0) {
        return MMSYSERR_NODRIVER;
    }
    if (port.file == INVALID_HANDLE_VALUE) {
        OpenInputFile(port);
    }
    port.startTime = GetTickCount();
    port.started = 1;
    Record(EventInputStarted, port.device, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT Stop(Port& port) {
    if (port.dead != 0) {
        return MMSYSERR_NODRIVER;
    }
    if (CalledFromCallback(port)) {
        Violation(ViolationInputCallFromCallback, port.device);
    }
    StopInput(port);
    Record(EventInputStopped, port.device, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT Close(Port& port) {
    if (CalledFromCallback(port)) {
        Violation(ViolationInputCallFromCallback, port.device);
        return MMSYSERR_ERROR;
    }
    StopInput(port);
    port.closing = 1;
    WaitForSingleObject(port.thread, INFINITE);
    CloseHandle(port.thread);
    if (port.file != INVALID_HANDLE_VALUE) {
        CloseHandle(port.file);
    }
    Record(EventCallbackClose, port.device, MIM_CLOSE);
    Deliver(port, MIM_CLOSE, 0, 0);
    DeleteCriticalSection(&port.deliveryLock);
    ReleasePort(inputs, port);
    return MMSYSERR_NOERROR;
}

} // namespace

extern "C" {

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                           DWORD flags) {
    EnsureDriver();
    Port* port = nullptr;
    const bool valid =
        handle != nullptr && (flags & CALLBACK_TYPEMASK) == CALLBACK_FUNCTION && callback != 0;
    const MMRESULT result = ClaimPort(inputs, valid, deviceId, &port);
    if (result != MMSYSERR_NOERROR) {
        if (handle != nullptr) {
            *handle = nullptr;
        }
        return result;
    }
    port->callback = reinterpret_cast<MidiInputCallback>(callback);
    port->instance = instance;
    port->started = 0;
    port->file = INVALID_HANDLE_VALUE;
    InitializeCriticalSection(&port->deliveryLock);
    *handle = static_cast<HMIDIIN>(PublishPort(inputs, *port));
    Record(EventCallbackOpen, port->device, MIM_OPEN);
    Deliver(*port, MIM_OPEN, 0, 0);
    port->thread = CreateThread(nullptr, 0, DeliveryThread, port, 0, &port->threadId);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStart(HMIDIIN handle) {
    return CallOnOpenPort(inputs, handle, Start);
}

MMRESULT WINAPI midiInStop(HMIDIIN handle) {
    return CallOnOpenPort(inputs, handle, Stop);
}

// A call that sends nothing: the device's index, or MMSYSERR_NODRIVER once it has left.
MMRESULT WINAPI midiInGetID(HMIDIIN handle, UINT* deviceId) {
    return DeviceIndexOf(inputs, handle, deviceId);
}

MMRESULT WINAPI midiInClose(HMIDIIN handle) {
    return CallOnOpenPort(inputs, handle, Close);
}

} // extern "C"
