#include "sdk/geometry/KDuzPatch.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzPatch_internal");

}  // namespace

KPlugTypeInfo* KDuzPatch_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzPatch_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzPatch::KDuzPatch(KDuzSdkManager* manager, const char* name) : KDuzGeometry(manager, name) {}

KDuzPatch::~KDuzPatch() = default;

KDuzPatch* KDuzPatch::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzPatch*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzPatch::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* patch = new (std::nothrow) KDuzPatch(manager, name);
    if (patch != nullptr) patch->PostCreate();
    return patch;
}

KClassId KDuzPatch::ClassId() { return KDuzClassIdOf(eDuzClassPatch); }

KClassId KDuzPatch::GetClassId() const { return ClassId(); }

void KDuzPatch::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzPatch_internal(this));
    KDuzGeometry::PostCreate();
}

void KDuzPatch::DestroyContents(bool recursive, bool dependents) {
    Reset();
    KDuzGeometry::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzPatch::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzPatch* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

bool KDuzPatch::InitControlPoints(int uCount, int uType, int vCount, int vType) {
    const long long points = static_cast<long long>(uCount) * vCount;
    if (uCount < 0 || vCount < 0 || points > kMaxControlPoints ||
        !KDuzGeometryBase::InitControlPoints(static_cast<int>(points))) {
        mUCount = mVCount = 0;
        KDuzGeometryBase::InitControlPoints(0);
        GetError().SetLastError(eParameterOutOfRange);
        return false;
    }
    mUCount = uCount;
    mVCount = vCount;
    mUType = uType;
    mVType = vType;
    return true;
}

void KDuzPatch::Reset() {
    mUType = mVType = ePatchLinear;
    mUCount = mVCount = 0;
    mUStep = mVStep = 0;
    mUClosed = mVClosed = false;
    mUCapped[0] = mUCapped[1] = mVCapped[0] = mVCapped[1] = false;
    mSurfaceDisplay = 4;
}

bool KDuzPatch::Copy(const KDuzPatch& other) {
    if (&other == this) return true;
    Reset();
    mSurfaceDisplay = other.mSurfaceDisplay;
    SetStep(other.mUStep, other.mVStep);
    SetClosed(other.mUClosed, other.mVClosed);
    SetUCapped(other.mUCapped[0], other.mUCapped[1]);
    SetVCapped(other.mVCapped[0], other.mVCapped[1]);
    if (!InitControlPoints(other.mUCount, other.mUType, other.mVCount, other.mVType)) return false;
    return KDuzGeometry::CopyFrom(other);
}

}  // namespace duzsdk
