// Held notes under stress: sending threads play notes and sustain pedals without pause, each on
// a channel of its own, through the program's own SendToOutput, and a player plays notes into
// both input devices on a channel of its own, which the program's input forwards, while the
// main thread, the window thread, switches the output and the input each between two devices
// over and over with the program's own OpenMidiOutput and OpenMidiInput, and closes the ports at
// the end with CloseMidiPorts. The virtual driver records every release that reaches a device
// which does not hold that note (released twice, or where the note never went), every word
// forwarded from an input closed by then (under its queued delivery), and, as the process
// ends, every note left sounding.
// Usage: held_notes_stress SECONDS SENDERS.
#include "FakeMidiProtocol.h"
#include "StressSenders.h"

#include <cstdlib>

namespace {

constexpr int kMaxSenders = 15;        // a channel each
constexpr unsigned kInputChannel = 15; // the player's
constexpr int kInputDevices = 2;

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

// Chords of sixteen notes struck and let go in turn, into both inputs at once, at a pace the
// driver's readers keep up with; at every input switch some are on their way.
// Run in the driver's folder.
DWORD WINAPI PlayIntoInputs(void*) {
    HANDLE files[kInputDevices];
    for (int device = 0; device < kInputDevices; ++device) {
        char name[32];
        std::snprintf(name, sizeof name, kInputFilePattern, device);
        files[device] = CreateFileA(name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    DWORD words[32];
    for (unsigned chord = 0; !stopSending.load(std::memory_order_relaxed); ++chord) {
        for (unsigned note = 0; note < 16; ++note) {
            const unsigned key = (chord * 16 + note) % 128;
            words[note] = MakeShortMessage(0x90 | kInputChannel, key, 100);
            words[16 + note] = MakeShortMessage(0x80 | kInputChannel, key, 0);
        }
        for (HANDLE file : files) {
            DWORD written = 0;
            WriteFile(file, words, sizeof words, &written, nullptr);
        }
        Sleep(1); // a player's pace, not a wait: the readers look every millisecond
    }
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
    bridgeSettings.inputDevice = 0;
    OpenMidiInput();
    HANDLE player = CreateThread(nullptr, 0, PlayIntoInputs, nullptr, 0, nullptr);
    HANDLE threads[kMaxSenders];
    StartSenders(threads, senders, PlayWithoutPause, 0);
    long switches = 0;
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < milliseconds;) {
        SwitchOutput(switches);
        bridgeSettings.inputDevice = static_cast<std::int32_t>(switches / 2 & 1);
        OpenMidiInput();
    }
    const unsigned long total = StopSenders(threads, senders, wordsSent);
    WaitForSingleObject(player, INFINITE);
    std::printf("switches %ld sent %lu\n", switches, total);
    return 0;
}
