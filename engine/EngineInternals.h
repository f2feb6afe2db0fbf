// What only the engine touches, and the tests that look inside it: its memory between messages,
// the router's rules without the callback's platform arguments, and the translators.
#pragma once

#include "Engine.h"
#include "MidiInputCallback.h"

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

// ---- Router -------------------------------------------------------------------------------------

// The router's rules for one event, without the callback's platform arguments.
void RouteMidiEvent(std::uint32_t eventKind, ShortMessage message);

// ---- Translators ----------------------------------------------------------------------------

void ApplyBankSelect(unsigned value);
void TranslateWheel(unsigned programNumber);

void SelectStatusReport(unsigned nrpnLsb);
void TranslateStatusLsb(unsigned value);
void TranslateStatusMsb(unsigned value);
void FormatBits(unsigned value);
