#include "sdk/geometry/KDuzSurfaceMaterial.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <iterator>
#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzSurfaceMaterial_internal");
constexpr const char* kMaterialErrors[] = {kDuzMaterialErrorTakeNode};

void CreateRowProperty(KDuzProperty& handle, KDuzObject* owner, const KDuzMaterialPropertyRow& row) {
    KDuzPropertyInitOnOwner(handle, owner, row.name, PropertyDataTypeFromName(row.dataType), "");
}

void SetRowDefault(KDuzProperty& handle, const KDuzMaterialPropertyRow& row) {
    if (handle.GetValueKind() == eValueKindDouble3) {
        const duzVectorTemplate3<double> value(row.value[0], row.value[1], row.value[2]);
        handle.SetValue(&value, eValueKindDouble3);
    } else {
        handle.SetValue(&row.value[0], eValueKindDouble);
    }
}

void SetShadingModel(KDuzTypedProperty<KString>& property, const char* name) {
    property.Set(KString(name));
}

// Copies one member's value from the same member of another material.
void CopyMember(KDuzProperty& target, const KDuzProperty& source) {
    if (target.GetValueKind() == eValueKindDouble3) {
        duzVectorTemplate3<double> value(0.0, 0.0, 0.0);
        if (source.GetValue(&value, eValueKindDouble3)) target.SetValue(&value, eValueKindDouble3);
    } else {
        double value = 0.0;
        if (source.GetValue(&value, eValueKindDouble)) target.SetValue(&value, eValueKindDouble);
    }
}

template <typename T>
T* CreateThrough(KDuzSdkManager* manager, const KClassId& classId, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<T*>(manager->CreateObject(classId, name));
}

template <typename T>
KDuzPlug* ConstructAndPostCreate(KDuzSdkManager* manager, const char* name) {
    T* material = new (std::nothrow) T(manager, name);
    if (material == nullptr) return nullptr;
    // The constructor made the internal object; this step keeps it.
    material->PostCreate();
    return material;
}

}  // namespace

// ---- internal --------------------------------------------------------------------

KDuzSurfaceMaterial_internal::KDuzSurfaceMaterial_internal(KDuzSurfaceMaterial* material)
    : KDuzTakeNodeContainer_internal(material) {}

KPlugTypeInfo* KDuzSurfaceMaterial_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzSurfaceMaterial_internal::GetStaticTypeNumber() const { return kTypeNumber; }

// ---- material ------------------------------------------------------------------------

KDuzSurfaceMaterial::KDuzSurfaceMaterial(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &mMaterialError), mMaterialError(kMaterialErrors, 1) {
    SetInternalObject(new KDuzSurfaceMaterial_internal(this));
    WrapInternalProperties();
    CreateDefaultTakeNode();
    mShadingModel.InitOnOwner(this, "ShadingModel", PropertyDataTypeFromName("KString"), "");
    mShadingModel.ModifyFlag(0, true);   // an empty flag set, as stored files expect
    mMultiLayer.InitOnOwner(this, "MultiLayer", PropertyDataTypeFromName("Bool"), "");
    mMultiLayer.ModifyFlag(0, true);
    InitDefaults();
}

KDuzSurfaceMaterial::~KDuzSurfaceMaterial() {
    // Own properties last to first, while the error object still lives.
    mMultiLayer.DestroyProperty();
    mShadingModel.DestroyProperty();
}

KDuzSurfaceMaterial* KDuzSurfaceMaterial::Create(KDuzSdkManager* manager, const char* name) {
    return CreateThrough<KDuzSurfaceMaterial>(manager, ClassId(), name);
}

KDuzPlug* KDuzSurfaceMaterial::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return ConstructAndPostCreate<KDuzSurfaceMaterial>(manager, name);
}

KClassId KDuzSurfaceMaterial::ClassId() { return KDuzClassIdOf(eDuzClassSurfaceMaterial); }

KClassId KDuzSurfaceMaterial::GetClassId() const { return ClassId(); }

void KDuzSurfaceMaterial::InitDefaults() {
    SetShadingModel(mShadingModel, "unknown");
    mMultiLayer.Set(false);
}

