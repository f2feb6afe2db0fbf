// What the one-per-folder cases need around Quorvel, for the end-to-end tests:
//   deny              takes every right on this folder's mutex away from every later opener, as
//                     the mutex of a run started as administrator denies a run that is not;
//   run DIR PROGRAM   starts PROGRAM with the working folder DIR spelled exactly so (the harness
//                     starts programs from a Unix folder, which Wine spells as it likes), waits
//                     for it (30 s at most; then ends it) and prints its exit code;
//   where             prints the working folder as the ANSI and the wide functions read it (the
//                     wide one in UTF-8).
#include "OneRunPerFolder.h"

#include <aclapi.h>

#include <cstdio>
#include <cwchar>

namespace {

int DenyEveryone() {
    char name[kFolderObjectNameSize];
    NameThisFolder(name);
    HANDLE mutex = OpenMutexA(WRITE_DAC, FALSE, name);
    if (mutex == nullptr) {
        std::printf("no mutex %s (%lu)\n", name, GetLastError());
        return 1;
    }
    ACL empty; // grants nothing to anyone; protected, so that nothing is inherited either
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    const DWORD result = SetSecurityInfo(
        mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        nullptr, nullptr, &empty, nullptr);
    std::printf("denied %s %lu\n", name, result);
    CloseHandle(mutex);
    return result == ERROR_SUCCESS ? 0 : 1;
}

int RunIn(wchar_t* folder, const wchar_t* program) {
    wchar_t commandLine[MAX_PATH + 2];
    std::swprintf(commandLine, MAX_PATH + 2, L"\"%ls\"", program);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process)) {
        std::printf("no start (%lu)\n", GetLastError());
        return 1;
    }
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 1); // a run that stayed: leave no panel behind
    }
    std::printf("exit %lu\n", code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

int PrintWhere() {
    char ansi[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, ansi);
    wchar_t wide[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, wide);
    char utf8[4 * MAX_PATH] = "";
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("ansi %s\nwide %s\n", ansi, utf8);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    int result = 2;
    if (argc == 2 && std::wcscmp(argv[1], L"deny") == 0) {
        result = DenyEveryone();
    } else if (argc == 4 && std::wcscmp(argv[1], L"run") == 0) {
        result = RunIn(argv[2], argv[3]);
    } else if (argc == 2 && std::wcscmp(argv[1], L"where") == 0) {
        result = PrintWhere();
    } else {
        std::printf("usage: folder_helper deny | run DIR PROGRAM | where\n");
    }
    std::fflush(stdout);
    return result;
}
