#include "OneRunPerFolder.h"

#include "FolderKey.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The key's two halves, one a property, so that a 32-bit panel holds all of it.
constexpr const char* kPanelFolderProperties[2] = {"Quorvel folder", "Quorvel folder high"};
// A second start looks this long for the first run's panel, which may still be being made (its
// run showing a box) or be closing, and waits as long for a closing run to end.
constexpr ULONGLONG kFirstRunWaitMilliseconds = 5000;
constexpr DWORD kPauseMilliseconds = 50;

HANDLE folderMutex = nullptr; // owned by the window thread for the process's life
std::uint64_t folderKey = 0;

void FoldAsWindowsComparesNames(wchar_t* name, std::size_t length) {
    CharUpperBuffW(name, static_cast<DWORD>(length));
}

// Only where the file system gives no file index: the folder's full name, read wide.
std::uint64_t KeyOfThisFolderName() {
    static wchar_t folder[32768]; // the longest path Windows has
    const DWORD length = GetCurrentDirectoryW(32768, folder);
    if (length == 0 || length >= 32768) {
        return 0;
    }
    return KeyOfFolderName(folder, length, FoldAsWindowsComparesNames);
}

HANDLE FolderMark(int half) {
    return reinterpret_cast<HANDLE>(
        static_cast<UINT_PTR>(static_cast<std::uint32_t>(folderKey >> (32 * half)) | 1u));
}

bool IsPanelOfThisFolder(HWND window) {
    // Another process's title is read from the window itself: no message is sent, so a panel
    // whose thread is stuck cannot hold this start up.
    char title[16] = "";
    GetWindowTextA(window, title, sizeof title);
    return lstrcmpA(title, "Quorvel") == 0 &&
           GetPropA(window, kPanelFolderProperties[0]) == FolderMark(0) &&
           GetPropA(window, kPanelFolderProperties[1]) == FolderMark(1);
}

// Restored without waiting for the panel's thread, then brought to the front.
BOOL CALLBACK BringPanelForward(HWND window, LPARAM found) {
    if (!IsPanelOfThisFolder(window)) {
        return TRUE;
    }
    if (IsIconic(window)) {
        ShowWindowAsync(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

bool BroughtPanelForward() {
    bool found = false;
    EnumWindows(BringPanelForward, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Windows 8 and later: the volume's serial number and the folder's 128-bit file id (ReFS ids do
// not fit the older 64-bit index).
bool NameByFileId(HANDLE folder, char (&name)[kFolderObjectNameSize]) {
    FILE_ID_INFO id{};
    std::uint64_t halves[2] = {0, 0};
    if (!GetFileInformationByHandleEx(folder, FileIdInfo, &id, sizeof id)) {
        return false;
    }
    std::memcpy(halves, &id.FileId, sizeof halves);
    std::snprintf(name, sizeof name, "Local\\Quorvel-%016llx-%016llx%016llx",
                  static_cast<unsigned long long>(id.VolumeSerialNumber),
                  static_cast<unsigned long long>(halves[1]),
                  static_cast<unsigned long long>(halves[0]));
    return (halves[0] | halves[1]) != 0;
}

// Vista and 7: the volume's serial number and the folder's 64-bit file index.
bool NameByFileIndex(HANDLE folder, char (&name)[kFolderObjectNameSize]) {
    BY_HANDLE_FILE_INFORMATION file{};
    if (!GetFileInformationByHandle(folder, &file)) {
        return false;
    }
    std::snprintf(name, sizeof name, "Local\\Quorvel-%08lx-%08lx%08lx", file.dwVolumeSerialNumber,
                  file.nFileIndexHigh, file.nFileIndexLow);
    return (file.nFileIndexHigh | file.nFileIndexLow) != 0;
}

} // namespace

// The folder as the file system knows it, from a handle to it, whatever path led to it; its name
// only where the file system gives no id.
void NameThisFolder(char (&name)[kFolderObjectNameSize]) {
    HANDLE folder = CreateFileW(L".", FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = folder != INVALID_HANDLE_VALUE &&
                       (NameByFileId(folder, name) || NameByFileIndex(folder, name));
    if (folder != INVALID_HANDLE_VALUE) {
        CloseHandle(folder);
    }
    if (!known) {
        std::snprintf(name, sizeof name, "Local\\Quorvel-name-%016llx",
                      static_cast<unsigned long long>(KeyOfThisFolderName()));
    }
}

bool AnotherRunInThisFolder() {
    char name[kFolderObjectNameSize];
    NameThisFolder(name);
    folderKey = KeyOfFolderMutex(name);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
    DWORD error = GetLastError();
    const ULONGLONG end = GetTickCount64() + kFirstRunWaitMilliseconds;
    for (;;) {
        if (mutex != nullptr && error != ERROR_ALREADY_EXISTS) {
            folderMutex = mutex; // created, and so owned: this run holds the folder
            return false;
        }
        // A mutex this run may not open is another run's: one started as administrator, say.
        if (mutex == nullptr && error != ERROR_ACCESS_DENIED) {
            return false; // no way to tell: run, as before there was a check
        }
        if (BroughtPanelForward() || GetTickCount64() >= end) {
            break;
        }
        if (mutex != nullptr) {
            // The other run owns the mutex until its process has ended; once it has, the wait
            // gives it to this run (abandoned).
            const DWORD waited = WaitForSingleObject(mutex, kPauseMilliseconds);
            if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
                folderMutex = mutex;
                return false;
            }
        } else {
            Sleep(kPauseMilliseconds);
            mutex = CreateMutexA(nullptr, TRUE, name);
            error = GetLastError();
        }
    }
    if (mutex != nullptr) {
        CloseHandle(mutex);
    }
    return true;
}

void MarkPanelOfThisFolder(HWND panel) {
    for (int half = 0; half < 2; ++half) {
        SetPropA(panel, kPanelFolderProperties[half], FolderMark(half));
    }
}

void UnmarkPanelOfThisFolder(HWND panel) {
    for (const char* property : kPanelFolderProperties) {
        RemovePropA(panel, property);
    }
}
