// What each output device's listener still hears: the notes it received and never released,
// and its held sustain pedals, per channel. A release sent by the thread that opened the port,
// which is the program's own doing rather than the input's, must release something; and as the
// process ends, a note left sounding at a device that is still there is a violation.
#include "FakeWinmm.h"

namespace {

constexpr int kChannels = 16;
constexpr int kSustainPedal = 64;

struct Sounding {
    volatile LONG keys[kChannels][128 / 32];
    volatile LONG sustain[kChannels];
};

Sounding sounding[kMaxDevices + 1]; // by device number + 1: the output mapper first

Sounding* Of(int device) {
    return device >= -1 && device < kMaxDevices ? &sounding[device + 1] : nullptr;
}

} // namespace

void HearSend(const Port& port, DWORD message) {
    Sounding* heard = Of(port.device);
    const DWORD kind = message & 0xF0;
    const DWORD channel = message & 0x0F;
    const DWORD data1 = message >> 8 & 0x7F;
    const DWORD data2 = message >> 16 & 0x7F;
    bool released = false;
    bool wasHeld = false;
    if (heard == nullptr || options.stress) {
        return; // the gate's stress words are counts, not MIDI
    }
    if (kind == 0x90 || kind == 0x80) {
        volatile LONG& word = heard->keys[channel][data1 / 32];
        const LONG bit = static_cast<LONG>(1u << data1 % 32);
        if (kind == 0x90 && data2 != 0) {
            InterlockedOr(&word, bit);
            return;
        }
        released = true;
        wasHeld = (InterlockedAnd(&word, ~bit) & bit) != 0;
    } else if (kind == 0xB0 && data1 == kSustainPedal) {
        const LONG before = InterlockedExchange(&heard->sustain[channel], data2 >= 64);
        released = data2 < 64;
        wasHeld = before != 0;
    }
    if (released && !wasHeld && GetCurrentThreadId() == port.openerThreadId) {
        Violation(ViolationReleaseOfNoteNotHeld, port.device);
    }
}

void ForgetSounding(int device) {
    Sounding* heard = Of(device);
    if (heard != nullptr) {
        for (auto& channel : heard->keys) {
            for (volatile LONG& word : channel) {
                InterlockedExchange(&word, 0);
            }
        }
        for (volatile LONG& pedal : heard->sustain) {
            InterlockedExchange(&pedal, 0);
        }
    }
}

void RecordNotesLeftSounding() {
    for (int device = -1; device < kMaxDevices; ++device) {
        const Sounding& heard = *Of(device);
        bool any = false;
        for (DWORD channel = 0; channel < kChannels; ++channel) {
            for (DWORD key = 0; key < 128; ++key) {
                if (heard.keys[channel][key / 32] & static_cast<LONG>(1u << key % 32)) {
                    AppendAtExit(EventNoteLeftSounding, device, 0x90 | channel | key << 8);
                    any = true;
                }
            }
            if (heard.sustain[channel] != 0) {
                AppendAtExit(EventNoteLeftSounding, device, 0xB0 | channel | kSustainPedal << 8);
                any = true;
            }
        }
        if (any) {
            AppendAtExit(EventViolation, device, ViolationNoteLeftSounding);
        }
    }
}
