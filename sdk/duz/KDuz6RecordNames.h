// Names, version numbers and name tables of version 6 DUZ files, shared by
// the version 6 reader and writer so that each record and field name is
// spelled once.
#pragma once

namespace duzsdk {

namespace duz6 {

// ---- sections
inline constexpr char kDefinitions[] = "Definitions";
inline constexpr char kObjects[] = "Objects";
inline constexpr char kRelations[] = "Relations";
inline constexpr char kConnections[] = "Connections";
inline constexpr char kTakes[] = "Takes";
inline constexpr char kVersion5[] = "Version5";
inline constexpr char kSummary[] = "Summary";

// ---- record kinds
inline constexpr char kModel[] = "Model";
inline constexpr char kGeometry[] = "Geometry";
inline constexpr char kGeometryWeightedMap[] = "GeometryWeightedMap";
inline constexpr char kGenericNode[] = "GenericNode";
inline constexpr char kMaterial[] = "Material";
inline constexpr char kTexture[] = "Texture";
inline constexpr char kVideo[] = "Video";
inline constexpr char kSceneInfo[] = "SceneInfo";
inline constexpr char kDeformer[] = "Deformer";
inline constexpr char kCache[] = "Cache";
inline constexpr char kPose[] = "Pose";
inline constexpr char kControlSetPlug[] = "ControlSetPlug";
inline constexpr char kConstraint[] = "Constraint";
inline constexpr char kGlobalSettings[] = "GlobalSettings";

// ---- common fields
inline constexpr char kVersion[] = "Version";
inline constexpr char kCount[] = "Count";
inline constexpr char kObjectType[] = "ObjectType";
inline constexpr char kProperties60[] = "Properties60";
inline constexpr char kProperty[] = "Property";
inline constexpr char kConnect[] = "Connect";
inline constexpr char kChannel[] = "Channel";
inline constexpr char kTypeFlags[] = "TypeFlags";
inline constexpr char kGeometryVersion[] = "GeometryVersion";

// ---- version numbers written
inline constexpr int kFileVersion = 6100;
inline constexpr int kDefinitionsVersion = 100;
inline constexpr int kModelVersion = 232;
inline constexpr int kGeometryVersionNumber = 124;
inline constexpr int kLayerElementVersion = 101;
inline constexpr int kLayerVersion = 100;
inline constexpr int kMaterialVersion = 102;
inline constexpr int kTextureVersion = 202;
inline constexpr int kVideoVersion = 101;
inline constexpr int kPoseVersion = 100;
inline constexpr int kGenericNodeVersion = 100;
inline constexpr int kGlobalSettingsVersion = 1000;
inline constexpr int kSummaryVersion = 101;
inline constexpr int kTakesVersion = 101;
inline constexpr int kCameraSwitcherVersion = 101;
inline constexpr double kObjectAnimationVersion = 1.1;

// The writer's name of a mapping, reference or blend mode; a value outside
// the table takes the "other" row's name.
inline constexpr const char* kMappingNames[] = {"NoMappingInformation", "ByVertice", "ByPolygonVertex",
                                                "ByPolygon", "ByEdge", "AllSame"};
inline constexpr const char* kReferenceNames[] = {"Direct", "Index", "IndexToDirect", "Direct", "Direct", "Direct"};
inline constexpr const char* kBlendModeNames[] = {"Translucent", "Add", "Modulate", "Modulate2", "MaxBlend",
                                                  "Translucent"};
inline constexpr int kModeNameCount = 6;

inline const char* MappingName(int mode)
{
    return mode >= 0 && mode < kModeNameCount ? kMappingNames[mode] : kMappingNames[0];
}
inline const char* ReferenceName(int mode)
{
    return mode >= 0 && mode < kModeNameCount ? kReferenceNames[mode] : kReferenceNames[0];
}
inline const char* BlendModeName(int mode)
{
    return mode >= 0 && mode < kModeNameCount ? kBlendModeNames[mode] : kBlendModeNames[0];
}

// ---- layer elements
// What a layer element record holds; one kind per element class.
enum class LayerElementKind { Normal, Material, Texture, PolygonGroup, UV, Color, Smoothing, UserData, Visibility };

struct LayerElementRow {
    const char* record;      // the record and "LayerElement" "Type" name
    LayerElementKind kind;
    int type;                // the layer element type (texture channel for textures and UVs)
};

// The texture channels in the order element records are written: channel
// 16 (normal map) after 19 (bump).
inline constexpr LayerElementRow kTextureRows[] = {
    {"LayerElementTexture", LayerElementKind::Texture, 3},
    {"LayerElementEmissive_Textures", LayerElementKind::Texture, 10},
    {"LayerElementEmissiveFactorTextures", LayerElementKind::Texture, 11},
    {"LayerElementAmbientTextures", LayerElementKind::Texture, 12},
    {"LayerElementAmbientFactorTextures", LayerElementKind::Texture, 13},
    {"LayerElementDiffuseFactorTextures", LayerElementKind::Texture, 14},
    {"LayerElementSpecularTextures", LayerElementKind::Texture, 15},
    {"LayerElementSpecularFactorTextures", LayerElementKind::Texture, 17},
    {"LayerElementShininessTextures", LayerElementKind::Texture, 18},
    {"LayerElementBumpTextures", LayerElementKind::Texture, 19},
    {"LayerElementNormalMapTextures", LayerElementKind::Texture, 16},
    {"LayerElementTransparentTextures", LayerElementKind::Texture, 20},
    {"LayerElementTransparencyFactorTextures", LayerElementKind::Texture, 21},
    {"LayerElementReflectionTextures", LayerElementKind::Texture, 22},
    {"LayerElementReflectionFactorTextures", LayerElementKind::Texture, 23},
};
inline constexpr LayerElementRow kUVRows[] = {
    {"LayerElementUV", LayerElementKind::UV, 3},
    {"LayerElementEmissiveUV", LayerElementKind::UV, 10},
    {"LayerElementEmissiveFactorUV", LayerElementKind::UV, 11},
    {"LayerElementAmbientUV", LayerElementKind::UV, 12},
    {"LayerElementAmbientFactorUV", LayerElementKind::UV, 13},
    {"LayerElementDiffuseFactorUV", LayerElementKind::UV, 14},
    {"LayerElementSpecularUV", LayerElementKind::UV, 15},
    {"LayerElementSpecularFactorUV", LayerElementKind::UV, 17},
    {"LayerElementShininessUV", LayerElementKind::UV, 18},
    {"LayerElementBumpUV", LayerElementKind::UV, 19},
    {"LayerElementNormalMapUV", LayerElementKind::UV, 16},
    {"LayerElementTransparentUV", LayerElementKind::UV, 20},
    {"LayerElementTransparencyFactorUV", LayerElementKind::UV, 21},
    {"LayerElementReflectionUV", LayerElementKind::UV, 22},
    {"LayerElementReflectionFactorUV", LayerElementKind::UV, 23},
};
inline constexpr int kChannelRowCount = 15;

inline constexpr LayerElementRow kNormalRow = {"LayerElementNormal", LayerElementKind::Normal, 1};
inline constexpr LayerElementRow kMaterialRow = {"LayerElementMaterial", LayerElementKind::Material, 2};
inline constexpr LayerElementRow kPolygonGroupRow = {"LayerElementPolygonGroup", LayerElementKind::PolygonGroup, 4};
inline constexpr LayerElementRow kColorRow = {"LayerElementColor", LayerElementKind::Color, 6};
inline constexpr LayerElementRow kSmoothingRow = {"LayerElementSmoothing", LayerElementKind::Smoothing, 7};
inline constexpr LayerElementRow kUserDataRow = {"LayerElementUserData", LayerElementKind::UserData, 8};
inline constexpr LayerElementRow kVisibilityRow = {"LayerElementVisibility", LayerElementKind::Visibility, 9};

// The order of the "LayerElement" references inside a "Layer" record: the
// textures with channel 16 after 19, the UVs in channel order.
inline constexpr LayerElementRow kLayerReferenceRows[] = {
    kNormalRow,
    kMaterialRow,
    kTextureRows[0], kTextureRows[1], kTextureRows[2], kTextureRows[3], kTextureRows[4],
    kTextureRows[5], kTextureRows[6], kTextureRows[7], kTextureRows[8], kTextureRows[9],
    kTextureRows[10], kTextureRows[11], kTextureRows[12], kTextureRows[13], kTextureRows[14],
    kPolygonGroupRow,
    kUVRows[0], kUVRows[1], kUVRows[2], kUVRows[3], kUVRows[4], kUVRows[5], kUVRows[6],
    kUVRows[10],   // channel 16 in channel order here
    kUVRows[7], kUVRows[8], kUVRows[9], kUVRows[11], kUVRows[12], kUVRows[13], kUVRows[14],
    kColorRow,
    kSmoothingRow,
    kUserDataRow,
    kVisibilityRow,
};

}  // namespace duz6

}  // namespace duzsdk
