#include "OutputGate.h"

#include "Engine.h"
#include "Winmm.h"

#include <algorithm>
#include <atomic>
#include <iterator>

namespace {

// Why the gate is sound, on Windows Vista and later and on Wine, 32-bit and 64-bit alike.
// It is Dekker's handshake, generalised to any number of senders:
//  - a sender sets its own mark ("inside"), then reads switching; it sends only if switching
//    is clear, and clears its mark once the send has returned;
//  - the window thread sets switching, then waits until every sender's mark reads clear, and
//    only then touches the port.
// On x86 a store waits in its processor's store buffer while later loads run, so each side's
// load could run before its own store is visible, and both would go on. The window thread's
// store is locked, which drains its buffer. The sender's is plain, since a locked store would
// double the time from a delivery to its send: instead, the window thread stops each sending
// thread once per switch, after its own store. SuspendThread takes effect later; GetThreadContext
// returns once the thread has stopped ("The SuspendThread function suspends a thread, but it
// does so asynchronously", The Old New Thing, 5 February 2015). A thread stops only through the
// kernel, whose locked instructions on the thread's own processor drain its store buffer. So
// once its context is in hand, its mark reads as it left it, and whatever it loads after it
// resumes sees switching set. A mark that reads set is waited for; a clear one stays clear until
// the switch ends, since the sender then sees switching and steps back. The stopped thread is
// resumed at once: the window thread takes no lock and calls nothing else meanwhile, so it never
// waits for anything a stopped thread may hold. FlushProcessWriteBuffers would do the same with
// one call, but it is a stub that does nothing under Wine 8.
//
// Each sending thread claims a mark of its own the first time it sends, opening a handle to
// itself for the window thread and placing it in the mark before its id. The handle keeps the
// id from being reused, so the id names the mark's thread for as long as the mark is claimed;
// the window thread frees the mark of a thread that has ended. The id is stored with a locked
// instruction, so a switch that did not see it is seen by the claiming thread. Should more
// threads send than there are marks, the rest share one counted mark, set with a locked
// instruction: just as sound, and as slow as a locked instruction.
//
// A sender that steps back waits on switchLock in shared mode, which the window thread holds
// exclusively for the whole switch, so it sends to the new port once that is in place. The
// window thread holds the lock only around the close and the open: never across an input-port
// call, which may wait for the delivery thread's callback, nor while a message box waits for the
// user. Each mark has a cache line of its own, which its sender keeps to itself between
// switches.
#ifndef QUORVEL_GATE_SENDER_SLOTS
#define QUORVEL_GATE_SENDER_SLOTS 32 // the stress test builds the gate with fewer
#endif
constexpr int kSenderSlots = QUORVEL_GATE_SENDER_SLOTS;

struct alignas(64) SenderMark {
    std::atomic<DWORD> owner;   // the sending thread's id; 0 while the mark is free
    std::atomic<HANDLE> thread; // that thread, once its claim is done
    std::atomic<int> inside;    // 0 or 1 on a thread's own mark; a count on the shared one
};

struct alignas(64) Gate {
    DWORD windowThread;
    std::atomic<HMIDIOUT> port;
    std::atomic<bool> switching;
};

Gate gate{0, nullptr, false};
SenderMark senderMarks[kSenderSlots];
SenderMark sharedMark; // for the threads that found every mark taken
SRWLOCK switchLock = SRWLOCK_INIT;

// The calling thread's id from its environment block (NT_TIB's ClientId.UniqueThread): one load
// relative to the thread segment register, as GetCurrentThreadId does it, without the call.
DWORD CurrentThreadId() {
    DWORD id;
#if defined(__i386__)
    __asm__("movl %%fs:0x24, %0" : "=r"(id));
#elif defined(__x86_64__)
    __asm__("movl %%gs:0x48, %0" : "=r"(id));
#else
#error "The output gate reads the thread id on i686 and x86-64 Windows only."
#endif
    return id;
}

// Claims a free mark for this thread; null when none is free or the thread cannot be opened.
// The handle is in the mark before its owner: a switch that sees the owner can stop the thread.
SenderMark* ClaimMark(DWORD thread) {
    auto isFree = [](const SenderMark& mark) {
        return mark.thread.load(std::memory_order_relaxed) == nullptr;
    };
    if (std::none_of(std::begin(senderMarks), std::end(senderMarks), isFree)) {
        return nullptr;
    }
    // Windows XP's and Server 2003's GetThreadContext also asked for the right to query.
    HANDLE self = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION |
                                 SYNCHRONIZE,
                             FALSE, thread);
    if (self == nullptr) {
        return nullptr;
    }
    for (SenderMark& mark : senderMarks) {
        HANDLE none = nullptr;
        if (mark.thread.compare_exchange_strong(none, self, std::memory_order_acquire)) {
            mark.owner.store(thread, std::memory_order_seq_cst);
            return &mark;
        }
    }
    CloseHandle(self);
    return nullptr;
}

