// Tooltips that say what each control sends or switches: the learn buttons' texts are made
// from the learn catalogue itself, so they cannot drift from what the buttons send.
#include "Panel.h"

#include "CommonControls.h"
#include "LearnButtons.h"
#include "WheelTypes.h"
#include "resource.h"

#include <commctrl.h>

#include <cstdio>

namespace {

constexpr int kTipLength = 128;
constexpr int kTipWidth = 320; // pixels; longer tips wrap

HWND tooltip = nullptr;
char learnTips[kLearnControlCount][kTipLength];
char wheelTypeTip[kTipLength];

struct FixedTip {
    int id;
    const char* text;
};

const FixedTip kFixedTips[] = {
    {IDC_INPUT_DEVICE, "MIDI input: the port the groovebox plays into"},
    {IDC_OUTPUT_DEVICE, "MIDI output: the port the music application listens to"},
    {IDC_DRUM_MUTES, "Drum part status reports on/off"},
    {IDC_SYNTH_MUTES, "Synth part status reports on/off"},
    {IDC_MIDI_IN_LIGHT, "MIDI in: lit while the input port delivers MIDI"},
    {IDC_MIDI_OUT_LIGHT, "MIDI out: lit while Quorvel sends MIDI to the output port"},
};

void SendTip(UINT message, HWND panel, HWND window, const char* text) {
    // The version 5 layout: the panel runs on the common controls that predate themes.
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = panel;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(tooltip, message, 0, reinterpret_cast<LPARAM>(&tool));
}

void AddControlTip(HWND panel, int id, const char* text) {
    HWND control = GetDlgItem(panel, id);
    SendTip(TTM_ADDTOOLA, panel, control, text);
    // A list's edit field lies over the list and takes the mouse.
    if (HWND edit = GetWindow(control, GW_CHILD)) {
        SendTip(TTM_ADDTOOLA, panel, edit, text);
    }
}

void FormatLearnTip(char (&tip)[kTipLength], LearnControl control) {
    const LearnMessage& entry = kLearnCatalogue[control];
    const bool wheel = control == LearnWheelUp || control == LearnWheelDown;
    std::snprintf(tip, sizeof tip, "%s: sends CC %u = %u on channel 1%s%s", entry.name,
                  entry.controller, entry.buttonValue, wheel ? " while the wheel type is " : "",
                  wheel ? kWheelTypeNames[WheelUpDown] : "");
}

void FormatWheelTypeTip() {
    std::snprintf(wheelTypeTip, sizeof wheelTypeTip,
                  "Wheel type: %s turns patch-wheel turns into wheel up and down; the other two "
                  "switch that off",
                  kWheelTypeNames[WheelUpDown]);
}

} // namespace

void AddPanelTooltips(HWND panel) {
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
    commonControls.InitCommonControlsEx(&classes);
    tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr, nullptr, nullptr);
    SendMessageA(tooltip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    int index = 0;
    for (const LearnButton& button : kLearnButtons) {
        FormatLearnTip(learnTips[index], button.control);
        AddControlTip(panel, button.id, learnTips[index++]);
    }
    FormatWheelTypeTip();
    AddControlTip(panel, IDC_WHEEL_TYPE, wheelTypeTip);
    for (const FixedTip& tip : kFixedTips) {
        AddControlTip(panel, tip.id, tip.text);
    }
}

void ChangePanelTip(HWND control, const char* text) {
    const int id = GetDlgCtrlID(control);
    for (const FixedTip& tip : kFixedTips) {
        text = text == nullptr && tip.id == id ? tip.text : text;
    }
    if (text != nullptr) {
        SendTip(TTM_UPDATETIPTEXTA, GetParent(control), control, text);
    }
}
