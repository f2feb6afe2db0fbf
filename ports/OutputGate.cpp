#include "OutputGate.h"

#include "Engine.h"
#include "Winmm.h"

#include <atomic>

namespace {

// Why the gate is sound, on Windows Vista and later and on Wine, 32-bit and 64-bit alike.
// It is Dekker's handshake, generalised to any number of senders:
//  - a sender sets its own mark ("inside"), then reads switching; it sends only if switching
//    is clear, and clears its mark once the send has returned;
//  - the window thread sets switching, then waits until every sender's mark reads clear, and
//    only then touches the port.
// The stores and loads of the handshake are sequentially consistent, and the language
// guarantees that of two such store-then-load sequences at least one load sees the other
// thread's store: either the window thread waits for the send, or the sender sees the switch
// and steps back. On x86 such a store is one locked instruction, and no later load passes a
// locked instruction; with a plain store, the store buffer would let each side's load run before
// its own store is visible, and both would go on. FlushProcessWriteBuffers could spare the
// sender that instruction, but it is a stub that does nothing under Wine 8.
//
// Each sending thread has a mark of its own, claimed the first time it sends and kept for the
// life of the process: two threads that shared one would clear each other's mark, and the port
// could be closed under a send that is still running. A claim takes the next free slot and
// publishes its count before the mark is first set, so a switch that has not seen the count
// cannot have missed the mark either (the sender then sees the switch). A thread that ends
// leaves its slot to whichever thread later gets its thread block address, which is free of it
// by then. Should more threads send than there are slots, the rest share one counted mark: two
// locked instructions per send instead of one, and just as sound.
//
// A sender that steps back waits on switchLock in shared mode, which the window thread holds
// exclusively for the whole switch, so it sends to the new port once that is in place. The
// window thread holds the lock only around the close and the open: never across an input-port
// call, which may wait for the delivery thread's callback, nor while a message box waits for the
// user. Each mark has a cache line of its own, which its sender keeps to itself between
// switches, so the locked instruction costs no traffic between processors.
#ifndef QUORVEL_GATE_SENDER_SLOTS
#define QUORVEL_GATE_SENDER_SLOTS 32 // the stress test builds the gate with fewer
#endif
constexpr int kSenderSlots = QUORVEL_GATE_SENDER_SLOTS;

struct alignas(64) SenderMark {
    std::atomic<const void*> owner;
    std::atomic<int> inside; // 0 or 1 on a thread's own mark; a count on the shared one
};

struct alignas(64) Gate {
    const void* windowThread;
    std::atomic<HMIDIOUT> port;
    std::atomic<bool> switching;
    std::atomic<int> claimedSlots;
};

Gate gate{nullptr, nullptr, false, 0};
SenderMark senderMarks[kSenderSlots];
SenderMark sharedMark; // for the threads that found every slot taken
SRWLOCK switchLock = SRWLOCK_INIT;

// The calling thread's environment block (NT_TIB.Self), which identifies it among live threads:
// one load relative to the thread segment register, where GetCurrentThreadId is a call.
const void* CurrentThreadBlock() {
    const void* block;
#if defined(__i386__)
    __asm__("movl %%fs:0x18, %0" : "=r"(block));
#elif defined(__x86_64__)
    __asm__("movq %%gs:0x30, %0" : "=r"(block));
#else
#error "The output gate reads the thread block on i686 and x86-64 Windows only."
#endif
    return block;
}

// This thread's mark, claimed on its first send; null once every slot is taken.
SenderMark* MarkOf(const void* thread) {
    const int claimed = gate.claimedSlots.load(std::memory_order_acquire);
    for (int slot = 0; slot < claimed; ++slot) {
        if (senderMarks[slot].owner.load(std::memory_order_relaxed) == thread) [[likely]] {
            return &senderMarks[slot];
        }
    }
    int slot = gate.claimedSlots.load(std::memory_order_relaxed);
    while (slot < kSenderSlots) {
        if (gate.claimedSlots.compare_exchange_weak(slot, slot + 1, std::memory_order_seq_cst)) {
            senderMarks[slot].owner.store(thread, std::memory_order_relaxed);
            return &senderMarks[slot];
        }
    }
    return nullptr;
}

bool AnySenderInside() {
    const int claimed = gate.claimedSlots.load(std::memory_order_seq_cst);
    for (int slot = 0; slot < claimed; ++slot) {
        if (senderMarks[slot].inside.load(std::memory_order_seq_cst)) {
            return true;
        }
    }
    return sharedMark.inside.load(std::memory_order_seq_cst) != 0;
}

// A thread's own mark is set with one locked store; the shared one is counted.
void SetMark(SenderMark& mark, bool shared) {
    if (shared) [[unlikely]] {
        mark.inside.fetch_add(1, std::memory_order_seq_cst);
    } else {
        mark.inside.store(1, std::memory_order_seq_cst);
    }
}

void ClearMark(SenderMark& mark, bool shared) {
    if (shared) [[unlikely]] {
        mark.inside.fetch_sub(1, std::memory_order_release);
    } else {
        mark.inside.store(0, std::memory_order_release);
    }
}

void WaitForSwitchToEnd() {
    AcquireSRWLockShared(&switchLock);
    ReleaseSRWLockShared(&switchLock);
}

// The window thread's own sends: learn clicks, and releases during a switch.
void SendFromWindowThread(DWORD message) {
    HMIDIOUT port = gate.port.load(std::memory_order_relaxed);
    if (port != nullptr && winmm.midiOutShortMsg(port, message) == MMSYSERR_NOERROR) {
        outputActivity.wordSent.store(true, std::memory_order_relaxed);
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
    for (int spins = 0; AnySenderInside(); ++spins) {
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

HMIDIOUT HeldOutputPort() {
    return gate.port.load(std::memory_order_relaxed);
}

void PlaceOutputPort(HMIDIOUT port) {
    gate.port.store(port, std::memory_order_relaxed);
}

void EndOutputSwitch() {
    gate.switching.store(false, std::memory_order_release);
    ReleaseSRWLockExclusive(&switchLock);
}

void SendThroughOutputGate(DWORD message) {
    const void* thread = CurrentThreadBlock();
    if (thread == gate.windowThread) [[unlikely]] {
        SendFromWindowThread(message);
        return;
    }
    SenderMark* own = MarkOf(thread);
    const bool shared = own == nullptr;
    SenderMark& mark = shared ? sharedMark : *own;
    for (;;) {
        SetMark(mark, shared);
        if (!gate.switching.load(std::memory_order_seq_cst)) [[likely]] {
            break;
        }
        ClearMark(mark, shared);
        WaitForSwitchToEnd();
    }
    // Kept inside the mark: a switch then finds every note that reached the port it closes,
    // and none that went to the port it opens.
    HMIDIOUT port = gate.port.load(std::memory_order_relaxed);
    if (port != nullptr && winmm.midiOutShortMsg(port, message) == MMSYSERR_NOERROR) [[likely]] {
        outputActivity.wordSent.store(true, std::memory_order_relaxed);
        if (MayHoldNotes(message)) {
            KeepHeldNotes(message);
        }
    }
    ClearMark(mark, shared);
}
