#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Messages = std::vector<ShortMessage>;

constexpr ShortMessage kUp = CC(47, 65);
constexpr ShortMessage kDown = CC(48, 65);

struct WheelCase {
    const char* name;
    std::vector<ShortMessage> input;
    Messages expected;
};

void ExpectSequence(const WheelCase& c) {
    sentMessages.clear();
    for (ShortMessage message : c.input) {
        RouteMidiEvent(kMidiInputData, message);
    }
    EXPECT_EQ(sentMessages, c.expected) << c.name;
}

TEST(WheelTranslator, UpDownWheelComparesWithThePreviousCombinedProgram) {
    const WheelCase cases[] = {
        {"first program 0 after start is down", {ProgramChange(0)}, {kDown}},
        {"lower program is up", {ProgramChange(9), ProgramChange(5)}, {kDown, kUp}},
        {"equal program is down", {ProgramChange(9), ProgramChange(9)}, {kDown, kDown}},
        {"higher program is down", {ProgramChange(5), ProgramChange(6)}, {kDown, kDown}},
        {"bank high adds 128",
         {CC(32, 1), ProgramChange(3), CC(32, 0), ProgramChange(120)},
         {CC(32, 1), kDown, CC(32, 0), kUp}},
        {"bank value 2 is low",
         {CC(32, 1), ProgramChange(0), CC(32, 2), ProgramChange(127)},
         {CC(32, 1), kDown, CC(32, 2), kUp}},
        {"bank 127 is low",
         {CC(32, 1), ProgramChange(10), CC(32, 127), ProgramChange(127)},
         {CC(32, 1), kDown, CC(32, 127), kUp}},
        {"bank select on channel 2 is only forwarded",
         {ProgramChange(100), CC(32, 1, 2), ProgramChange(3)},
         {kDown, CC(32, 1, 2), kUp}},
        {"bank high stays until the next bank select",
         {CC(32, 1), ProgramChange(0), ProgramChange(1), ProgramChange(0)},
         {CC(32, 1), kDown, kDown, kUp}},
        {"program change on channel 2 is ignored",
         {ProgramChange(50), ProgramChange(10, 2), ProgramChange(20)},
         {kDown, kUp}},
    };
    for (const WheelCase& c : cases) {
        ResetEngineForTest();
        ExpectSequence(c);
    }
}

TEST(WheelTranslator, OtherWheelTypesSendNothingButKeepTrackOfThePreviousProgram) {
    for (std::int32_t wheelType : {1, 2, -1, 255, 3, -2}) {
        ResetEngineForTest();
        bridgeSettings.wheelType = wheelType;
        EXPECT_EQ(Feed({ProgramChange(9), CC(32, 1), ProgramChange(0)}), Messages{CC(32, 1)})
            << "wheel type " << wheelType;
        EXPECT_EQ(translatorState.previousProgram, 128) << "wheel type " << wheelType;
        // Back on the up/down wheel, the comparison is with the last program received (128).
        bridgeSettings.wheelType = WheelUpDown;
        EXPECT_EQ(Feed({CC(32, 0), ProgramChange(1)}), (Messages{CC(32, 0), kUp}))
            << "wheel type " << wheelType;
    }
}

TEST(WheelTranslator, CurrentProgramHoldsTheCombinedNumber) {
    ResetEngineForTest();
    Feed({CC(32, 1), ProgramChange(127)});
    EXPECT_EQ(translatorState.currentProgram, 255);
    EXPECT_TRUE(translatorState.bankHigh);
    Feed({CC(32, 0)});
    EXPECT_FALSE(translatorState.bankHigh);
}

} // namespace
