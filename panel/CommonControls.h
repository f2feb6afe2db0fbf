// The one comctl32 function the panel calls, with its declared type, reached through
// `commonControls`. The exe does not import comctl32 (its manifest asks for no side-by-side
// version of it, so the program's folder would be searched for it first): BindCommonControls
// points it at the system folder's comctl32.dll, which the start loads (app/SystemLibraries.h).
// Without it the tooltip class is not registered and the panel shows no tooltips.
#pragma once

#include <windows.h>

#include <commctrl.h>

struct CommonControlsFunctions {
    decltype(&::InitCommonControlsEx) InitCommonControlsEx;
};

// Set once, by BindCommonControls, before the panel is made.
extern CommonControlsFunctions commonControls;

// Takes the function from `library` (null: comctl32 not loaded); true once bound.
bool BindCommonControls(HMODULE library);
