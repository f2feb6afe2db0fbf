// Which device a port follows, as one table: the list as last read and as read now, with the
// platform's answer for the open port, give the step; and the choices at start and by the user.
#include "DeviceFollowing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <optional>
#include <ostream>

// The names a failure prints; beside the enumerations, for the printers to find them.
std::ostream& operator<<(std::ostream& out, FollowAction action) {
    constexpr const char* kNames[] = {"Nothing", "Keep", "FollowTo", "Wait", "TakeUp"};
    return out << kNames[static_cast<int>(action)];
}

std::ostream& operator<<(std::ostream& out, ChosenState state) {
    constexpr const char* kNames[] = {"None", "Present", "Away", "AwayAmongNamesakes"};
    return out << kNames[static_cast<int>(state)];
}

namespace {

constexpr const char* G = "Groovebox MIDI Out";
constexpr const char* K = "Keyboard";
constexpr const char* P = "Pad MIDI Out";
constexpr const char* C = "USB MIDI Interface"; // two units of one name

DeviceList List(std::initializer_list<const char*> names) {
    DeviceList list{};
    for (const char* name : names) {
        std::strcpy(list.names[list.count++], name);
    }
    return list;
}

DeviceIdentity Device(const char* name, int occurrence = 0) {
    DeviceIdentity device{};
    std::strcpy(device.name, name);
    device.occurrence = occurrence;
    return device;
}

// What the platform answers for the open port.
constexpr PortProbe Answers(int index) {
    return {true, false, index};
}
constexpr PortProbe kDead{true, true, -1};
// Windows' 32-bit MIDI service driver before its fix: the probe fails on a live port, with the
// dead device's code, from the open on.
constexpr PortProbe kFailsSinceOpen{false, true, -1};

using enum ChosenState;
using enum FollowAction;

struct Row {
    const char* situation;
    DeviceIdentity chosen;
    ChosenState state; // Away*: as it went away, `before` being the list then
    int namesakesStayed;
    DeviceList before;
    DeviceList now;
    PortProbe probe;
    FollowAction action;
    int position;
    bool left;
    ChosenState after;
};

const Row kRows[] = {
    // Renumbered lists: a device that leaves takes its index with it; one that comes is last.
    {"renumbered: a device before it left, and it moved down", Device(G), Present, 0,
     List({K, G, P}), List({G, P}), Answers(0), FollowTo, 0, false, Present},
    {"renumbered: it moved down, and no port answers", Device(G), Present, 0, List({K, G, P}),
     List({G, P}), kNoPortOpen, FollowTo, 0, false, Present},
    {"renumbered: a device came after it", Device(G), Present, 0, List({G, K}), List({G, K, P}),
     Answers(0), Keep, 0, false, Present},
    {"renumbered: it left, and its port answers as dead", Device(G), Present, 0, List({G, K}),
     List({K}), kDead, Wait, -1, true, Away},
    {"renumbered: it left, and no port is open", Device(G), Present, 0, List({G, K}), List({K}),
     kNoPortOpen, Wait, -1, true, Away},
    {"renumbered: it comes back, listed last", Device(G), Away, 0, List({K}), List({K, G}),
     kNoPortOpen, TakeUp, 1, false, Away},
    {"away: others come and go", Device(G), Away, 0, List({K}), List({K, P}), kNoPortOpen, Wait, -1,
     false, Away},
    // Frozen lists: a device that leaves stays listed, and a new one is never listed.
    {"frozen: it left, and its port answers as dead: taken up where it stays listed", Device(G),
     Present, 0, List({G, K}), List({G, K}), kDead, TakeUp, 0, true, Away},
    {"frozen: still away, tried again where it is listed", Device(G), Away, 0, List({G, K}),
     List({G, K}), kDead, TakeUp, 0, false, Away},
    {"frozen: nothing changed, and its port answers", Device(K), Present, 0, List({G, K}),
     List({G, K}), Answers(1), Keep, 1, false, Present},
    // The probe fails on live ports from the open on: never believed, the lists alone tell.
    {"failing probe, nothing changed: the port is not touched", Device(G), Present, 0, List({G, K}),
     List({G, K}), kFailsSinceOpen, Keep, 0, false, Present},
    {"failing probe, others come and go", Device(G), Present, 0, List({G, K}), List({G, P}),
     kFailsSinceOpen, Keep, 0, false, Present},
    {"failing probe: the list says it left", Device(G), Present, 0, List({G, K}), List({K}),
     kFailsSinceOpen, Wait, -1, true, Away},
    {"a probe that failed at the open names no place later either",
     Device(C, 1),
     Present,
     0,
     List({C, C}),
     List({C, C}),
     {false, false, 0},
     Keep,
     1,
     false,
     Present},
    // The probe answers for the dead with the device's last index (Wine).
    {"answers for the dead: its old index names another device now", Device(G), Present, 0,
     List({G, K, P}), List({K, P}), Answers(0), Wait, -1, true, Away},
    {"answers for the dead: its old index is past the list", Device(P), Present, 0, List({G, K, P}),
     List({G, K}), Answers(2), Wait, -1, true, Away},
    // Namesakes that come and go on either side of it.
    {"a namesake listed after it leaves", Device(C), Present, 0, List({C, C}), List({C}),
     Answers(0), Keep, 0, false, Present},
    {"a namesake listed before it leaves", Device(C, 1), Present, 0, List({C, C}), List({C}),
     Answers(0), FollowTo, 0, false, Present},
    {"a namesake listed before it leaves, no answer: the one of its name that is left",
     Device(C, 1), Present, 0, List({C, C}), List({C}), kNoPortOpen, FollowTo, 0, false, Present},
    {"a namesake comes back listed before it", Device(C), Present, 0, List({C, K}), List({C, K, C}),
     Answers(2), FollowTo, 2, false, Present},
    {"a namesake comes back listed after it", Device(C), Present, 0, List({K, C}), List({K, C, C}),
     Answers(1), Keep, 1, false, Present},
    {"a namesake comes back, the answer names another device: its place among them", Device(C),
     Present, 0, List({C, K}), List({C, K, C}), Answers(1), Keep, 0, false, Present},
    // It leaves beside namesakes: those are not it, and it is taken up only as the one that comes.
    {"renumbered: it leaves, a namesake listed after it stays", Device(C), Present, 0, List({C, C}),
     List({C}), kDead, Wait, -1, true, AwayAmongNamesakes},
    {"renumbered: it leaves, a namesake listed before it stays", Device(C, 1), Present, 0,
     List({C, C}), List({C}), kDead, Wait, -1, true, AwayAmongNamesakes},
    {"frozen: the first of two left, lists as they were", Device(C), Present, 0, List({C, C}),
     List({C, C}), kDead, TakeUp, 0, true, Away},
    {"frozen: it left beside a namesake, lists as they were", Device(C, 1), Present, 0,
     List({C, C}), List({C, C}), kDead, TakeUp, 1, true, Away},
    {"away among namesakes: others come and go", Device(C), AwayAmongNamesakes, 1, List({C}),
     List({C, K}), kNoPortOpen, Wait, -1, false, AwayAmongNamesakes},
    {"away among namesakes: the namesake leaves", Device(C), AwayAmongNamesakes, 1, List({C, K}),
     List({K}), kNoPortOpen, Wait, -1, false, AwayAmongNamesakes},
    {"away among namesakes: as many of its name as stayed are listed", Device(C),
     AwayAmongNamesakes, 1, List({K}), List({K, C}), kNoPortOpen, Wait, -1, false,
     AwayAmongNamesakes},
    {"away among namesakes: one of its name comes, listed after them", Device(C),
     AwayAmongNamesakes, 1, List({C, K}), List({C, K, C}), kNoPortOpen, TakeUp, 2, false,
     AwayAmongNamesakes},
    {"away among namesakes: one of its name comes, listed before them", Device(C, 1),
     AwayAmongNamesakes, 1, List({K, C}), List({C, K, C}), kNoPortOpen, TakeUp, 0, false,
     AwayAmongNamesakes},
    {"away among namesakes: which one came cannot be told", Device(C), AwayAmongNamesakes, 1,
     List({C, K}), List({C, C, K}), kNoPortOpen, Wait, -1, false, AwayAmongNamesakes},
    {"away among namesakes: two come at once", Device(C), AwayAmongNamesakes, 1, List({C}),
     List({C, C, C}), kNoPortOpen, Wait, -1, false, AwayAmongNamesakes},
    // Ports the platform lists late: the notice came, the list follows seconds later.
    {"late listing: not listed yet", Device(G), Away, 0, List({K}), List({K}), kNoPortOpen, Wait,
     -1, false, Away},
    {"late listing: listed now", Device(G), Away, 0, List({K}), List({K, G}), kNoPortOpen, TakeUp,
     1, false, Away},
    {"nothing chosen", Device(""), None, 0, List({G}), List({K}), kDead, Nothing, -1, false, None},
};

TEST(DeviceFollowing, EachListReadGivesTheStepItsRuleSays) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.situation);
        FollowedDevice device{row.chosen, row.state, row.namesakesStayed, row.before};
        const FollowStep step = FollowDevice(device, row.before, row.now, row.probe);
        EXPECT_EQ(step.action, row.action);
        EXPECT_EQ(step.position, row.position);
        EXPECT_EQ(step.left, row.left);
        EXPECT_EQ(device.state, row.after);
        if (step.position >= 0) {
            // "Ports.ini" keeps the device at the position "Settings" keeps.
            EXPECT_EQ(PositionOf(row.now, device.chosen), step.position);
        } else if (row.after != None) {
            EXPECT_STREQ(AwaitedName(device), row.chosen.name);
        }
    }
}

