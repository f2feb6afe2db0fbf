// Whole journeys through the engine, as a groovebox and a user produce them.
#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Messages = std::vector<ShortMessage>;

TEST(Roads, LearnCatalogueMatchesThePartKeysAndWheel) {
    const struct {
        LearnControl control;
        ShortMessage message;
    } expected[] = {
        {LearnSynth1, CC(40, 64)},    {LearnSynth2, CC(41, 64)}, {LearnSynth3, CC(42, 64)},
        {LearnSynth4, CC(43, 64)},    {LearnSynth5, CC(44, 64)}, {LearnDrum1, CC(50, 64)},
        {LearnDrum2, CC(51, 64)},     {LearnDrum3, CC(52, 64)},  {LearnDrum4, CC(53, 64)},
        {LearnDrum5, CC(54, 64)},     {LearnDrum6A, CC(55, 64)}, {LearnDrum6B, CC(56, 64)},
        {LearnDrum7A, CC(57, 64)},    {LearnDrum7B, CC(58, 64)}, {LearnWheelUp, CC(47, 65)},
        {LearnWheelDown, CC(48, 65)},
    };
    static_assert(std::size(expected) == kLearnControlCount);
    for (const auto& entry : expected) {
        EXPECT_EQ(LearnButtonMessage(entry.control), entry.message) << entry.control;
    }
}

TEST(Roads, FreshEngineTranslatesBeforeAnySettingChanges) {
    ResetEngineForTest();
    EXPECT_EQ(Feed({ProgramChange(4), ProgramChange(2), CC(98, 119), CC(38, 0)}),
              (Messages{CC(48, 65), CC(47, 65), CC(98, 119), CC(38, 0), CC(40, 64), CC(41, 64),
                        CC(42, 64), CC(43, 64), CC(44, 64)}));
}

TEST(Roads, ClockAndNotesInterleavedWithAReportAndAWheelTurn) {
    ResetEngineForTest();
    const ShortMessage clock = 0xF8;
    const ShortMessage noteOn = MakeShortMessage(0x99, 36, 110);
    const ShortMessage noteOff = MakeShortMessage(0x89, 36, 0);
    EXPECT_EQ(Feed({0xFA, clock, noteOn, CC(99, 0), clock, CC(98, 120), clock, CC(6, 2),
                    MakeShortMessage(0xE0, 0, 64), noteOff, CC(38, 0x7F), clock, CC(32, 1),
                    ProgramChange(2), clock, 0xFE, 0xFC}),
              (Messages{0xFA,      clock,     noteOn,     CC(99, 0),  clock,     CC(98, 120),
                        clock,     CC(6, 2),  CC(57, 64), CC(58, 0),  noteOff,   CC(38, 0x7F),
                        CC(50, 0), CC(51, 0), CC(52, 0),  CC(53, 0),  CC(54, 0), CC(55, 0),
                        CC(56, 0), clock,     CC(32, 1),  CC(48, 65), clock,     0xFC}));
}

} // namespace
