#include "MidiPorts.h"

#include "Engine.h"
#include "MidiInputCallback.h"
#include "OutputGate.h"
#include "Winmm.h"

#include <cstdio>
#include <type_traits>

namespace {

// The input port takes its callback as a plain DWORD_PTR, so nothing else would notice a
// wrong calling convention or parameter width (on i686 CALLBACK is __stdcall).
using PlatformMidiInputCallback = void(CALLBACK*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);
static_assert(std::is_same_v<decltype(&OnMidiInput), PlatformMidiInputCallback>,
              "OnMidiInput must have the input port's exact callback type");
static_assert(kMidiInputData == MIM_DATA);

constexpr const char* kPortErrorCaption = "Error";

// Null means no port is open; a handle is set back to null as soon as its port is closed or
// its open fails, so no platform call ever sees a handle that is already closed.
HMIDIIN inputPort = nullptr;

// Whether the open port's probe answered right after the open (see PortProbe).
bool inputProbeAnswered = false;
bool outputProbeAnswered = false;

UINT PlatformDeviceId(std::int32_t deviceIndex) {
    return static_cast<UINT>(deviceIndex); // -1 becomes 0xFFFFFFFF, the platform's mapper id
}

void ReportOpenFailure(MMRESULT result) {
    char text[64];
    std::snprintf(text, sizeof text, "Can't open midi Device: %i", static_cast<int>(result));
    ReportFailure(text, kPortErrorCaption);
}

// Once the port is stopped, whatever it still delivers is ignored: what it delivered before
// was forwarded, and is released with the rest.
void StopAndCloseInput() {
    if (inputPort != nullptr) {
        winmm.midiInStop(inputPort);
        openInputInstance.store(0, std::memory_order_relaxed);
        winmm.midiInClose(inputPort);
        inputPort = nullptr;
    }
}

// Begins an output switch with nothing held: what the output holds is released there first,
// a part at a time, so that a delivery thread waits for one part at most, and sends between
// parts to the same port (what it strikes meanwhile is released with a later part). The last
// part takes what is left. Sent to a port whose device has left, the releases go nowhere and
// are forgotten all the same.
constexpr int kReleasesAPart = 128;
constexpr int kReleaseParts = 4;

void BeginSwitchWithNothingHeld() {
    for (int part = 1;; ++part) {
        BeginOutputSwitch();
        const int most = part < kReleaseParts ? kReleasesAPart : kEveryRelease;
        if (ReleaseHeldNotes(most) < most) {
            return;
        }
        EndOutputSwitch();
        Sleep(1); // lets the waiting senders in before the next part
    }
}

// The input delivers nothing more: what it left held at the output is released there, before
// anything else reaches it.
void ReleaseAtOutput() {
    BeginSwitchWithNothingHeld();
    EndOutputSwitch();
}

enum OpenFailure { ShowOpenFailure, KeepOpenFailureQuiet };

MidiEventParam inputOpens = 0; // how many input opens were tried: each one's instance value

bool OpenInput(OpenFailure failure) {
    StopAndCloseInput();
    ReleaseAtOutput();
    HMIDIIN opened = nullptr;
    const MidiEventParam instance = ++inputOpens != 0 ? inputOpens : ++inputOpens;
    openInputInstance.store(instance, std::memory_order_relaxed);
    const MMRESULT result =
        winmm.midiInOpen(&opened, PlatformDeviceId(bridgeSettings.inputDevice),
                         reinterpret_cast<DWORD_PTR>(&OnMidiInput), instance, CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) {
        openInputInstance.store(0, std::memory_order_relaxed);
        if (failure == ShowOpenFailure) {
            ReportOpenFailure(result);
        }
        return false;
    }
    inputPort = opened;
    UINT listedAt = 0;
    inputProbeAnswered = winmm.midiInGetID(inputPort, &listedAt) == MMSYSERR_NOERROR;
    winmm.midiInStart(inputPort);
    return true;
}

std::int32_t openOutputDevice = 0; // the position the open output was opened at

MMRESULT OpenChosenOutput(HMIDIOUT& opened) {
    opened = nullptr;
    const MMRESULT result = winmm.midiOutOpen(
        &opened, PlatformDeviceId(bridgeSettings.outputDevice), 0, 0, CALLBACK_NULL);
    if (result == MMSYSERR_NOERROR) {
        UINT listedAt = 0;
        outputProbeAnswered = winmm.midiOutGetID(opened, &listedAt) == MMSYSERR_NOERROR;
        openOutputDevice = bridgeSettings.outputDevice;
    }
    return result;
}

// The new port is opened before the switch and the old one closed after it, so that the
// delivery threads wait only for the releases and the exchange of the two, never for an open or
// a close, which can take hundreds of milliseconds. A device that takes one client at a time
// refuses the early open while its own old port is open: then, as when the same position is
// opened again, the old port is closed after the switch, the device opened, and placed within
// a second switch; what is sent meanwhile goes nowhere, as with no output chosen.
bool OpenOutput(OpenFailure failure) {
    HMIDIOUT opened = nullptr;
    const bool sameDevice =
        HeldOutputPort() != nullptr && bridgeSettings.outputDevice == openOutputDevice;
    MMRESULT result = sameDevice ? MMSYSERR_ALLOCATED : OpenChosenOutput(opened);
    BeginSwitchWithNothingHeld();
    HMIDIOUT old = TakeOutputPort();
    if (result == MMSYSERR_NOERROR) {
        PlaceOutputPort(opened);
    }
    EndOutputSwitch();
    if (old != nullptr) {
        winmm.midiOutClose(old);
        if (result != MMSYSERR_NOERROR) {
            result = OpenChosenOutput(opened);
            if (result == MMSYSERR_NOERROR) {
                BeginOutputSwitch();
                PlaceOutputPort(opened);
                EndOutputSwitch();
            }
        }
    }
    // The box waits for the user: show it only once the delivery thread can send again.
    if (result != MMSYSERR_NOERROR && failure == ShowOpenFailure) {
        ReportOpenFailure(result);
    }
    return result == MMSYSERR_NOERROR;
}

// One call of the port's probe: whether its device answers as a dead one, and where it is listed.
template <typename Port>
PortProbe Probe(Port port, MMRESULT(WINAPI* getId)(Port, UINT*), bool answeredAtOpen) {
    if (port == nullptr) {
        return kNoPortOpen;
    }
    UINT listedAt = 0;
    const MMRESULT result = getId(port, &listedAt);
    return {answeredAtOpen, result == MMSYSERR_NODRIVER,
            result == MMSYSERR_NOERROR ? static_cast<int>(listedAt) : -1};
}

} // namespace

