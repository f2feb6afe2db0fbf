#include "MidiDevices.h"

#include "Winmm.h"

#include <cstring>

namespace {

template <typename Caps>
void ReadNames(DeviceList& devices, UINT count, MMRESULT(WINAPI* getCaps)(UINT_PTR, Caps*, UINT)) {
    devices.count = count < kMaxListedDevices ? static_cast<int>(count) : kMaxListedDevices;
    for (int device = 0; device < devices.count; ++device) {
        Caps caps{};
        getCaps(static_cast<UINT_PTR>(device), &caps, sizeof caps);
        caps.szPname[MAXPNAMELEN - 1] = '\0';
        std::memcpy(devices.names[device], caps.szPname, MAXPNAMELEN);
    }
}

} // namespace

void ReadInputDevices(DeviceList& devices) {
    ReadNames<MIDIINCAPSA>(devices, winmm.midiInGetNumDevs(), winmm.midiInGetDevCapsA);
}

void ReadOutputDevices(DeviceList& devices) {
    ReadNames<MIDIOUTCAPSA>(devices, winmm.midiOutGetNumDevs(), winmm.midiOutGetDevCapsA);
}

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

void FillDeviceList(HWND list, const DeviceList& devices) {
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (int device = 0; device < devices.count; ++device) {
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(devices.names[device]));
    }
    FitDroppedWidth(list, devices);
}
