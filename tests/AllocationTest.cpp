// The MIDI input path must never touch the heap: count every allocation the process makes
// while a long mixed stream goes through the router.
#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<long> allocations{0};
}

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
extern "C" void free(void* block) {
    __libc_free(block);
}

namespace {

TEST(Allocation, RoutingAMixedStreamAllocatesNothing) {
    ResetEngineForTest();
    const ShortMessage stream[] = {0xFA,
                                   0xF8,
                                   MakeShortMessage(0x90, 60, 100),
                                   CC(7, 100),
                                   CC(99, 0),
                                   CC(98, 119),
                                   CC(98, 120),
                                   CC(6, 3),
                                   CC(38, 0x55),
                                   CC(32, 1),
                                   ProgramChange(3),
                                   CC(32, 0),
                                   ProgramChange(1),
                                   MakeShortMessage(0xE0, 0, 64),
                                   0xFE,
                                   0xFC};
    sentMessages.reserve(16 * 13 * 1000);
    const long before = allocations.load();
    for (int round = 0; round < 1000; ++round) {
        for (ShortMessage message : stream) {
            RouteMidiEvent(kMidiInputData, message);
        }
    }
    const long after = allocations.load();
    EXPECT_EQ(after - before, 0);
    EXPECT_GT(sentMessages.size(), 10000u); // the stream really went through
}

TEST(Allocation, CounterSeesAnAllocation) {
    const long before = allocations.load();
    void* volatile block = std::malloc(16);
    std::free(block);
    EXPECT_EQ(allocations.load() - before, 1);
}

} // namespace
