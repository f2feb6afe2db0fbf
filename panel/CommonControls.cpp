#include "CommonControls.h"

namespace {

BOOL WINAPI NoCommonControls(const INITCOMMONCONTROLSEX*) {
    return FALSE;
}

} // namespace

CommonControlsFunctions commonControls{.InitCommonControlsEx = NoCommonControls};

bool BindCommonControls(HMODULE library) {
    // GetProcAddress's FARPROC is cast through the one function type that matches every other.
    const auto found =
        reinterpret_cast<decltype(&::InitCommonControlsEx)>(reinterpret_cast<void (*)()>(
            library != nullptr ? GetProcAddress(library, "InitCommonControlsEx") : nullptr));
    if (found == nullptr) {
        if (library != nullptr) {
            FreeLibrary(library);
        }
        return false;
    }
    commonControls.InitCommonControlsEx = found;
    return true;
}
