#include "Panel.h"

#include "ActivityLights.h"
#include "DeviceWatch.h"
#include "Engine.h"
#include "LearnButtons.h"
#include "ListWheel.h"
#include "PanelMessages.h"
#include "SystemMenu.h"
#include "WheelTypes.h"
#include "resource.h"

#include <initializer_list>

namespace {

// Handles kept for the panel's whole life (it is never destroyed).
struct PanelControls {
    HWND inputList;
    HWND outputList;
    HWND drumMutes;
    HWND synthMutes;
    HWND wheelTypeList;
};

PanelControls controls;
PanelEnding ending;

std::int32_t CurrentSelection(HWND list) {
    return static_cast<std::int32_t>(SendMessageA(list, CB_GETCURSEL, 0, 0)); // CB_ERR is -1
}

void ShowChecked(HWND checkbox, bool checked) {
    SendMessageA(checkbox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// The wheel type in force; a value no entry stands for (a loaded 255) shows no entry.
void ShowWheelType() {
    SendMessageA(controls.wheelTypeList, CB_SETCURSEL,
                 static_cast<WPARAM>(bridgeSettings.wheelType.load()), 0);
}

bool IsChecked(HWND checkbox) {
    // The check bit of the reported state, not the whole word: the flag follows what the box
    // shows even when the box does not have the focus.
    return (SendMessageA(checkbox, BM_GETSTATE, 0, 0) & BST_CHECKED) != 0;
}

void ShowIcon(HWND window) {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    const struct {
        WPARAM kind;
        int width;
        int height;
    } sizes[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& size : sizes) {
        HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(IDI_QUORVEL), IMAGE_ICON,
                                 GetSystemMetrics(size.width), GetSystemMetrics(size.height), 0);
        SendMessageA(window, WM_SETICON, size.kind, reinterpret_cast<LPARAM>(icon));
    }
}

void OnInitDialog(HWND window, const PanelEnding& given) {
    ending = given;
    controls.inputList = GetDlgItem(window, IDC_INPUT_DEVICE);
    controls.outputList = GetDlgItem(window, IDC_OUTPUT_DEVICE);
    controls.drumMutes = GetDlgItem(window, IDC_DRUM_MUTES);
    controls.synthMutes = GetDlgItem(window, IDC_SYNTH_MUTES);
    controls.wheelTypeList = GetDlgItem(window, IDC_WHEEL_TYPE);

    for (const char* name : kWheelTypeNames) {
        SendMessageA(controls.wheelTypeList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    WatchDevices(window, controls.inputList, controls.outputList);
    for (HWND list : {controls.inputList, controls.outputList, controls.wheelTypeList}) {
        KeepWheelFromChoosing(list);
    }
    ShowIcon(window);
    AddSystemMenuItems(window);
    AddPanelTooltips(window);
    StartActivityLights(window);

    // The controls show what is in force, loaded or the defaults; only loaded choices open.
    ShowWheelType();
    ShowChecked(controls.drumMutes, bridgeSettings.drumMutesEnabled);
    ShowChecked(controls.synthMutes, bridgeSettings.synthMutesEnabled);
    if (bridgeSettings.settingsLoaded) {
        OpenChosenDevices();
    }
}

// Every part key sends its catalogue message; the wheel buttons only while the wheel is Up/Down.
void SendLearnMessage(int id) {
    for (const LearnButton& button : kLearnButtons) {
        if (button.id == id) {
            SendToOutput(LearnButtonMessage(button.control));
            return;
        }
    }
}

// Only a real choice changes the wheel type: an entry clicked or taken with Enter, or the arrow
// keys on the closed list. What the arrows pass in the dropped-down list and what is typed into
// the edit field are shown only until the list closes without a choice (Esc) or loses the focus.
void OnWheelTypeCommand(int notification) {
    const bool droppedDown = SendMessageA(controls.wheelTypeList, CB_GETDROPPEDSTATE, 0, 0) != 0;
    if (notification == CBN_SELENDOK || (notification == CBN_SELCHANGE && !droppedDown)) {
        const std::int32_t selection = CurrentSelection(controls.wheelTypeList);
        if (selection >= 0) {
            bridgeSettings.wheelType = selection;
        }
    } else if (notification == CBN_CLOSEUP || notification == CBN_KILLFOCUS) {
        ShowWheelType();
    }
}

void OnCommand(int id, int notification) {
    switch (id) {
    case IDC_INPUT_DEVICE:
        OnDeviceListCommand(controls.inputList, notification);
        return;
    case IDC_OUTPUT_DEVICE:
        OnDeviceListCommand(controls.outputList, notification);
        return;
    case IDC_WHEEL_TYPE:
        OnWheelTypeCommand(notification);
        return;
    case IDC_SYNTH_MUTES:
        bridgeSettings.synthMutesEnabled = IsChecked(controls.synthMutes);
        return;
    case IDC_DRUM_MUTES:
        bridgeSettings.drumMutesEnabled = IsChecked(controls.drumMutes);
        return;
    case IDC_WHEEL_UP:
    case IDC_WHEEL_DOWN:
        if (bridgeSettings.wheelType == WheelUpDown) {
            SendLearnMessage(id);
        }
        return;
    default:
        SendLearnMessage(id);
        return;
    }
}

} // namespace

INT_PTR CALLBACK PanelDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(window, *reinterpret_cast<const PanelEnding*>(lParam));
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return FALSE;
    case WM_SYSCOMMAND:
        return OnSystemMenuCommand(wParam) ? TRUE : FALSE;
    case WM_QUERYENDSESSION:
        // Nothing stands in the session's way: the choices are saved when it ends.
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        // At log-off or shut-down Windows ends the process without a close.
        if (wParam != FALSE) {
            ending.sessionEnds();
        }
        return TRUE;
    case WM_DEVICECHANGE:
        OnDevicesChanged();
        return TRUE;
    case WM_TIMER:
        OnDeviceTimer(wParam);
        OnActivityTimer(wParam);
        return TRUE;
    case kFollowDevicesMessage:
        OnFollowDevicesMessage();
        return TRUE;
    case WM_DRAWITEM:
        return DrawActivityLight(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_CLOSE:
        ending.close(window); // does not return
        return TRUE;
    default:
        return FALSE;
    }
}
