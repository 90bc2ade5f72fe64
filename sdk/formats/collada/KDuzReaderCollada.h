// Imports a Collada 1.4 document (".dae") into a scene. libxml2 builds the
// tree from the file opened by FileOpen; the reader walks the document,
// hands each library to the reading code of its family and instances the
// visual scene that the "scene" element names. Animation is read last.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include <libxml/tree.h>

#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/formats/collada/ColladaXmlRead.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KRenamingStrategy.h"

namespace duzsdk {

class KDuzCamera;
class KDuzCluster;
class KDuzLight;
class KDuzMesh;
class KDuzNode;
class KDuzObject;
class KDuzPose;
class KDuzScene;
class KDuzSceneInfo;
class KDuzSkeleton;
class KDuzSurfaceMaterial;
class KDuzTexture;
class KFCurve;

// What an animation channel can target, recorded under element id + "/" + sid:
// the element's name and, for a rotation, its axis (0 X, 1 Y, 2 Z, -1 other);
// the component for translate and scale.
struct ColladaTransformTarget {
    KString kind;
    int index = 0;
};

// A texture bound to a material: layer and texture channel.
struct ColladaTextureBinding {
    KDuzTexture* texture = nullptr;
    // The texture's "texcoord": the name an instance_material binds to a set.
    KString texcoord;
    int channel = 3;
};

// One controller as read: skin clusters with their bind pose, morph targets.
struct ColladaController {
    KString id;
    KString source;   // "#" + geometry id, as written
    KgeMatrix bindShapeMatrix;
    std::vector<KDuzCluster*> clusters;
    std::vector<KString> clusterJointNames;   // the joint name of each cluster
    KDuzPose* bindPose = nullptr;
    std::vector<KString> morphTargetIds;
    KString weightSourceId;
    std::vector<double> morphWeights;
};

// One shape added for a morph controller's weight source.
struct ColladaMorphChannel {
    KString weightSourceId;
    KString nodeName;
    KString targetId;
    int shapeIndex = -1;
};

// Rotation order from the document positions of a node's X, Y, Z rotations.
int ColladaRotationOrderFromAxes(const int order[3], int count);
// Splits an animation target into element id, key and member.
void ColladaSplitTarget(const KString& target, KString& elementId, KString& key, KString& member);
void ColladaSetNodeTransformFromMatrix(KDuzNode* node, const KgeMatrix& matrix);

// Whether two textures read stand for one image: the same name and file
// (images of one name may hold different files).
bool ColladaSameTexture(const KDuzTexture* a, const KDuzTexture* b);

// Calls visit on every element under root (root included), without recursion.
void ColladaForEachElement(xmlNode* root, const std::function<void(xmlNode*)>& visit);
void ColladaCopyNodeTransform(KDuzNode* destination, KDuzNode* source);
void ColladaCopyLight(KDuzLight* destination, KDuzLight* source);
void ColladaCopyCamera(KDuzCamera* destination, KDuzCamera* source);
void ColladaCopySkeletonType(KDuzSkeleton* destination, KDuzSkeleton* source);
void ColladaCopyCluster(KDuzCluster* destination, KDuzCluster* source);
void ColladaCopyPoseEntries(KDuzPose* destination, KDuzPose* source);
// The nodes under root by name; the first in pre-order wins.
std::unordered_map<std::string, KDuzNode*> ColladaNodesByName(KDuzNode* root);
// Links the cluster to the node instead of its current link.
void ColladaRelinkCluster(KDuzCluster* cluster, KDuzNode* node);
bool ColladaReadLookAt(const xmlNode* node, KgeTVector& eye, KgeTVector& interest, KgeTVector& up,
                       KgeMatrix& matrix);

class KDuzReaderCollada : public KDuzReader {
public:
    explicit KDuzReaderCollada(KDuzSdkManager* manager);
    ~KDuzReaderCollada() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KDuzStreamOptions* GetReadOptions(bool parseFileAsNeeded) override;
    bool Read(KDuzScene* scene, KDuzStreamOptions* options) override;

    // Every diagnostic of this reader, with its "ERROR: " or "Warning: " prefix,
    // in order (also added to entry 6 of the user notification when there is one).
    const std::vector<KString>& GetDiagnostics() const { return mDiagnostics; }
    KTime GetTakeStart() const { return mTakeStart; }
    KTime GetTakeStop() const { return mTakeStop; }

