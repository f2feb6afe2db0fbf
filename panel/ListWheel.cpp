#include "ListWheel.h"

namespace {

// The three lists and their edit fields.
constexpr int kMostGuarded = 6;

struct Guarded {
    HWND window;
    HWND list; // the list itself, or the list whose edit field it is
    WNDPROC original;
};

Guarded guarded[kMostGuarded];
int guardedCount = 0;

LRESULT CALLBACK WheelGuard(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    int at = 0;
    while (guarded[at].window != window) {
        ++at;
    }
    const Guarded& entry = guarded[at];
    if (message != WM_MOUSEWHEEL) {
        return CallWindowProcA(entry.original, window, message, wParam, lParam);
    }
    // Down, the dropped-down list takes it, and scrolls; Wine gives it the wheel itself.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (SendMessageA(entry.list, CB_GETDROPPEDSTATE, 0, 0) != FALSE &&
        GetComboBoxInfo(entry.list, &info) && info.hwndList != nullptr) {
        return SendMessageA(info.hwndList, message, wParam, lParam);
    }
    return 0;
}

void Guard(HWND window, HWND list) {
    if (window == nullptr || guardedCount == kMostGuarded) {
        return;
    }
    Guarded& entry = guarded[guardedCount++];
    entry.window = window;
    entry.list = list;
    entry.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WheelGuard)));
}

} // namespace

void KeepWheelFromChoosing(HWND list) {
    Guard(list, list);
    Guard(GetWindow(list, GW_CHILD), list); // the edit field lies over most of the list
}
