// Cameras and lights as "camera" and "light" elements, and the scene's
// ambient colour as an extra light.
#include <cmath>

#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// Film sizes are in inches; the factor is 2.54 in single precision.
constexpr double kInchFactor = static_cast<double>(2.54f);

xmlNode* AddValue(xmlNode* parent, const char* name, double value, const char* sid) {
    xmlNode* element = ColladaNewChild(parent, name, ColladaDoubleText(value).Buffer());
    if (sid != nullptr) ColladaSetAttribute(element, "sid", sid);
    return element;
}

xmlNode* NewLibraryElement(const char* kind, const KString& n) {
    xmlNode* element = ColladaNewChild(nullptr, kind);
    ColladaSetAttribute(element, "id", n + "-lib");
    ColladaSetAttribute(element, "name", n + "Mesh");
    return element;
}

}  // namespace

xmlNode* KDuzWriterCollada::AddCameraToLibrary(KDuzNode* node) {
    xmlNode* camera = ExportCamera(node);
    if (camera != nullptr) AppendToLibrary(mCamerasPart, "library_cameras", camera);
    return camera;
}

xmlNode* KDuzWriterCollada::AddLightToLibrary(KDuzNode* node) {
    xmlNode* light = ExportLight(node);
    if (light != nullptr) AppendToLibrary(mLightsPart, "library_lights", light);
    return light;
}

xmlNode* KDuzWriterCollada::ExportCamera(KDuzNode* node) {
    const KString n = node->GetNameString();
    auto* camera = static_cast<KDuzCamera*>(node->GetCamera());
    if (camera == nullptr) {
        NotifyError(KString("Could not get camera for node ") + n);
        return nullptr;
    }
    xmlNode* element = NewLibraryElement("camera", n);
    xmlNode* optics = ColladaNewChild(element, "optics");
    xmlNode* common = ColladaNewChild(optics, "technique_common");
    const bool orthographic = camera->GetProjectionType() == 1;
    xmlNode* projection = ColladaNewChild(common, orthographic ? "orthographic" : "perspective");
    bool bothFields = false;
    if (orthographic) {
        AddValue(projection, "xmag", camera->GetOrthoZoom(), "xmag");
    } else {
        switch (static_cast<int>(camera->GetApertureMode())) {
            case 0:
                AddValue(projection, "xfov", camera->GetFieldOfViewX(), "xfov");
                AddValue(projection, "yfov", camera->GetFieldOfViewY(), "yfov");
                bothFields = true;
                break;
            case 1: AddValue(projection, "xfov", camera->GetFieldOfView(), "xfov"); break;
            case 2: AddValue(projection, "yfov", camera->GetFieldOfView(), "yfov"); break;
            case 3:
                AddValue(projection, "xfov", camera->ComputeFieldOfView(camera->GetFocalLength()), "xfov");
                break;
            default: NotifyWarning(KString("Warning: unknown camera aperture mode for camera: ") + n); break;
        }
    }
    // With both fields of view the ratio is implied (the schema allows no
    // third value); a zero film height has no ratio.
    const double height = camera->GetFilmHeight();
    if (!bothFields && height != 0.0) AddValue(projection, "aspect_ratio", camera->GetFilmWidth() / height, nullptr);
    AddValue(projection, "znear", camera->GetNearPlane(), "znear");
    AddValue(projection, "zfar", camera->GetFarPlane(), "zfar");
    xmlNode* maya = ColladaAddTechnique(optics, "MAYA");
    AddValue(maya, "vertical_aperture", std::floor(height * kInchFactor * 100000.0) / 100000.0, nullptr);
    AddValue(maya, "horizontal_aperture", std::floor(camera->GetFilmWidth() * kInchFactor * 100000.0) / 100000.0,
             "haperture");
    AddValue(maya, "lens_squeeze", camera->GetFilmSqueezeRatio(), "lenssqueeze");
    return element;
}

xmlNode* KDuzWriterCollada::ExportLight(KDuzNode* node) {
    const KString n = node != nullptr ? node->GetNameString() : KString("SceneAmbient");
    KDuzLight* light = nullptr;
    if (node != nullptr) {
        light = static_cast<KDuzLight*>(node->GetLight());
        if (light == nullptr) {
            NotifyError(KString("Could not get light for node ") + n);
            return nullptr;
        }
    }
    if (light == nullptr) {
        xmlNode* element = NewLibraryElement("light", n);
        const KDuzRGBAColor ambient = mScene->GetGlobalLightSettings()->GetAmbientColor();
        xmlNode* kind = ColladaNewChild(ColladaNewChild(element, "technique_common"), "ambient");
        ColladaNewChild(kind, "color", ColladaTripleText(ambient.mRed, ambient.mGreen, ambient.mBlue));
        return element;
    }
    static const char* const kKinds[] = {"point", "directional", "spot"};
    const int type = static_cast<int>(light->GetLightType());
    if (type < 0 || type > 2) {
        NotifyError(KString("Unknown light type: ") + ColladaIntText(type));
        return nullptr;
    }
    xmlNode* element = NewLibraryElement("light", n);
    xmlNode* kind = ColladaNewChild(ColladaNewChild(element, "technique_common"), kKinds[type]);
    const KDuzRGBAColor color = light->GetColor();
    xmlNode* colorElement = ColladaNewChild(kind, "color", ColladaTripleText(color.mRed, color.mGreen, color.mBlue));
    ColladaSetAttribute(colorElement, "sid", "color");
    if (type == 2) AddValue(kind, "falloff_angle", light->GetConeAngle(), "angle");
    AddValue(ColladaAddTechnique(element, "MAYA"), "intensity", light->GetIntensity() / 100.0, "intensity");
    return element;
}

void KDuzWriterCollada::ExportSceneAmbient() {
    KDuzGlobalLightSettings* settings = mScene->GetGlobalLightSettings();
    if (settings == nullptr) return;
    const KDuzRGBAColor ambient = settings->GetAmbientColor();
    if (ambient.mRed == 0.0 && ambient.mGreen == 0.0 && ambient.mBlue == 0.0) return;
    xmlNode* light = ExportLight(nullptr);
    if (light != nullptr) AppendToLibrary(mLightsPart, "library_lights", light);
}

}  // namespace duzsdk
