#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace duzplatform {

// Standard-I/O streams on UTF-8 paths. Linux takes the path bytes as they are,
// so no wide-character conversion and no length limit apply.

// Opens `utf8Path` with a standard-I/O mode text ("r", "w+b", "rt", ...). The
// text-mode letter "t" is dropped: there is no newline translation here, and
// readers accept both LF and CR LF. Null for a null or empty path or mode.
// A mode that reads ("r", "r+", "w+", "a+") opens regular files only: a
// device, FIFO, socket or folder is refused without blocking. A write-only
// mode may open a device; a FIFO without a reader is refused at once.
FILE* OpenFile(const char* utf8Path, const char* mode);

// The whole of a regular file (OpenFile's rules); false when it cannot be
// opened or read to its end.
bool ReadWholeFile(const char* utf8Path, std::string* bytes);

// Deletes the file; 0 on success, -1 otherwise (as remove()).
int RemoveFile(const char* utf8Path);

// Sets the length of the file behind an open stream, after writing out what
// the stream still buffers. 0 on success, -1 otherwise.
int TruncateFile(FILE* stream, int64_t length);

// 64-bit seek and tell; origin as fseek (SEEK_SET, SEEK_CUR, SEEK_END).
int SeekFile(FILE* stream, int64_t offset, int origin);
int64_t TellFile(FILE* stream);

}  // namespace duzplatform
