#include "sdk/object/KClassId.h"

#include <cstring>
#include <vector>

namespace duzsdk {

namespace {

KClassIdPlugMatcher gPlugMatcher = nullptr;

// Every record ever made. Class ids are process-wide and handles are copied
// freely, so records stay until the process ends; keeping them listed also
// keeps them reachable for leak checkers.
std::vector<KClassIdInfo*>& AllRecords() {
    static auto* records = new std::vector<KClassIdInfo*>;
    return *records;
}

const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

void KClassIdSetPlugMatcher(KClassIdPlugMatcher matcher) { gPlugMatcher = matcher; }

KClassIdPlugMatcher KClassIdGetPlugMatcher() { return gPlugMatcher; }

// ---- filter ------------------------------------------------------------------

KClassIdInfoFilter::KClassIdInfoFilter(KClassIdInfo* info)
    : KPlugFilter(kClassIdFilterTypeNumber, info->className.Buffer()), mInfo(info) {}

bool KClassIdInfoFilter::Accepts(const KPlug* plug) const {
    if (plug == nullptr || gPlugMatcher == nullptr) return false;
    return gPlugMatcher(plug, mInfo);
}

// ---- records and handles -----------------------------------------------------

KClassIdInfo::KClassIdInfo(const char* name, KClassIdInfo* parentInfo,
                           KDuzClassCreator classCreator)
    : className(TextOrEmpty(name)), parent(parentInfo), creator(classCreator), filter(this) {}

void KClassId::Allocate(const char* name, const KClassId& parent, KDuzClassCreator creator) {
    auto* info = new KClassIdInfo(name, parent.mInfo, creator);
    AllRecords().push_back(info);
    mInfo = info;
}

int KClassIdGetRecordCount() { return static_cast<int>(AllRecords().size()); }

const char* KClassId::GetName() const { return mInfo != nullptr ? mInfo->className.Buffer() : ""; }

const char* KClassId::GetDuzTypeName() const {
    return mInfo != nullptr ? mInfo->duzTypeName.Buffer() : "";
}

const char* KClassId::GetDuzSubTypeName() const {
    return mInfo != nullptr ? mInfo->duzSubTypeName.Buffer() : "";
}

bool KClassId::SetDuzTypeName(const char* name) {
    if (mInfo == nullptr) return false;
    mInfo->duzTypeName = TextOrEmpty(name);
    return true;
}

bool KClassId::SetDuzSubTypeName(const char* name) {
    if (mInfo == nullptr) return false;
    mInfo->duzSubTypeName = TextOrEmpty(name);
    return true;
}

KClassId KClassId::GetParent() const {
    return KClassId(mInfo != nullptr ? mInfo->parent : nullptr);
}

KDuzClassCreator KClassId::GetCreator() const {
    return mInfo != nullptr ? mInfo->creator : nullptr;
}

bool KClassId::SetCreator(KDuzClassCreator creator) {
    if (mInfo == nullptr) return false;
    mInfo->creator = creator;
    return true;
}

KClassIdInfoFilter* KClassId::GetFilter() const {
    return mInfo != nullptr ? &mInfo->filter : nullptr;
}

bool KClassId::Is(const KClassId& target) const {
    if (target.mInfo == nullptr) return false;
    for (const KClassIdInfo* info = mInfo; info != nullptr; info = info->parent) {
        if (info == target.mInfo) return true;
    }
    return false;
}

KDuzPlug* KClassId::Create(KDuzSdkManager* manager, const char* name) const {
    for (const KClassIdInfo* info = mInfo; info != nullptr; info = info->parent) {
        if (info->creator != nullptr) return info->creator(manager, name);
    }
    return nullptr;
}

// ---- registry ----------------------------------------------------------------

int KClassIdByDuzType::Compare(const void* a, const void* b) {
    const auto* x = static_cast<const KClassIdInfo*>(a);
    const auto* y = static_cast<const KClassIdInfo*>(b);
    int order = x->duzTypeName.Compare(y->duzTypeName);
    return order != 0 ? order : x->duzSubTypeName.Compare(y->duzSubTypeName);
}

KClassId KClassRegistry::RegisterClass(const char* name, const KClassId& parent,
                                       KDuzClassCreator creator, const char* duzTypeName,
                                       const char* duzSubTypeName) {
    KClassId classId;
    classId.Allocate(name, parent, creator);
    mByName.Insert(classId.GetInfo());
    if (duzTypeName != nullptr && duzSubTypeName != nullptr) {
        classId.SetDuzTypeName(duzTypeName);
        classId.SetDuzSubTypeName(duzSubTypeName);
        mByDuzType.Insert(classId.GetInfo());
    }
    return classId;
}

bool KClassRegistry::AddClass(const KClassId& classId) {
    if (!classId.IsValid()) return false;
    mByName.Insert(classId.GetInfo());
    return true;
}

KClassId KClassRegistry::FindClassByDuzType(const char* duzTypeName,
                                            const char* duzSubTypeName) const {
    if (duzTypeName == nullptr || duzSubTypeName == nullptr) return KClassId();
    // A key record on the stack: only its two type names take part in the compare.
    KClassIdInfo key(nullptr, nullptr, nullptr);
    key.duzTypeName = duzTypeName;
    key.duzSubTypeName = duzSubTypeName;
    return KClassId(mByDuzType.Find(&key));
}

KClassId KClassRegistry::FindClassByName(const char* name) const {
    if (name == nullptr) return KClassId();
    KClassIdInfo key(name, nullptr, nullptr);
    return KClassId(mByName.Find(&key));
}

bool KClassRegistry::RegisterClassTree(const KClassTreeRow* rows, int count) {
    if (rows == nullptr || count <= 0) return false;
    for (int i = 0; i < count; ++i) {
        if (rows[i].handle == nullptr) return false;
    }
    // The first manager builds the tree; later managers reuse the handles.
    if (rows[0].handle->IsValid()) return true;
    for (int i = 0; i < count; ++i) {
        const KClassTreeRow& row = rows[i];
        if (row.handle->IsValid()) {
            AddClass(*row.handle);
            continue;
        }
        KClassId parent = row.parent != nullptr ? *row.parent : KClassId();
        *row.handle = RegisterClass(row.name, parent, row.creator);
    }
    return true;
}

void KClassRegistry::Clear() {
    mByName.Clear();
    mByDuzType.Clear();
}

}  // namespace duzsdk
