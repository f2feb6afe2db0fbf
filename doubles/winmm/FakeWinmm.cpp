// A virtual MIDI driver for the end-to-end tests: a winmm.dll that Wine loads in place of its
// own. Its devices are listed in "devices.txt" in the folder named by QUORVEL_FAKE_MIDI_DIR;
// the harness injects input by appending 32-bit words to "input-<device>.bin", and every
// driver event (opens, closes, deliveries, sends, contract violations) is appended to
// "events.bin" as a FakeMidiEvent record.
#define _WINMM_
#include <windows.h>

#include <mmsystem.h>

#include "FakeWinmm.h"

#include <intrin.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxDevices = 16;
constexpr int kMaxPorts = 4096;
// A handle is its kind's base, the slot's generation and the slot: a slot is used again after
// its port is closed, and a send on the old handle still shows as a send on a closed port.
constexpr UINT_PTR kSlotBits = 12;
constexpr UINT_PTR kGenerationMask = 0xFFFF;
constexpr UINT_PTR kInputHandleBase = 0x10000000;
constexpr UINT_PTR kOutputHandleBase = 0x20000000;
static_assert(kMaxPorts == 1 << kSlotBits);

struct Device {
    char name[MAXPNAMELEN];
    bool busy; // held by another program: every open fails with MMSYSERR_ALLOCATED
    // Unplugged ("remove" in faults.txt): its open handles are dead for good, as on Windows
    // 10, and opening it fails until it is plugged back at the same index.
    volatile LONG removed;
    // Armed by a "stall" line: the next send to, or close of, this output takes so long.
    volatile LONG stallSendMilliseconds;
    volatile LONG stallCloseMilliseconds;
};

struct Driver {
    char folder[MAX_PATH];
    Device inputs[kMaxDevices];
    int inputCount;
    Device outputs[kMaxDevices];
    int outputCount;
    HANDLE events;
    bool recordMessages; // deliveries and sends; the latency benchmark turns them off
    // The output gate's stress test: no per-port records and no hold in a close, and every
    // send must carry the word after the previous send's.
    bool stress;
    // A callback that runs longer than this is waiting for something it must not wait for,
    // such as a message box that waits for the user.
    std::uint64_t callbackBoundCycles;
    CRITICAL_SECTION eventLock;
    CRITICAL_SECTION portLock; // opens and closes
};

enum PortState : LONG { PortUnused, PortOpen, PortClosed };

