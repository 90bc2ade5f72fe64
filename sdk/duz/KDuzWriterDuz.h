// The writer of version 5 DUZ files (file version 5800), in binary, ASCII or
// enciphered binary form. The layout predates "Objects" and "Connections":
// every node is a top-level "Model" record that holds its attribute, its
// geometry with materials, textures and skin links inline, and the names of
// its children. Then come the password, the takes, gobos, characters, poses,
// constraints and the global settings and, in a section of its own at the
// end of a plain binary file, the "Summary". Record writers never test the
// field file's error state; the driver does after each section.
#pragma once

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/io/KDuzWriter.h"

namespace duzsdk {

class IDuzObject;
class KDuz;
class KDuzCamera;
class KDuzCameraSwitcher;
class KDuzCharacter;
class KDuzCharacterPose;
class KDuzCluster;
class KDuzControlSet;
class KDuzExporter;
class KDuzGeometry;
class KDuzGeometryBase;
class KDuzLight;
class KDuzMesh;
class KDuzNode;
class KDuzNull;
class KDuzNurb;
class KDuzNurbsSurface;
class KDuzObject;
class KDuzPatch;
class KDuzPose;
class KDuzScene;
class KDuzSkeleton;
class KDuzStreamOptions;
class KDuzStreamOptionsDuzWriter;
class KDuzSurfaceMaterial;
class KDuzTexture;
class KgeTVector;

// Which channels of a texture are animated in some take.
struct KDuzTextureAnimationFlags {
    bool translation = false;
    bool rotation = false;
    bool scaling = false;
    bool alpha = false;
};

// Which channels of a material are animated in some take.
struct KDuzMaterialAnimationFlags {
    bool ambient = false;
    bool diffuse = false;
    bool specular = false;
    bool emissive = false;
    bool opacity = false;
    bool shininess = false;
    bool reflectivity = false;
};

// Flat colour values of a material as the version 5 "Material" record holds them.
struct KDuzMaterialValues {
    KString shadingModel;
    double ambient[3] = {0, 0, 0};
    double diffuse[3] = {0, 0, 0};
    double specular[3] = {0, 0, 0};
    double emissive[3] = {0, 0, 0};
    double shininess = 0.0;
    double alpha = 0.0;
    double reflectivity = 0.0;
};

// The name without a trailing " (Bool)", " (Real)", " (Color)", " (Integer)"
// or " (Vector)"; other endings stay.
KString KDuzPropertyNameStripTypeSuffix(const char* name);

class KDuzWriterDuz : public KDuzWriter {
public:
    enum EFileMode { eAscii = 0, eBinary = 1, eEnciphered = 2 };

    KDuzWriterDuz(KDuzSdkManager* manager, KDuzExporter* owner);
    ~KDuzWriterDuz() override;

