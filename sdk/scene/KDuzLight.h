// The node attribute of a light source: point, infinite or spot, with an
// animated colour, intensity, cone angle and fog, a gobo image, drawing
// switches, and attenuation and shadow settings kept as dynamic properties.
#pragma once

#include "sdk/base/KString.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

class KDuzLight : public KDuzNodeAttribute {
public:
    enum ELightType : int { ePoint = 0, eDirectional = 1, eSpot = 2 };

    KDuzLight(KDuzSdkManager* manager, const char* name);
    ~KDuzLight() override;

    static KDuzLight* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    // "Point Light", "Infinite Light", "Spot Light"; null for other values.
    static const char* LightTypeName(int type);

    // ---- object and attribute slots ----
    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("Light"); }
    KStringList GetTypeFlags() const override;
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;
    void RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) override;
    int GetAttributeType() const override { return eLight; }
    // Writes the defaults of the attenuation and shadow properties.
    virtual void ResetDynamicProperties();

    // ---- stored values ----
    void SetLightType(ELightType type);
    ELightType GetLightType() const;
    void SetCastLight(bool on);
    bool GetCastLight() const;
    void SetGroundProjection(bool on);
    bool GetGroundProjection() const;
    void SetVolumetricLight(bool on);
    bool GetVolumetricLight() const;
    void SetFrontVolumetricLight(bool on);
    bool GetFrontVolumetricLight() const;
    // The gobo image file; the getter gives null for an empty name.
    bool SetFileName(const char* name);
    const char* GetFileName() const;

    // ---- animated values: the default take's curves once attached ----
    void SetColor(const KDuzRGBAColor& color);
    // Red, green and blue; alpha 1.
    KDuzRGBAColor GetColor() const;
    void GetColor(KDuzRGBAColor& out) const { out = GetColor(); }
    void SetIntensity(double value);
    double GetIntensity() const;
    void SetConeAngle(double value);
    double GetConeAngle() const;
    void SetFog(double value);
    double GetFog() const;

    // ---- dynamic properties: false when the property is missing ----
    bool SetDecayType(int type);
    bool SetDecayStart(double start);
    bool SetCastShadows(bool on);
    bool SetShadowColor(const KDuzRGBAColor& color);

    // Type, drawing switches and gobo name; not the animated values nor the
    // dynamic properties.
    void Copy(const KDuzLight& other);

private:
    double GetChannel(const char* name) const;
    void SetChannel(const char* name, double value);

    KString mFileName;
};

}  // namespace duzsdk