    // Deepest node nesting followed; deeper documents are refused.
    static constexpr int kMaxNodeDepth = 200;
    // Highest input set (our layer) read.
    static constexpr int kMaxTexcoordSet = 63;
    // Most nodes that instance_node elements may make in one read.
    static constexpr int kMaxInstancedNodes = 10000;

private:
    // ---- frame and document ----
    bool ReadDocument(KDuzScene* scene, xmlNode* root);
    bool CheckVersion(const KString& version);
    bool ReadAsset(xmlNode* asset, KDuzScene* scene, KDuzSceneInfo* info);
    bool ReadLibrary(KDuzScene* scene, xmlNode* library);
    bool ReadScene(KDuzScene* scene, xmlNode* sceneElement);
    bool InstanceVisualScene(KDuzScene* target, KDuzScene* visualScene);
    // Links each skin cluster of the tree to its joint node; the old link
    // to the joint it was replaced by.
    std::unordered_map<KDuzNode*, KDuzNode*> RelinkClusters(KDuzNode* root,
                                                            const std::unordered_map<std::string, KDuzNode*>& byName);
    void ConnectSceneMaterials(KDuzScene* scene);
    void NotifyError(const KString& text);
    void NotifyWarning(const KString& text);
    // True the first time a name is met (and remembers it).
    bool WarnOnce(const KString& name);
    void ClearTables();

    // ---- geometry ----
    bool ReadGeometry(xmlNode* geometry);
    bool ReadMesh(xmlNode* mesh, KDuzMesh* target);
    bool ReadVertices(xmlNode* mesh, KDuzMesh* target);
    bool ReadPrimitives(xmlNode* mesh, KDuzMesh* target);
    // With `take`, the source's big arrays (points, polygons, layer element
    // arrays) are moved rather than copied, and the source is left empty: for
    // the last copy of a visual scene, whose meshes are not read again.
    bool CopyMesh(KDuzMesh* destination, KDuzMesh* source, bool take = false);
    // True when this instance is the last one to use a library mesh (counted
    // once over the document; never for a morph target or a document that
    // instances nodes, whose instances repeat).
    bool TakesLastMeshUse(const KDuzObject* mesh);
    void CountMeshUses();
    bool BuildMorphShapes(KDuzMesh* mesh, const KString& nodeName, const ColladaController& controller);
    bool CopyNodeForInstance(KDuzNode* destination, KDuzNode* source);

    // ---- materials, effects, images ----
    bool ReadImage(xmlNode* image);
    bool ReadEffect(xmlNode* effect);
    bool ReadTexture(xmlNode* texture, const KString& effectId, int channel);
    bool ReadMaterial(xmlNode* material);

    // ---- visual scenes and nodes ----
    bool ReadVisualScene(xmlNode* visualScene);
    // parent: the node the element's node will hang under, when there is one.
    bool ReadNode(xmlNode* element, KDuzNode* node, const KString& id, int depth, KDuzNode* parent = nullptr);
    bool ReadNodeTransforms(xmlNode* element, KDuzNode* node, KDuzNode* parent);
    bool ReadInstanceAttribute(xmlNode* element, KDuzNode* node, KDuzObject* attribute);
    bool ReadInstance(xmlNode* element, xmlNode* instance, KDuzNode* node);
    // Reads the node an instance_node names, for parent: appended to children.
    bool ReadInstanceNode(xmlNode* instance, KDuzNode* parent, int depth, std::vector<KDuzNode*>& children);
    bool BindMaterials(xmlNode* instance, KDuzNode* node);
    void BindMaterialTextures(KDuzMesh* mesh, int materialIndex, const KString& symbol,
                              const std::vector<ColladaTextureBinding>& bindings);
    // The texture coordinate set (our layer) that the instance_material of
    // symbol binds texcoord to; 0 when none does. The document's first
    // instance_material of a symbol holds.
    int TexcoordLayer(const KString& symbol, const KString& texcoord);
    bool MakeJoint(KDuzNode* node, const KString& id);
    bool CopyNodeTree(KDuzNode* destination, KDuzNode* source, int depth);
    // Moves the visual scene's nodes under the target's root, each left as
    // CopyNodeTree would have copied it: for the last instance of a visual
    // scene, whose nodes are not needed again.
    bool AdoptNodeTree(KDuzScene* target, KDuzScene* visualScene);
    // The node to stand for node in the scene, with its subtree taken the
    // same way: node itself, or a copy where a copy would differ.
    KDuzNode* AdoptNode(KDuzNode* node, KDuzScene* visualScene, int depth);
    bool ColladaCopyNodeAttribute(KDuzNode* destination, KDuzNode* source);
    // The scene node of the first node element of the visual scene that
    // instances the element of this id; null when there is none.
    KDuzNode* FirstInstancingNode(const KString& id);
    // The scene's nodes by name (the first in pre-order, as a search from the
    // root finds it), built once for the animation channels.
    KDuzNode* FindSceneNode(const KString& name) const;

