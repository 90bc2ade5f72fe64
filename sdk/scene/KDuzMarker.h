// The attribute of a marker, an optical marker or an IK/FK effector: look,
// size, colour, label and IK pivot; optical markers and IK effectors carry
// channels of their own in the node's take nodes.
#pragma once

#include "sdk/base/KgeTVector.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

class KDuzMarker : public KDuzNodeAttribute {
public:
    enum EType : int { eStandard = 0, eOptical = 1, eIKEffector = 2, eFKEffector = 3 };
    enum ELook : int { eCube = 0, eHardCross = 1, eLightCross = 2, eSphere = 3 };

    KDuzMarker(KDuzSdkManager* manager, const char* name);
    ~KDuzMarker() override;

    static KDuzMarker* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    KDuzObject* Clone(int mode) override;
    // "Marker", "OpticalMarker", "IKEffector" or "FKEffector" by type.
    KString GetTypeName() const override;
    KStringList GetTypeFlags() const override;
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override;
    void RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) override;
    int GetAttributeType() const override { return eMarker; }

    // Standard red cube of size 100, label hidden, IK pivot at the origin.
    void Reset();
    // A change rebuilds the channels in the node's take nodes.
    void SetType(EType type);
    EType GetType() const { return mType; }
    void SetLook(ELook look);
    ELook GetLook() const;
    void SetSize(double size);
    double GetSize() const;
    void SetShowLabel(bool show);
    bool GetShowLabel() const;
    void SetIKPivot(const KgeTVector& pivot);
    // w reads 1.
    KgeTVector GetIKPivot() const;
    void SetColor(const KDuzRGBAColor& color);
    // Alpha 1.
    KDuzRGBAColor GetColor() const;

    // IK effectors only, through the node's default take; others do nothing
    // and read 0.
    void SetDefaultIKReachTranslation(double value);
    double GetDefaultIKReachTranslation() const;
    void SetDefaultIKReachRotation(double value);
    double GetDefaultIKReachRotation() const;

    // Type, look, size, colour and label; not the IK pivot.
    void Copy(const KDuzMarker& other);

private:
    EType mType = eStandard;
};

}  // namespace duzsdk
