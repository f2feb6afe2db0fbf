// Where Quorvel's DLLs come from: the system folder, never the program's own folder or the
// working folder. For a DLL that is not a Known DLL, Windows looks in the program's folder
// first, so a winmm.dll left beside Quorvel.exe (in a Downloads folder, say) would run inside
// it. So the exe imports Known DLLs only, and loads the two others it needs, winmm and
// comctl32, itself, from the system folder (tools/check-exe.py checks the exe for this).
#pragma once

#include <windows.h>

// Restricts every later load by name in this process, the system DLLs' own included, to the
// system folder (SetDefaultDllDirectories, where Windows has it: Windows 8 and later, and 7 or
// Vista with KB2533623); elsewhere takes the working folder out of the search. Called first.
void LoadOnlyFromSystemFolder();

// The system folder's copy of a DLL, `name` without a path ("winmm.dll"), or null if it has
// none that loads. Its own imports come from the system folder too.
HMODULE LoadSystemLibrary(const wchar_t* name);
