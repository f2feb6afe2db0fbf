// The few file operations the C library does not offer in a portable form. PlatformFiles.cpp
// is the one file of the settings folder that reaches the platform: Windows when built for it,
// POSIX otherwise.
#pragma once

#include <cstdio>

// Writes what the stream has buffered and asks the system to put it on the disk, so that a
// power cut after a replace cannot leave an empty file in its place.
bool CommitToDisk(std::FILE* file);

// Puts `from` in the place of `to` in one step, replacing `to` if it exists.
bool PutInPlaceOf(const char* from, const char* to);

// A short pause before a refused step is tried again: another program (a virus scanner, a
// backup tool) may hold the file for a moment.
void PauseBeforeRetry();
