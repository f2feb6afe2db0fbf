// The input port's callback, declared with the platform's own types and calling convention
// without including a platform header, so that the ports can check at compile time that it is
// exactly what the input port expects.
#pragma once

#include <atomic>
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

// The instance value that the input port now open was given, 0 while none is: OnMidiInput
// ignores every event that carries another. Each open is given a value of its own, because a
// driver may still deliver, after midiInClose has returned, what it queued for the port before
// (Wine's delivery thread does): a note from a port the musician has left would sound for good.
extern std::atomic<MidiEventParam> openInputInstance;
