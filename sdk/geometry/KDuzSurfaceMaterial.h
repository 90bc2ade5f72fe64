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

// The built-in properties in the order a Phong material lists them: a
// Lambert material has the first kDuzLambertBuiltInCount, the base
// material the first kDuzMaterialBuiltInCount.
enum EDuzMaterialProperty : int {
    eMaterialShadingModel,
    eMaterialMultiLayer,
    eMaterialEmissiveColor,
    eMaterialEmissiveFactor,
    eMaterialAmbientColor,
    eMaterialAmbientFactor,
    eMaterialDiffuseColor,
    eMaterialDiffuseFactor,
    eMaterialBump,
    eMaterialTransparentColor,
    eMaterialTransparencyFactor,
    eMaterialSpecularColor,
    eMaterialSpecularFactor,
    eMaterialShininessExponent,
    eMaterialReflectionColor,
    eMaterialReflectionFactor,
    eMaterialPropertyCount
};
inline constexpr int kDuzMaterialBuiltInCount = 2;
inline constexpr int kDuzLambertBuiltInCount = 11;

// The built-in values live here, not in properties: the internal object
// lists them as shared slots, and a property (with its handle) is made only
// for one that is asked for, connected or animated. Most materials are only
// made, read and written, and sixteen properties with their handles cost
// ten times what the rest of a material does.
class KDuzSurfaceMaterial_internal : public KDuzTakeNodeContainer_internal {
public:
    // Lists the first builtInCount built-in properties (2, 11 or 16; any
    // other count takes the next of these).
    KDuzSurfaceMaterial_internal(KDuzSurfaceMaterial* material, int builtInCount);
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
    void SlotReleased(int slot, KProperty* property) override;

    int GetBuiltInCount() const { return mBuiltInCount; }
    // The four doubles of a built-in value (a number or flag uses the first).
    const double* Values(int id) const { return mValues[id]; }
    double* MutableValues(int id) { return mValues[id]; }
    const KString& ShadingModelText() const { return mShadingModel; }
    KString& MutableShadingModelText() { return mShadingModel; }
    // Whether a value may be stored here without its property: the slot is
    // not made and nothing listens to the object.
    bool StoresQuietly(int id) const;
    // What a reader's flag update leaves on the internal property: its flag 8.
    void MarkRead(int id);

private:
    static void MakeSlot(KObject* owner, int slot);

    int mBuiltInCount = 0;
    KString mShadingModel;
    double mValues[eMaterialPropertyCount][4];
    // The internal flags of each built-in, kept while its property is not made.
    int mPropertyFlags[eMaterialPropertyCount] = {};
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
    void SettleLateHandle(KDuzProperty& handle, const KProperty* property) const override;
    bool StoresReadValueWithoutHandle(int index) const override;
    void PropertyReadWithoutHandle(int index) override;

    // ---- properties ----
    KDuzProperty GetShadingModel() const { return GetBuiltIn(eMaterialShadingModel); }
    KDuzProperty GetMultiLayer() const { return GetBuiltIn(eMaterialMultiLayer); }
    // The handle of a built-in property this material has, made when first
    // asked for; invalid for one it does not have.
    KDuzProperty GetBuiltIn(EDuzMaterialProperty id) const;
    // Built-in values read and set without making handles.
    KString GetShadingModelText() const;
    void SetShadingModelText(const KString& text);
    bool GetMultiLayerValue() const;
    void SetMultiLayerValue(bool multiLayer);
    // A number (0 for a colour or a built-in this material lacks).
    double GetBuiltInDouble(EDuzMaterialProperty id) const;
    // A colour or vector (zeros for a number or a built-in this material lacks).
    Vector3 GetBuiltInDouble3(EDuzMaterialProperty id) const;
    // Set as the handle's SetValue would: without a handle while the
    // property is not made and nothing can hear the change, else through
    // the handle. A built-in this material lacks, or of another kind,
    // stays as it is.
    void SetBuiltInDouble(EDuzMaterialProperty id, double value);
    void SetBuiltInDouble3(EDuzMaterialProperty id, const Vector3& value);

    // Copies the take nodes and name, then every property by name and data
    // type (creating those this material lacks). Returns this material.
    virtual KDuzSurfaceMaterial& CopyFrom(const KDuzSurfaceMaterial& source);
    // True when every property of this material has a property of the same
    // name and data type with an equal value in the other one. Properties
    // only the other has are not looked at.
    bool IsEqual(const KDuzSurfaceMaterial& other) const;

    KErrorState& GetMaterialError() { return mMaterialError; }

protected:
    // A material listing the first builtInCount built-in properties.
    KDuzSurfaceMaterial(KDuzSdkManager* manager, const char* name, int builtInCount);
    // Copies the built-in values from first to last - 1 from the source.
    void CopyBuiltIns(const KDuzSurfaceMaterial& source, int first, int last);

private:
    KDuzSurfaceMaterial_internal* Twin() const;
    // The index of the entry listing a built-in; -1 when it is gone.
    int EntryOfBuiltIn(int id) const;
    // Stores a built-in value: through its handle when it has one, quietly
    // when nothing can hear it, else through a new handle.
    void StoreBuiltIn(int id, const void* value, int kind);
    // Copies the property at index of the source into the built-in of this
    // material FindPropertyOfType would find for it, without handles on
    // either side; false (nothing copied) when either is not a built-in.
    bool CopyBuiltInAt(const KDuzSurfaceMaterial& source, int index);

    KErrorState mMaterialError;
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

    KDuzProperty GetEmissiveColor() const { return GetBuiltIn(eMaterialEmissiveColor); }
    KDuzProperty GetEmissiveFactor() const { return GetBuiltIn(eMaterialEmissiveFactor); }
    KDuzProperty GetAmbientColor() const { return GetBuiltIn(eMaterialAmbientColor); }
    KDuzProperty GetAmbientFactor() const { return GetBuiltIn(eMaterialAmbientFactor); }
    KDuzProperty GetDiffuseColor() const { return GetBuiltIn(eMaterialDiffuseColor); }
    KDuzProperty GetDiffuseFactor() const { return GetBuiltIn(eMaterialDiffuseFactor); }
    KDuzProperty GetTransparentColor() const { return GetBuiltIn(eMaterialTransparentColor); }
    KDuzProperty GetTransparencyFactor() const { return GetBuiltIn(eMaterialTransparencyFactor); }
    // "Bump" has no accessor of its own; callers find it by name.

protected:
    KDuzSurfaceLambert(KDuzSdkManager* manager, const char* name, int builtInCount);
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

    KDuzProperty GetSpecularColor() const { return GetBuiltIn(eMaterialSpecularColor); }
    KDuzProperty GetSpecularFactor() const { return GetBuiltIn(eMaterialSpecularFactor); }
    KDuzProperty GetShininessExponent() const { return GetBuiltIn(eMaterialShininessExponent); }
    KDuzProperty GetReflectionColor() const { return GetBuiltIn(eMaterialReflectionColor); }
    KDuzProperty GetReflectionFactor() const { return GetBuiltIn(eMaterialReflectionFactor); }
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
