#include "sdk/geometry/KDuzNurb.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNurb_internal");

}  // namespace

KPlugTypeInfo* KDuzNurb_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzNurb_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KDuzNurb::KDuzNurb(KDuzSdkManager* manager, const char* name) : KDuzNurbSurfaceBase(manager, name) {}

KDuzNurb::~KDuzNurb() = default;

KDuzNurb* KDuzNurb::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNurb*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNurb::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* nurb = new (std::nothrow) KDuzNurb(manager, name);
    if (nurb != nullptr) nurb->PostCreate();
    return nurb;
}

KClassId KDuzNurb::ClassId() { return KDuzClassIdOf(eDuzClassNurb); }

KClassId KDuzNurb::GetClassId() const { return ClassId(); }

void KDuzNurb::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzNurb_internal(this));
    KDuzGeometry::PostCreate();
}

void KDuzNurb::DestroyContents(bool recursive, bool dependents) {
    Reset();
    KDuzGeometry::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzNurb::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzNurb* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->Copy(*this);
    return copy;
}

bool KDuzNurb::InitControlPoints(int uCount, int uType, int vCount, int vType) {
    mUMultiplicity.Clear();
    mVMultiplicity.Clear();
    return InitGrid(uCount, uType, vCount, vType) && InitMultiplicities();
}

bool KDuzNurb::InitMultiplicities() {
    if (!KDuzNurbSizeArray(mUMultiplicity, GetUCount()) || !KDuzNurbSizeArray(mVMultiplicity, GetVCount())) {
        mUMultiplicity.Clear();
        mVMultiplicity.Clear();
        FailGrid();
        return false;
    }
    for (int& m : mUMultiplicity) m = 1;
    for (int& m : mVMultiplicity) m = 1;
    return true;
}

void KDuzNurb::Reset() {
    ResetGrid();
    mUMultiplicity.Clear();
    mVMultiplicity.Clear();
}

bool KDuzNurb::Copy(const KDuzNurb& other) {
    if (&other == this) return true;
    Reset();
    if (!CopyGrid(other) || !InitMultiplicities()) return false;
    CopyCommonPart(mUMultiplicity, other.mUMultiplicity);
    CopyCommonPart(mVMultiplicity, other.mVMultiplicity);
    return KDuzGeometry::CopyFrom(other);
}

}  // namespace duzsdk
