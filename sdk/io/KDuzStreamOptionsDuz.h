// The option sets of the DUZ readers and writers. Besides their options
// they carry the take descriptions of a file and its scene summary.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

class KDuzSceneInfo;

// The take descriptions (owned) and the scene summary (not owned) of a set.
class KDuzOptionTakeInfo {
public:
    KDuzOptionTakeInfo() = default;
    ~KDuzOptionTakeInfo() { DeleteTakeDescriptions(); }
    KDuzOptionTakeInfo(const KDuzOptionTakeInfo&) = delete;
    KDuzOptionTakeInfo& operator=(const KDuzOptionTakeInfo&) = delete;

    int GetTakeDescriptionCount() const { return mTakes.Count(); }
    // Null outside 0 .. count - 1.
    KDuzTakeDescription* GetTakeDescription(int index) const { return mTakes.GetAt(index, nullptr); }
    // Takes ownership of the record; false (and the record deleted) for null
    // or when it cannot be stored.
    bool AddTakeDescription(KDuzTakeDescription* take);
    // Appends a copy of the record.
    bool AddTakeDescriptionCopy(const KDuzTakeDescription& take);
    // Deletes every record, the last first, and empties the array.
    void DeleteTakeDescriptions() { KDuzTakeDescriptionArrayDeleteAll(mTakes); }
    KPointerArray<KDuzTakeDescription>& GetTakeDescriptions() { return mTakes; }
    const KPointerArray<KDuzTakeDescription>& GetTakeDescriptions() const { return mTakes; }

    KDuzSceneInfo* GetSceneInfo() const { return mSceneInfo; }
    void SetSceneInfo(KDuzSceneInfo* info) { mSceneInfo = info; }

    // Forgets the summary and deletes the records.
    void Clear();
    // Replaces this set's records by copies of the other's, so that each set
    // deletes only its own; the summary pointer is shared.
    void CopyFrom(const KDuzOptionTakeInfo& other);

private:
    KPointerArray<KDuzTakeDescription> mTakes{16};
    KDuzSceneInfo* mSceneInfo = nullptr;
};

class KDuzStreamOptionsDuzReader : public KDuzStreamOptions {
public:
    KDuzStreamOptionsDuzReader(KDuzSdkManager* manager, const char* name);
    ~KDuzStreamOptionsDuzReader() override;

    static KDuzStreamOptionsDuzReader* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Clone type 2: the options, copies of the take descriptions and the
    // same scene summary.
    KDuzObject* Clone(int mode) override;
    // Deletes the take descriptions, forgets the summary, sets every switch
    // but "MERGE LAYER AND TIMEWARP" and "TEMPLATE", zeroes the counts and
    // empties the texts.
    void Reset() override;

    KDuzOptionTakeInfo& GetTakeInfo() { return mTakeInfo; }
    const KDuzOptionTakeInfo& GetTakeInfo() const { return mTakeInfo; }
    int GetTakeDescriptionCount() const { return mTakeInfo.GetTakeDescriptionCount(); }
    KDuzTakeDescription* GetTakeDescription(int index) const { return mTakeInfo.GetTakeDescription(index); }
    bool AddTakeDescription(KDuzTakeDescription* take) { return mTakeInfo.AddTakeDescription(take); }
    void DeleteTakeDescriptions() { mTakeInfo.DeleteTakeDescriptions(); }
    KDuzSceneInfo* GetSceneInfo() const { return mTakeInfo.GetSceneInfo(); }
    void SetSceneInfo(KDuzSceneInfo* info) { mTakeInfo.SetSceneInfo(info); }

private:
    KDuzOptionTakeInfo mTakeInfo;
};

class KDuzStreamOptionsDuzWriter : public KDuzStreamOptions {
public:
    KDuzStreamOptionsDuzWriter(KDuzSdkManager* manager, const char* name);
    ~KDuzStreamOptionsDuzWriter() override;

    static KDuzStreamOptionsDuzWriter* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    KDuzObject* Clone(int mode) override;
    // As the reader set, with "TEMPLATE" and "EMBEDDED" off.
    void Reset() override;

    KDuzOptionTakeInfo& GetTakeInfo() { return mTakeInfo; }
    const KDuzOptionTakeInfo& GetTakeInfo() const { return mTakeInfo; }
    int GetTakeDescriptionCount() const { return mTakeInfo.GetTakeDescriptionCount(); }
    KDuzTakeDescription* GetTakeDescription(int index) const { return mTakeInfo.GetTakeDescription(index); }
    bool AddTakeDescription(KDuzTakeDescription* take) { return mTakeInfo.AddTakeDescription(take); }
    void DeleteTakeDescriptions() { mTakeInfo.DeleteTakeDescriptions(); }
    KDuzSceneInfo* GetSceneInfo() const { return mTakeInfo.GetSceneInfo(); }
    void SetSceneInfo(KDuzSceneInfo* info) { mTakeInfo.SetSceneInfo(info); }

private:
    KDuzOptionTakeInfo mTakeInfo;
};

}  // namespace duzsdk
