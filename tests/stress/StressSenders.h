// What the stress programs share: the program's own ports on the system's winmm, sending threads
// that run without pause, each with a number of its own, and the main thread, the window thread,
// switching the output between devices 0 and 1 with the program's own OpenMidiOutput.
#pragma once

#include "Engine.h"
#include "MidiPorts.h"
#include "OutputGate.h"
#include "SystemLibraries.h"
#include "Winmm.h"

#include <atomic>
#include <cstddef>
#include <cstdio>

inline std::atomic<bool> stopSending{false};
inline std::atomic<int> sendersRunning{0}; // each sender adds itself once it runs

// The ports on the system's winmm, loaded as the program loads it, with output 0 open; false,
// said on stderr, where the system has no usable winmm.
inline bool OpenOutputZero() {
    if (!BindWinmm(LoadSystemLibrary(L"winmm.dll"))) {
        std::fprintf(stderr, "no usable winmm in the system folder\n");
        return false;
    }
    MarkWindowThread();
    bridgeSettings.outputDevice = 0;
    OpenMidiOutput();
    return true;
}

// Starts `count` threads on `send`, given the numbers first, first + 1, ...; returns once every
// one of them runs.
inline void StartSenders(HANDLE* threads, int count, LPTHREAD_START_ROUTINE send, int first) {
    for (int at = 0; at < count; ++at) {
        threads[at] = CreateThread(nullptr, 0, send, reinterpret_cast<void*>(UINT_PTR(first + at)),
                                   0, nullptr);
    }
    while (sendersRunning.load() < count) {
        SwitchToThread();
    }
}

inline void SwitchOutput(long& switches) {
    bridgeSettings.outputDevice = static_cast<std::int32_t>(++switches & 1);
    OpenMidiOutput();
}

// Stops the senders, waits for their end and closes the ports; returns the words they sent.
template <std::size_t kSlots>
unsigned long StopSenders(HANDLE* threads, int count, const DWORD (&wordsSent)[kSlots]) {
    stopSending.store(true);
    WaitForMultipleObjects(static_cast<DWORD>(count), threads, TRUE, INFINITE);
    CloseMidiPorts();
    unsigned long total = 0;
    for (DWORD sent : wordsSent) {
        total += sent;
    }
    return total;
}
