// The output gate under stress: sending threads send without pause while the main thread, the
// window thread, switches the output between two devices over and over with the program's own
// OpenMidiOutput, and the program's own SendToOutput carries every send. The virtual driver
// (its stress mode) records every send that reaches a closed or closing port and every word that
// does not follow its sender's last one, and the total it took.
// Usage: output_gate_stress SECONDS SENDERS. It switches for SECONDS, and on past them until it
// has made as many switches as its pace in the first two seconds promised for a quarter of that
// time: a switcher that the senders starve fails, a slow machine does not.
#include "FakeMidiProtocol.h"
#include "StressSenders.h"

#include <cstdlib>

namespace {

// A word's top bits name its sender (1 to 15), the rest count that sender's sends from 1.
constexpr int kMaxSenders = (1 << (32 - kStressSenderShift)) - 1;
constexpr ULONGLONG kPaceMilliseconds = 2000;

DWORD wordsSent[kMaxSenders + 1];

DWORD WINAPI SendWithoutPause(void* parameter) {
    const auto sender = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(parameter));
    DWORD count = 0;
    sendersRunning.fetch_add(1);
    while (!stopSending.load(std::memory_order_relaxed)) {
        SendToOutput(sender << kStressSenderShift | ++count);
    }
    wordsSent[sender] = count;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG milliseconds = 1000 * std::strtoull(argc > 1 ? argv[1] : "", nullptr, 10);
    const int senders = std::atoi(argc > 2 ? argv[2] : "");
    if (milliseconds < 2 * kPaceMilliseconds || senders < 1 || senders > kMaxSenders) {
        std::fprintf(stderr, "usage: output_gate_stress SECONDS(4 or more) SENDERS(1-%d)\n",
                     kMaxSenders);
        return 2;
    }
    if (!OpenOutputZero()) {
        return 2;
    }
    HANDLE threads[kMaxSenders];
    StartSenders(threads, senders, SendWithoutPause, 1);
    const ULONGLONG start = GetTickCount64();
    long switches = 0;
    while (GetTickCount64() - start < kPaceMilliseconds) {
        SwitchOutput(switches);
    }
    const auto needed = static_cast<long>(static_cast<ULONGLONG>(switches) *
                                          (milliseconds / kPaceMilliseconds) / 4);
    const ULONGLONG latest = start + 3 * milliseconds;
    for (ULONGLONG now = GetTickCount64();
         now - start < milliseconds || (switches < needed && now < latest);
         now = GetTickCount64()) {
        SwitchOutput(switches);
    }
    const unsigned long total = StopSenders(threads, senders, wordsSent);
    std::printf("switches %ld needed %ld sent %lu\n", switches, needed, total);
    return switches >= needed ? 0 : 1;
}
