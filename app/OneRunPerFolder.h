// One Quorvel per working folder. A second one would forward every note a second time on
// Windows 11's shared ports and race the first on "Settings"; one started from another folder,
// with its own "Settings", runs on its own. A folder is known as the file system knows it (its
// volume and file index), so two paths to it (a subst or mapped drive, its UNC path, a short
// name, a junction) are one folder, and two names that the ANSI code page spells alike are two.
#pragma once

#include <windows.h>

// True when a Quorvel already runs in this folder; its panel has then been brought to the front
// (restored if minimised). Asked first, before anything is read, opened or shown. A run that is
// closing is waited for, a few seconds, and then this one runs.
bool AnotherRunInThisFolder();

// Marks the panel as this folder's, for a later start there to find it.
void MarkPanelOfThisFolder(HWND panel);

// The panel is closing: a later start there waits for this run's end instead of showing it.
void UnmarkPanelOfThisFolder(HWND panel);

// The name of this folder's mutex, which the folder's run holds for its whole life, as
// AnotherRunInThisFolder names it. Shared with the end-to-end tests' folder helper.
constexpr int kFolderObjectNameSize = 80;
void NameThisFolder(char (&name)[kFolderObjectNameSize]);
