// What the output holds, as one table: the words that reached it in, the releases out. Every
// row is released a second time too, which must send nothing.
#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Words = std::vector<ShortMessage>;

constexpr ShortMessage On(unsigned key, unsigned velocity, unsigned channel = 1) {
    return MakeShortMessage(0x90 + channel - 1, key, velocity);
}
constexpr ShortMessage Off(unsigned key, unsigned velocity, unsigned channel = 1) {
    return MakeShortMessage(0x80 + channel - 1, key, velocity);
}
constexpr ShortMessage Release(unsigned key, unsigned channel = 1) {
    return Off(key, 64, channel);
}
constexpr ShortMessage Pedal(unsigned value, unsigned channel = 1) {
    return CC(64, value, channel);
}

struct Row {
    const char* situation;
    Words sent;
    Words releases;
};

const Row kRows[] = {
    {"nothing held, nothing sent", {}, {}},
    {"a chord, each note released",
     {On(60, 90), On(64, 91), On(67, 92)},
     {Release(60), Release(64), Release(67)}},
    {"a Note Off releases, whatever its velocity",
     {On(60, 90), Off(60, 0), On(62, 1), Off(62, 99)},
     {}},
    {"a Note On with velocity 0 is a Note Off", {On(60, 90), On(60, 0)}, {}},
    {"a note struck twice is released once", {On(60, 90), On(60, 100)}, {Release(60)}},
    {"every key of a channel, the lowest and the highest included",
     {On(0, 1), On(31, 1), On(32, 1), On(127, 1)},
     {Release(0), Release(31), Release(32), Release(127)}},
    {"channels are kept apart",
     {On(36, 100, 10), On(36, 100, 1), Off(36, 0, 2), On(42, 100, 16), Off(42, 0, 15)},
     {Release(36, 1), Release(36, 10), Release(42, 16)}},
    {"a Note Off on another channel releases nothing",
     {On(60, 90, 3), Off(60, 0, 4)},
     {Release(60, 3)}},
    {"a held sustain is released after the notes",
     {Pedal(127), On(60, 90), Off(60, 0)},
     {Pedal(0)}},
    {"the pedal is down from 64 up",
     {Pedal(64, 2), Pedal(63, 3), On(50, 9, 2)},
     {Release(50, 2), Pedal(0, 2)}},
    {"a pedal let up is not released", {Pedal(127, 5), Pedal(0, 5)}, {}},
    {"pedals of several channels", {Pedal(100, 16), Pedal(100, 1)}, {Pedal(0, 1), Pedal(0, 16)}},
    {"other words hold nothing",
     {CC(65, 127), CC(123, 0), MakeShortMessage(0xA0, 60, 90), MakeShortMessage(0xE0, 0, 64), 0xF8,
      0xFA},
     {}},
};

TEST(HeldNotes, EveryRowReleasesExactlyWhatIsHeldAndThenNothing) {
    for (const Row& row : kRows) {
        ResetEngineForTest();
        for (ShortMessage word : row.sent) {
            KeepHeldNotes(word);
        }
        EXPECT_EQ(ReleaseHeldNotes(kEveryRelease), static_cast<int>(row.releases.size()));
        EXPECT_EQ(sentMessages, row.releases) << row.situation;
        sentMessages.clear();
        EXPECT_EQ(ReleaseHeldNotes(kEveryRelease), 0) << row.situation << ", released again";
    }
}

// Released a part at a time, each release comes once, in the same order, and what is struck
// or let go between parts counts as it stands then.
TEST(HeldNotes, ReleasedInPartsEachGoesOnceAndLaterNotesCount) {
    ResetEngineForTest();
    for (ShortMessage word : {On(60, 90), On(64, 90), On(67, 90), Pedal(127, 2)}) {
        KeepHeldNotes(word);
    }
    EXPECT_EQ(ReleaseHeldNotes(2), 2);
    EXPECT_EQ(sentMessages, (Words{Release(60), Release(64)}));
    KeepHeldNotes(On(62, 90));
    KeepHeldNotes(Off(67, 0));
    sentMessages.clear();
    EXPECT_EQ(ReleaseHeldNotes(kEveryRelease), 2);
    EXPECT_EQ(sentMessages, (Words{Release(62), Pedal(0, 2)}));
}

// Released in parts smaller than what is held, as an output switch releases it, every note and
// pedal comes once and in order wherever a part ends: what one part leaves, the next sends.
TEST(HeldNotes, WhatAPartLeavesHeldTheNextReleases) {
    Words everything;
    for (unsigned key = 0; key < 128; ++key) {
        everything.push_back(Release(key));
    }
    everything.push_back(Release(60, 16));
    everything.push_back(Pedal(0, 2));
    for (const int part : {1, 31, 32, 40, 128}) {
        ResetEngineForTest();
        for (unsigned key = 0; key < 128; ++key) {
            KeepHeldNotes(On(key, 90));
        }
        KeepHeldNotes(On(60, 90, 16));
        KeepHeldNotes(Pedal(127, 2));
        int sent = part;
        for (int parts = 0; sent == part && parts < 200; ++parts) {
            sent = ReleaseHeldNotes(part);
        }
        EXPECT_EQ(sentMessages, everything) << "parts of " << part;
    }
}

// All notes off: the held notes' Note Offs, no pedal of their own, then every channel's sustain
// release and All Notes Off in turn; nothing is held afterwards.
TEST(HeldNotes, AllNotesOffReleasesTheNotesThenEveryChannelAndForgetsAll) {
    ResetEngineForTest();
    for (ShortMessage word : {Pedal(127, 3), On(60, 90), On(36, 100, 10), Pedal(100)}) {
        KeepHeldNotes(word);
    }
    ForgetHeldPedals();
    ReleaseHeldNotes(kEveryRelease);
    SilenceEveryChannel();
    Words expected{Release(60), Release(36, 10)};
    for (unsigned channel = 1; channel <= 16; ++channel) {
        expected.push_back(Pedal(0, channel));
        expected.push_back(CC(123, 0, channel));
    }
    EXPECT_EQ(sentMessages, expected);
    EXPECT_EQ(ReleaseHeldNotes(kEveryRelease), 0);
}

} // namespace
