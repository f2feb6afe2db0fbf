#include "MidiPorts.h"

#include "Engine.h"

#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <type_traits>

namespace {

// The input port takes its callback as a plain DWORD_PTR, so nothing else would notice a
// wrong calling convention or parameter width (on i686 CALLBACK is __stdcall).
using PlatformMidiInputCallback = void(CALLBACK*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);
static_assert(std::is_same_v<decltype(&OnMidiInput), PlatformMidiInputCallback>,
              "OnMidiInput must have the input port's exact callback type");
static_assert(kMidiInputData == MIM_DATA);

constexpr const char* kPortErrorCaption = "Error";

// Null means no port is open; a handle is set back to null as soon as its port is closed or
// its open fails, so no platform call ever sees a handle that is already closed.
HMIDIIN inputPort = nullptr;

// The output gate. Only the window thread closes and opens the output port, so its own sends
// need no guard; every other thread's send (the delivery thread's) passes the gate:
//  - the sender marks itself in send with a plain store, then reads the switching flag;
//  - the window thread sets the switching flag, then FlushProcessWriteBuffers: once it returns,
//    every processor has drained its store buffer, so either the sender's mark is visible to
//    the window thread or the sender's later read sees the flag set;
//  - the window thread then waits for the mark to clear before it closes the port, and a
//    sender that sees the flag set steps back and waits on outputSwitchLock, which the
//    window thread holds for the whole switch, and then sends to the new port.
// So a send never reaches a closed port, nothing is lost, each thread's sends keep their
// order, and the hot path takes no locked instruction. Neither side holds anything across an
// input-port call, which may wait for the delivery thread's callback. Everything a send reads
// or writes shares one cache line.
struct alignas(64) OutputGate {
    const void* windowThread;
    std::atomic<HMIDIOUT> port;
    std::atomic<bool> deliveryInSend;
    std::atomic<bool> switching;
};
OutputGate output{nullptr, nullptr, false, false};
SRWLOCK outputSwitchLock = SRWLOCK_INIT;

// The calling thread's environment block (NT_TIB.Self), which identifies it among live threads:
// one load relative to the thread segment register, where GetCurrentThreadId is a call.
const void* CurrentThreadBlock() {
    const void* block;
#if defined(__i386__)
    __asm__("movl %%fs:0x18, %0" : "=r"(block));
#else
    __asm__("movq %%gs:0x30, %0" : "=r"(block));
#endif
    return block;
}

void BeginOutputSwitch() {
    AcquireSRWLockExclusive(&outputSwitchLock);
    output.switching.store(true, std::memory_order_relaxed);
    FlushProcessWriteBuffers();
    while (output.deliveryInSend.load(std::memory_order_acquire)) {
        SwitchToThread();
    }
}

void EndOutputSwitch() {
    output.switching.store(false, std::memory_order_release);
    ReleaseSRWLockExclusive(&outputSwitchLock);
}

void SendToOpenPort(ShortMessage message) {
    HMIDIOUT port = output.port.load(std::memory_order_relaxed);
    if (port != nullptr) {
        midiOutShortMsg(port, message);
    }
}

void SendThroughGate(ShortMessage message) {
    for (;;) {
        output.deliveryInSend.store(true, std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (!output.switching.load(std::memory_order_acquire)) [[likely]] {
            break;
        }
        output.deliveryInSend.store(false, std::memory_order_release);
        AcquireSRWLockShared(&outputSwitchLock); // until the new port is in place
        ReleaseSRWLockShared(&outputSwitchLock);
    }
    SendToOpenPort(message);
    output.deliveryInSend.store(false, std::memory_order_release);
}

UINT PlatformDeviceId(std::int32_t deviceIndex) {
    return static_cast<UINT>(deviceIndex); // -1 becomes 0xFFFFFFFF, the platform's mapper id
}

void ReportOpenFailure(MMRESULT result) {
    char text[64];
    std::snprintf(text, sizeof text, "Can't open midi Device: %i", static_cast<int>(result));
    ReportFailure(text, kPortErrorCaption);
}

void StopAndCloseInput() {
    if (inputPort != nullptr) {
        midiInStop(inputPort);
        midiInClose(inputPort);
        inputPort = nullptr;
    }
}

// Call between BeginOutputSwitch and EndOutputSwitch.
void CloseOutputSwitching() {
    HMIDIOUT port = output.port.load(std::memory_order_relaxed);
    if (port != nullptr) {
        output.port.store(nullptr, std::memory_order_relaxed);
        midiOutClose(port);
    }
}

} // namespace

void ListMidiDevices(HWND inputList, HWND outputList) {
    const UINT inputCount = midiInGetNumDevs();
    const UINT outputCount = midiOutGetNumDevs();
    for (UINT device = 0; device < inputCount; ++device) {
        MIDIINCAPSA caps{};
        midiInGetDevCapsA(device, &caps, sizeof caps);
        caps.szPname[MAXPNAMELEN - 1] = '\0';
        SendMessageA(inputList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caps.szPname));
    }
    for (UINT device = 0; device < outputCount; ++device) {
        MIDIOUTCAPSA caps{};
        midiOutGetDevCapsA(device, &caps, sizeof caps);
        caps.szPname[MAXPNAMELEN - 1] = '\0';
        SendMessageA(outputList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(caps.szPname));
    }
}

void OpenMidiInput() {
    StopAndCloseInput();
    HMIDIIN opened = nullptr;
    const MMRESULT result =
        midiInOpen(&opened, PlatformDeviceId(bridgeSettings.inputDevice),
                   reinterpret_cast<DWORD_PTR>(&OnMidiInput), 0, CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) {
        ReportOpenFailure(result);
        return;
    }
    inputPort = opened;
    midiInStart(inputPort);
}

void OpenMidiOutput() {
    BeginOutputSwitch();
    CloseOutputSwitching();
    HMIDIOUT opened = nullptr;
    const MMRESULT result =
        midiOutOpen(&opened, PlatformDeviceId(bridgeSettings.outputDevice), 0, 0, CALLBACK_NULL);
    if (result == MMSYSERR_NOERROR) {
        output.port.store(opened, std::memory_order_relaxed);
    }
    EndOutputSwitch();
    // The box waits for the user: show it only once the delivery thread can send again.
    if (result != MMSYSERR_NOERROR) {
        ReportOpenFailure(result);
    }
}

void CloseMidiPorts() {
    StopAndCloseInput();
    BeginOutputSwitch();
    CloseOutputSwitching();
    EndOutputSwitch();
}

void MarkWindowThread() {
    output.windowThread = CurrentThreadBlock();
}

void SendToOutput(ShortMessage message) {
    if (CurrentThreadBlock() == output.windowThread) [[unlikely]] {
        SendToOpenPort(message);
    } else {
        SendThroughGate(message);
    }
}
