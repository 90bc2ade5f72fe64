// A depth-first walk over a node tree that collects the nodes a test
// accepts. Subclasses give the test and what Reset forgets.
#pragma once

#include "sdk/base/KDynamicArray.h"

namespace duzsdk {

class KDuzNode;

class KDuzNodeFinder {
public:
    KDuzNodeFinder() = default;
    virtual ~KDuzNodeFinder() = default;
    KDuzNodeFinder(const KDuzNodeFinder&) = delete;
    KDuzNodeFinder& operator=(const KDuzNodeFinder&) = delete;

    virtual void Reset() = 0;
    // Tests the node, then walks its subtree in pre-order (children in
    // index order), appending every accepted node to the results.
    virtual void Find(KDuzNode* node);
    virtual bool CheckNode(KDuzNode* node) = 0;

    // Remembers the root, walks from it and returns the results.
    KPointerArray<KDuzNode>& Apply(KDuzNode* root);
    KDuzNode* GetSearchRoot() const { return mSearchRoot; }
    KPointerArray<KDuzNode>& GetResults() { return mResults; }

protected:
    KDuzNode* mSearchRoot = nullptr;
    KPointerArray<KDuzNode> mResults;
};

}  // namespace duzsdk
