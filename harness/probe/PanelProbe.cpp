// Reads the running panel's state from outside, for the end-to-end tests: the controls in tab
// order with their rectangles and texts, list selections, check states, the focused control,
// an open drop-down list, the text of a message box and of a tooltip, what the panel's process
// holds, and every panel's process, minimised state and place in front. It only reads; every
// action on the panel is real X input from the harness.
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include "PanelProbeProtocol.h"
#include "resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const int kListIds[] = {IDC_INPUT_DEVICE, IDC_OUTPUT_DEVICE, IDC_WHEEL_TYPE};
const int kCheckboxIds[] = {IDC_SYNTH_MUTES, IDC_DRUM_MUTES};
const int kLightIds[] = {IDC_MIDI_IN_LIGHT, IDC_MIDI_OUT_LIGHT};

// The colour painted at a light's centre on the screen.
COLORREF PaintedAt(HWND light) {
    RECT box;
    GetWindowRect(light, &box);
    HDC screen = GetDC(nullptr);
    const COLORREF colour =
        GetPixel(screen, (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

HWND FindPanel() {
    return FindWindowA("#32770", "Quorvel");
}

int ControlIdOf(HWND panel, HWND window) {
    // The focus may be on a combo box's edit field: report the combo box.
    while (window != nullptr && GetParent(window) != panel) {
        window = GetParent(window);
    }
    return window != nullptr ? GetDlgCtrlID(window) : 0;
}

void PrintState(HWND panel) {
    POINT origin{0, 0};
    ClientToScreen(panel, &origin);
    RECT client;
    GetClientRect(panel, &client);
    std::printf(kClientLine, origin.x, origin.y, client.right, client.bottom);
    // In the panel's own order, which is its tab order; the picture's id -1 reads as 65535.
    for (HWND control = GetWindow(panel, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const int id = static_cast<short>(GetDlgCtrlID(control));
        const bool tabStop = (GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP) != 0;
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&rect), 2);
        char text[64] = "";
        if (id != IDC_STATIC) { // the picture's text is its resource ordinal, not text
            GetWindowTextA(control, text, sizeof text);
        }
        std::printf(kControlLine, id, tabStop ? 1 : 0, rect.left, rect.top, rect.right, rect.bottom,
                    text);
    }
    for (int id : kListIds) {
        HWND list = GetDlgItem(panel, id);
        const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
        std::printf(kSelectionLine, id, static_cast<long>(SendMessageA(list, CB_GETCURSEL, 0, 0)));
        // Wine hands the text between processes in its wide form only.
        wchar_t wide[256] = L"";
        char text[256] = "";
        for (LRESULT item = 0; item < count; ++item) {
            SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(item),
                         reinterpret_cast<LPARAM>(wide));
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            std::printf(kItemLine, id, static_cast<long>(item), text);
        }
        // What the edit field shows, asked of the list itself: another process's
        // GetWindowText does not ask.
        wide[0] = L'\0';
        SendMessageW(list, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
        std::printf(kEditLine, id, text);
        // Where the edit field draws the name's first character (negative: scrolled out of
        // sight), and how wide the list drops down.
        HWND edit = FindWindowExA(list, nullptr, "Edit", nullptr);
        const LRESULT first = SendMessageA(edit, EM_POSFROMCHAR, 0, 0);
        std::printf(kEditStartLine, id, static_cast<int>(static_cast<short>(LOWORD(first))));
        std::printf(kDroppedWidthLine, id,
                    static_cast<long>(SendMessageA(list, CB_GETDROPPEDWIDTH, 0, 0)), [&] {
                        RECT rect;
                        GetWindowRect(list, &rect);
                        return rect.right - rect.left;
                    }());
    }
    for (int id : kCheckboxIds) {
        std::printf(kCheckLine, id,
                    static_cast<long>(SendMessageA(GetDlgItem(panel, id), BM_GETCHECK, 0, 0)));
    }
    for (int id : kLightIds) {
        // Not before the panel has made it.
        if (HWND light = GetDlgItem(panel, id)) {
            const COLORREF colour = PaintedAt(light);
            std::printf(kLightLine, id, GetRValue(colour), GetGValue(colour), GetBValue(colour));
        }
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(panel, nullptr), &info);
    std::printf(kFocusLine, ControlIdOf(panel, info.hwndFocus));
}

struct Found {
    const char* className;
    HWND except;
    HWND window;
};

BOOL CALLBACK FindVisibleOfClass(HWND window, LPARAM parameter) {
    Found& found = *reinterpret_cast<Found*>(parameter);
    char name[64];
    GetClassNameA(window, name, sizeof name);
    if (window != found.except && IsWindowVisible(window) &&
        std::strcmp(name, found.className) == 0) {
        found.window = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(const char* className, HWND except) {
    Found found{className, except, nullptr};
    EnumWindows(FindVisibleOfClass, reinterpret_cast<LPARAM>(&found));
    return found.window;
}

BOOL CALLBACK PrintStaticText(HWND child, LPARAM) {
    char name[32];
    GetClassNameA(child, name, sizeof name);
    char text[512] = "";
    GetWindowTextA(child, text, sizeof text);
    if (_stricmp(name, "Static") == 0 && text[0] != '\0') {
        std::printf(kTextLine, text);
    }
    return TRUE;
}

void PrintMessageBox(HWND panel) {
    HWND box = FindTopLevel("#32770", panel);
    if (box == nullptr) {
        std::fputs(kNoBoxLine, stdout);
        return;
    }
    char caption[256] = "";
    GetWindowTextA(box, caption, sizeof caption);
    std::printf(kBoxLine, caption);
    EnumChildWindows(box, PrintStaticText, 0);
}

// An open drop-down list, and whether a control of the panel still holds the mouse capture:
// until it lets go, a click meant for another control goes to it.
void PrintDropDown(HWND panel) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(panel, nullptr), &info);
    std::printf(kCaptureLine, info.hwndCapture != nullptr ? 1 : 0);
    HWND list = FindTopLevel("ComboLBox", nullptr);
    if (list == nullptr) {
        std::fputs(kNoDropDownLine, stdout);
        return;
    }
    RECT rect;
    GetWindowRect(list, &rect);
    std::printf(kDropDownLine, rect.left, rect.top, rect.right, rect.bottom,
                static_cast<long>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0)));
}

