#include "OutputGate.h"

#include <atomic>

namespace {

// Why the gate is sound, on Windows Vista and later and on Wine, 32-bit and 64-bit alike.
// It is Dekker's handshake on two flags:
//  - a sender sets senderInside, then reads switching; it sends only if switching is clear,
//    and clears senderInside once the send has returned;
//  - the window thread sets switching, then waits until senderInside reads clear, and only then
//    touches the port.
// Both stores and both loads are sequentially consistent, and the language guarantees that of
// two such store-then-load sequences at least one load sees the other thread's store: either the
// window thread waits for the send, or the sender sees the switch and steps back. The ordering
// comes from the processor, not the operating system: on x86 such a store is one locked
// instruction, and no later load passes a locked instruction. With a plain store, the store
// buffer would let each side's load run before its own store is visible, and both would go on.
// The one call that could spare the sender its locked instruction, FlushProcessWriteBuffers on
// the window thread, is a stub that does nothing under Wine 8; changing a page's protection
// instead relies on the kernel interrupting every processor, which broadcast TLB invalidation
// does away with. The platform calls here only wait, and they are real on every platform: a
// sender that steps back waits on switchLock in shared mode, which the window thread holds
// exclusively for the whole switch, so it sends to the new port once that is in place.
// The window thread holds the lock only around the close and the open: never across an
// input-port call, which may wait for the delivery thread's callback, nor while a message box
// waits for the user. Everything a send touches shares one cache line, which the sender keeps
// to itself between switches, so its locked instruction costs no traffic between processors.
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
