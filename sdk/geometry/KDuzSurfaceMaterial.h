// Surface materials: the base material with its shading-model name, the
// Lambert material with emissive, ambient, diffuse, bump and transparency,
// and the Phong material that adds specular, shininess and reflection. All
// three share one internal class. A node holds its geometry's materials as
// connected sources; a layer's material element maps polygons to them.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/duzVectorTemplate3.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

class KDuzSdkManager;
class KDuzSurfaceMaterial;

class KDuzSurfaceMaterial_internal : public KDuzTakeNodeContainer_internal {
public:
    explicit KDuzSurfaceMaterial_internal(KDuzSurfaceMaterial* material);
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

// The material's one error text.
inline constexpr const char* kDuzMaterialErrorTakeNode = "Take node error";

// Name kind of every material: its names carry "Material::".
inline constexpr int kDuzMaterialNameKind = 3;

class KDuzSurfaceMaterial : public KDuzTakeNodeContainer {
public:
    using Vector3 = duzVectorTemplate3<double>;

    // Through the manager's CreateObject; null without a manager.
    static KDuzSurfaceMaterial* Create(KDuzSdkManager* manager, const char* name);
    // Class creator: constructs the material and runs its post-creation step,
    // which keeps the internal object the constructor made. Null on failure.
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KDuzSurfaceMaterial(KDuzSdkManager* manager, const char* name);
    ~KDuzSurfaceMaterial() override;

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    int GetNameKind() const override { return kDuzMaterialNameKind; }
    KDuzObject* Clone(int cloneType) override;
    KString GetTypeName() const override { return KString(); }
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;

    // ---- properties ----
    KDuzProperty GetShadingModel() const { return mShadingModel; }
    KDuzProperty GetMultiLayer() const { return mMultiLayer; }

    // Copies the take nodes and name, then every property by name and data
    // type (creating those this material lacks). Returns this material.
    virtual KDuzSurfaceMaterial& CopyFrom(const KDuzSurfaceMaterial& source);
    // True when every property of this material has a property of the same
    // name and data type with an equal value in the other one. Properties
    // only the other has are not looked at.
    bool IsEqual(const KDuzSurfaceMaterial& other) const;

    KErrorState& GetMaterialError() { return mMaterialError; }

protected:
    void InitDefaults();
    KDuzTypedProperty<KString>& ShadingModelProperty() { return mShadingModel; }

private:
    KErrorState mMaterialError;
    KDuzTypedProperty<KString> mShadingModel;
    KDuzTypedProperty<bool> mMultiLayer;
};

class KDuzSurfaceLambert : public KDuzSurfaceMaterial {
public:
    static KDuzSurfaceLambert* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KDuzSurfaceLambert(KDuzSdkManager* manager, const char* name);
    ~KDuzSurfaceLambert() override;

    KClassId GetClassId() const override;
    KDuzObject* Clone(int cloneType) override;
    KDuzSurfaceMaterial& CopyFrom(const KDuzSurfaceMaterial& source) override;

    KDuzProperty GetEmissiveColor() const { return mEmissiveColor; }
    KDuzProperty GetEmissiveFactor() const { return mEmissiveFactor; }
    KDuzProperty GetAmbientColor() const { return mAmbientColor; }
    KDuzProperty GetAmbientFactor() const { return mAmbientFactor; }
    KDuzProperty GetDiffuseColor() const { return mDiffuseColor; }
    KDuzProperty GetDiffuseFactor() const { return mDiffuseFactor; }
    KDuzProperty GetTransparentColor() const { return mTransparentColor; }
    KDuzProperty GetTransparencyFactor() const { return mTransparencyFactor; }
    // "Bump" has no accessor of its own; callers find it by name.

protected:
    void InitDefaults();
    // The Lambert values alone, without the base defaults.
    void SetLambertDefaults();

private:
    friend class KDuzSurfacePhong;
    KDuzTypedProperty<Vector3> mEmissiveColor;
    KDuzTypedProperty<double> mEmissiveFactor;
    KDuzTypedProperty<Vector3> mAmbientColor;
    KDuzTypedProperty<double> mAmbientFactor;
    KDuzTypedProperty<Vector3> mDiffuseColor;
    KDuzTypedProperty<double> mDiffuseFactor;
    KDuzTypedProperty<Vector3> mBump;
    KDuzTypedProperty<Vector3> mTransparentColor;
    KDuzTypedProperty<double> mTransparencyFactor;
};

// A Phong material is laid out as a Lambert one, but its registered parent
// is the material base: the class-id test for Lambert fails on it. Test a
// material's class id for Phong and for Lambert separately.
class KDuzSurfacePhong : public KDuzSurfaceLambert {
public:
    static KDuzSurfacePhong* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KDuzSurfacePhong(KDuzSdkManager* manager, const char* name);
    ~KDuzSurfacePhong() override;

    KClassId GetClassId() const override;
    KDuzObject* Clone(int cloneType) override;
    KDuzSurfaceMaterial& CopyFrom(const KDuzSurfaceMaterial& source) override;

    KDuzProperty GetSpecularColor() const { return mSpecularColor; }
    KDuzProperty GetSpecularFactor() const { return mSpecularFactor; }
    KDuzProperty GetShininessExponent() const { return mShininessExponent; }
    KDuzProperty GetReflectionColor() const { return mReflectionColor; }
    KDuzProperty GetReflectionFactor() const { return mReflectionFactor; }

protected:
    void InitDefaults();

private:
    KDuzTypedProperty<Vector3> mSpecularColor;
    KDuzTypedProperty<double> mSpecularFactor;
    KDuzTypedProperty<double> mShininessExponent;
    KDuzTypedProperty<Vector3> mReflectionColor;
    KDuzTypedProperty<double> mReflectionFactor;
};

// The built-in material properties in the order a material lists them
// (and a writer stores them): name, data-type name, default.
struct KDuzMaterialPropertyRow {
    const char* name;
    const char* dataType;
    double value[3];
};
inline constexpr KDuzMaterialPropertyRow kDuzLambertProperties[] = {
    {"EmissiveColor", "Color", {0.0, 0.0, 0.0}},
    {"EmissiveFactor", "Number", {1.0}},
    {"AmbientColor", "Color", {0.2, 0.2, 0.2}},
    {"AmbientFactor", "Number", {1.0}},
    {"DiffuseColor", "Color", {0.8, 0.8, 0.8}},
    {"DiffuseFactor", "Number", {1.0}},
    {"Bump", "Vector", {0.0, 0.0, 0.0}},
    {"TransparentColor", "Color", {0.0, 0.0, 0.0}},
    {"TransparencyFactor", "Number", {0.0}},
};
inline constexpr KDuzMaterialPropertyRow kDuzPhongProperties[] = {
    {"SpecularColor", "Color", {0.2, 0.2, 0.2}},
    {"SpecularFactor", "Number", {1.0}},
    {"ShininessExponent", "Number", {20.0}},
    {"ReflectionColor", "Color", {0.0, 0.0, 0.0}},
    {"ReflectionFactor", "Number", {1.0}},
};

}  // namespace duzsdk
