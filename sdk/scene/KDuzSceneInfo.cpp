#include "sdk/scene/KDuzSceneInfo.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

KDuzSceneInfo::KDuzSceneInfo(KDuzSdkManager* manager, const char* name) : KDuzObject(manager, name) {}

KDuzSceneInfo::~KDuzSceneInfo() = default;

KDuzSceneInfo* KDuzSceneInfo::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzSceneInfo*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzSceneInfo::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* info = new KDuzSceneInfo(manager, name);
    info->PostCreate();
    return info;
}

KClassId KDuzSceneInfo::ClassId() { return KDuzClassIdOf(eDuzClassSceneInfo); }

KClassId KDuzSceneInfo::GetClassId() const { return ClassId(); }

void KDuzSceneInfo::Copy(const KDuzSceneInfo& other) {
    if (&other == this) return;
    title = other.title;
    subject = other.subject;
    author = other.author;
    keywords = other.keywords;
    revision = other.revision;
    comment = other.comment;
    mThumbnail = other.mThumbnail;
}

void KDuzSceneInfo::Clear() {
    title = "";
    subject = "";
    author = "";
    keywords = "";
    revision = "";
    comment = "";
    mThumbnail = nullptr;
}

}  // namespace duzsdk
