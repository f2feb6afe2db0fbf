// What the virtual MIDI driver and the test harness agree on: the files in the driver's folder,
// the environment that sets it up, and the records it writes. The harness reads this header
// itself (harness/cdefs.py), so a name or a code is added here and nowhere else.
#pragma once

#include <cstdint>

// ---- The driver's folder and its switches ---------------------------------------------------

// Names the driver's folder, as a Windows path. Without it the driver has no device (not even
// the output mapper), writes no file and starts no thread: installed as the prefix's system
// winmm, it acts only for the runs that name a folder.
constexpr const char* kFolderVariable = "QUORVEL_FAKE_MIDI_DIR";
// Set: no per-message records (deliveries, sends, latency), so that the driver's own file
// writes do not disturb a measurement.
constexpr const char* kQuietVariable = "QUORVEL_FAKE_MIDI_QUIET";
// Set: the output gate's stress test. Port slots are reused under new handle generations, no
// close is held open, and every send but the program's own (from the thread that opened the
// port) must carry the word after its sender's last; only those are counted.
constexpr const char* kStressVariable = "QUORVEL_FAKE_MIDI_STRESS";
// How input reaches the callback. Unset: each port's own thread calls it, and midiInStop waits
// for a running callback and drops everything after it. "queued": as Wine's ALSA driver does,
// the ports put what they receive into one queue of 64 entries, from which one delivery thread
// calls the callbacks, MIM_OPEN and MIM_CLOSE included; a stop or a close leaves the queue as it
// is, so what is still in it reaches the old callback, with the old instance value, after
// midiInClose has returned.
constexpr const char* kDeliveryVariable = "QUORVEL_FAKE_MIDI_DELIVERY";
// "renumbered": the lists follow the devices, as classic winmm does: one that leaves takes its
// index with it and those after it move down, one that comes is listed last. Unset: the lists
// are frozen at start, as under Windows 11's MIDI service before its 2026 fix and Wine's ALSA
// driver: a device that leaves stays listed and fails to open, a new one is never listed.
constexpr const char* kListsVariable = "QUORVEL_FAKE_MIDI_LISTS";
// How midiInGetID and midiOutGetID answer. Unset: truly, the device's index, or
// MMSYSERR_NODRIVER once it has left. "fails N": live handles fail with code N, as under the
// 32-bit driver of Windows' MIDI service before its November 2026 fix. "answers-dead": dead
// handles still answer with their device's last index, as Wine's own winmm does.
constexpr const char* kProbesVariable = "QUORVEL_FAKE_MIDI_PROBES";

// One device a line: "in NAME", "out NAME", or "in-busy NAME" / "out-busy NAME" for a device
// that another program holds.
constexpr const char* kDevicesFile = "devices.txt";
// Input is injected by appending 32-bit words to "input-N.bin", N the input device's index.
constexpr const char* kInputFilePattern = "input-%d.bin";
// Stage faults, read every 2 ms. Each line is carried out once, in order; lines are appended.
//   unplug in|out NAME [quiet]  the device leaves: its open handles are dead for good
//   plug in|out NAME [at N] [quiet]  a device of that name comes (back); renumbered, listed at
//                               index N rather than last
// NAME "#N" names device number N, which tells devices of one name apart.
//   notice                      the platform says that devices changed, and nothing more
//   stall out N send|close|open MS  the next send to, or close of, device N takes MS
//                               milliseconds; or its next open that finds it there
//   hold in N until close|open  (queued delivery) the delivery thread takes nothing from the
//                               queue until the program has closed its port of input N; then
//                               what was queued is delivered before that midiInClose returns,
//                               or, with "open", at the program's next midiInOpen, which waits
//                               for it: the latest a word of the old port can come
//   wait MS                     the lines after it are carried out MS milliseconds later
// After an unplug or a plug the driver posts WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to the
// process's top-level windows, as Windows does, unless the line says "quiet".
constexpr const char* kFaultsFile = "faults.txt";
// The devices the program may open, one a line, "in NAME" or "out NAME" ("out MIDI Mapper" for
// the output mapper); lines are appended, and read at every open. An open of any other device
// is a violation. Without the file every device may be opened.
constexpr const char* kAllowedFile = "allowed.txt";
constexpr const char* kMapperName = "MIDI Mapper";
// FakeMidiEvent records, appended.
constexpr const char* kEventsFile = "events.bin";
// One 32-bit count of time-stamp counter cycles per delivered message that was sent on: from
// just before the input callback is called to the entry of its first midiOutShortMsg.
constexpr const char* kLatencyFile = "latency.bin";

// A stress-test word: the top four bits name the sending thread, the rest count its sends.
constexpr int kStressSenderShift = 28;

// A delivery that spends longer than this inside the program's callback is a violation: a
// loaded or emulated machine can hold one for 150 ms by itself.
constexpr int kCallbackBoundMilliseconds = 250;

// ---- Records --------------------------------------------------------------------------------

// A device is recorded by its number: the order in which the driver first saw it, which is its
// line in the devices file for those listed there. It is its index too, until the lists change.
struct FakeMidiEvent {
    std::uint32_t kind;
    std::int32_t device; // device number (index of a failed open); -1 for the output mapper
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
    EventNotice = 21, // WM_DEVICECHANGE posted; word: how many windows it went to
    // As the process ends, one for each note still sounding at an output device that is there:
    // word is its Note On without velocity, or CC 64 without value for a held sustain pedal.
    EventNoteLeftSounding = 22,
    EventQueued = 23,    // (queued delivery) a word put into the queue; word: the message
    EventQueueHeld = 24, // a hold line carried out
};

enum FakeMidiViolation : std::uint32_t {
    ViolationUnknownHandle = 1,
    ViolationClosedHandle = 2,
    ViolationSendDuringClose = 3,
    ViolationConcurrentCallbacks = 5,
    ViolationInputCallFromCallback = 6,
    ViolationOutOfSequence = 8, // a stress-test send that is not the one after its sender's last
    ViolationCallbackHeldTooLong = 9, // longer than kCallbackBoundMilliseconds
    ViolationDeviceNotAllowed = 10,   // an open of a device the allowed file does not name
    ViolationNoteLeftSounding = 11,   // as the process ends, at a device that is still there
    // A Note Off or a sustain release from the thread that opened the port, for a note or pedal
    // that its device does not hold: a release sent twice, or to a port that never got the note.
    ViolationReleaseOfNoteNotHeld = 12,
    // A send from within a delivery of a port that was closed by then: the program forwarded a
    // word from an input the musician left, after what it held there was released.
    ViolationWordOfClosedInputSent = 13,
};
