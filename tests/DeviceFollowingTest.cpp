// Which device a port follows, as one table: the list as last read and as read now, with the
// platform's answer for the open port, give the step. A list is written a letter a device: G a
// groovebox, K a keyboard, P a pad, and C each of two units of one name.
#include "DeviceFollowing.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using enum ChosenState;
using enum FollowAction;

DeviceList List(const char* letters) {
    DeviceList list{};
    for (; letters[list.count] != '\0'; ++list.count) {
        list.names[list.count][0] = letters[list.count];
    }
    return list;
}

// The platform's answers for the open port: its index, or the dead device's code; and the probe
// of Windows' 32-bit MIDI service driver before its fix, which fails on live ports from the open
// on with the dead device's code.
constexpr PortProbe At(int index) {
    return {true, false, index};
}
constexpr PortProbe kDead{true, true, -1}, kFailing{false, true, -1}, kNone = kNoPortOpen;

// Whether the device left with the step, and its state after it.
struct Outcome {
    bool left;
    ChosenState state;
};
constexpr ChosenState kAmong = AwayAmongNamesakes;
constexpr Outcome kStays{false, Present}, kLeaves{true, Away}, kAway{false, Away},
    kLeftAmong{true, kAmong}, kAwayAmong{false, kAmong};

const struct Row {
    const char* situation;
    DeviceIdentity chosen;
    ChosenState state; // kAmong: one of its name stayed, in the list `before`
    const char* before;
    const char* now;
    PortProbe probe;
    FollowAction action;
    int position;
    Outcome outcome;
} kRows[] = {
    // Renumbered lists: a device that leaves takes its index with it; one that comes is last.
    {"renumbered: one before it left", {"G", 0}, Present, "KGP", "GP", At(0), FollowTo, 0, kStays},
    {"renumbered, no port open", {"G", 0}, Present, "KG", "G", kNone, FollowTo, 0, kStays},
    {"one came after it", {"G", 0}, Present, "GK", "GKP", At(0), Keep, 0, kStays},
    {"renumbered: it left", {"G", 0}, Present, "GK", "K", kDead, Wait, -1, kLeaves},
    {"renumbered: it left, no port open", {"G", 0}, Present, "G", "", kNone, Wait, -1, kLeaves},
    {"away: others come and go", {"G", 0}, Away, "K", "KP", kNone, Wait, -1, kAway},
    {"away: listed again, or listed late", {"G", 0}, Away, "K", "KG", kNone, TakeUp, 1, kAway},
    // Frozen lists: a device that leaves stays listed, and a new one is never listed.
    {"frozen: it left", {"G", 0}, Present, "GK", "GK", kDead, TakeUp, 0, kLeaves},
    {"frozen: away, tried again", {"G", 0}, Away, "GK", "GK", kDead, TakeUp, 0, kAway},
    {"frozen: nothing changed", {"K", 0}, Present, "GK", "GK", At(1), Keep, 1, kStays},
    {"frozen: the second of two left", {"C", 1}, Present, "CC", "CC", kDead, TakeUp, 1, kLeaves},
    // A probe that failed at the open is never believed: the lists alone tell.
    {"failing probe", {"G", 0}, Present, "GK", "GK", kFailing, Keep, 0, kStays},
    {"failing probe, one came", {"G", 0}, Present, "G", "GK", kFailing, Keep, 0, kStays},
    {"failing probe: it left", {"G", 0}, Present, "GK", "K", kFailing, Wait, -1, kLeaves},
    {"failing probe, an index", {"C", 1}, Present, "CC", "CC", {false, false, 0}, Keep, 1, kStays},
    // Wine answers for the dead with the device's last index.
    {"dead: its index names another", {"G", 0}, Present, "GK", "K", At(0), Wait, -1, kLeaves},
    {"dead: its index past the list", {"P", 0}, Present, "GP", "G", At(1), Wait, -1, kLeaves},
    // Namesakes that come and go on either side of it.
    {"a namesake after it leaves", {"C", 0}, Present, "CC", "C", At(0), Keep, 0, kStays},
    {"a namesake before it leaves", {"C", 1}, Present, "CC", "C", At(0), FollowTo, 0, kStays},
    {"one before it leaves, no port", {"C", 1}, Present, "CC", "C", kNone, FollowTo, 0, kStays},
    {"a namesake comes before it", {"C", 0}, Present, "CK", "CKC", At(2), FollowTo, 2, kStays},
    {"a namesake comes after it", {"C", 0}, Present, "KC", "KCC", At(1), Keep, 1, kStays},
    {"one comes, the answer names K", {"C", 0}, Present, "CK", "CKC", At(1), Keep, 0, kStays},
    // It leaves beside namesakes: those are not it, and it is taken up only as the one that comes.
    {"it leaves, one after it stays", {"C", 0}, Present, "CC", "C", kDead, Wait, -1, kLeftAmong},
    {"it leaves, one before it stays", {"C", 1}, Present, "CC", "C", kDead, Wait, -1, kLeftAmong},
    {"among: others come", {"C", 0}, kAmong, "C", "CK", kNone, Wait, -1, kAwayAmong},
    {"among: the one that stayed leaves", {"C", 0}, kAmong, "C", "", kNone, Wait, -1, kAwayAmong},
    {"among: as many as stayed", {"C", 0}, kAmong, "K", "KC", kNone, Wait, -1, kAwayAmong},
    {"among: one comes after", {"C", 0}, kAmong, "CK", "CKC", kNone, TakeUp, 2, kAwayAmong},
    {"among: one comes before", {"C", 1}, kAmong, "KC", "CKC", kNone, TakeUp, 0, kAwayAmong},
    {"among: which came is not told", {"C", 0}, kAmong, "CK", "CCK", kNone, Wait, -1, kAwayAmong},
    {"among: it and another come", {"C", 0}, kAmong, "CK", "CKCP", kNone, TakeUp, 2, kAwayAmong},
    {"among: it comes, another goes", {"C", 0}, kAmong, "CKP", "CKC", kNone, TakeUp, 2, kAwayAmong},
    {"nothing chosen", {"", 0}, None, "G", "K", kDead, Nothing, -1, {false, None}},
};

