// The document summary of a scene: six descriptive texts and an optional
// thumbnail, which it points at but does not own.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/object/KDuzObject.h"

namespace duzsdk {

class KDuzThumbnail;

class KDuzSceneInfo : public KDuzObject {
public:
    KDuzSceneInfo(KDuzSdkManager* manager, const char* name);
    ~KDuzSceneInfo() override;

    static KDuzSceneInfo* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    KDuzThumbnail* GetSceneThumbnail() const { return mThumbnail; }
    void SetSceneThumbnail(KDuzThumbnail* thumbnail) { mThumbnail = thumbnail; }
    // The six texts and the thumbnail pointer; both then share one thumbnail.
    void Copy(const KDuzSceneInfo& other);
    // Empty texts, no thumbnail.
    void Clear();

    // Read and assigned directly by the readers and writers ("MetaData").
    KString title;
    KString subject;
    KString author;
    KString keywords;
    KString revision;
    KString comment;

private:
    KDuzThumbnail* mThumbnail = nullptr;   // not owned
};

}  // namespace duzsdk