KDuzObject* KDuzSurfaceMaterial::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzSurfaceMaterial* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

KDuzSurfaceMaterial& KDuzSurfaceMaterial::CopyFrom(const KDuzSurfaceMaterial& source) {
    if (&source == this) return *this;
    // The container drops its curve links before the take nodes they point
    // into, and links the copied default take again.
    CopyTakeNodes(source);
    const int count = source.GetPropertyCount();
    for (int i = 0; i < count; ++i) {
        const KDuzProperty from = source.GetPropertyAt(i);
        if (!from.IsValid()) continue;
        KDuzProperty to = FindPropertyOfType(from.GetName(), from.GetDataType(), true);
        // A property of that name but another type stays; one of the source's
        // type is made beside it.
        if (!to.IsValid()) to = KDuzProperty::Create(this, from.GetName(), from.GetDataType(), "", true);
        if (to.IsValid()) to.CopyValue(from);
    }
    return *this;
}

bool KDuzSurfaceMaterial::IsEqual(const KDuzSurfaceMaterial& other) const {
    for (int i = 0; i < GetPropertyCount(); ++i) {
        const KDuzProperty mine = GetPropertyAt(i);
        const KDuzProperty theirs = other.FindPropertyOfType(mine.GetName(), mine.GetDataType(), true);
        if (!theirs.IsValid() || !mine.ValueEquals(theirs)) return false;
    }
    return true;
}

void KDuzSurfaceMaterial::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr || takeNode == nullptr) return;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KProperty* property = internal->GetProperty(i);
        if (property != nullptr && property->TestInfoFlag2()) AddPropertyCurveNodes(property, takeNode);
    }
}

// ---- Lambert -------------------------------------------------------------------------

KDuzSurfaceLambert::KDuzSurfaceLambert(KDuzSdkManager* manager, const char* name)
    : KDuzSurfaceMaterial(manager, name) {
    KDuzProperty* handles[] = {&mEmissiveColor, &mEmissiveFactor,   &mAmbientColor,
                               &mAmbientFactor, &mDiffuseColor,     &mDiffuseFactor,
                               &mBump,          &mTransparentColor, &mTransparencyFactor};
    static_assert(sizeof(handles) / sizeof(handles[0]) == std::size(kDuzLambertProperties));
    for (size_t i = 0; i < std::size(kDuzLambertProperties); ++i)
        CreateRowProperty(*handles[i], this, kDuzLambertProperties[i]);
    InitDefaults();
}

KDuzSurfaceLambert::~KDuzSurfaceLambert() {
    KDuzProperty* handles[] = {&mTransparencyFactor, &mTransparentColor, &mBump,
                               &mDiffuseFactor,      &mDiffuseColor,     &mAmbientFactor,
                               &mAmbientColor,       &mEmissiveFactor,   &mEmissiveColor};
    for (KDuzProperty* handle : handles) handle->DestroyProperty();
}

KDuzSurfaceLambert* KDuzSurfaceLambert::Create(KDuzSdkManager* manager, const char* name) {
    return CreateThrough<KDuzSurfaceLambert>(manager, ClassId(), name);
}

KDuzPlug* KDuzSurfaceLambert::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return ConstructAndPostCreate<KDuzSurfaceLambert>(manager, name);
}

KClassId KDuzSurfaceLambert::ClassId() { return KDuzClassIdOf(eDuzClassSurfaceLambert); }

KClassId KDuzSurfaceLambert::GetClassId() const { return ClassId(); }

void KDuzSurfaceLambert::SetLambertDefaults() {
    KDuzProperty* handles[] = {&mEmissiveColor, &mEmissiveFactor,   &mAmbientColor,
                               &mAmbientFactor, &mDiffuseColor,     &mDiffuseFactor,
                               &mBump,          &mTransparentColor, &mTransparencyFactor};
    for (size_t i = 0; i < std::size(kDuzLambertProperties); ++i)
        SetRowDefault(*handles[i], kDuzLambertProperties[i]);
}

void KDuzSurfaceLambert::InitDefaults() {
    KDuzSurfaceMaterial::InitDefaults();
    SetLambertDefaults();
    SetShadingModel(ShadingModelProperty(), "Lambert");
}

