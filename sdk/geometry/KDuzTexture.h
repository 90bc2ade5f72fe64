// A texture: the image file it names and how it lies on a surface (UV
// translation, rotation and scaling, which can be animated, alpha, mapping,
// wrap and blend modes, and what it is used for). A node holds its textures
// as connected sources; a layer's texture element maps polygons to them. A
// connected video keeps its file names in step with the texture's.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/object/KPlugHandle.h"

namespace duzsdk {

class KDuzSdkManager;
class KDuzTexture;
class KProperty;

// Enumerations of the texture's enum properties.
enum ETextureUse6 : int {
    eTextureUse6Standard = 0,
    eTextureUse6SphericalReflectionMap = 1,
    eTextureUse6SphereReflectionMap = 2,
    eTextureUse6ShadowMap = 3,
    eTextureUse6LightMap = 4,
    eTextureUse6BumpNormalMap = 5,
};
enum EBlendMode : int { eBlendTranslucent = 0, eBlendAdditive = 1, eBlendModulate = 2, eBlendModulate2 = 3 };
enum EUnifiedMappingType : int {
    eUnifiedMappingUV = 0,
    eUnifiedMappingZ = 1,
    eUnifiedMappingX = 2,
    eUnifiedMappingY = 3,
    eUnifiedMappingSpherical = 4,
    eUnifiedMappingCylindrical = 5,
    eUnifiedMappingEnvironment = 6,
    eUnifiedMappingProjection = 7,
    eUnifiedMappingBox = 8,
    eUnifiedMappingFace = 9,
    eUnifiedMappingNone = 10,
};
enum EWrapMode : int { eWrapRepeat = 0, eWrapClamp = 1 };

// Which enumeration KDuzTextureEnumName reads.
enum EDuzTextureEnum : int {
    eDuzTextureEnumTextureUse = 0,
    eDuzTextureEnumBlendMode = 1,
    eDuzTextureEnumMappingType = 2,
    eDuzTextureEnumWrapMode = 3,
};
// The text of a value of one of the four enumerations; null for any other value.
const char* KDuzTextureEnumName(int enumeration, int value);

class KDuzTexture_internal : public KDuzTakeNodeContainer_internal {
public:
    // Creates the fifteen properties with their starting values.
    explicit KDuzTexture_internal(KDuzTexture* texture);
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;

    enum EProperty : int {
        eTranslation,
        eRotation,
        eScaling,
        eTextureAlpha,
        eTextureTypeUse,
        eCurrentTextureBlendMode,
        eUseMaterial,
        eUseMipMap,
        eCurrentMappingType,
        eUVSwap,
        eWrapModeU,
        eWrapModeV,
        eTextureRotationPivot,
        eTextureScalingPivot,
        eVideoProperty,
        ePropertyCount,
    };
    // Null when the property went away (destroyed through a public handle).
    KProperty* GetProperty(EProperty which) const;
    using KDuzTakeNodeContainer_internal::GetProperty;

    KDuzTexture* GetTexture() const { return mTexture; }

private:
    KDuzTexture* mTexture;
    HdlKObject mProperties[ePropertyCount];
};

class KDuzTexture : public KDuzTakeNodeContainer {
public:
    // Mapping types of SetMappingType.
    enum EMappingType : int {
        eMappingNone = 0,
        eMappingPlanar = 1,
        eMappingSpherical = 2,
        eMappingCylindrical = 3,
        eMappingBox = 4,
        eMappingFace = 5,
        eMappingUV = 6,
        eMappingEnvironment = 7,
    };
    enum EPlanarMappingNormal : int { ePlanarNormalX = 0, ePlanarNormalY = 1, ePlanarNormalZ = 2 };
    enum EAlphaSource : int { eAlphaNone = 0, eAlphaRGBIntensity = 1, eAlphaBlack = 2 };
    // Public texture uses of SetTextureUse.
    enum ETextureUse : int {
        eTextureUseStandard = 0,
        eTextureUseShadowMap = 1,
        eTextureUseLightMap = 2,
        eTextureUseSphericalReflectionMap = 3,
        eTextureUseSphereReflectionMap = 4,
        eTextureUseBumpNormalMap = 5,
    };

    static KDuzTexture* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    // The one error object every texture reports to.
    static KErrorState& SharedError();

    KDuzTexture(KDuzSdkManager* manager, const char* name);
    ~KDuzTexture() override;

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    int GetNameKind() const override { return 2; }
    KDuzObject* Clone(int cloneType) override;
    KString GetTypeName() const override { return mTextureType; }
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;

