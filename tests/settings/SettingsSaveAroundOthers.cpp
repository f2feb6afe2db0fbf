// The save as it meets other programs on Windows: "Settings" held open by an editor or a
// scanner (sharing reading and writing but not deletion) for the whole save or for a moment,
// and a folder that takes no new file. Each case runs the program's own SaveSettings in a
// fresh folder and checks what the user is left with. Prints one line per case; exits 1 if
// any failed.
#include "Engine.h"
#include "PortNames.h"
#include "SettingsFile.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

int warnings = 0;

enum Holder { NobodyHolds, HeldThroughout, HeldForAMoment };
enum Expected { Replaced, WrittenInPlace };

struct Case {
    const char* what;
    Holder holder;
    bool folderTakesNoNewFile;
    Expected expected;
};

const Case kCases[] = {
    {"nothing in the way", NobodyHolds, false, Replaced},
    {"another program holds \"Settings\" throughout", HeldThroughout, false, WrittenInPlace},
    {"a scanner holds \"Settings\" past the first replace", HeldForAMoment, false, Replaced},
    {"the folder takes no new file", NobodyHolds, true, WrittenInPlace},
};

const unsigned char kOld[] = {0, 1, 0, 2, 1};
const unsigned char kNew[] = {2, 0, 1, 7, 8};

HANDLE OpenShared(DWORD access) {
    return CreateFileA(kSettingsFileName, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

ULONGLONG FileIdentity() {
    HANDLE file = OpenShared(0);
    BY_HANDLE_FILE_INFORMATION information{};
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return ULONGLONG{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
}

bool HoldsBytes(const unsigned char (&expected)[5]) {
    HANDLE file = OpenShared(GENERIC_READ);
    unsigned char bytes[8] = {};
    DWORD read = 0;
    ReadFile(file, bytes, sizeof bytes, &read, nullptr);
    CloseHandle(file);
    return read == sizeof expected && std::memcmp(bytes, expected, sizeof expected) == 0;
}

// Lets go of "Settings" once the new file is written and closed, and so the first replace has
// been tried and refused, and a little later still: well inside the save's retries (ten, 20 ms
// apart), so that only a save that tries again replaces the file.
DWORD WINAPI LetGoAfterTheFirstReplace(void* held) {
    // A save that never retries removes its new file at once: then it is missed, and the wait
    // ends after a few seconds.
    for (int wait = 0; wait < 5000; ++wait) {
        HANDLE written = CreateFileA(kSettingsTemporaryName, GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (written != INVALID_HANDLE_VALUE) {
            CloseHandle(written);
            break;
        }
        Sleep(1);
    }
    Sleep(40);
    CloseHandle(static_cast<HANDLE>(held));
    return 0;
}

// Runs one case in a fresh folder; returns what went wrong, or null.
const char* Run(const Case& c) {
    HANDLE file = CreateFileA(kSettingsFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, kOld, sizeof kOld, &written, nullptr);
    CloseHandle(file);
    if (c.folderTakesNoNewFile) {
        CreateDirectoryA(kSettingsTemporaryName, nullptr);
    }
    const ULONGLONG before = FileIdentity();
    HANDLE held = c.holder == NobodyHolds ? nullptr : OpenShared(GENERIC_READ | GENERIC_WRITE);
    HANDLE letGo = c.holder == HeldForAMoment
                       ? CreateThread(nullptr, 0, LetGoAfterTheFirstReplace, held, 0, nullptr)
                       : nullptr;
    if (letGo != nullptr) {
        SetThreadPriority(letGo, THREAD_PRIORITY_TIME_CRITICAL); // on time on a busy machine
    }
    bridgeSettings.wheelType = 2;
    bridgeSettings.drumMutesEnabled = false;
    bridgeSettings.synthMutesEnabled = true;
    bridgeSettings.inputDevice = 7;
    bridgeSettings.outputDevice = 8;
    warnings = 0;
    SaveSettings();
    if (letGo != nullptr) {
        WaitForSingleObject(letGo, INFINITE);
        CloseHandle(letGo);
    } else if (held != nullptr) {
        CloseHandle(held);
    }
    if (warnings != 0) {
        return "the user was warned";
    }
    if (!HoldsBytes(kNew)) {
        return "\"Settings\" does not hold the new choices";
    }
    const DWORD stray = GetFileAttributesA(kSettingsTemporaryName);
    if (stray != INVALID_FILE_ATTRIBUTES && (stray & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return "a stray new file was left behind";
    }
    if ((FileIdentity() == before) != (c.expected == WrittenInPlace)) {
        return c.expected == Replaced ? "written in place, not replaced" : "replaced";
    }
    return nullptr;
}

} // namespace

void ReportFailure(const char*, const char*) {
    ++warnings;
}

int main() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    int failures = 0;
    int number = 0;
    for (const Case& c : kCases) {
        char folder[MAX_PATH];
        std::snprintf(folder, sizeof folder, "%squorvel-save-%lu-%d", base, GetCurrentProcessId(),
                      ++number);
        CreateDirectoryA(folder, nullptr);
        SetCurrentDirectoryA(folder);
        const char* failure = Run(c);
        std::printf("%s %s%s%s\n", failure ? "FAIL" : "ok  ", c.what, failure ? ": " : "",
                    failure ? failure : "");
        failures += failure != nullptr;
        DeleteFileA(kSettingsFileName);
        DeleteFileA(kPortNamesFileName);
        RemoveDirectoryA(kSettingsTemporaryName);
        SetCurrentDirectoryA(base);
        RemoveDirectoryA(folder);
    }
    return failures == 0 ? 0 : 1;
}
