// The meshes a writer writes for the nodes of a scene, made without touching
// the scene: a writer that needs triangles (or meshes in place of patches
// and NURBS) gets them here instead of converting the caller's nodes, which
// would leave other nodes sharing the geometry without it and change the
// caller's scene for good.
#pragma once

#include <unordered_map>

namespace duzsdk {

class KDuzMesh;
class KDuzNode;
class KDuzObject;
class KDuzSdkManager;

class KDuzWriteMeshes {
public:
    explicit KDuzWriteMeshes(KDuzSdkManager* manager) : mManager(manager) {}
    ~KDuzWriteMeshes() { Clear(); }
    KDuzWriteMeshes(const KDuzWriteMeshes&) = delete;
    KDuzWriteMeshes& operator=(const KDuzWriteMeshes&) = delete;

    // The mesh to write for the node: a triangle mesh made from a patch, a
    // NURB or a NURBS surface, and from a mesh when `triangulateMeshes` is
    // set; the node's own mesh otherwise; null when there is none. Nodes
    // sharing a geometry share the mesh made from it.
    KDuzMesh* MeshFor(KDuzNode* node, bool triangulateMeshes);

    // Destroys every mesh made so far.
    void Clear();

private:
    KDuzSdkManager* mManager;
    std::unordered_map<const KDuzObject*, KDuzMesh*> mMade;   // by source geometry
};

}  // namespace duzsdk
