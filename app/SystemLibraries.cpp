#include "SystemLibraries.h"

#include <cwchar>

namespace {

// GetProcAddress's FARPROC is cast through the one function type that matches every other.
template <typename Function>
Function KernelFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// Microsoft's documented test for the LOAD_LIBRARY_SEARCH_* flags: they are there exactly where
// AddDllDirectory is. Without KB2533623, Vista and 7 refuse the flags.
bool SearchFlagsSupported() {
    return KernelFunction<void (*)()>("AddDllDirectory") != nullptr;
}

} // namespace

void LoadOnlyFromSystemFolder() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories =
        KernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories");
    if (setDefaultDllDirectories == nullptr ||
        !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SetDllDirectoryW(L""); // the program's folder stays first there: see LoadSystemLibrary
    }
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    if (SearchFlagsSupported()) {
        return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // The full path: the file itself comes from the system folder, and with the altered search
    // its imports are looked for in its own folder, the system folder, before anywhere else,
    // and never in the program's folder.
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t nameLength = std::wcslen(name);
    if (length == 0 || length + 1 + nameLength >= MAX_PATH) {
        return nullptr;
    }
    path[length] = L'\\';
    std::wmemcpy(path + length + 1, name, nameLength + 1);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
