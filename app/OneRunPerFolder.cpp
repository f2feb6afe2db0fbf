#include "OneRunPerFolder.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr const char* kPanelFolderProperty = "Quorvel folder";
// A panel that is still being made (its first run is showing a box, say) is looked for this
// long; after that the second start ends anyway.
constexpr int kPanelSearches = 20;
constexpr DWORD kPanelSearchPauseMilliseconds = 50;

HANDLE folderMutex = nullptr; // held for the process's life
std::uint64_t folderKey = 0;

// The folder's name, case folded as Windows compares paths, hashed (FNV-1a), so that a name of
// any length makes a short object name.
bool ReadFolderKey() {
    char folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) {
        return false;
    }
    CharUpperBuffA(folder, length);
    std::uint64_t hash = 14695981039346656037ull;
    for (DWORD index = 0; index < length; ++index) {
        hash = (hash ^ static_cast<unsigned char>(folder[index])) * 1099511628211ull;
    }
    folderKey = hash;
    return true;
}

// The property holds the key's low bits: a window property is a pointer wide.
HANDLE FolderMark() {
    return reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(folderKey | 1));
}

BOOL CALLBACK BringPanelForward(HWND window, LPARAM found) {
    char title[16] = "";
    GetWindowTextA(window, title, sizeof title);
    if (lstrcmpA(title, "Quorvel") != 0 || GetPropA(window, kPanelFolderProperty) != FolderMark()) {
        return TRUE;
    }
    if (IsIconic(window)) {
        ShowWindow(window, SW_RESTORE);
    }
    SetForegroundWindow(window);
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

} // namespace

bool AnotherRunInThisFolder() {
    if (!ReadFolderKey()) {
        return false; // a folder name too long to read: run as ever
    }
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Quorvel-%016llx",
                  static_cast<unsigned long long>(folderKey));
    folderMutex = CreateMutexA(nullptr, FALSE, name);
    if (folderMutex == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    bool found = false;
    for (int search = 0; search < kPanelSearches && !found; ++search) {
        EnumWindows(BringPanelForward, reinterpret_cast<LPARAM>(&found));
        if (!found) {
            Sleep(kPanelSearchPauseMilliseconds);
        }
    }
    return true;
}

void MarkPanelOfThisFolder(HWND panel) {
    SetPropA(panel, kPanelFolderProperty, FolderMark());
}
