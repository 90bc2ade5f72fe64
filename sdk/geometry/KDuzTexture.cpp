#include "sdk/geometry/KDuzTexture.h"

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertyObjectList.h"
#include "sdk/object/KPropertyTemplate.h"

#include <cstring>
#include <new>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzTexture_internal");

constexpr const char* kTextureUseNames[] = {"Color",      "Spherical Reflection Map", "Sphere Map",
                                            "Shadow Map", "Light Map",
                                            "Bump Map (NormalMap)"};
constexpr const char* kBlendModeNames[] = {"Translucent", "Additive", "Modulate", "Modulate2"};
constexpr const char* kMappingTypeNames[] = {"UV",          "Z",          "X",   "Y",
                                             "Spherical",   "Cylindrical", "Environment",
                                             "Projection",  "Box",        "Face", "None"};
constexpr const char* kWrapModeNames[] = {"Repeat", "Clamp"};

template <size_t N>
const char* NameAt(const char* const (&names)[N], int value) {
    return value >= 0 && static_cast<size_t>(value) < N ? names[value] : nullptr;
}

template <int Enumeration>
const char* EnumCallback(KPlug*, int index) {
    return KDuzTextureEnumName(Enumeration, index);
}

// Public texture use to the "TextureTypeUse" value and back.
constexpr int kUseToProperty[] = {0, 3, 4, 1, 2, 5};

int TextureUseToProperty(int use) {
    return use >= 1 && use <= 5 ? kUseToProperty[use] : 0;
}

int PropertyToTextureUse(int value) {
    for (int use = 1; use <= 5; ++use) {
        if (kUseToProperty[use] == value) return use;
    }
    return 0;
}

// "CurrentMappingType" of a planar mapping; -1 for a normal outside X, Y, Z.
int PlanarMappingType(int normal) {
    switch (normal) {
        case KDuzTexture::ePlanarNormalX: return eUnifiedMappingX;
        case KDuzTexture::ePlanarNormalY: return eUnifiedMappingY;
        case KDuzTexture::ePlanarNormalZ: return eUnifiedMappingZ;
        default: return -1;
    }
}

