// Stage faults: the faults file, read every 2 ms, unplugs devices and plugs them (back) in,
// says that devices changed as Windows does, arms stalls of an output's next send, close or
// open, and holds the delivery queue.
#include "FakeWinmm.h"

#include <dbt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Unplug(Family& family, const char* name, bool notice) {
    // Stamped before the handles die: of the words delivered before the stamp, only the last
    // can still meet a dead handle.
    const std::int64_t when = Ticks();
    const int device = UnplugDevice(family, name);
    if (device >= 0) {
        KillOpenPorts(family, device);
        if (&family == &outputs) {
            ForgetSounding(device);
        }
        Record(EventDeviceRemoved, device, family.way, when);
    }
    if (notice) {
        PostDeviceNotice();
    }
}

void Plug(Family& family, const char* name, bool notice, int at) {
    const int device = PlugDevice(family, name, at);
    Record(EventDeviceReturned, device, family.way);
    if (notice) {
        PostDeviceNotice();
    }
}

void Arm(int device, const char* what, long milliseconds) {
    if (device >= 0 && device < kMaxDevices) {
        Device& output = outputs.devices[device];
        volatile LONG& armed = std::strcmp(what, "send") == 0   ? output.stallSendMilliseconds
                               : std::strcmp(what, "open") == 0 ? output.stallOpenMilliseconds
                                                                : output.stallCloseMilliseconds;
        InterlockedExchange(&armed, static_cast<LONG>(milliseconds));
    }
}

void CarryOut(char* line) {
    line[std::strcspn(line, "\r\n")] = '\0';
    char verb[8] = "", way[8] = "", what[8] = "";
    int device = 0;
    long milliseconds = 0;
    int nameAt = 0;
    if (std::sscanf(line, "stall out %d %7s %ld", &device, what, &milliseconds) == 3) {
        Arm(device, what, milliseconds);
    } else if (std::sscanf(line, "hold in %d until %7s", &device, what) == 2) {
        HoldQueue(device, std::strcmp(what, "open") == 0);
    } else if (std::strcmp(line, "notice") == 0) {
        PostDeviceNotice();
    } else if (std::sscanf(line, "wait %ld", &milliseconds) == 1) {
        Sleep(static_cast<DWORD>(milliseconds)); // the platform takes its time: later lines wait
    } else if (std::sscanf(line, "%7s %7s %n", verb, way, &nameAt) == 2 && nameAt > 0) {
        char* name = line + nameAt;
        char* quiet = std::strstr(name, " quiet");
        const bool notice = quiet == nullptr || quiet[6] != '\0';
        if (!notice) {
            *quiet = '\0';
        }
        char* atIndex = std::strstr(name, " at ");
        int at = -1;
        if (atIndex != nullptr) {
            at = std::atoi(atIndex + 4);
            *atIndex = '\0';
        }
        Family& family = std::strcmp(way, inputs.name) == 0 ? inputs : outputs;
        if (std::strcmp(verb, "unplug") == 0) {
            Unplug(family, name, notice);
        } else if (std::strcmp(verb, "plug") == 0) {
            Plug(family, name, notice, at);
        }
    }
}

DWORD WINAPI WatchFaults(void*) {
    char path[MAX_PATH];
    PathInFolder(path, kFaultsFile);
    int done = 0; // lines carried out
    for (;; Sleep(2)) {
        std::FILE* faults = std::fopen(path, "r");
        if (faults == nullptr) {
            continue;
        }
        char line[128];
        for (int number = 0; std::fgets(line, sizeof line, faults) != nullptr; ++number) {
            // Only whole lines: one still being written is read again next time.
            if (number == done && std::strchr(line, '\n') != nullptr) {
                CarryOut(line);
                ++done;
            }
        }
        std::fclose(faults);
    }
}

BOOL CALLBACK PostToOwnWindow(HWND window, LPARAM posted) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() &&
        PostMessageA(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0)) {
        ++*reinterpret_cast<std::uint32_t*>(posted);
    }
    return TRUE;
}

} // namespace

void StartFaultWatch() {
    CloseHandle(CreateThread(nullptr, 0, WatchFaults, nullptr, 0, nullptr));
}

void PostDeviceNotice() {
    std::uint32_t posted = 0;
    EnumWindows(PostToOwnWindow, reinterpret_cast<LPARAM>(&posted));
    Record(EventNotice, -1, posted);
}

void Stall(volatile LONG& armed, int device) {
    const LONG milliseconds = InterlockedExchange(&armed, 0);
    if (milliseconds != 0) {
        Record(EventStallBegan, device, static_cast<std::uint32_t>(milliseconds));
        Sleep(static_cast<DWORD>(milliseconds));
        Record(EventStallEnded, device, static_cast<std::uint32_t>(milliseconds));
    }
}
