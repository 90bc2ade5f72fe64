// The document: every object of one file is connected to its scene as a
// source. The scene owns the root of the node tree, the camera-switcher
// node, the global light, camera and time settings, the take descriptions
// and the scene information, and lists its objects by class.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/scene/KDuzTakeDescription.h"

#include <vector>

namespace duzsdk {

class KDuzGenericNode;
class KDuzGlobalCameraSettings;
class KDuzGlobalLightSettings;
class KDuzGlobalSettings;
class KDuzGlobalTimeSettings;
class KDuzNode;
class KDuzPose;
class KDuzSceneInfo;
class KDuzTakeNodeContainer;

class KDuzScene_internal : public KDuzObject_internal {
public:
    explicit KDuzScene_internal(KDuzObject* object) : KDuzObject_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

// The texture layer-element types the material and texture passes handle,
// in the order they handle them (3 is the diffuse channel).
inline constexpr int kDuzSceneTextureLayerTypes[] = {10, 11, 12, 13, 3,  14, 15, 17,
                                                     18, 19, 16, 20, 21, 22, 23};

class KDuzScene;

// The sources of the plug that are objects of the class (a null class id:
// every object), in connection order, gathered in one walk. Loops over
// GetSrcObject (class, i) walk the connections once per index; this keeps
// whole-scene passes linear.
void KDuzCollectSrcObjects(const KDuzPlug* plug, const KClassId& classId, std::vector<KDuzObject*>& out);

// The scene's passes over geometry layers, meshes, textures and videos.
// Those classes sit above the scene, so their layer provides the passes and
// installs them once; a pass that is not installed does nothing.
struct KDuzSceneLayerPasses {
    void (*connectLayerMaterialsToNodes)(KDuzScene& scene) = nullptr;
    void (*connectLayerTexturesToNode)(KDuzScene& scene, int layerElementType) = nullptr;
    void (*connectNodeMaterialsToLayers)(KDuzScene& scene) = nullptr;
    void (*connectNodeTexturesToLayer)(KDuzScene& scene, int layerElementType) = nullptr;
    void (*createVideosForTextures)(KDuzScene& scene) = nullptr;
    bool (*createVideoForObject)(KDuzScene& scene, const char* name, KDuzObject* object,
                                 const char* fileName, const char* relativeFileName,
                                 const char* mediaName) = nullptr;
    bool (*convertNurbsSurfacesToNurbs)(KDuzScene& scene) = nullptr;
    void (*recomputeMeshNormals)(KDuzScene& scene) = nullptr;
};
void KDuzSceneSetLayerPasses(const KDuzSceneLayerPasses& passes);

class KDuzScene : public KDuzObject {
public:
    enum EError { eTakeError = 0, eObjectIsNull, eObjectAlreadyOwned, eObjectNotOwned, eErrorCount };

    KDuzScene(KDuzSdkManager* manager, const char* name);
    ~KDuzScene() override;

    static KDuzScene* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    // ---- KDuzPlug / KDuzObject ----
    KClassId GetClassId() const override;
    // Refuses to connect an object that is already a source of the scene.
    bool ConnectNotify(const KDuzConnectEvent& event) override;
    void PostCreate() override;
    // Frees the scene information, the settings objects and the take
    // descriptions; with recursive, destroys every connected object.
    void DestroyContents(bool recursive, bool dependents) override;
    int GetNameKind() const override { return eDuzNameKindScene; }

    // ---- fields ----
    KDuzNode* GetRootNode() const { return mRootNode; }
    KDuzNode* GetCameraSwitcherNode() const { return mCameraSwitcherNode; }
    // Destroys the current camera-switcher node (not when it is the same node).
    void SetCameraSwitcherNode(KDuzNode* node);
    // Null once the scene information was destroyed elsewhere.
    KDuzSceneInfo* GetSceneInfo() const;
    // Stores the pointer and returns it. The previous one stays with the
    // manager; the scene destroys only the one it holds when cleared.
    KDuzSceneInfo* SetSceneInfo(KDuzSceneInfo* info);
    KDuzGlobalLightSettings* GetGlobalLightSettings() const { return mLightSettings; }
    KDuzGlobalCameraSettings* GetGlobalCameraSettings() const { return mCameraSettings; }
    KDuzGlobalTimeSettings* GetGlobalTimeSettings() const { return mTimeSettings; }
    // The first source of class KDuzGlobalSettings.
    KDuzGlobalSettings* GetGlobalSettings() const;
    const char* GetCurrentTakeName() const { return mCurrentTakeName.Buffer(); }
    KErrorState& GetError() { return mError; }
    const KErrorState& GetError() const { return mError; }

    bool ConnectObject(KDuzObject* object);

