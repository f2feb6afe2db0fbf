// Held notes under stress: sending threads play notes and sustain pedals without pause, each on
// a channel of its own, through the program's own SendToOutput, while the main thread, the
// window thread, switches the output between two devices over and over with the program's own
// OpenMidiOutput, and closes the ports at the end with CloseMidiPorts. The virtual driver
// records every release that reaches a device which does not hold that note (released twice,
// or where the note never went) and, as the process ends, every note left sounding.
// Usage: held_notes_stress SECONDS SENDERS.
#include "StressSenders.h"

#include <cstdlib>

namespace {

constexpr int kMaxSenders = 16; // a channel each

DWORD wordsSent[kMaxSenders];

// A note struck and let go, a key further each time; every fifth note under the pedal, and
// every other Note Off as a Note On with velocity 0.
DWORD WINAPI PlayWithoutPause(void* parameter) {
    const auto channel = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(parameter));
    DWORD count = 0;
    sendersRunning.fetch_add(1);
    for (unsigned note = 0; !stopSending.load(std::memory_order_relaxed); ++note) {
        const unsigned key = note % 128;
        const bool pedalled = note % 5 == 0;
        if (pedalled) {
            SendToOutput(MakeShortMessage(0xB0 | channel, 64, 127));
        }
        SendToOutput(MakeShortMessage(0x90 | channel, key, 100));
        SendToOutput(note & 1 ? MakeShortMessage(0x80 | channel, key, 40)
                              : MakeShortMessage(0x90 | channel, key, 0));
        if (pedalled) {
            SendToOutput(MakeShortMessage(0xB0 | channel, 64, 0));
        }
        count += pedalled ? 4 : 2;
    }
    wordsSent[channel] = count;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG milliseconds = 1000 * std::strtoull(argc > 1 ? argv[1] : "", nullptr, 10);
    const int senders = std::atoi(argc > 2 ? argv[2] : "");
    if (milliseconds == 0 || senders < 1 || senders > kMaxSenders) {
        std::fprintf(stderr, "usage: held_notes_stress SECONDS SENDERS(1-%d)\n", kMaxSenders);
        return 2;
    }
    if (!OpenOutputZero()) {
        return 2;
    }
    HANDLE threads[kMaxSenders];
    StartSenders(threads, senders, PlayWithoutPause, 0);
    long switches = 0;
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < milliseconds;) {
        SwitchOutput(switches);
    }
    const unsigned long total = StopSenders(threads, senders, wordsSent);
    std::printf("switches %ld sent %lu\n", switches, total);
    return 0;
}
