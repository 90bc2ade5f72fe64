// Writes a scene as a COLLADA 1.4 document: the asset, the libraries of
// images, materials, effects, geometries, controllers, animations, lights,
// cameras and visual scenes, and the scene element. Each library is written
// as it is made into a stream of its own (only the elements being made stay
// in memory), and the document is assembled from them in document order;
// the target file appears only when the whole write succeeded.
#pragma once

#include <libxml/tree.h>

#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/formats/KDuzWriteMeshes.h"
#include "sdk/formats/collada/ColladaXmlStream.h"
#include "sdk/io/KDuzWriter.h"

namespace duzsdk {

class KDuzCamera;
class KDuzMesh;
class KDuzNode;
class KDuzObject;
class KDuzScene;
class KDuzSurfaceMaterial;
class KDuzTakeNode;
class KDuzTexture;
class KFCurve;

// The nodes the scene's skin clusters link to.
std::unordered_set<const KDuzNode*> ColladaSkinJointNodes(KDuzNode* root);
// The top joint above each joint of the mesh's skins.
std::vector<const KDuzNode*> ColladaSkeletonRoots(KDuzMesh* mesh, const std::unordered_set<const KDuzNode*>& joints);

class KDuzWriterCollada : public KDuzWriter {
public:
    // The user notification entry that receives the writer's messages.
    static constexpr int kNotificationEntry = 6;

    explicit KDuzWriterCollada(KDuzSdkManager* manager);
    ~KDuzWriterCollada() override;

