#include "DeviceLists.h"

#include <cstring>

namespace {

// Wide enough for the longest name, so that a dropped-down list cuts none off.
void FitDroppedWidth(HWND list, const DeviceList& devices) {
    HDC context = GetDC(list);
    HGDIOBJ oldFont =
        SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (int device = 0; device < devices.count; ++device) {
        SIZE size{};
        GetTextExtentPoint32A(context, devices.names[device],
                              static_cast<int>(std::strlen(devices.names[device])), &size);
        widest = size.cx > widest ? size.cx : widest;
    }
    SelectObject(context, oldFont);
    ReleaseDC(list, context);
    // The entries' margins, the list's border and its scroll bar.
    const int margins = 4 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 6;
    SendMessageA(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
}

} // namespace

void FillDeviceList(HWND list, const DeviceList& devices) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int device = 0; device < devices.count; ++device) {
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(devices.names[device]));
    }
    FitDroppedWidth(list, devices);
}

void ShowChosenDevice(HWND list, const DeviceList& shown, const DeviceIdentity& chosen) {
    const int position = PositionOf(shown, chosen);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    if (position < 0 && chosen.name[0] != '\0') {
        SendMessageA(list, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.name));
    }
    ShowDeviceNameFromItsStart(list, HasFocus(list));
}

void ShowDeviceNameFromItsStart(HWND list, bool focused) {
    // The caret, and so the view, at the start; a focused field has all of it selected, as a
    // list selects it, an unfocused one nothing, so that only the focused list looks focused.
    // Posted: a list that takes the focus selects its text itself after telling us.
    HWND edit = GetWindow(list, GW_CHILD);
    const int length = focused ? GetWindowTextLengthA(edit) : 0;
    PostMessageA(edit, EM_SETSEL, static_cast<WPARAM>(length), 0);
    PostMessageA(edit, EM_SCROLLCARET, 0, 0);
}

bool HasFocus(HWND list) {
    HWND focus = GetFocus();
    return focus == list || (focus != nullptr && GetParent(focus) == list);
}

bool DroppedDown(HWND list) {
    return SendMessageA(list, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

int SelectedEntry(HWND list) {
    return static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0)); // CB_ERR is -1
}
