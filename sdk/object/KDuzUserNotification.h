// Messages for the user, collected while a file is imported or exported and
// handed out in one pass at the end: numbered entries, each with a list of
// detail texts, and the running list of details in the order they arrived.
// The base class collects and frees; the output hooks do nothing here and a
// derived class overrides them to show or write the collected text.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KString.h"

namespace duzsdk {

class KDuzObject;

struct KDuzNotificationEntry {
    int pending = 0;   // cleared whenever a detail is added
    KString text1;
    KString text2;
    KPointerArray<KString> details;   // owned
};

struct KDuzNotificationDetailRef {
    KDuzNotificationEntry* entry;
    int detailIndex;   // -1 when the detail text was empty
};

struct KDuzNotificationObjectIndex {
    KDuzObject* object;
    int index;
};

class KDuzUserNotification {
public:
    KDuzUserNotification(const KString& first, const KString& second);
    // Frees whatever a flush has not: a notification that was never started
    // still owns its entries and details.
    virtual ~KDuzUserNotification();
    KDuzUserNotification(const KDuzUserNotification&) = delete;
    KDuzUserNotification& operator=(const KDuzUserNotification&) = delete;

    // ---- hooks -------------------------------------------------------------
    // Where a log file would go: the system's temporary folder, ending in "/".
    virtual KString GetLogFilePath();
    // Called last by a flush; its answer is the flush's result.
    virtual bool FlushEnd() { return true; }
    // Called by a flush after FlushBegin, while everything is still collected.
    virtual void FlushOutput() {}
    virtual void FlushBegin() {}
    // Adds a detail about an object (index -1: the whole object). True here.
    virtual bool AddDetailFor(bool enabled, KDuzObject* object, int index);
    // AddDetailFor for every pair (every object with -1), all of them even
    // after a false answer; true when all answered true, or when disabled.
    virtual bool AddDetailsForPairs(bool enabled,
                                    const KTypedArray<KDuzNotificationObjectIndex>& pairs);
    virtual bool AddDetailsForObjects(bool enabled, const KPointerArray<KDuzObject>& objects);

    // ---- entries -----------------------------------------------------------
    // Nothing in the SDK creates entries; a derived class or an application
    // adds the ones it wants under its own ids. Null for a negative id or an
    // id that has an entry already.
    KDuzNotificationEntry* AddEntry(int id, const char* text1 = "", const char* text2 = "");
    // Null when the id has no entry.
    KDuzNotificationEntry* GetEntry(int id);
    int GetEntryCount() const { return mEntryList.Count(); }

    // Appends the detail to the entry (an empty text adds no detail string
    // but is still counted) and to the running list. The index in the running
    // list, or -1 for a negative id or an id without entry.
    int AddDetail(int id, const KString& detail);
    int GetAccumulatedCount() const { return mAccumulated.Count(); }
    // Null outside 0 .. count - 1.
    const KDuzNotificationDetailRef* GetAccumulated(int index) const;

    static KPointerArray<KString>& GetEntryDetails(KDuzNotificationEntry& entry) {
        return entry.details;
    }
    static void SetEntryPending(KDuzNotificationEntry& entry, int pending) {
        entry.pending = pending;
    }

    // ---- collecting and flushing --------------------------------------------
    // A notification collects idle until started; only a started one flushes.
    void Start() { mStarted = true; }
    bool IsStarted() const { return mStarted; }
    // Not started: false, nothing freed. Otherwise FlushBegin, FlushOutput,
    // everything collected freed, then FlushEnd, whose answer is kept and
    // returned; the notification is no longer started.
    bool Flush();
    bool GetLastResult() const { return mLastResult; }

    // Text a derived class builds for its output; freed by a flush. Null when none.
    void SetLogText(const char* text);
    const KString* GetLogText() const { return mLogText; }

    const KString& GetFirst() const { return mFirst; }
    const KString& GetSecond() const { return mSecond; }

private:
    void FreeCollected();

    KString mFirst;
    KString mSecond;
    KString* mLogText = nullptr;
    bool mStarted = false;
    bool mLastResult = false;
    KSortedPtrMap mEntries{20};                       // id -> KDuzNotificationEntry*
    KPointerArray<KDuzNotificationEntry> mEntryList;   // owned
    KPointerArray<KDuzNotificationDetailRef> mAccumulated;   // owned
};

}  // namespace duzsdk
