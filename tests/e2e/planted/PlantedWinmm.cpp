// A planted winmm.dll, for the end-to-end test that nothing lying beside Quorvel.exe or in its
// working folder runs inside it: loaded into a process, it leaves a mark file in its own folder
// and ends the process at once. It exports winmm's names (planted.def), so that a program that
// imports them from winmm.dll would take it; none of them is ever reached.
#include <windows.h>

namespace {

constexpr const wchar_t* kMarkName = L"planted-winmm-ran";
constexpr UINT kPlantedExitCode = 77;

void LeaveMark(HINSTANCE self) {
    wchar_t path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') {
        --length;
    }
    lstrcpyW(path + length, kMarkName);
    HANDLE mark =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
        CloseHandle(mark);
    }
}

} // namespace

extern "C" int PlantedEntry() {
    return 0;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        LeaveMark(self);
        TerminateProcess(GetCurrentProcess(), kPlantedExitCode);
    }
    return TRUE;
}
