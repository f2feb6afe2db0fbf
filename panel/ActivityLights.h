// The MIDI in and MIDI out lights beside the port lists: "in" lit while the input delivers
// words, "out" while words reach an open output port; dark a moment after they stop. While the
// chosen device of a port is away the light is amber and its text and tooltip name the device
// waited for; a port that is not open (none chosen, or its open failed) shows grey. The window
// thread polls what the senders left (inputActivity, outputActivity) and the ports' states at a
// human pace; nothing is drawn from the delivery thread. Window thread only.
#pragma once

#include <windows.h>

void StartActivityLights(HWND panel);
void OnActivityTimer(UINT_PTR timer);

// WM_DRAWITEM: true if the item was one of the lights.
bool DrawActivityLight(const DRAWITEMSTRUCT& item);
