#include "MidiPorts.h"

#include "Engine.h"
#include "MidiInputCallback.h"
#include "OutputGate.h"

#include <mmsystem.h>

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

UINT PlatformDeviceId(std::int32_t deviceIndex) {
    return static_cast<UINT>(deviceIndex); // -1 becomes 0xFFFFFFFF, the platform's mapper id
}

void ReportOpenFailure(MMRESULT result) {
    char text[64];
    std::snprintf(text, sizeof text, "Can't open midi Device: %i", static_cast<int>(result));
    ReportFailure(text, kPortErrorCaption);
}

void StopAndCloseInput() {
    if (inputPort != nullptr) {
        midiInStop(inputPort);
        midiInClose(inputPort);
        inputPort = nullptr;
    }
}

void CloseOutputDuringSwitch() {
    HMIDIOUT port = TakeOutputPort();
    if (port != nullptr) {
        midiOutClose(port);
    }
}

enum OpenFailure { ShowOpenFailure, KeepOpenFailureQuiet };

void OpenInput(OpenFailure failure) {
    StopAndCloseInput();
    HMIDIIN opened = nullptr;
    const MMRESULT result =
        midiInOpen(&opened, PlatformDeviceId(bridgeSettings.inputDevice),
                   reinterpret_cast<DWORD_PTR>(&OnMidiInput), 0, CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) {
        if (failure == ShowOpenFailure) {
            ReportOpenFailure(result);
        }
        return;
    }
    inputPort = opened;
    midiInStart(inputPort);
}

void OpenOutput(OpenFailure failure) {
    BeginOutputSwitch();
    CloseOutputDuringSwitch();
    HMIDIOUT opened = nullptr;
    const MMRESULT result =
        midiOutOpen(&opened, PlatformDeviceId(bridgeSettings.outputDevice), 0, 0, CALLBACK_NULL);
    if (result == MMSYSERR_NOERROR) {
        PlaceOutputPort(opened);
    }
    EndOutputSwitch();
    // The box waits for the user: show it only once the delivery thread can send again.
    if (result != MMSYSERR_NOERROR && failure == ShowOpenFailure) {
        ReportOpenFailure(result);
    }
}

} // namespace

void OpenMidiInput() {
    OpenInput(ShowOpenFailure);
}

void OpenMidiOutput() {
    OpenOutput(ShowOpenFailure);
}

void TakeUpMidiInput() {
    OpenInput(KeepOpenFailureQuiet);
}

void TakeUpMidiOutput() {
    OpenOutput(KeepOpenFailureQuiet);
}

bool MidiInputAnswers() {
    UINT device = 0;
    return inputPort != nullptr && midiInGetID(inputPort, &device) == MMSYSERR_NOERROR;
}

bool MidiOutputAnswers() {
    UINT device = 0;
    HMIDIOUT port = HeldOutputPort();
    return port != nullptr && midiOutGetID(port, &device) == MMSYSERR_NOERROR;
}

void CloseMidiPorts() {
    StopAndCloseInput();
    BeginOutputSwitch();
    CloseOutputDuringSwitch();
    EndOutputSwitch();
}
