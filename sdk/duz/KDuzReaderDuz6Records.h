// Record bodies of version 6 DUZ files: node attributes and model flags,
// meshes with their layers and layer elements, materials, textures, videos
// and poses. The version 6 reader's object dispatch calls these while the
// record's block is the current block of the field file; each reads fields
// by name, so field order inside a block is free and a missing field leaves
// the object's default.
#pragma once

#include <functional>
#include <vector>

#include "sdk/base/KString.h"

namespace duzsdk {

class KDuz;
class KDuzSdkManager;
class KDuzObject;
class KDuzNode;
class KDuzCamera;
class KDuzCameraSwitcher;
class KDuzLight;
class KDuzMarker;
class KDuzGeometryBase;
class KDuzGeometry;
class KDuzCache;
class KDuzCluster;
class KDuzGeometryWeightedMap;
class KDuzScene;
class KDuzShape;
class KDuzSkin;
class KDuzVertexCacheDeformer;
class KDuzLayerContainer;
class KDuzLayerElement;
class KDuzMesh;
class KDuzNurb;
class KDuzNurbsCurve;
class KDuzNurbsSurface;
class KDuzPatch;
class KDuzTrimNurbsSurface;
class KDuzBoundary;
class KDuzPose;
class KDuzSurfaceMaterial;
class KDuzTexture;
class KDuzVideo;

// What the record readers need of the reader that calls them.
struct KDuz6RecordContext {
    KDuz* file = nullptr;
    KDuzSdkManager* manager = nullptr;
    // Reads the current block's "Properties60" field into the object; may
    // be left empty (the properties are then skipped).
    std::function<bool(KDuzObject*)> readProperties60;
    // The object of a full name ("Model::Cube") in the file's object map;
    // may be left empty (poses then add nothing).
    std::function<KDuzObject*(const char*)> findObject;
    // Reads a camera switcher's body; may be left empty.
    std::function<bool(KDuzCameraSwitcher*)> readCameraSwitcher;
    // The read options "LINK" and "SHAPE": the "Link" and "Shape" fields of
    // geometry records are read only when set.
    bool readLinks = false;
    bool readShapes = false;
};

// The growable list an element reader appends to, in file order.
using KDuz6ElementList = std::vector<KDuzLayerElement*>;

// ---- model flags and old-style attribute fields
void KDuz6ReadModelVisibilityAndShading(KDuz& file, KDuzNode* node);
void KDuz6ReadModelMultiLayer(KDuz& file, KDuzNode* node);
void KDuz6ReadModelCulling(KDuz& file, KDuzNode* node);
void KDuz6ReadModelTargetRotations(KDuz& file, KDuzNode* node);
void KDuz6ReadCameraFields(KDuz& file, KDuzCamera* camera);
void KDuz6ReadLightFields(KDuz& file, KDuzLight* light);
void KDuz6ReadMarkerFields(KDuz& file, KDuzMarker* marker);
// Makes the object's internal properties visible as public properties.
void KDuz6WrapProperties(KDuzObject* object);

// Creates the attribute a "Model" record's sub-type names, reads its fields
// from the model's block and attaches it to the node. False when the
// sub-type gets no attribute here (geometry in separate records, unknown).
bool KDuz6ReadNodeAttribute(const KDuz6RecordContext& context, KDuzNode* node, const char* subType);

// ---- geometry
bool KDuz6ReadVertices(KDuz& file, KDuzGeometryBase* geometry);
bool KDuz6ReadEdges(KDuz& file, KDuzMesh* mesh);
// "PolygonVertexIndex": a polygon with a corner that names no control point
// is dropped whole, so that users may walk every polygon by point index.
bool KDuz6ReadPolygonVertexIndex(KDuz& file, KDuzMesh* mesh);
bool KDuz6ReadMesh(const KDuz6RecordContext& context, KDuzMesh* mesh);
// Curved geometry. The NURB, NURBS surface and NURBS curve readers report
// each failed check on the field file's error (codes 9 and 10) and return
// false; callers keep the geometry.
bool KDuz6ReadNurb(const KDuz6RecordContext& context, KDuzNurb* nurb);
bool KDuz6ReadNurbsSurface(const KDuz6RecordContext& context, KDuzNurbsSurface* surface);
bool KDuz6ReadPatch(const KDuz6RecordContext& context, KDuzPatch* patch);
bool KDuz6ReadNurbsCurve(const KDuz6RecordContext& context, KDuzNurbsCurve* curve);
bool KDuz6ReadTrimNurbsSurface(const KDuz6RecordContext& context, KDuzTrimNurbsSurface* surface);
bool KDuz6ReadBoundary(const KDuz6RecordContext& context, KDuzBoundary* boundary);
// The object of a curved "Geometry" sub-type ("Nurb", "NurbsSurface",
// "Patch", "NurbsCurve", "TrimNurbsSurface", "Boundary") with its body
// read; null for any other sub-type or when it cannot be made.
KDuzObject* KDuz6ReadCurvedGeometry(const KDuz6RecordContext& context, const char* subType, const char* name);
// The body of one "Link" field (the current field) into the cluster.
bool KDuz6ReadClusterBody(KDuz& file, KDuzCluster* cluster);
// Every "Link" field of the geometry's block, each into a cluster of the
// geometry's skin (made when the geometry has none).
bool KDuz6ReadLinks(const KDuz6RecordContext& context, KDuzGeometry* geometry);
// Every "Shape" field of the geometry's block, each into a shape added to
// the geometry under the field's name.
bool KDuz6ReadShapes(const KDuz6RecordContext& context, KDuzGeometry* geometry);
bool KDuz6ReadShape(KDuz& file, KDuzShape* shape, KDuzGeometry* geometry);

// ---- deformers, caches and weighted maps
// "UserData", then "Indexes" with their "Weights" of a cluster's block.
void KDuz6ReadClusterUserDataAndWeights(KDuz& file, KDuzCluster* cluster);
bool KDuz6ReadSkin(const KDuz6RecordContext& context, KDuzSkin* skin);
bool KDuz6ReadVertexCacheDeformer(const KDuz6RecordContext& context, KDuzVertexCacheDeformer* deformer);
bool KDuz6ReadCluster(const KDuz6RecordContext& context, KDuzCluster* cluster);
bool KDuz6ReadCache(const KDuz6RecordContext& context, KDuzCache* cache);
bool KDuz6ReadWeightedMap(const KDuz6RecordContext& context, KDuzGeometryWeightedMap* map);
// Creates and reads the object of a "Deformer" (skin, cluster, vertex
// cache), "Cache" or "GeometryWeightedMap" record; null for other records.
KDuzObject* KDuz6ReadDeformerRecord(const KDuz6RecordContext& context, const KString& kind, const KString& subType,
                                   const KString& name);
// After the connections: every cluster of a skin of a geometry of the scene
// loses the indices that name no point of that geometry. How many went.
int KDuz6DropClusterIndicesOutsidePoints(KDuzScene* scene);

// ---- layers and layer elements
int KDuz6ParseMappingMode(const char* text);
int KDuz6ParseReferenceMode(const char* text);
int KDuz6ParseBlendMode(const char* text);
bool KDuz6ReadLayerElementsNormal(const KDuz6RecordContext& context, KDuz6ElementList& list);
bool KDuz6ReadLayerElementsMaterial(const KDuz6RecordContext& context, KDuz6ElementList& list);
bool KDuz6ReadLayerElementsColor(const KDuz6RecordContext& context, KDuz6ElementList& list);
bool KDuz6ReadLayerElementsUV(const KDuz6RecordContext& context, KDuz6ElementList& list, const char* recordName);
bool KDuz6ReadLayerElementsTexture(const KDuz6RecordContext& context, const char* recordName,
                                   KDuz6ElementList& list);
bool KDuz6ReadLayerElementsPolygonGroup(const KDuz6RecordContext& context, KDuz6ElementList& list);
bool KDuz6ReadLayerElementsSmoothing(const KDuz6RecordContext& context, KDuz6ElementList& list);
bool KDuz6ReadLayerElementUserData(const KDuz6RecordContext& context, KDuz6ElementList& list);
bool KDuz6ReadLayerElementVisibility(const KDuz6RecordContext& context, KDuz6ElementList& list);
// The element lists, then the "Layer" records that place them.
bool KDuz6ReadLayers(const KDuz6RecordContext& context, KDuzLayerContainer* geometry);

// ---- shading and media
// Creates the material (class by shading model) with the given name, reads
// its body and returns it; null when the manager cannot make it.
KDuzSurfaceMaterial* KDuz6ReadMaterial(const KDuz6RecordContext& context, const char* name, const char* subType);
bool KDuz6ReadTexture(const KDuz6RecordContext& context, KDuzTexture* texture);
bool KDuz6ReadVideo(const KDuz6RecordContext& context, KDuzVideo* video);
// Extracted embedded content in another format than TIFF: the first image
// converter of the manager that converts the file fills a media record,
// which is written as TIFF beside it; the names then follow and the
// extracted file goes. Unconverted content stays as extracted.
void KDuz6ConvertEmbeddedImage(const KDuz6RecordContext& context, const char* originalFileName, KString& fileName,
                               KString& relativeName);

// ---- poses
// With a null pose the fields are read and nothing is added.
bool KDuz6ReadPose(const KDuz6RecordContext& context, KDuzPose* pose, bool globalOnly);

}  // namespace duzsdk
