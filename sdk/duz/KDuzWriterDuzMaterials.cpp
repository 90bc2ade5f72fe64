// The version 5 "Media" section with its media names, the media-file fields
// (embedded content in binary files), and the inline "Texture" and
// "Material" records of a geometry.
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KFile.h"
#include "sdk/base/KPath.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// The media names given so far and the paths they stand for; looked up
// through hash tables so that many textures stay linear.
class MediaNames {
public:
    // The name of a path: the file name (with or without its extension),
    // made unique with a decimal suffix; empty paths record nothing.
    KString NameOf(const char* path, bool keepExtension) {
        const KString clean = KPathClean(path != nullptr ? path : "");
        const KString file = KPathGetFileName(clean.Buffer(), keepExtension);
        if (clean.IsEmpty() || file.IsEmpty()) return file;
        const auto known = mByPath.find(clean.Buffer());
        if (known != mByPath.end()) return mNames[known->second];
        KString name = file;
        // The next suffix to try per file name, so repeated names do not
        // search from 1 again.
        int& next = mNextSuffix[file.Buffer()];
        while (mTaken.count(name.Buffer()) != 0) name = KStringConcatInt(file, ++next);
        mByPath.emplace(clean.Buffer(), mNames.size());
        mTaken.insert(name.Buffer());
        mPaths.push_back(clean);
        mNames.push_back(name);
        return name;
    }
    const std::vector<KString>& Paths() const { return mPaths; }
    const std::vector<KString>& Names() const { return mNames; }

private:
    std::vector<KString> mPaths;
    std::vector<KString> mNames;
    std::unordered_map<std::string, size_t> mByPath;
    std::unordered_set<std::string> mTaken;
    std::unordered_map<std::string, int> mNextSuffix;
};

void Scale(const duzVectorTemplate3<double>& c, double factor, double out[3]) {
    for (int k = 0; k < 3; ++k) out[k] = c[k] * factor;
}

double Mean(const duzVectorTemplate3<double>& c) { return (c[0] + c[1] + c[2]) / 3.0; }

void WriteTwo(KDuz& duz, const char* name, double a, double b) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteDouble(a);
    duz.FieldWriteDouble(b);
    duz.FieldWriteEnd();
}

void WriteList(KDuz& duz, const char* name, const std::vector<const char*>& values) {
    duz.FieldWriteBegin(name);
    for (const char* value : values) duz.FieldWriteString(value);
    duz.FieldWriteEnd();
}

}  // namespace

int KDuzWriterDuz::FindMediaName(const std::vector<KString>& names, const char* name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (std::strcmp(names[i].Buffer(), name != nullptr ? name : "") == 0) return static_cast<int>(i);
    return -1;
}

bool KDuzWriterDuz::WriteMedia(KDuzScene* scene, bool embed, int& mediaCount) {
    MediaNames names;
    for (KDuzObject* object : Collect(scene, eDuzClassTexture)) {
        auto* texture = dynamic_cast<KDuzTexture*>(object);
        if (texture == nullptr) continue;
        texture->SetMediaName(names.NameOf(texture->GetFileName(), false).Buffer());
    }
    KPointerArray<KDuzNode> cameras;
    scene->FillNodeAttributeList(cameras, KDuzNodeAttribute::eCamera, true);
    for (int i = 0; i < cameras.Count(); ++i) {
        auto* camera = dynamic_cast<KDuzCamera*>(cameras[i]->GetNodeAttribute());
        if (camera == nullptr) continue;
        camera->SetBackgroundMediaName(names.NameOf(camera->GetVideoClipTextureName(), true).Buffer());
    }
    mediaCount = static_cast<int>(names.Names().size());
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kMedia);
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin(duz5::kVideo);
    duz.FieldWriteBlockBegin();
    // Only the converted copies the write made are deleted afterwards; the
    // user's own image files are never touched.
    std::vector<KString> produced;
    for (size_t i = 0; i < names.Names().size(); ++i) {
        duz.FieldWriteBegin(duz5::kVideo);
        duz.FieldWriteKString(names.Names()[i]);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteNamedString(duz5::kType, duz5::kClip);
        bool converted = false;
        KString copy;
        WriteMediaFile(names.Paths()[i].Buffer(), embed, converted, copy);
        if (!copy.IsEmpty()) produced.push_back(copy);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    for (const KString& path : produced) KFileRemove(path);
    return true;
}