// The tooltip on show, if any. Wine hands the text between processes in its wide form only.
void PrintTooltip() {
    HWND tooltip = FindTopLevel("tooltips_class32", nullptr);
    wchar_t wide[256] = L"";
    if (tooltip != nullptr) {
        SendMessageW(tooltip, WM_GETTEXT, sizeof wide / sizeof wide[0],
                     reinterpret_cast<LPARAM>(wide));
    }
    char text[256] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    if (text[0] != '\0') {
        std::printf(kTooltipLine, text);
    } else {
        std::fputs(kNoTooltipLine, stdout);
    }
}

// Every panel on the screen: its process, whether it is minimised and whether it is the
// foreground window, as a second start in a panel's folder leaves it.
BOOL CALLBACK PrintPanel(HWND window, LPARAM) {
    char name[16] = "";
    char title[16] = "";
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(name, "#32770") == 0 && std::strcmp(title, "Quorvel") == 0) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        std::printf(kWindowLine, process, IsIconic(window) ? 1 : 0,
                    GetForegroundWindow() == window ? 1 : 0);
    }
    return TRUE;
}

// Lit by its text, and by the colour painted at its centre: a lit light is bright green, which
// amber, with as much green, is not.
void ReadLight(HWND light, bool& textLit, bool& paintLit) {
    char text[64] = "";
    GetWindowTextA(light, text, sizeof text);
    textLit = std::strstr(text, "active") != nullptr;
    const COLORREF colour = PaintedAt(light);
    paintLit = colour != CLR_INVALID && GetGValue(colour) >= 0xA0 && GetRValue(colour) < 0x80;
}

// Watches both lights without a gap; prints, for the text and for the paint, whether each was
// ever lit and whether it is lit at the end.
void WatchLights(HWND panel, int milliseconds) {
    std::fputs(kWatchingLine, stdout);
    std::fflush(stdout);
    const int ids[] = {IDC_MIDI_IN_LIGHT, IDC_MIDI_OUT_LIGHT};
    bool ever[2][2] = {}; // [text, paint][in, out]
    bool now[2][2] = {};
    for (const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
         GetTickCount64() < end;) {
        for (int light = 0; light < 2; ++light) {
            ReadLight(GetDlgItem(panel, ids[light]), now[0][light], now[1][light]);
            for (int way = 0; way < 2; ++way) {
                ever[way][light] = ever[way][light] || now[way][light];
            }
        }
        Sleep(5);
    }
    for (int way = 0; way < 2; ++way) {
        std::printf(way == 0 ? kLightsLine : kPaintedLine, ever[way][0], ever[way][1], now[way][0],
                    now[way][1]);
    }
}

// The handles a process holds, from the system's list of every handle: Wine's own count of a
// process's handles (GetProcessHandleCount) answers 0 whatever it holds. False where the list
// cannot be read.
bool CountHandles(DWORD process, unsigned long& count) {
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<NTSTATUS>(0xC0000004L)) { // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        return false;
    }
    const auto* list = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
    count = 0;
    for (ULONG entry = 0; entry < list->Count; ++entry) {
        count += list->Handle[entry].OwnerPid == process ? 1 : 0;
    }
    return true;
}

// What the panel's process holds: its handles, its working set and its private bytes; nothing,
// so that the asker waits in vain rather than read a count of none, where they cannot be read.
void PrintResources(HWND panel) {
    DWORD process = 0;
    GetWindowThreadProcessId(panel, &process);
    HANDLE opened = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    unsigned long handles = 0;
    if (opened != nullptr && GetProcessMemoryInfo(opened, &memory, sizeof memory) &&
        CountHandles(process, handles)) {
        std::printf(kResourcesLine, handles, static_cast<unsigned long>(memory.WorkingSetSize),
                    static_cast<unsigned long>(memory.PagefileUsage));
    }
    if (opened != nullptr) {
        CloseHandle(opened);
    }
}

} // namespace

int main(int argc, char** argv) {
    const char* command = argc > 1 ? argv[1] : kStateCommand;
    HWND panel = FindPanel();
    std::printf(kPanelLine, panel != nullptr ? 1 : 0);
    if (std::strcmp(command, kBoxCommand) == 0) {
        PrintMessageBox(panel);
    } else if (std::strcmp(command, kDropDownCommand) == 0) {
        PrintDropDown(panel);
    } else if (std::strcmp(command, kTooltipCommand) == 0) {
        PrintTooltip();
    } else if (std::strcmp(command, kPanelsCommand) == 0) {
        EnumWindows(PrintPanel, 0);
    } else if (std::strcmp(command, kLightsCommand) == 0 && panel != nullptr) {
        WatchLights(panel, argc > 2 ? std::atoi(argv[2]) : 0);
    } else if (std::strcmp(command, kResourcesCommand) == 0 && panel != nullptr) {
        PrintResources(panel);
    } else if (panel != nullptr) {
        PrintState(panel);
    }
    std::fputs(kEndLine, stdout);
    std::fflush(stdout);
    return 0;
}
