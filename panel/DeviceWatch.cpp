#include "DeviceWatch.h"

#include "Engine.h"
#include "MidiDevices.h"
#include "MidiPorts.h"

#include <atomic>
#include <initializer_list>

namespace {

// Windows' MIDI service can list a port seconds after the notice that its device arrived;
// reading the lists once a second for ten seconds finds it within a second of its arrival.
constexpr UINT_PTR kLateReadTimer = 1;
constexpr UINT kLateReadMilliseconds = 1000;
constexpr int kLateReads = 10;

struct WatchedList {
    HWND control;
    DeviceList shown;    // what the control lists
    DeviceList platform; // as last read
    DeviceIdentity chosen;
    bool away; // the chosen device was missing from the list at some look since it was opened
    std::atomic<std::int32_t>& position; // where bridgeSettings keeps it
    void (*read)(DeviceList&);
    bool (*answers)();
    void (*takeUp)();
};

// clang-format off
WatchedList outputs{nullptr, {}, {}, {}, false, bridgeSettings.outputDevice,
                    ReadOutputDevices, MidiOutputAnswers, TakeUpMidiOutput};
WatchedList inputs{nullptr, {}, {}, {}, false, bridgeSettings.inputDevice,
                   ReadInputDevices, MidiInputAnswers, TakeUpMidiInput};
// clang-format on
HWND panelWindow = nullptr;
int lateReadsLeft = 0;

bool DroppedDown(const WatchedList& list) {
    return SendMessageA(list.control, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

void Refill(WatchedList& list) {
    list.shown = list.platform;
    FillDeviceList(list.control, list.shown);
    // While the chosen device is away the list shows no selection.
    SendMessageA(list.control, CB_SETCURSEL,
                 static_cast<WPARAM>(PositionOf(list.shown, list.chosen)), 0);
}

void Follow(WatchedList& list) {
    list.read(list.platform);
    if (!SameDevices(list.platform, list.shown) && !DroppedDown(list)) {
        Refill(list);
    }
    const int position = PositionOf(list.platform, list.chosen);
    if (position < 0) {
        list.away = true;
        return;
    }
    list.position = position; // "Settings" saves where the device is now
    // A port that still answers stays as it is, whatever came or went beside it; but a device
    // that was seen gone is opened again, should its old handle still answer.
    if (list.away || !list.answers()) {
        list.away = false;
        list.takeUp();
    }
}

// Output before input, as at start.
void FollowDevices() {
    Follow(outputs);
    Follow(inputs);
}

bool Choose(WatchedList& list) {
    const auto selection = static_cast<int>(SendMessageA(list.control, CB_GETCURSEL, 0, 0));
    list.chosen = IdentityAt(list.shown, selection);
    list.away = false;
    if (list.chosen.name[0] == '\0') {
        list.position = selection; // no entry: the platform answers for that position
        return true;
    }
    list.read(list.platform);
    const int position = PositionOf(list.platform, list.chosen);
    if (position < 0) {
        return false; // it left while the list was down: never open what slid into its place
    }
    list.position = position;
    return true;
}

} // namespace

void WatchDevices(HWND panel, HWND inputList, HWND outputList) {
    panelWindow = panel;
    for (WatchedList* list : {&outputs, &inputs}) {
        list->control = list == &outputs ? outputList : inputList;
        list->read(list->platform);
        list->shown = list->platform;
        FillDeviceList(list->control, list->shown);
        if (bridgeSettings.settingsLoaded) {
            list->chosen = IdentityAt(list->shown, list->position);
        }
    }
}

bool ChooseInputDevice() {
    return Choose(inputs);
}

bool ChooseOutputDevice() {
    return Choose(outputs);
}

void OnDevicesChanged() {
    FollowDevices();
    lateReadsLeft = kLateReads;
    SetTimer(panelWindow, kLateReadTimer, kLateReadMilliseconds, nullptr);
}

void OnDeviceTimer(UINT_PTR timer) {
    if (timer != kLateReadTimer) {
        return;
    }
    FollowDevices();
    if (--lateReadsLeft <= 0) {
        KillTimer(panelWindow, kLateReadTimer);
    }
}

void OnDeviceListClosed() {
    FollowDevices();
}
