// The output gate under stress: three threads send without pause while the main thread, the
// window thread, switches the output between two devices over and over with the program's own
// OpenMidiOutput. The virtual driver (QUORVEL_FAKE_MIDI_STRESS) records every send that reaches
// a closed or closing port and every word that does not follow its sender's last one, and the
// total it took.
// Usage: output_gate_stress SECONDS SWITCHES: switches for at least SECONDS and at least SWITCHES
// times, however busy the machine, but for no more than two minutes past SECONDS.
#include "Engine.h"
#include "MidiPorts.h"
#include "OutputGate.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// The gate is built here with one mark of its own, which the first sender claims; the other two
// share the counted mark.
constexpr int kSenders = 3;
// A word's top four bits name its sender, the rest count that sender's sends from 1.
constexpr int kSenderShift = 28;

std::atomic<bool> stopSending{false};
std::atomic<int> sendersRunning{0};
DWORD wordsSent[kSenders + 1];

DWORD WINAPI SendWithoutPause(void* parameter) {
    const auto sender = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(parameter));
    DWORD count = 0;
    sendersRunning.fetch_add(1);
    while (!stopSending.load(std::memory_order_relaxed)) {
        SendToOutput(sender << kSenderShift | ++count);
    }
    wordsSent[sender] = count;
    return 0;
}

} // namespace

// The seams as the program defines them, but that an open failure ends the test.
void SendToOutput(ShortMessage message) {
    SendThroughOutputGate(message);
}

void ReportFailure(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::exit(2);
}

int main(int argc, char** argv) {
    const ULONGLONG end =
        GetTickCount64() + 1000 * std::strtoull(argc > 1 ? argv[1] : "", nullptr, 10);
    const ULONGLONG latest = end + 120'000;
    const long leastSwitches = std::strtol(argc > 2 ? argv[2] : "", nullptr, 10);
    MarkWindowThread();
    bridgeSettings.outputDevice = 0;
    OpenMidiOutput();
    HANDLE senders[kSenders];
    for (int sender = 1; sender <= kSenders; ++sender) {
        senders[sender - 1] = CreateThread(nullptr, 0, SendWithoutPause,
                                           reinterpret_cast<void*>(UINT_PTR(sender)), 0, nullptr);
    }
    while (sendersRunning.load() < kSenders) {
        SwitchToThread();
    }
    long switches = 0;
    for (ULONGLONG now = GetTickCount64(); now < end || (switches < leastSwitches && now < latest);
         now = GetTickCount64()) {
        bridgeSettings.outputDevice = static_cast<std::int32_t>(++switches & 1);
        OpenMidiOutput();
    }
    stopSending.store(true);
    WaitForMultipleObjects(kSenders, senders, TRUE, INFINITE);
    CloseMidiPorts();
    unsigned long total = 0;
    for (DWORD sent : wordsSent) {
        total += sent;
    }
    std::printf("switches %ld sent %lu\n", switches, total);
    return 0;
}
