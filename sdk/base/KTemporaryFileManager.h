#pragma once

#include <string>
#include <unordered_set>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KString.h"

namespace duzsdk {

// A file the SDK made for its own use, such as media extracted from a DUZ file.
struct KTemporaryFile {
    KString path;
    bool deleteOnRelease = false;
};

// The process-wide list of temporary files. It listens for the object
// manager's notification that asks for the files to be released; releasing
// deletes a flagged file, and its folder when that is left empty. The
// process-wide manager keeps every file it lists.
class KTemporaryFileManager {
public:
    // GetInterface answers with the manager itself for this id.
    static constexpr int kInterfaceId = 2;
    // The notification code that releases every listed file.
    static constexpr int kReleaseCode = 15;

    // The object layer owns the notification; the base library cannot reach it,
    // so that layer hands in a link: called with true when a manager is made (to
    // register the manager) and with false when it goes (to unregister it). It
    // then forwards each notification to OnNotification. Returns whether the
    // manager is registered.
    using NotificationLink = bool (*)(KTemporaryFileManager* manager, bool attach);
    static void SetNotificationLink(NotificationLink link);

    // The process-wide manager, made on first use and destroyed at exit.
    static KTemporaryFileManager* GetInstance();

    // The process-wide manager keeps its files; a manager that does not is for
    // callers that own their files outright.
    explicit KTemporaryFileManager(bool keepFiles = true);
    virtual ~KTemporaryFileManager();
    KTemporaryFileManager(const KTemporaryFileManager&) = delete;
    KTemporaryFileManager& operator=(const KTemporaryFileManager&) = delete;

    // Itself for kInterfaceId, null otherwise.
    virtual KTemporaryFileManager* GetInterface(int interfaceId);
    // Deletes a manager made with new; the process-wide one is not deleted this way.
    virtual void Destroy();

    // Lists the path unless an entry with the same path (case-sensitive) exists;
    // true when it was added.
    bool AddFile(const char* path, bool deleteOnRelease);
    // Releases and forgets every entry (see the class comment).
    void ReleaseAll();
    // The object manager's notification: kReleaseCode releases everything.
    void OnNotification(int code);

    bool KeepsFiles() const { return keepFiles_; }
    int GetFileCount() const { return files_.Count(); }
    // Null for an index outside 0 .. count - 1.
    const KTemporaryFile* GetFile(int index) const { return files_.GetAt(index, nullptr); }

private:
    static void ReleaseEntry(const KTemporaryFile& file);

    bool keepFiles_;
    bool linked_ = false;
    KPointerArray<KTemporaryFile> files_{16};
    std::unordered_set<std::string> paths_;   // for the duplicate check
};

// Makes a new, empty file with a unique name (mkstemp) in the folder, or in the
// system's temporary folder when none is given, and gives its path.
bool KTemporaryFileCreate(const char* folder, const char* prefix, KString* outPath);

}  // namespace duzsdk
