// Input ports: a thread per port polls the device's input file and hands each word to the
// callback, one at a time and in order, while the port is started, itself or through the queue
// (DeliveryQueue.cpp); and the checks that the program keeps the callback's contract.
#include "FakeWinmm.h"

#include <intrin.h>

#include <cstdio>
#include <cstring>

namespace {

volatile LONG callbacksRunning;

Delivery DeliveryOf(Port& port, UINT kind, DWORD_PTR param1, DWORD_PTR param2) {
    return {port.callback, static_cast<HMIDIIN>(HandleOf(inputs, port)),
            port.instance, port.device,
            kind,          param1,
            param2};
}

// An open or a close event: on the queue where delivery is queued, as Wine sends them.
void DeliverPortEvent(Port& port, UINT kind) {
    if (options.queuedDelivery) {
        Enqueue(DeliveryOf(port, kind, 0, 0), port.closing);
        return;
    }
    Record(kind == MIM_OPEN ? EventCallbackOpen : EventCallbackClose, port.device, kind);
    Deliver(DeliveryOf(port, kind, 0, 0));
}

// Queues one word unless the port is stopped or dead; false once it is stopped.
bool QueueWord(Port& port, DWORD word) {
    const bool started = port.started != 0;
    if (started && port.dead == 0) {
        Enqueue(DeliveryOf(port, MIM_DATA, word, GetTickCount() - port.startTime), port.closing);
    }
    return started;
}

// Delivers one word unless the port was stopped meanwhile; false once it is.
bool DeliverWord(Port& port, DWORD word) {
    if (options.queuedDelivery) {
        return QueueWord(port, word);
    }
    EnterCriticalSection(&port.deliveryLock);
    const bool started = port.started != 0;
    // What is played into a pulled cable is lost, as is what arrives while stopped.
    const bool delivered = started && port.dead == 0;
    if (delivered) {
        if (options.recordMessages) {
            Record(EventDelivered, port.device, word);
        }
        Deliver(DeliveryOf(port, MIM_DATA, word, GetTickCount() - port.startTime));
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
    return GetCurrentThreadId() == port.threadId || OnQueueThread();
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
    DeliverPortEvent(port, MIM_CLOSE);
    DeleteCriticalSection(&port.deliveryLock);
    ReleasePort(inputs, port);
    if (options.queuedDelivery) {
        InputPortClosed(port.device);
    }
    return MMSYSERR_NOERROR;
}

} // namespace

void Deliver(const Delivery& delivery) {
    if (InterlockedIncrement(&callbacksRunning) > 1) {
        Violation(ViolationConcurrentCallbacks, delivery.device);
    }
    const std::uint64_t began = StampDelivery();
    delivery.callback(delivery.handle, delivery.kind, delivery.instance, delivery.param1,
                      delivery.param2);
    if (__rdtsc() - began > CallbackBoundCycles()) {
        Violation(ViolationCallbackHeldTooLong, delivery.device);
    }
    InterlockedDecrement(&callbacksRunning);
}

extern "C" {

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                           DWORD flags) {
    EnsureDriver();
    if (options.queuedDelivery) {
        InputPortOpening();
    }
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
    DeliverPortEvent(*port, MIM_OPEN);
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
