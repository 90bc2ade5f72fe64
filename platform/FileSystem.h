#pragma once

#include <string>
#include <string_view>
#include <vector>

// File and folder services behind the SDK's paths and folders. Every function
// accepts "\" as well as "/" as a separator, since stored paths may come from Windows.
namespace duzplatform {

// The path with every "\" turned into "/".
std::string ToNativePath(std::string_view path);

struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

// The entries of a folder, sorted by name (byte order) so results do not depend on
// the file system; "." and ".." are not listed. False when the folder cannot be read.
bool ListFolder(std::string_view folder, std::vector<FolderEntry>* entries);

bool PathExists(std::string_view path);
bool IsFolder(std::string_view path);
// True for anything that exists and is not a folder (a file, or a link to one).
bool IsFile(std::string_view path);

// Creates one folder; its parent must exist. False when it could not be made
// (an existing folder included).
bool MakeFolder(std::string_view path);
// Creates the folder and every missing parent; true when the folder exists at the end.
bool MakeFolders(std::string_view path);

// Deletes a file (never a folder); false when nothing was deleted.
bool DeleteFile(std::string_view path);
// Deletes an empty folder; false when nothing was deleted.
bool DeleteEmptyFolder(std::string_view path);

// Creates a new empty file with a unique name in the folder (mkstemp) and gives its path.
bool CreateUniqueFile(std::string_view folder, std::string_view prefix, std::string* path);

} // namespace duzplatform
