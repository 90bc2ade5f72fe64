// Per-vertex and per-polygon data of a geometry layer: normals, materials,
// texture coordinates, textures, colours, smoothing, visibility, polygon
// groups and user attributes. Each record holds a mapping mode (what one
// entry stands for), a reference mode (how entries are reached), a name, a
// typed direct array and an index array. The SDK manager owns every record;
// layers only point at them, so the factories below are the only way to
// make one that lives as long as the geometry needs it.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KString.h"
#include "sdk/base/KgeTVectorArray.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzRGBAColor.h"

#include <vector>

namespace duzsdk {

class KDuzSurfaceMaterial;
class KDuzTexture;

// Element types of a layer. 3 and 10 to 23 are texture channels, each with
// a texture element and a UV element of its own; 5 is the diffuse channel's
// UV element.
enum ELayerElementType : int {
    eLayerElementUndefined = 0,
    eLayerElementNormal = 1,
    eLayerElementMaterial = 2,
    eLayerElementDiffuseTextures = 3,
    eLayerElementPolygonGroup = 4,
    eLayerElementUV = 5,
    eLayerElementVertexColor = 6,
    eLayerElementSmoothing = 7,
    eLayerElementUserData = 8,
    eLayerElementVisibility = 9,
    eLayerElementEmissiveTextures = 10,
    eLayerElementEmissiveFactorTextures = 11,
    eLayerElementAmbientTextures = 12,
    eLayerElementAmbientFactorTextures = 13,
    eLayerElementDiffuseFactorTextures = 14,
    eLayerElementSpecularTextures = 15,
    eLayerElementNormalMapTextures = 16,
    eLayerElementSpecularFactorTextures = 17,
    eLayerElementShininessTextures = 18,
    eLayerElementBumpTextures = 19,
    eLayerElementTransparentTextures = 20,
    eLayerElementTransparencyFactorTextures = 21,
    eLayerElementReflectionTextures = 22,
    eLayerElementReflectionFactorTextures = 23,
    eLayerElementLast = 23,
};

// One row per element type: the section name under which files store the
// element (for texture channels the UV element's) and, for texture
// channels, the texture element's section name and the channel's data type.
struct KDuzLayerElementTypeRow {
    int type;
    const char* section;
    const char* textureSection;   // null when the type is no texture channel
    const char* channelDataType;  // null when the type is no texture channel
};
inline constexpr KDuzLayerElementTypeRow kDuzLayerElementTypes[] = {
    {1, "LayerElementNormal", nullptr, nullptr},
    {2, "LayerElementMaterial", nullptr, nullptr},
    {3, "LayerElementUV", "LayerElementTexture", "Diffuse"},
    {4, "LayerElementPolygonGroup", nullptr, nullptr},
    {5, "LayerElementUV", nullptr, nullptr},
    {6, "LayerElementColor", nullptr, nullptr},
    {7, "LayerElementSmoothing", nullptr, nullptr},
    {8, "LayerElementUserData", nullptr, nullptr},
    {9, "LayerElementVisibility", nullptr, nullptr},
    {10, "LayerElementEmissiveUV", "LayerElementEmissive_Textures", "Emissive"},
    {11, "LayerElementEmissiveFactorUV", "LayerElementEmissiveFactorTextures", "EmissiveFactor"},
    {12, "LayerElementAmbientUV", "LayerElementAmbientTextures", "Ambient"},
    {13, "LayerElementAmbientFactorUV", "LayerElementAmbientFactorTextures", "AmbientFactor"},
    {14, "LayerElementDiffuseFactorUV", "LayerElementDiffuseFactorTextures", "DiffuseFactor"},
    {15, "LayerElementSpecularUV", "LayerElementSpecularTextures", "Specular"},
    {16, "LayerElementNormalMapUV", "LayerElementNormalMapTextures", "NormalMap"},
    {17, "LayerElementSpecularFactorUV", "LayerElementSpecularFactorTextures", "SpecularFactor"},
    {18, "LayerElementShininessUV", "LayerElementShininessTextures", "Shininess"},
    {19, "LayerElementBumpUV", "LayerElementBumpTextures", "Bump"},
    {20, "LayerElementTransparentUV", "LayerElementTransparentTextures", "Transparent"},
    {21, "LayerElementTransparencyFactorUV", "LayerElementTransparencyFactorTextures",
     "TransparencyFactor"},
    {22, "LayerElementReflectionUV", "LayerElementReflectionTextures", "Reflection"},
    {23, "LayerElementReflectionFactorUV", "LayerElementReflectionFactorTextures",
     "ReflectionFactor"},
};

// The texture channels in type order: 3, then 10 to 23.
inline constexpr int kDuzTextureChannels[] = {3,  10, 11, 12, 13, 14, 15, 16,
                                              17, 18, 19, 20, 21, 22, 23};
inline constexpr int kDuzTextureChannelCount =
    static_cast<int>(sizeof(kDuzTextureChannels) / sizeof(kDuzTextureChannels[0]));

// True for 3 and 10 to 23.
constexpr bool KDuzIsTextureChannel(int type) {
    return type == eLayerElementDiffuseTextures ||
           (type >= eLayerElementEmissiveTextures && type <= eLayerElementReflectionFactorTextures);
}
// The row of a type; null for 0 and values above 23.
const KDuzLayerElementTypeRow* KDuzLayerElementTypeRowOf(int type);

// One texture coordinate.
class KgeUVVector {
public:
    double mU = 0.0;
    double mV = 0.0;

