// The translation engine as the rest of Quorvel sees it: the short message, the user's settings,
// the learn catalogue, and the two seams through which the engine reaches the platform. The input
// callback is in MidiInputCallback.h; what only the engine touches is in EngineInternals.h.
// Portable standard C++; SendToOutput and ReportFailure are defined by the program that links it.
#pragma once

#include <atomic>
#include <cstdint>

// ---- Short messages -------------------------------------------------------------------------

// status in bits 0-7, data1 in bits 8-15, data2 in bits 16-23; bits 24-31 are not part of it.
using ShortMessage = std::uint32_t;

constexpr ShortMessage MakeShortMessage(unsigned status, unsigned data1, unsigned data2) {
    return (status & 0xFFu) | (data1 & 0xFFu) << 8 | (data2 & 0xFFu) << 16;
}
constexpr unsigned StatusOf(ShortMessage message) {
    return message & 0xFFu;
}
constexpr unsigned Data1Of(ShortMessage message) {
    return message >> 8 & 0xFFu;
}
constexpr unsigned Data2Of(ShortMessage message) {
    return message >> 16 & 0xFFu;
}

constexpr unsigned kControlChangeChannel1 = 0xB0;
constexpr unsigned kProgramChangeChannel1 = 0xC0;

constexpr ShortMessage MakeControlChange(unsigned controller, unsigned value) {
    return MakeShortMessage(kControlChangeChannel1, controller, value);
}

// ---- User settings --------------------------------------------------------------------------

enum WheelType : std::int32_t {
    WheelUpDown = 0,
    WheelControlChange = 1,
    WheelEndlessEncoder = 2,
};

// Written by the window thread, read by the MIDI delivery thread while it runs. Every field is
// one aligned byte or word; atomics make that sharing well defined and cost a plain load on x86.
struct BridgeSettings {
    std::atomic<std::int32_t> wheelType{WheelUpDown};
    std::atomic<bool> drumMutesEnabled{true};
    std::atomic<bool> synthMutesEnabled{true};
    std::atomic<std::int32_t> inputDevice{0};
    std::atomic<std::int32_t> outputDevice{0};
    std::atomic<bool> settingsLoaded{false};
};

extern BridgeSettings bridgeSettings;

// ---- Activity -------------------------------------------------------------------------------

// The last word the input port delivered, for the panel's MIDI lights: the delivery thread's one
// relaxed store per word, on a cache line of its own so that the window thread's reads never
// slow the sends beside it; the window thread takes it with exchange(0).
struct alignas(64) InputActivity {
    std::atomic<ShortMessage> lastWord{0};
};

extern InputActivity inputActivity;

// Whether a word reached the open output port since the window thread last looked: set by the
// path that sends it, whichever thread that is, once the port has taken the word; one relaxed
// store, on a cache line of its own. The window thread takes it with exchange(false).
struct alignas(64) OutputActivity {
    std::atomic<bool> wordSent{false};
};

extern OutputActivity outputActivity;

// ---- Notes held at the output --------------------------------------------------------------

// What the output port in use holds of what Quorvel forwarded. A delivery thread keeps it, for
// each word that reached the output; only one input's events, which never overlap, are kept.
void KeepHeldNotes(ShortMessage sent);
// Whether KeepHeldNotes has anything to do with the word: a note, or a Control Change whose
// controller could be the sustain pedal. Inline, so that the clock costs no call.
constexpr bool MayHoldNotes(ShortMessage sent) {
    return (StatusOf(sent) & 0xE0u) == 0x80u || (StatusOf(sent) & 0xF0u) == 0xB0u;
}
// One Note Off for each held note, then a sustain release (CC 64 = 0) for each channel whose
// pedal is held, through SendToOutput, at most `most` of them; what was released is no longer
// held. Returns how many were sent: fewer than `most` once nothing is held. Only while no
// delivery thread is sending: the window thread, during an output switch.
int ReleaseHeldNotes(int most);
constexpr int kEveryRelease = 16 * 128 + 16; // every note of every channel, and every pedal
// "All notes off": its pedals are forgotten before the notes are released, since it releases
// every channel's pedal after them with SilenceEveryChannel: for channels 1 to 16 in turn, CC 64
// = 0 and All Notes Off (CC 123 = 0), through SendToOutput. The same thread rule as above.
void ForgetHeldPedals();
void SilenceEveryChannel();

// ---- Learn catalogue ------------------------------------------------------------------------

enum LearnControl : int {
    LearnSynth1,
    LearnSynth2,
    LearnSynth3,
    LearnSynth4,
    LearnSynth5,
    LearnDrum1,
    LearnDrum2,
    LearnDrum3,
    LearnDrum4,
    LearnDrum5,
    LearnDrum6A,
    LearnDrum6B,
    LearnDrum7A,
    LearnDrum7B,
    LearnWheelUp,
    LearnWheelDown,
    kLearnControlCount
};

struct LearnMessage {
    std::uint8_t controller;
    std::uint8_t buttonValue;
    const char* name; // what the user calls the control: "Drum part 6A"
};

// Control Changes on channel 1, indexed by LearnControl. The panel's buttons send
// buttonValue; the status translator sends the same controllers with its own values.
extern const LearnMessage kLearnCatalogue[kLearnControlCount];

constexpr int kSynthPartCount = 5;
constexpr int kDrumPartCount = 9;

ShortMessage LearnButtonMessage(LearnControl control);

// ---- What the program that links the engine provides ----------------------------------------

// Hands one message to the open output port; does nothing while none is open.
void SendToOutput(ShortMessage message);

// Shows a failure to the user: a modal box with one OK button, no icon and no owner window.
void ReportFailure(const char* text, const char* caption);
