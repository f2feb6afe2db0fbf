// Resource ids shared by the panel's resource script and its code.
#pragma once

// Dialogs
#define IDD_PANEL 129

// Bitmaps
#define IDB_BACKGROUND 132

// Icons
#define IDI_QUORVEL 140

// Controls (1003-1029; 1006 and 1014-1016 are free)
#define IDC_INPUT_DEVICE 1003
#define IDC_OUTPUT_DEVICE 1004
#define IDC_WHEEL_TYPE 1005
#define IDC_SYNTH_1 1007
#define IDC_SYNTH_2 1008
#define IDC_SYNTH_3 1009
#define IDC_SYNTH_4 1010
#define IDC_SYNTH_5 1011
#define IDC_DRUM_1 1012
#define IDC_SYNTH_MUTES 1013
#define IDC_DRUM_2 1017
#define IDC_DRUM_3 1018
#define IDC_DRUM_4 1019
#define IDC_DRUM_5 1020
#define IDC_DRUM_6A 1021
#define IDC_DRUM_6B 1022
#define IDC_DRUM_7A 1023
#define IDC_DRUM_7B 1024
#define IDC_DRUM_MUTES 1025
#define IDC_WHEEL_UP 1026
#define IDC_WHEEL_DOWN 1027
#define IDC_MIDI_IN_LIGHT 1028
#define IDC_MIDI_OUT_LIGHT 1029

// System menu commands (multiples of 16, below 0xF000)
#define IDM_ALL_NOTES_OFF 16

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
