#include "sdk/base/KFolderEnumerator.h"

#include <fnmatch.h>

#include <string_view>

#include "platform/FileSystem.h"
#include "sdk/base/KPath.h"

namespace duzsdk {

namespace {

bool IsDotEntry(const std::string& name)
{
    return name == "." || name == "..";
}

// Splits "folder/pattern" when the last part holds a wildcard; the folder of
// an empty path is the current one.
void SplitPattern(std::string_view path, std::string* folder, std::string* pattern)
{
    const size_t separator = path.find_last_of("/\\");
    const std::string_view last =
        separator == std::string_view::npos ? path : path.substr(separator + 1);
    if (last.find_first_of("*?") == std::string_view::npos) {
        *folder = path;
        pattern->clear();
    } else {
        *folder = separator == std::string_view::npos ? std::string_view()
                                                       : path.substr(0, separator + 1);
        *pattern = last;
        if (*pattern == "*.*")
            pattern->assign(1, '*');   // every entry, with or without a dot, as on Windows
    }
    if (folder->empty())
        folder->assign(1, '.');
}

bool Matches(const std::string& pattern, const std::string& name)
{
    return pattern.empty() || fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

}  // namespace

bool KFolderEnumerator::Open(const char* folder)
{
    Close();
    std::string folderPath;
    std::string pattern;
    SplitPattern(folder != nullptr ? folder : "", &folderPath, &pattern);

    std::string clean = KPathClean(folderPath.c_str()).Buffer();
    if (clean.empty()) {
        if (!KPathIsRelative(folderPath.c_str()))
            return false;   // it climbs above its root
        clean.assign(1, '.');
    }
    std::vector<duzplatform::FolderEntry> listing;
    if (!duzplatform::ListFolder(clean, &listing))
        return false;

    entries_.reserve(listing.size() + 2);
    for (const char* dot : {".", ".."}) {
        if (Matches(pattern, dot))
            entries_.push_back(Entry{dot, true});
    }
    for (duzplatform::FolderEntry& entry : listing) {
        if (Matches(pattern, entry.name))
            entries_.push_back(Entry{std::move(entry.name), entry.isFolder});
    }
    if (entries_.empty())
        return false;
    current_ = 0;
    open_ = true;
    return true;
}

bool KFolderEnumerator::FindNext()
{
    if (!open_ || current_ >= entries_.size())
        return false;
    ++current_;
    return current_ < entries_.size();
}

const char* KFolderEnumerator::GetName() const
{
    return open_ && current_ < entries_.size() ? entries_[current_].name.c_str() : "";
}

bool KFolderEnumerator::IsFolder() const
{
    return open_ && current_ < entries_.size() && entries_[current_].isFolder;
}

void KFolderEnumerator::Close()
{
    entries_.clear();
    current_ = 0;
    open_ = false;
}

bool KFolderEnumerator::CreateFolderAndOpen(const char* folder)
{
    duzplatform::MakeFolder(KPathClean(folder).Buffer());
    return Open(folder);
}

bool KFolderEnumerator::DeleteTree(const char* folder)
{
    const KString path = KPathClean(folder);
    if (path.IsEmpty())
        return false;
    std::vector<duzplatform::FolderEntry> listing;
    if (duzplatform::ListFolder(path.Buffer(), &listing)) {
        std::string file = path.Buffer();
        file += '/';
        const size_t folderLength = file.size();
        for (const duzplatform::FolderEntry& entry : listing) {
            // Entries are skipped by name: the order of a listing is no promise.
            if (IsDotEntry(entry.name) || entry.isFolder)
                continue;
            file.resize(folderLength);
            file += entry.name;
            duzplatform::DeleteFile(file);
        }
    }
    return duzplatform::DeleteEmptyFolder(path.Buffer());
}

bool KFolderIsEmpty(const char* folder)
{
    std::vector<duzplatform::FolderEntry> listing;
    if (!duzplatform::ListFolder(KPathClean(folder).Buffer(), &listing))
        return true;
    for (const duzplatform::FolderEntry& entry : listing) {
        if (!IsDotEntry(entry.name))
            return false;
    }
    return true;
}

}  // namespace duzsdk
