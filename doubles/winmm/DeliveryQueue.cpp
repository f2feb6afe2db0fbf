// The queued delivery, as Wine's ALSA driver does it (dlls/winealsa.drv/alsamidi.c, midi.c): the
// input ports put every event into one queue of 64 entries, and one thread takes them out and
// calls the callbacks. midiInStop and midiInClose leave the queue as it is, so what a port put
// there before reaches its callback, with its instance value, after midiInClose has returned.
#include "FakeWinmm.h"

namespace {

constexpr LONG kQueueLength = 64; // Wine's notify buffer

struct Queue {
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE changed; // an entry came or went, a hold ended, a delivery was done
    Delivery entries[kQueueLength];
    LONG first;
    LONG count;
    LONG heldFor;       // the input device a hold waits for, or -1
    bool untilOpen;     // the hold ends at the next open after that device's close
    bool closed;        // that device's port was closed while held
    std::uint64_t put;  // entries ever put in
    std::uint64_t done; // entries delivered, their callbacks returned
    DWORD threadId;
};

Queue queue;
volatile LONG closedPortDelivery; // set while a delivery of a closed port runs

bool PortClosed(HMIDIIN handle) {
    Port* port = SlotOf(inputs, handle);
    return port == nullptr || !HandleIsOpen(*port, handle);
}

DWORD WINAPI DeliverQueued(void*) {
    EnterCriticalSection(&queue.lock);
    for (;;) {
        while (queue.count == 0 || queue.heldFor >= 0) {
            SleepConditionVariableCS(&queue.changed, &queue.lock, INFINITE);
        }
        const Delivery delivery = queue.entries[queue.first];
        queue.first = (queue.first + 1) % kQueueLength;
        --queue.count;
        WakeAllConditionVariable(&queue.changed);
        LeaveCriticalSection(&queue.lock);
        const bool data = delivery.kind == MIM_DATA;
        if (data && options.recordMessages) {
            Record(EventDelivered, delivery.device, static_cast<std::uint32_t>(delivery.param1));
        } else if (!data) {
            Record(delivery.kind == MIM_OPEN ? EventCallbackOpen : EventCallbackClose,
                   delivery.device, delivery.kind);
        }
        closedPortDelivery = PortClosed(delivery.handle);
        Deliver(delivery);
        closedPortDelivery = 0;
        if (data) {
            KeepLatency();
        }
        EnterCriticalSection(&queue.lock);
        ++queue.done;
        WakeAllConditionVariable(&queue.changed);
    }
}

// With the lock held: what was queued before has been delivered.
void DeliverAllQueued() {
    queue.heldFor = -1;
    WakeAllConditionVariable(&queue.changed);
    const std::uint64_t until = queue.put;
    while (queue.done < until) {
        SleepConditionVariableCS(&queue.changed, &queue.lock, INFINITE);
    }
}

} // namespace

void StartDeliveryQueue() {
    InitializeCriticalSection(&queue.lock);
    InitializeConditionVariable(&queue.changed);
    queue.heldFor = -1;
    CloseHandle(CreateThread(nullptr, 0, DeliverQueued, nullptr, 0, &queue.threadId));
}

bool Enqueue(const Delivery& delivery, volatile LONG& closing) {
    EnterCriticalSection(&queue.lock);
    // A close of the port that waits for its reader must not wait for a held, full queue.
    while (queue.count == kQueueLength && closing == 0) {
        SleepConditionVariableCS(&queue.changed, &queue.lock, 1);
    }
    const bool queued = queue.count < kQueueLength;
    if (queued) {
        queue.entries[(queue.first + queue.count) % kQueueLength] = delivery;
        ++queue.count;
        ++queue.put;
        WakeAllConditionVariable(&queue.changed);
    }
    LeaveCriticalSection(&queue.lock);
    if (queued && delivery.kind == MIM_DATA && options.recordMessages) {
        Record(EventQueued, delivery.device, static_cast<std::uint32_t>(delivery.param1));
    }
    return queued;
}

bool OnQueueThread() {
    return options.queuedDelivery && GetCurrentThreadId() == queue.threadId;
}

bool DeliveringForClosedPort() {
    return closedPortDelivery != 0 && OnQueueThread();
}

void HoldQueue(int device, bool untilOpen) {
    if (!options.queuedDelivery) {
        return; // there is no queue to hold
    }
    EnterCriticalSection(&queue.lock);
    queue.heldFor = device;
    queue.untilOpen = untilOpen;
    queue.closed = false;
    LeaveCriticalSection(&queue.lock);
    Record(EventQueueHeld, device, 0);
}

void InputPortClosed(int device) {
    EnterCriticalSection(&queue.lock);
    if (queue.heldFor >= 0 && queue.heldFor == device) {
        queue.closed = true;
        if (!queue.untilOpen) {
            DeliverAllQueued();
        }
    }
    LeaveCriticalSection(&queue.lock);
}

void InputPortOpening() {
    EnterCriticalSection(&queue.lock);
    if (queue.heldFor >= 0 && queue.closed) {
        DeliverAllQueued();
    }
    LeaveCriticalSection(&queue.lock);
}