    KgeUVVector() = default;
    KgeUVVector(double u, double v) : mU(u), mV(v) {}
    KgeUVVector(const KgeUVVector&) = default;
    KgeUVVector& operator=(const KgeUVVector&) = default;

    void Assign(const KgeUVVector& other) { *this = other; }
    void Set(double u, double v) {
        mU = u;
        mV = v;
    }
    // True when either component differs.
    bool NotEqual(const KgeUVVector& other) const { return mU != other.mU || mV != other.mV; }
    bool operator==(const KgeUVVector& other) const { return !NotEqual(other); }
    bool operator!=(const KgeUVVector& other) const { return NotEqual(other); }
    // 0 is u, any other index v.
    double operator[](int i) const { return i == 0 ? mU : mV; }
};

// Direct arrays of the UV and vertex-colour elements. Add appends a copy and
// returns its index (-1 on failure); GetAt copies entry i out (a zero
// entry for a bad index).
class KgeUVVectorArray : public KTypedArray<KgeUVVector> {
public:
    KgeUVVectorArray() : KTypedArray<KgeUVVector>(16) {}
};

class KDuzRGBAColorArray : public KTypedArray<KDuzRGBAColor> {
public:
    KDuzRGBAColorArray() : KTypedArray<KDuzRGBAColor>(16) {}
};

// The fields every element kind shares.
class KDuzLayerElement {
public:
    // What one entry of the element stands for.
    enum EMappingMode : int {
        eNone = 0,             // "NoMappingInformation"
        eByControlPoint = 1,   // "ByVertice"
        eByPolygonVertex = 2,  // "ByPolygonVertex"
        eByPolygon = 3,        // "ByPolygon"
        eByEdge = 4,           // "ByEdge"
        eAllSame = 5,          // "AllSame"
    };
    // How a mapped position reaches its entry.
    enum EReferenceMode : int {
        eDirect = 0,         // the direct array, by position
        eIndex = 1,          // the index array, into an outside list
        eIndexToDirect = 2,  // the index array, into the direct array
    };

    KDuzLayerElement() = default;
    virtual ~KDuzLayerElement() = default;
    KDuzLayerElement(const KDuzLayerElement&) = delete;
    KDuzLayerElement& operator=(const KDuzLayerElement&) = delete;

    EMappingMode GetMappingMode() const { return mMappingMode; }
    void SetMappingMode(EMappingMode mode) { mMappingMode = mode; }
    EReferenceMode GetReferenceMode() const { return mReferenceMode; }
    void SetReferenceMode(EReferenceMode mode) { mReferenceMode = mode; }
    const char* GetName() const { return mName.Buffer(); }
    void SetName(const char* name) { mName = name != nullptr ? name : ""; }

    KTypedArray<int>& GetIndexArray() { return mIndexArray; }
    const KTypedArray<int>& GetIndexArray() const { return mIndexArray; }

    // Mapping mode, reference mode, name and index array.
    bool CopyCommonFrom(const KDuzLayerElement& other);

private:
    EMappingMode mMappingMode = eNone;
    EReferenceMode mReferenceMode = eDirect;
    KString mName;
    KTypedArray<int> mIndexArray{16};
};

// The file names of the modes; "NoMappingInformation" and "Direct" for
// values outside the tables.
const char* KDuzMappingModeName(int mode);
const char* KDuzReferenceModeName(int mode);

// An element kind with a direct array of type Array.
template <class Array>
class KDuzLayerElementTemplate : public KDuzLayerElement {
public:
    using DirectArray = Array;

    Array& GetDirectArray() { return mDirectArray; }
    const Array& GetDirectArray() const { return mDirectArray; }

    // The common fields and the direct array entry by entry (pointers stay
    // pointers, so a copy shares the objects they point at).
    bool CopyFrom(const KDuzLayerElementTemplate& other) {
        if (&other == this) return true;
        const bool common = CopyCommonFrom(other);
        return mDirectArray.Untyped().AssignFrom(other.mDirectArray.Untyped()) && common;
    }

private:
    Array mDirectArray;
};

class KDuzLayerElementNormal : public KDuzLayerElementTemplate<KgeTVectorArray> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListNormal;
};

class KDuzLayerElementMaterial
    : public KDuzLayerElementTemplate<KPointerArray<KDuzSurfaceMaterial>> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListMaterial;
};

class KDuzLayerElementPolygonGroup : public KDuzLayerElementTemplate<KTypedArray<int>> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListPolygonGroup;
};

class KDuzLayerElementUV : public KDuzLayerElementTemplate<KgeUVVectorArray> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListUV;
};

class KDuzLayerElementVertexColor : public KDuzLayerElementTemplate<KDuzRGBAColorArray> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListVertexColor;
};