TEST(DeviceFollowing, EachListReadGivesTheStepItsRuleSays) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.situation);
        FollowedDevice device{row.chosen, row.state, 1, List(row.before)};
        const FollowStep step = FollowDevice(device, List(row.before), List(row.now), row.probe);
        EXPECT_EQ(static_cast<int>(step.action), static_cast<int>(row.action));
        EXPECT_EQ(step.position, row.position);
        EXPECT_EQ(step.left, row.outcome.left);
        EXPECT_EQ(static_cast<int>(device.state), static_cast<int>(row.outcome.state));
        // "Ports.ini" keeps the device at the position "Settings" keeps, or the name waited for.
        if (step.position >= 0) {
            EXPECT_EQ(PositionOf(List(row.now), device.chosen), step.position);
        } else if (row.state != None) {
            EXPECT_STREQ(AwaitedName(device), row.chosen.name);
        }
    }
}

TEST(DeviceFollowing, AtStartTheNamedDeviceOrTheStoredPositionIsChosen) {
    const struct {
        DeviceIdentity named; // by "Ports.ini", where "Settings" agrees
        int stored;           // by "Settings"
        const char* now;
        int position;
        ChosenState state;
    } starts[] = {{{"C", 1}, 0, "KCC", 2, Present},
                  {{"G", 0}, 0, "K", 0, Away},
                  {{"C", 1}, 1, "CK", 1, AwayAmongNamesakes},
                  {{"", 0}, 1, "GK", 1, Present},
                  {{"", 0}, 2, "GK", 2, None}};
    for (const auto& start : starts) {
        FollowedDevice device{};
        EXPECT_EQ(ChooseAtStart(device, start.named, List(start.now), start.stored),
                  start.position);
        EXPECT_EQ(static_cast<int>(device.state), static_cast<int>(start.state));
    }
}

// The user picks an entry of the list as shown, which the platform may have changed since; the
// groovebox is chosen, away or in use.
TEST(DeviceFollowing, AChoiceIsTakenOnlyWhereTheListSaysWhichDeviceItNamesAndNotInUse) {
    const struct {
        ChosenState state;
        bool portOpen;
        const char* shown;
        const char* now;
        int selection;
        std::optional<int> position; // none: refused, and nothing changes
    } choices[] = {{Away, false, "CC", "CC", 1, 1},
                   {Away, false, "GK", "K", 1, 0},
                   {Away, false, "GK", "K", 0, std::nullopt},
                   {Away, false, "CKC", "CC", 2, std::nullopt},
                   {Away, false, "CC", "KCC", 0, std::nullopt},
                   {Away, false, "CK", "PCK", 1, 2},
                   {Away, false, "G", "G", -1, -1},
                   {Present, true, "GK", "GK", 0, std::nullopt},
                   {Present, false, "GK", "GK", 0, 0},
                   {Present, true, "KG", "GK", 1, std::nullopt},
                   {Present, true, "GK", "GK", 1, 1}};
    for (const auto& choice : choices) {
        FollowedDevice device{{"G", 0}, choice.state, 0, {}};
        const std::optional<int> position = ChooseEntry(
            device, List(choice.shown), List(choice.now), choice.selection, choice.portOpen);
        EXPECT_EQ(position, choice.position) << choice.shown << " to " << choice.now;
        EXPECT_EQ(AwaitedName(device) != nullptr, !position && choice.state == Away);
    }
}

} // namespace