TEST(DeviceFollowing, ATakenUpDeviceIsPresentOnceItsPortOpened) {
    FollowedDevice device{Device(C, 1), Present, 0, {}};
    const DeviceList both = List({C, K, C});
    FollowDevice(device, both, List({C, K}), kDead);
    ASSERT_EQ(device.state, AwayAmongNamesakes);
    ASSERT_EQ(FollowDevice(device, List({C, K}), both, kNoPortOpen).action, TakeUp);
    TookUp(device, false);
    EXPECT_STREQ(AwaitedName(device), C); // refused: tried again at the next read
    EXPECT_EQ(FollowDevice(device, both, both, kNoPortOpen).position, 2);
    TookUp(device, true);
    EXPECT_EQ(device.state, Present);
    EXPECT_EQ(AwaitedName(device), nullptr);
    // Now it answers for itself: a namesake that leaves is not it.
    const FollowStep step = FollowDevice(device, both, List({K, C}), Answers(1));
    EXPECT_EQ(step.action, FollowTo);
    EXPECT_EQ(step.position, 1);
}

const struct {
    const char* situation;
    DeviceIdentity named; // by "Ports.ini"
    int stored;           // by "Settings"
    DeviceList now;
    int position;
    ChosenState state;
} kStarts[] = {
    {"the named device, renumbered since", Device(G), 0, List({K, P, G}), 2, Present},
    {"the named unit of two", Device(C, 1), 0, List({K, C, C}), 2, Present},
    {"the named device is not there", Device(G), 0, List({K}), 0, Away},
    {"of two units, only the other is there", Device(C, 1), 1, List({C, K}), 1, AwayAmongNamesakes},
    {"no name: the stored position", Device(""), 1, List({G, K}), 1, Present},
    {"no name, a position past the list", Device(""), 2, List({G, K}), 2, None},
};

