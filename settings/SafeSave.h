// Writes a small file so that a save cut short never harms the one that is there: through a new
// file, committed to the disk and put in its place; where the replace is refused (another
// program holds the file, or the folder takes no new files), in place, as a plain write would.
#pragma once

#include <cstdio>

// `write` puts the whole contents into a binary stream; false if a write failed.
// True once the file holds them; false when neither way worked, or when the new file could not
// be written whole (a full disk): then the file is left as it was.
bool SaveSafely(const char* name, const char* temporaryName, bool (*write)(std::FILE*));

// Opens a file that SaveSafely keeps, for reading: the file itself or, where it is missing, the
// new file of a save cut short just before the replace, when `whole` finds all of it there (on
// FAT and exFAT the replace deletes the old file before it renames the new one, so a pulled
// stick leaves only the new file). Null when there is neither. The stream is at its start.
std::FILE* OpenSaved(const char* name, const char* temporaryName, bool (*whole)(std::FILE*));