    bool FileCreate(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override;
    KDuzStreamOptions* GetWriteOptions() override;
    // PreprocessScene, WriteScene without an embedding file, PostprocessScene;
    // false when the write was refused or failed.
    bool Write(KDuzScene* scene, KDuzStreamOptions* options) override;
    bool PreprocessScene(KDuzScene* scene) override;
    bool PostprocessScene(KDuzScene* scene) override;
    virtual KDuzStreamOptions* CreateWriteOptions(int unused);
    // Writes into `embedding` (an open file object) instead of the writer's
    // own file when given: then no closing patch and no summary. False when
    // an error was set.
    virtual bool WriteScene(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* embedding);

    void SetFileMode(int mode) { mFileMode = mode; }
    int GetFileMode() const { return mFileMode; }
    void SetFileVersionTag(const char* tag) { mExtraText = tag != nullptr ? tag : ""; }
    const KString& GetFileVersionTag() const { return mExtraText; }
    void SetRenamingMode(int mode) { mExtraInt = mode; }
    int GetRenamingMode() const { return mExtraInt; }
    void SetFrameRate(double rate) { mFrameRate = rate; }
    double GetFrameRate() const { return mFrameRate; }
    // The field file of the write in progress, else the writer's own.
    KDuz* GetFieldFile() const;
    IDuzObject* GetFileObject() const { return mFile; }

    // ---- model record (KDuzWriterDuzModel.cpp)
    void WriteModelHead(KDuzNode* node);
    void WriteModelVersion(KDuzNode* node);
    void WriteLayerAndTakeFlags(KDuzNode* node);
    void WriteVisibilityAndShading(KDuzNode* node);
    void WriteLimits(KDuzNode* node);
    void WriteLookAt(KDuzNode* node);
    void WriteAnimatedProperties(KDuzNode* node);
    void WriteDefaultChannels(KDuzNode* node);
    void WriteChildren(KDuzNode* node);
    void WriteModelTail(KDuzNode* node);

    // ---- model walk and scene blocks (KDuzWriterDuzScene.cpp)
    void WriteModelTree(KDuzNode* node);
    void WriteModel(KDuzNode* node);
    void WriteModelBody(KDuzNode* node);
    bool WriteNodeAttribute(KDuzNode* node);
    bool WriteCameraSwitcher(KDuzScene* scene);
    void WriteRendererSettings(KDuzScene* scene);
    void WriteSceneGenericPersistence(KDuzScene* scene);
    void WriteGoboManager(KDuzScene* scene);
    void WriteGlobalSettings(KDuzScene* scene);
    void WriteFogOptions(KDuzScene* scene);
    void WriteGobos(KDuzScene* scene);
    bool WriteSummary(KDuzScene* scene, int mediaCount);

    // ---- node attributes (KDuzWriterDuzAttributes.cpp)
    bool WriteNullAttribute(const KDuzNull* null);
    bool WriteMarkerAttribute(KDuzNode* node);
    bool WriteOpticalReferenceAttribute(KDuzNode* node);
    bool WriteSkeletonAttribute(const KDuzSkeleton* skeleton);
    bool WriteCameraAttribute(KDuzCamera* camera, bool omitType);
    bool WriteCameraSwitcherAttribute(KDuzCameraSwitcher* switcher);
    bool WriteLightAttribute(KDuzLight* light);

    // ---- geometry (KDuzWriterDuzGeometry.cpp, KDuzWriterDuzLayers.cpp)
    void WriteGeometryCommon(KDuzGeometry* geometry);
    bool WriteMeshGeometry(KDuzMesh* mesh);
    bool WriteNurbGeometry(KDuzNurb* nurb);
    bool WriteNurbsSurfaceAsNurb(KDuzNurbsSurface* surface);
    bool WritePatchGeometry(KDuzPatch* patch);
    void WriteShape(KDuzGeometry* base, const char* name, KDuzGeometryBase* shape);
    static void CollectChangedPoints(const KDuzGeometry* base, const KDuzGeometryBase* shape, std::vector<int>& out);
    bool WriteGeometryLayers(KDuzGeometry* geometry);
    bool WriteModelProperties(KDuzNode* node);
    void WritePropertiesBlock(KDuzNode* node);
    void WriteNormals(KDuzMesh* mesh);
    void WriteMaterialAssignation(KDuzMesh* mesh);
    void WriteTextureAssignation(KDuzMesh* mesh);
    void WriteGeometryUVInfo(KDuzMesh* mesh);
    void WritePolygonGroups(KDuzMesh* mesh);
    bool WriteVertexColorInfo(KDuzMesh* mesh);
    bool WriteLayerTextureInfo(KDuzGeometry* geometry, int n);
    void WriteSplineTypeName(int type);

    // ---- shading and media (KDuzWriterDuzMaterials.cpp)
    bool WriteMedia(KDuzScene* scene, bool embed, int& mediaCount);
    bool WriteMaterial(KDuzSurfaceMaterial* material);
    static void GetMaterialValues(KDuzSurfaceMaterial* material, KDuzMaterialValues& out);
    void WriteTexture(KDuzTexture* texture);
    // The fields of one media file; `produced` receives the path of a file
    // the write made (a converted copy), empty when none.
    bool WriteMediaFile(const char* fileName, bool embed, bool& converted, KString& produced);
    static int FindMediaName(const std::vector<KString>& names, const char* name);

    // ---- takes (KDuzWriterDuzTakes.cpp)
    bool WriteTakes(KDuzScene* scene);
    bool WriteObjectTakeAnimation(KDuzObject* object, const char* takeName, const char* kindName, bool isMaterial);
    void WriteModelTakeAnimation(KDuzNode* node, const char* takeName);

    // ---- skin links, poses, characters (KDuzWriterDuzCharacters.cpp)
    bool WriteClusterLink(KDuzCluster* cluster);
    void WritePoses(KDuzScene* scene);
    void WriteCharacterPoses(KDuzScene* scene);
    bool WriteCharacterPoseScene(KDuzCharacterPose* pose);
    void WriteConstraints(KDuzScene* scene);
    void WriteCharacters(KDuzScene* scene);
    void WriteCharacter(KDuzScene* scene, int index);
    void WriteCharacterLinkGroup(KDuzCharacter* character, int group, KDuzScene* scene);
    void WriteCharacterLink(KDuzCharacter* character, int nodeId, KDuzScene* scene, bool writeDefaults);
    void WriteCharacterParameters(KDuzCharacter* character);
    void WriteControlSet(KDuzControlSet* controlSet, KDuzScene* scene);
    void WriteControlSetLinkGroup(KDuzControlSet* controlSet, int group, KDuzScene* scene);
    void WriteControlSetEffectors(KDuzControlSet* controlSet);
    void WriteControlSetAuxEffectors(KDuzControlSet* controlSet);

    // The percentage of a counter over a total; 0 for a total of 0.
    static float Percentage(int done, int total);
    // Every node of the subtree, the start included, parents before their
    // children (pre-order) or after them (post-order), children in index
    // order. Iterative, so deep hierarchies do not exhaust the stack.
    static void VisitPreOrder(KDuzNode* start, const std::function<void(KDuzNode*)>& visit);
    static void VisitPostOrder(KDuzNode* start, const std::function<void(KDuzNode*)>& visit);
    // The scene's sources of one class in connection order, gathered in one
    // walk (indexing them one by one walks them once per index).
    static std::vector<KDuzObject*> Collect(const KDuzScene* scene, int classIndex);
    // The node's children in index order, gathered in one walk.
    static std::vector<KDuzNode*> ChildrenOf(const KDuzNode* node);
    const KDuzTextureAnimationFlags* FindTextureFlags(const KDuzObject* texture) const;
    const KDuzMaterialAnimationFlags* FindMaterialFlags(const KDuzObject* material) const;

private:
    bool Option(const char* name) const;
    void ReportProgress(const char* text, float percentage);
    bool FileInError() const;
    void BuildAnimationTables(KDuzScene* scene);
    void PrepareShapeChannels(KDuzNode* node);
    void RestoreShapeChannels(KDuzNode* node);
    void WriteVector3(const char* name, const KgeTVector& v);

    IDuzObject* mFile = nullptr;      // owned
    IDuzObject* mTarget = nullptr;    // the file object of the write in progress
    KDuzExporter* mOwner;
    KDuzStreamOptionsDuzWriter* mOptions = nullptr;
    int mFileMode = eBinary;
    int mModelsStored = 0;
    int mModelsTotal = 0;
    double mFrameRate = 0.0;
    std::unordered_map<const KDuzObject*, std::unique_ptr<KDuzTextureAnimationFlags>> mTextureFlags;
    std::unordered_map<const KDuzObject*, std::unique_ptr<KDuzMaterialAnimationFlags>> mMaterialFlags;
    // The running default span of the takes, kept across takes.
    int64_t mSpanStart = 0;
    int64_t mSpanStop = 0;
};

}  // namespace duzsdk