bool KDuzWriterDuz::WriteMediaFile(const char* fileName, bool embed, bool& converted, KString& produced) {
    KDuz& duz = *GetFieldFile();
    converted = false;
    produced = KString();
    const KString given(fileName != nullptr ? fileName : "");
    const bool embedding = embed && duz.IsBinary();
    KString content = given;
    if (embedding) {
        const int result = KDuzConvertMediaForEmbedding(GetSdkManager(), content);
        if (result > 0) {
            converted = true;
            produced = content;
        }
    }
    const char* resolved = duz.ResolvePathFromFileFolder(given.Buffer());
    const KString relative(resolved != nullptr ? resolved : "");
    if (embedding) {
        KDuz6WriteIntField(duz, "Version", 101);
        KDuz6WriteIntField(duz, "OriginalFormat", 1);
        duz.FieldWriteNamedString("OriginalFilename", given.Buffer());
    }
    duz.FieldWriteNamedString(duz5::kFilename, given.Buffer());
    duz.FieldWriteNamedString(duz5::kRelativeFilename, relative.Buffer());
    if (!embedding) return true;
    duz.FieldWriteBegin(duz5::kContent);
    // A converted image is embedded from its TIFF copy.
    const char* contentRelative = converted ? content.Buffer() : relative.Buffer();
    const bool written = duz.FieldWriteEmbeddedFile(content.Buffer(), contentRelative);
    duz.FieldWriteEnd();
    return written;
}

void KDuzWriterDuz::GetMaterialValues(KDuzSurfaceMaterial* material, KDuzMaterialValues& out) {
    out = KDuzMaterialValues();
    // Read from the values, or through peeks by name: a write makes no handles.
    const KDuzSurfaceMaterial& m = *material;
    out.shadingModel = m.GetShadingModelText();
    auto builtIn = [&m](EDuzMaterialProperty color, EDuzMaterialProperty factor, double result[3]) {
        Scale(m.GetBuiltInDouble3(color), m.GetBuiltInDouble(factor), result);
    };
    if (dynamic_cast<KDuzSurfaceLambert*>(material) != nullptr) {
        builtIn(eMaterialAmbientColor, eMaterialAmbientFactor, out.ambient);
        builtIn(eMaterialDiffuseColor, eMaterialDiffuseFactor, out.diffuse);
        builtIn(eMaterialEmissiveColor, eMaterialEmissiveFactor, out.emissive);
        out.alpha = 1.0 - Mean(m.GetBuiltInDouble3(eMaterialTransparentColor)) * m.GetBuiltInDouble(eMaterialTransparencyFactor);
        if (dynamic_cast<KDuzSurfacePhong*>(material) != nullptr) {
            builtIn(eMaterialSpecularColor, eMaterialSpecularFactor, out.specular);
            out.shininess = m.GetBuiltInDouble(eMaterialShininessExponent);
            out.reflectivity = m.GetBuiltInDouble(eMaterialReflectionFactor);
        }
        return;
    }
    // A value of another kind reads as zero, as through a handle.
    auto number = [&m](const char* name, double& value) {
        bool found = false;
        value = 0.0;
        m.PeekPropertyValue(name, &value, eValueKindDouble, &found);
        return found;
    };
    auto triple = [&m](const char* name, duzVectorTemplate3<double>& value) {
        bool found = false;
        value = duzVectorTemplate3<double>(0.0, 0.0, 0.0);
        m.PeekPropertyValue(name, &value, eValueKindDouble3, &found);
        return found;
    };
    auto colour = [&](const char* colorName, const char* factorName, double result[3]) {
        duzVectorTemplate3<double> color;
        if (!triple(colorName, color)) return;
        double factor = 0.0;
        Scale(color, number(factorName, factor) ? factor : 1.0, result);
    };
    colour("AmbientColor", "AmbientFactor", out.ambient);
    colour("DiffuseColor", "DiffuseFactor", out.diffuse);
    colour("SpecularColor", "SpecularFactor", out.specular);
    colour("EmissiveColor", "EmissiveFactor", out.emissive);
    double shininess = 0.0;
    if (number("ShininessExponent", shininess)) out.shininess = shininess;
    duzVectorTemplate3<double> transparent;
    double transparency = 0.0;
    const bool hasTransparent = triple("TransparentColor", transparent);
    const bool hasTransparency = number("TransparencyFactor", transparency);
    if (hasTransparent && hasTransparency)
        out.alpha = 1.0 - Mean(transparent) * transparency;
    else if (hasTransparency)
        out.alpha = 1.0 - transparency;
    else if (hasTransparent)
        out.alpha = 1.0 - Mean(transparent);
    double reflection = 0.0;
    if (number("ReflectionFactor", reflection)) out.reflectivity = reflection;
}

