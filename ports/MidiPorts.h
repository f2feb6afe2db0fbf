// The one MIDI input port and the one MIDI output port, on the platform's winmm services.
#pragma once

#include <windows.h>

// (Re)open the port that bridgeSettings names; an open failure is shown to the user. What the
// output holds is released first, at the output, either way.
void OpenMidiInput();
void OpenMidiOutput();

// The same, for a device that comes back by itself: a failure is not shown. True once open.
bool TakeUpMidiInput();
bool TakeUpMidiOutput();

// "All notes off", to the open output: a Note Off for each note held there, then for channels 1
// to 16 in turn a sustain release (CC 64 = 0) and All Notes Off (CC 123 = 0); nothing is held
// afterwards. Nothing at all while no output is open.
void SendAllNotesOff();

// What a port's probe (midiInGetID, midiOutGetID: calls that send nothing) says of its device.
// A device that has left answers MMSYSERR_NODRIVER, even where the platform still lists it.
// But some drivers fail the probe on live ports (Windows' 32-bit MIDI service driver before its
// November 2026 fix) or answer it for dead ones (Wine): a port whose probe fails right after
// it opened is never believed while it stays open, and then only the lists tell.
enum PortHealth { PortNotOpen, PortAnswers, PortDeviceLeft };
PortHealth MidiInputHealth();
PortHealth MidiOutputHealth();
// Where the platform lists the open port's device now, by the same probe: -1 when no port is
// open, or the probe is not believed or does not answer.
int MidiInputListedAt();
int MidiOutputListedAt();

// The input's device has left: each note it left held at the output is released there now.
void ReleaseNotesOfLostInput();

// Stops and closes the input, then releases what the output holds and closes it.
void CloseMidiPorts();
