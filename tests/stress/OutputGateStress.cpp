// The output gate under stress: one thread sends through the gate without pause while the main
// thread, which owns the port, closes the output and opens the other device, over and over. The
// virtual driver (QUORVEL_FAKE_MIDI_STRESS) records every send that reaches a closed or closing
// port and every word that does not follow the last one, and the total it took.
// Usage: output_gate_stress SECONDS
#include "OutputGate.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<bool> stopSending{false};
std::atomic<bool> sending{false};
DWORD wordsSent = 0;

DWORD WINAPI SendWithoutPause(void*) {
    DWORD word = 0;
    sending.store(true);
    while (!stopSending.load(std::memory_order_relaxed)) {
        SendThroughOutputGate(++word);
    }
    wordsSent = word;
    return 0;
}

void SwitchOutputTo(UINT device) {
    BeginOutputSwitch();
    HMIDIOUT old = TakeOutputPort();
    if (old != nullptr) {
        midiOutClose(old);
    }
    HMIDIOUT opened = nullptr;
    const MMRESULT result = midiOutOpen(&opened, device, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        std::fprintf(stderr, "could not open output %u: %u\n", device, result);
        std::exit(2);
    }
    PlaceOutputPort(opened);
    EndOutputSwitch();
}

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG end =
        GetTickCount64() + 1000 * std::strtoull(argc > 1 ? argv[1] : "", nullptr, 10);
    MarkWindowThread();
    SwitchOutputTo(0);
    HANDLE sender = CreateThread(nullptr, 0, SendWithoutPause, nullptr, 0, nullptr);
    while (!sending.load()) {
        SwitchToThread();
    }
    long switches = 0;
    while (GetTickCount64() < end) {
        SwitchOutputTo(static_cast<UINT>(++switches & 1));
    }
    stopSending.store(true);
    WaitForSingleObject(sender, INFINITE);
    BeginOutputSwitch();
    midiOutClose(TakeOutputPort());
    EndOutputSwitch();
    std::printf("switches %ld sent %lu\n", switches, static_cast<unsigned long>(wordsSent));
    return 0;
}
