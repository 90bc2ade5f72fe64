// Finds nodes whose names clash, with earlier nodes of the same walk or with
// the nodes of a reference scene; in the same walk it can look for clashing
// material, texture and video names of the nodes' geometries.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/scene/KDuzNodeFinder.h"

#include <string>
#include <unordered_set>

namespace duzsdk {

class KDuzObject;
class KDuzScene;

// Lists the objects a node's geometry names in its layers, in layer order,
// skipping elements in index mode: kind 0 the materials, 1 the textures of
// the texture channels (all but 16), 2 the first video of each of those
// textures. Geometry sits above the scene, so its layer installs this.
using KDuzNodeLayerObjectCollector = void (*)(KDuzNode* node, int kind, KPointerArray<KDuzObject>& out);
void KDuzNodeFinderSetLayerObjectCollector(KDuzNodeLayerObjectCollector collector);

class KDuzNodeFinderDuplicateName : public KDuzNodeFinder {
public:
    enum EOption {
        eCheckNodeName = 0,
        eCheckMaterialName,
        eCheckTextureName,
        eCheckVideoName,
        eOption4,   // kept with the others; nothing reads it yet
        eOptionCount
    };

    // The scene may be null: then names clash only within the walk.
    explicit KDuzNodeFinderDuplicateName(KDuzScene* referenceScene = nullptr);
    ~KDuzNodeFinderDuplicateName() override = default;

    // False (nothing set) for an index outside 0 .. 4.
    bool SetOption(int index, bool value);
    bool GetOption(int index) const;

    KPointerArray<KDuzNode>& GetDuplicateNodes() { return mDuplicateNodes; }
    KPointerArray<KDuzObject>& GetDuplicateMaterials() { return mDuplicateMaterials; }
    KPointerArray<KDuzObject>& GetDuplicateTextures() { return mDuplicateTextures; }
    KPointerArray<KDuzObject>& GetDuplicateVideos() { return mDuplicateVideos; }

    void Reset() override;
    // Accepted when the node's name clashes, or a material or texture of its
    // geometry does; videos are gathered but decide nothing.
    bool CheckNode(KDuzNode* node) override;

    bool CheckNodeName(KDuzNode* node);
    // The checks of one material, texture or video met in a geometry's
    // layers (elements not in index mode): true when its name clashes with
    // the reference scene's objects of that class or with one seen before,
    // the object itself included; with the option off it is only noted.
    bool CheckMaterialName(KDuzObject* material) { return CheckObject(material, eMaterial); }
    bool CheckTextureName(KDuzObject* texture) { return CheckObject(texture, eTexture); }
    bool CheckVideoName(KDuzObject* video) { return CheckObject(video, eVideo); }

private:
    // The names seen in one category, and which objects were seen.
    struct SeenSet {
        std::unordered_set<const void*> objects;
        std::unordered_set<std::string> names;
    };
    enum EObjectKind { eMaterial, eTexture, eVideo };

    // The check of one material, texture or video met in a geometry.
    bool CheckObject(KDuzObject* object, EObjectKind kind);
    bool CheckGeometryObjects(KDuzNode* node, EObjectKind kind);
    // The names of the reference scene's tree below its root, built once
    // per walk (the scene is not expected to change during a walk).
    const std::unordered_set<std::string>& ReferenceNodeNames();

    bool mOptions[eOptionCount] = {true, false, false, false, true};
    KPointerArray<KDuzNode> mNodesSeen;
    KPointerArray<KDuzNode> mDuplicateNodes;
    KPointerArray<KDuzObject> mMaterialsSeen;
    KPointerArray<KDuzObject> mDuplicateMaterials;
    KPointerArray<KDuzObject> mTexturesSeen;
    KPointerArray<KDuzObject> mDuplicateTextures;
    KPointerArray<KDuzObject> mVideosSeen;
    KPointerArray<KDuzObject> mDuplicateVideos;
    KPointerArray<KDuzObject> mSpareList1;
    KPointerArray<KDuzObject> mSpareList2;
    KDuzScene* mReferenceScene;

    SeenSet mNodeSeen;
    SeenSet mObjectSeen[3];
    bool mReferenceNamesBuilt = false;
    std::unordered_set<std::string> mReferenceNames;
};

}  // namespace duzsdk
