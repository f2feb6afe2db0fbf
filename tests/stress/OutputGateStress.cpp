// The output gate under stress: sending threads send without pause while the main thread, the
// window thread, switches the output between two devices over and over with the program's own
// OpenMidiOutput, and the program's own SendToOutput carries every send. The virtual driver
// (its stress mode) records every send that reaches a closed or closing port and every word that
// does not follow its sender's last one, and the total it took.
// Usage: output_gate_stress SECONDS SENDERS. It switches for SECONDS, and on past them until it
// has made as many switches as its pace in the first two seconds promised for a quarter of that
// time: a switcher that the senders starve fails, a slow machine does not. Then, for a third of
// SECONDS, it only takes the port and puts it back, as fast as the gate lets it, and watches for
// a send inside the switch: there a sender that read the switch too early, its mark still
// unseen, is caught, where a driver's close comes too late to catch it.
#include "FakeMidiProtocol.h"
#include "StressSenders.h"

#include <cstdlib>

namespace {

// A word's top bits name its sender (1 to 15), the rest count that sender's sends from 1. The
// senders that come and go share the last number, one at a time.
constexpr int kMaxSenders = (1 << (32 - kStressSenderShift)) - 1;
constexpr DWORD kComingAndGoing = kMaxSenders;
constexpr ULONGLONG kPaceMilliseconds = 2000;

DWORD wordsSent[kMaxSenders + 1];
decltype(winmm.midiOutShortMsg) driverSend;
std::atomic<long> sendsBegun{0};
std::atomic<long> sendsEnded{0};

// Now and then a send takes as long as a busy driver's, so that a switch finds senders inside.
MMRESULT WINAPI SendWatched(HMIDIOUT port, DWORD message) {
    sendsBegun.fetch_add(1);
    if ((message & 0xFFFF) == 0) {
        Sleep(4);
    }
    const MMRESULT result = driverSend(port, message);
    sendsEnded.fetch_add(1);
    return result;
}

// True if a send was inside the switch while it held the port, or began there.
bool SwitchInPlace() {
    BeginOutputSwitch();
    HMIDIOUT port = TakeOutputPort();
    const long begun = sendsBegun.load();
    bool sendInside = sendsEnded.load() != begun;
    for (int look = 0; look < 256 && !sendInside; ++look) {
        sendInside = sendsEnded.load() != begun;
    }
    PlaceOutputPort(port);
    sendInside = sendInside || sendsBegun.load() != begun;
    EndOutputSwitch();
    return sendInside;
}

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

DWORD WINAPI SendALittle(void*) {
    for (int word = 0; word < 256; ++word) {
        SendToOutput(kComingAndGoing << kStressSenderShift | ++wordsSent[kComingAndGoing]);
    }
    return 0;
}

// Senders that send a little and end, one after another, so that marks are claimed and freed,
// and thread ids used again, while the switches go on.
DWORD WINAPI ComeAndGo(void*) {
    while (!stopSending.load(std::memory_order_relaxed)) {
        HANDLE sender = CreateThread(nullptr, 0, SendALittle, nullptr, 0, nullptr);
        WaitForSingleObject(sender, INFINITE);
        CloseHandle(sender);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ULONGLONG milliseconds = 1000 * std::strtoull(argc > 1 ? argv[1] : "", nullptr, 10);
    const int senders = std::atoi(argc > 2 ? argv[2] : "");
    if (milliseconds < 2 * kPaceMilliseconds || senders < 1 || senders >= kMaxSenders) {
        std::fprintf(stderr, "usage: output_gate_stress SECONDS(4 or more) SENDERS(1-%d)\n",
                     kMaxSenders - 1);
        return 2;
    }
    if (!OpenOutputZero()) {
        return 2;
    }
    driverSend = winmm.midiOutShortMsg;
    winmm.midiOutShortMsg = SendWatched;
    HANDLE threads[kMaxSenders];
    StartSenders(threads, senders, SendWithoutPause, 1);
    threads[senders] = CreateThread(nullptr, 0, ComeAndGo, nullptr, 0, nullptr);
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
    long inPlace = 0;
    long sendsInsideSwitch = 0;
    for (const ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < milliseconds / 3;
         ++inPlace) {
        sendsInsideSwitch += SwitchInPlace();
    }
    const unsigned long total = StopSenders(threads, senders + 1, wordsSent);
    std::printf("switches %ld needed %ld sent %lu in-place %ld inside %ld\n", switches, needed,
                total, inPlace, sendsInsideSwitch);
    return switches >= needed && sendsInsideSwitch == 0 ? 0 : 1;
}
