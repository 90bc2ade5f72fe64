// Materials as "material" and "effect" elements, textures as "image"
// elements and "texture" references inside the effect parameters.
#include <cmath>
#include <string>
#include <unordered_set>

#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

struct ChannelRow {
    const char* name;
    int layerType;
};
// The exported texture channels, in export order.
constexpr ChannelRow kChannels[] = {
    {"ambient", eLayerElementAmbientTextures},         {"diffuse", eLayerElementDiffuseTextures},
    {"emission", eLayerElementEmissiveTextures},       {"reflective", eLayerElementReflectionTextures},
    {"specular", eLayerElementSpecularTextures},       {"transparent", eLayerElementTransparentTextures},
};
constexpr int kChannelCount = 6;

// The order of the parameters of a common shader; the schema fixes it.
constexpr const char* kParameterOrder[] = {"emission",   "ambient",      "diffuse",     "specular",
                                           "shininess",  "reflective",   "reflectivity", "transparent",
                                           "transparency", "index_of_refraction"};

int ParameterRank(const xmlChar* name) {
    for (int i = 0; i < 10; ++i)
        if (xmlStrEqual(name, reinterpret_cast<const xmlChar*>(kParameterOrder[i]))) return i;
    return 100;
}

xmlNode* FirstChildNamed(xmlNode* parent, const char* name) {
    for (xmlNode* child = parent != nullptr ? parent->children : nullptr; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>(name)))
            return child;
    return nullptr;
}

struct Rgb {
    double r = 0.0, g = 0.0, b = 0.0;
};

void AddColor(xmlNode* shader, const char* name, Rgb c) { ColladaAddColorParam(shader, name, c.r, c.g, c.b); }

// Colour and factor properties found by name on materials of other classes.
bool FindColor(KDuzSurfaceMaterial* material, const char* name, Rgb& out) {
    const KDuzProperty property = material->FindProperty(name);
    if (!property.IsValid() || property.GetValueKind() != eValueKindDouble3) return false;
    const auto v = property.GetDouble3();
    out = {v[0], v[1], v[2]};
    return true;
}

bool FindDouble(KDuzSurfaceMaterial* material, const char* name, double& out) {
    const KDuzProperty property = material->FindProperty(name);
    if (!property.IsValid() || property.GetValueKind() != eValueKindDouble) return false;
    out = property.GetDouble();
    return true;
}

// Built-in values are read in place: a written material makes no handles.
Rgb Scaled(const KDuzSurfaceMaterial* material, EDuzMaterialProperty color, EDuzMaterialProperty factor) {
    const auto v = material->GetBuiltInDouble3(color);
    const double f = material->GetBuiltInDouble(factor);
    return {v[0] * f, v[1] * f, v[2] * f};
}

Rgb Plain(const KDuzSurfaceMaterial* material, EDuzMaterialProperty color) {
    const auto v = material->GetBuiltInDouble3(color);
    return {v[0], v[1], v[2]};
}

// The texture's file as a reference the schema accepts: "file://" before an
// absolute path, "file:///" before a drive letter (which "file://" would
// make a host and port), "./" before a relative name.
std::string ImageReference(const char* fileName) {
    std::string file = fileName != nullptr ? fileName : "";
    const size_t bar = file.find('|');
    if (bar != std::string::npos) file[bar] = ':';
    if (!file.empty() && file[0] == '/') return "file://" + file;
    const bool drive = file.size() >= 2 && file[1] == ':' &&
                       ((file[0] >= 'A' && file[0] <= 'Z') || (file[0] >= 'a' && file[0] <= 'z'));
    if (drive) return "file:///" + file;
    return "./" + file;
}

}  // namespace

void ColladaTextureChannelName(int channel, KString& name) {
    name = channel >= 0 && channel < kChannelCount ? kChannels[channel].name : "INVALID";
}

xmlNode* KDuzWriterCollada::WriteMaterial(KDuzSurfaceMaterial* material) {
    const KString m = material->GetNameString();
    const std::string key(m.Buffer());
    const auto found = mMaterials.find(key);
    if (found != mMaterials.end()) return found->second;
    xmlNode* element = ColladaNewChild(Library(mMaterialsPart, "library_materials"), "material");
    if (element == nullptr) return nullptr;
    ColladaSetAttribute(element, "id", m);
    ColladaSetAttribute(element, "name", m);
    xmlNode* instance = ColladaNewChild(element, "instance_effect");
    ColladaSetAttribute(instance, "url", KString("#") + m + "-fx");
    mMaterials.emplace(key, element);
    WriteEffect(material, m + "-fx");
    return element;
}

