// The one MIDI input port and the one MIDI output port, on the platform's winmm services.
#pragma once

#include <windows.h>

// Appends every input device's name to inputList and every output device's to outputList,
// in device index order, so that a list position is the device index.
void ListMidiDevices(HWND inputList, HWND outputList);

// (Re)open the port that bridgeSettings names; an open failure is shown to the user.
void OpenMidiInput();
void OpenMidiOutput();

// Stops and closes the input, then closes the output.
void CloseMidiPorts();
