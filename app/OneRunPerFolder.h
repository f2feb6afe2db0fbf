// One Quorvel per working folder. A second one would forward every note a second time on
// Windows 11's shared ports and race the first on "Settings"; one started from another folder,
// with its own "Settings", runs on its own.
#pragma once

#include <windows.h>

// True when a Quorvel already runs in this folder; its panel has then been brought to the front.
// Asked first, before anything is read, opened or shown.
bool AnotherRunInThisFolder();

// Marks the panel as this folder's, for a later start there to find it.
void MarkPanelOfThisFolder(HWND panel);
