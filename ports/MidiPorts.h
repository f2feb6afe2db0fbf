// The one MIDI input port and the one MIDI output port, on the platform's winmm services.
#pragma once

#include <windows.h>

// (Re)open the port that bridgeSettings names; an open failure is shown to the user.
void OpenMidiInput();
void OpenMidiOutput();

// The same, for a device that comes back by itself: a failure is not shown, and the next look
// at the devices tries again.
void TakeUpMidiInput();
void TakeUpMidiOutput();

// Whether a port is open and its device still answers: asked with midiInGetID and
// midiOutGetID, which send nothing, and which a device that has left answers with
// MMSYSERR_NODRIVER even where the platform still lists it.
bool MidiInputAnswers();
bool MidiOutputAnswers();

// Stops and closes the input, then closes the output.
void CloseMidiPorts();