class KDuzLayerElementSmoothing : public KDuzLayerElementTemplate<KTypedArray<bool>> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListSmoothing;
};

class KDuzLayerElementVisibility : public KDuzLayerElementTemplate<KTypedArray<bool>> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListVisibility;
};

class KDuzLayerElementTexture : public KDuzLayerElementTemplate<KPointerArray<KDuzTexture>> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListTexture;

    KDuzLayerElementTexture() { SetReferenceMode(eIndexToDirect); }

    // The data type of the channel the element is stored under; the null
    // handle until a layer stores it.
    const PropertyDataType& GetChannelTag() const { return mChannelTag; }
    void SetChannelTag(const PropertyDataType& tag) { mChannelTag = tag; }
    // An EBlendMode value of the textures ("BlendMode").
    int GetBlendMode() const { return mBlendMode; }
    void SetBlendMode(int mode) { mBlendMode = mode; }
    // "TextureAlpha".
    double GetAlpha() const { return mAlpha; }
    void SetAlpha(double alpha) { mAlpha = alpha; }

    // The common fields, the texture pointers, the channel tag, blend mode and alpha.
    bool CopyFrom(const KDuzLayerElementTexture& other);

private:
    PropertyDataType mChannelTag;
    int mBlendMode = 0;
    double mAlpha = 1.0;
};

// User attributes: one value array per attribute, typed by the attribute's
// data type (bool 1 byte, int and float 4 bytes, double 8 bytes; other
// kinds have no array).
class KDuzLayerElementUserData : public KDuzLayerElementTemplate<KPointerArray<KDynamicArray>> {
public:
    static constexpr EDuzLayerElementList kList = eDuzLayerElementListUserData;

    KDuzLayerElementUserData() = default;
    ~KDuzLayerElementUserData() override;

    // Takes the id and the data types, allocates the arrays, then copies the
    // names; a missing name is empty and names past the types are dropped.
    bool Init(int id, const std::vector<PropertyDataType>& dataTypes,
              const std::vector<KString>& names);
    // Everything of the other, modes and name included, so that copies of a
    // geometry keep how their user data is mapped.
    bool CopyFrom(const KDuzLayerElementUserData& other);
    // Frees every attribute array and name and empties the lists.
    void ClearAttributes();
    // Direct array sized to the attribute count, one empty value array per
    // attribute of kind 1 to 4, null for the others.
    bool AllocateArrays();
    // Sizes every value array to n zeroed entries; false when one fails or
    // n is negative.
    bool ResizeAllDirectArrays(int n);

    int GetId() const { return mId; }
    void SetId(int id) { mId = id; }
    int GetAttributeCount() const { return static_cast<int>(mDataTypes.size()); }
    // The null data type outside 0 .. count - 1.
    PropertyDataType GetDataType(int index) const;
    // Null outside 0 .. count - 1.
    const char* GetDataName(int index) const;
    // The value array of an attribute; null outside 0 .. count - 1 and for
    // kinds without values.
    KDynamicArray* GetDirectArrayOf(int index);
    const KDynamicArray* GetDirectArrayOf(int index) const;

    // Bytes per value of a value kind; 0 for kinds without values.
    static int ValueSizeOfKind(int kind);

private:
    int mId = 0;
    std::vector<PropertyDataType> mDataTypes;
    std::vector<KString> mNames;
};

// The SDK manager's layer-element factories. Each makes a new element of its
// kind with the given name, hands it to the manager (which frees it when it
// is destroyed) and returns it; null for a null manager or when allocation
// fails.
KDuzLayerElementNormal* KDuzCreateLayerElementNormal(KDuzSdkManager* manager, const char* name);
KDuzLayerElementMaterial* KDuzCreateLayerElementMaterial(KDuzSdkManager* manager, const char* name);
KDuzLayerElementPolygonGroup* KDuzCreateLayerElementPolygonGroup(KDuzSdkManager* manager,
                                                                 const char* name);
KDuzLayerElementUV* KDuzCreateLayerElementUV(KDuzSdkManager* manager, const char* name);
KDuzLayerElementVertexColor* KDuzCreateLayerElementVertexColor(KDuzSdkManager* manager,
                                                               const char* name);
KDuzLayerElementSmoothing* KDuzCreateLayerElementSmoothing(KDuzSdkManager* manager,
                                                           const char* name);
KDuzLayerElementVisibility* KDuzCreateLayerElementVisibility(KDuzSdkManager* manager,
                                                             const char* name);
// Reference mode 2, no channel tag, blend mode 0, alpha 1.
KDuzLayerElementTexture* KDuzCreateLayerElementTexture(KDuzSdkManager* manager, const char* name);
KDuzLayerElementUserData* KDuzCreateLayerElementUserData(KDuzSdkManager* manager, const char* name,
                                                         int id,
                                                         const std::vector<PropertyDataType>& dataTypes,
                                                         const std::vector<KString>& names);
// A copy of the other (null other: null).
KDuzLayerElementUserData* KDuzCreateLayerElementUserDataCopy(KDuzSdkManager* manager,
                                                             const char* name,
                                                             const KDuzLayerElementUserData* other);

}  // namespace duzsdk
