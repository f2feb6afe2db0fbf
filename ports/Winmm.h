// The winmm functions the ports call, each with winmm's own declared type (its calling
// convention and parameter widths come from the platform header, so neither can be typed
// wrong), reached through `winmm`. The exe does not import winmm: BindWinmm points these at the
// system folder's winmm.dll, which the start loads (app/SystemLibraries.h). Until then, and for
// good on a system without a usable winmm, they answer as winmm does with no MIDI device: the
// lists are empty and every open fails as an open of a device that is not there does.
#pragma once

#include <windows.h>

#include <mmsystem.h>

struct WinmmFunctions {
    decltype(&::midiInGetNumDevs) midiInGetNumDevs;
    decltype(&::midiInGetDevCapsA) midiInGetDevCapsA;
    decltype(&::midiInOpen) midiInOpen;
    decltype(&::midiInStart) midiInStart;
    decltype(&::midiInStop) midiInStop;
    decltype(&::midiInClose) midiInClose;
    decltype(&::midiInGetID) midiInGetID;
    decltype(&::midiOutGetNumDevs) midiOutGetNumDevs;
    decltype(&::midiOutGetDevCapsA) midiOutGetDevCapsA;
    decltype(&::midiOutOpen) midiOutOpen;
    decltype(&::midiOutShortMsg) midiOutShortMsg;
    decltype(&::midiOutClose) midiOutClose;
    decltype(&::midiOutGetID) midiOutGetID;
};

// Set once, by BindWinmm, before any port opens and before any other thread exists.
extern WinmmFunctions winmm;

// Takes every function from `library` (null: no winmm loaded). Where one is missing none is
// taken and the library is let go: the functions stay those of no MIDI device. True once bound.
bool BindWinmm(HMODULE library);
