#pragma once

#include <string>

#include "sdk/base/KString.h"

namespace duzsdk {

// Paths in the forms the SDK meets: Linux paths, and paths stored by Windows
// programs with drive letters ("C:"), network shares (two leading separators)
// and either separator. Every function accepts "\" and "/" as separators;
// the ones that build a path produce "/". A path is absolute when it starts
// with a separator or with a drive letter and ":".
//
// The text functions take zero-terminated texts or KStrings; a null text
// counts as "".
class KPathArg {
public:
    KPathArg(const char* text) : text_(text != nullptr ? text : "") {}   // NOLINT: implicit on purpose
    KPathArg(const KString& text) : text_(text.Buffer()) {}              // NOLINT
    KPathArg(const std::string& text) : text_(text.c_str()) {}           // NOLINT
    const char* Text() const { return text_; }

private:
    const char* text_;
};

// Pure text operations.

// The text after the last separator; without `keepExtension`, cut at the last "." of that name.
KString KPathGetFileName(KPathArg path, bool keepExtension);
// The text after the last ".", when that dot follows every separator; else "".
KString KPathGetExtension(KPathArg path);
// The extension equals `extension` without regard to case.
bool KPathHasExtension(KPathArg path, KPathArg extension);
bool KPathIsDuzFile(KPathArg path);
// Removes the extension with its dot and appends `suffix` as given (the caller supplies its dot).
KString KPathReplaceExtension(KPathArg path, KPathArg suffix);
// The path without its last separator and what follows; unchanged when it has no separator.
KString KPathStripFileName(KPathArg path);
// The text before the last separator; "" when there is none.
KString KPathGetDirectory(KPathArg path);
// The drive ("C:") or share ("//SERVER/SHARE") that the path starts with, upper case,
// with "/" separators; "" for any other path.
KString KPathGetDrivePrefix(KPathArg path);
// False for a drive, share or root path; true otherwise. (A null text is not relative.)
bool KPathIsRelative(const char* path);
inline bool KPathIsRelative(const KString& path) { return KPathIsRelative(path.Buffer()); }
// The file alone when it is absolute (or the base is empty); else base, "/" and file. Cleaned.
KString KPathJoin(KPathArg base, KPathArg file);
// Normal form: "." segments dropped, ".." resolved, separators made single "/",
// no trailing separator. A relative path keeps the ".." that climb above it; an
// absolute path that would climb above its root gives "".
KString KPathClean(KPathArg path);
std::wstring KPathCleanWide(const wchar_t* path);

// Operations that ask the system.

// The current folder, absolute and clean.
KString KPathGetCurrentDirectory();
// A relative path is taken from the current folder; the result is clean.
KString KPathMakeAbsolute(KPathArg path);
// True when the path names something that opens for reading and is not a folder.
bool KPathFileExists(KPathArg path);
// Creates every missing folder of the path's folder part (the text up to its last
// separator; a path ending in a separator is a folder). True when that folder
// exists at the end. Drive and share paths cannot be created here: false.
bool KPathCreateDirectories(KPathArg path);
// The target as seen from the base's folder (the base's text up to its last
// separator): a "../" for each base folder left after the shared ones, the
// target's remaining folders, then its file name. On another drive or share
// the absolute target.
KString KPathGetRelativePath(KPathArg base, KPathArg target);
// The file's folder made relative to the base, joined with the file's name.
KString KPathGetRelativeFilePath(KPathArg base, KPathArg file);

}  // namespace duzsdk
