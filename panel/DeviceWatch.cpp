#include "DeviceWatch.h"

#include "Engine.h"
#include "MidiDevices.h"
#include "MidiPorts.h"
#include "PortNames.h"

#include <atomic>
#include <cstring>
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
    // While it is lost beside devices of its own name: how many of those stayed, and the list as
    // last read while it was away; -1 when no namesake stayed.
    int namesakesLeft;
    DeviceList away;
    std::atomic<std::int32_t>& position; // where bridgeSettings keeps it
    void (*read)(DeviceList&);
    PortHealth (*health)();
    int (*listedAt)();
    bool (*takeUp)();
    void (*open)();
    void (*left)(); // once there is evidence that the chosen device left; may be null
};

// clang-format off
WatchedList outputs{nullptr, {}, {}, portNames.output.device, false, -1, {},
                    bridgeSettings.outputDevice, ReadOutputDevices, MidiOutputHealth,
                    MidiOutputListedAt, TakeUpMidiOutput, OpenMidiOutput, nullptr};
WatchedList inputs{nullptr, {}, {}, portNames.input.device, false, -1, {},
                   bridgeSettings.inputDevice, ReadInputDevices, MidiInputHealth,
                   MidiInputListedAt, TakeUpMidiInput, OpenMidiInput, ReleaseNotesOfLostInput};
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

int CountNamed(const DeviceList& devices, const char* name) {
    int count = 0;
    for (int position = 0; position < devices.count; ++position) {
        count += std::strcmp(devices.names[position], name) == 0 ? 1 : 0;
    }
    return count;
}

// The one position whose removal from `now` leaves `before`: the device that came; -1 when no
// position, or more than one, does (devices of one name coming back beside each other).
int Newcomer(const DeviceList& before, const DeviceList& now) {
    int found = -1;
    for (int candidate = 0; candidate < now.count && now.count == before.count + 1; ++candidate) {
        bool rest = true;
        for (int position = 0; rest && position < before.count; ++position) {
            const int at = position < candidate ? position : position + 1;
            rest = std::strcmp(before.names[position], now.names[at]) == 0;
        }
        if (rest) {
            if (found >= 0) {
                return -1;
            }
            found = candidate;
        }
    }
    return found;
}

// `namesakes`: the devices of its name that are listed now and are not it.
void MarkLost(WatchedList& list, int namesakes) {
    if (!list.lost && list.left != nullptr) {
        list.left();
    }
    list.lost = true;
    list.namesakesLeft = namesakes > 0 ? namesakes : -1;
    list.away = list.platform;
}

// Where the chosen device is listed now, or -1. Among devices of one name only evidence that no
// platform bug can fake tells them apart: the lists themselves, and the platform's answer for
// the open port (a probe may fail on a live port, or answer for a dead one, but never names
// another device's index). Where neither tells, what is open stays open and chosen, and while
// the chosen device is away, no device of its name is opened in its place.
int Locate(WatchedList& list) {
    const int named = CountNamed(list.platform, list.chosen.name);
    if (named == 0) {
        return -1;
    }
    if (!list.lost) {
        const int answered = list.listedAt();
        if (answered >= 0 && answered < list.platform.count &&
            std::strcmp(list.platform.names[answered], list.chosen.name) == 0) {
            return answered;
        }
        // The open port works and no answer says where: the one of its name that is left, or
        // the one at its place among them, as far as there are so many.
        DeviceIdentity kept = list.chosen;
        kept.occurrence = kept.occurrence < named ? kept.occurrence : named - 1;
        return PositionOf(list.platform, kept);
    }
    if (list.namesakesLeft < 0) {
        return PositionOf(list.platform, list.chosen);
    }
    if (named <= list.namesakesLeft) {
        list.away = list.platform; // still away: others came or went meanwhile
        return -1;
    }
    return Newcomer(list.away, list.platform);
}

void Follow(WatchedList& list) {
    const DeviceList before = list.platform;
    list.read(list.platform);
    const int named = CountNamed(list.platform, list.chosen.name);
    // A port that answers stays as it is, whatever came or went beside it. One that answers as
    // dead is opened again at once where its name is listed as it was (the device came back,
    // or the lists stay as they were); where fewer of its name are listed, it left, and the
    // others of its name are not it.
    if (!list.lost && list.chosen.name[0] != '\0' && list.health() == PortDeviceLeft) {
        const bool left = named < CountNamed(before, list.chosen.name);
        MarkLost(list, left ? named : 0);
    }
    const int position = Locate(list);
    if (position >= 0) {
        list.chosen = IdentityAt(list.platform, position);
        list.position = position; // "Settings" saves where the device is now
    } else if (list.chosen.name[0] != '\0') {
        MarkLost(list, list.lost ? list.namesakesLeft : named);
    } else {
        list.lost = false;
    }
    if (!SameDevices(list.platform, list.shown) && !DroppedDown(list)) {
        Refill(list);
    }
    if (position >= 0 && list.lost) {
        list.lost = !list.takeUp();
        list.namesakesLeft = list.lost ? list.namesakesLeft : -1;
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
        // Among devices of one name, only a list that is still as it was shown says which one
        // was clicked.
        const bool told =
            SameDevices(list.platform, list.shown) || (CountNamed(list.shown, picked.name) == 1 &&
                                                       CountNamed(list.platform, picked.name) == 1);
        position = told ? PositionOf(list.platform, picked) : -1;
        if (position < 0) {
            // It left while the list was down, or cannot be told from another of its name:
            // what is open stays open and chosen, and what slid into its place is never opened.
            return false;
        }
    }
    list.chosen = IdentityAt(list.platform, position);
    list.lost = false;
    list.namesakesLeft = -1;
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
    if (list.lost) {
        // Those of its name that are there are others: it is the one that comes.
        const int namesakes = CountNamed(list.platform, list.chosen.name);
        list.namesakesLeft = namesakes > 0 ? namesakes : -1;
        list.away = list.platform;
    } else {
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
