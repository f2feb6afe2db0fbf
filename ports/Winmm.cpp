#include "Winmm.h"

namespace {

// No winmm: no device to list or open. An open fails as winmm's own does for an index past its
// last device, so the user sees the box of a missing device, "Can't open midi Device: 2". No
// handle is ever given out, so the calls on a handle are never reached; they refuse it.
UINT WINAPI NoDevices() {
    return 0;
}

template <typename Caps>
MMRESULT WINAPI NoCaps(UINT_PTR, Caps*, UINT) {
    return MMSYSERR_BADDEVICEID;
}

template <typename Handle>
MMRESULT WINAPI NoOpen(Handle* handle, UINT, DWORD_PTR, DWORD_PTR, DWORD) {
    if (handle != nullptr) {
        *handle = nullptr;
    }
    return MMSYSERR_BADDEVICEID;
}

template <typename Handle>
MMRESULT WINAPI NoHandle(Handle) {
    return MMSYSERR_INVALHANDLE;
}

template <typename Handle>
MMRESULT WINAPI NoHandleId(Handle, UINT*) {
    return MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI NoSend(HMIDIOUT, DWORD) {
    return MMSYSERR_INVALHANDLE;
}

constexpr WinmmFunctions kNoWinmm{.midiInGetNumDevs = NoDevices,
                                  .midiInGetDevCapsA = NoCaps<MIDIINCAPSA>,
                                  .midiInOpen = NoOpen<HMIDIIN>,
                                  .midiInStart = NoHandle<HMIDIIN>,
                                  .midiInStop = NoHandle<HMIDIIN>,
                                  .midiInClose = NoHandle<HMIDIIN>,
                                  .midiInGetID = NoHandleId<HMIDIIN>,
                                  .midiOutGetNumDevs = NoDevices,
                                  .midiOutGetDevCapsA = NoCaps<MIDIOUTCAPSA>,
                                  .midiOutOpen = NoOpen<HMIDIOUT>,
                                  .midiOutShortMsg = NoSend,
                                  .midiOutClose = NoHandle<HMIDIOUT>,
                                  .midiOutGetID = NoHandleId<HMIDIOUT>};

// GetProcAddress's FARPROC is cast through the one function type that matches every other; the
// target type is the platform header's declaration of the same name.
template <typename Function>
bool Find(HMODULE library, const char* name, Function& function) {
    function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
    return function != nullptr;
}

} // namespace

WinmmFunctions winmm = kNoWinmm;

bool BindWinmm(HMODULE library) {
    if (library == nullptr) {
        return false;
    }
    WinmmFunctions found{};
// Each function by its own name, so that a name and its slot cannot drift apart.
#define QUORVEL_FIND(function) Find(library, #function, found.function)
    const bool all =
        QUORVEL_FIND(midiInGetNumDevs) && QUORVEL_FIND(midiInGetDevCapsA) &&
        QUORVEL_FIND(midiInOpen) && QUORVEL_FIND(midiInStart) && QUORVEL_FIND(midiInStop) &&
        QUORVEL_FIND(midiInClose) && QUORVEL_FIND(midiInGetID) && QUORVEL_FIND(midiOutGetNumDevs) &&
        QUORVEL_FIND(midiOutGetDevCapsA) && QUORVEL_FIND(midiOutOpen) &&
        QUORVEL_FIND(midiOutShortMsg) && QUORVEL_FIND(midiOutClose) && QUORVEL_FIND(midiOutGetID);
#undef QUORVEL_FIND
    if (!all) {
        FreeLibrary(library);
        return false;
    }
    winmm = found;
    return true;
}
