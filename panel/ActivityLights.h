// The MIDI in and MIDI out lights beside the port lists: lit while words pass, dark a moment
// after they stop. The window thread polls what the delivery thread left (inputActivity) at a
// human pace; nothing is drawn from the delivery thread. Window thread only.
#pragma once

#include <windows.h>

void StartActivityLights(HWND panel);
void OnActivityTimer(UINT_PTR timer);

// The panel sent a learn message itself.
void NoteLearnSent();

// WM_DRAWITEM: true if the item was one of the lights.
bool DrawActivityLight(const DRAWITEMSTRUCT& item);
