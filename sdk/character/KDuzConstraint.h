// The base of every constraint of a scene and of the character rig: an
// animatable object whose participants are object-list properties and whose
// settings are typed, animatable properties. Constraints hold data only;
// they compute no constrained transforms.
#pragma once

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KStringList.h"
#include "sdk/base/KgeTVector.h"

#include <new>

namespace duzsdk {

class KDuzConstraint_internal : public KDuzTakeNodeContainer_internal {
public:
    // typeNumber: the plug type of the concrete implementation class.
    KDuzConstraint_internal(KDuzObject* owner, int typeNumber);
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override { return mTypeNumber; }

private:
    int mTypeNumber;
};

// Direction bits of an object-list property in the internal flag word.
inline constexpr int kConstraintListSource = 1;
inline constexpr int kConstraintListConstrained = 2;

class KDuzConstraint : public KDuzTakeNodeContainer {
public:
    enum EConstraintType : int {
        eNone = 0,
        ePosition = 1,
        eRotation = 2,
        eScale = 3,
        eParent = 4,
        eSingleChainIK = 5,
        eAim = 6,
        eCharacter = 7,
    };

    KDuzConstraint(KDuzSdkManager* manager, const char* name);
    ~KDuzConstraint() override;

    static KDuzConstraint* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    // The type name of a code ("Constraint" for 0 and unknown codes).
    static const char* TypeNameOf(int type);

    // ---- object slots ----
    KClassId GetClassId() const override;
    int GetNameKind() const override { return eDuzNameKindConstraint3; }
    // Null here; each concrete constraint copies itself (mode 2 only).
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString(TypeNameOf(GetConstraintType())); }
    // A new list the caller owns: one empty entry.
    virtual KStringList* GetTypeNames() const;
    void AddPropertiesToTakeNode(KDuzTakeNode* takeNode) override { CreateTakeNodeChannels(takeNode); }

    // ---- constraint slots ----
    virtual EConstraintType GetConstraintType() const { return eNone; }
    // The offset of the constraint kinds that have one; nothing here.
    virtual void SetOffset(const KgeTVector& /*offset*/) {}
    // Curve nodes for every animatable internal property; nothing in the base.
    virtual void CreateTakeNodeChannels(KDuzTakeNode* takeNode);

    KErrorState& GetError() { return mError; }

protected:
    // Binds a handle by name on this object (an existing property is taken),
    // sets its value when given and its animatable bits when asked.
    KDuzProperty BindProperty(const char* name, const char* dataType, bool animated);
    KDuzProperty BindBool(const char* name, bool value);
    KDuzProperty BindDouble(const char* name, const char* dataType, double value, bool animated);
    KDuzProperty BindVector(const char* name, double x, double y, double z);
    // An object list with its direction bits.
    KDuzProperty BindObjectList(const char* name, int direction);
    // An enumeration with its texts (null-terminated list) and value.
    KDuzProperty BindEnum(const char* name, const char* const* texts, int value);

    // Curve nodes for every animatable internal property, in property order.
    void CreateChannelsOfAnimatable(KDuzTakeNode* takeNode);
    // A new object of this class through the manager, with this name, holding
    // copies of this object's property values, connections and take nodes.
    // Nothing is shared: either object may be destroyed first.
    KDuzObject* CloneByCopy(int mode);

private:
    KErrorState mError;
};

// The class creator shape of every concrete constraint: allocate, then the
// post-construction step that builds the internal object and properties.
template <typename T>
KDuzPlug* KDuzConstraintCreateAndPost(KDuzSdkManager* manager, const char* name) {
    auto* constraint = new (std::nothrow) T(manager, name);
    if (constraint != nullptr) constraint->PostCreate();
    return constraint;
}

// Copies every property value of source into target (creating the
// properties target lacks) and connects target's object lists to the same
// objects. The copy shares nothing with the source.
void KDuzCopyObjectProperties(KDuzObject& target, const KDuzObject& source);

// Texts of an enumeration property (the index is the value); null outside.
const char* KDuzEnumText(const char* const* texts, int value);

}  // namespace duzsdk