KDuzObject* KDuzSurfaceLambert::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzSurfaceLambert* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

KDuzSurfaceMaterial& KDuzSurfaceLambert::CopyFrom(const KDuzSurfaceMaterial& source) {
    KDuzSurfaceMaterial::CopyFrom(source);
    const auto* lambert = dynamic_cast<const KDuzSurfaceLambert*>(&source);
    if (lambert == nullptr || lambert == this) return *this;
    CopyMember(mEmissiveColor, lambert->mEmissiveColor);
    CopyMember(mEmissiveFactor, lambert->mEmissiveFactor);
    CopyMember(mAmbientColor, lambert->mAmbientColor);
    CopyMember(mAmbientFactor, lambert->mAmbientFactor);
    CopyMember(mDiffuseColor, lambert->mDiffuseColor);
    CopyMember(mDiffuseFactor, lambert->mDiffuseFactor);
    CopyMember(mBump, lambert->mBump);
    CopyMember(mTransparentColor, lambert->mTransparentColor);
    CopyMember(mTransparencyFactor, lambert->mTransparencyFactor);
    return *this;
}

// ---- Phong ---------------------------------------------------------------------------

KDuzSurfacePhong::KDuzSurfacePhong(KDuzSdkManager* manager, const char* name)
    : KDuzSurfaceLambert(manager, name) {
    KDuzProperty* handles[] = {&mSpecularColor, &mSpecularFactor, &mShininessExponent,
                               &mReflectionColor, &mReflectionFactor};
    static_assert(sizeof(handles) / sizeof(handles[0]) == std::size(kDuzPhongProperties));
    for (size_t i = 0; i < std::size(kDuzPhongProperties); ++i)
        CreateRowProperty(*handles[i], this, kDuzPhongProperties[i]);
    InitDefaults();
}

KDuzSurfacePhong::~KDuzSurfacePhong() {
    KDuzProperty* handles[] = {&mReflectionFactor, &mReflectionColor, &mShininessExponent,
                               &mSpecularFactor, &mSpecularColor};
    for (KDuzProperty* handle : handles) handle->DestroyProperty();
}

KDuzSurfacePhong* KDuzSurfacePhong::Create(KDuzSdkManager* manager, const char* name) {
    return CreateThrough<KDuzSurfacePhong>(manager, ClassId(), name);
}

KDuzPlug* KDuzSurfacePhong::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return ConstructAndPostCreate<KDuzSurfacePhong>(manager, name);
}

KClassId KDuzSurfacePhong::ClassId() { return KDuzClassIdOf(eDuzClassSurfacePhong); }

KClassId KDuzSurfacePhong::GetClassId() const { return ClassId(); }

void KDuzSurfacePhong::InitDefaults() {
    // The Lambert values of a new Phong come from the Lambert constructor;
    // this level sets the base defaults, its own values, then its name.
    KDuzSurfaceMaterial::InitDefaults();
    KDuzProperty* handles[] = {&mSpecularColor, &mSpecularFactor, &mShininessExponent,
                               &mReflectionColor, &mReflectionFactor};
    for (size_t i = 0; i < std::size(kDuzPhongProperties); ++i)
        SetRowDefault(*handles[i], kDuzPhongProperties[i]);
    SetShadingModel(ShadingModelProperty(), "Phong");
}

KDuzObject* KDuzSurfacePhong::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzSurfacePhong* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

KDuzSurfaceMaterial& KDuzSurfacePhong::CopyFrom(const KDuzSurfaceMaterial& source) {
    KDuzSurfaceLambert::CopyFrom(source);
    const auto* phong = dynamic_cast<const KDuzSurfacePhong*>(&source);
    if (phong == nullptr || phong == this) return *this;
    CopyMember(mSpecularColor, phong->mSpecularColor);
    CopyMember(mSpecularFactor, phong->mSpecularFactor);
    CopyMember(mShininessExponent, phong->mShininessExponent);
    CopyMember(mReflectionColor, phong->mReflectionColor);
    CopyMember(mReflectionFactor, phong->mReflectionFactor);
    return *this;
}

}  // namespace duzsdk