    bool FileCreate(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override;
    KDuzStreamOptions* GetWriteOptions() override;
    bool Write(KDuzScene* scene, KDuzStreamOptions* options) override;
    bool PreprocessScene(KDuzScene* scene) override;
    bool PostprocessScene(KDuzScene*) override { return false; }

    const KString& GetFileName() const { return mFileName; }

    void NotifyError(const KString& text);
    void NotifyWarning(const KString& text);

private:
    // ---- frame ----
    bool WriteAsset(xmlNode* root);
    bool ExportScene(xmlNode* root);
    void DropEmptyVisualScene();
    bool SaveDocument(xmlNode* root);
    void ReleaseDocument();
    void RestoreScene();
    // Gives the objects the write names elements after a name when they have none.
    void NameUnnamedObjects(KDuzNode* root);
    static xmlNode* Library(ColladaXmlStream& part, const char* name) { return part.Root(name, 1); }
    // The element as the library's new last child; what came before is written out.
    static void AppendToLibrary(ColladaXmlStream& part, const char* name, xmlNode* element);

    // ---- geometry ----
    xmlNode* ExportGeometry(KDuzNode* node, KDuzMesh* mesh);
    bool ExportMesh(KDuzNode* node, KDuzMesh* mesh, xmlNode* element);
    xmlNode* WriteMeshBody(xmlNode* mesh, KDuzMesh* geometry, const KString& n, bool skinned, bool withMaterials);
    void WritePositions(xmlNode* mesh, KDuzMesh* geometry, const KString& n, bool unskinned);
    void WriteLayerSources(xmlNode* mesh, KDuzMesh* geometry, const KString& n);
    xmlNode* WriteVertices(xmlNode* mesh, const KString& n, const KString& positionsId);
    xmlNode* WritePolygons(xmlNode* mesh, KDuzMesh* geometry, const KString& material, const KString& n,
                           bool filterByMaterial);
    bool WriteMorphTargetGeometries(xmlNode* visualScene);
    xmlNode* WriteShapeGeometry(KDuzMesh* shape, const KString& id);

    // ---- materials, effects, images ----
    xmlNode* WriteMaterial(KDuzSurfaceMaterial* material);
    void WriteEffect(KDuzSurfaceMaterial* material, const KString& effectId);
    bool ExportMeshTextures(KDuzMesh* mesh, KDuzNode* node);
    bool AddTextureToEffect(const KString& materialId, KDuzTexture* texture, const KString& imageId, int layer,
                            int channel);
    xmlNode* WriteTexture(KDuzTexture* texture, const KString& samplerSid, int layer);
    KDuzSurfaceMaterial* MakeTextureMaterial(const KString& name);

    // ---- nodes ----
    xmlNode* ExportNodeTree(xmlNode* parent, KDuzNode* node);
    xmlNode* ExportNode(xmlNode* parent, KDuzNode* node);
    bool ExportNodeTransforms(xmlNode* element, KDuzNode* node);
    bool ExportNodeAttribute(xmlNode* element, KDuzNode* node);
    bool ExportGeometryInstance(xmlNode* element, KDuzNode* node, bool triangulate);

    // ---- cameras and lights ----
    xmlNode* AddCameraToLibrary(KDuzNode* node);
    xmlNode* AddLightToLibrary(KDuzNode* node);
    xmlNode* ExportCamera(KDuzNode* node);
    xmlNode* ExportLight(KDuzNode* node);
    void ExportSceneAmbient();

    // ---- controllers ----
    bool ExportSkinController(KDuzMesh* mesh, const KString& n);
    bool ExportMorphController(KDuzMesh* mesh, const KString& n, KDuzNode* node);

    // ---- animation ----
    bool ExportLibraryAnimations(KDuzNode* node);
    bool ExportNodeAnimation(KDuzNode* node, xmlNode* animation, KDuzTakeNode* take);
    bool ExportCurve(xmlNode* parent, const KString& n, KFCurve* curve, const char* element, const char* member,
                     bool morphWeight, bool divideBy100, bool libraryElement);
    void ExportMatrixChannel(xmlNode* parent, KDuzNode* node, KDuzTakeNode* take);

    struct ShapeGeometry {
        KString id;
        KDuzMesh* mesh;
    };

    FILE* mFile = nullptr;        // the temporary file that receives the document
    KString mFileName;            // the target
    KString mTemporaryName;       // beside the target, renamed over it after a good write
    bool mSuccess = true;
    xmlNode* mRoot = nullptr;
    KDuzScene* mScene = nullptr;
    // The libraries, in document order. Materials, effects and images stay
    // in memory until the end: textures found later change the effects.
    ColladaXmlStream mImagesPart;
    ColladaXmlStream mMaterialsPart;
    ColladaXmlStream mEffectsPart;
    ColladaXmlStream mGeometriesPart;
    ColladaXmlStream mControllersPart;
    ColladaXmlStream mAnimationsPart;
    ColladaXmlStream mLightsPart;
    ColladaXmlStream mCamerasPart;
    ColladaXmlStream mVisualScenesPart;
    std::vector<ShapeGeometry> mShapeGeometries;
    bool mTriangulate = false;
    bool mSingleMatrix = false;
    KTime mSamplingPeriod;
    // Triangles, and meshes for patches and NURBS, made beside the caller's
    // scene, which the write leaves as it is.
    KDuzWriteMeshes mMeshes;

    // Ids already in the document, so each library element is written once
    // without scanning the libraries; the shader element of each effect.
    std::unordered_set<std::string> mGeometryIds;
    std::unordered_set<std::string> mImageIds;
    std::unordered_map<std::string, xmlNode*> mMaterials;
    std::unordered_map<std::string, xmlNode*> mEffectShaders;
    // The samplers each effect has (material id, a line end, image id), and
    // the layers whose texture coordinates the textures of each material
    // use: its instances bind those.
    std::unordered_set<std::string> mEffectSamplers;
    std::unordered_map<std::string, std::set<int>> mMaterialTextureLayers;
    // What the write changed in the caller's scene or made in its manager,
    // undone when the write ends.
    std::vector<KDuzObject*> mMadeObjects;
    std::vector<KDuzObject*> mNamedObjects;
    // The material symbols of the groups of the mesh written last, bound by
    // its instance.
    std::vector<KString> mLastMeshSymbols;
    // The nodes some skin cluster links to: written with a sid, by which
    // the skins name them.
    std::unordered_set<const KDuzNode*> mJointNodes;
};

class KDuzLayerElementMaterial;

// Shared by the writing steps.
// The material a polygon uses by the material element's own mapping and
// reference; null when its index is out of range.
KDuzSurfaceMaterial* ColladaPolygonMaterial(const KDuzLayerElementMaterial* element, int polygon);
// The effect parameter of an exported texture channel (0 "ambient", 1
// "diffuse", 2 "emission", 3 "reflective", 4 "specular", 5 "transparent");
// "INVALID" for any other index.
void ColladaTextureChannelName(int channel, KString& name);
bool ColladaIsNonZero(double value);
bool ColladaVectorIsNonZero(const KgeTVector& vector);
bool ColladaVectorDiffersFrom(const KgeTVector& vector, double value);
bool ColladaHasTranslationKeys(KDuzNode* node);
bool ColladaHasRotationKeys(KDuzNode* node);
bool ColladaHasScalingKeys(KDuzNode* node);
bool ColladaHasRotationKeysOn(KDuzNode* node, int axis);
bool ColladaCopyMesh(KDuzMesh* destination, const KDuzMesh* source);
void ColladaConvertFocalLengthCurve(KFCurve* destination, KFCurve* focalLength, const KDuzCamera* camera);

}  // namespace duzsdk
