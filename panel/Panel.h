// The panel: one modeless dialog over its background picture.
#pragma once

#include <windows.h>

// How this run ends, which the program hands the panel as the dialog's creation parameter: the
// panel asks for it when it is closed or the session ends.
struct PanelEnding {
    void (*close)(HWND panel); // the panel was closed: the run ends, and this never returns
    void (*sessionEnds)();     // Windows ends the session, and the process with it
};

INT_PTR CALLBACK PanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A tooltip on every control that says what it sends or switches.
void AddPanelTooltips(HWND panel);

// Changes what the tooltip of a control says; null: what it says from the start.
void ChangePanelTip(HWND control, const char* text);
