// The manager's layer-element operations. The manager sits below the
// geometry, so they are defined here, beside the element kinds they make.
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

KDuzLayerElementNormal* KDuzSdkManager::CreateLayerElementNormal(const char* name) {
    return KDuzCreateLayerElementNormal(this, name);
}

KDuzLayerElementMaterial* KDuzSdkManager::CreateLayerElementMaterial(const char* name) {
    return KDuzCreateLayerElementMaterial(this, name);
}

KDuzLayerElementPolygonGroup* KDuzSdkManager::CreateLayerElementPolygonGroup(const char* name) {
    return KDuzCreateLayerElementPolygonGroup(this, name);
}

KDuzLayerElementUV* KDuzSdkManager::CreateLayerElementUV(const char* name) {
    return KDuzCreateLayerElementUV(this, name);
}

KDuzLayerElementVertexColor* KDuzSdkManager::CreateLayerElementVertexColor(const char* name) {
    return KDuzCreateLayerElementVertexColor(this, name);
}

KDuzLayerElementSmoothing* KDuzSdkManager::CreateLayerElementSmoothing(const char* name) {
    return KDuzCreateLayerElementSmoothing(this, name);
}

KDuzLayerElementVisibility* KDuzSdkManager::CreateLayerElementVisibility(const char* name) {
    return KDuzCreateLayerElementVisibility(this, name);
}

KDuzLayerElementTexture* KDuzSdkManager::CreateLayerElementTexture(const char* name) {
    return KDuzCreateLayerElementTexture(this, name);
}

KDuzLayerElementUserData* KDuzSdkManager::CreateLayerElementUserData(const char* name, int id,
                                                                     const std::vector<PropertyDataType>& dataTypes,
                                                                     const std::vector<KString>& names) {
    return KDuzCreateLayerElementUserData(this, name, id, dataTypes, names);
}

KDuzLayerElementUserData* KDuzSdkManager::CreateLayerElementUserDataCopy(const char* name,
                                                                         const KDuzLayerElementUserData* other) {
    return KDuzCreateLayerElementUserDataCopy(this, name, other);
}

}  // namespace duzsdk
