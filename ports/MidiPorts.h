// The one MIDI input port and the one MIDI output port, on the platform's winmm services.
#pragma once

#include "DeviceFollowing.h"

#include <windows.h>

// (Re)open the port that bridgeSettings names; an open failure is shown to the user. What the
// output holds is released first, at the output, either way.
void OpenMidiInput();
void OpenMidiOutput();

// The same, for a device that comes back by itself: a failure is not shown. True once open.
bool TakeUpMidiInput();
bool TakeUpMidiOutput();

// What the platform answers now for the open port (DeviceFollowing.h), from one probe;
// kNoPortOpen while none is open.
PortProbe ProbeMidiInput();
PortProbe ProbeMidiOutput();

// Whether the port is open now: the device in use is not opened again when chosen again.
bool MidiInputOpen();
bool MidiOutputOpen();

// "All notes off", to the open output: a Note Off for each note held there, then for channels 1
// to 16 in turn a sustain release (CC 64 = 0) and All Notes Off (CC 123 = 0); nothing is held
// afterwards. Nothing at all while no output is open.
void SendAllNotesOff();

// The input's device has left: each note it left held at the output is released there now.
void ReleaseNotesOfLostInput();

// Stops and closes the input, then releases what the output holds and closes it.
void CloseMidiPorts();