// This thread's mark, claimed on its first send; null once every mark is taken.
SenderMark* MarkOf(DWORD thread) {
    for (SenderMark& mark : senderMarks) {
        if (mark.owner.load(std::memory_order_relaxed) == thread) [[likely]] {
            return &mark;
        }
    }
    return ClaimMark(thread);
}

// Stops the thread until ResumeThread, with every store it made visible here; false where it
// has ended. Should its context not be read, Windows' own barrier makes its stores visible: it
// is real on Windows, and Wine, where it does nothing, reads the context.
bool StopUntilResumed(HANDLE thread) {
    while (SuspendThread(thread) == static_cast<DWORD>(-1)) {
        if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) {
            return false;
        }
        SwitchToThread();
    }
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    if (!GetThreadContext(thread, &context)) {
        FlushProcessWriteBuffers();
    }
    return true;
}

void FreeMark(SenderMark& mark, HANDLE thread) {
    mark.owner.store(0, std::memory_order_relaxed);
    mark.inside.store(0, std::memory_order_relaxed);
    CloseHandle(thread);
    mark.thread.store(nullptr, std::memory_order_release);
}

// A send is over in microseconds, unless the driver stalls: then give the processor back rather
// than spin through it. A thread that ended inside a send never clears its mark: it is freed.
void WaitUntilClear(SenderMark& mark, HANDLE thread) {
    for (int spins = 0; mark.inside.load(std::memory_order_seq_cst) != 0; ++spins) {
        if (spins < 64) {
            SwitchToThread();
        } else if (thread == nullptr) {
            Sleep(1);
        } else if (WaitForSingleObject(thread, 1) == WAIT_OBJECT_0) {
            FreeMark(mark, thread);
            return;
        }
    }
}

// Window thread, with switching set: returns once no sender is inside a send, and every one
// that comes sees switching.
void WaitForSendersOutside() {
    for (SenderMark& mark : senderMarks) {
        if (mark.owner.load(std::memory_order_seq_cst) == 0) {
            continue; // a claim after this sees switching
        }
        HANDLE thread = mark.thread.load(std::memory_order_relaxed);
        if (!StopUntilResumed(thread)) {
            FreeMark(mark, thread);
            continue;
        }
        const bool inside = mark.inside.load(std::memory_order_acquire) != 0;
        ResumeThread(thread);
        if (inside) {
            WaitUntilClear(mark, thread);
        }
    }
    WaitUntilClear(sharedMark, nullptr);
}

void WaitForSwitchToEnd() {
    AcquireSRWLockShared(&switchLock);
    ReleaseSRWLockShared(&switchLock);
}

// One word to the port in place, if there is one; true once the port took it. Inlined, so that
// a delivery makes no call more than its send on the way to the port.
[[gnu::always_inline]] inline bool SendToPort(DWORD message) {
    HMIDIOUT port = gate.port.load(std::memory_order_relaxed);
    if (port == nullptr || winmm.midiOutShortMsg(port, message) != MMSYSERR_NOERROR) [[unlikely]] {
        return false;
    }
    outputActivity.wordSent.store(true, std::memory_order_relaxed);
    return true;
}

void SendAndKeep(DWORD message) {
    if (SendToPort(message) && MayHoldNotes(message)) {
        KeepHeldNotes(message);
    }
}

// The threads that found every mark taken: a locked count, and a locked load's order.
void SendWithSharedMark(DWORD message) {
    for (;;) {
        sharedMark.inside.fetch_add(1, std::memory_order_seq_cst);
        if (!gate.switching.load(std::memory_order_seq_cst)) [[likely]] {
            break;
        }
        sharedMark.inside.fetch_sub(1, std::memory_order_release);
        WaitForSwitchToEnd();
    }
    SendAndKeep(message);
    sharedMark.inside.fetch_sub(1, std::memory_order_release);
}

} // namespace

void MarkWindowThread() {
    gate.windowThread = CurrentThreadId();
}

void BeginOutputSwitch() {
    AcquireSRWLockExclusive(&switchLock);
    gate.switching.store(true, std::memory_order_seq_cst);
    WaitForSendersOutside();
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
    const DWORD thread = CurrentThreadId();
    if (thread == gate.windowThread) [[unlikely]] {
        SendToPort(message); // learn clicks, and releases during a switch: never kept
        return;
    }
    SenderMark* mark = MarkOf(thread);
    if (mark == nullptr) [[unlikely]] {
        SendWithSharedMark(message);
        return;
    }
    for (;;) {
        mark->inside.store(1, std::memory_order_relaxed);
        // Only the compiler must keep the mark before the load: the switch stops this thread
        // to read the mark, which the processor then cannot hold back.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (!gate.switching.load(std::memory_order_seq_cst)) [[likely]] {
            break;
        }
        mark->inside.store(0, std::memory_order_release);
        WaitForSwitchToEnd();
    }
    // Kept inside the mark: a switch then finds every note that reached the port it closes,
    // and none that went to the port it opens.
    SendAndKeep(message);
    mark->inside.store(0, std::memory_order_release);
}
