// Which device a port follows while devices come, go, renumber or share a name. A chosen device
// is known by its name and its place among devices of that name (DeviceIdentity.h); each read of
// the platform's list, with what the platform answers for the open port, says where it is now,
// whether it left, and whether to take it up again. Portable: the panel reads the lists and
// probes the ports, and does what the step says.
#pragma once

#include "DeviceIdentity.h"

#include <optional>

// What the platform answers for a port's open handle (midiInGetID, midiOutGetID: calls that send
// nothing). A device that left answers MMSYSERR_NODRIVER, even where its list still names it.
// Some drivers fail the probe on live ports (Windows' 32-bit MIDI service driver before its
// November 2026 fix) or answer it for dead ones (Wine, with the dead device's last index): a
// probe that failed right after its port opened is never believed while that port stays open,
// and an index answered is taken only where the list names the chosen device there.
struct PortProbe {
    bool answeredAtOpen; // the probe answered right after the port opened
    bool deviceLeft;     // it answered now as a dead device does
    int listedAt;        // the index it answered now; -1: none
};
constexpr PortProbe kNoPortOpen{false, false, -1};

enum class ChosenState {
    None,    // no device is chosen: nothing is followed
    Present, // listed, and its port (if open) taken to be it
    Away,    // it left, or was not there at start: taken up wherever its identity is listed
    // It left, or was not there at start, while others of its name stayed: those are not it,
    // and it is taken up only as the one device of its name that comes.
    AwayAmongNamesakes,
};

struct FollowedDevice {
    DeviceIdentity chosen;
    ChosenState state;
    int namesakesStayed; // AwayAmongNamesakes: how many of its name stayed
    DeviceList away;     // AwayAmongNamesakes: the list as last read while it was away
};

enum class FollowAction {
    Nothing,  // nothing is chosen
    Keep,     // listed where it was; its port stays as it is
    FollowTo, // listed at another position now; its port stays as it is
    Wait,     // away: nothing is opened in its place
    TakeUp,   // away, and listed again: open it at the position (TookUp says how that went)
};

struct FollowStep {
    FollowAction action;
    int position; // Keep, FollowTo, TakeUp: where it is listed now, which "Settings" saves
    bool left;    // it left with this step: what its port delivered is to be released
};

// At start. `named` is the device "Ports.ini" names for the port, or no device where there is
// none or "Settings" changed since; `stored` is the position "Settings" holds. A named device
// that is not listed is waited for, and nothing opens in its place. Returns the position to
// keep stored: where the named device is now, or `stored`.
int ChooseAtStart(FollowedDevice& device, const DeviceIdentity& named, const DeviceList& now,
                  int stored);

// A read of the platform's list: `before` as last read, `now` as read just now, and the probe
// of the port open for the chosen device. Among devices of one name only what no platform bug
// fakes tells them apart: the lists themselves, and the probe's answer for the open port. Where
// neither tells, what is open stays open and chosen.
FollowStep FollowDevice(FollowedDevice& device, const DeviceList& before, const DeviceList& now,
                        PortProbe probe);

// How the open that a TakeUp step asked for went.
void TookUp(FollowedDevice& device, bool opened);

// The user picked entry `selection` of the list as `shown`; `now` is the list as read just now;
// `portOpen`: the chosen device's port is open. Among devices of one name, only a list still as
// it was shown says which one was clicked. The position to open; none when the device left while
// the list was down or cannot be told from another of its name, or when it is the device in use
// (chosen, there, and open: a port that failed to open is tried again): then nothing changes.
std::optional<int> ChooseEntry(FollowedDevice& device, const DeviceList& shown,
                               const DeviceList& now, int selection, bool portOpen);

// The name a port waits for while its chosen device is away; null while it waits for none.
const char* AwaitedName(const FollowedDevice& device);
