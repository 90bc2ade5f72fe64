// The writer of version 6 DUZ files, in binary, ASCII or enciphered binary
// form. It walks a scene in the order the file lays it out: "Definitions",
// "Objects", the password, "Relations", "Connections", "Takes", the
// "Version5" settings and, in a section of its own at the end of a plain
// binary file, the "Summary". Every record goes through the KDuz field file;
// record writers never test its error state, the driver does after each
// section.
#pragma once

#include <unordered_map>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/io/KDuzWriter.h"
#include "sdk/object/KClassId.h"

namespace duzsdk {

class KDuzCharacter;
class KDuzCharacterLink;

class IDuzObject;
class KDuz;
class KDuzCamera;
class KDuzCameraSwitcher;
class KDuzExporter;
class KDuzGeometry;
class KDuzGeometryWeightedMap;
class KDuzLayerContainer;
class KDuzLayerElement;
class KDuzLight;
class KDuzMesh;
class KDuzNode;
class KDuzNurb;
class KDuzNurbsCurve;
class KDuzNurbsSurface;
class KDuzPatch;
class KDuzTrimNurbsSurface;
class KDuzBoundary;
class KDuzObject;
class KDuzPose;
class KDuzScene;
class KDuzSceneInfo;
class KDuzStreamOptions;
class KDuzStreamOptionsDuzWriter;
class KDuzSurfaceMaterial;
class KDuzTexture;
class KDuzThumbnail;
class KDuzVideo;
class KDuzProperty;
class KDuzPlug;
struct KDuzTakeDescription;

namespace duz6 {
struct LayerElementRow;
}

class KDuzWriterDuz6 : public KDuzWriter {
public:
    enum EFileMode { eAscii = 0, eBinary = 1, eEnciphered = 2 };
    // Where a written layer element was numbered; "Layer" records refer to it.
    using ElementTable = std::unordered_map<const KDuzLayerElement*, int>;

    KDuzWriterDuz6(KDuzSdkManager* manager, KDuzExporter* owner);
    ~KDuzWriterDuz6() override;

