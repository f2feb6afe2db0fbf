#include "DeviceWatch.h"

#include "DeviceFollowing.h"
#include "DeviceLists.h"
#include "Engine.h"
#include "MidiDevices.h"
#include "MidiPorts.h"
#include "PanelMessages.h"
#include "PortNames.h"

#include <atomic>
#include <initializer_list>
#include <optional>

namespace {

// Windows' MIDI service can list a port seconds after the notice that its device arrived;
// reading the lists once a second for ten seconds finds it within a second of its arrival.
constexpr UINT kLateReadMilliseconds = 1000;
constexpr int kLateReads = 10;
constexpr int kNoChoice = -2; // no entry, not even "none" (-1)

struct WatchedList {
    HWND control = nullptr;
    DeviceList shown{};    // what the control lists
    DeviceList platform{}; // as last read
    FollowedDevice device{};
    PortName& name;                      // in portNames, which "Ports.ini" saves
    std::atomic<std::int32_t>& position; // where bridgeSettings keeps it
    void (*read)(DeviceList&);
    PortProbe (*probe)();
    bool (*takeUp)();
    void (*open)();
    bool (*isOpen)();
    void (*left)() = nullptr;   // once there is evidence that the chosen device left
    int lastChoice = kNoChoice; // the entry its last choice took, until it drops down again
};

WatchedList outputs{.name = portNames.output,
                    .position = bridgeSettings.outputDevice,
                    .read = ReadOutputDevices,
                    .probe = ProbeMidiOutput,
                    .takeUp = TakeUpMidiOutput,
                    .open = OpenMidiOutput,
                    .isOpen = MidiOutputOpen};
WatchedList inputs{.name = portNames.input,
                   .position = bridgeSettings.inputDevice,
                   .read = ReadInputDevices,
                   .probe = ProbeMidiInput,
                   .takeUp = TakeUpMidiInput,
                   .open = OpenMidiInput,
                   .isOpen = MidiInputOpen,
                   .left = ReleaseNotesOfLostInput};
HWND panelWindow = nullptr;
int lateReadsLeft = 0;

void Refill(WatchedList& list) {
    list.lastChoice = kNoChoice;
    list.shown = list.platform;
    FillDeviceList(list.control, list.shown);
    ShowChosenDevice(list.control, list.shown, list.device.chosen);
}

void Follow(WatchedList& list) {
    const DeviceList before = list.platform;
    list.read(list.platform);
    const FollowStep step = FollowDevice(list.device, before, list.platform, list.probe());
    list.name.device = list.device.chosen;
    if (step.position >= 0) {
        list.position = step.position; // "Settings" saves where the device is now
    }
    if (step.left && list.left != nullptr) {
        list.left();
    }
    if (!SameDevices(list.platform, list.shown) && !DroppedDown(list.control)) {
        Refill(list);
    }
    if (step.action == FollowAction::TakeUp) {
        TookUp(list.device, list.takeUp());
    }
}

// Output before input, as at start.
void FollowDevices() {
    Follow(outputs);
    Follow(inputs);
}

bool Choose(WatchedList& list) {
    list.read(list.platform);
    const std::optional<int> position = ChooseEntry(list.device, list.shown, list.platform,
                                                    SelectedEntry(list.control), list.isOpen());
    if (!position) {
        // The device in use; or it left while the list was down, or cannot be told from another
        // of its name: what is open stays open and chosen, and what slid into its place is never
        // opened.
        return false;
    }
    list.name.device = list.device.chosen;
    list.position = *position;
    return true;
}

void RestoreChoice(WatchedList& list) {
    const DeviceIdentity named = NamedAtStart(list.name, list.position);
    list.position = ChooseAtStart(list.device, named, list.platform, list.position);
    list.name.device = list.device.chosen;
}

// At start: a chosen device that is not there is waited for, and nothing opens in its place.
bool ShownAndPresent(const WatchedList& list) {
    ShowChosenDevice(list.control, list.shown, list.device.chosen);
    return AwaitedName(list.device) == nullptr;
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
            RestoreChoice(*list);
        }
    }
}

void OpenChosenDevices() {
    if (ShownAndPresent(outputs)) {
        OpenMidiOutput();
    }
    if (ShownAndPresent(inputs)) {
        OpenMidiInput();
    }
}

// Only a choice opens a device: an entry clicked or taken with Return (CBN_SELENDOK), or the
// arrow keys on the closed list. What the arrows pass in the dropped-down list is only shown,
// and Esc or leaving the list shows the device in use again. Wine follows a choice's
// CBN_SELENDOK with a CBN_SELCHANGE of the same entry: one gesture makes one choice, so that a
// device that failed to open is not tried, and its failure shown, twice.
void OnDeviceListCommand(HWND control, int notification) {
    WatchedList& list = control == inputs.control ? inputs : outputs;
    if (notification == CBN_SELENDOK ||
        (notification == CBN_SELCHANGE && !DroppedDown(list.control))) {
        const int selection = SelectedEntry(list.control);
        if (selection == list.lastChoice) {
            return;
        }
        list.lastChoice = selection;
        if (Choose(list)) {
            list.open();
        } else {
            OnDeviceListClosed(); // in use, or it left as it was chosen: show what is now
        }
    } else if (notification == CBN_SELENDCANCEL || notification == CBN_CLOSEUP) {
        OnDeviceListClosed();
    } else if (notification == CBN_DROPDOWN) {
        list.lastChoice = kNoChoice;
    } else if (notification == CBN_SETFOCUS) {
        // Not a new gesture: the focus comes back to the list after a failure's box.
        ShowDeviceNameFromItsStart(list.control, true);
    }
}

const char* AwaitedInputName() {
    return AwaitedName(inputs.device);
}

const char* AwaitedOutputName() {
    return AwaitedName(outputs.device);
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
    // What the arrows passed, or the dropped-down list left selected, gives way to the device in
    // use.
    for (WatchedList* list : {&outputs, &inputs}) {
        if (!DroppedDown(list->control)) {
            ShowChosenDevice(list->control, list->shown, list->device.chosen);
        }
    }
    ShowDeviceNameFromItsStart(inputs.control, HasFocus(inputs.control));
    ShowDeviceNameFromItsStart(outputs.control, HasFocus(outputs.control));
}