void KDuzWriterCollada::WriteEffect(KDuzSurfaceMaterial* material, const KString& effectId) {
    const std::string key(effectId.Buffer());
    if (mEffectShaders.count(key) != 0) return;
    xmlNode* effect = ColladaNewChild(Library(mEffectsPart, "library_effects"), "effect");
    ColladaSetAttribute(effect, "id", effectId);
    ColladaSetAttribute(effect, "name", material->GetNameString());
    xmlNode* technique = ColladaNewChild(ColladaNewChild(effect, "profile_COMMON"), "technique");
    ColladaSetAttribute(technique, "sid", "standard");

    if (material->Is(KDuzSurfacePhong::ClassId()) || material->Is(KDuzSurfaceLambert::ClassId())) {
        const bool phong = material->Is(KDuzSurfacePhong::ClassId());
        xmlNode* shader = ColladaNewChild(technique, phong ? "phong" : "lambert");
        AddColor(shader, "emission", Scaled(material, eMaterialEmissiveColor, eMaterialEmissiveFactor));
        AddColor(shader, "ambient", Scaled(material, eMaterialAmbientColor, eMaterialAmbientFactor));
        AddColor(shader, "diffuse", Scaled(material, eMaterialDiffuseColor, eMaterialDiffuseFactor));
        if (phong) {
            AddColor(shader, "specular", Scaled(material, eMaterialSpecularColor, eMaterialSpecularFactor));
            ColladaAddFloatParam(shader, "shininess", material->GetBuiltInDouble(eMaterialShininessExponent));
            AddColor(shader, "reflective", Plain(material, eMaterialReflectionColor));
            ColladaAddFloatParam(shader, "reflectivity", material->GetBuiltInDouble(eMaterialReflectionFactor));
        }
        AddColor(shader, "transparent", Plain(material, eMaterialTransparentColor));
        ColladaAddFloatParam(shader, "transparency", material->GetBuiltInDouble(eMaterialTransparencyFactor));
        mEffectShaders.emplace(key, shader);
        return;
    }

    const KString model = material->GetShadingModelText();
    const bool constant = model == "constant";
    xmlNode* shader = ColladaNewChild(technique, constant ? "constant" : model == "blinn" ? "blinn" : "phong");
    // A colour times its factor (1 when absent); a missing colour is black.
    auto scaled = [material](const char* color, const char* factor) {
        Rgb c;
        double f = 1.0;
        FindColor(material, color, c);
        FindDouble(material, factor, f);
        return Rgb{c.r * f, c.g * f, c.b * f};
    };
    Rgb color;
    double value = 0.0;
    AddColor(shader, "emission", scaled("EmissiveColor", "EmissiveFactor"));
    if (!constant) {
        AddColor(shader, "ambient", scaled("AmbientColor", "AmbientFactor"));
        AddColor(shader, "diffuse", scaled("DiffuseColor", "DiffuseFactor"));
        AddColor(shader, "specular", scaled("SpecularColor", "SpecularFactor"));
        if (FindDouble(material, "ShininessExponent", value)) ColladaAddFloatParam(shader, "shininess", value);
        if (FindColor(material, "ReflectionColor", color)) AddColor(shader, "reflective", color);
    }
    if (FindDouble(material, "ReflectionFactor", value)) ColladaAddFloatParam(shader, "reflectivity", value);
    if (FindColor(material, "TransparentColor", color)) AddColor(shader, "transparent", color);
    if (FindDouble(material, "TransparencyFactor", value)) ColladaAddFloatParam(shader, "transparency", value);
    mEffectShaders.emplace(key, constant ? nullptr : shader);
}

KDuzSurfaceMaterial* KDuzWriterCollada::MakeTextureMaterial(const KString& name) {
    KDuzSurfaceMaterial* material = KDuzSurfaceMaterial::Create(mManager, name.Buffer());
    // Made for the document only; destroyed when the write ends.
    if (material != nullptr) mMadeObjects.push_back(material);
    return material;
}