    // ---- cameras and lights ----
    bool ReadCamera(xmlNode* camera);
    bool ReadLight(KDuzScene* scene, xmlNode* light);
    bool CheckCameraName(const KString& name);
    void AddAnimatedTarget(const KString& key, const KString& kind, int index);

    // ---- controllers ----
    bool ReadController(xmlNode* controller);
    bool ReadVertexWeights(xmlNode* skin, ColladaController& record);
    bool ReadSkinJoints(xmlNode* skin, ColladaController& record);
    bool ReadMorphTargets(xmlNode* morph, ColladaController& record);
    void ReadRotate(xmlNode* rotate, int& axis, KgeTVector& euler);

    // ---- animation ----
    bool ReadAnimation(xmlNode* animation, KDuzScene* scene, int depth);
    void WidenTakeSpan(KTime time);

    FILE* mFile = nullptr;
    KString mFileName;
    bool mSuccess = false;
    KTime mTakeStart;
    KTime mTakeStop;
    bool mTakeSpanSet = false;
    int mFrameCount = 0;
    double mFrameRate = 0.0;
    KString mVersion;
    std::set<std::string> mWarned;
    KNumberRenamingStrategy mRenamer;
    xmlDoc* mDocument = nullptr;
    xmlNode* mSceneElement = nullptr;
    xmlNode* mVisualSceneElement = nullptr;
    xmlNode* mEffectProfile = nullptr;   // the profile_COMMON of the effect being read
    std::vector<KString> mDiagnostics;

    std::unordered_map<std::string, KDuzScene*> mVisualScenes;
    std::vector<std::pair<KString, xmlNode*>> mAnimations;
    std::unordered_map<std::string, KDuzObject*> mNodeAttributes;
    std::unordered_map<std::string, ColladaTransformTarget> mAnimatedTargets;
    std::unordered_map<std::string, KDuzSurfaceMaterial*> mMaterials;
    std::unordered_map<std::string, KDuzSurfaceMaterial*> mEffects;
    std::unordered_map<std::string, KDuzTexture*> mImages;
    std::unordered_map<std::string, std::vector<ColladaTextureBinding>> mTextureBindings;
    std::unordered_map<std::string, std::unique_ptr<ColladaController>> mControllers;
    std::vector<ColladaController*> mControllerOrder;
    std::unordered_map<std::string, std::vector<ColladaMorphChannel>> mMorphTable;
    std::vector<KDuzPose*> mPoses;
    std::unordered_map<std::string, KDuzNode*> mSceneNodes;
    // Element id to the first node instancing it, built once for the channels.
    std::unordered_map<std::string, KDuzNode*> mInstancingNodes;
    bool mInstancingNodesRead = false;
    bool mSharedLibrariesRead = false;
    // Written by our own writer (its authoring tool).
    bool mOwnDocument = false;
    std::set<KDuzSurfaceMaterial*> mReplacedMaterials;
    // Clusters made by this read: only these are relinked to joints.
    std::vector<KDuzCluster*> mCreatedClusters;
    // Node name to the node's sid, and a skinned node's name to the ids of
    // its skeleton roots: joints named by sid are found under those.
    std::unordered_map<std::string, KString> mNodeSids;
    std::unordered_map<std::string, std::vector<KString>> mSkeletonRoots;
    // The document's nodes by id, the ones being instanced now, and how many
    // nodes instances made.
    std::unordered_map<std::string, xmlNode*> mNodeElements;
    // Material symbol to its bind_vertex_input (texcoord, set) pairs.
    std::unordered_map<std::string, std::vector<std::pair<KString, int>>> mTexcoordSets;
    bool mTexcoordSetsRead = false;
    std::vector<const xmlNode*> mExpanding;
    int mInstancedNodes = 0;
    // Instances left to copy each library mesh; copies of the visual scene
    // being instanced take its meshes when it is not instanced again.
    std::unordered_map<const KDuzObject*, int> mMeshUses;
    bool mMeshUsesCounted = false;
    bool mTakeVisualSceneMeshes = false;
};

}  // namespace duzsdk
