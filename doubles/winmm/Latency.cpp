// Latency records: time-stamp counter cycles from just before each input callback to the
// entry of the callback's first send, kept in memory and written in blocks, so that nothing is
// recorded between the two stamps.
#include "FakeWinmm.h"

#include <intrin.h>

namespace {

struct LatencyProbe {
    volatile DWORD deliveringThread;
    std::uint64_t deliveryStamp;
    volatile std::uint64_t firstSendStamp;
    std::uint32_t samples[1024];
    DWORD sampleCount;
    HANDLE file;
    std::uint64_t callbackBoundCycles;
};

LatencyProbe latency{0, 0, 0, {}, 0, INVALID_HANDLE_VALUE, ~std::uint64_t{0}};

std::int64_t MeasureTscFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const std::int64_t ticksBefore = Ticks();
    const std::uint64_t cyclesBefore = __rdtsc();
    Sleep(50);
    const std::uint64_t cycles = __rdtsc() - cyclesBefore;
    const std::int64_t ticks = Ticks() - ticksBefore;
    return static_cast<std::int64_t>(static_cast<double>(cycles) *
                                     static_cast<double>(frequency.QuadPart) /
                                     static_cast<double>(ticks));
}

} // namespace

void OpenLatencyLog() {
    char path[MAX_PATH];
    PathInFolder(path, kLatencyFile);
    latency.file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::int64_t tscFrequency = MeasureTscFrequency();
    Record(EventTscFrequency, -1, 0, tscFrequency);
    latency.callbackBoundCycles =
        static_cast<std::uint64_t>(tscFrequency) / 1000 * kCallbackBoundMilliseconds;
}

std::uint64_t CallbackBoundCycles() {
    return latency.callbackBoundCycles;
}

std::uint64_t StampDelivery() {
    latency.deliveringThread = GetCurrentThreadId();
    latency.firstSendStamp = 0;
    latency.deliveryStamp = __rdtsc();
    return latency.deliveryStamp;
}

void StampSend(std::uint64_t entered) {
    if (latency.firstSendStamp == 0 && GetCurrentThreadId() == latency.deliveringThread) {
        latency.firstSendStamp = entered;
    }
}

void KeepLatency() {
    const std::uint64_t sent = latency.firstSendStamp;
    if (sent == 0) {
        return; // the message was dropped
    }
    latency.samples[latency.sampleCount++] =
        static_cast<std::uint32_t>(sent - latency.deliveryStamp);
    if (latency.sampleCount == sizeof latency.samples / sizeof latency.samples[0]) {
        FlushLatency();
    }
}

void FlushLatency() {
    DWORD written = 0;
    if (latency.sampleCount != 0 && latency.file != INVALID_HANDLE_VALUE) {
        WriteFile(latency.file, latency.samples, latency.sampleCount * sizeof latency.samples[0],
                  &written, nullptr);
    }
    latency.sampleCount = 0;
}
