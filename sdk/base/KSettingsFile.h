#pragma once

#include "sdk/base/KString.h"

namespace duzsdk {

class KSortedStringMap;

// The folder of the SDK's settings files, process-wide. It starts empty, which
// puts the files at the root of the file system.
KString& KSettingsFolder();

// A small per-computer settings file of "[section]" lines and "key = value"
// lines; ";" starts a comment anywhere on a line. Section and key names
// compare without regard to case and must match whole. Values are read by
// scanning the file on each call, or from a cache of the whole file.
//
// A name that starts with "@" is per computer: "@Application.txt" names
// "<settings folder>/<computer name>.Application.txt".
class KSettingsFile {
public:
    // With `load`, the whole file is read into a cache (a missing file gives an empty cache).
    KSettingsFile(const char* name, bool load);
    // Saves the cache first when it is marked dirty.
    ~KSettingsFile();
    KSettingsFile(const KSettingsFile&) = delete;
    KSettingsFile& operator=(const KSettingsFile&) = delete;

    // The value of the key in the section; the default when the file, the section
    // or the key is missing (null when there is no default either). The text
    // stays valid until the next call or until the file object goes.
    const char* GetValue(const char* section, const char* key, const char* defaultValue);

    const KString& GetPath() const { return path_; }
    const KString& GetBackupPath() const { return backupPath_; }
    bool IsCached() const { return cache_ != nullptr; }

    // When set, the destructor writes the cache back.
    void SetDirty(bool dirty) { dirty_ = dirty; }
    bool IsDirty() const { return dirty_; }

    // Writes the cache: through the backup file, renamed over the settings file,
    // when the file exists; directly otherwise. False when nothing was written.
    bool SaveCache();

private:
    bool LoadCache();
    void FreeCache();

    KString path_;
    KString backupPath_;
    KString value_;                      // the last value a scan returned
    KSortedStringMap* cache_ = nullptr;  // section -> (key -> value copy)
    bool dirty_ = false;
};

}  // namespace duzsdk
