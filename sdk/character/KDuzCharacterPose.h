// One pose of a character kept as a small private scene: a node hierarchy
// and the character "PoseCharacter" whose links point into it. Because the
// pose owns its nodes it survives changes to the main scene; a copy
// re-targets the character onto the copied nodes by node name.
#pragma once

#include "sdk/object/KDuzObject.h"
#include "sdk/object/KPlugHandle.h"

namespace duzsdk {

class KDuzCharacter;
class KDuzNode;
class KDuzScene;

class KDuzCharacterPose : public KDuzObject {
public:
    KDuzCharacterPose(KDuzSdkManager* manager, const char* name);
    ~KDuzCharacterPose() override;

    static KDuzCharacterPose* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override { return ClassId(); }
    // The internal object, then the private scene with "PoseCharacter".
    void PostCreate() override;
    // Destroys the private scene with everything it owns.
    void DestroyContents(bool recursive, bool dependents) override;
    int GetNameKind() const override { return eDuzNameKindPose; }
    // Mode 2 only: a new pose of this name holding a copy of this one.
    KDuzObject* Clone(int mode) override;

    // Null once destroyed (by this pose or by the manager's teardown).
    KDuzScene* GetScene() const;
    KDuzNode* GetRootNode() const;
    KDuzCharacter* GetCharacter() const;

    // Replaces this pose's node tree with a copy of the other's and
    // re-targets this pose's character onto the copied nodes.
    void Assign(const KDuzCharacterPose& other);

    // Clones the children of source (recursively) under destination.
    static void CopyNodeTree(const KDuzNode* source, KDuzNode* destination);
    // Copies source into destination, taking each linked node by its name
    // from below root. Links set only through a template name are skipped;
    // of the auxiliary effectors only sub-index 1 is copied.
    static void CopyCharacter(const KDuzCharacter& source, KDuzCharacter& destination, const KDuzNode* root);

private:
    // Weak: the manager may destroy the scene before or after the pose.
    HdlKObject mScene;
};

}  // namespace duzsdk
