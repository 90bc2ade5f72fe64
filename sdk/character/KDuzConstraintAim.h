// Orients a constrained object so that its aim vector points at the targets,
// with an up vector that follows a chosen world-up reference.
#pragma once

#include "sdk/character/KDuzConstraint.h"

namespace duzsdk {

class KDuzConstraintAim : public KDuzConstraint {
public:
    enum EAimConstraintWoldUpType : int {
        eAimAtSceneUp = 0,
        eAimAtObjectUp = 1,
        eAimAtObjectRotationUp = 2,
        eAimAtVector = 3,
        eAimAtNone = 4,
    };
    // The text of a world-up type; null for values outside 0..4.
    static const char* WorldUpTypeText(int value);

    KDuzConstraintAim(KDuzSdkManager* manager, const char* name) : KDuzConstraint(manager, name) {}
    static KDuzConstraintAim* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override { return ClassId(); }
    void PostCreate() override;
    EConstraintType GetConstraintType() const override { return eAim; }
    // The first three components go into "RotationOffset".
    void SetOffset(const KgeTVector& offset) override;
    void CreateTakeNodeChannels(KDuzTakeNode* takeNode) override { CreateChannelsOfAnimatable(takeNode); }
    KDuzObject* Clone(int mode) override { return CloneByCopy(mode); }

    KDuzProperty Active;
    KDuzProperty Lock;
    KDuzProperty Weight;
    KDuzProperty RotationOffset;
    KDuzProperty AimAtObjects;
    KDuzProperty ConstrainedObject;
    KDuzProperty WorldUpType;
    KDuzProperty WorldUpObject;
    KDuzProperty WorldUpVector;
    KDuzProperty UpVector;
    KDuzProperty AimVector;
    KDuzProperty AffectX;
    KDuzProperty AffectY;
    KDuzProperty AffectZ;
};

}  // namespace duzsdk
