#include "sdk/object/KDuzClassTree.h"

#include <cstring>

namespace duzsdk {

namespace {

constexpr bool RowsAreInOrder() {
    for (int i = 0; i < kDuzClassTreeCount; ++i) {
        if (kDuzClassTree[i].id != i) return false;
        if (kDuzClassTree[i].parent >= i) return false;
        if (i > 0 && kDuzClassTree[i].parent == eDuzClassNone) return false;
    }
    return kDuzClassTree[0].parent == eDuzClassNone;
}
static_assert(RowsAreInOrder(), "rows in enum order, one root first, parents before children");

// One handle per class; set once by the first manager and kept for the life
// of the process.
KClassId gClassIds[eDuzClassCount];
KDuzClassCreator gCreators[eDuzClassCount];

bool InTree(EDuzClass id) { return id >= 0 && id < eDuzClassCount; }

}  // namespace

KClassId KDuzClassIdOf(EDuzClass id) { return InTree(id) ? gClassIds[id] : KClassId(); }

EDuzClass KDuzClassTreeFind(const char* name) {
    if (name == nullptr) return eDuzClassNone;
    for (const KDuzClassTreeEntry& entry : kDuzClassTree) {
        if (std::strcmp(entry.name, name) == 0) return entry.id;
    }
    return eDuzClassNone;
}

bool KDuzClassTreeSetCreator(EDuzClass id, KDuzClassCreator creator) {
    if (!InTree(id)) return false;
    gCreators[id] = creator;
    gClassIds[id].SetCreator(creator);   // nothing yet when the tree is not registered
    return true;
}

bool KDuzRegisterClassTree(KClassRegistry& registry) {
    if (gClassIds[eDuzClassPlug].IsValid()) return true;
    KDuzInstallClassCreators();
    KClassTreeRow rows[eDuzClassCount];
    for (const KDuzClassTreeEntry& entry : kDuzClassTree) {
        rows[entry.id] = {&gClassIds[entry.id], entry.name,
                          entry.parent == eDuzClassNone ? nullptr : &gClassIds[entry.parent],
                          gCreators[entry.id]};
    }
    return registry.RegisterClassTree(rows, eDuzClassCount);
}

}  // namespace duzsdk
