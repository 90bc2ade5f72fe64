#include "sdk/object/KDuzUserNotification.h"

#include "platform/SystemInfo.h"

#include <cstdint>

namespace duzsdk {

KDuzUserNotification::KDuzUserNotification(const KString& first, const KString& second)
    : mFirst(first), mSecond(second) {}

KDuzUserNotification::~KDuzUserNotification() { FreeCollected(); }

KString KDuzUserNotification::GetLogFilePath() {
    std::string folder = duzplatform::GetTemporaryFolder();
    return KString(folder.c_str());
}

bool KDuzUserNotification::AddDetailFor(bool, KDuzObject*, int) { return true; }

bool KDuzUserNotification::AddDetailsForPairs(
    bool enabled, const KTypedArray<KDuzNotificationObjectIndex>& pairs) {
    if (!enabled) return true;
    bool all = true;
    for (const KDuzNotificationObjectIndex& pair : pairs) {
        all = AddDetailFor(enabled, pair.object, pair.index) && all;
    }
    return all;
}

bool KDuzUserNotification::AddDetailsForObjects(bool enabled,
                                                const KPointerArray<KDuzObject>& objects) {
    if (!enabled) return true;
    bool all = true;
    for (KDuzObject* object : objects) all = AddDetailFor(enabled, object, -1) && all;
    return all;
}

KDuzNotificationEntry* KDuzUserNotification::AddEntry(int id, const char* text1,
                                                       const char* text2) {
    if (id < 0 || GetEntry(id) != nullptr) return nullptr;
    auto* entry = new KDuzNotificationEntry;
    entry->text1 = text1 != nullptr ? text1 : "";
    entry->text2 = text2 != nullptr ? text2 : "";
    if (mEntryList.Add(entry) < 0) {
        delete entry;
        return nullptr;
    }
    if (mEntries.Insert(static_cast<uintptr_t>(id), entry) == 0) {
        mEntryList.RemoveLast();
        delete entry;
        return nullptr;
    }
    return entry;
}

KDuzNotificationEntry* KDuzUserNotification::GetEntry(int id) {
    if (id < 0) return nullptr;
    return static_cast<KDuzNotificationEntry*>(mEntries.Find(static_cast<uintptr_t>(id)));
}

int KDuzUserNotification::AddDetail(int id, const KString& detail) {
    KDuzNotificationEntry* entry = GetEntry(id);
    if (entry == nullptr) return -1;
    entry->pending = 0;
    int detailIndex = -1;
    if (!detail.IsEmpty()) {
        auto* text = new KString(detail);
        detailIndex = entry->details.Add(text);
        if (detailIndex < 0) {
            delete text;
            return -1;
        }
    }
    auto* ref = new KDuzNotificationDetailRef{entry, detailIndex};
    int index = mAccumulated.Add(ref);
    if (index < 0) delete ref;
    return index;
}

const KDuzNotificationDetailRef* KDuzUserNotification::GetAccumulated(int index) const {
    return mAccumulated.GetAt(index, nullptr);
}

bool KDuzUserNotification::Flush() {
    if (!mStarted) return false;
    FlushBegin();
    FlushOutput();
    FreeCollected();
    mLastResult = FlushEnd();
    mStarted = false;
    return mLastResult;
}

void KDuzUserNotification::SetLogText(const char* text) {
    if (mLogText == nullptr) mLogText = new KString;
    *mLogText = text != nullptr ? text : "";
}

void KDuzUserNotification::FreeCollected() {
    for (KDuzNotificationDetailRef* ref : mAccumulated) delete ref;
    mAccumulated.Clear();
    for (KDuzNotificationEntry* entry : mEntryList) {
        for (KString* detail : entry->details) delete detail;
        delete entry;
    }
    mEntryList.Clear();
    mEntries.Clear();
    delete mLogText;
    mLogText = nullptr;
}

}  // namespace duzsdk
