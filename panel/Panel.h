// The panel: one modeless dialog over its background picture.
#pragma once

#include <windows.h>

INT_PTR CALLBACK PanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