// The name without its trailing run of digits and blanks.
KString CutTrailingNumber(const char* name) {
    if (name == nullptr) return KString();
    size_t length = std::strlen(name);
    while (length > 0) {
        const char c = name[length - 1];
        if ((c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
            c == '\v')
            --length;
        else
            break;
    }
    return KString(std::string(name, length).c_str());
}

KFCurveNode* NewChannelNode(const char* name, const char* dataTypeName, int layerType) {
    return KFCurveNodeCreate(name, KDataTypeFindByName(dataTypeName), layerType);
}

KFCurveNode* NewCurveLeaf(const char* name, float value, float red, float green, float blue) {
    KFCurveNode* node = KFCurveNodeCreate(name);
    if (node == nullptr) return nullptr;
    KFCurve* curve = KFCurveCreate();
    if (curve != nullptr) {
        curve->SetDefaultValue(value);
        curve->SetColor(red, green, blue);
        node->SetCurve(curve);
    }
    return node;
}

// A vector channel node with curves "X", "Y", "Z" of the given default.
void AppendVectorNode(KFCurveNode* root, const char* name, int layerType, float value) {
    KFCurveNode* node = NewChannelNode(name, name, layerType);
    if (node == nullptr) return;
    static constexpr float kColors[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    static constexpr const char* kAxes[3] = {"X", "Y", "Z"};
    for (int axis = 0; axis < 3; ++axis) {
        KFCurveNode* leaf = NewCurveLeaf(kAxes[axis], value, kColors[axis][0], kColors[axis][1], kColors[axis][2]);
        if (leaf != nullptr) node->AddChild(leaf);
    }
    root->AddChild(node);
}

}  // namespace

const char* KDuzTextureEnumName(int enumeration, int value) {
    switch (enumeration) {
        case eDuzTextureEnumTextureUse: return NameAt(kTextureUseNames, value);
        case eDuzTextureEnumBlendMode: return NameAt(kBlendModeNames, value);
        case eDuzTextureEnumMappingType: return NameAt(kMappingTypeNames, value);
        case eDuzTextureEnumWrapMode: return NameAt(kWrapModeNames, value);
        default: return nullptr;
    }
}

// ---- internal --------------------------------------------------------------------

KDuzTexture_internal::KDuzTexture_internal(KDuzTexture* texture)
    : KDuzTakeNodeContainer_internal(texture), mTexture(texture) {
    const KDataType* vector = KDataTypeFindByName("Vector");
    const KDataType* number = KDataTypeFindByName("Number");
    auto keep = [this](EProperty which, KProperty* property) {
        mProperties[which] = HdlKObject::FromPlug(property);
        return property;
    };
    auto channel = [&](EProperty which, const char* name, const KDataType* type, int code) {
        return keep(which, AddNewProperty(name, code, type, true));
    };
    auto enumeration = [&](EProperty which, const char* name, KPropertyEnumCallback names) {
        KProperty* property = keep(which, new KPropertyTemplate<int>(this, name, nullptr, false, nullptr, 0, eKPropEnum));
        property->SetValueType(eKPropEnum);
        property->GetInfo().SetEnumList(names);
        return property;
    };
    auto flag = [&](EProperty which, const char* name) {
        return keep(which, new KPropertyTemplate<bool>(this, name));
    };

    const int vectorCode = vector != nullptr ? KDataTypeToPropertyTypeCode(vector) : eKPropVector3D;
    const int numberCode = number != nullptr ? KDataTypeToPropertyTypeCode(number) : eKPropDouble;
    channel(eTranslation, "Translation", vector, vectorCode);
    channel(eRotation, "Rotation", vector, vectorCode);
    if (KProperty* scaling = channel(eScaling, "Scaling", vector, vectorCode)) {
        const double one[4] = {1.0, 1.0, 1.0, 1.0};
        scaling->SetDoubles(one);
    }
    if (KProperty* alpha = channel(eTextureAlpha, "Texture alpha", number, numberCode)) alpha->SetDouble(1.0);
    enumeration(eTextureTypeUse, "TextureTypeUse", &EnumCallback<eDuzTextureEnumTextureUse>);
    enumeration(eCurrentTextureBlendMode, "CurrentTextureBlendMode", &EnumCallback<eDuzTextureEnumBlendMode>)
        ->SetInt(eBlendAdditive);
    flag(eUseMaterial, "UseMaterial");
    flag(eUseMipMap, "UseMipMap");
    enumeration(eCurrentMappingType, "CurrentMappingType", &EnumCallback<eDuzTextureEnumMappingType>);
    flag(eUVSwap, "UVSwap");
    enumeration(eWrapModeU, "WrapModeU", &EnumCallback<eDuzTextureEnumWrapMode>);
    enumeration(eWrapModeV, "WrapModeV", &EnumCallback<eDuzTextureEnumWrapMode>);
    keep(eTextureRotationPivot, new KPropertyTemplate<KgeTVector>(this, "TextureRotationPivot"));
    keep(eTextureScalingPivot, new KPropertyTemplate<KgeTVector>(this, "TextureScalingPivot"));
    KProperty* videos = keep(eVideoProperty, new KPropertyObjectList(this, "VideoProperty"));
    videos->SetValueType(eKPropObject);
}

KPlugTypeInfo* KDuzTexture_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzTexture_internal::GetStaticTypeNumber() const { return kTypeNumber; }

KProperty* KDuzTexture_internal::GetProperty(EProperty which) const {
    if (which < 0 || which >= ePropertyCount) return nullptr;
    return KPropertyCast(mProperties[which].Get());
}

// ---- texture -------------------------------------------------------------------------

KErrorState& KDuzTexture::SharedError() {
    static KErrorState error;
    return error;
}

KDuzTexture::KDuzTexture(KDuzSdkManager* manager, const char* name)
    : KDuzTakeNodeContainer(manager, name, &SharedError()) {
    SetInternalObject(new KDuzTexture_internal(this));
    CreateDefaultTakeNode();
    InitDefaults();
    WrapInternalProperties();
}

KDuzTexture::~KDuzTexture() = default;

KDuzTexture* KDuzTexture::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzTexture*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzTexture::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* texture = new (std::nothrow) KDuzTexture(manager, name);
    if (texture == nullptr) return nullptr;
    texture->PostCreate();
    return texture;
}

