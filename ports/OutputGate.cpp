#include "OutputGate.h"

#include <atomic>

namespace {

// Why the gate is sound. It is Dekker's handshake on two flags:
//  - a sender sets senderInside, then reads switching; it sends only if switching is clear,
//    and clears senderInside when the send has returned;
//  - the window thread sets switching, then waits until senderInside reads clear, and only then
//    touches the port.
// Both stores are sequentially consistent, and so are both loads. The language guarantees that
// of two such store-then-load sequences at least one load sees the other thread's store: either
// the window thread waits for the send, or the sender sees the switch and steps back. That needs
// no promise from the operating system: on x86, for 32 and 64 bits alike, such a store is one
// locked instruction, and the architecture never lets a later load pass a locked instruction.
// A plain store would not do: the processor's store buffer lets each side's load run before its
// own store is visible, so both would go ahead. A process-wide barrier from the window thread
// (FlushProcessWriteBuffers) would spare the sender its locked instruction, but Wine, which
// people run Windows MIDI tools under, leaves that call a stub that does nothing.
// A sender that steps back waits on switchLock in shared mode. The window thread holds it
// exclusively for the whole switch, so the sender sleeps until the new port is in place.
// Nothing here is held while a switch is not in progress, and the window thread holds the lock
// only around the close and the open: never across an input-port call, which may wait for the
// delivery thread's callback, nor while a message box waits for the user.
// Everything a send touches shares one cache line, which the sender keeps to itself between
// switches, so its locked instruction costs no traffic between processors.
struct alignas(64) Gate {
    const void* windowThread;
    std::atomic<HMIDIOUT> port;
    std::atomic<bool> senderInside;
    std::atomic<bool> switching;
};
Gate gate{nullptr, nullptr, false, false};
SRWLOCK switchLock = SRWLOCK_INIT;

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

void SendToHeldPort(DWORD message) {
    HMIDIOUT port = gate.port.load(std::memory_order_relaxed);
    if (port != nullptr) {
        midiOutShortMsg(port, message);
    }
}

} // namespace

void MarkWindowThread() {
    gate.windowThread = CurrentThreadBlock();
}

void BeginOutputSwitch() {
    AcquireSRWLockExclusive(&switchLock);
    gate.switching.store(true, std::memory_order_seq_cst);
    // A send is over in microseconds, unless the driver stalls: then give the processor
    // back rather than spin through it.
    for (int spins = 0; gate.senderInside.load(std::memory_order_seq_cst); ++spins) {
        if (spins < 64) {
            SwitchToThread();
        } else {
            Sleep(1);
        }
    }
}

HMIDIOUT TakeOutputPort() {
    return gate.port.exchange(nullptr, std::memory_order_relaxed);
}

void PlaceOutputPort(HMIDIOUT port) {
    gate.port.store(port, std::memory_order_relaxed);
}

void EndOutputSwitch() {
    gate.switching.store(false, std::memory_order_release);
    ReleaseSRWLockExclusive(&switchLock);
}

void SendThroughOutputGate(DWORD message) {
    if (CurrentThreadBlock() == gate.windowThread) [[unlikely]] {
        SendToHeldPort(message);
        return;
    }
    for (;;) {
        gate.senderInside.store(true, std::memory_order_seq_cst);
        if (!gate.switching.load(std::memory_order_seq_cst)) [[likely]] {
            break;
        }
        gate.senderInside.store(false, std::memory_order_release);
        AcquireSRWLockShared(&switchLock);
        ReleaseSRWLockShared(&switchLock);
    }
    SendToHeldPort(message);
    gate.senderInside.store(false, std::memory_order_release);
}
