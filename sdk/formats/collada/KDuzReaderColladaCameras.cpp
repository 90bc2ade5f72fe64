// Camera and light libraries, and the default camera names left out.
#include <cmath>

#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

double Number(const xmlNode* element) {
    const KString text = ColladaGetContent(element);
    const char* cursor = text.Buffer();
    return ColladaScanNumber(cursor);
}

// Film sizes are kept in inches, truncated at five decimals.
double ApertureInches(double centimetres) {
    return std::floor(centimetres / static_cast<double>(2.54f) * 100000.0) / 100000.0;
}

}  // namespace

void KDuzReaderCollada::AddAnimatedTarget(const KString& key, const KString& kind, int index) {
    mAnimatedTargets.emplace(key.Buffer(), ColladaTransformTarget{kind, index});
}

bool KDuzReaderCollada::CheckCameraName(const KString& name) {
    for (const char* reserved : {"persp", "top", "bottom", "left", "right", "side", "front", "back"}) {
        if (name == reserved) {
            NotifyWarning(KString("Camera ") + name + " will not be imported.");
            return false;
        }
    }
    return true;
}

bool KDuzReaderCollada::ReadCamera(xmlNode* cameraElement) {
    const KString id = ColladaGetAttribute(cameraElement, "id");
    KDuzCamera* camera = KDuzCamera::Create(mManager, "");
    if (camera == nullptr) return false;
    xmlNode* optics = ColladaFindChildByName(cameraElement, "optics");
    if (optics == nullptr) {
        NotifyError(KString("Camera node ") + id + " has no <optics> node.");
        return false;
    }
    xmlNode* common = ColladaFindTechniqueCommon(optics);
    if (common == nullptr) {
        NotifyError(KString("no <technique> node found for camera node ") + id);
        return false;
    }
    auto target = [&](const xmlNode* parameter) {
        const KString sid = ColladaGetAttribute(parameter, "sid");
        if (!sid.IsEmpty()) AddAnimatedTarget(id + "/" + sid, KString(ColladaElementName(parameter)), 0);
    };
    for (xmlNode* projection = common->children; projection != nullptr; projection = projection->next) {
        if (projection->type != XML_ELEMENT_NODE) continue;
        const KString kind(ColladaElementName(projection));
        if (kind == "orthographic") {
            camera->SetProjectionType(1);
        } else {
            if (kind != "perspective")
                NotifyWarning(KString("unknown camera type: ") + kind + "." + " Camera type will be set to Perspective.");
            camera->SetProjectionType(0);
        }
        double xfov = -1.0;
        double yfov = -1.0;
        double width = 0.0;
        double height = 0.0;
        for (xmlNode* parameter = projection->children; parameter != nullptr; parameter = parameter->next) {
            if (parameter->type != XML_ELEMENT_NODE) continue;
            const KString name(ColladaElementName(parameter));
            const double value = Number(parameter);
            if (name == "xfov") xfov = value;
            else if (name == "yfov") yfov = value;
            else if (name == "znear") camera->SetNearPlane(value);
            else if (name == "zfar") camera->SetFarPlane(value);
            else if (name == "xmag" || name == "ymag") camera->SetOrthoZoom(value);
            else if (name == "aspect_ratio") {
                const double aspectWidth = camera->GetAspectWidth();
                if (value != 0.0 && std::isfinite(value)) camera->SetAspect(0, aspectWidth, aspectWidth / value);
            } else if (name == "RIGHT") width += value;
            else if (name == "LEFT") width -= value;
            else if (name == "BOTTOM") height += value;
            else if (name == "TOP") height -= value;
            else if (WarnOnce(name)) NotifyWarning(KString("Unrecognized camera parameter: ") + name);
            target(parameter);
        }
        if (width != 0.0 && height != 0.0) camera->SetAspect(0, width, height);
        if (xfov >= 0.0 && yfov < 0.0) {
            camera->SetFieldOfView(xfov);
            camera->SetApertureMode(1);
        } else if (xfov < 0.0 && yfov >= 0.0) {
            camera->SetFieldOfView(yfov);
            camera->SetApertureMode(2);
        } else if (xfov >= 0.0 && yfov >= 0.0) {
            camera->SetApertureMode(0);
        }
    }
    if (xmlNode* maya = ColladaFindTechniqueByProfile(optics, "MAYA")) {
        camera->SetInterestPosition(KgeTVector(0.0, 0.0, -1.0, 0.0));
        camera->SetFocusDistance(5.0);
        const double fieldOfView = camera->GetFieldOfView();
        for (xmlNode* parameter = maya->children; parameter != nullptr; parameter = parameter->next) {
            if (parameter->type != XML_ELEMENT_NODE) continue;
            const KString name(ColladaElementName(parameter));
            const double value = Number(parameter);
            if (name == "vertical_aperture") camera->SetFilmHeight(ApertureInches(value));
            else if (name == "horizontal_aperture") camera->SetFilmWidth(ApertureInches(value));
            else if (name == "lens_squeeze") camera->SetFilmSqueezeRatio(value);
            else if (WarnOnce(name)) NotifyWarning(KString("Unrecognized MAYA camera parameter: ") + name);
            target(parameter);
        }
        camera->SetFieldOfView(fieldOfView);
    }
    mNodeAttributes.emplace(id.Buffer(), camera);
    return true;
}