    // ---- the writer slots (shared in behaviour with the version 5 writer)
    bool FileCreate(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override;
    KDuzStreamOptions* GetWriteOptions() override;
    // PreprocessScene, WriteScene without an embedding file, PostprocessScene;
    // false when the write set an error (a refused write is no success).
    bool Write(KDuzScene* scene, KDuzStreamOptions* options) override;
    bool PreprocessScene(KDuzScene* scene) override;
    bool PostprocessScene(KDuzScene* scene) override;
    virtual KDuzStreamOptions* CreateWriteOptions(int unused);
    // Writes into `embedding` instead of the writer's own file when given.
    // Always true; failures are reported through the error object.
    virtual bool WriteScene(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* embedding);

    void SetFileMode(int mode) { mFileMode = mode; }
    int GetFileMode() const { return mFileMode; }
    // The version tag and renaming mode the exporter hands over.
    void SetFileVersionTag(const char* tag) { mExtraText = tag != nullptr ? tag : ""; }
    const KString& GetFileVersionTag() const { return mExtraText; }
    void SetRenamingMode(int mode) { mExtraInt = mode; }
    int GetRenamingMode() const { return mExtraInt; }
    KDuz* GetFieldFile() const;

    static bool IsNodeAttribute(const KDuzObject* object);
    // The sources of that class in connection order, gathered in one walk
    // (indexing the sources one by one walks them once per index).
    static std::vector<KDuzObject*> Sources(const KDuzPlug* plug, const KClassId& classId);
    static bool IsSeparateGeometry(const KDuzObject* object);

    // ---- frame sections (KDuzWriterDuz6Options.cpp)
    bool WriteDefinitions(KDuzScene* scene);
    void WritePassword();
    bool WriteSummary(KDuzScene* scene, int mediaCount);
    void WriteSceneInfo(const KDuzSceneInfo* info);
    bool WriteThumbnail(const KDuzThumbnail* thumbnail);

    // ---- global settings blocks and small bodies (KDuzWriterDuz6Settings.cpp)
    void WriteAmbientRenderSettings(KDuzScene* scene);
    void WriteFogOptions(KDuzScene* scene);
    void WriteShadowPlanes(KDuzScene* scene);
    void WriteShadowPlaneSection(KDuzScene* scene);
    void WriteTimeSettings(KDuzScene* scene);
    void WriteRendererSetting(KDuzScene* scene);
    bool WriteCameraSwitcherBody(KDuzCameraSwitcher* switcher);

    // ---- heads, relation records, small bodies (KDuzWriterDuz6Records.cpp)
    void WriteRecordHead(const char* kind, const KDuzObject* object);
    void WriteModelHead(const KDuzNode* node);
    void WriteModelVersion(const KDuzNode* node);
    void WriteCulling(const KDuzNode* node);
    void WriteLightTypeFlags(const KDuzLight* light);
    void WriteRelation(const char* kind, const KDuzObject* object);
    void WriteSceneInfoRelation(const KDuzSceneInfo* info);
    bool WriteObjectAnimation(KDuzObject* object, const char* takeName, const char* fieldName);
    void WritePoseBody(const KDuzPose* pose);

    // ---- property block (KDuzWriterDuz6Properties.cpp)
    void WriteProperties(KDuzObject* object);
    void WriteNodeProperties(KDuzNode* node);

    // ---- objects section (KDuzWriterDuz6Objects.cpp)
    bool WriteObjects(KDuzScene* scene);
    bool WriteModels(KDuzScene* scene, bool includeRoot);
    bool WriteModel(KDuzNode* node);
    void WriteGenericNodes(KDuzScene* scene);
    void WritePoses(KDuzScene* scene);
    void WriteGlobalSettings(KDuzScene* scene);
    // Skins, clusters, vertex-cache deformers and caches (KDuzWriterDuz6Deformers.cpp).
    void WriteDeformers(KDuzScene* scene);
    void WriteCaches(KDuzScene* scene);
    // "GeometryWeightedMap" records (KDuzWriterDuz6Deformers.cpp).
    void WriteWeightedMaps(KDuzScene* scene);
    bool WriteWeightedMapBody(KDuzGeometryWeightedMap* map);
    // ---- control-set plugs, constraints, characters (KDuzWriterDuz6Characters.cpp)
    void WriteControlSetPlugs(KDuzScene* scene);
    void WriteConstraints(KDuzScene* scene);
    // Characters with "CHARACTER", the other constraints with "CONSTRAINT".
    bool IsWrittenConstraint(const KDuzObject* object) const;
    void WriteCharacterGroupLinks(KDuzCharacter* character, int group, KDuzScene* scene);
    void WriteCharacterLinkOffsets(KDuzCharacter* character, int id, KDuzScene* scene);

    // ---- node attributes and geometry (KDuzWriterDuz6Attributes.cpp, ...Geometry.cpp)
    bool WriteNodeAttribute(KDuzNode* node);
    void WriteTypeFlags(const KDuzObject* attribute);
    bool WriteCameraBody(KDuzCamera* camera);
    bool WriteMeshBody(KDuzMesh* mesh);
    bool WriteGeometryBody(KDuzGeometry* geometry);
    void WriteShapes(KDuzGeometry* geometry);
    bool WriteVertices(const KDuzMesh* mesh);
    // Curved geometry (KDuzWriterDuz6Nurbs.cpp); each true when it wrote a body.
    bool WriteNurbBody(KDuzNurb* nurb);
    bool WriteNurbsSurfaceBody(KDuzNurbsSurface* surface);
    bool WritePatchBody(KDuzPatch* patch);
    bool WriteNurbsCurveBody(KDuzNurbsCurve* curve);
    bool WriteTrimNurbsSurfaceBody(KDuzTrimNurbsSurface* surface);
    bool WriteBoundaryBody(KDuzBoundary* boundary);
    // The body of a geometry written in a record of its own, by type.
    bool WriteSeparateGeometryBody(KDuzObject* geometry);
    bool WritePolygonVertexIndex(const KDuzMesh* mesh);

    // ---- layer elements and layers (KDuzWriterDuz6Layers.cpp)
    bool WriteNormalElements(KDuzLayerContainer* geometry, ElementTable& table);
    bool WritePolygonGroupElements(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteColorElements(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayerElementUVs(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayerElementTextures(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayerElementSmoothing(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayerElementVisibility(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayerElementMaterials(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayerElementUserData(KDuzLayerContainer* geometry, ElementTable& table);
    bool WriteLayers(KDuzLayerContainer* geometry, const ElementTable& table);
    static const char* GetMappingName(int mode);
    static const char* GetReferenceName(int mode);
    static const char* GetBlendModeName(int mode);

    // ---- shading (KDuzWriterDuz6Materials.cpp)
    void WriteMaterials(KDuzScene* scene);
    void WriteMaterial(KDuzSurfaceMaterial* material);
    void WriteVideos(KDuzScene* scene);
    bool WriteVideo(KDuzVideo* video, bool embed);
    // For embedding: offers the file to the manager's image converters; when
    // one fills an image, it is written as a TIFF copy beside the file (never
    // over an existing file) and fileName becomes the copy's. 1 converted,
    // 0 nothing to convert, -1 accepted but the copy could not be written.
    int ConvertVideoForEmbedding(KString& fileName);
    void WriteTextures(KDuzScene* scene);
    void WriteTexture(KDuzTexture* texture);

    // ---- relations and connections (KDuzWriterDuz6Connections.cpp)
    bool WriteRelations(KDuzScene* scene);
    bool WriteConnections(KDuzScene* scene);
    void WriteObjectConnections(KDuzObject* object, bool recurse);
    // The "Connect" records of the object's own sources and of its properties' sources.
    void WriteOwnConnections(KDuzObject* object);
    // A deformer or cluster while "LINK" is off: not in the file, so no
    // connection names it.
    bool IsUnwrittenDeformer(const KDuzObject* object) const;
    bool WriteConnect(KDuzObject* sourceObject, const KDuzProperty* sourceProperty,
                      KDuzObject* destinationObject, const KDuzProperty* destinationProperty);
    KDuzObject* GetConnectableObject(KDuzObject* object) const;

    // ---- takes (KDuzWriterDuz6Takes.cpp)
    bool WriteTakes(KDuzScene* scene);
    bool WriteModelsAnimation(KDuzScene* scene, const char* takeName);

private:
    bool Option(const char* name) const;
    void WriteBanner(const char* title, int dashes);
    // The percentage of a counter over a total; 0 for a total of 0.
    static float Percentage(int done, int total);
    void ReportProgress(const char* text, float percentage);
    // True when the field file holds an error.
    bool FileInError() const;
    void WriteWaitingRecords(KDuzScene* scene);

    IDuzObject* mFile = nullptr;      // owned
    IDuzObject* mTarget = nullptr;    // the field file of the write in progress
    KDuzExporter* mOwner;
    KDuzStreamOptionsDuzWriter* mOptions = nullptr;
    int mFileMode = eBinary;
    int mModelCount = 0;
    int mModelTotal = 0;
    ElementTable mElementTable;
    // The running default span of the takes, kept across takes.
    bool mSpanStarted = false;
    int64_t mSpanStart = 0;
    int64_t mSpanStop = 0;
    KString mRootName;
    // TIFF copies of converted media made for embedding; deleted once
    // every video is written.
    std::vector<KString> mTemporaryMedia;
};

}  // namespace duzsdk