KClassId KDuzTexture::ClassId() { return KDuzClassIdOf(eDuzClassTexture); }

KClassId KDuzTexture::GetClassId() const { return ClassId(); }

KDuzTexture_internal* KDuzTexture::GetTextureInternal() const {
    // Null once the take nodes were cleared and the internal object released.
    return static_cast<KDuzTexture_internal*>(const_cast<KDuzObject_internal*>(GetInternalObject()));
}

void KDuzTexture::InitDefaults() {
    for (int& value : mCropping) value = 0;
    mAlphaSource = eAlphaNone;
    SetDefaultT(KgeTVector(0.0, 0.0, 0.0, 1.0));
    SetDefaultR(KgeTVector(0.0, 0.0, 0.0, 1.0));
    SetDefaultS(KgeTVector(1.0, 1.0, 1.0, 1.0));
    SetDefaultAlpha(1.0);
    // "CurrentMappingType" keeps its starting value here.
    mMappingType = eMappingUV;
    mPlanarMappingNormal = ePlanarNormalX;
    SetBoolProperty(KDuzTexture_internal::eUseMaterial, false);
    SetBoolProperty(KDuzTexture_internal::eUVSwap, false);
    mTextureType = "TextureVideoClip";
    SetModelUVScaling(1.0, 1.0);
    SetModelUVTranslation(0.0, 0.0);
    SetIntProperty(KDuzTexture_internal::eTextureTypeUse, 0);
    SetIntProperty(KDuzTexture_internal::eCurrentTextureBlendMode, eBlendAdditive);
    SetIntProperty(KDuzTexture_internal::eWrapModeU, eWrapRepeat);
    SetIntProperty(KDuzTexture_internal::eWrapModeV, eWrapRepeat);
}

// ---- internal property access ------------------------------------------------------

int KDuzTexture::GetIntProperty(KDuzTexture_internal::EProperty which) const {
    KDuzTexture_internal* internal = GetTextureInternal();
    KProperty* property = internal != nullptr ? internal->GetProperty(which) : nullptr;
    return property != nullptr ? property->GetInt() : 0;
}

void KDuzTexture::SetIntProperty(KDuzTexture_internal::EProperty which, int value) {
    KDuzTexture_internal* internal = GetTextureInternal();
    if (KProperty* property = internal != nullptr ? internal->GetProperty(which) : nullptr)
        property->SetInt(value);
}

bool KDuzTexture::GetBoolProperty(KDuzTexture_internal::EProperty which) const {
    return GetIntProperty(which) != 0;
}

void KDuzTexture::SetBoolProperty(KDuzTexture_internal::EProperty which, bool value) {
    SetIntProperty(which, value ? 1 : 0);
}

// ---- names ------------------------------------------------------------------------------

bool KDuzTexture::SetFileName(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    const KString copy(name);   // the text may be a connected video's own buffer
    mFileName = copy;
    KDuzTextureForwardFileName(this, mFileName.Buffer());
    return true;
}

bool KDuzTexture::SetRelativeFileName(const char* name) {
    if (name == nullptr || name[0] == '\0') return false;
    const KString copy(name);
    mRelativeFileName = copy;
    KDuzTextureForwardRelativeFileName(this, mRelativeFileName.Buffer());
    return true;
}

