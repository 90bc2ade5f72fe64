// Names of version 5 DUZ files that version 6 files do not share, for the
// version 5 reader and writer. Names spelled the same in both versions come
// from KDuz6RecordNames.h and are repeated here only as aliases.
#pragma once

#include "sdk/duz/KDuz6RecordNames.h"

namespace duzsdk {

namespace duz5 {

// ---- file versions
// Files below this version (and 5.8.0 files without "Definitions") keep
// the old layout: top-level "Model" fields, "Properties" blocks, children
// by name.
inline constexpr int kFirstLayeredVersion = 5800;
inline constexpr int kFileVersion = 5800;

// ---- sections and top-level records
inline constexpr const char* kDefinitions = duz6::kDefinitions;
inline constexpr const char* kObjects = duz6::kObjects;
inline constexpr const char* kConnections = duz6::kConnections;
inline constexpr const char* kTakes = duz6::kTakes;
inline constexpr const char* kVersion5 = duz6::kVersion5;
inline constexpr const char* kSummary = duz6::kSummary;
inline constexpr char kSwitcher[] = "Switcher";
inline constexpr char kMedia[] = "Media";
inline constexpr char kGoboManager[] = "GoboManager";
inline constexpr char kSceneGenericPersistence[] = "SceneGenericPersistence";
inline constexpr char kCharacter[] = "CHARACTER";
inline constexpr char kActor[] = "ACTOR";
inline constexpr char kDevice[] = "Device";
inline constexpr char kConstraints[] = "Constraints";
inline constexpr char kGroup[] = "Group";
inline constexpr char kScene[] = "Model::Scene";
inline constexpr char kTemplateModelName[] = "~duzexport~";

// ---- record kinds of "Objects" (the same texts as version 6)
inline constexpr const char* kModel = duz6::kModel;
inline constexpr const char* kMaterial = duz6::kMaterial;
inline constexpr const char* kTexture = duz6::kTexture;
inline constexpr const char* kVideo = duz6::kVideo;
inline constexpr const char* kDeformer = duz6::kDeformer;
inline constexpr const char* kPose = duz6::kPose;
inline constexpr const char* kGenericNode = duz6::kGenericNode;
inline constexpr const char* kConstraint = duz6::kConstraint;
inline constexpr const char* kControlSetPlug = duz6::kControlSetPlug;
inline constexpr const char* kSceneInfo = duz6::kSceneInfo;

// ---- model records
inline constexpr char kType[] = "Type";
inline constexpr char kProperties[] = "Properties";
inline constexpr char kChildren[] = "Children";
inline constexpr char kLookAtModel[] = "LookAtModel";
inline constexpr char kUpVectorModel[] = "UpVectorModel";
inline constexpr char kPostTargetRotation[] = "PostTargetRotation";
inline constexpr char kUpTargetRotation[] = "UpTargetRotation";
inline constexpr char kHidden[] = "Hidden";
inline constexpr char kShading[] = "Shading";
inline constexpr char kCulling[] = "Culling";
inline constexpr char kLimits[] = "Limits";
inline constexpr char kPivots[] = "Pivots";
inline constexpr char kPivotPackage[] = "Package";
inline constexpr char kPivotFile[] = "File";
inline constexpr char kMultiLayer[] = "MultiLayer";
inline constexpr char kMultiTake[] = "MultiTake";
inline constexpr char kUserProperty[] = "UserProperty";
// The model version below which a node is marked as legacy.
inline constexpr int kLegacyModelVersion = 232;

// Model "Type" texts; no "Type" at all is a mesh.
inline constexpr char kTypeNull[] = "Null";
inline constexpr char kTypeMarker[] = "Marker";
inline constexpr char kTypeOpticalMarker[] = "OpticalMarker";
inline constexpr char kTypeIKEffector[] = "IKEffector";
inline constexpr char kTypeFKEffector[] = "FKEffector";
inline constexpr char kTypeRoot[] = "Root";
inline constexpr char kTypeLimb[] = "Limb";
inline constexpr char kTypeLimbNode[] = "LimbNode";
inline constexpr char kTypeEffector[] = "Effector";
inline constexpr char kTypeNurb[] = "Nurb";
inline constexpr char kTypePatch[] = "Patch";
inline constexpr char kTypeLight[] = "Light";
inline constexpr char kTypeCamera[] = "Camera";
inline constexpr char kTypeCameraSwitcher[] = "CameraSwitcher";
inline constexpr char kTypeOptical[] = "Optical";

// ---- camera switcher
inline constexpr char kCameraId[] = "CameraId";
inline constexpr char kCameraIndexName[] = "CameraIndexName";
inline constexpr char kCameraSwitcherName[] = "Camera Switcher";

// ---- geometry (old layout)
inline constexpr char kNormals[] = "Normals";
inline constexpr char kMaterialAssignation[] = "MaterialAssignation";
inline constexpr char kMaterials[] = "Materials";
inline constexpr char kTextureId[] = "TextureId";
inline constexpr char kTextureMode[] = "TextureMode";
inline constexpr char kGeometryUVInfo[] = "GeometryUVInfo";
inline constexpr char kTextureUV[] = "TextureUV";
inline constexpr char kTexturePUV[] = "TexturePUV";
inline constexpr char kTextureVertexIndex[] = "TextureVertexIndex";
inline constexpr char kTextureUVVerticeIndex[] = "TextureUVVerticeIndex";
inline constexpr char kUVType[] = "UVType";
inline constexpr char kTextureType[] = "TextureType";
inline constexpr char kPolygonGroup[] = "PolygonGroup";
inline constexpr char kVertexColorInfo[] = "VertexColorInfo";
inline constexpr char kGeometryLayer[] = "GeometryLayer";
inline constexpr char kLayerTextureInfo[] = "LayerTextureInfo";
inline constexpr char kLink[] = "Link";
inline constexpr char kShape[] = "Shape";
// Geometry versions up to this one get their texture arrays extended.
inline constexpr int kLastShortTextureGeometryVersion = 123;

// ---- NURBS and patches
inline constexpr char kNurbVersion[] = "NurbVersion";
inline constexpr char kNurbOrder[] = "NurbOrder";
inline constexpr char kForm[] = "Form";
inline constexpr char kSurfaceDisplay[] = "SurfaceDisplay";
inline constexpr char kStep[] = "Step";
inline constexpr char kDimensions[] = "Dimensions";
inline constexpr char kPoints[] = "Points";
inline constexpr char kMultiplicityU[] = "MultiplicityU";
inline constexpr char kMultiplicityV[] = "MultiplicityV";
inline constexpr char kKnotVectorU[] = "KnotVectorU";
inline constexpr char kKnotVectorV[] = "KnotVectorV";
inline constexpr char kPatchVersion[] = "PatchVersion";
inline constexpr char kPatchType[] = "PatchType";
inline constexpr char kClosed[] = "Closed";
inline constexpr char kUCapped[] = "UCapped";
inline constexpr char kVCapped[] = "VCapped";

// ---- media
inline constexpr char kClip[] = "Clip";
inline constexpr char kFilename[] = "Filename";
inline constexpr char kRelativeFilename[] = "RelativeFilename";
inline constexpr char kContent[] = "Content";

// ---- gobos
inline constexpr char kGobo[] = "Gobo";
inline constexpr char kGoboName[] = "GoboName";
inline constexpr char kGoboPath[] = "GoboPath";
inline constexpr char kDrawComponent[] = "DrawComponent";
inline constexpr char kLightGobo[] = "LightGobo";

// ---- poses
inline constexpr char kPoseScene[] = "PoseScene";
inline constexpr char kNbPoseNodes[] = "NbPoseNodes";
inline constexpr char kPoseNode[] = "PoseNode";

// ---- characters and control sets (old layout)
inline constexpr char kCharacterName[] = "CONSTRAINT";
inline constexpr char kInputOutputType[] = "INPUTOUTPUTTYPE";
inline constexpr char kActorIndex[] = "ACTORINDEX";
inline constexpr char kCharacterIndex[] = "CHARACTERINDEX";
inline constexpr char kGameModeParent[] = "GAMEMODEPARENT";
inline constexpr char kFilterSet[] = "FILTERSET";
inline constexpr char kControlSet[] = "CONTROLSET";
inline constexpr char kOldControlSet[] = "MB_CONTROLSET";
inline constexpr char kEffector[] = "EFFECTOR";
inline constexpr char kEffectorAux[] = "EFFECTOR_AUX1";
inline constexpr char kParam[] = "PARAM";
inline constexpr char kControlSetPlugSuffix[] = "_Ctrl";
inline constexpr char kDefaultCharacterName[] = "Character";

// ---- settings of the old layout at the top level
inline constexpr char kSettings[] = "Settings";
inline constexpr char kRendererSetting[] = "RendererSetting";
inline constexpr char kProducerCamera[] = "Camera";

}  // namespace duz5

}  // namespace duzsdk
