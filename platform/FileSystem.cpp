#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace duzplatform {

namespace fs = std::filesystem;

std::string ToNativePath(std::string_view path)
{
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool ListFolder(std::string_view folder, std::vector<FolderEntry>* entries)
{
    if (entries == nullptr)
        return false;
    entries->clear();
    const std::string native = ToNativePath(folder);
    if (native.empty())
        return false;

    std::error_code error;
    fs::directory_iterator it(native, error);
    if (error)
        return false;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            return false;
        std::error_code typeError;
        FolderEntry entry;
        entry.name = it->path().filename().string();
        entry.isFolder = it->is_directory(typeError);
        entries->push_back(std::move(entry));
    }
    if (error)
        return false;
    std::sort(entries->begin(), entries->end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

bool PathExists(std::string_view path)
{
    struct stat info;
    return !path.empty() && stat(ToNativePath(path).c_str(), &info) == 0;
}

bool IsFolder(std::string_view path)
{
    struct stat info;
    return !path.empty() && stat(ToNativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(std::string_view path)
{
    struct stat info;
    return !path.empty() && stat(ToNativePath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool MakeFolder(std::string_view path)
{
    return !path.empty() && mkdir(ToNativePath(path).c_str(), 0777) == 0;
}

bool MakeFolders(std::string_view path)
{
    if (path.empty())
        return false;
    const std::string native = ToNativePath(path);
    std::error_code error;
    fs::create_directories(native, error);
    return IsFolder(native);
}

bool DeleteFile(std::string_view path)
{
    if (path.empty())
        return false;
    const std::string native = ToNativePath(path);
    struct stat info;
    // unlink on a folder fails on Linux anyway; the check keeps the promise explicit.
    if (lstat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    return unlink(native.c_str()) == 0;
}

bool DeleteEmptyFolder(std::string_view path)
{
    return !path.empty() && rmdir(ToNativePath(path).c_str()) == 0;
}

bool CreateUniqueFile(std::string_view folder, std::string_view prefix, std::string* path)
{
    if (path == nullptr)
        return false;
    std::string pattern = ToNativePath(folder);
    if (!pattern.empty() && pattern.back() != '/')
        pattern += '/';
    pattern += ToNativePath(prefix);
    pattern += "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        return false;
    close(fd);
    *path = buffer.data();
    return true;
}

} // namespace duzplatform
