// Reads a 3DS chunk file into a scene through the 3DS file toolkit: the
// toolkit loads the chunks into a database and hands out typed records
// (meshes, lights, cameras, materials, keyframer nodes); this reader turns
// them into meshes with materials and textures, lights, cameras with their
// targets, a node tree and the take "default take" with the keyframe tracks.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/io/KDuzReader.h"

namespace duzsdk {

class KDuzCamera;
class KDuzLight;
class KDuzMarker;
class KDuzMesh;
class KDuzNode;
class KDuzScene;
class KDuzSurfaceMaterial;
class KDuzTexture;
class KFCurve;
struct FtkBackground;
struct FtkCamera;
struct FtkCameraMotion;
struct FtkDatabase;
struct FtkFile;
struct FtkKeyHeader;
struct FtkLight;
struct FtkMaterial;
struct FtkMeshSettings;
struct FtkObjectMotion;
struct FtkOmniMotion;
struct FtkSpotMotion;
struct FtkTriMesh;

class KDuzReader3DS : public KDuzReader {
public:
    explicit KDuzReader3DS(KDuzSdkManager* manager);
    ~KDuzReader3DS() override;

    // True for any name: a file the toolkit cannot open fails the read.
    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return true; }
    KDuzStreamOptions* GetReadOptions(bool parseFileAsNeeded) override;
    bool Read(KDuzScene* scene, KDuzStreamOptions* options) override;

    virtual bool BuildScene(KDuzScene* scene);
    virtual bool CreateObjects();

    static constexpr const char* kTakeName = "default take";

private:
    struct TexturePair {
        KDuzTexture* first = nullptr;
        KDuzTexture* second = nullptr;
    };

    // ---- records (KDuzReader3ds.cpp) ----
    bool ToolkitFailed();
    bool LoadRecords();
    void ReleaseRecords();
    bool CreateNodes();
    bool LinkNodes(KDuzScene* scene);
    void Attach(KDuzNode* node, const char* parentName, KDuzNode* parent);
    KDuzNode* NewNode(const std::string& name);
    double PositionScale() const { return mReferenceNodeFlag ? 1.0 : mScale; }

    // ---- materials and meshes (KDuzReader3dsMesh.cpp) ----
    bool ReadMaterials();
    KDuzTexture* ReadTexture(const FtkMaterial& material, int materialIndex, bool second);
    bool BuildMesh(const FtkTriMesh& record, KDuzMesh* mesh);

    // ---- tracks (KDuzReader3dsTracks.cpp) ----
    bool ReadTracks();
    bool ObjectTracks(const FtkObjectMotion& motion, KDuzNode* node);
    void OmniTracks(const FtkOmniMotion& motion, KDuzNode* node, const FtkLight* record);
    void SpotTracks(const FtkSpotMotion& motion, KDuzNode* node, KDuzNode* target, const FtkLight* record);
    void CameraTracks(const FtkCameraMotion& motion, KDuzNode* node, KDuzNode* target);
    bool AnimatedTrack(uint32_t keyCount, const FtkKeyHeader* keys) const;
    // Widens the span of the keys written by the frames of a track: its
    // kept keys when animated, else frame 0 when the static value is keyed.
    template <typename Track>
    void WidenSpan(const Track& track, bool staticKey);

    FtkFile* mFile = nullptr;
    FtkDatabase* mDatabase = nullptr;
    FtkMeshSettings* mMeshSettings = nullptr;
    FtkBackground* mBackground = nullptr;

    bool mTexture = true;
    bool mMaterial = true;
    bool mAnimation = true;
    bool mMesh = true;
    bool mLight = true;
    bool mCamera = true;
    bool mFilter = false;
    bool mAmbientLight = true;
    bool mSmoothGroups = true;
    bool mReferenceNodeFlag = false;
    bool mRescaling = true;

    double mScale = 1.0;
    float mAmbient[3] = {0.0f, 0.0f, 0.0f};

    std::vector<FtkTriMesh*> mMeshRecords;
    std::vector<KDuzMesh*> mMeshes;
    std::vector<FtkObjectMotion*> mObjectMotions;
    std::vector<KDuzNode*> mObjectNodes;
    std::vector<FtkLight*> mOmniRecords;
    std::vector<KDuzLight*> mOmniLights;
    std::vector<FtkOmniMotion*> mOmniMotions;
    std::vector<KDuzNode*> mOmniNodes;
    std::vector<int> mOmniMotionLight;   // omni record of each omni motion, -1 none
    std::vector<FtkLight*> mSpotRecords;
    std::vector<KDuzLight*> mSpotLights;
    std::vector<KDuzMarker*> mSpotTargets;
    std::vector<FtkSpotMotion*> mSpotMotions;
    std::vector<KDuzNode*> mSpotNodes;
    std::vector<KDuzNode*> mSpotTargetNodes;
    std::vector<int> mSpotMotionLight;
    std::vector<FtkCamera*> mCameraRecords;
    std::vector<KDuzCamera*> mCameras;
    std::vector<KDuzMarker*> mCameraTargets;
    std::vector<FtkCameraMotion*> mCameraMotions;
    std::vector<KDuzNode*> mCameraNodes;
    std::vector<KDuzNode*> mCameraTargetNodes;
    std::vector<FtkMaterial*> mMaterialRecords;

    std::unordered_map<std::string, int> mMaterialRecordByName;
    std::unordered_map<std::string, TexturePair> mTextureMap;
    std::unordered_map<std::string, KDuzSurfaceMaterial*> mMaterialsByName;
    std::unordered_set<std::string> mTextureNames;
    // The nodes of this import by name (the first one made wins): parents
    // are looked up here, so a lookup costs no walk over the manager.
    std::unordered_map<std::string, KDuzNode*> mNodesByName;
    KDuzNode* mReferenceNode = nullptr;
    // The frames the written keys span; empty (first above last) until a key.
    int64_t mFirstFrame = 0;
    int64_t mLastFrame = -1;
};

}  // namespace duzsdk
