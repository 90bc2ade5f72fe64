// Image, effect and material libraries: one material per effect, a clone of
// it per material, a texture per image and per texture reference.
#include <strings.h>

#include <cstring>

#include "sdk/base/KPath.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"

namespace duzsdk {

namespace {

enum class ShaderKind { ePhong, eLambert, eOther };

void SetColor(KDuzProperty property, const KDuzRGBAColor& color) {
    const double rgb[3] = {color.mRed, color.mGreen, color.mBlue};
    property.SetValue(rgb, eValueKindDouble3);
}

// Built-in values are set in place: a read material makes no handles.
void SetColor(KDuzSurfaceMaterial* material, EDuzMaterialProperty id, const KDuzRGBAColor& color) {
    material->SetBuiltInDouble3(id, KDuzSurfaceMaterial::Vector3(color.mRed, color.mGreen, color.mBlue));
}

void SetDouble(KDuzProperty property, double value) { property.SetValue(&value, eValueKindDouble); }

void SetOtherColor(KDuzSurfaceMaterial* material, const char* name, const KDuzRGBAColor& raw) {
    // Through a colour record, so each component is clamped to [0, 1].
    const KDuzRGBAColor color(raw.mRed, raw.mGreen, raw.mBlue, raw.mAlpha);
    KDuzProperty property = KDuzProperty::Create(material, name, PropertyDataTypeTableGet(eValueKindDouble3), "");
    if (property.IsValid()) SetColor(property, color);
}

void SetOtherDouble(KDuzSurfaceMaterial* material, const char* name, double value) {
    KDuzProperty property = KDuzProperty::Create(material, name, PropertyDataTypeTableGet(eValueKindDouble), "");
    if (property.IsValid()) SetDouble(property, value);
}

bool StartsWith(const KString& text, const char* prefix) {
    return std::strncmp(text.Buffer(), prefix, std::strlen(prefix)) == 0;
}

// A texture that names a sampler of the effect instead of an image: the
// sampler's surface names the image (sampler2D/source -> surface/init_from).
KString ImageOfSampler(const xmlNode* profile, const KString& sid) {
    auto param = [&](const KString& wanted) -> xmlNode* {
        if (profile == nullptr || wanted.IsEmpty()) return nullptr;
        for (xmlNode* child = profile->children; child != nullptr; child = child->next)
            if (ColladaIsElement(child, "newparam") && ColladaGetAttribute(child, "sid") == wanted) return child;
        return nullptr;
    };
    xmlNode* sampler = ColladaFindChildByName(param(sid), "sampler2D");
    const KString surfaceSid = ColladaGetContent(ColladaFindChildByName(sampler, "source")).Trim();
    xmlNode* surface = ColladaFindChildByName(param(surfaceSid), "surface");
    return ColladaGetContent(ColladaFindChildByName(surface, "init_from")).Trim();
}

KString RelativeFileName(const KString& path) {
    if (path.IsEmpty() || path[0] != '/') return path;
    KString base = KPathGetCurrentDirectory();
    if (base.IsEmpty()) return path;
    base += "/";
    const KString relative = KPathGetRelativePath(base, path);
    return relative.IsEmpty() ? path : relative;
}

}  // namespace

bool KDuzReaderCollada::ReadImage(xmlNode* image) {
    const KString id = ColladaGetAttribute(image, "id");
    xmlNode* initFrom = ColladaFindChildByName(image, "init_from");
    if (initFrom == nullptr) {
        NotifyError(KString("Image ") + id + " has no input file.");
        return false;
    }
    KString path = ColladaGetContent(initFrom);
    if (StartsWith(path, "file:///")) {
        // The leading '/' of an absolute path stays; a drive letter loses it.
        path = path.MidToEnd(7);
        if (path.Length() >= 3 && path[0] == '/' && (path[2] == '|' || path[2] == ':')) path = path.MidToEnd(1);
    } else if (StartsWith(path, "file://")) {
        path = path.MidToEnd(7);
    } else if (StartsWith(path, "./")) {
        path = path.MidToEnd(2);
    } else {
        NotifyWarning(KString("Image file path ") + path +
                      " does not begin with \"./\", \"file://\" or \"file:///\". Some textures might not be loaded.");
    }
    // Named as the document names the image; by its id when it has no name.
    const KString name = ColladaGetAttribute(image, "name");
    KDuzTexture* texture = KDuzTexture::Create(mManager, (name.IsEmpty() ? id : name).Buffer());
    if (texture == nullptr) return false;
    path.ReplaceFirst("|", ":");
    texture->SetFileName(path.Buffer());
    texture->SetRelativeFileName(RelativeFileName(path).Buffer());
    mImages.emplace(id.Buffer(), texture);
    return true;
}

bool KDuzReaderCollada::ReadEffect(xmlNode* effect) {
    const KString id = ColladaGetAttribute(effect, "id");
    xmlNode* profile = ColladaFindChildByName(effect, "profile_COMMON");
    if (profile == nullptr) {
        NotifyError(KString("no common profile found for library ") + id);
        return false;
    }
    mEffectProfile = profile;
    // Images may be declared inside the effect and its profile too.
    for (xmlNode* scope : {effect, profile})
        for (xmlNode* child = scope->children; child != nullptr; child = child->next)
            if (ColladaIsElement(child, "image") && !ReadImage(child)) return false;
    xmlNode* technique = ColladaFindChildByName(profile, "technique");
    xmlNode* shader = ColladaFirstChildElement(technique);
    if (shader == nullptr) return false;
    const char* shaderName = ColladaElementName(shader);
    ShaderKind kind = ShaderKind::eOther;
    KDuzSurfaceMaterial* material = nullptr;
    KDuzSurfaceLambert* lambert = nullptr;
    KDuzSurfacePhong* phong = nullptr;
    if (strcasecmp(shaderName, "phong") == 0) {
        kind = ShaderKind::ePhong;
        phong = KDuzSurfacePhong::Create(mManager, id.Buffer());
        lambert = phong;
        material = phong;
        if (phong != nullptr) phong->SetBuiltInDouble(eMaterialReflectionFactor, 0.0);
    } else if (strcasecmp(shaderName, "lambert") == 0) {
        kind = ShaderKind::eLambert;
        lambert = KDuzSurfaceLambert::Create(mManager, id.Buffer());
        material = lambert;
    } else {
        material = KDuzSurfaceMaterial::Create(mManager, id.Buffer());
        if (material != nullptr) {
            const KString model(shaderName);
            material->SetShadingModelText(model);
        }
    }
    if (material == nullptr) return false;

    auto reported = [&](const KString& name) {
        if (WarnOnce(name)) NotifyWarning(KString("Material parameter not supported: ") + name);
    };
    for (xmlNode* parameter = shader->children; parameter != nullptr; parameter = parameter->next) {
        if (parameter->type != XML_ELEMENT_NODE) continue;
        const KString name(ColladaElementName(parameter));
        xmlNode* colorElement = ColladaFindChildByName(parameter, "color");
        xmlNode* floatElement = ColladaFindChildByName(parameter, "float");
        KDuzRGBAColor color;
        if (colorElement != nullptr) {
            const KString text = ColladaGetContent(colorElement);
            const char* cursor = text.Buffer();
            ColladaScanColor(cursor, color);
        }
        double number = 0.0;
        if (floatElement != nullptr) {
            const KString text = ColladaGetContent(floatElement);
            const char* cursor = text.Buffer();
            number = ColladaScanNumber(cursor);
        }
        const bool hasColor = colorElement != nullptr;
        const bool hasNumber = floatElement != nullptr;
        int channel = -1;
        if (name == "emission" || name == "ambient" || name == "diffuse") {
            channel = name == "emission" ? 10 : name == "ambient" ? 12 : 3;
            if (hasColor) {
                if (lambert != nullptr) {
                    const bool emission = name == "emission", ambient = name == "ambient";
                    SetColor(lambert, emission ? eMaterialEmissiveColor
                                      : ambient ? eMaterialAmbientColor
                                                : eMaterialDiffuseColor,
                             color);
                    lambert->SetBuiltInDouble(emission ? eMaterialEmissiveFactor
                                              : ambient ? eMaterialAmbientFactor
                                                        : eMaterialDiffuseFactor,
                                              1.0);
                } else {
                    SetOtherColor(material, name == "emission" ? "EmissiveColor"
                                            : name == "ambient" ? "AmbientColor"
                                                                : "DiffuseColor",
                                  color);
                }
            }
        } else if (name == "specular") {
            if (kind == ShaderKind::eLambert) continue;
            channel = 15;
            if (hasColor) {
                if (phong != nullptr) {
                    SetColor(phong, eMaterialSpecularColor, color);
                    phong->SetBuiltInDouble(eMaterialSpecularFactor, 1.0);
                } else {
                    SetOtherColor(material, "SpecularColor", color);
                }
            }
        } else if (name == "shininess") {
            if (kind == ShaderKind::eLambert) continue;
            if (hasNumber) {
                if (phong != nullptr) phong->SetBuiltInDouble(eMaterialShininessExponent, number);
                else SetOtherDouble(material, "ShininessExponent", number);
            }
        } else if (name == "reflective") {
            if (phong == nullptr) {
                reported(name);
                continue;
            }
            channel = 22;
            if (hasColor) SetColor(phong, eMaterialReflectionColor, color);
        } else if (name == "reflectivity") {
            if (phong == nullptr) {
                reported(name);
                continue;
            }
            if (hasNumber) phong->SetBuiltInDouble(eMaterialReflectionFactor, number);
        } else if (name == "transparent") {
            if (lambert == nullptr) {
                reported(name);
                continue;
            }
            channel = 20;
            if (hasColor) SetColor(lambert, eMaterialTransparentColor, color);
        } else if (name == "transparency") {
            if (hasNumber) {
                if (lambert != nullptr) lambert->SetBuiltInDouble(eMaterialTransparencyFactor, number);
                else SetOtherDouble(material, "TransparencyFactor", number);
            }
        } else if (name == "index_of_refraction") {
            reported(name);
        }
        if (channel >= 0) {
            ColladaNodeArray textures;
            ColladaFindChildrenByName(parameter, "texture", textures);
            for (xmlNode* texture : textures) ReadTexture(texture, id, channel);
        }
    }
    mEffects.emplace(id.Buffer(), material);
    return true;
}

bool KDuzReaderCollada::ReadTexture(xmlNode* textureElement, const KString& effectId, int channel) {
    KString imageId = ColladaGetAttribute(textureElement, "texture");
    auto image = mImages.find(imageId.Buffer());
    if (image == mImages.end()) {
        const KString viaSampler = ImageOfSampler(mEffectProfile, imageId);
        const auto found = mImages.find(viaSampler.Buffer());
        if (found != mImages.end()) {
            image = found;
            imageId = viaSampler;
        }
    }
    if (image == mImages.end()) {
        // The rest of the effect reads; the warning says what is lost.
        NotifyWarning(KString("Image not found: ") + imageId + ". The texture is not read.");
        return false;
    }
    KDuzTexture* texture = KDuzTexture::Create(mManager, image->second->GetName());
    if (texture == nullptr) return false;
    xmlNode* maya = ColladaFindTechniqueByProfile(ColladaFindChildByName(textureElement, "extra"), "MAYA");
    if (maya != nullptr) {
        int wrapU = 0;
        int wrapV = 0;
        int blend = 0;
        for (xmlNode* child = maya->children; child != nullptr; child = child->next) {
            if (child->type != XML_ELEMENT_NODE) continue;
            const KString name(ColladaElementName(child));
            const KString text = ColladaGetContent(child).Upper();
            if (name == "wrapU") {
                wrapU = text == "FALSE" ? 1 : 0;
            } else if (name == "wrapV") {
                wrapV = text == "FALSE" ? 1 : 0;
            } else if (name == "blend_mode") {
                if (text == "NONE") {
                    blend = 0;
                } else {
                    blend = 1;
                    if (text != "ADD" && WarnOnce(name))
                        NotifyWarning(KString("texture blend mode not recognized: ") + ColladaGetContent(child));
                }
            } else if (WarnOnce(name)) {
                NotifyWarning(KString("this texture parameter not supported: ") + name);
            }
        }
        texture->SetWrapMode(wrapU, wrapV);
        texture->SetBlendMode(blend);
        texture->SetMaterialMode(0);
    }
    texture->SetFileName(image->second->GetFileName());
    texture->SetRelativeFileName(image->second->GetRelativeFileName());
    mTextureBindings[effectId.Buffer()].push_back(
        ColladaTextureBinding{texture, ColladaGetAttribute(textureElement, "texcoord"), channel});
    return true;
}

bool ColladaSameTexture(const KDuzTexture* a, const KDuzTexture* b) {
    return a != nullptr && b != nullptr && std::strcmp(a->GetName(), b->GetName()) == 0 &&
           std::strcmp(a->GetFileName(), b->GetFileName()) == 0;
}

int KDuzReaderCollada::TexcoordLayer(const KString& symbol, const KString& texcoord) {
    if (!mTexcoordSetsRead) {
        // Once for the whole document: a material's textures are bound when
        // its geometry is read, before the node that instances it.
        mTexcoordSetsRead = true;
        ColladaForEachElement(xmlDocGetRootElement(mDocument), [&](xmlNode* element) {
            if (!ColladaIsElement(element, "instance_material")) return;
            const auto [entry, added] = mTexcoordSets.try_emplace(ColladaGetAttribute(element, "symbol").Buffer());
            if (!added) return;
            for (xmlNode* bind = element->children; bind != nullptr; bind = bind->next) {
                if (!ColladaIsElement(bind, "bind_vertex_input") ||
                    !(ColladaGetAttribute(bind, "input_semantic") == "TEXCOORD"))
                    continue;
                const KString setText = ColladaGetAttribute(bind, "input_set");
                const char* cursor = setText.Buffer();
                const int set = setText.IsEmpty() ? 0 : ColladaScanInt(cursor);
                if (set < 0 || set > kMaxTexcoordSet) {
                    NotifyWarning(KString("invalid input_set in <bind_vertex_input>: ") + setText);
                    continue;
                }
                entry->second.emplace_back(ColladaGetAttribute(bind, "semantic"), set);
            }
        });
    }
    const auto found = mTexcoordSets.find(symbol.Buffer());
    if (found == mTexcoordSets.end()) return 0;
    for (const auto& [semantic, set] : found->second)
        if (semantic == texcoord) return set;
    return 0;
}

bool KDuzReaderCollada::ReadMaterial(xmlNode* materialElement) {
    const KString id = ColladaGetAttribute(materialElement, "id");
    xmlNode* instance = ColladaFindChildByName(materialElement, "instance_effect");
    if (instance == nullptr) {
        NotifyError(KString("no instance effect found for library ") + id);
        return false;
    }
    const KString url = ColladaGetAttribute(instance, "url");
    const KString effectId = url.MidToEnd(1);
    const auto effect = mEffects.find(effectId.Buffer());
    if (effect == mEffects.end()) {
        NotifyError(KString("Effect not found: ") + url);
        return false;
    }
    auto* clone = dynamic_cast<KDuzSurfaceMaterial*>(effect->second->Clone(2));
    if (clone == nullptr) return false;
    clone->SetName(id.Buffer(), false);
    mMaterials.emplace(id.Buffer(), clone);
    const auto bindings = mTextureBindings.find(effectId.Buffer());
    if (bindings != mTextureBindings.end()) {
        std::vector<ColladaTextureBinding> moved = std::move(bindings->second);
        mTextureBindings.erase(bindings);
        auto& target = mTextureBindings[id.Buffer()];
        target.insert(target.end(), moved.begin(), moved.end());
    }
    return true;
}

}  // namespace duzsdk
