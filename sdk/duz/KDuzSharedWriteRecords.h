// Records that the version 5 and the version 6 writers lay out alike: they
// write through the field file they are given and never test its error
// state (the write drivers do after each section).
#pragma once

#include <cstdint>

#include "sdk/base/KString.h"

namespace duzsdk {

class KDuz;
class KDuzCharacterLink;
class KDuzGeometry;
class KDuzMesh;
class KDuzNode;
class KDuzPose;
class KDuzScene;
class KDuzSceneInfo;
class KDuzSdkManager;
class KDuzStreamOptionsDuzWriter;
struct KDuzTakeDescription;
class KDuzThumbnail;

// The geometry take-node passes around a write, children before their
// parents: each geometry gives its shapes and their channels in every take
// the names files use, and takes its own names back afterwards (also after
// a failed write, so the scene leaves the writer as it came in).
void KDuzPrepareShapeChannelsForWrite(KDuzNode* root);
void KDuzRestoreShapeChannelsAfterWrite(KDuzNode* root);

// Four comment lines (ASCII files only): empty, title, dashes, empty.
void KDuzWriteBanner(KDuz& duz, const char* title, int dashes);
// "Culling": "CullingOff", "CullingOnCCW" or "CullingOnCW".
void KDuzWriteCulling(KDuz& duz, const KDuzNode* node);
// "Vertices": the control points through the geometry's pivot matrix.
void KDuzWriteVertices(KDuz& duz, const KDuzGeometry* geometry);
// "PolygonVertexIndex": the last corner of each polygon complemented.
void KDuzWritePolygonVertexIndex(KDuz& duz, const KDuzMesh* mesh);
// The "Thumbnail" block; nothing for an empty thumbnail.
void KDuzWriteThumbnail(KDuz& duz, const KDuzThumbnail* thumbnail);
// "SceneInfo" with its "MetaData"; nothing for a null record.
void KDuzWriteSceneInfo(KDuz& duz, const KDuzSceneInfo* info);
// "AmbientRenderSettings" with the ambient colour as four doubles.
void KDuzWriteAmbientRenderSettings(KDuz& duz, KDuzScene* scene);
// "ShadowPlanes" (nothing without planes) and the section inside it.
void KDuzWriteShadowPlanes(KDuz& duz, KDuzScene* scene);
void KDuzWriteShadowPlaneSection(KDuz& duz, KDuzScene* scene);
// "RendererSetting": the default camera and viewing mode.
void KDuzWriteRendererSetting(KDuz& duz, KDuzScene* scene);
// "PARENTROFFSETX" .. "Z" and, when the link has one, the "ROTATIONSPACE"
// block of a character link.
void KDuzWriteParentOffsetAndRotationSpace(KDuz& duz, const KDuzCharacterLink& link);
// "NbPoseNodes" and one "PoseNode" per entry ("Local" only for a rest pose).
void KDuzWritePoseNodes(KDuz& duz, const KDuzPose* pose);
// Hands the password to the field file when "PASSWORD ENABLE" is on and
// "PASSWORD" holds a text; true when the file is protected.
bool KDuzWritePasswordOption(KDuz& duz, KDuzStreamOptionsDuzWriter* options);
bool KDuzPasswordProtects(KDuzStreamOptionsDuzWriter* options);
// Scans the node names for the template marker, stores the result in the
// option "TEMPLATE" and returns it.
bool KDuzDetectTemplate(KDuzScene* scene, KDuzStreamOptionsDuzWriter* options);
// The "Summary" record in a section of its own at the end of a binary file;
// false when the field file refuses the section (ASCII files).
bool KDuzWriteSummaryRecord(KDuz& duz, KDuzScene* scene, KDuzStreamOptionsDuzWriter* options, int mediaCount,
                            int constraintCount);

// For embedding: offers the file to the manager's image converters; when one
// fills an image, it is written as a TIFF copy beside the file (never over an
// existing file) and fileName becomes the copy's, which the caller deletes
// once written. 1 converted, 0 nothing to convert, -1 accepted but the copy
// could not be written.
int KDuzConvertMediaForEmbedding(KDuzSdkManager* manager, KString& fileName);

// The head of a take's block: "FileName" (the name with blanks as "_" and
// ".tak"), "LocalTime" and "ReferenceTime", "Comments" and the thumbnail. A
// span the description leaves unset (0, 0) becomes the running span, which
// first widens by the take's animation on the root and on the camera
// switcher (taken from an empty span when switcherFromEmpty, else from the
// running one), and the description keeps what was written.
void KDuzWriteTakeHead(KDuz& duz, KDuzScene* scene, const KString& name, KDuzTakeDescription* description,
                       int64_t& spanStart, int64_t& spanStop, bool switcherFromEmpty);

}  // namespace duzsdk
