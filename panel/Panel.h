// The panel: one modeless dialog over its background picture.
#pragma once

#include <windows.h>

INT_PTR CALLBACK PanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A tooltip on every control that says what it sends or switches.
void AddPanelTooltips(HWND panel);
