#include "DeviceFollowing.h"

#include <cstring>

namespace {

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

// The entries of `list` that can tell which device came: those of the chosen name, and those of
// names listed as often `before` as `now` (another device that came or went meanwhile says
// nothing of it). `positions` maps each entry kept to its place in `list`.
void KeepTelling(const DeviceList& list, const DeviceList& before, const DeviceList& now,
                 const char* name, DeviceList& kept, int* positions) {
    kept.count = 0;
    for (int position = 0; position < list.count; ++position) {
        const char* entry = list.names[position];
        if (std::strcmp(entry, name) == 0 || CountNamed(before, entry) == CountNamed(now, entry)) {
            std::memcpy(kept.names[kept.count], entry, kDeviceNameSize);
            positions[kept.count++] = position;
        }
    }
}

// Where in `now` the one device of this name that came is listed; -1 where that is not told.
int NewcomerNamed(const DeviceList& before, const DeviceList& now, const char* name) {
    DeviceList keptBefore, keptNow;
    int positionsBefore[kMaxListedDevices], positionsNow[kMaxListedDevices];
    KeepTelling(before, before, now, name, keptBefore, positionsBefore);
    KeepTelling(now, before, now, name, keptNow, positionsNow);
    const int found = Newcomer(keptBefore, keptNow);
    return found >= 0 && std::strcmp(keptNow.names[found], name) == 0 ? positionsNow[found] : -1;
}

// `namesakes`: the devices of its name listed in `now` that are not it.
void GoAway(FollowedDevice& device, int namesakes, const DeviceList& now) {
    device.state = namesakes > 0 ? ChosenState::AwayAmongNamesakes : ChosenState::Away;
    device.namesakesStayed = namesakes > 0 ? namesakes : 0;
    device.away = now;
}

// Where the chosen device is listed in `now`, or -1.
int Locate(const FollowedDevice& device, const DeviceList& now, PortProbe probe, int named) {
    if (named == 0) {
        return -1;
    }
    switch (device.state) {
    case ChosenState::Present: {
        const int answered = probe.answeredAtOpen ? probe.listedAt : -1;
        if (answered >= 0 && answered < now.count &&
            std::strcmp(now.names[answered], device.chosen.name) == 0) {
            return answered;
        }
        // The open port works and no answer says where: the one of its name that is left, or
        // the one at its place among them, as far as there are so many.
        DeviceIdentity kept = device.chosen;
        kept.occurrence = kept.occurrence < named ? kept.occurrence : named - 1;
        return PositionOf(now, kept);
    }
    case ChosenState::Away:
        return PositionOf(now, device.chosen);
    case ChosenState::AwayAmongNamesakes:
        return named > device.namesakesStayed ? NewcomerNamed(device.away, now, device.chosen.name)
                                              : -1;
    case ChosenState::None:
        break;
    }
    return -1;
}

} // namespace

int ChooseAtStart(FollowedDevice& device, const DeviceIdentity& named, const DeviceList& now,
                  int stored) {
    device.chosen = named.name[0] != '\0' ? named : IdentityAt(now, stored);
    device.state = device.chosen.name[0] != '\0' ? ChosenState::Present : ChosenState::None;
    if (named.name[0] == '\0') {
        return stored;
    }
    const int position = PositionOf(now, named);
    if (position < 0) {
        // Those of its name that are there are others: it is the one that comes.
        GoAway(device, CountNamed(now, named.name), now);
        return stored;
    }
    return position;
}

FollowStep FollowDevice(FollowedDevice& device, const DeviceList& before, const DeviceList& now,
                        PortProbe probe) {
    if (device.state == ChosenState::None) {
        return {FollowAction::Nothing, -1, false};
    }
    const DeviceIdentity was = device.chosen;
    const int named = CountNamed(now, was.name);
    bool left = false;
    // A port that answers stays as it is, whatever came or went beside it. One that answers as
    // dead is taken up again at once where its name is listed as it was (the device came back,
    // or the lists stay as they were); where fewer of its name are listed, it left, and the
    // others of its name are not it.
    if (device.state == ChosenState::Present && probe.answeredAtOpen && probe.deviceLeft) {
        GoAway(device, named < CountNamed(before, was.name) ? named : 0, now);
        left = true;
    }
    const int position = Locate(device, now, probe, named);
    if (position < 0) {
        if (device.state == ChosenState::Present) {
            GoAway(device, named, now);
            left = true;
        }
        device.away = now; // still away: others came or went meanwhile
        return {FollowAction::Wait, -1, left};
    }
    device.chosen = IdentityAt(now, position);
    if (device.state != ChosenState::Present) {
        return {FollowAction::TakeUp, position, left};
    }
    const bool moved = position != PositionOf(before, was);
    return {moved ? FollowAction::FollowTo : FollowAction::Keep, position, left};
}

void TookUp(FollowedDevice& device, bool opened) {
    if (opened) {
        device.state = ChosenState::Present;
        device.namesakesStayed = 0;
    }
}

std::optional<int> ChooseEntry(FollowedDevice& device, const DeviceList& shown,
                               const DeviceList& now, int selection, bool portOpen) {
    const DeviceIdentity picked = IdentityAt(shown, selection);
    int position = selection; // no entry: the platform answers for that position
    if (picked.name[0] != '\0') {
        const bool told = SameDevices(now, shown) || (CountNamed(shown, picked.name) == 1 &&
                                                      CountNamed(now, picked.name) == 1);
        position = told ? PositionOf(now, picked) : -1;
        if (position < 0) {
            return std::nullopt;
        }
    }
    const DeviceIdentity chosen = IdentityAt(now, position);
    if (portOpen && device.state == ChosenState::Present &&
        std::strcmp(chosen.name, device.chosen.name) == 0 &&
        chosen.occurrence == device.chosen.occurrence) {
        return std::nullopt;
    }
    device.chosen = chosen;
    device.state = device.chosen.name[0] != '\0' ? ChosenState::Present : ChosenState::None;
    device.namesakesStayed = 0;
    return position;
}

const char* AwaitedName(const FollowedDevice& device) {
    return device.state == ChosenState::Away || device.state == ChosenState::AwayAmongNamesakes
               ? device.chosen.name
               : nullptr;
}
