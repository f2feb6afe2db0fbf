// The panel's own item in its system menu (the title bar's icon, a right click on the title
// bar, Alt+Space): "All notes off", for a note that hangs in the music application for any
// reason. Window thread only.
#pragma once

#include <windows.h>

void AddSystemMenuItems(HWND panel);

// WM_SYSCOMMAND: true if the command was the panel's own.
bool OnSystemMenuCommand(WPARAM command);
