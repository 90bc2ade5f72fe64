// Makes a constrained object (the child) follow one or more source objects
// (the parents), each with its own translation and rotation offset. The
// offsets are vector properties named after the source: "<name>.Offset T"
// and "<name>.Offset R"; the file readers create them.
#pragma once

#include "sdk/character/KDuzConstraint.h"

namespace duzsdk {

class KDuzConstraintParent : public KDuzConstraint {
public:
    KDuzConstraintParent(KDuzSdkManager* manager, const char* name) : KDuzConstraint(manager, name) {}
    static KDuzConstraintParent* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override { return ClassId(); }
    void PostCreate() override;
    EConstraintType GetConstraintType() const override { return eParent; }
    void CreateTakeNodeChannels(KDuzTakeNode* takeNode) override { CreateChannelsOfAnimatable(takeNode); }
    KDuzObject* Clone(int mode) override { return CloneByCopy(mode); }

    // Stores into the source's existing ".Offset R" property; a missing
    // property is not created. Nothing for a null source.
    virtual void SetRotationOffset(const KDuzObject* source, const KgeTVector& offset);
    // (x, y, z, 1) of the source's offset property; (0, 0, 0, 1) when the
    // source is null or the property is missing.
    KgeTVector GetTranslationOffset(const KDuzObject* source) const;
    KgeTVector GetRotationOffset(const KDuzObject* source) const;
    // The source at that index of "Source (Parent)"; null out of range.
    KDuzObject* GetConstraintSource(int index) const;
    int GetConstraintSourceCount() const;

    // The name of a source's offset property: its initial name without a
    // leading kind prefix, then the suffix (".Offset T" / ".Offset R").
    // The setter and the getters share it, so an offset written is read back
    // whatever the source's current name.
    static KString OffsetPropertyName(const KDuzObject* source, const char* suffix);

    KDuzProperty Lock;
    KDuzProperty Active;
    KDuzProperty AffectTranslationX;
    KDuzProperty AffectTranslationY;
    KDuzProperty AffectTranslationZ;
    KDuzProperty AffectRotationX;
    KDuzProperty AffectRotationY;
    KDuzProperty AffectRotationZ;
    KDuzProperty Weight;
    KDuzProperty ConstrainedObject;
    KDuzProperty SourceParent;

private:
    KgeTVector ReadOffset(const KDuzObject* source, const char* suffix) const;
};

inline constexpr const char* kParentOffsetTranslationSuffix = ".Offset T";
inline constexpr const char* kParentOffsetRotationSuffix = ".Offset R";

}  // namespace duzsdk
