// The engine's rules as one table: settings and input words in, the exact output words out.
// Each row starts from a freshly started engine; a row may change the settings part way, as
// the panel does while input flows.
#include "CapturedSeams.h"
#include "EngineInternals.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Words = std::vector<ShortMessage>;

struct Settings {
    int wheelType = WheelUpDown;
    bool drum = true;
    bool synth = true;
};

struct Row {
    const char* situation;
    Settings settings;
    Words input;
    Words output;
    Settings laterSettings = {}; // applied after `input`, before `laterInput`
    Words laterInput = {};
    Words laterOutput = {};
};

constexpr ShortMessage kUp = CC(47, 65), kDown = CC(48, 65);
constexpr Settings kOn{}, kWheelOff{WheelControlChange}, kDrumOff{WheelUpDown, false, true},
    kSynthOff{WheelUpDown, true, false};

Words Parts(unsigned firstController, unsigned mask, int count) {
    Words parts;
    for (int k = 0; k < count; ++k) {
        parts.push_back(CC(firstController + unsigned(k), (mask >> k & 1u) ? 0 : 64));
    }
    return parts;
}

Words Join(std::initializer_list<Words> pieces) {
    Words all;
    for (const Words& piece : pieces) {
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

const Words kDrumReport = {CC(99, 0), CC(98, 120), CC(6, 1), CC(38, 5)};
const Words kDrumReportOut =
    Join({{CC(99, 0), CC(98, 120), CC(6, 1)}, Parts(57, 1, 2), {CC(38, 5)}, Parts(50, 5, 7)});

const Row kRows[] = {
    {"notes pass, pitch bend and channel pressure drop",
     kOn,
     {0x643C93, MakeShortMessage(0xE0, 0, 64), MakeShortMessage(0xD0, 40, 0)},
     {0x643C93}},
    {"clock messages pass, active sensing and reset drop",
     kOn,
     {0xF8, 0xFA, 0xFB, 0xFC, 0xFE, 0xFF, 0xF2},
     {0xF8, 0xFA, 0xFB, 0xFC}},
    {"channel 16 control changes pass untranslated",
     kOn,
     {CC(98, 120, 16), CC(6, 1, 16), CC(38, 5, 16), CC(7, 100, 16)},
     {CC(98, 120, 16), CC(6, 1, 16), CC(38, 5, 16), CC(7, 100, 16)}},
    {"channel 2 reports and bank selects pass untranslated",
     kOn,
     {CC(98, 119, 2), CC(38, 31, 2), ProgramChange(120), CC(32, 1, 2), ProgramChange(3)},
     {CC(98, 119, 2), CC(38, 31, 2), kDown, CC(32, 1, 2), kUp}},
    {"a program change is never copied; on channel 2 it is dropped",
     kOn,
     {ProgramChange(0), ProgramChange(4, 2)},
     {kDown}},
    {"a selected report only sends its own copy", kOn, {CC(98, 120)}, {CC(98, 120)}},
    {"the wheel compares with the previous program",
     kOn,
     {ProgramChange(9), ProgramChange(5), ProgramChange(5), ProgramChange(6)},
     {kDown, kUp, kDown, kDown}},
    {"bank 1 adds 128 to the program",
     kOn,
     {CC(32, 1), ProgramChange(3), CC(32, 0), ProgramChange(120), CC(32, 2), ProgramChange(119)},
     {CC(32, 1), kDown, CC(32, 0), kUp, CC(32, 2), kUp}},
    {"other wheel types send nothing but keep the previous program",
     kWheelOff,
     {ProgramChange(9), ProgramChange(5)},
     {},
     kOn,
     {ProgramChange(3)},
     {kUp}},
    {"wheel type -1 sends nothing", {-1}, {ProgramChange(1)}, {}},
    {"wheel type 255 sends nothing", {255}, {ProgramChange(1)}, {}},
    {"a drum report yields 7A and 7B, then parts 1 to 6B, once", kOn,
     Join({kDrumReport, {CC(6, 1), CC(38, 5)}}), Join({kDrumReportOut, {CC(6, 1), CC(38, 5)}})},
    {"a synth report spreads its five bits",
     kOn,
     {CC(98, 119), CC(38, 31), CC(98, 119), CC(38, 0x60)},
     Join({{CC(98, 119), CC(38, 31)},
           Parts(40, 31, 5),
           {CC(98, 119), CC(38, 0x60)},
           Parts(40, 0, 5)})},
    {"both reports armed: synth parts first, then drum parts, from one value",
     kOn,
     {CC(98, 119), CC(98, 120), CC(38, 3)},
     Join({{CC(98, 119), CC(98, 120), CC(38, 3)}, Parts(40, 3, 5), Parts(50, 3, 7)})},
    {"a synth report has no MSB half", kOn, {CC(98, 119), CC(6, 3)}, {CC(98, 119), CC(6, 3)}},
    {"another NRPN LSB does not disarm a report",
     kOn,
     {CC(98, 120), CC(98, 5), CC(38, 2)},
     Join({{CC(98, 120), CC(98, 5), CC(38, 2)}, Parts(50, 2, 7)})},
    {"a disabled synth report stays armed until enabled",
     kSynthOff,
     {CC(98, 119), CC(38, 1)},
     {CC(98, 119), CC(38, 1)},
     kOn,
     {CC(38, 1)},
     Join({{CC(38, 1)}, Parts(40, 1, 5)})},
    {"a disabled drum report stays armed until enabled",
     kDrumOff,
     {CC(98, 120), CC(6, 1), CC(38, 5)},
     {CC(98, 120), CC(6, 1), CC(38, 5)},
     kOn,
     {CC(6, 2), CC(38, 4)},
     Join({{CC(6, 2)}, Parts(57, 2, 2), {CC(38, 4)}, Parts(50, 4, 7)})},
    {"disabling drum leaves synth translated",
     kDrumOff,
     {CC(98, 119), CC(98, 120), CC(38, 3)},
     Join({{CC(98, 119), CC(98, 120), CC(38, 3)}, Parts(40, 3, 5)})},
};

void Apply(const Settings& settings) {
    bridgeSettings.wheelType = settings.wheelType;
    bridgeSettings.drumMutesEnabled = settings.drum;
    bridgeSettings.synthMutesEnabled = settings.synth;
}

Words Route(const Words& input) {
    sentMessages.clear();
    for (ShortMessage message : input) {
        RouteMidiEvent(kMidiInputData, message);
    }
    return sentMessages;
}

TEST(Engine, EveryRowGivesExactlyItsOutput) {
    for (const Row& row : kRows) {
        ResetEngineForTest();
        Apply(row.settings);
        EXPECT_EQ(Route(row.input), row.output) << row.situation;
        Apply(row.laterSettings);
        EXPECT_EQ(Route(row.laterInput), row.laterOutput) << row.situation << ", later";
    }
}

// Every status byte against the forwarding rules, with data that no translation looks at; and
// the panel's in light: every delivered word is seen.
TEST(Engine, EveryStatusByteIsForwardedOrDroppedByItsKindAndSeenByTheInLight) {
    for (int wheelType : {WheelUpDown, WheelControlChange}) {
        for (unsigned status = 0x80; status <= 0xFF; ++status) {
            ResetEngineForTest();
            bridgeSettings.wheelType = wheelType;
            inputActivity.lastWord = 0;
            const ShortMessage message = MakeShortMessage(status, 1, 2);
            const unsigned kind = status >> 4;
            const bool forwarded = kind == 0x8 || kind == 0x9 || kind == 0xB || status == 0xF8 ||
                                   status == 0xFA || status == 0xFB || status == 0xFC;
            const bool wheel = status == 0xC0 && wheelType == WheelUpDown;
            const Words expected = wheel ? Words{kDown} : forwarded ? Words{message} : Words{};
            EXPECT_EQ(Route({message}), expected) << std::hex << status << " " << wheelType;
            EXPECT_EQ(inputActivity.lastWord.load(), message) << std::hex << status;
        }
    }
}

TEST(Engine, OtherEventKindsDoNothingAndChangeNothing) {
    ResetEngineForTest();
    inputActivity.lastWord = 0;
    for (std::uint32_t kind : {0x3C1u, 0x3C2u, 0x3C4u, 0x3C5u, 0x3C6u}) { // open, close, ...
        RouteMidiEvent(kind, CC(98, 119));
        RouteMidiEvent(kind, ProgramChange(9));
    }
    EXPECT_EQ(sentMessages, Words{});
    EXPECT_EQ(inputActivity.lastWord.load(), 0u);
    EXPECT_EQ(Route({CC(38, 1), ProgramChange(0)}), (Words{CC(38, 1), kDown}));
}

// Only the events of the input now open are routed; none while no input is open.
TEST(Engine, OnlyTheOpenInputsEventsAreRouted) {
    const MidiEventParam kOpenAndCarried[][2] = {{7, 7}, {7, 6}, {7, 0}, {0, 7}};
    for (const auto& [open, carried] : kOpenAndCarried) {
        ResetEngineForTest();
        openInputInstance = open;
        OnMidiInput(nullptr, kMidiInputData, carried, CC(98, 120), 0);
        OnMidiInput(nullptr, kMidiInputData, carried, CC(6, 1), 0);
        EXPECT_EQ(sentMessages.size(), open == carried ? 4u : 0u) << open << " " << carried;
    }
    openInputInstance = 0;
}

TEST(Engine, LearnButtonsAndBitTextFollowTheCatalogue) {
    EXPECT_EQ(LearnButtonMessage(LearnSynth1), CC(40, 64));
    EXPECT_EQ(LearnButtonMessage(LearnDrum1), CC(50, 64));
    EXPECT_EQ(LearnButtonMessage(LearnDrum7B), CC(58, 64));
    EXPECT_EQ(LearnButtonMessage(LearnWheelUp), kUp);
    EXPECT_EQ(LearnButtonMessage(LearnWheelDown), kDown);
    FormatBits(0x105);
    EXPECT_STREQ(translatorState.bitText, "00000101");
}

} // namespace
