// Stage faults: the faults file, read every 2 ms, unplugs devices and plugs them back, and
// arms stalls of an output's next send or close.
#include "FakeWinmm.h"

#include <cstdio>
#include <cstring>

namespace {

struct FaultScript {
    bool removed[2][kMaxDevices];
};

void PlugOrUnplug(Family& family, int index, bool removed) {
    // Stamped before the handles die: of the words delivered before the stamp, only the last
    // can still meet a dead handle.
    const std::int64_t when = Ticks();
    if (InterlockedExchange(&family.devices[index].removed, removed ? 1 : 0) == (removed ? 1 : 0)) {
        return;
    }
    if (removed) {
        KillOpenPorts(family, index);
    }
    Record(removed ? EventDeviceRemoved : EventDeviceReturned, index, family.way, when);
}

// Reads the whole file; arms the stall lines after the first `stallsArmed`, and returns how
// many stall lines there are.
int ReadFaults(const char* path, int stallsArmed, FaultScript& script) {
    int stallLines = 0;
    std::FILE* faults = std::fopen(path, "r");
    if (faults == nullptr) {
        return stallsArmed;
    }
    char line[128];
    while (std::fgets(line, sizeof line, faults) != nullptr) {
        char way[8], what[8];
        int device = 0;
        long milliseconds = 0;
        if (std::sscanf(line, "remove %7s %d", way, &device) == 2 && device >= 0 &&
            device < kMaxDevices) {
            script.removed[std::strcmp(way, inputs.name) == 0 ? 0 : 1][device] = true;
        } else if (std::sscanf(line, "stall out %d %7s %ld", &device, what, &milliseconds) == 3 &&
                   device >= 0 && device < kMaxDevices && stallLines++ >= stallsArmed) {
            Device& output = outputs.devices[device];
            InterlockedExchange(std::strcmp(what, "send") == 0 ? &output.stallSendMilliseconds
                                                               : &output.stallCloseMilliseconds,
                                static_cast<LONG>(milliseconds));
        }
    }
    std::fclose(faults);
    return stallLines > stallsArmed ? stallLines : stallsArmed;
}

DWORD WINAPI WatchFaults(void*) {
    char path[MAX_PATH];
    PathInFolder(path, kFaultsFile);
    int stallsArmed = 0;
    for (;;) {
        FaultScript script{};
        stallsArmed = ReadFaults(path, stallsArmed, script);
        for (int device = 0; device < kMaxDevices; ++device) {
            PlugOrUnplug(inputs, device, script.removed[0][device]);
            PlugOrUnplug(outputs, device, script.removed[1][device]);
        }
        Sleep(2);
    }
}

} // namespace

void StartFaultWatch() {
    CloseHandle(CreateThread(nullptr, 0, WatchFaults, nullptr, 0, nullptr));
}

void Stall(volatile LONG& armed, int device) {
    const LONG milliseconds = InterlockedExchange(&armed, 0);
    if (milliseconds != 0) {
        Record(EventStallBegan, device, static_cast<std::uint32_t>(milliseconds));
        Sleep(static_cast<DWORD>(milliseconds));
        Record(EventStallEnded, device, static_cast<std::uint32_t>(milliseconds));
    }
}
