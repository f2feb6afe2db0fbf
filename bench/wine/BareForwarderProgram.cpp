// The yardstick for the latency benchmark: a minimal Win32 program that opens input device 0
// and output device 0 and forwards every input message unchanged, with no rules.
#include <windows.h>

#include <mmsystem.h>

namespace {

HMIDIOUT output = nullptr;

void CALLBACK ForwardInput(HMIDIIN, UINT kind, DWORD_PTR, DWORD_PTR message, DWORD_PTR) {
    if (kind == MIM_DATA) {
        midiOutShortMsg(output, static_cast<DWORD>(message));
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HMIDIIN input = nullptr;
    if (midiOutOpen(&output, 0, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR ||
        midiInOpen(&input, 0, reinterpret_cast<DWORD_PTR>(&ForwardInput), 0, CALLBACK_FUNCTION) !=
            MMSYSERR_NOERROR) {
        return 1;
    }
    midiInStart(input);
    Sleep(INFINITE); // the benchmark ends the process
    return 0;
}
