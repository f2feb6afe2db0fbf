// The input port's callback, declared with the platform's own types and calling convention
// without including a platform header, so that the ports can check at compile time that it is
// exactly what the input port expects.
#pragma once

#include <cstdint>

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
