// Writes a scene as a 3DS chunk file through the 3DS file toolkit: meshes
// with their materials and texture maps, point lights, spotlights, cameras,
// the ambient colour and background, and one keyframer node per object with
// the current take sampled once per frame.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"
#include "sdk/formats/KDuzWriteMeshes.h"
#include "sdk/io/KDuzWriter.h"

namespace duzsdk {

class KDuzCamera;
class KDuzLight;
class KDuzMesh;
class KDuzNode;
class KFCurve;
struct FtkCameraMotion;
struct FtkDatabase;
struct FtkFile;
struct FtkKeyHeader;
struct FtkLight;
struct FtkCamera;
struct FtkMaterial;
struct FtkMeshSettings;
struct FtkObjectMotion;
struct FtkOmniMotion;
struct FtkRotKey;
struct FtkSpotMotion;
struct FtkTriMesh;
struct FtkVector;

class KDuzWriter3DS : public KDuzWriter {
public:
    // Counts of a 3DS mesh are 16-bit.
    static constexpr int kMaxMeshCount = 65535;

    explicit KDuzWriter3DS(KDuzSdkManager* manager);
    ~KDuzWriter3DS() override;

    bool FileCreate(const char* fileName) override;
    bool FileClose() override { return true; }
    bool IsFileOpen() override { return true; }
    KDuzStreamOptions* GetWriteOptions() override;
    bool Write(KDuzScene* scene, KDuzStreamOptions* options) override;
    bool PreprocessScene(KDuzScene* scene) override;
    bool PostprocessScene(KDuzScene*) override { return false; }

    // Y-up scene axes to the Z-up axes of 3DS.
    static void ToZUpPoint(const double in[3], double out[3]);
    static void ToZUpScale(const double in[3], double out[3]);
    static void ToZUpRotation(const double in[3], double out[3]);

    // Record builders; each returns a record the caller owns, or null.
    FtkTriMesh* WriteMesh(KDuzMesh* mesh, const double translation[3], const double rotation[3],
                          const double scaling[3], const char* nodeName);
    FtkMaterial* WriteMaterial(KDuzMesh* mesh, int material, int texture1, int texture2);
    bool CopyTextureFile(const char* path);
    FtkLight* WriteOmniLight(KDuzLight* light, const double translation[3], const char* nodeName);
    FtkLight* WriteSpotlight(KDuzLight* light, const double translation[3], const char* nodeName);
    FtkCamera* WriteCamera(KDuzCamera* camera, const double translation[3], const char* nodeName);
    FtkObjectMotion* WriteObjectMotion(KDuzNode* node);
    FtkOmniMotion* WriteOmniMotion(KDuzNode* node);
    FtkSpotMotion* WriteSpotMotion(KDuzNode* node);
    FtkCameraMotion* WriteCameraMotion(KDuzNode* node);

    // Samplers: keys 0 to n - 1 at frames 0 to n - 1.
    static bool SamplePositionKeys(FtkKeyHeader* keys, FtkVector* values, KFCurve* const curves[3], int n);
    static bool SampleRotationKeys(FtkKeyHeader* keys, FtkRotKey* values, KFCurve* const curves[3], int n);
    static bool SampleScaleKeys(FtkKeyHeader* keys, FtkVector* values, KFCurve* const curves[3], int n);
    static bool SampleColorKeys(FtkKeyHeader* keys, FtkVector* values, KFCurve* const curves[3], int n);
    static bool SampleFloatKeys(FtkKeyHeader* keys, float* values, KFCurve* curve, int n);

    // Parent name of a node in the keyframer.
    std::string ParentName(const KDuzNode* node, bool objectMotion) const;

    double GetRescaleFactor() const { return mRescaleFactor; }
    int GetMeshCounter() const { return mMeshCounter; }
    FtkDatabase* GetDatabase() const { return mDatabase; }

private:
    bool InitWrite(KDuzStreamOptions* options);
    bool SaveAndClose();
    void ReleaseToolkit();
    void WriteNode(KDuzNode* node);
    bool Stopped();
    void NodeTransform(KDuzNode* node, double t[3], double r[3], double s[3]) const;
    int KeyCount(KDuzNode* node) const;

    bool mTexture = true;
    bool mMaterial = true;
    bool mAnimation = true;
    bool mMesh = true;
    bool mLight = true;
    bool mCamera = true;
    bool mAmbientLight = true;
    bool mTexUVByPoly = false;
    bool mReferenceNode = false;
    bool mRescaling = true;

    FtkFile* mFile = nullptr;
    FtkDatabase* mDatabase = nullptr;
    FtkMeshSettings* mMeshSettings = nullptr;
    std::string mFileName;
    double mRescaleFactor = 1.0;
    KDuzScene* mScene = nullptr;
    KDuzNode* mRootNode = nullptr;
    int mMeshCounter = 0;
    KTime mAnimStart;
    KTime mAnimStop;
    bool mAnimationEnabled = true;
    // A mesh too large for the format: the write is refused.
    bool mRefused = false;
    KDuzWriteMeshes mMeshes;   // patches and NURBS as triangles, beside the scene
};

}  // namespace duzsdk
