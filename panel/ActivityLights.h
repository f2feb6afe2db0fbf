// The MIDI in and MIDI out lights beside the port lists: "in" lit while the input delivers
// words, "out" while words reach an open output port; dark a moment after they stop. The window
// thread polls what the senders left (inputActivity, outputActivity) at a human pace; nothing is
// drawn from the delivery thread. Window thread only.
#pragma once

#include <windows.h>

void StartActivityLights(HWND panel);
void OnActivityTimer(UINT_PTR timer);

// WM_DRAWITEM: true if the item was one of the lights.
bool DrawActivityLight(const DRAWITEMSTRUCT& item);