bool KDuzWriterCollada::ExportMeshTextures(KDuzMesh* mesh, KDuzNode* node) {
    const KString nodeName = node != nullptr ? node->GetNameString() : KString();
    for (int l = 0; l < mesh->GetLayerCount(); ++l) {
        KDuzLayer* layer = mesh->GetLayer(l);
        if (layer == nullptr) continue;
        for (int channel = 0; channel < kChannelCount; ++channel) {
            const KDuzLayerElementTexture* element = layer->GetTexturesOfType(kChannels[channel].layerType);
            if (element == nullptr) continue;
            const char* n = kChannels[channel].name;
            KPointerArray<KDuzObject> sceneTextures;
            const bool byScene = element->GetReferenceMode() == KDuzLayerElement::eIndex;
            if (byScene && mScene != nullptr) mScene->FillTextureArray(sceneTextures);
            const int count = byScene ? sceneTextures.Count() : element->GetDirectArray().Count();
            const KDuzLayerElementMaterial* materials = nullptr;
            for (int k = l; k >= 0 && materials == nullptr; --k)
                if (mesh->GetLayer(k) != nullptr) materials = mesh->GetLayer(k)->GetMaterials();
            // By polygon: the materials of the polygons of each texture, in one
            // pass over the polygons, each material once per texture. Polygon p
            // takes the texture its index names (direct: the texture at p).
            std::vector<std::vector<KDuzSurfaceMaterial*>> byPolygon;
            if (materials != nullptr && element->GetMappingMode() == KDuzLayerElement::eByPolygon) {
                byPolygon.resize(static_cast<size_t>(count));
                std::vector<std::unordered_set<KDuzSurfaceMaterial*>> seen(static_cast<size_t>(count));
                const auto& indices = element->GetIndexArray();
                const bool direct = element->GetReferenceMode() == KDuzLayerElement::eDirect;
                for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
                    const int position = direct ? p : (p < indices.Count() ? indices[p] : -1);
                    if (position < 0 || position >= count) continue;
                    KDuzSurfaceMaterial* material = ColladaPolygonMaterial(materials, p);
                    if (material != nullptr && seen[static_cast<size_t>(position)].insert(material).second)
                        byPolygon[static_cast<size_t>(position)].push_back(material);
                }
            }
            for (int position = 0; position < count; ++position) {
                auto* texture = byScene ? dynamic_cast<KDuzTexture*>(sceneTextures[position])
                                        : element->GetDirectArray()[position];
                if (texture == nullptr) {
                    KString text = KString("Could not find texture ") + ColladaIntText(position) + " of layer " +
                                   ColladaIntText(l);
                    if (node != nullptr) text += KString(" in mesh for node ") + nodeName + ".";
                    NotifyWarning(text);
                    continue;
                }
                const KString t = texture->GetNameString();
                const KString imageId = t + "-image";
                const KString label = t + "-" + n;
                if (mImageIds.insert(std::string(imageId.Buffer())).second) {
                    xmlNode* image = ColladaNewChild(Library(mImagesPart, "library_images"), "image");
                    ColladaSetAttribute(image, "id", imageId);
                    ColladaSetAttribute(image, "name", t);
                    ColladaNewChild(image, "init_from", ImageReference(texture->GetFileName()).c_str());
                }

                // The materials that use the texture, each once, in order of first use.
                // A texture that stands for its material (material mode 1) gets one
                // made for it only when the mesh has none: the polygons use theirs.
                std::vector<KDuzSurfaceMaterial*> users;
                if (materials == nullptr) {
                    if (KDuzSurfaceMaterial* made = MakeTextureMaterial(label + "-Material")) users.push_back(made);
                } else if (element->GetMappingMode() == KDuzLayerElement::eAllSame) {
                    if (KDuzSurfaceMaterial* material = ColladaPolygonMaterial(materials, 0)) users.push_back(material);
                } else if (element->GetMappingMode() == KDuzLayerElement::eByPolygon) {
                    users = byPolygon[static_cast<size_t>(position)];
                } else {
                    NotifyWarning(KString("Mapping mode not supported for textures: ") +
                                  ColladaIntText(element->GetMappingMode()));
                    if (materials->GetDirectArray().Count() == 0) {
                        KString text = KString("Could not find a material to export the texture ") +
                                       ColladaIntText(position) + " of layer " + ColladaIntText(l);
                        if (node != nullptr) text += KString(" in mesh ") + nodeName + ".";
                        NotifyError(text);
                        return false;
                    }
                    continue;
                }
                for (KDuzSurfaceMaterial* material : users) {
                    if (WriteMaterial(material) == nullptr) return false;
                    mSuccess = AddTextureToEffect(material->GetNameString(), texture, imageId, l, channel);
                    if (!mSuccess) return false;
                }
            }
        }
    }
    return true;
}