bool KDuzReaderCollada::ReadLight(KDuzScene* scene, xmlNode* lightElement) {
    const KString id = ColladaGetAttribute(lightElement, "id");
    xmlNode* common = ColladaFindTechniqueCommon(lightElement);
    KDuzLight* light = nullptr;
    auto target = [&](const xmlNode* parameter) {
        const KString sid = ColladaGetAttribute(parameter, "sid");
        if (!sid.IsEmpty()) AddAnimatedTarget(id + "/" + sid, KString(ColladaElementName(parameter)), 0);
    };
    // A light without technique_common has no kind: it is registered bare.
    for (xmlNode* kind = common != nullptr ? common->children : nullptr; kind != nullptr; kind = kind->next) {
        if (kind->type != XML_ELEMENT_NODE) continue;
        const KString kindName(ColladaElementName(kind));
        KDuzLight* made = nullptr;
        if (kindName == "directional" || kindName == "point" || kindName == "spot") {
            made = KDuzLight::Create(mManager, "");
            if (made == nullptr) return false;
            made->SetLightType(kindName == "directional" ? KDuzLight::eDirectional
                               : kindName == "point"     ? KDuzLight::ePoint
                                                         : KDuzLight::eSpot);
        } else if (kindName != "ambient") {
            NotifyWarning(KString("Unknown light type: ") + kindName);
        }
        for (xmlNode* parameter = kind->children; parameter != nullptr; parameter = parameter->next) {
            if (parameter->type != XML_ELEMENT_NODE) continue;
            const KString name(ColladaElementName(parameter));
            if (name == "color") {
                const KString text = ColladaGetContent(parameter);
                const char* cursor = text.Buffer();
                KDuzRGBAColor color;
                ColladaScanColor(cursor, color);
                if (made != nullptr) {
                    made->SetColor(KDuzRGBAColor(color.mRed, color.mGreen, color.mBlue, color.mAlpha));
                } else if (KDuzGlobalLightSettings* settings = scene->GetGlobalLightSettings()) {
                    KDuzRGBAColor ambient = settings->GetAmbientColor();
                    ambient.Set(ambient.mRed + color.mRed, ambient.mGreen + color.mGreen, ambient.mBlue + color.mBlue,
                                ambient.mAlpha);
                    settings->SetAmbientColor(ambient);
                }
            } else if (name == "falloff_angle") {
                if (made != nullptr) made->SetConeAngle(Number(parameter));
            } else if (name == "constant_attenuation" || name == "linear_attenuation" ||
                       name == "quadratic_attenuation" || name == "falloff_exponent") {
                if (WarnOnce(name)) NotifyWarning(KString("light parameter not supported by DUZ: <") + name + ">");
            } else {
                NotifyWarning(KString("Unknown light parameter <") + name + "> on light " + "\"" + id + "\"");
            }
            target(parameter);
        }
        // With several kinds the last light stands; an earlier one is dropped.
        if (made != nullptr) {
            if (light != nullptr) light->Destroy();
            light = made;
        }
    }
    if (xmlNode* maya = ColladaFindTechniqueByProfile(lightElement, "MAYA")) {
        for (xmlNode* parameter = maya->children; parameter != nullptr; parameter = parameter->next) {
            if (parameter->type != XML_ELEMENT_NODE) continue;
            const KString name(ColladaElementName(parameter));
            if (name == "intensity") {
                if (light != nullptr) light->SetIntensity(Number(parameter) * 100.0);
            } else if (WarnOnce(name)) {
                NotifyWarning(KString("light parameter not supported by DUZ: <") + name + ">");
            }
            target(parameter);
        }
    }
    mNodeAttributes.emplace(id.Buffer(), light);
    return true;
}

}  // namespace duzsdk
