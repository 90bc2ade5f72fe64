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

// The mode a new file gets from fopen: 0666 less the process's umask.
unsigned NewFileMode();

// True when nothing is at the path or a regular file (a link to one
// included) is: what a write may replace. False for a folder, FIFO, device
// or socket, which a rename would replace with a regular file.
bool IsReplaceableTarget(const char* utf8Path);

// A new empty file beside the target, named target + ".XXXXXX" + suffix
// (mkstemp); empty when none can be made.
std::string CreateTemporaryBeside(const std::string& target, const char* suffix);

// Puts a finished temporary file in the target's place. The temporary gets
// the mode of the file it replaces, or the new-file mode when there is none,
// since mkstemp makes it 0600. A target that is not a regular file is
// refused. On failure `reason` (when given) says why; the temporary is
// left to the caller.
bool CommitTemporary(const std::string& temporary, const std::string& target, std::string* reason);

// Copies a regular file (OpenFile's rules for the source, so a FIFO or a
// device is refused at once) through a temporary beside the copy, which
// replaces the copy only once it is whole. False, with `reason` when given,
// and nothing left behind on failure.
bool CopyRegularFile(const char* from, const char* to, std::string* reason);

// Deletes the file; 0 on success, -1 otherwise (as remove()).
int RemoveFile(const char* utf8Path);

// Sets the length of the file behind an open stream, after writing out what
// the stream still buffers. 0 on success, -1 otherwise.
int TruncateFile(FILE* stream, int64_t length);

// 64-bit seek and tell; origin as fseek (SEEK_SET, SEEK_CUR, SEEK_END).
int SeekFile(FILE* stream, int64_t offset, int origin);
int64_t TellFile(FILE* stream);

}  // namespace duzplatform
