#pragma once

#include <string>
#include <vector>

#include "sdk/base/KString.h"

namespace duzsdk {

// Walks the entries of one folder. As on Windows, an open search yields "."
// and ".." first, then the folder's entries sorted by name. A path may end in
// a pattern with "*" and "?" (compared without regard to case; "*.*" means
// every entry); without one, every entry is listed.
class KFolderEnumerator {
public:
    KFolderEnumerator() = default;
    ~KFolderEnumerator() { Close(); }
    KFolderEnumerator(const KFolderEnumerator&) = delete;
    KFolderEnumerator& operator=(const KFolderEnumerator&) = delete;

    // Starts a search; true when a first entry was found (any existing folder
    // has "." and ".."). An open search is closed first.
    bool Open(const char* folder);
    bool Open(const KString& folder) { return Open(folder.Buffer()); }
    // Moves to the next entry; false at the end, the search staying open.
    bool FindNext();
    // The current entry's name; "" when there is none.
    const char* GetName() const;
    // The current entry is a folder ("." and ".." included).
    bool IsFolder() const;
    bool IsOpen() const { return open_; }
    void Close();

    // Creates the folder (its parent must exist), then opens a search on it.
    bool CreateFolderAndOpen(const char* folder);

    // Deletes the files of the folder, then the folder itself; the result is
    // whether the folder was removed. Sub-folders are not descended into, so a
    // folder holding sub-folders stays.
    static bool DeleteTree(const char* folder);

private:
    struct Entry {
        std::string name;
        bool isFolder;
    };

    std::vector<Entry> entries_;
    size_t current_ = 0;
    bool open_ = false;
};

// True when the folder holds no entry besides "." and ".."; a folder that
// cannot be read counts as empty.
bool KFolderIsEmpty(const char* folder);

}  // namespace duzsdk
