// The tree of the SDK's public classes: every class with its parent, in the
// order the first SDK manager registers them, and the process-wide class id
// each class answers with.
#pragma once

#include "sdk/object/KClassId.h"

namespace duzsdk {

// One value per public class, in registration order.
enum EDuzClass : int {
    eDuzClassNone = -1,
    eDuzClassPlug,
    eDuzClassProperty,
    eDuzClassObject,
    eDuzClassThumbnail,
    eDuzClassSceneInfo,
    eDuzClassGeometryConverter,
    eDuzClassImageConverter,
    eDuzClassScene,
    eDuzClassGeometryWeightedMap,
    eDuzClassPose,
    eDuzClassControlSetPlug,
    eDuzClassCharacterPose,
    eDuzClassCache,
    eDuzClassGlobalSettings,
    eDuzClassIO,
    eDuzClassTakeNodeContainer,
    eDuzClassNodeAttribute,
    eDuzClassStreamOptions,
    eDuzClassKFCurveFilters,
    eDuzClassKFCurveFilterConstantKeyReducer,
    eDuzClassKFCurveFilterMatrixConverter,
    eDuzClassKFCurveFilterResample,
    eDuzClassKFCurveFilterUnroll,
    eDuzClassStreamOptionsDuzReader,
    eDuzClassStreamOptionsDuzWriter,
    eDuzClassStreamOptionsMotionReader,
    eDuzClassStreamOptionsMotionWriter,
    eDuzClassStreamOptions3dsReader,
    eDuzClassStreamOptions3dsWriter,
    eDuzClassStreamOptionsDxfReader,
    eDuzClassStreamOptionsDxfWriter,
    eDuzClassStreamOptionsObjReader,
    eDuzClassStreamOptionsObjWriter,
    eDuzClassStreamOptionsColladaReader,
    eDuzClassStreamOptionsColladaWriter,
    eDuzClassImporter,
    eDuzClassExporter,
    eDuzClassNode,
    eDuzClassGenericNode,
    eDuzClassSurfaceMaterial,
    eDuzClassTexture,
    eDuzClassVideo,
    eDuzClassDeformer,
    eDuzClassSubDeformer,
    eDuzClassConstraint,
    eDuzClassSkin,
    eDuzClassVertexCacheDeformer,
    eDuzClassCluster,
    eDuzClassConstraintAim,
    eDuzClassConstraintParent,
    eDuzClassConstraintPosition,
    eDuzClassConstraintRotation,
    eDuzClassConstraintScale,
    eDuzClassCharacter,
    eDuzClassConstraintSingleChainIK,
    eDuzClassNull,
    eDuzClassMarker,
    eDuzClassCamera,
    eDuzClassCameraSwitcher,
    eDuzClassLight,
    eDuzClassSkeleton,
    eDuzClassOpticalReference,
    eDuzClassLayerContainer,
    eDuzClassGeometryBase,
    eDuzClassShape,
    eDuzClassGeometry,
    eDuzClassMesh,
    eDuzClassPatch,
    eDuzClassNurb,
    eDuzClassNurbsSurface,
    eDuzClassNurbsCurve,
    eDuzClassTrimNurbsSurface,
    eDuzClassBoundary,
    eDuzClassSurfaceLambert,
    eDuzClassSurfacePhong,
    eDuzClassCount,
};

struct KDuzClassTreeEntry {
    EDuzClass id;
    const char* name;
    EDuzClass parent;   // eDuzClassNone for the root
};

// Parents come before their children.
inline constexpr KDuzClassTreeEntry kDuzClassTree[] = {
    {eDuzClassPlug, "KDuzPlug", eDuzClassNone},
    {eDuzClassProperty, "KDuzProperty", eDuzClassPlug},
    {eDuzClassObject, "KDuzObject", eDuzClassPlug},
    {eDuzClassThumbnail, "KDuzThumbnail", eDuzClassObject},
    {eDuzClassSceneInfo, "KDuzSceneInfo", eDuzClassObject},
    {eDuzClassGeometryConverter, "KDuzGeometryConverter", eDuzClassObject},
    {eDuzClassImageConverter, "KDuzImageConverter", eDuzClassObject},
    {eDuzClassScene, "KDuzScene", eDuzClassObject},
    {eDuzClassGeometryWeightedMap, "KDuzGeometryWeightedMap", eDuzClassObject},
    {eDuzClassPose, "KDuzPose", eDuzClassObject},
    {eDuzClassControlSetPlug, "KDuzControlSetPlug", eDuzClassObject},
    {eDuzClassCharacterPose, "KDuzCharacterPose", eDuzClassObject},
    {eDuzClassCache, "KDuzCache", eDuzClassObject},
    {eDuzClassGlobalSettings, "KDuzGlobalSettings", eDuzClassObject},
    {eDuzClassIO, "KDuzIO", eDuzClassObject},
    {eDuzClassTakeNodeContainer, "KDuzTakeNodeContainer", eDuzClassObject},
    {eDuzClassNodeAttribute, "KDuzNodeAttribute", eDuzClassObject},
    {eDuzClassStreamOptions, "KDuzStreamOptions", eDuzClassObject},
    {eDuzClassKFCurveFilters, "KDuzKFCurveFilters", eDuzClassObject},
    {eDuzClassKFCurveFilterConstantKeyReducer, "KDuzKFCurveFilterConstantKeyReducer", eDuzClassKFCurveFilters},
    {eDuzClassKFCurveFilterMatrixConverter, "KDuzKFCurveFilterMatrixConverter", eDuzClassKFCurveFilters},
    {eDuzClassKFCurveFilterResample, "KDuzKFCurveFilterResample", eDuzClassKFCurveFilters},
    {eDuzClassKFCurveFilterUnroll, "KDuzKFCurveFilterUnroll", eDuzClassKFCurveFilters},
    {eDuzClassStreamOptionsDuzReader, "KDuzStreamOptionsDuzReader", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsDuzWriter, "KDuzStreamOptionsDuzWriter", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsMotionReader, "KDuzStreamOptionsMotionReader", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsMotionWriter, "KDuzStreamOptionsMotionWriter", eDuzClassStreamOptions},
    {eDuzClassStreamOptions3dsReader, "KDuzStreamOptions3dsReader", eDuzClassStreamOptions},
    {eDuzClassStreamOptions3dsWriter, "KDuzStreamOptions3dsWriter", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsDxfReader, "KDuzStreamOptionsDxfReader", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsDxfWriter, "KDuzStreamOptionsDxfWriter", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsObjReader, "KDuzStreamOptionsObjReader", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsObjWriter, "KDuzStreamOptionsObjWriter", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsColladaReader, "KDuzStreamOptionsColladaReader", eDuzClassStreamOptions},
    {eDuzClassStreamOptionsColladaWriter, "KDuzStreamOptionsColladaWriter", eDuzClassStreamOptions},
    {eDuzClassImporter, "KDuzImporter", eDuzClassIO},
    {eDuzClassExporter, "KDuzExporter", eDuzClassIO},
    {eDuzClassNode, "KDuzNode", eDuzClassTakeNodeContainer},
    {eDuzClassGenericNode, "KDuzGenericNode", eDuzClassTakeNodeContainer},
    {eDuzClassSurfaceMaterial, "KDuzSurfaceMaterial", eDuzClassTakeNodeContainer},
    {eDuzClassTexture, "KDuzTexture", eDuzClassTakeNodeContainer},
    {eDuzClassVideo, "KDuzVideo", eDuzClassTakeNodeContainer},
    {eDuzClassDeformer, "KDuzDeformer", eDuzClassTakeNodeContainer},
    {eDuzClassSubDeformer, "KDuzSubDeformer", eDuzClassTakeNodeContainer},
    {eDuzClassConstraint, "KDuzConstraint", eDuzClassTakeNodeContainer},
    {eDuzClassSkin, "KDuzSkin", eDuzClassDeformer},
    {eDuzClassVertexCacheDeformer, "KDuzVertexCacheDeformer", eDuzClassDeformer},
    {eDuzClassCluster, "KDuzCluster", eDuzClassSubDeformer},
    {eDuzClassConstraintAim, "KDuzConstraintAim", eDuzClassConstraint},
    {eDuzClassConstraintParent, "KDuzConstraintParent", eDuzClassConstraint},
    {eDuzClassConstraintPosition, "KDuzConstraintPosition", eDuzClassConstraint},
    {eDuzClassConstraintRotation, "KDuzConstraintRotation", eDuzClassConstraint},
    {eDuzClassConstraintScale, "KDuzConstraintScale", eDuzClassConstraint},
    {eDuzClassCharacter, "KDuzCharacter", eDuzClassConstraint},
    {eDuzClassConstraintSingleChainIK, "KDuzConstraintSingleChainIK", eDuzClassConstraint},
    {eDuzClassNull, "KDuzNull", eDuzClassNodeAttribute},
    {eDuzClassMarker, "KDuzMarker", eDuzClassNodeAttribute},
    {eDuzClassCamera, "KDuzCamera", eDuzClassNodeAttribute},
    {eDuzClassCameraSwitcher, "KDuzCameraSwitcher", eDuzClassNodeAttribute},
    {eDuzClassLight, "KDuzLight", eDuzClassNodeAttribute},
    {eDuzClassSkeleton, "KDuzSkeleton", eDuzClassNodeAttribute},
    {eDuzClassOpticalReference, "KDuzOpticalReference", eDuzClassNodeAttribute},
    {eDuzClassLayerContainer, "KDuzLayerContainer", eDuzClassNodeAttribute},
    {eDuzClassGeometryBase, "KDuzGeometryBase", eDuzClassLayerContainer},
    {eDuzClassShape, "KDuzShape", eDuzClassGeometryBase},
    {eDuzClassGeometry, "KDuzGeometry", eDuzClassGeometryBase},
    {eDuzClassMesh, "KDuzMesh", eDuzClassGeometry},
    {eDuzClassPatch, "KDuzPatch", eDuzClassGeometry},
    {eDuzClassNurb, "KDuzNurb", eDuzClassGeometry},
    {eDuzClassNurbsSurface, "KDuzNurbsSurface", eDuzClassGeometry},
    {eDuzClassNurbsCurve, "KDuzNurbsCurve", eDuzClassGeometry},
    {eDuzClassTrimNurbsSurface, "KDuzTrimNurbsSurface", eDuzClassGeometry},
    {eDuzClassBoundary, "KDuzBoundary", eDuzClassGeometry},
    {eDuzClassSurfaceLambert, "KDuzSurfaceLambert", eDuzClassSurfaceMaterial},
    {eDuzClassSurfacePhong, "KDuzSurfacePhong", eDuzClassSurfaceMaterial},
};
inline constexpr int kDuzClassTreeCount =
    static_cast<int>(sizeof(kDuzClassTree) / sizeof(kDuzClassTree[0]));
static_assert(kDuzClassTreeCount == eDuzClassCount, "one row per class");

// The process-wide class id of a class (the null handle before the first
// manager registered the tree, and for an id outside the tree).
KClassId KDuzClassIdOf(EDuzClass id);
// The row of a class name; eDuzClassNone when the name is not in the tree.
EDuzClass KDuzClassTreeFind(const char* name);

// Gives a class its creator, for every manager: now when the class is
// registered already, else when the tree is registered. False for an id
// outside the tree.
bool KDuzClassTreeSetCreator(EDuzClass id, KDuzClassCreator creator);

// The SDK manager's class registration: the first call in the process
// installs the creators (KDuzInstallClassCreators), registers the whole tree
// into the registry and sets every class id; later calls change nothing.
// True.
bool KDuzRegisterClassTree(KClassRegistry& registry);

// Installs the creator of every public class through
// KDuzClassTreeSetCreator. The classes live in every layer of the SDK, so this
// is defined at the top of the SDK, where all of them are known.
void KDuzInstallClassCreators();

}  // namespace duzsdk
