// The keys by which one Quorvel per folder knows its folder, in their portable part. Where the
// file system gives no file id, a folder is known by its full name, case folded as Windows
// compares names: two spellings of one folder that differ only in case are one folder.
#pragma once

#include <cstddef>
#include <cstdint>

// Folds `length` characters of a name in place to one case, as the platform compares names.
using FoldNameCase = void (*)(wchar_t* name, std::size_t length);

// The key of a folder's full name: the name, folded in place by `fold`, then hashed.
std::uint64_t KeyOfFolderName(wchar_t* name, std::size_t length, FoldNameCase fold);

// The key that marks a folder's panel, from the name of the folder's mutex.
std::uint64_t KeyOfFolderMutex(const char* name);
