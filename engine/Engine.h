// The translation engine: the records every part of Quorvel shares, the learn catalogue, the
// input router and the two translators. Portable standard C++; the platform is reached only
// through SendToOutput and ReportFailure, which the program that links the engine defines.
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

// ---- Translator memory ----------------------------------------------------------------------

constexpr int kBitTextSize = 20;

// Touched only on the delivery thread; lives, unreset, for the whole process.
struct TranslatorState {
    bool bankHigh = false;
    std::int32_t currentProgram = 0;
    std::int32_t previousProgram = 0;
    bool synthStatusArmed = false;
    bool drumStatusArmed = false;
    char bitText[kBitTextSize] = {};
};

extern TranslatorState translatorState;

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

// ---- Router ---------------------------------------------------------------------------------

// The input port's event kind for one short message (the platform's MIM_DATA).
constexpr std::uint32_t kMidiInputData = 0x3C3;

// The platform's input handle type, declared the way its headers declare it, so that
// OnMidiInput below has exactly the callback type the input port expects.
struct HMIDIIN__;

#if defined(_WIN32)
#define MIDI_INPUT_CALLBACK __stdcall
#else
#define MIDI_INPUT_CALLBACK
#endif

#if defined(_WIN64)
using MidiEventParam = unsigned long long; // DWORD_PTR on 64-bit Windows
#elif defined(_WIN32)
using MidiEventParam = unsigned long; // DWORD_PTR on 32-bit Windows
#else
using MidiEventParam = std::uintptr_t;
#endif

// The input port's callback: called once per event on the platform's delivery thread.
void MIDI_INPUT_CALLBACK OnMidiInput(HMIDIIN__* port, std::uint32_t eventKind,
                                     MidiEventParam instance, MidiEventParam param1,
                                     MidiEventParam param2);

// The router's rules for one event, without the callback's platform arguments.
void RouteMidiEvent(std::uint32_t eventKind, ShortMessage message);

// ---- Translators ----------------------------------------------------------------------------

void ApplyBankSelect(unsigned value);
void TranslateWheel(unsigned programNumber);

void SelectStatusReport(unsigned nrpnLsb);
void TranslateStatusLsb(unsigned value);
void TranslateStatusMsb(unsigned value);
void FormatBits(unsigned value);
