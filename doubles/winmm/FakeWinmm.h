// The virtual MIDI driver's own records and each file's functions. The driver is a winmm.dll
// that the harness installs as the system's own in the build's Wine prefix, where Wine prefers
// it to its own; FakeMidiProtocol.h is what it shares with the harness.
#pragma once

#define _WINMM_
#include <windows.h>

#include <mmsystem.h>

#include "FakeMidiProtocol.h"

#include <cstdint>

constexpr int kMaxDevices = 16;
constexpr int kMaxPorts = 4096;

using MidiInputCallback = void(CALLBACK*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

struct Device {
    char name[MAXPNAMELEN];
    bool busy; // held by another program: every open fails with MMSYSERR_ALLOCATED
    // Unplugged: its open handles are dead for good, and opening it fails until it is back.
    volatile LONG removed;
    // Armed by a stall line (outputs only): the next send to, or close of, it takes so long.
    volatile LONG stallSendMilliseconds;
    volatile LONG stallCloseMilliseconds;
    volatile LONG stallOpenMilliseconds;
};

enum PortState : LONG { PortUnused, PortOpening, PortOpen, PortClosed };

// One open (or once open) port. A slot is used again after its port is closed, under a new
// generation, so a call on the old handle still shows as a call on a closed port.
struct Port {
    volatile LONG state;
    volatile LONG generation;
    volatile LONG dead; // its device was removed while it was open
    int device;         // device number; -1 for the output mapper
    volatile LONG closing;
    // An input port's
    MidiInputCallback callback;
    DWORD_PTR instance;
    volatile LONG started;
    HANDLE thread;
    DWORD threadId;
    HANDLE file;
    DWORD startTime;
    CRITICAL_SECTION deliveryLock; // held around every callback; a stop takes it
    // An output port's
    volatile LONG sending;
    DWORD openerThreadId; // the program's own thread, not a delivery thread
};

// The input devices and ports, or the output ones.
struct Family {
    const char* name;  // "in" or "out", as devices.txt and faults.txt write it
    std::uint32_t way; // 0 or 1, as EventDeviceRemoved records it
    UINT_PTR handleBase;
    FakeMidiEventKind openedEvent;
    FakeMidiEventKind openFailedEvent;
    FakeMidiEventKind closedEvent;
    Device devices[kMaxDevices]; // by device number
    int deviceCount;
    int listed[kMaxDevices]; // the platform's list: device numbers in index order
    int listedCount;
    Port ports[kMaxPorts];
    volatile LONG portCount; // slots ever used
};

struct Options {
    char folder[MAX_PATH]; // empty: no devices, nothing recorded
    bool recordMessages;   // deliveries, sends and latency
    bool stress;
    bool renumbered;       // the lists follow the devices; otherwise they are frozen at start
    MMRESULT probeFailure; // what probes of live handles answer; MMSYSERR_NOERROR: the truth
    bool probeAnswersDead; // probes of dead handles answer as if their device were there
    bool queuedDelivery;   // Wine's model: one queue, which stops and closes leave as it is
};

extern Options options;
extern Family inputs;
extern Family outputs;

// Driver.cpp: starts everything below once, on the first call into the driver.
void EnsureDriver();

// Options.cpp
void ReadOptions();
void PathInFolder(char (&path)[MAX_PATH], const char* name);

// EventLog.cpp
void OpenEventLog();
std::int64_t Ticks();
void Record(FakeMidiEventKind kind, int device, std::uint32_t word, std::int64_t ticks = 0);
void Violation(FakeMidiViolation violation, int device);
// As the process ends, without the lock: a thread that held it may be gone.
void AppendAtExit(FakeMidiEventKind kind, int device, std::uint32_t word);
void RecordSendTotal();

// Latency.cpp: stamps around each callback and at its first send, on the delivery thread.
void OpenLatencyLog(); // also measures the time-stamp counter and records its frequency
std::uint64_t CallbackBoundCycles();
std::uint64_t StampDelivery(); // returns the stamp
void StampSend(std::uint64_t entered);
void KeepLatency(); // after the callback has returned
void FlushLatency();

// Devices.cpp: the lists. Reads and changes take the list lock.
void ReadDevices();
int ListedDevice(Family& family, UINT index); // its device number, or -1 past the end
int IndexOf(Family& family, int device);      // -1 while it is not listed
// A device of that name ("#N": number N) leaves, or comes; its number, or -1 if there was none.
int UnplugDevice(Family& family, const char* name);
int PlugDevice(Family& family, const char* name, int at); // at: an index, or -1 for last

// Ports.cpp: slots, handles, and the checks every open makes. A failed claim is recorded.
MMRESULT ClaimPort(Family& family, bool argumentsValid, UINT deviceId,
                   Port** claimed);             // state PortOpening
void* PublishPort(Family& family, Port& port);  // state PortOpen; its handle
void ReleasePort(Family& family, Port& port);   // state PortClosed
void KillOpenPorts(Family& family, int device); // its device was unplugged
Port* SlotOf(Family& family, void* handle);     // records a handle never given out
bool HandleIsOpen(const Port& port, void* handle);
Port* FindOpenPort(Family& family, void* handle); // records a closed one too
// A call on an open port, or MMSYSERR_INVALHANDLE (recorded) on any other handle.
MMRESULT CallOnOpenPort(Family& family, void* handle, MMRESULT (*call)(Port& port));
void* HandleOf(const Family& family, const Port& port);
// midiInGetID and midiOutGetID: its device's index now, or MMSYSERR_NODRIVER once it left.
MMRESULT DeviceIndexOf(Family& family, void* handle, UINT* index);

// AllowedDevices.cpp: whether the test allowed the program to open this device (-1: mapper).
bool DeviceAllowed(const Family& family, int device);

// Input.cpp: one call of a program's input callback, with what its port was opened with.
struct Delivery {
    MidiInputCallback callback;
    HMIDIIN handle;
    DWORD_PTR instance;
    int device;
    UINT kind;
    DWORD_PTR param1;
    DWORD_PTR param2;
};
void Deliver(const Delivery& delivery);

// DeliveryQueue.cpp: the queued delivery (options.queuedDelivery), as Wine's ALSA driver does it.
void StartDeliveryQueue();
// False, and the word is dropped, once `closing` is set while the queue is full.
bool Enqueue(const Delivery& delivery, volatile LONG& closing);
bool OnQueueThread();
// Whether the calling thread is delivering, now, an event of a port closed by then.
bool DeliveringForClosedPort();
// A hold line: what is queued is delivered once the program has closed its port of input
// `device`, before that close returns, or (untilOpen) at the program's next input open.
void HoldQueue(int device, bool untilOpen);
void InputPortClosed(int device);
void InputPortOpening();

// Output.cpp
std::uint32_t SendsTaken();

// NotesSounding.cpp: what each output device's listener still hears.
void HearSend(const Port& port, DWORD message); // a send the device took
void ForgetSounding(int device);                // it left, and its listener with it
void RecordNotesLeftSounding();                 // as the process ends

// StageFaults.cpp
void StartFaultWatch();
void PostDeviceNotice();
void Stall(volatile LONG& armed, int device);
