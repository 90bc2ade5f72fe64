#include "sdk/scene/KDuzSkeleton.h"

#include "sdk/base/KStringList.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzSkeleton_internal");

bool IsLimbOrLimbNode(int type) {
    return type == KDuzSkeleton::eLimb || type == KDuzSkeleton::eLimbNode;
}

bool ReadsAsRoot(int type) { return type == KDuzSkeleton::eRoot || type == KDuzSkeleton::eEffector; }

}  // namespace

class KDuzSkeleton_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzSkeleton_internal(KDuzObject* object)
        : KDuzNodeAttribute_internal(object),
          size(new KPropertyTemplate<double>(this, "Size")),
          limbLength(new KPropertyTemplate<double>(this, "LimbLength")) {}

    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }

    // Owned by the property array.
    KPropertyTemplate<double>* size;
    KPropertyTemplate<double>* limbLength;
};

namespace {

KDuzSkeleton_internal* Twin(const KDuzSkeleton* skeleton) {
    return static_cast<KDuzSkeleton_internal*>(const_cast<KDuzSkeleton*>(skeleton)->GetInternalObject());
}

}  // namespace

KDuzSkeleton::KDuzSkeleton(KDuzSdkManager* manager, const char* name)
    : KDuzNodeAttribute(manager, name) {
    SetInternalObject(new KDuzSkeleton_internal(this));
    Reset();
    WrapInternalProperties();
}

KDuzSkeleton::~KDuzSkeleton() = default;

KDuzSkeleton* KDuzSkeleton::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzSkeleton*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzSkeleton::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* skeleton = new KDuzSkeleton(manager, name);
    skeleton->PostCreate();
    return skeleton;
}

KClassId KDuzSkeleton::ClassId() { return KDuzClassIdOf(eDuzClassSkeleton); }

KClassId KDuzSkeleton::GetClassId() const { return ClassId(); }

KString KDuzSkeleton::GetTypeName() const {
    if (mType == eLimb) return KString("Limb");
    if (mType == eLimbNode) return KString("LimbNode");
    if (ReadsAsRoot(mType)) return KString("Root");
    return KString();
}

KStringList KDuzSkeleton::GetTypeFlags() const {
    KStringList list;
    if (IsLimbOrLimbNode(mType)) {
        list.Append("Skeleton");
    } else if (ReadsAsRoot(mType)) {
        list.Append("Null");
        list.Append("Skeleton");
        list.Append("Root");
    }
    return list;
}

void KDuzSkeleton::SetColorFlagForType() {
    KDuzSkeleton_internal* twin = Twin(this);
    if (twin == nullptr) return;
    twin->GetColorProperty()->SetFlags(kColorFlagNotLimb, !IsLimbOrLimbNode(mType));
}

void KDuzSkeleton::Reset() {
    mType = eRoot;
    if (KDuzSkeleton_internal* twin = Twin(this)) {
        const KDuzRGBAColor grey = GetLimbNodeColorDefault();
        twin->SetColor(KgeRGBVector(grey.mRed, grey.mGreen, grey.mBlue, 1.0));
        twin->size->Set(100.0);
        twin->limbLength->Set(GetLimbLengthDefault());
    }
    SetColorFlagForType();
    mLimbLengthSet = false;
    mSizeSet = false;
    mColorSet = false;
    mTypeSet = false;
}

void KDuzSkeleton::SetSkeletonType(ESkeletonType type) {
    mType = type;
    mTypeSet = true;
    SetColorFlagForType();
}

bool KDuzSkeleton::SetLimbLength(double length) {
    KDuzSkeleton_internal* twin = Twin(this);
    if (mType != eLimb || twin == nullptr) return false;
    twin->limbLength->Set(length);
    mLimbLengthSet = true;
    return true;
}

double KDuzSkeleton::GetLimbLength() const {
    KDuzSkeleton_internal* twin = Twin(this);
    return twin != nullptr ? twin->limbLength->Get() : GetLimbLengthDefault();
}

bool KDuzSkeleton::SetSize(double size) {
    KDuzSkeleton_internal* twin = Twin(this);
    if (twin == nullptr) return false;
    twin->size->Set(size);
    mSizeSet = true;
    return true;
}

double KDuzSkeleton::GetSize() const {
    KDuzSkeleton_internal* twin = Twin(this);
    return twin != nullptr ? twin->size->Get() : 100.0;
}

bool KDuzSkeleton::SetLimbNodeColor(const KDuzRGBAColor& color) {
    KDuzSkeleton_internal* twin = Twin(this);
    if (!IsLimbOrLimbNode(mType) || twin == nullptr) return false;
    twin->SetColor(KgeRGBVector(color.mRed, color.mGreen, color.mBlue, 1.0));
    mColorSet = true;
    return true;
}

KDuzRGBAColor KDuzSkeleton::GetLimbNodeColor() const {
    KDuzSkeleton_internal* twin = Twin(this);
    if (twin == nullptr) return GetLimbNodeColorDefault();
    const KgeRGBVector stored = twin->GetColor();
    return KDuzRGBAColor(stored[0], stored[1], stored[2], 1.0);
}

void KDuzSkeleton::Copy(const KDuzSkeleton& other) {
    if (&other == this) return;
    Reset();
    SetSkeletonType(other.mType);
    SetSize(other.GetSize());
    if (other.mType == eLimb) SetLimbLength(other.GetLimbLength());
    if (IsLimbOrLimbNode(other.mType)) SetLimbNodeColor(other.GetLimbNodeColor());
    mLimbLengthSet = other.mLimbLengthSet;
    mSizeSet = other.mSizeSet;
    mColorSet = other.mColorSet;
    mTypeSet = other.mTypeSet;
}

KDuzObject* KDuzSkeleton::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzSkeleton* clone = Create(GetSdkManager(), "");
    if (clone != nullptr) clone->Copy(*this);
    return clone;
}

}  // namespace duzsdk
