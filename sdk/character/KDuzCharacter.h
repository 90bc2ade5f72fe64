// A character rig: up to 191 skeleton nodes bound to the fixed roles of a
// body, the solver settings (as properties and as the parameter block files
// store), a control set, and an input object whose motion drives it. A kind
// of constraint, so it takes part in the constraint lists of a scene.
#pragma once

#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzCharacterParameterBlock.h"
#include "sdk/character/KDuzConstraint.h"
#include "sdk/character/KDuzControlSet.h"

namespace duzsdk {

class KDuzNode;

// Types of a character's input.
enum EDuzCharacterInputType : int {
    eDuzCharacterInputActor = 0,       // an object of name kind 6
    eDuzCharacterInputCharacter = 1,   // another character (kind 8)
    eDuzCharacterInputMarkerSet = 2,   // a control-set plug (kind 12)
    eDuzCharacterInputNone = 4,
};

// The texts of the character's enumeration properties, null-terminated.
struct KDuzCharacterPropertyInfo {
    enum EKind : int { eKindBool, eKindDouble, eKindVector, eKindEnum };
    enum ERowRole : int { eRowNone, eRowValue, eRowMode };
    const char* name;
    EKind kind;
    const char* const* enumTexts;
    ERowRole role;
    int row;        // parameter row, -1 for none
    bool mirror;    // the setter writes the row
    bool clamp;
    double clampMin;
    double clampMax;
    bool animatable;
};
// The character's settings in creation order (the order of its property
// list and of files); null outside 0 .. count - 1.
int KDuzCharacterPropertyInfoCount();
const KDuzCharacterPropertyInfo* KDuzCharacterPropertyInfoAt(int index);
const KDuzCharacterPropertyInfo* KDuzCharacterPropertyInfoFind(const char* name);

class KDuzCharacter : public KDuzConstraint {
public:
    KDuzCharacter(KDuzSdkManager* manager, const char* name);
    ~KDuzCharacter() override;

    static KDuzCharacter* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    // Lets a node that is destroyed clear the links that name it.
    static void InstallNodeClearer();

    // ---- object slots ----
    KClassId GetClassId() const override { return ClassId(); }
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    void PropertyChanged(KDuzProperty& property) override;
    int GetNameKind() const override { return eDuzNameKindConstraint2; }
    // Mode 2 only: a new character of this name filled by CopyFrom.
    KDuzObject* Clone(int mode) override;
    // One entry, "Character".
    KStringList* GetTypeNames() const override;
    EConstraintType GetConstraintType() const override { return eCharacter; }
    void CreateTakeNodeChannels(KDuzTakeNode* takeNode) override { CreateChannelsOfAnimatable(takeNode); }

    // ---- links ----
    // Ids outside 0..190 return false and change nothing.
    bool SetCharacterLink(int id, const KDuzCharacterLink& link, bool updateProperty = false);
    bool GetCharacterLink(int id, KDuzCharacterLink* out = nullptr) const;

    // Null after Destroy.
    KDuzControlSet* GetControlSet() const { return mControlSet; }
    KDuzCharacterParameterBlock* GetSolverParameters() const { return mParameters; }

    // ---- input ----
    // Ignores a null object and one whose name kind does not fit the type.
    void SetInput(int type, KDuzObject* object);
    int GetInputType() const;
    KDuzObject* GetInputObject() const;

    // Names emptied, links and their node records dropped, control set cleared.
    void Reset();
    KDuzCharacter& CopyFrom(const KDuzCharacter& source);

    // A node being destroyed leaves the link or control-set record that names it.
    void ForgetNode(int kind, int index, int subIndex, const KDuzNode* node);

private:
    void CreateSettingProperties();
    void LoadPropertiesFromParameters();
    void CreateLinkProperties();
    void MirrorIntoParameters(const KDuzCharacterPropertyInfo& info, KDuzProperty& property);

    KString mText;
    KDuzCharacterLink mLinks[kDuzCharacterNodeCount];
    KDuzControlSet* mControlSet = nullptr;
    KDuzCharacterParameterBlock* mParameters = nullptr;
    bool mLoading = false;
};

}  // namespace duzsdk