void OpenMidiInput() {
    OpenInput(ShowOpenFailure);
}

void OpenMidiOutput() {
    OpenOutput(ShowOpenFailure);
}

void SendAllNotesOff() {
    if (HeldOutputPort() == nullptr) {
        return;
    }
    BeginOutputSwitch();
    ForgetHeldPedals();
    EndOutputSwitch();
    BeginSwitchWithNothingHeld();
    SilenceEveryChannel();
    EndOutputSwitch();
}

bool TakeUpMidiInput() {
    return OpenInput(KeepOpenFailureQuiet);
}

bool TakeUpMidiOutput() {
    return OpenOutput(KeepOpenFailureQuiet);
}

PortProbe ProbeMidiInput() {
    return Probe(inputPort, winmm.midiInGetID, inputProbeAnswered);
}

PortProbe ProbeMidiOutput() {
    return Probe(HeldOutputPort(), winmm.midiOutGetID, outputProbeAnswered);
}

bool MidiInputOpen() {
    return inputPort != nullptr;
}

bool MidiOutputOpen() {
    return HeldOutputPort() != nullptr;
}

void ReleaseNotesOfLostInput() {
    ReleaseAtOutput();
}

void CloseMidiPorts() {
    StopAndCloseInput();
    BeginSwitchWithNothingHeld();
    HMIDIOUT port = TakeOutputPort();
    EndOutputSwitch();
    if (port != nullptr) {
        winmm.midiOutClose(port);
    }
}
