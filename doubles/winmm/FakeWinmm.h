// The record layout the virtual MIDI driver writes and the test harness reads back.
#pragma once

#include <cstdint>

// "latency.bin" holds one 32-bit count of time-stamp counter cycles per delivered message that
// was sent on: from just before the input callback is called to the entry of the callback's
// first midiOutShortMsg. Both stamps are taken with nothing recorded between them.

// One fixed-size record per event, appended to "events.bin" in the driver's folder.
struct FakeMidiEvent {
    std::uint32_t kind;
    std::int32_t device; // device index; -1 for the output mapper
    std::uint32_t word;  // the message, or a result or violation code
    std::uint32_t thread;
    std::int64_t ticks; // QueryPerformanceCounter
};
static_assert(sizeof(FakeMidiEvent) == 24);

enum FakeMidiEventKind : std::uint32_t {
    EventClockFrequency = 1, // ticks holds the counter's frequency; first record of the file
    EventInputOpened = 2,
    EventInputOpenFailed = 3, // word: result code
    EventInputStarted = 4,
    EventInputStopped = 5,
    EventInputClosed = 6,
    EventOutputOpened = 7,
    EventOutputOpenFailed = 8,
    EventOutputClosed = 9,
    EventDelivered = 10, // just before the MIM_DATA callback
    EventSent = 11,      // midiOutShortMsg on an open port
    EventViolation = 12, // word: FakeMidiViolation
    EventCallbackOpen = 13,
    EventCallbackClose = 14,
    EventTscFrequency = 15,  // ticks holds the time-stamp counter's cycles per second
    EventSendTotal = 16,     // word: sends the driver took, written as the process ends
    EventDeviceRemoved = 17, // word: 0 for an input device, 1 for an output
    EventDeviceReturned = 18,
    EventStallBegan = 19, // word: milliseconds
    EventStallEnded = 20,
};

enum FakeMidiViolation : std::uint32_t {
    ViolationUnknownHandle = 1,
    ViolationClosedHandle = 2,
    ViolationSendDuringClose = 3,
    ViolationCallbackAfterStop = 4,
    ViolationConcurrentCallbacks = 5,
    ViolationInputCallFromCallback = 6,
    ViolationBadCallbackKind = 7,
    ViolationOutOfSequence = 8, // a stress-test send that is not the one after its sender's last
    ViolationSlowCallback = 9,  // longer than QUORVEL_FAKE_MIDI_CALLBACK_BOUND_MS (100 ms)
};
