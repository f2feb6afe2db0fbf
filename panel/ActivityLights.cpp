#include "ActivityLights.h"

#include "Engine.h"
#include "PanelMessages.h"
#include "resource.h"

namespace {

// Fast enough that a light follows the music; slow enough to cost the window thread nothing.
constexpr UINT kPollMilliseconds = 40;
// How long a light stays lit after the last word: long enough for one clock tick at slow
// tempos to read as a steady light.
constexpr DWORD kHoldMilliseconds = 250;

struct Light {
    int id;
    const char* litText; // the control's text says its state, for screen readers and tests
    const char* darkText;
    HWND control;
    DWORD litUntil;
    bool lit;
};

Light inLight{IDC_MIDI_IN_LIGHT, "MIDI in: active", "MIDI in: quiet", nullptr, 0, false};
Light outLight{IDC_MIDI_OUT_LIGHT, "MIDI out: active", "MIDI out: quiet", nullptr, 0, false};

const COLORREF kLitColour = RGB(0x3C, 0xF0, 0x3C);
const COLORREF kDarkColour = RGB(0x14, 0x3C, 0x14);
const COLORREF kRimColour = RGB(0x08, 0x10, 0x08);

void Update(Light& light, DWORD now) {
    const bool lit = static_cast<LONG>(light.litUntil - now) > 0;
    if (lit != light.lit) {
        light.lit = lit;
        SetWindowTextA(light.control, lit ? light.litText : light.darkText);
        InvalidateRect(light.control, nullptr, FALSE);
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
    HBRUSH fill = CreateSolidBrush(light->lit ? kLitColour : kDarkColour);
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
