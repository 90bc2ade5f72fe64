#pragma once

#include <cstdarg>
#include <string>
#include <vector>

// Small services the whole game shares: the settings reader, whole-file
// reads, path spelling and directory listing, and the diagnostic log.

// The diagnostic log. Its texts are discarded unless DUZ_GAME_LOG is set,
// in which case they go to standard error (useful when a level looks wrong).
void GameLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The value of key in [section] of the INI file; "<err>" when the file,
// section or key is missing.
std::string ReadSettings(const std::string& section, const std::string& key, const std::string& file);

// The whole file as text; false when the path is empty, the file cannot be
// opened or it is empty. Carriage returns are dropped so CRLF files read alike.
bool ReadTextFile(const std::string& path, std::string& text);

// Paths in the settings carry Windows backslashes; the file system wants
// slashes. Applied only where a path meets the file system.
std::string NativePath(const std::string& path);

// The name without its last four characters (the ".duz"/".bmp" extension);
// the empty text for names shorter than that.
std::string StripExtension(const std::string& name);

// The regular files of a directory (names only), sorted without regard to
// case so the load order is the same on every machine; empty when the
// directory cannot be listed.
std::vector<std::string> ListFiles(const std::string& directory);

// The current directory as the settings expect it: followed by nothing
// (values carry their own leading separator).
std::string CurrentDirectory();
