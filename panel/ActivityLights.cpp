#include "ActivityLights.h"

#include "DeviceWatch.h"
#include "Engine.h"
#include "MidiPorts.h"
#include "Panel.h"
#include "PanelMessages.h"
#include "resource.h"

#include <cstdio>
#include <cstring>

namespace {

// Fast enough that a light follows the music; slow enough to cost the window thread nothing.
constexpr UINT kPollMilliseconds = 40;
// How long a light stays lit after the last word: long enough for one clock tick at slow
// tempos to read as a steady light.
constexpr DWORD kHoldMilliseconds = 250;

// Each state has its own colour, so that a dark light never means two things.
enum class LightState { Active, Quiet, Waiting, NotOpen };

// The text and the tooltip say the port's state, for screen readers and tests: a device's
// name and the words around it fit.
constexpr int kTextSize = 64;
constexpr int kTipSize = 160;

struct Light {
    int id;
    const char* port; // as the texts name it
    const char* (*awaited)();
    bool (*open)();
    HWND control = nullptr;
    DWORD litUntil = 0;
    LightState state = LightState::NotOpen;
    char text[kTextSize] = "";
    char tip[kTipSize] = ""; // empty: the tooltip the light has while its port is open
};

Light inLight{IDC_MIDI_IN_LIGHT, "MIDI in", AwaitedInputName, MidiInputOpen};
Light outLight{IDC_MIDI_OUT_LIGHT, "MIDI out", AwaitedOutputName, MidiOutputOpen};

const COLORREF kLitColour = RGB(0x3C, 0xF0, 0x3C);
const COLORREF kDarkColour = RGB(0x14, 0x3C, 0x14);
const COLORREF kWaitingColour = RGB(0xFF, 0xB0, 0x00); // amber
const COLORREF kNotOpenColour = RGB(0x5A, 0x5A, 0x5A);
const COLORREF kRimColour = RGB(0x08, 0x10, 0x08);

COLORREF ColourOf(LightState state) {
    switch (state) {
    case LightState::Active:
        return kLitColour;
    case LightState::Quiet:
        return kDarkColour;
    case LightState::Waiting:
        return kWaitingColour;
    case LightState::NotOpen:
        break;
    }
    return kNotOpenColour;
}

void Update(Light& light, DWORD now) {
    const char* awaited = light.awaited();
    const LightState state = awaited != nullptr                            ? LightState::Waiting
                             : !light.open()                               ? LightState::NotOpen
                             : static_cast<LONG>(light.litUntil - now) > 0 ? LightState::Active
                                                                           : LightState::Quiet;
    char text[kTextSize];
    char tip[kTipSize] = "";
    switch (state) {
    case LightState::Active:
    case LightState::Quiet:
        std::snprintf(text, sizeof text, "%s: %s", light.port,
                      state == LightState::Active ? "active" : "quiet");
        break;
    case LightState::Waiting:
        std::snprintf(text, sizeof text, "%s: waiting for \"%s\"", light.port, awaited);
        std::snprintf(tip, sizeof tip, "%s; Quorvel opens it by itself as soon as it is back",
                      text);
        break;
    case LightState::NotOpen:
        std::snprintf(text, sizeof text, "%s: not open", light.port);
        std::snprintf(tip, sizeof tip, "%s; choose a device in the list beside it", text);
        break;
    }
    if (std::strcmp(text, light.text) != 0) {
        std::memcpy(light.text, text, sizeof text);
        light.state = state;
        SetWindowTextA(light.control, text);
        InvalidateRect(light.control, nullptr, FALSE);
    }
    if (std::strcmp(tip, light.tip) != 0) {
        std::memcpy(light.tip, tip, sizeof tip);
        ChangePanelTip(light.control, tip[0] != '\0' ? tip : nullptr);
    }
}

void LightUp(Light& light, DWORD now) {
    light.litUntil = now + kHoldMilliseconds;
}

} // namespace

void StartActivityLights(HWND panel) {
    inLight.control = GetDlgItem(panel, inLight.id);
    outLight.control = GetDlgItem(panel, outLight.id);
    SetTimer(panel, kActivityTimer, kPollMilliseconds, nullptr);
}

void OnActivityTimer(UINT_PTR timer) {
    if (timer != kActivityTimer) {
        return;
    }
    const DWORD now = GetTickCount();
    if (inputActivity.lastWord.exchange(0, std::memory_order_relaxed) != 0) {
        LightUp(inLight, now);
    }
    if (outputActivity.wordSent.exchange(false, std::memory_order_relaxed)) {
        LightUp(outLight, now);
    }
    Update(inLight, now);
    Update(outLight, now);
}

bool DrawActivityLight(const DRAWITEMSTRUCT& item) {
    const Light* light = item.hwndItem == inLight.control    ? &inLight
                         : item.hwndItem == outLight.control ? &outLight
                                                             : nullptr;
    if (light == nullptr) {
        return false;
    }
    // The same round shape every time, so the picture's pixels round it never need drawing.
    HBRUSH fill = CreateSolidBrush(ColourOf(light->state));
    HPEN rim = CreatePen(PS_SOLID, 1, kRimColour);
    HGDIOBJ oldBrush = SelectObject(item.hDC, fill);
    HGDIOBJ oldPen = SelectObject(item.hDC, rim);
    Ellipse(item.hDC, item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom);
    SelectObject(item.hDC, oldPen);
    SelectObject(item.hDC, oldBrush);
    DeleteObject(rim);
    DeleteObject(fill);
    return true;
}