bool KDuzWriterDuz::WriteMaterial(KDuzSurfaceMaterial* material) {
    KDuzMaterialValues values;
    GetMaterialValues(material, values);
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kMaterial);
    duz.FieldWriteKString(material->GetNameWithPrefix());
    duz.FieldWriteBlockBegin();
    KDuz6WriteIntField(duz, "Version", 100);
    duz.FieldWriteNamedString("ShadingModel", values.shadingModel.Lower().Buffer());
    const std::pair<const char*, const double*> colours[] = {
        {"Ambient", values.ambient}, {"Diffuse", values.diffuse}, {"Specular", values.specular},
        {"Emissive", values.emissive}};
    for (const auto& [name, rgb] : colours) {
        duz.FieldWriteBegin(name);
        for (int k = 0; k < 3; ++k) duz.FieldWriteDouble(rgb[k]);
        duz.FieldWriteEnd();
    }
    KDuz6WriteDoubleField(duz, "Shininess", values.shininess);
    KDuz6WriteDoubleField(duz, "Alpha", values.alpha);
    KDuz6WriteDoubleField(duz, "Reflectivity", values.reflectivity);
    if (const KDuzMaterialAnimationFlags* flags = FindMaterialFlags(material)) {
        std::vector<const char*> animated;
        if (flags->emissive) animated.push_back("Emissive");
        if (flags->ambient) animated.push_back("Ambient");
        if (flags->diffuse) animated.push_back("Diffuse");
        if (flags->specular) animated.push_back("Specular");
        if (flags->opacity) animated.push_back("Opacity");
        if (flags->reflectivity) animated.push_back("Reflectivity");
        if (flags->shininess) animated.push_back("Shininess");
        if (!animated.empty()) {
            WriteList(duz, "AnimatedProperty", animated);
            WriteList(duz, "Animated", animated);
        }
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

void KDuzWriterDuz::WriteTexture(KDuzTexture* texture) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kTexture);
    duz.FieldWriteKString(texture->GetNameWithPrefix());
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString(duz5::kType, texture->GetTextureType());
    KDuz6WriteIntField(duz, "Version", 202);
    duz.FieldWriteNamedString("TextureName", texture->GetNameWithPrefix().Buffer());
    duz.FieldWriteNamedString(duz5::kMedia, texture->GetMediaName());
    const KgeTVector t = texture->GetDefaultT();
    const KgeTVector s = texture->GetDefaultS();
    const KgeTVector r = texture->GetDefaultR();
    WriteTwo(duz, "Translation", t[0], t[1]);
    WriteTwo(duz, "Scaling", s[0], s[1]);
    double u = 0.0;
    double v = 0.0;
    // V first, as readers of version 5 files take them.
    texture->GetModelUVTranslation(u, v);
    WriteTwo(duz, "ModelUVTranslation", v, u);
    texture->GetModelUVScaling(u, v);
    WriteTwo(duz, "ModelUVScaling", v, u);
    KDuz6WriteVector3Field(duz, "Rotation", r);
    KDuz6WriteDoubleField(duz, "TextureAlpha", texture->GetDefaultAlpha());
    const int alpha = texture->GetAlphaSource();
    duz.FieldWriteNamedString("Texture_Alpha_Source", alpha == 1 ? "RGB_Intensity" : alpha == 2 ? "Alpha_Black" : "None");
    // Readers of this layout trade the first and fourth values; they are
    // stored traded, so a file read back gives the texture its own cropping.
    duz.FieldWriteBegin("Cropping");
    duz.FieldWriteInt(texture->GetFourthCropping());
    duz.FieldWriteInt(texture->GetSecondCropping());
    duz.FieldWriteInt(texture->GetThirdCropping());
    duz.FieldWriteInt(texture->GetFirstCropping());
    duz.FieldWriteEnd();
    static const char* const kMappings[] = {"None", "Planar", "Spherical", "Cylindrical",
                                            "Box",  "Face",   "UV",        "Environment"};
    const int mapping = texture->GetMappingType();
    duz.FieldWriteNamedString("Texture_Mapping_Type", mapping >= 0 && mapping <= 7 ? kMappings[mapping] : "UV");
    const int normal = texture->GetPlanarMappingNormal();
    duz.FieldWriteNamedString("Texture_Planar_Mapping_Normal", normal == 1 ? "Y" : normal == 2 ? "Z" : "X");
    KDuz6WriteIntField(duz, "SwapUV", texture->GetSwapUV() ? 1 : 0);
    KDuz6WriteIntField(duz, "MaterialMode", texture->GetMaterialMode());
    static const char* const kUses[] = {"Standard", "ShadowMap", "LightMap", "SphericalReflexionMap",
                                        "SphereReflexionMap", "BumpNormalMap"};
    const int use = texture->GetTextureUse();
    duz.FieldWriteNamedString("TextureUse", use >= 1 && use <= 5 ? kUses[use] : "Standard");
    KDuz6WriteIntField(duz, "WrapU", texture->GetWrapModeU());
    KDuz6WriteIntField(duz, "WrapV", texture->GetWrapModeV());
    KDuz6WriteIntField(duz, "BlendMode", texture->GetBlendMode());
    if (const KDuzTextureAnimationFlags* flags = FindTextureFlags(texture)) {
        std::vector<const char*> animated;
        if (flags->translation) animated.push_back("Translation");
        if (flags->rotation) animated.push_back("Rotation");
        if (flags->scaling) animated.push_back("Scaling");
        if (flags->alpha) animated.push_back("Alpha");
        if (!animated.empty()) {
            WriteList(duz, "AnimatedProperty", animated);
            WriteList(duz, "Animated", animated);
        }
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

}  // namespace duzsdk
