#include "PlatformFiles.h"

namespace {
constexpr unsigned kRetryPauseMilliseconds = 20;
}

#if defined(_WIN32)

#include <io.h>
#include <windows.h>

bool CommitToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool PutInPlaceOf(const char* from, const char* to) {
    // rename() on Windows refuses to replace an existing file.
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void PauseBeforeRetry() {
    Sleep(kRetryPauseMilliseconds);
}

#else

#include <time.h>
#include <unistd.h>

bool CommitToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool PutInPlaceOf(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

void PauseBeforeRetry() {
    const timespec pause{0, kRetryPauseMilliseconds * 1000000L};
    nanosleep(&pause, nullptr);
}

#endif
