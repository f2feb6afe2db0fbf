#include "SafeSave.h"

#include "PlatformFiles.h"

#include <cerrno>

namespace {

// Long enough for a scanner that opened the file to let go of it, short enough for a log-off.
constexpr int kReplaceAttempts = 10;

// Writes the contents and closes the file; true once they are on the disk.
bool WriteAndClose(std::FILE* file, bool (*write)(std::FILE*)) {
    bool written = write(file);
    written = CommitToDisk(file) && written;
    return std::fclose(file) == 0 && written;
}

enum ReplaceResult { Replaced, ReplaceRefused, NewFileIncomplete };

ReplaceResult SaveThroughReplace(const char* name, const char* temporaryName,
                                 bool (*write)(std::FILE*)) {
    std::FILE* file = std::fopen(temporaryName, "wb");
    if (file == nullptr) {
        return ReplaceRefused; // the folder takes no new files
    }
    if (!WriteAndClose(file, write)) {
        std::remove(temporaryName);
        return NewFileIncomplete; // the disk is full, say: a write in place would fail too
    }
    for (int attempt = 1; !PutInPlaceOf(temporaryName, name); ++attempt) {
        if (attempt == kReplaceAttempts) {
            std::remove(temporaryName);
            return ReplaceRefused;
        }
        PauseBeforeRetry();
    }
    return Replaced;
}

bool SaveInPlace(const char* name, bool (*write)(std::FILE*)) {
    std::FILE* file = std::fopen(name, "wb");
    return file != nullptr && WriteAndClose(file, write);
}

} // namespace

bool SaveSafely(const char* name, const char* temporaryName, bool (*write)(std::FILE*)) {
    const ReplaceResult result = SaveThroughReplace(name, temporaryName, write);
    return result == Replaced || (result == ReplaceRefused && SaveInPlace(name, write));
}

std::FILE* OpenSaved(const char* name, const char* temporaryName, bool (*whole)(std::FILE*)) {
    std::FILE* file = std::fopen(name, "rb");
    if (file != nullptr || errno != ENOENT) {
        return file; // one that is there but cannot be read is never passed over for an older
    }
    file = std::fopen(temporaryName, "rb");
    if (file == nullptr) {
        return nullptr;
    }
    if (!whole(file) || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}
