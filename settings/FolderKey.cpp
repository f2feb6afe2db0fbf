#include "FolderKey.h"

namespace {

// FNV-1a, 64 bits.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
constexpr std::uint64_t kHashPrime = 1099511628211ull;

std::uint64_t Hashed(std::uint64_t hash, std::uint64_t unit) {
    return (hash ^ unit) * kHashPrime;
}

} // namespace

std::uint64_t KeyOfFolderName(wchar_t* name, std::size_t length, FoldNameCase fold) {
    fold(name, length);
    std::uint64_t hash = kHashStart;
    for (std::size_t index = 0; index < length; ++index) {
        hash = Hashed(hash, static_cast<std::uint64_t>(name[index]));
    }
    return hash;
}

std::uint64_t KeyOfFolderMutex(const char* name) {
    std::uint64_t hash = kHashStart;
    for (; *name != '\0'; ++name) {
        hash = Hashed(hash, static_cast<unsigned char>(*name));
    }
    return hash;
}