TEST(DeviceFollowing, AtStartTheNamedDeviceOrTheStoredPositionIsChosen) {
    for (const auto& start : kStarts) {
        SCOPED_TRACE(start.situation);
        FollowedDevice device{};
        EXPECT_EQ(ChooseAtStart(device, start.named, start.now, start.stored), start.position);
        EXPECT_EQ(device.state, start.state);
    }
}

// The user picks an entry of the list as shown; the platform's list may have changed since.
const struct {
    const char* situation;
    DeviceList shown;
    DeviceList now;
    int selection;
    std::optional<int> position; // none: refused, and nothing changes
} kChoices[] = {
    {"the list as shown", List({G, K}), List({G, K}), 1, 1},
    {"the second of two units, the list as shown", List({C, C}), List({C, C}), 1, 1},
    {"renumbered since it was shown", List({G, K}), List({K}), 1, 0},
    {"the picked device left meanwhile", List({G, K}), List({K}), 0, std::nullopt},
    {"a stale list among namesakes: the one clicked cannot be told", List({C, K, C}), List({C, C}),
     2, std::nullopt},
    {"a stale list, a namesake came before", List({C, C}), List({K, C, C}), 0, std::nullopt},
    {"a stale list, the only one of its name on both", List({C, K}), List({P, C, K}), 1, 2},
    {"no entry", List({G}), List({G}), -1, -1},
};

TEST(DeviceFollowing, AUserChoiceIsTakenOnlyWhereTheListSaysWhichDeviceItNames) {
    for (const auto& choice : kChoices) {
        SCOPED_TRACE(choice.situation);
        FollowedDevice device{Device(G), Away, 0, {}};
        const std::optional<int> position =
            ChooseEntry(device, choice.shown, choice.now, choice.selection);
        EXPECT_EQ(position, choice.position);
        if (position) {
            EXPECT_EQ(device.state, *position >= 0 ? Present : None);
            EXPECT_EQ(PositionOf(choice.now, device.chosen), *position);
        } else {
            EXPECT_STREQ(AwaitedName(device), G);
        }
    }
}

} // namespace
