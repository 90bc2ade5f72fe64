#include "sdk/scene/KDuzNodeFinderDuplicateName.h"

#include "sdk/object/KDuzObject.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <vector>

namespace duzsdk {

namespace {

KDuzNodeLayerObjectCollector& LayerObjectCollector() {
    static KDuzNodeLayerObjectCollector collector = nullptr;
    return collector;
}

}  // namespace

void KDuzNodeFinderSetLayerObjectCollector(KDuzNodeLayerObjectCollector collector) {
    LayerObjectCollector() = collector;
}

KDuzNodeFinderDuplicateName::KDuzNodeFinderDuplicateName(KDuzScene* referenceScene)
    : mReferenceScene(referenceScene) {}

bool KDuzNodeFinderDuplicateName::SetOption(int index, bool value) {
    if (index < 0 || index >= eOptionCount) return false;
    mOptions[index] = value;
    return true;
}

bool KDuzNodeFinderDuplicateName::GetOption(int index) const {
    return index >= 0 && index < eOptionCount && mOptions[index];
}

void KDuzNodeFinderDuplicateName::Reset() {
    KPointerArray<KDuzNode>* nodeLists[] = {&mNodesSeen, &mDuplicateNodes, &mResults};
    for (auto* list : nodeLists) list->Clear();
    KPointerArray<KDuzObject>* objectLists[] = {&mMaterialsSeen, &mDuplicateMaterials, &mTexturesSeen,
                                                &mDuplicateTextures, &mVideosSeen, &mDuplicateVideos,
                                                &mSpareList1, &mSpareList2};
    for (auto* list : objectLists) list->Clear();
    mNodeSeen = SeenSet();
    for (SeenSet& seen : mObjectSeen) seen = SeenSet();
    mReferenceNamesBuilt = false;
    mReferenceNames.clear();
}

const std::unordered_set<std::string>& KDuzNodeFinderDuplicateName::ReferenceNodeNames() {
    if (mReferenceNamesBuilt) return mReferenceNames;
    mReferenceNamesBuilt = true;
    mReferenceNames.clear();
    KDuzNode* root = mReferenceScene != nullptr ? mReferenceScene->GetRootNode() : nullptr;
    if (root == nullptr) return mReferenceNames;
    // Every descendant of the root (not the root itself), gathered once so
    // each node of the walk is a lookup rather than a search of the tree.
    std::vector<KDuzNode*> stack;
    std::vector<KDuzObject*> children;
    stack.push_back(root);
    while (!stack.empty()) {
        KDuzNode* node = stack.back();
        stack.pop_back();
        KDuzCollectSrcObjects(node, KDuzNode::ClassId(), children);
        for (KDuzObject* object : children) {
            auto* child = dynamic_cast<KDuzNode*>(object);
            if (child == nullptr) continue;
            mReferenceNames.insert(child->GetName());
            stack.push_back(child);
        }
    }
    return mReferenceNames;
}

bool KDuzNodeFinderDuplicateName::CheckNodeName(KDuzNode* node) {
    if (node == nullptr) return false;
    const std::string name = node->GetName();
    bool duplicate = false;
    if (mOptions[eCheckNodeName]) {
        const auto& reference = ReferenceNodeNames();
        duplicate = reference.count(name) > 0 || mNodeSeen.names.count(name) > 0;
        if (duplicate) mDuplicateNodes.Add(node);
    }
    if (mNodeSeen.objects.insert(node).second) {
        mNodesSeen.Add(node);
        mNodeSeen.names.insert(name);
    }
    return duplicate;
}

bool KDuzNodeFinderDuplicateName::CheckObject(KDuzObject* object, EObjectKind kind) {
    if (object == nullptr) return false;
    static constexpr int kOptionOf[] = {eCheckMaterialName, eCheckTextureName, eCheckVideoName};
    KPointerArray<KDuzObject>* seenLists[] = {&mMaterialsSeen, &mTexturesSeen, &mVideosSeen};
    KPointerArray<KDuzObject>* duplicateLists[] = {&mDuplicateMaterials, &mDuplicateTextures,
                                                   &mDuplicateVideos};
    SeenSet& seen = mObjectSeen[kind];
    const std::string name = object->GetName();
    bool duplicate = false;
    if (mOptions[kOptionOf[kind]]) {
        bool inReference = false;
        if (mReferenceScene != nullptr) {
            switch (kind) {
                case eMaterial: inReference = mReferenceScene->FindMaterial(name.c_str()) != nullptr; break;
                case eTexture: inReference = mReferenceScene->FindTexture(name.c_str()) != nullptr; break;
                case eVideo:
                    for (int i = 0; i < mReferenceScene->GetVideoCount() && !inReference; ++i) {
                        KDuzObject* video = mReferenceScene->GetVideo(i);
                        inReference = video != nullptr && name == video->GetName();
                    }
                    break;
            }
        }
        // The object's own earlier sighting counts: a material shared by two
        // geometries is reported at its second occurrence.
        duplicate = inReference || seen.names.count(name) > 0;
        if (duplicate) duplicateLists[kind]->Add(object);
    }
    if (seen.objects.insert(object).second) {
        seenLists[kind]->Add(object);
        seen.names.insert(name);
    }
    return duplicate;
}

bool KDuzNodeFinderDuplicateName::CheckGeometryObjects(KDuzNode* node, EObjectKind kind) {
    KDuzNodeLayerObjectCollector collect = LayerObjectCollector();
    if (collect == nullptr) return false;
    KPointerArray<KDuzObject> objects;
    collect(node, kind, objects);
    bool duplicate = false;
    for (KDuzObject* object : objects) {
        if (CheckObject(object, kind)) duplicate = true;
    }
    return duplicate;
}

bool KDuzNodeFinderDuplicateName::CheckNode(KDuzNode* node) {
    if (node == nullptr) return false;
    const bool nameClash = CheckNodeName(node);
    bool materialClash = false;
    bool textureClash = false;
    if (node->GetNodeAttribute() != nullptr && node->GetGeometry() != nullptr) {
        materialClash = CheckGeometryObjects(node, eMaterial);
        textureClash = CheckGeometryObjects(node, eTexture);
        CheckGeometryObjects(node, eVideo);   // gathers; does not decide
    }
    return nameClash || materialClash || textureClash;
}

}  // namespace duzsdk
