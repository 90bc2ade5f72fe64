#include "sdk/io/KDuzSavedNames.h"

#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzPlug.h"
#include "sdk/object/KObjectList.h"

namespace duzsdk {

KDuzSavedNames::KDuzSavedNames(KDuzSdkManager* manager) {
    KObjectList* registry = manager != nullptr ? manager->GetObjectRegistry() : nullptr;
    if (registry == nullptr) return;
    const int count = registry->KPlug::GetSourceCount();
    mNames.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        KPlug* plug = registry->KPlug::GetSource(i);
        KDuzObject* object = KDuzGetPublicObject(plug);
        if (object != nullptr) mNames.emplace_back(HdlKObject::FromPlug(plug), std::string(object->GetName()));
    }
}

KDuzSavedNames::~KDuzSavedNames() {
    for (const auto& [handle, name] : mNames) {
        KDuzObject* object = KDuzGetPublicObject(handle.Get());
        if (object != nullptr && name != object->GetName()) object->SetName(name.c_str(), false);
    }
}

}  // namespace duzsdk