using MidiInputCallback = void(CALLBACK*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

struct InputPort {
    volatile LONG state;
    LONG generation;
    volatile LONG dead; // its device was removed while it was open
    int device;
    MidiInputCallback callback;
    DWORD_PTR instance;
    volatile LONG started;
    volatile LONG closing;
    HANDLE thread;
    DWORD threadId;
    HANDLE file;
    DWORD startTime;
    CRITICAL_SECTION deliveryLock; // held around every callback; stop takes it
};

struct OutputPort {
    volatile LONG state;
    volatile LONG generation;
    volatile LONG dead;
    int device;
    volatile LONG sending;
    volatile LONG closing;
};

Driver driver;
INIT_ONCE driverOnce = INIT_ONCE_STATIC_INIT;
InputPort inputPorts[kMaxPorts];
OutputPort outputPorts[kMaxPorts];
LONG inputPortCount;
LONG outputPortCount;
volatile LONG callbacksRunning;
volatile LONG sendCount;
// The stress test's words: the top four bits name the sending thread, the rest count its sends.
constexpr int kStressSenderShift = 28;
constexpr DWORD kStressCountMask = (1u << kStressSenderShift) - 1;
volatile LONG lastSentWords[1 << (32 - kStressSenderShift)];

// Latency stamps: written by the delivery thread around its callback, and by a send that the
// callback makes on that thread.
struct LatencyProbe {
    volatile DWORD deliveringThread;
    std::uint64_t deliveryStamp;
    volatile std::uint64_t firstSendStamp;
    std::uint32_t samples[1024];
    DWORD sampleCount;
    HANDLE file;
};
LatencyProbe latency;

std::int64_t Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void Record(FakeMidiEventKind kind, int device, std::uint32_t word, std::int64_t ticks = 0) {
    if (driver.events == INVALID_HANDLE_VALUE) {
        return;
    }
    FakeMidiEvent event{kind, device, word, GetCurrentThreadId(), ticks != 0 ? ticks : Ticks()};
    EnterCriticalSection(&driver.eventLock);
    DWORD written = 0;
    WriteFile(driver.events, &event, sizeof event, &written, nullptr);
    LeaveCriticalSection(&driver.eventLock);
}

void Violation(FakeMidiViolation violation, int device) {
    Record(EventViolation, device, violation);
}

void PathInFolder(char* path, const char* name) {
    std::snprintf(path, MAX_PATH, "%s\\%s", driver.folder, name);
}

void ReadDevices() {
    char path[MAX_PATH];
    PathInFolder(path, "devices.txt");
    std::FILE* list = std::fopen(path, "r");
    if (list == nullptr) {
        return;
    }
    char line[128];
    while (std::fgets(line, sizeof line, list) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        char* name = std::strchr(line, ' ');
        if (name == nullptr) {
            continue;
        }
        *name++ = '\0';
        const bool input = std::strncmp(line, "in", 2) == 0;
        Device* devices = input ? driver.inputs : driver.outputs;
        int& count = input ? driver.inputCount : driver.outputCount;
        if (count == kMaxDevices) {
            continue;
        }
        Device& device = devices[count++];
        std::snprintf(device.name, sizeof device.name, "%s", name);
        device.busy = std::strstr(line, "-busy") != nullptr;
    }
    std::fclose(list);
}

// way: 0 for an input device, 1 for an output, as the event records it.
template <typename Port>
void PlugOrUnplug(Device& device, bool removed, Port* ports, LONG portCount, int index, int way) {
    // Stamped before the handles die: of the words delivered before the stamp, only the last
    // can still meet a dead handle.
    const std::int64_t when = Ticks();
    if (InterlockedExchange(&device.removed, removed ? 1 : 0) == (removed ? 1 : 0)) {
        return;
    }
    EnterCriticalSection(&driver.portLock);
    for (LONG i = 0; removed && i < portCount; ++i) {
        if (ports[i].state == PortOpen && ports[i].device == index) {
            InterlockedExchange(&ports[i].dead, 1);
        }
    }
    LeaveCriticalSection(&driver.portLock);
    Record(removed ? EventDeviceRemoved : EventDeviceReturned, index, static_cast<DWORD>(way),
           when);
}

// "faults.txt" in the driver's folder, read every few milliseconds, holds the stage faults:
//   remove in|out N           device N is unplugged while the line is there
//   stall out N send|close MS the next send to, or close of, output N takes MS milliseconds
// Lines are only ever appended; each stall line is armed once.
DWORD WINAPI WatchFaults(void*) {
    char path[MAX_PATH];
    PathInFolder(path, "faults.txt");
    int stallsArmed = 0;
    for (;;) {
        bool removed[2][kMaxDevices] = {};
        int stallLine = 0;
        if (std::FILE* faults = std::fopen(path, "r")) {
            char kind[8], way[8], what[8];
            int device = 0;
            long milliseconds = 0;
            char line[128];
            while (std::fgets(line, sizeof line, faults) != nullptr) {
                if (std::sscanf(line, "remove %7s %d", way, &device) == 2 && device >= 0 &&
                    device < kMaxDevices) {
                    removed[std::strcmp(way, "in") == 0 ? 0 : 1][device] = true;
                } else if (std::sscanf(line, "stall %7s %d %7s %ld", kind, &device, what,
                                       &milliseconds) == 4 &&
                           device >= 0 && device < kMaxDevices && stallLine++ == stallsArmed) {
                    Device& output = driver.outputs[device];
                    InterlockedExchange(std::strcmp(what, "send") == 0
                                            ? &output.stallSendMilliseconds
                                            : &output.stallCloseMilliseconds,
                                        static_cast<LONG>(milliseconds));
                    ++stallsArmed;
                }
            }
            std::fclose(faults);
        }
        for (int device = 0; device < kMaxDevices; ++device) {
            PlugOrUnplug(driver.inputs[device], removed[0][device], inputPorts, inputPortCount,
                         device, 0);
            PlugOrUnplug(driver.outputs[device], removed[1][device], outputPorts, outputPortCount,
                         device, 1);
        }
        Sleep(2);
    }
}

BOOL CALLBACK StartDriver(INIT_ONCE*, void*, void**) {
    InitializeCriticalSection(&driver.eventLock);
    InitializeCriticalSection(&driver.portLock);
    driver.events = INVALID_HANDLE_VALUE;
    latency.file = INVALID_HANDLE_VALUE;
    const DWORD length = GetEnvironmentVariableA("QUORVEL_FAKE_MIDI_DIR", driver.folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return TRUE; // no folder: no devices, nothing recorded
    }
    ReadDevices();
    driver.recordMessages = GetEnvironmentVariableA("QUORVEL_FAKE_MIDI_QUIET", nullptr, 0) == 0;
    driver.stress = GetEnvironmentVariableA("QUORVEL_FAKE_MIDI_STRESS", nullptr, 0) != 0;
    if (!driver.stress) {
        CloseHandle(CreateThread(nullptr, 0, WatchFaults, nullptr, 0, nullptr));
    }
    char path[MAX_PATH];
    PathInFolder(path, "events.bin");
    driver.events = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    Record(EventClockFrequency, -1, GetCurrentProcessId(), frequency.QuadPart);
    PathInFolder(path, "latency.bin");
    latency.file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::int64_t ticksBefore = Ticks();
    const std::uint64_t cyclesBefore = __rdtsc();
    Sleep(50);
    const std::uint64_t cycles = __rdtsc() - cyclesBefore;
    const std::int64_t ticks = Ticks() - ticksBefore;
    const auto tscFrequency = static_cast<std::int64_t>(static_cast<double>(cycles) *
                                                        static_cast<double>(frequency.QuadPart) /
                                                        static_cast<double>(ticks));
    Record(EventTscFrequency, -1, 0, tscFrequency);
    char bound[16] = "100";
    GetEnvironmentVariableA("QUORVEL_FAKE_MIDI_CALLBACK_BOUND_MS", bound, sizeof bound);
    driver.callbackBoundCycles =
        static_cast<std::uint64_t>(tscFrequency) / 1000 * std::strtoull(bound, nullptr, 10);
    return TRUE;
}

void EnsureDriver() {
    InitOnceExecuteOnce(&driverOnce, StartDriver, nullptr, nullptr);
}

// The slot a handle names, whatever its state; records a handle this driver never gave out.
template <typename Port>
Port* SlotOf(Port* ports, const volatile LONG& portCount, UINT_PTR handleBase, void* handle) {
    const UINT_PTR value = reinterpret_cast<UINT_PTR>(handle);
    const UINT_PTR slot = value & (kMaxPorts - 1);
    if ((value & ~((kGenerationMask << kSlotBits) | (kMaxPorts - 1))) != handleBase ||
        slot >= static_cast<UINT_PTR>(portCount)) {
        Violation(ViolationUnknownHandle, -1);
        return nullptr;
    }
    return &ports[slot];
}

template <typename Port>
bool HandleIsOpen(const Port& port, void* handle) {
    const UINT_PTR generation = reinterpret_cast<UINT_PTR>(handle) >> kSlotBits & kGenerationMask;
    return port.state == PortOpen &&
           (static_cast<UINT_PTR>(port.generation) & kGenerationMask) == generation;
}

template <typename Port>
Port* FindPort(Port* ports, const volatile LONG& portCount, UINT_PTR handleBase, void* handle) {
    Port* port = SlotOf(ports, portCount, handleBase, handle);
    if (port != nullptr && !HandleIsOpen(*port, handle)) {
        Violation(ViolationClosedHandle, port->device);
        return nullptr;
    }
    return port;
}

template <typename Handle, typename Port>
Handle HandleOf(const Port* ports, UINT_PTR handleBase, const Port& port) {
    const auto slot = static_cast<UINT_PTR>(&port - ports);
    const auto generation = static_cast<UINT_PTR>(port.generation) & kGenerationMask;
    return reinterpret_cast<Handle>(handleBase | generation << kSlotBits | slot);
}

InputPort* FindInput(HMIDIIN handle) {
    return FindPort(inputPorts, inputPortCount, kInputHandleBase, handle);
}

OutputPort* FindOutput(HMIDIOUT handle) {
    return FindPort(outputPorts, outputPortCount, kOutputHandleBase, handle);
}

HMIDIIN InputHandle(const InputPort* port) {
    return HandleOf<HMIDIIN>(inputPorts, kInputHandleBase, *port);
}

void Deliver(InputPort& port, UINT kind, DWORD_PTR param1, DWORD_PTR param2) {
    if (InterlockedIncrement(&callbacksRunning) > 1) {
        Violation(ViolationConcurrentCallbacks, port.device);
    }
    latency.firstSendStamp = 0;
    latency.deliveryStamp = __rdtsc();
    port.callback(InputHandle(&port), kind, port.instance, param1, param2);
    if (__rdtsc() - latency.deliveryStamp > driver.callbackBoundCycles) {
        Violation(ViolationSlowCallback, port.device);
    }
    InterlockedDecrement(&callbacksRunning);
}

void FlushLatency() {
    DWORD written = 0;
    if (latency.sampleCount != 0 && latency.file != INVALID_HANDLE_VALUE) {
        WriteFile(latency.file, latency.samples, latency.sampleCount * sizeof latency.samples[0],
                  &written, nullptr);
    }
    latency.sampleCount = 0;
}

// After the callback has returned, so that no recording falls between the two stamps.
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

// The driver's delivery thread: polls the device's input file and hands each word to the
// callback, one at a time and in order, while the port is started.
DWORD WINAPI DeliveryThread(void* parameter) {
    InputPort& port = *static_cast<InputPort*>(parameter);
    static_assert(sizeof(DWORD) == 4);
    DWORD words[1024];
    DWORD carried = 0; // bytes of a word whose rest has not been written yet
    unsigned char partial[4];
    latency.deliveringThread = GetCurrentThreadId();
    while (port.closing == 0) {
        if (port.started == 0 || port.file == INVALID_HANDLE_VALUE) {
            Sleep(1);
            continue;
        }
        unsigned char bytes[sizeof words];
        std::memcpy(bytes, partial, carried);
        DWORD read = 0;
        ReadFile(port.file, bytes + carried, sizeof bytes - carried, &read, nullptr);
        const DWORD total = carried + read;
        const DWORD wordCount = total / 4;
        carried = total % 4;
        std::memcpy(partial, bytes + wordCount * 4, carried);
        if (wordCount == 0) {
            FlushLatency();
            Sleep(1);
            continue;
        }
        std::memcpy(words, bytes, wordCount * 4);
        for (DWORD i = 0; i < wordCount; ++i) {
            EnterCriticalSection(&port.deliveryLock);
            if (port.started == 0) {
                LeaveCriticalSection(&port.deliveryLock);
                break; // input that arrives while stopped is lost, as on a real port
            }
            if (port.dead != 0) {
                LeaveCriticalSection(&port.deliveryLock);
                continue; // and so is what is played into a pulled cable
            }
            if (driver.recordMessages) {
                Record(EventDelivered, port.device, words[i]);
            }
            Deliver(port, MIM_DATA, words[i], GetTickCount() - port.startTime);
            LeaveCriticalSection(&port.deliveryLock);
            KeepLatency();
        }
    }
    return 0;
}

bool CalledFromCallback(const InputPort& port) {
    return GetCurrentThreadId() == port.threadId;
}

void StopInput(InputPort& port) {
    EnterCriticalSection(&port.deliveryLock);
    port.started = 0;
    LeaveCriticalSection(&port.deliveryLock);
}

// This driver's devices take one client at a time, this process included.
template <typename Port>
bool DeviceOpen(const Port* ports, LONG portCount, int device) {
    for (LONG i = 0; i < portCount; ++i) {
        if (ports[i].state == PortOpen && ports[i].device == device) {
            return true;
        }
    }
    return false;
}

// The end of every failed open: the platform hands back no handle.
template <typename Handle>
MMRESULT FailOpen(Handle* handle, FakeMidiEventKind kind, int device, MMRESULT result) {
    LeaveCriticalSection(&driver.portLock);
    if (handle != nullptr) {
        *handle = nullptr;
    }
    Record(kind, device, result);
    return result;
}

// Keeps this send's word as its sender's last: each sender's count goes up by one per send.
bool FollowsItsSendersLast(DWORD message) {
    volatile LONG& last = lastSentWords[message >> kStressSenderShift];
    const auto before = static_cast<DWORD>(InterlockedExchange(&last, static_cast<LONG>(message)));
    return (message & kStressCountMask) == (before & kStressCountMask) + 1;
}

// A driver that stalls: takes an armed stall once, and records how long it held the caller.
void Stall(volatile LONG& armed, int device) {
    const LONG milliseconds = InterlockedExchange(&armed, 0);
    if (milliseconds != 0) {
        Record(EventStallBegan, device, static_cast<std::uint32_t>(milliseconds));
        Sleep(static_cast<DWORD>(milliseconds));
        Record(EventStallEnded, device, static_cast<std::uint32_t>(milliseconds));
    }
}

void WaitMicroseconds(std::int64_t microseconds, volatile LONG* watch, int device) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const std::int64_t end = Ticks() + frequency.QuadPart * microseconds / 1000000;
    while (Ticks() < end) {
        if (*watch != 0) {
            Violation(ViolationSendDuringClose, device);
            return;
        }
    }
}

} // namespace

