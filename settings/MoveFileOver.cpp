#include "SettingsFile.h"

#if defined(_WIN32)

#include <windows.h>

bool MoveFileOver(const char* from, const char* to) {
    // rename() on Windows refuses to replace an existing file.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

#include <cstdio>

bool MoveFileOver(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

#endif
