// What a material has made of its built-in properties: readers and writers
// are to leave them as shared slots, without handles or internal properties.
#pragma once

#include <string>

#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KObject.h"

namespace duztest {

// The names of the built-ins with a handle or an internal property made,
// each followed by a blank; empty when none is.
inline std::string MadeBuiltIns(const duzsdk::KDuzSurfaceMaterial* material) {
    std::string made;
    const duzsdk::KObject* internal = material->GetInternalObject();
    for (int i = 0; i < material->GetPropertyCount(); ++i) {
        const int slot = material->GetInternalSlotAt(i);
        if (slot < 0) continue;
        const bool property = slot < internal->GetPropertyCount() && internal->PeekProperty(slot) != nullptr;
        if (material->IsPropertyHandleMade(i) || property) made += std::string(material->GetPropertyNameAt(i)) + " ";
    }
    return made;
}

// The built-ins listed as shared slots of the internal object.
inline int ListedBuiltIns(const duzsdk::KDuzSurfaceMaterial* material) {
    int listed = 0;
    for (int i = 0; i < material->GetPropertyCount(); ++i) listed += material->GetInternalSlotAt(i) >= 0 ? 1 : 0;
    return listed;
}

// Asks for the handle of every property: the material as the handle-based
// readers and writers left it.
inline void MakeEveryHandle(duzsdk::KDuzSurfaceMaterial* material) {
    for (int i = 0; i < material->GetPropertyCount(); ++i) material->GetPropertyAt(i);
}

}  // namespace duztest
