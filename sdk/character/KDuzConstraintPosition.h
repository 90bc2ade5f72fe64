// The three constraints that drive one channel group of a constrained object
// from a weighted set of sources: translation, rotation and scaling. They
// share every member and operation and differ only in the name of the
// offset property, the type name and the type code.
#pragma once

#include "sdk/character/KDuzConstraint.h"

namespace duzsdk {

class KDuzConstraintFromSources : public KDuzConstraint {
public:
    // Builds the internal object, the default take and the properties.
    void PostCreate() override;
    EConstraintType GetConstraintType() const override { return mType; }
    // The first three components go into the offset property.
    void SetOffset(const KgeTVector& offset) override;
    void CreateTakeNodeChannels(KDuzTakeNode* takeNode) override { CreateChannelsOfAnimatable(takeNode); }
    KDuzObject* Clone(int mode) override { return CloneByCopy(mode); }

    // "Translation", "Rotation" or "Scaling".
    const char* GetOffsetName() const;

    KDuzProperty Lock;
    KDuzProperty Active;
    KDuzProperty AffectX;
    KDuzProperty AffectY;
    KDuzProperty AffectZ;
    KDuzProperty Offset;
    KDuzProperty Weight;
    KDuzProperty ConstrainedObject;
    KDuzProperty Source;

protected:
    KDuzConstraintFromSources(KDuzSdkManager* manager, const char* name, EConstraintType type);

private:
    EConstraintType mType;
};

class KDuzConstraintPosition : public KDuzConstraintFromSources {
public:
    KDuzConstraintPosition(KDuzSdkManager* manager, const char* name)
        : KDuzConstraintFromSources(manager, name, ePosition) {}
    static KDuzConstraintPosition* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override { return ClassId(); }
};

class KDuzConstraintRotation : public KDuzConstraintFromSources {
public:
    KDuzConstraintRotation(KDuzSdkManager* manager, const char* name)
        : KDuzConstraintFromSources(manager, name, eRotation) {}
    static KDuzConstraintRotation* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override { return ClassId(); }
};

class KDuzConstraintScale : public KDuzConstraintFromSources {
public:
    KDuzConstraintScale(KDuzSdkManager* manager, const char* name)
        : KDuzConstraintFromSources(manager, name, eScale) {}
    static KDuzConstraintScale* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override { return ClassId(); }
};

}  // namespace duzsdk
