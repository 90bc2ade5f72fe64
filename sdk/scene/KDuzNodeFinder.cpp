#include "sdk/scene/KDuzNodeFinder.h"

#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <vector>

namespace duzsdk {

void KDuzNodeFinder::Find(KDuzNode* node) {
    // Pre-order with an explicit stack: a deep tree read from a file cannot
    // exhaust the call stack.
    std::vector<KDuzNode*> stack;
    std::vector<KDuzObject*> children;
    if (node != nullptr) stack.push_back(node);
    while (!stack.empty()) {
        KDuzNode* current = stack.back();
        stack.pop_back();
        if (CheckNode(current)) mResults.Add(current);
        KDuzCollectSrcObjects(current, KDuzNode::ClassId(), children);
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if (auto* child = dynamic_cast<KDuzNode*>(*it)) stack.push_back(child);
        }
    }
}

KPointerArray<KDuzNode>& KDuzNodeFinder::Apply(KDuzNode* root) {
    mSearchRoot = root;
    Find(root);
    return mResults;
}

}  // namespace duzsdk