bool KDuzWriterCollada::AddTextureToEffect(const KString& materialId, KDuzTexture* texture, const KString& imageId,
                                           int layer, int channel) {
    const char* n = kChannels[channel].name;
    const KString tail = KString(" Could not export texture ") + texture->GetNameString() + "-" + n + ".";
    const KString url = KString("#") + materialId + "-fx";
    const auto found = mEffectShaders.find(std::string((materialId + "-fx").Buffer()));
    if (found == mEffectShaders.end()) {
        NotifyError(KString("could not find library effect ") + url + "." + tail);
        return false;
    }
    xmlNode* shader = found->second;
    if (shader == nullptr) {
        NotifyWarning(KString("Could not find phong node in library effect ") + url + "." + tail);
        return true;
    }
    xmlNode* parameter = FirstChildNamed(shader, n);
    if (parameter == nullptr) {
        if (xmlStrEqual(shader->name, reinterpret_cast<const xmlChar*>("lambert")) &&
            std::string_view(n) == "specular") {
            NotifyWarning(KString("A lambert effect has no specular colour: ") + url + "." + tail);
            return true;
        }
        // Placed where the schema expects the parameter.
        parameter = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>(n));
        xmlNode* before = shader->children;
        while (before != nullptr && ParameterRank(before->name) < ParameterRank(parameter->name)) before = before->next;
        if (before != nullptr)
            xmlAddPrevSibling(before, parameter);
        else
            xmlAddChild(shader, parameter);
    }
    // The texture names a sampler of the effect, whose surface names the image.
    const KString samplerSid = imageId + "-sampler";
    for (xmlNode* child = parameter->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || !xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>("texture")))
            continue;
        xmlChar* id = xmlGetProp(child, reinterpret_cast<const xmlChar*>("texture"));
        const bool same = id != nullptr && samplerSid == reinterpret_cast<const char*>(id);
        xmlFree(id);
        if (same) return true;
        // A parameter holds one colour or one texture.
        NotifyWarning(KString("Only one texture per effect parameter is kept: ") + url + "." + tail);
        return true;
    }
    if (mEffectSamplers.insert(std::string(materialId.Buffer()) + "\n" + imageId.Buffer()).second) {
        // Parameters come before the technique in the profile.
        xmlNode* technique = shader->parent;
        const KString surfaceSid = imageId + "-surface";
        xmlNode* surfaceParam = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>("newparam"));
        ColladaSetAttribute(surfaceParam, "sid", surfaceSid);
        xmlNode* surface = ColladaNewChild(surfaceParam, "surface");
        ColladaSetAttribute(surface, "type", "2D");
        ColladaNewChild(surface, "init_from", imageId.Buffer());
        xmlNode* samplerParam = xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>("newparam"));
        ColladaSetAttribute(samplerParam, "sid", samplerSid);
        ColladaNewChild(ColladaNewChild(samplerParam, "sampler2D"), "source", surfaceSid.Buffer());
        xmlAddPrevSibling(technique, surfaceParam);
        xmlAddPrevSibling(technique, samplerParam);
    }
    mMaterialTextureLayers[std::string(materialId.Buffer())].insert(layer);
    xmlAddChild(parameter, WriteTexture(texture, samplerSid, layer));
    if (xmlNode* color = FirstChildNamed(parameter, "color")) {
        xmlUnlinkNode(color);
        xmlFreeNode(color);
    }
    return true;
}

xmlNode* KDuzWriterCollada::WriteTexture(KDuzTexture* texture, const KString& samplerSid, int layer) {
    const KString l = ColladaIntText(layer);
    xmlNode* element = ColladaNewChild(nullptr, "texture");
    ColladaSetAttribute(element, "texture", samplerSid);
    ColladaSetAttribute(element, "texcoord", KString("CHANNEL") + l);
    xmlNode* technique = ColladaAddTechnique(ColladaNewChild(element, "extra"), "MAYA");
    xmlNode* wrapU = ColladaNewChild(technique, "wrapU", texture->GetWrapModeU() == 1 ? "FALSE" : "TRUE");
    ColladaSetAttribute(wrapU, "sid", KString("wrapU") + l);
    xmlNode* wrapV = ColladaNewChild(technique, "wrapV", texture->GetWrapModeV() == 1 ? "FALSE" : "TRUE");
    ColladaSetAttribute(wrapV, "sid", KString("wrapV") + l);
    ColladaNewChild(technique, "blend_mode", texture->GetBlendMode() == 0 ? "NONE" : "ADD");
    return element;
}

}  // namespace duzsdk