    // ---- objects by class ----
    // Classes of later layers come back as KDuzObject until they exist.
    int GetMaterialCount() const;
    KDuzObject* GetMaterial(int index) const;
    KDuzObject* FindMaterial(const char* name) const;
    int GetTextureCount() const;
    KDuzObject* GetTexture(int index) const;
    KDuzObject* FindTexture(const char* name) const;
    int GetNodeCount() const;
    KDuzNode* GetNode(int index) const;
    KDuzNode* FindNode(const char* name) const;
    int GetGeometryCount() const;
    KDuzObject* GetGeometry(int index) const;
    int GetVideoCount() const;
    KDuzObject* GetVideo(int index) const;
    int GetTakeNodeContainerCount() const;
    // The object's own container query stays reachable beside the indexed one.
    using KDuzObject::GetTakeNodeContainer;
    KDuzTakeNodeContainer* GetTakeNodeContainer(int index) const;
    int GetGenericNodeCount() const;
    KDuzGenericNode* GetGenericNode(int index) const;
    KDuzGenericNode* FindGenericNode(const char* name) const;
    int GetCharacterCount() const;
    KDuzObject* GetCharacter(int index) const;
    int GetControlSetPlugCount() const;
    KDuzObject* GetControlSetPlug(int index) const;
    int GetCharacterPoseCount() const;
    KDuzObject* GetCharacterPose(int index) const;
    int GetPoseCount() const;
    KDuzPose* GetPose(int index) const;

    // Create through the manager, connect, and return the new object's
    // index among the scene's objects of its class; -1 on failure.
    int CreateCharacter(const char* name);
    int CreateControlSetPlug(const char* name);
    int CreateCharacterPose(const char* name);
    // False for an index out of range.
    bool DestroyCharacterPose(int index);

    // ---- array fillers (each array is emptied first) ----
    void FillTextureArray(KPointerArray<KDuzObject>& array) const;
    void FillMaterialArray(KPointerArray<KDuzObject>& array) const;
    // Deletes the array's strings, then lists each take name of the take-node
    // containers once, in order of first appearance. The caller deletes the
    // strings.
    void FillTakeNameList(KPointerArray<KString>& array) const;
    // Nodes with an attribute of the type: from the root node depth first,
    // or the scene's nodes in connection order.
    void FillNodeAttributeList(KPointerArray<KDuzNode>& array, int type, bool recursive) const;

    // ---- takes ----
    bool SetCurrentTake(const char* name);
    KDuzTakeDescription* GetTakeDescription(const KString& name) const;
    // False, changing nothing, for a take name no take-node container knows.
    bool SetTakeDescription(const KDuzTakeDescription& description);
    bool HasTakeName(const KString& name) const;
    int GetTakeDescriptionCount() const { return mTakeDescriptions.Count(); }
    KDuzTakeDescription* GetTakeDescriptionAt(int index) const {
        return mTakeDescriptions.GetAt(index, nullptr);
    }

    // ---- whole scene ----
    // Back to the state of a new scene, keeping the root and camera-switcher
    // node objects.
    void Clear();
    void ConvertSkeletonInheritTypes(KDuzNode* node);
    void ConnectLayerMaterialsToNodes();
    void ConnectLayerTexturesToNodes();
    void ConnectLayerTexturesToNode(int layerElementType);
    void ConnectNodeMaterialsToLayers();
    void ConnectNodeTexturesToLayers();
    void ConnectNodeTexturesToLayer(int layerElementType);
    void CreateVideosForTextures();
    // True when a video was created and connected to the object.
    bool CreateVideoForObject(const char* name, KDuzObject* object, const char* fileName,
                              const char* relativeFileName, const char* mediaName);
    // False when nothing could be converted (no converter installed).
    bool ConvertNurbsSurfacesToNurbs();
    void RecomputeMeshNormals();
    void RemoveNurbsCurves();

private:
    std::vector<KDuzTakeNodeContainer*> TakeNodeContainers() const;
    int CountOf(int classIndex) const;
    KDuzObject* ObjectOf(int classIndex, int index) const;
    KDuzObject* FindOf(int classIndex, const char* name) const;
    int CreateAndConnect(int classIndex, const char* name);
    void CreateGlobalSettingsObject();
    // A new "Camera Switcher" node with its attribute, connected to the scene.
    void CreateCameraSwitcherNode();
    // Name, visibility, shading and a switcher back at its first camera.
    void SetUpCameraSwitcherNode();
    void DestroySceneInfo();
    void DeleteSettings();

    KDuzSdkManager* mSdkManager;
    KDuzNode* mCameraSwitcherNode = nullptr;
    KDuzNode* mRootNode = nullptr;
    KDuzGlobalLightSettings* mLightSettings = nullptr;
    KDuzGlobalCameraSettings* mCameraSettings = nullptr;
    KDuzGlobalTimeSettings* mTimeSettings = nullptr;
    KString mCurrentTakeName;
    KPointerArray<KDuzTakeDescription> mTakeDescriptions;
    // Weak: a scene information destroyed elsewhere (a reader may connect it
    // to the scene, so it goes with the scene's sources) reads as null.
    HdlKObject mSceneInfo;
    KErrorState mError;
};

}  // namespace duzsdk