    // ---- names ----
    // False, changing nothing, for a null or empty text; otherwise stores it,
    // hands it to a connected video whose name differs, and returns true.
    bool SetFileName(const char* name);
    bool SetRelativeFileName(const char* name);
    const char* GetFileName() const { return mFileName.Buffer(); }
    const char* GetRelativeFileName() const { return mRelativeFileName.Buffer(); }
    void SetMediaName(const char* name) { mMediaName = name != nullptr ? name : ""; }
    const char* GetMediaName() const { return mMediaName.Buffer(); }
    void SetTextureType(const char* type) { mTextureType = type != nullptr ? type : ""; }
    const char* GetTextureType() const { return mTextureType.Buffer(); }

    // ---- placement (no range checks, as stored files may hold any value) ----
    void SetSwapUV(bool swap);
    bool GetSwapUV() const;
    void SetAlphaSource(int source) { mAlphaSource = source; }
    int GetAlphaSource() const { return mAlphaSource; }
    // Stored in the order c0, c2, c1, c3; the getters read storage order.
    void SetCropping(int c0, int c1, int c2, int c3);
    int GetFirstCropping() const { return mCropping[0]; }
    int GetSecondCropping() const { return mCropping[1]; }
    int GetThirdCropping() const { return mCropping[2]; }
    int GetFourthCropping() const { return mCropping[3]; }
    void SetMappingType(int type);
    int GetMappingType() const { return mMappingType; }
    void SetPlanarMappingNormal(int normal);
    int GetPlanarMappingNormal() const { return mPlanarMappingNormal; }
    // Kept as "UseMaterial" = not mode.
    void SetMaterialMode(int mode);
    int GetMaterialMode() const;
    void SetTextureUse(int use);
    int GetTextureUse() const;
    void SetWrapMode(int u, int v);
    int GetWrapModeU() const;
    int GetWrapModeV() const;
    void SetBlendMode(int mode);
    int GetBlendMode() const;
    // "CurrentMappingType", which SetMappingType and SetPlanarMappingNormal keep.
    int GetCurrentMappingType() const;
    void SetModelUVTranslation(double u, double v);
    void GetModelUVTranslation(double& u, double& v) const;
    void SetModelUVScaling(double u, double v);
    void GetModelUVScaling(double& u, double& v) const;

    // ---- animated values, in the texture's own "Default" take ----
    // Curve defaults hold floats, so the getters give float precision.
    void SetDefaultT(const KgeTVector& translation);
    KgeTVector GetDefaultT() const;
    void SetDefaultR(const KgeTVector& rotation);
    KgeTVector GetDefaultR() const;
    void SetDefaultS(const KgeTVector& scaling);
    KgeTVector GetDefaultS() const;
    void SetDefaultAlpha(double alpha);
    double GetDefaultAlpha() const;
    void SetTranslation(double u, double v);
    void SetRotation(double u, double v, double w);
    void SetScale(double u, double v);
    double GetTranslationU() const { return GetDefaultT()[0]; }
    double GetTranslationV() const { return GetDefaultT()[1]; }
    double GetRotationW() const { return GetDefaultR()[2]; }
    double GetScaleU() const { return GetDefaultS()[0]; }
    double GetScaleV() const { return GetDefaultS()[1]; }

    // ---- whole object ----
    KDuzTexture& CopyFrom(const KDuzTexture& other);
    // Whether two textures are duplicates: names equal once trailing digits
    // and blanks are cut, and every placement value exactly equal.
    bool IsEqual(const KDuzTexture& other) const;

    KDuzTexture_internal* GetTextureInternal() const;

protected:
    void InitDefaults();

private:
    void SetDefaultVector(const char* name, const KgeTVector& value, KDuzTexture_internal::EProperty which);
    KgeTVector GetDefaultVector(const char* name) const;
    int GetIntProperty(KDuzTexture_internal::EProperty which) const;
    void SetIntProperty(KDuzTexture_internal::EProperty which, int value);
    bool GetBoolProperty(KDuzTexture_internal::EProperty which) const;
    void SetBoolProperty(KDuzTexture_internal::EProperty which, bool value);
    void UpdatePlanarMappingType();

    int mCropping[4] = {0, 0, 0, 0};
    int mAlphaSource = 0;
    int mMappingType = eMappingUV;
    int mPlanarMappingNormal = ePlanarNormalX;
    KString mFileName;
    KString mRelativeFileName;
    KString mMediaName;
    KString mTextureType;
    double mModelUVScaling[2] = {1.0, 1.0};
    double mModelUVTranslation[2] = {0.0, 0.0};
};

// Hands a new file name (relative file name) to the texture's first source
// video when that video's name differs.
void KDuzTextureForwardFileName(KDuzTexture* texture, const char* name);
void KDuzTextureForwardRelativeFileName(KDuzTexture* texture, const char* name);

}  // namespace duzsdk
