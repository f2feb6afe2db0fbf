#include "CommonControls.h"
#include "MidiPorts.h"
#include "OneRunPerFolder.h"
#include "OutputGate.h"
#include "Panel.h"
#include "SettingsFile.h"
#include "SystemLibraries.h"
#include "Winmm.h"
#include "resource.h"

#include <windows.h>

namespace {

HWND panelWindow = nullptr;

void SaveAndCloseMidiPorts() {
    SaveSettings();
    CloseMidiPorts();
}

// From the first step of the close, a start in this folder waits for this run's end.
[[noreturn]] void EndThisRun(HWND panel) {
    UnmarkPanelOfThisFolder(panel);
    SaveAndCloseMidiPorts();
    ExitProcess(0);
}

// At log-off or shut-down Windows ends the process without a close: this run's choices are kept
// and the ports let go, and the ending of the process is left to Windows.
const PanelEnding kPanelEnding{EndThisRun, SaveAndCloseMidiPorts};

// Dialog navigation first, so Tab, Shift+Tab and Space work in the modeless panel. The loop
// normally never ends: closing the panel ends the process from inside the panel.
int RunMessageLoop() {
    MSG message;
    for (;;) {
        const BOOL result = GetMessageA(&message, nullptr, 0, 0);
        if (result == 0) {
            return 0;
        }
        if (result == -1) {
            continue;
        }
        if (IsWindow(panelWindow) && IsDialogMessageA(panelWindow, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadOnlyFromSystemFolder();
    if (AnotherRunInThisFolder()) {
        return 0;
    }
    // Without a usable winmm the ports find no devices, and every open shows its box.
    BindWinmm(LoadSystemLibrary(L"winmm.dll"));
    BindCommonControls(LoadSystemLibrary(L"comctl32.dll"));
    MarkWindowThread();
    LoadSettings();
    panelWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PANEL), nullptr,
                                     PanelDialogProc, reinterpret_cast<LPARAM>(&kPanelEnding));
    MarkPanelOfThisFolder(panelWindow);
    ShowWindow(panelWindow, SW_SHOW);
    return RunMessageLoop();
}
