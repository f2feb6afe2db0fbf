// What the output holds: the notes Quorvel forwarded a Note On for and no Note Off yet, and the
// sustain pedals it forwarded down, per channel. Released with individual Note Offs, since some
// instruments ignore All Notes Off.
#include "Engine.h"

#include <bit>

namespace {

constexpr unsigned kNoteOff = 0x80;
constexpr unsigned kNoteOn = 0x90;
constexpr unsigned kControlChange = 0xB0;
constexpr unsigned kSustainPedal = 64;
constexpr unsigned kAllNotesOff = 123;
constexpr unsigned kPedalDown = 64;       // values from 64 up hold the pedal down
constexpr unsigned kReleaseVelocity = 64; // what a keyboard without release velocity sends
constexpr int kChannels = 16;
constexpr int kKeyWords = 128 / 32;

// One input's events come one at a time, so only one thread updates a channel at once: its
// updates are a plain load and store, never a locked instruction. Each channel's words are its
// own, so senders on different channels never share one.
struct HeldNotes {
    std::atomic<std::uint32_t> keys[kChannels][kKeyWords];
    std::atomic<bool> sustain[kChannels];
};

HeldNotes held;

void SetKey(std::atomic<std::uint32_t>& word, std::uint32_t bit, bool down) {
    const std::uint32_t before = word.load(std::memory_order_relaxed);
    word.store(down ? before | bit : before & ~bit, std::memory_order_relaxed);
}

} // namespace

void KeepHeldNotes(ShortMessage sent) {
    const unsigned kind = StatusOf(sent) & 0xF0u;
    const unsigned channel = StatusOf(sent) & 0x0Fu;
    const unsigned data1 = Data1Of(sent) & 0x7Fu;
    if (kind == kNoteOn || kind == kNoteOff) {
        SetKey(held.keys[channel][data1 / 32], 1u << data1 % 32,
               kind == kNoteOn && Data2Of(sent) != 0);
    } else if (kind == kControlChange && data1 == kSustainPedal) [[unlikely]] {
        held.sustain[channel].store(Data2Of(sent) >= kPedalDown, std::memory_order_relaxed);
    }
}

void ForgetHeldPedals() {
    for (std::atomic<bool>& pedal : held.sustain) {
        pedal.store(false, std::memory_order_relaxed);
    }
}

void SilenceEveryChannel() {
    ForgetHeldPedals();
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        SendToOutput(MakeShortMessage(kControlChange | channel, kSustainPedal, 0));
        SendToOutput(MakeShortMessage(kControlChange | channel, kAllNotesOff, 0));
    }
}

int ReleaseHeldNotes(int most) {
    int sent = 0;
    for (unsigned channel = 0; channel < kChannels; ++channel) {
        for (unsigned word = 0; word < kKeyWords; ++word) {
            std::uint32_t keys = held.keys[channel][word].load(std::memory_order_relaxed);
            for (; keys != 0 && sent < most; keys &= keys - 1, ++sent) {
                const unsigned key = word * 32 + static_cast<unsigned>(std::countr_zero(keys));
                SendToOutput(MakeShortMessage(kNoteOff | channel, key, kReleaseVelocity));
            }
            held.keys[channel][word].store(keys, std::memory_order_relaxed);
        }
    }
    for (unsigned channel = 0; channel < kChannels && sent < most; ++channel) {
        if (held.sustain[channel].exchange(false)) {
            SendToOutput(MakeShortMessage(kControlChange | channel, kSustainPedal, 0));
            ++sent;
        }
    }
    return sent;
}
