// Nanoseconds per input message through the router, beside a forwarder that sends every
// message unchanged with no rules, in the same binary and against the same output sink; and
// the heap allocations the router makes meanwhile, which must be none.
#include "BareForwarder.h"
#include "EngineInternals.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);

namespace {
std::atomic<long> allocations{0};
} // namespace

// Every allocation of the process is counted, the C++ runtime's included.
extern "C" void* malloc(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* block, std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(block, size);
}

namespace {

// Four bars of a groovebox at 120 BPM, as the harness's midi module makes them for both
// benchmarks: clock, drums, a filter sweep, a wheel turn and two status reports per bar.
const std::vector<ShortMessage> realisticStream = {
#include "RealisticStream.inc"
};

template <void (*Route)(std::uint32_t, ShortMessage)>
void StreamThrough(benchmark::State& state) {
    for (auto _ : state) {
        for (ShortMessage message : realisticStream) {
            Route(kMidiInputData, message);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(realisticStream.size()));
}

void RealisticStreamThroughRouter(benchmark::State& state) {
    StreamThrough<RouteMidiEvent>(state);
}
void RealisticStreamThroughBareForwarder(benchmark::State& state) {
    StreamThrough<BareForward>(state);
}

void WorstCaseDataEntryLsb(benchmark::State& state) {
    unsigned value = 0;
    for (auto _ : state) {
        translatorState.synthStatusArmed = true;
        translatorState.drumStatusArmed = true;
        RouteMidiEvent(kMidiInputData, MakeShortMessage(0xB0, 38, value++ & 0x7F));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(RealisticStreamThroughRouter)->Repetitions(15)->ReportAggregatesOnly();
BENCHMARK(RealisticStreamThroughBareForwarder)->Repetitions(15)->ReportAggregatesOnly();
BENCHMARK(WorstCaseDataEntryLsb)->Repetitions(15)->ReportAggregatesOnly();

// Prints nanoseconds per message for each run and, at the end, the router/bare ratio.
class PerMessageReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // Machines here are shared and noisy: the median of the repetitions is the figure.
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const double items = run.counters.at("items_per_second");
                nanosecondsPerMessage[run.run_name.function_name] = 1e9 / items;
            }
        }
    }
    std::map<std::string, double> nanosecondsPerMessage;
};

} // namespace

// The realistic stream and the worst case, a thousand times, with the counter watching.
long AllocationsWhileRouting() {
    const long before = allocations.load();
    for (int round = 0; round < 1000; ++round) {
        for (ShortMessage message : realisticStream) {
            RouteMidiEvent(kMidiInputData, message);
        }
        translatorState.synthStatusArmed = translatorState.drumStatusArmed = true;
        RouteMidiEvent(kMidiInputData, MakeShortMessage(0xB0, 38, 0x55));
    }
    return allocations.load() - before;
}

int main(int argc, char** argv) {
    const long routed = AllocationsWhileRouting();
    const long before = allocations.load();
    void* volatile probe = std::malloc(16); // proves that the counter sees an allocation
    std::free(probe);
    std::printf("heap allocations while routing %zu messages: %ld (the counter saw %ld for one)\n",
                realisticStream.size() * 1000, routed, allocations.load() - before);
    benchmark::Initialize(&argc, argv);
    PerMessageReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& ns = reporter.nanosecondsPerMessage;
    std::printf("\nmessages in the realistic stream: %zu\n", realisticStream.size());
    for (const auto& [name, value] : ns) {
        std::printf("%-40s %8.2f ns/message\n", name.c_str(), value);
    }
    if (ns.count("RealisticStreamThroughRouter") &&
        ns.count("RealisticStreamThroughBareForwarder")) {
        std::printf("router / bare forwarder: %.2fx\n",
                    ns["RealisticStreamThroughRouter"] / ns["RealisticStreamThroughBareForwarder"]);
    }
    benchmark::Shutdown();
    return routed == 0 ? 0 : 1;
}
