#include "DeviceWatch.h"

#include "Engine.h"
#include "MidiDevices.h"
#include "MidiPorts.h"
#include "PortNames.h"

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
    DeviceList shown;       // what the control lists
    DeviceList platform;    // as last read
    DeviceIdentity& chosen; // kept in portNames, which "Ports.ini" saves
    // There is evidence that the chosen device left (it was missing from its list, or its port
    // answered as a dead one), or it was not there at start: it is opened once it is listed.
    bool lost;
    std::atomic<std::int32_t>& position; // where bridgeSettings keeps it
    void (*read)(DeviceList&);
    PortHealth (*health)();
    bool (*takeUp)();
    void (*open)();
    void (*left)(); // once there is evidence that the chosen device left; may be null
};

// clang-format off
WatchedList outputs{nullptr, {}, {}, portNames.output.device, false, bridgeSettings.outputDevice,
                    ReadOutputDevices, MidiOutputHealth, TakeUpMidiOutput, OpenMidiOutput, nullptr};
WatchedList inputs{nullptr, {}, {}, portNames.input.device, false, bridgeSettings.inputDevice,
                   ReadInputDevices, MidiInputHealth, TakeUpMidiInput, OpenMidiInput,
                   ReleaseNotesOfLostInput};
// clang-format on
HWND panelWindow = nullptr;
int lateReadsLeft = 0;

bool HasFocus(HWND list) {
    HWND focus = GetFocus();
    return focus == list || (focus != nullptr && GetParent(focus) == list);
}

bool DroppedDown(const WatchedList& list) {
    return SendMessageA(list.control, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

// Selects the chosen device; while it is away, no entry is selected and the edit field shows
// the name Quorvel waits for. Either way the field shows the name from its start.
void ShowChosen(const WatchedList& list) {
    const int position = PositionOf(list.shown, list.chosen);
    SendMessageA(list.control, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    if (position < 0 && list.chosen.name[0] != '\0') {
        SendMessageA(list.control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(list.chosen.name));
    }
    ShowDeviceNameFromItsStart(list.control, HasFocus(list.control));
}

void Refill(WatchedList& list) {
    list.shown = list.platform;
    FillDeviceList(list.control, list.shown);
    ShowChosen(list);
}

void MarkLost(WatchedList& list) {
    if (!list.lost && list.left != nullptr) {
        list.left();
    }
    list.lost = true;
}

void Follow(WatchedList& list) {
    list.read(list.platform);
    if (!SameDevices(list.platform, list.shown) && !DroppedDown(list)) {
        Refill(list);
    }
    const int position = PositionOf(list.platform, list.chosen);
    if (position < 0) {
        if (list.chosen.name[0] != '\0') {
            MarkLost(list);
        } else {
            list.lost = false;
        }
        return;
    }
    list.position = position; // "Settings" saves where the device is now
    // A port that answers stays as it is, whatever came or went beside it.
    if (!list.lost && list.health() == PortDeviceLeft) {
        MarkLost(list);
    }
    if (list.lost) {
        list.lost = !list.takeUp();
    }
}

// Output before input, as at start.
void FollowDevices() {
    Follow(outputs);
    Follow(inputs);
}

bool Choose(WatchedList& list) {
    const auto selection = static_cast<int>(SendMessageA(list.control, CB_GETCURSEL, 0, 0));
    const DeviceIdentity picked = IdentityAt(list.shown, selection);
    int position = selection; // no entry: the platform answers for that position
    if (picked.name[0] != '\0') {
        list.read(list.platform);
        position = PositionOf(list.platform, picked);
        if (position < 0) {
            // It left while the list was down: what is open stays open and chosen, and what
            // slid into its place is never opened.
            return false;
        }
    }
    list.chosen = picked;
    list.lost = false;
    list.position = position;
    return true;
}

// `saved` is where list.chosen lives: what it names is taken before the choice overwrites it.
void ChooseAtStart(WatchedList& list, const PortName& saved) {
    const DeviceIdentity named = NamedAtStart(saved, list.position);
    if (named.name[0] == '\0') {
        list.chosen = IdentityAt(list.shown, list.position);
        return;
    }
    list.chosen = named;
    const int position = PositionOf(list.platform, list.chosen);
    list.lost = position < 0;
    if (!list.lost) {
        list.position = position;
    }
}

} // namespace

void WatchDevices(HWND panel, HWND inputList, HWND outputList) {
    panelWindow = panel;
    outputs.control = outputList;
    inputs.control = inputList;
    for (WatchedList* list : {&outputs, &inputs}) {
        list->read(list->platform);
        list->shown = list->platform;
        FillDeviceList(list->control, list->shown);
        // Without settings no names were read either, and nothing is chosen.
        if (bridgeSettings.settingsLoaded) {
            ChooseAtStart(*list, list == &outputs ? portNames.output : portNames.input);
        }
    }
}

void OpenChosenDevices() {
    for (WatchedList* list : {&outputs, &inputs}) {
        ShowChosen(*list);
        if (!list->lost) {
            list->open();
        }
    }
}

bool ChooseInputDevice() {
    return Choose(inputs);
}

bool ChooseOutputDevice() {
    return Choose(outputs);
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
    // Not while the list is still closing: a list refilled under it would report the entry now
    // at the clicked place as chosen.
    PostMessageA(panelWindow, kFollowDevicesMessage, 0, 0);
}

void OnFollowDevicesMessage() {
    FollowDevices();
    ShowDeviceNameFromItsStart(inputs.control, HasFocus(inputs.control));
    ShowDeviceNameFromItsStart(outputs.control, HasFocus(outputs.control));
}
