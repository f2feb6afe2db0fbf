#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Messages = std::vector<ShortMessage>;

// The messages a report of `mask` gives for `count` parts starting at `firstController`.
Messages PartMessages(unsigned firstController, int count, unsigned mask) {
    Messages parts;
    for (int k = 0; k < count; ++k) {
        parts.push_back(
            CC(firstController + static_cast<unsigned>(k), (mask >> k & 1u) != 0 ? 0 : 64));
    }
    return parts;
}

Messages Concat(std::initializer_list<Messages> pieces) {
    Messages all;
    for (const Messages& piece : pieces) {
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

class MuteStatus : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineForTest();
    }
};

TEST_F(MuteStatus, DrumReportSpreadsMsbThenLsbIntoNinePartMessages) {
    EXPECT_EQ(
        Feed({CC(99, 0), CC(98, 120), CC(6, 1), CC(38, 5)}),
        (Messages{CC(99, 0), CC(98, 120), CC(6, 1), CC(57, 0), CC(58, 64), CC(38, 5), CC(50, 0),
                  CC(51, 64), CC(52, 0), CC(53, 64), CC(54, 64), CC(55, 64), CC(56, 64)}));
    // The LSB completed the report: a repeat without a new select is only forwarded.
    EXPECT_EQ(Feed({CC(38, 5), CC(6, 1)}), (Messages{CC(38, 5), CC(6, 1)}));
}

TEST_F(MuteStatus, EveryMaskValueGivesOneMessagePerPartFromItsBit) {
    for (unsigned value = 0; value < 128; ++value) {
        EXPECT_EQ(Feed({CC(98, 119), CC(38, value)}),
                  Concat({{CC(98, 119), CC(38, value)}, PartMessages(40, 5, value)}))
            << "synth " << value;
        EXPECT_EQ(Feed({CC(98, 120), CC(6, value), CC(38, value)}),
                  Concat({{CC(98, 120), CC(6, value)},
                          PartMessages(57, 2, value),
                          {CC(38, value)},
                          PartMessages(50, 7, value)}))
            << "drum " << value;
    }
}

TEST_F(MuteStatus, SynthReportHasNoMsbHalf) {
    EXPECT_EQ(Feed({CC(98, 119), CC(6, 31)}), (Messages{CC(98, 119), CC(6, 31)}));
    EXPECT_EQ(Feed({CC(38, 31)}), Concat({{CC(38, 31)}, PartMessages(40, 5, 31)}));
    EXPECT_EQ(Feed({CC(38, 0)}), Messages{CC(38, 0)});
}

TEST_F(MuteStatus, BothReportsArmedAreServedByOneLsbSynthFirst) {
    EXPECT_EQ(Feed({CC(98, 119), CC(98, 120), CC(38, 3)}),
              Concat({{CC(98, 119), CC(98, 120), CC(38, 3)},
                      PartMessages(40, 5, 3),
                      PartMessages(50, 7, 3)}));
}

TEST_F(MuteStatus, WorstCaseLsbSendsThirteenMessages) {
    Feed({CC(98, 119), CC(98, 120)});
    EXPECT_EQ(Feed({CC(38, 0x55)}).size(), 13u);
}

TEST_F(MuteStatus, OtherSelectValuesNeitherArmNorDisarm) {
    EXPECT_EQ(Feed({CC(98, 121), CC(38, 1)}), (Messages{CC(98, 121), CC(38, 1)}));
    EXPECT_EQ(Feed({CC(98, 120), CC(98, 0), CC(98, 118), CC(38, 0)}),
              Concat({{CC(98, 120), CC(98, 0), CC(98, 118), CC(38, 0)}, PartMessages(50, 7, 0)}));
}

TEST_F(MuteStatus, DisabledReportStaysArmedUntilEnabled) {
    bridgeSettings.synthMutesEnabled = false;
    bridgeSettings.drumMutesEnabled = false;
    EXPECT_EQ(Feed({CC(98, 119), CC(98, 120), CC(38, 1), CC(6, 1), CC(38, 2)}),
              (Messages{CC(98, 119), CC(98, 120), CC(38, 1), CC(6, 1), CC(38, 2)}));

    bridgeSettings.synthMutesEnabled = true;
    EXPECT_EQ(Feed({CC(38, 31)}), Concat({{CC(38, 31)}, PartMessages(40, 5, 31)}));

    bridgeSettings.drumMutesEnabled = true;
    EXPECT_EQ(Feed({CC(6, 2), CC(6, 3), CC(38, 4)}), Concat({{CC(6, 2)},
                                                             PartMessages(57, 2, 2),
                                                             {CC(6, 3)},
                                                             PartMessages(57, 2, 3),
                                                             {CC(38, 4)},
                                                             PartMessages(50, 7, 4)}));
    EXPECT_EQ(Feed({CC(38, 4)}), Messages{CC(38, 4)});
}

TEST_F(MuteStatus, EnableFlagsAreIndependent) {
    bridgeSettings.synthMutesEnabled = false;
    EXPECT_EQ(Feed({CC(98, 119), CC(98, 120), CC(38, 1)}),
              Concat({{CC(98, 119), CC(98, 120), CC(38, 1)}, PartMessages(50, 7, 1)}));
    EXPECT_TRUE(translatorState.synthStatusArmed);
    EXPECT_FALSE(translatorState.drumStatusArmed);
}

TEST_F(MuteStatus, ReportsOnOtherChannelsAreOnlyForwarded) {
    const Messages input = {CC(98, 120, 2), CC(6, 1, 2), CC(38, 5, 2), CC(98, 119, 16),
                            CC(38, 31, 16)};
    sentMessages.clear();
    for (ShortMessage message : input) {
        RouteMidiEvent(kMidiInputData, message);
    }
    EXPECT_EQ(sentMessages, input);
    // Nothing was armed either.
    EXPECT_EQ(Feed({CC(38, 5)}), Messages{CC(38, 5)});
}

TEST_F(MuteStatus, BitsAboveTheReportedPartsAreIgnored) {
    EXPECT_EQ(Feed({CC(98, 119), CC(38, 0x60)}),
              Concat({{CC(98, 119), CC(38, 0x60)}, PartMessages(40, 5, 0)}));
    EXPECT_EQ(Feed({CC(98, 120), CC(6, 0x7C)}),
              Concat({{CC(98, 120), CC(6, 0x7C)}, PartMessages(57, 2, 0)}));
}

TEST(FormatBits, SpellsTheLowEightBitsMostSignificantFirst) {
    const struct {
        unsigned value;
        const char* text;
    } cases[] = {{0, "00000000"},   {1, "00000001"},   {5, "00000101"},    {128, "10000000"},
                 {255, "11111111"}, {256, "00000000"}, {0x1A5, "10100101"}};
    for (const auto& c : cases) {
        std::memset(translatorState.bitText, 'x', sizeof translatorState.bitText);
        FormatBits(c.value);
        EXPECT_STREQ(translatorState.bitText, c.text) << c.value;
    }
}

} // namespace
