#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Messages = std::vector<ShortMessage>;

class Router : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineForTest();
    }
};

bool ForwardedKind(unsigned status) {
    const unsigned kind = status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xB0 || status == 0xF8 || status == 0xFA ||
           status == 0xFB || status == 0xFC;
}

TEST_F(Router, EveryStatusByteIsForwardedUnchangedOrDroppedByItsKind) {
    // Wheel translation off, so a channel 1 program change shows only the router's own choice.
    bridgeSettings.wheelType = WheelControlChange;
    for (unsigned status = 0x80; status <= 0xFF; ++status) {
        for (ShortMessage message :
             {MakeShortMessage(status, 0x10, 0x20), MakeShortMessage(status, 0x7F, 0x00),
              MakeShortMessage(status, 0x00, 0x7F)}) {
            const Messages expected = ForwardedKind(status) ? Messages{message} : Messages{};
            EXPECT_EQ(Feed({message}), expected) << std::hex << "message 0x" << message;
        }
    }
}

TEST_F(Router, DataBytesInTheStatusPositionAreDropped) {
    for (unsigned status : {0x00u, 0x01u, 0x40u, 0x7Fu}) {
        EXPECT_EQ(Feed({MakeShortMessage(status, 64, 64)}), Messages{}) << status;
    }
}

TEST_F(Router, ForwardedWordKeepsItsUnusedHighByte) {
    const ShortMessage note = 0xAB000000u | MakeShortMessage(0x93, 60, 100);
    const ShortMessage clock = 0x5A000000u | 0xF8u;
    EXPECT_EQ(Feed({note, clock}), (Messages{note, clock}));
}

TEST_F(Router, EdgeMessagesFromTheField) {
    struct Case {
        const char* name;
        ShortMessage input;
        Messages expected;
    };
    const Case cases[] = {
        {"note on ch 4", MakeShortMessage(0x93, 60, 100), {MakeShortMessage(0x93, 60, 100)}},
        {"pitch bend", MakeShortMessage(0xE0, 0, 64), {}},
        {"channel pressure", MakeShortMessage(0xD0, 40, 0), {}},
        {"cc on ch 16", MakeShortMessage(0xBF, 7, 100), {MakeShortMessage(0xBF, 7, 100)}},
        {"program change ch 1", ProgramChange(7), {CC(48, 65)}},
        {"program change ch 2", ProgramChange(7, 2), {}},
        {"active sensing", 0xFE, {}},
        {"system reset", 0xFF, {}},
        {"nrpn select drum", CC(98, 120), {CC(98, 120)}},
    };
    for (const Case& c : cases) {
        ResetEngineForTest();
        EXPECT_EQ(Feed({c.input}), c.expected) << c.name;
    }
}

TEST_F(Router, EventsOtherThanDataDoNothingAndChangeNoState) {
    const std::uint32_t otherKinds[] = {0x3C1 /* open */,       0x3C2 /* close */,
                                        0x3C4 /* long data */,  0x3C5 /* error */,
                                        0x3C6 /* long error */, 0x3CC /* more data */};
    for (std::uint32_t kind : otherKinds) {
        for (ShortMessage message : {CC(98, 120), CC(98, 119), CC(32, 1), ProgramChange(9),
                                     MakeShortMessage(0x90, 60, 100)}) {
            RouteMidiEvent(kind, message);
        }
    }
    EXPECT_TRUE(sentMessages.empty());
    // Nothing was armed and no bank or program was taken in: a data entry is only forwarded,
    // and program 0 compares against the starting previous program 0 (down).
    EXPECT_EQ(Feed({CC(38, 5), ProgramChange(0)}), (Messages{CC(38, 5), CC(48, 65)}));
}

TEST_F(Router, CallbackTakesTheMessageFromTheLowWordOfTheFirstParameter) {
    const ShortMessage note = MakeShortMessage(0x90, 64, 1);
    MidiEventParam param1 = note;
    if constexpr (sizeof(MidiEventParam) > 4) {
        param1 |= static_cast<MidiEventParam>(0xDEADBEEFu) << 16 << 16;
    }
    OnMidiInput(nullptr, kMidiInputData, 0, param1, 12345);
    OnMidiInput(nullptr, 0x3C1, 0, note, 0);
    EXPECT_EQ(sentMessages, Messages{note});
}

} // namespace