namespace {

KDuzVideo* FirstSourceVideo(KDuzTexture* texture) {
    if (texture == nullptr || !KDuzVideo::ClassId().IsValid()) return nullptr;
    return dynamic_cast<KDuzVideo*>(texture->GetSrcObject(KDuzVideo::ClassId(), 0));
}

bool SameText(const char* a, const char* b) {
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

void KDuzTextureForwardFileName(KDuzTexture* texture, const char* name) {
    // The video forwards back the same way; each side skips an equal name,
    // so the exchange stops after one pass each way.
    KDuzVideo* video = FirstSourceVideo(texture);
    if (video != nullptr && !SameText(video->GetFileName(), name)) video->SetFileName(name);
}

void KDuzTextureForwardRelativeFileName(KDuzTexture* texture, const char* name) {
    KDuzVideo* video = FirstSourceVideo(texture);
    if (video != nullptr && !SameText(video->GetRelativeFileName(), name)) video->SetRelativeFileName(name);
}

// ---- placement ----------------------------------------------------------------------------

void KDuzTexture::SetSwapUV(bool swap) { SetBoolProperty(KDuzTexture_internal::eUVSwap, swap); }

bool KDuzTexture::GetSwapUV() const { return GetBoolProperty(KDuzTexture_internal::eUVSwap); }

void KDuzTexture::SetCropping(int c0, int c1, int c2, int c3) {
    mCropping[0] = c0;
    mCropping[1] = c2;
    mCropping[2] = c1;
    mCropping[3] = c3;
}

void KDuzTexture::SetMappingType(int type) {
    mMappingType = type;
    int current;
    switch (type) {
        case eMappingPlanar:
            UpdatePlanarMappingType();
            return;
        case eMappingSpherical: current = eUnifiedMappingSpherical; break;
        case eMappingCylindrical: current = eUnifiedMappingCylindrical; break;
        case eMappingBox: current = eUnifiedMappingBox; break;
        case eMappingFace: current = eUnifiedMappingFace; break;
        case eMappingUV: current = eUnifiedMappingUV; break;
        case eMappingEnvironment: current = eUnifiedMappingEnvironment; break;
        default: current = eUnifiedMappingNone; break;
    }
    SetIntProperty(KDuzTexture_internal::eCurrentMappingType, current);
}

void KDuzTexture::UpdatePlanarMappingType() {
    const int current = PlanarMappingType(mPlanarMappingNormal);
    if (current >= 0) SetIntProperty(KDuzTexture_internal::eCurrentMappingType, current);
}

void KDuzTexture::SetPlanarMappingNormal(int normal) {
    mPlanarMappingNormal = normal;
    if (mMappingType == eMappingPlanar) UpdatePlanarMappingType();
}

int KDuzTexture::GetCurrentMappingType() const {
    return GetIntProperty(KDuzTexture_internal::eCurrentMappingType);
}

void KDuzTexture::SetMaterialMode(int mode) { SetBoolProperty(KDuzTexture_internal::eUseMaterial, mode == 0); }

int KDuzTexture::GetMaterialMode() const { return GetBoolProperty(KDuzTexture_internal::eUseMaterial) ? 0 : 1; }

void KDuzTexture::SetTextureUse(int use) {
    SetIntProperty(KDuzTexture_internal::eTextureTypeUse, TextureUseToProperty(use));
}

int KDuzTexture::GetTextureUse() const {
    return PropertyToTextureUse(GetIntProperty(KDuzTexture_internal::eTextureTypeUse));
}

void KDuzTexture::SetWrapMode(int u, int v) {
    SetIntProperty(KDuzTexture_internal::eWrapModeU, u);
    SetIntProperty(KDuzTexture_internal::eWrapModeV, v);
}

int KDuzTexture::GetWrapModeU() const { return GetIntProperty(KDuzTexture_internal::eWrapModeU); }

int KDuzTexture::GetWrapModeV() const { return GetIntProperty(KDuzTexture_internal::eWrapModeV); }

void KDuzTexture::SetBlendMode(int mode) { SetIntProperty(KDuzTexture_internal::eCurrentTextureBlendMode, mode); }

int KDuzTexture::GetBlendMode() const { return GetIntProperty(KDuzTexture_internal::eCurrentTextureBlendMode); }

void KDuzTexture::SetModelUVTranslation(double u, double v) {
    mModelUVTranslation[0] = u;
    mModelUVTranslation[1] = v;
}

void KDuzTexture::GetModelUVTranslation(double& u, double& v) const {
    u = mModelUVTranslation[0];
    v = mModelUVTranslation[1];
}

void KDuzTexture::SetModelUVScaling(double u, double v) {
    mModelUVScaling[0] = u;
    mModelUVScaling[1] = v;
}

void KDuzTexture::GetModelUVScaling(double& u, double& v) const {
    u = mModelUVScaling[0];
    v = mModelUVScaling[1];
}

// ---- animated values ------------------------------------------------------------------------

void KDuzTexture::SetDefaultVector(const char* name, const KgeTVector& value,
                                   KDuzTexture_internal::EProperty which) {
    static constexpr const char* kAxes[3] = {"X", "Y", "Z"};
    if (KDuzTakeNode* take = GetDefaultTakeNode()) {
        for (int axis = 0; axis < 3; ++axis) {
            if (KFCurve* curve = take->GetCurve(name, kAxes[axis]))
                curve->SetDefaultValue(static_cast<float>(value[axis]));
        }
    }
    KDuzTexture_internal* internal = GetTextureInternal();
    if (KProperty* property = internal != nullptr ? internal->GetProperty(which) : nullptr) {
        const double values[4] = {value[0], value[1], value[2], 1.0};
        property->SetDoubles(values);
    }
}

KgeTVector KDuzTexture::GetDefaultVector(const char* name) const {
    static constexpr const char* kAxes[3] = {"X", "Y", "Z"};
    KgeTVector result(0.0, 0.0, 0.0, 1.0);
    KDuzTakeNode* take = GetDefaultTakeNode();
    for (int axis = 0; take != nullptr && axis < 3; ++axis) {
        if (KFCurve* curve = take->GetCurve(name, kAxes[axis])) result[axis] = curve->GetDefaultValue();
    }
    return result;
}

void KDuzTexture::SetDefaultT(const KgeTVector& translation) {
    SetDefaultVector("Translation", translation, KDuzTexture_internal::eTranslation);
}
KgeTVector KDuzTexture::GetDefaultT() const { return GetDefaultVector("Translation"); }

void KDuzTexture::SetDefaultR(const KgeTVector& rotation) {
    SetDefaultVector("Rotation", rotation, KDuzTexture_internal::eRotation);
}
KgeTVector KDuzTexture::GetDefaultR() const { return GetDefaultVector("Rotation"); }

void KDuzTexture::SetDefaultS(const KgeTVector& scaling) {
    SetDefaultVector("Scaling", scaling, KDuzTexture_internal::eScaling);
}
KgeTVector KDuzTexture::GetDefaultS() const { return GetDefaultVector("Scaling"); }

void KDuzTexture::SetDefaultAlpha(double alpha) {
    if (KDuzTakeNode* take = GetDefaultTakeNode()) {
        if (KFCurve* curve = take->GetCurve("Alpha")) curve->SetDefaultValue(static_cast<float>(alpha));
    }
    KDuzTexture_internal* internal = GetTextureInternal();
    if (KProperty* property = internal != nullptr ? internal->GetProperty(KDuzTexture_internal::eTextureAlpha) : nullptr)
        property->SetDouble(alpha);
}

double KDuzTexture::GetDefaultAlpha() const {
    KDuzTexture_internal* internal = GetTextureInternal();
    KProperty* property = internal != nullptr ? internal->GetProperty(KDuzTexture_internal::eTextureAlpha) : nullptr;
    return property != nullptr ? property->GetDouble() : 1.0;
}

void KDuzTexture::SetTranslation(double u, double v) { SetDefaultT(KgeTVector(u, v, 0.0, 1.0)); }

void KDuzTexture::SetRotation(double u, double v, double w) { SetDefaultR(KgeTVector(u, v, w, 1.0)); }

void KDuzTexture::SetScale(double u, double v) { SetDefaultS(KgeTVector(u, v, 1.0, 1.0)); }

void KDuzTexture::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KFCurveNode* root = takeNode != nullptr ? takeNode->GetCurveNode() : nullptr;
    if (root == nullptr) return;
    // Appended without looking for existing children: this runs once, for
    // the take that starts the texture's animation.
    AppendVectorNode(root, "Translation", 1, 0.0f);
    AppendVectorNode(root, "Rotation", 2, 0.0f);
    AppendVectorNode(root, "Scaling", 3, 1.0f);
    if (KFCurveNode* alpha = NewCurveLeaf("Alpha", 1.0f, 0.75f, 0.0f, 0.0f)) root->AddChild(alpha);
}

// ---- whole object ---------------------------------------------------------------------------

KDuzTexture& KDuzTexture::CopyFrom(const KDuzTexture& other) {
    if (&other == this) return *this;
    CopyTakeNodes(other);
    SetFileName(other.GetFileName());
    // The relative name and the alpha do not come with the take nodes; a
    // copy without them would not equal its source.
    SetRelativeFileName(other.GetRelativeFileName());
    SetMediaName(other.GetMediaName());
    SetSwapUV(other.GetSwapUV());
    SetAlphaSource(other.GetAlphaSource());
    // Storage order as it is: the setter would swap the middle pair.
    for (int i = 0; i < 4; ++i) mCropping[i] = other.mCropping[i];
    SetMappingType(other.GetMappingType());
    SetPlanarMappingNormal(other.GetPlanarMappingNormal());
    SetMaterialMode(other.GetMaterialMode());
    SetTextureUse(other.GetTextureUse());
    SetBlendMode(other.GetBlendMode());
    SetWrapMode(other.GetWrapModeU(), other.GetWrapModeV());
    SetTextureType(other.GetTextureType());
    mModelUVScaling[0] = other.mModelUVScaling[0];
    mModelUVScaling[1] = other.mModelUVScaling[1];
    mModelUVTranslation[0] = other.mModelUVTranslation[0];
    mModelUVTranslation[1] = other.mModelUVTranslation[1];
    // The channel properties follow the copied curves.
    KDuzTexture_internal* mine = GetTextureInternal();
    KDuzTexture_internal* theirs = other.GetTextureInternal();
    if (mine != nullptr && theirs != nullptr) {
        for (auto which : {KDuzTexture_internal::eTranslation, KDuzTexture_internal::eRotation,
                           KDuzTexture_internal::eScaling}) {
            KProperty* to = mine->GetProperty(which);
            KProperty* from = theirs->GetProperty(which);
            double values[4] = {0.0, 0.0, 0.0, 1.0};
            if (to != nullptr && from != nullptr && from->GetDoubles(values)) to->SetDoubles(values);
        }
    }
    if (KProperty* alpha = mine != nullptr ? mine->GetProperty(KDuzTexture_internal::eTextureAlpha) : nullptr)
        alpha->SetDouble(other.GetDefaultAlpha());
    return *this;
}

KDuzObject* KDuzTexture::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzTexture* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

bool KDuzTexture::IsEqual(const KDuzTexture& other) const {
    if (!(CutTrailingNumber(GetName()) == CutTrailingNumber(other.GetName()))) return false;
    const KgeTVector t = GetDefaultT(), ot = other.GetDefaultT();
    const KgeTVector r = GetDefaultR(), orr = other.GetDefaultR();
    const KgeTVector s = GetDefaultS(), os = other.GetDefaultS();
    if (t[0] != ot[0] || t[1] != ot[1]) return false;
    if (r[0] != orr[0] || r[1] != orr[1] || r[2] != orr[2]) return false;
    if (s[0] != os[0] || s[1] != os[1]) return false;
    if (GetDefaultAlpha() != other.GetDefaultAlpha()) return false;
    for (int i = 0; i < 4; ++i) {
        if (mCropping[i] != other.mCropping[i]) return false;
    }
    if (mAlphaSource != other.mAlphaSource || mMappingType != other.mMappingType ||
        mPlanarMappingNormal != other.mPlanarMappingNormal)
        return false;
    if (GetBoolProperty(KDuzTexture_internal::eUseMaterial) !=
            other.GetBoolProperty(KDuzTexture_internal::eUseMaterial) ||
        GetIntProperty(KDuzTexture_internal::eTextureTypeUse) !=
            other.GetIntProperty(KDuzTexture_internal::eTextureTypeUse) ||
        GetSwapUV() != other.GetSwapUV())
        return false;
    if (!(mFileName == other.mFileName) || !(mMediaName == other.mMediaName) ||
        !(mTextureType == other.mTextureType))
        return false;
    return mModelUVScaling[0] == other.mModelUVScaling[0] && mModelUVScaling[1] == other.mModelUVScaling[1] &&
           mModelUVTranslation[0] == other.mModelUVTranslation[0] &&
           mModelUVTranslation[1] == other.mModelUVTranslation[1];
}

}  // namespace duzsdk