extern "C" {

UINT WINAPI midiInGetNumDevs() {
    EnsureDriver();
    return static_cast<UINT>(driver.inputCount);
}

UINT WINAPI midiOutGetNumDevs() {
    EnsureDriver();
    return static_cast<UINT>(driver.outputCount);
}

MMRESULT WINAPI midiInGetDevCapsA(UINT_PTR deviceId, LPMIDIINCAPSA caps, UINT size) {
    EnsureDriver();
    if (deviceId >= static_cast<UINT_PTR>(driver.inputCount)) {
        return MMSYSERR_BADDEVICEID;
    }
    if (caps == nullptr || size < sizeof(MIDIINCAPSA)) {
        return MMSYSERR_INVALPARAM;
    }
    std::memset(caps, 0, sizeof *caps);
    caps->wMid = 0xFFFF; // no registered manufacturer
    caps->vDriverVersion = 0x0100;
    std::memcpy(caps->szPname, driver.inputs[deviceId].name, MAXPNAMELEN);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutGetDevCapsA(UINT_PTR deviceId, LPMIDIOUTCAPSA caps, UINT size) {
    EnsureDriver();
    if (deviceId >= static_cast<UINT_PTR>(driver.outputCount)) {
        return MMSYSERR_BADDEVICEID;
    }
    if (caps == nullptr || size < sizeof(MIDIOUTCAPSA)) {
        return MMSYSERR_INVALPARAM;
    }
    std::memset(caps, 0, sizeof *caps);
    caps->wMid = 0xFFFF; // no registered manufacturer
    caps->vDriverVersion = 0x0100;
    caps->wTechnology = MOD_MIDIPORT;
    caps->wChannelMask = 0xFFFF;
    std::memcpy(caps->szPname, driver.outputs[deviceId].name, MAXPNAMELEN);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance,
                           DWORD flags) {
    EnsureDriver();
    const int device = static_cast<int>(deviceId);
    MMRESULT result = MMSYSERR_NOERROR;
    EnterCriticalSection(&driver.portLock);
    if (handle == nullptr || (flags & CALLBACK_TYPEMASK) != CALLBACK_FUNCTION || callback == 0) {
        result = MMSYSERR_INVALPARAM;
    } else if (deviceId >= static_cast<UINT>(driver.inputCount)) {
        result = MMSYSERR_BADDEVICEID;
    } else if (driver.inputs[deviceId].removed != 0) {
        result = MMSYSERR_NODRIVER; // what an absent device gives
    } else if (driver.inputs[deviceId].busy || DeviceOpen(inputPorts, inputPortCount, device)) {
        result = MMSYSERR_ALLOCATED;
    } else if (inputPortCount == kMaxPorts) {
        result = MMSYSERR_NOMEM;
    }
    if (result != MMSYSERR_NOERROR) {
        return FailOpen(handle, EventInputOpenFailed, device, result);
    }
    InputPort& port = inputPorts[inputPortCount];
    port.device = device;
    port.callback = reinterpret_cast<MidiInputCallback>(callback);
    port.instance = instance;
    port.dead = 0;
    port.started = 0;
    port.closing = 0;
    port.file = INVALID_HANDLE_VALUE;
    InitializeCriticalSection(&port.deliveryLock);
    port.state = PortOpen;
    InterlockedIncrement(&inputPortCount);
    LeaveCriticalSection(&driver.portLock);

    *handle = InputHandle(&port);
    Record(EventInputOpened, device, 0);
    Record(EventCallbackOpen, device, MIM_OPEN);
    Deliver(port, MIM_OPEN, 0, 0);
    port.thread = CreateThread(nullptr, 0, DeliveryThread, &port, 0, &port.threadId);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStart(HMIDIIN handle) {
    EnsureDriver();
    InputPort* port = FindInput(handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (port->dead != 0) {
        return MMSYSERR_NODRIVER;
    }
    if (port->file == INVALID_HANDLE_VALUE) {
        char name[32];
        char path[MAX_PATH];
        std::snprintf(name, sizeof name, "input-%d.bin", port->device);
        PathInFolder(path, name);
        port->file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        // Only what is played after the start reaches the program.
        SetFilePointer(port->file, 0, nullptr, FILE_END);
    }
    port->startTime = GetTickCount();
    port->started = 1;
    Record(EventInputStarted, port->device, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInStop(HMIDIIN handle) {
    EnsureDriver();
    InputPort* port = FindInput(handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (port->dead != 0) {
        return MMSYSERR_NODRIVER;
    }
    if (CalledFromCallback(*port)) {
        Violation(ViolationInputCallFromCallback, port->device);
    }
    StopInput(*port);
    Record(EventInputStopped, port->device, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInClose(HMIDIIN handle) {
    EnsureDriver();
    InputPort* port = FindInput(handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (CalledFromCallback(*port)) {
        Violation(ViolationInputCallFromCallback, port->device);
        return MMSYSERR_ERROR;
    }
    StopInput(*port);
    port->closing = 1;
    WaitForSingleObject(port->thread, INFINITE);
    CloseHandle(port->thread);
    if (port->file != INVALID_HANDLE_VALUE) {
        CloseHandle(port->file);
    }
    Record(EventCallbackClose, port->device, MIM_CLOSE);
    Deliver(*port, MIM_CLOSE, 0, 0);
    EnterCriticalSection(&driver.portLock);
    port->state = PortClosed;
    LeaveCriticalSection(&driver.portLock);
    Record(EventInputClosed, port->device, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutOpen(LPHMIDIOUT handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR,
                            DWORD flags) {
    EnsureDriver();
    // The mapper stands in for the default device; it exists while any output exists.
    const int device = deviceId == MIDI_MAPPER ? -1 : static_cast<int>(deviceId);
    MMRESULT result = MMSYSERR_NOERROR;
    EnterCriticalSection(&driver.portLock);
    if (handle == nullptr || (flags & CALLBACK_TYPEMASK) != CALLBACK_NULL || callback != 0) {
        result = MMSYSERR_INVALPARAM;
    } else if (device == -1 ? driver.outputCount == 0
                            : deviceId >= static_cast<UINT>(driver.outputCount)) {
        result = MMSYSERR_BADDEVICEID;
    } else if (device >= 0 && driver.outputs[device].removed != 0) {
        result = MMSYSERR_NODRIVER;
    } else if ((device >= 0 && driver.outputs[device].busy) ||
               DeviceOpen(outputPorts, outputPortCount, device)) {
        result = MMSYSERR_ALLOCATED;
    }
    LONG slot = 0;
    while (slot < outputPortCount && outputPorts[slot].state == PortOpen) {
        ++slot;
    }
    if (result == MMSYSERR_NOERROR && slot == kMaxPorts) {
        result = MMSYSERR_NOMEM;
    }
    if (result != MMSYSERR_NOERROR) {
        return FailOpen(handle, EventOutputOpenFailed, device, result);
    }
    // A send still on its way to this slot's previous port must see that port closed: the new
    // generation is in place before the slot opens again, and `sending` is left as it is.
    OutputPort& port = outputPorts[slot];
    InterlockedIncrement(&port.generation);
    port.device = device;
    port.dead = 0;
    port.closing = 0;
    InterlockedExchange(&port.state, PortOpen);
    if (slot == outputPortCount) {
        InterlockedIncrement(&outputPortCount);
    }
    LeaveCriticalSection(&driver.portLock);
    *handle = HandleOf<HMIDIOUT>(outputPorts, kOutputHandleBase, port);
    if (!driver.stress) {
        Record(EventOutputOpened, device, 0);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiOutShortMsg(HMIDIOUT handle, DWORD message) {
    const std::uint64_t entered = __rdtsc();
    if (latency.firstSendStamp == 0 && GetCurrentThreadId() == latency.deliveringThread) {
        latency.firstSendStamp = entered;
    }
    EnsureDriver();
    OutputPort* port = SlotOf(outputPorts, outputPortCount, kOutputHandleBase, handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    // In the slot before anything is checked: a close that begins after this sees the send,
    // and one that began before is seen here, as `closing` or as a new generation.
    InterlockedIncrement(&port->sending);
    MMRESULT result = MMSYSERR_NOERROR;
    if (!HandleIsOpen(*port, handle)) {
        Violation(ViolationClosedHandle, port->device);
        result = MMSYSERR_INVALHANDLE;
    } else if (port->closing != 0) {
        Violation(ViolationSendDuringClose, port->device);
    } else if (port->dead != 0) {
        result = MMSYSERR_NODRIVER;
    } else if (port->device >= 0) {
        Stall(driver.outputs[port->device].stallSendMilliseconds, port->device);
    }
    if (result == MMSYSERR_NOERROR) {
        InterlockedIncrement(&sendCount);
        if (driver.stress && !FollowsItsSendersLast(message)) {
            Violation(ViolationOutOfSequence, port->device);
        }
        if (driver.recordMessages) {
            Record(EventSent, port->device, message);
        }
    }
    InterlockedDecrement(&port->sending);
    return result;
}

MMRESULT WINAPI midiOutClose(HMIDIOUT handle) {
    EnsureDriver();
    OutputPort* port = FindOutput(handle);
    if (port == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    InterlockedExchange(&port->closing, 1);
    if (port->device >= 0) {
        Stall(driver.outputs[port->device].stallCloseMilliseconds, port->device);
    }
    if (port->sending != 0) {
        Violation(ViolationSendDuringClose, port->device);
    } else {
        // Hold the close open for a moment, so that a send racing it is caught.
        WaitMicroseconds(driver.stress ? 0 : 200, &port->sending, port->device);
    }
    EnterCriticalSection(&driver.portLock);
    InterlockedExchange(&port->state, PortClosed);
    LeaveCriticalSection(&driver.portLock);
    if (!driver.stress) {
        Record(EventOutputClosed, port->device, 0);
    }
    return MMSYSERR_NOERROR;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    // Without the event lock: the process is ending, and a thread that held it may be gone.
    if (reason == DLL_PROCESS_DETACH && driver.events != nullptr &&
        driver.events != INVALID_HANDLE_VALUE) {
        FakeMidiEvent total{EventSendTotal, -1, static_cast<std::uint32_t>(sendCount),
                            GetCurrentThreadId(), Ticks()};
        DWORD written = 0;
        WriteFile(driver.events, &total, sizeof total, &written, nullptr);
    }
    return TRUE;
}

} // extern "C"
