// What the whole SDK registers once it runs: the creator of every public
// class and the built-in file formats. It sits at the top of the SDK because
// it names classes of every layer; the layers below reach it only through
// the declarations in their own headers.
#include "sdk/animation/KDuzKFCurveFilters.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/character/KDuzConstraint.h"
#include "sdk/character/KDuzConstraintAim.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/character/KDuzConstraintPosition.h"
#include "sdk/character/KDuzConstraintSingleChainIK.h"
#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzBoundary.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzGeometryBase.h"
#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzSceneLayerPasses.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTrimNurbsSurface.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/formats/KDuzBuiltinFormats.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodePivotConversion.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzOpticalReference.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "sdk/scene/KDuzThumbnail.h"

namespace duzsdk {

void KDuzInstallClassCreators() {
    // One line per class that can be created, as each class lands. A class
    // without a creator makes objects of its nearest creatable ancestor.
    KDuzClassTreeSetCreator(eDuzClassTakeNodeContainer, &KDuzTakeNodeContainer::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassNode, &KDuzNode::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassLayerContainer, &KDuzLayerContainer::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassGeometryBase, &KDuzGeometryBase::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassGeometry, &KDuzGeometry::ClassCreator);
    // Pivot conversion moves geometric transforms into the geometry's pivot.
    KDuzInstallDefaultGeometryPivotAdjuster(&KDuzGeometry::AdjustPivotOf);
    KDuzClassTreeSetCreator(eDuzClassMesh, &KDuzMesh::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassShape, &KDuzShape::ClassCreator);
    // Curved geometry.
    KDuzClassTreeSetCreator(eDuzClassNurb, &KDuzNurb::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassNurbsSurface, &KDuzNurbsSurface::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassNurbsCurve, &KDuzNurbsCurve::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassPatch, &KDuzPatch::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassBoundary, &KDuzBoundary::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassTrimNurbsSurface, &KDuzTrimNurbsSurface::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassGeometryConverter, &KDuzGeometryConverter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassImageConverter, &KDuzImageConverter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSkin, &KDuzSkin::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassCluster, &KDuzCluster::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassDeformer, &KDuzDeformer::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSubDeformer, &KDuzSubDeformer::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassVertexCacheDeformer, &KDuzVertexCacheDeformer::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassCache, &KDuzCache::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassGeometryWeightedMap, &KDuzGeometryWeightedMap::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSurfaceMaterial, &KDuzSurfaceMaterial::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSurfaceLambert, &KDuzSurfaceLambert::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSurfacePhong, &KDuzSurfacePhong::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassTexture, &KDuzTexture::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassVideo, &KDuzVideo::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassGlobalSettings, &KDuzGlobalSettings::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSceneInfo, &KDuzSceneInfo::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassThumbnail, &KDuzThumbnail::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassScene, &KDuzScene::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassPose, &KDuzPose::ClassCreator);
    KDuzInstallCurveFilterCreators();
    // The scene's passes over geometry layers live with the geometry.
    KDuzInstallSceneLayerPasses();
    KDuzClassTreeSetCreator(eDuzClassNodeAttribute, &KDuzNodeAttribute::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassNull, &KDuzNull::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassMarker, &KDuzMarker::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassSkeleton, &KDuzSkeleton::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassOpticalReference, &KDuzOpticalReference::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassCameraSwitcher, &KDuzCameraSwitcher::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassGenericNode, &KDuzGenericNode::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassLight, &KDuzLight::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassCamera, &KDuzCamera::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraint, &KDuzConstraint::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraintPosition, &KDuzConstraintPosition::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraintRotation, &KDuzConstraintRotation::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraintScale, &KDuzConstraintScale::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraintParent, &KDuzConstraintParent::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraintSingleChainIK, &KDuzConstraintSingleChainIK::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassConstraintAim, &KDuzConstraintAim::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassCharacter, &KDuzCharacter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassControlSetPlug, &KDuzControlSetPlug::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassCharacterPose, &KDuzCharacterPose::ClassCreator);
    KDuzCharacter::InstallNodeClearer();
    KDuzClassTreeSetCreator(eDuzClassImporter, &KDuzImporter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassExporter, &KDuzExporter::ClassCreator);
    // Option sets of the readers and writers.
    KDuzClassTreeSetCreator(eDuzClassStreamOptions, &KDuzStreamOptions::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsDuzReader, &KDuzStreamOptionsDuzReader::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsDuzWriter, &KDuzStreamOptionsDuzWriter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsMotionReader, &KDuzStreamOptionsMotionReader::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsMotionWriter, &KDuzStreamOptionsMotionWriter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptions3dsReader, &KDuzStreamOptions3dsReader::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptions3dsWriter, &KDuzStreamOptions3dsWriter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsDxfReader, &KDuzStreamOptionsDxfReader::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsDxfWriter, &KDuzStreamOptionsDxfWriter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsObjReader, &KDuzStreamOptionsObjReader::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsObjWriter, &KDuzStreamOptionsObjWriter::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsColladaReader, &KDuzStreamOptionsColladaReader::ClassCreator);
    KDuzClassTreeSetCreator(eDuzClassStreamOptionsColladaWriter, &KDuzStreamOptionsColladaWriter::ClassCreator);
}

void KDuzRegisterBuiltinFormats(KDuzFormatRegistry& registry) {
    // Groups in this order, so format indices never change: DUZ readers
    // (setting the first DUZ reader index), then DXF, 3DS, OBJ, Collada; the
    // writers the same way.
    KDuzRegisterBuiltinFormatGroups(registry);
}

}  // namespace duzsdk
