// "Material", "Texture" and "Video" record bodies of version 6 files.
#include "sdk/duz/KDuzReaderDuz6Records.h"

#include "sdk/base/KFile.h"
#include "sdk/base/KPath.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzMediaContent.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace duzsdk {

namespace {

void ReadProperties60(const KDuz6RecordContext& context, KDuzObject* object)
{
    if (context.readProperties60)
        context.readProperties60(object);
}

// Reads an old-style property of the material (its name found without
// regard to case) without making its handle; false when there is none. A
// value of another kind leaves out as it was, and still counts.
bool ReadOldValue(const KDuzSurfaceMaterial* material, const char* oldName, void* out, int kind)
{
    for (int i = 0; i < material->GetPropertyCount(); ++i) {
        if (strcasecmp(material->GetPropertyNameAt(i), oldName) != 0)
            continue;
        bool found = false;
        material->PeekPropertyAt(i, [&](KDuzProperty& old) {
            found = old.IsValid();
            if (found)
                old.GetValue(out, kind);
        });
        return found;
    }
    return false;
}

// Sets a built-in from an old-style property of the material, when the
// material has one of that name; the built-ins keep going without handles.
void CarryColor(KDuzSurfaceMaterial* material, const char* oldName, EDuzMaterialProperty color,
                EDuzMaterialProperty factor)
{
    duzVectorTemplate3<double> value(0.0, 0.0, 0.0);
    if (!ReadOldValue(material, oldName, &value, eValueKindDouble3))
        return;
    material->SetBuiltInDouble3(color, value);
    material->SetBuiltInDouble(factor, 1.0);
}

template <class Transform>
void CarryDouble(KDuzSurfaceMaterial* material, const char* oldName, EDuzMaterialProperty target, Transform transform)
{
    double value = 0.0;
    if (!ReadOldValue(material, oldName, &value, eValueKindDouble))
        return;
    material->SetBuiltInDouble(target, transform(value));
}

// Materials written before version 102 kept their colours in the old
// property names; the current properties take them over.
void ConvertOldMaterial(KDuzSurfaceMaterial* material)
{
    const bool phong = material->Is(KDuzSurfacePhong::ClassId());
    if (!phong && !material->Is(KDuzSurfaceLambert::ClassId()))
        return;
    CarryColor(material, "Emissive", eMaterialEmissiveColor, eMaterialEmissiveFactor);
    CarryColor(material, "Ambient", eMaterialAmbientColor, eMaterialAmbientFactor);
    CarryColor(material, "Diffuse", eMaterialDiffuseColor, eMaterialDiffuseFactor);
    CarryDouble(material, "Opacity", eMaterialTransparencyFactor, [](double v) { return 1.0 - v; });
    if (!phong)
        return;
    CarryColor(material, "Specular", eMaterialSpecularColor, eMaterialSpecularFactor);
    CarryDouble(material, "Shininess", eMaterialShininessExponent, [](double v) { return v; });
    CarryDouble(material, "Reflectivity", eMaterialReflectionFactor, [](double v) { return v; });
}

// The flat values a writer adds beside a material's own colours, for older
// readers, are copies of those colours (made again at every write). Kept,
// they would be written once more beside the fresh copies at the next
// write. A user property of such a name stays.
void DropCompatibilityValues(KDuzSurfaceMaterial* material)
{
    static const char* const kNames[] = {"Emissive",  "Ambient",   "Diffuse",     "Opacity",
                                         "Specular", "Shininess", "Reflectivity"};
    for (const char* name : kNames) {
        // A file written before this mend holds each name twice.
        for (int copies = 0; copies < 4; ++copies) {
            KDuzProperty property = material->FindProperty(name);
            if (!property.IsValid() || property.GetFlag(kDuzPropertyUser))
                break;
            property.DestroyProperty();
        }
    }
}

}  // namespace

KDuzSurfaceMaterial* KDuz6ReadMaterial(const KDuz6RecordContext& context, const char* name, const char* subType)
{
    if (context.file == nullptr)
        return nullptr;
    KDuz& file = *context.file;
    const int version = file.FieldReadIntOrDefault("Version", 100);
    const KString shadingModel = subType != nullptr && subType[0] != '\0'
                                     ? KString(subType)
                                     : KString(file.FieldReadStringOrDefault("ShadingModel", "Phong"));
    KDuzSurfaceMaterial* material = nullptr;
    if (KDuz6TextEqualsNoCase(shadingModel.Buffer(), "Phong"))
        material = KDuzSurfacePhong::Create(context.manager, name);
    else if (KDuz6TextEqualsNoCase(shadingModel.Buffer(), "Lambert"))
        material = KDuzSurfaceLambert::Create(context.manager, name);
    else
        material = KDuzSurfaceMaterial::Create(context.manager, name);
    if (material == nullptr)
        return nullptr;
    material->SetShadingModelText(shadingModel);
    material->SetMultiLayerValue(file.FieldReadIntOrDefault("MultiLayer", 0) != 0);
    ReadProperties60(context, material);
    if (version < 102)
        ConvertOldMaterial(material);
    DropCompatibilityValues(material);
    KDuz6WrapProperties(material);
    return material;
}

bool KDuz6ReadTexture(const KDuz6RecordContext& context, KDuzTexture* texture)
{
    if (context.file == nullptr || texture == nullptr)
        return true;
    KDuz& file = *context.file;
    if (file.FieldReadBegin("TextureName")) {
        texture->SetName(KDuz6StripPrefix(file.FieldReadString()).Buffer());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("FileName")) {
        texture->SetFileName(file.FieldReadString());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("RelativeFilename")) {
        texture->SetRelativeFileName(file.FieldReadString());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("Media")) {
        texture->SetMediaName(KDuz6StripPrefix(file.FieldReadString()).Buffer());
        file.FieldReadEnd();
    }
    ReadProperties60(context, texture);
    KDuz6WrapProperties(texture);
    double uv[2] = {0.0, 0.0};
    if (KDuz6ReadDoublesField(file, "ModelUVTranslation", uv, 2))
        texture->SetModelUVTranslation(uv[0], uv[1]);
    if (KDuz6ReadDoublesField(file, "ModelUVScaling", uv, 2))
        texture->SetModelUVScaling(uv[0], uv[1]);
    const char* alpha = file.FieldReadStringOrDefault("Texture_Alpha_Source", "");
    texture->SetAlphaSource(KDuz6TextEquals(alpha, "RGB_Intensity") ? 1 : KDuz6TextEquals(alpha, "Alpha_Black") ? 2 : 0);
    if (file.FieldReadBegin("Cropping")) {
        int c[4] = {0, 0, 0, 0};
        file.FieldReadInts(c, 4);
        file.FieldReadEnd();
        // The texture stores (c0, c2, c1, c3); the file's first and fourth
        // values trade places, so storage reads 4th, 2nd, 3rd, 1st.
        texture->SetCropping(c[3], c[2], c[1], c[0]);
    }
    return true;
}

namespace {

bool IsTiffName(const KString& name)
{
    const KString extension = KPathGetExtension(name.Buffer());
    return strcasecmp(extension.Buffer(), "tif") == 0 || strcasecmp(extension.Buffer(), "tiff") == 0;
}

// The name with ".tif" in place of the extension of its file part; a file
// part without a dot stays.
KString TiffNameOf(const KString& name)
{
    const char* text = name.Buffer();
    const char* separator = std::max(std::strrchr(text, '/'), std::strrchr(text, '\\'));
    const char* dot = std::strrchr(separator != nullptr ? separator + 1 : text, '.');
    if (dot == nullptr)
        return name;
    return KString(std::string(text, static_cast<size_t>(dot - text)).append(".tif").c_str());
}

}  // namespace

void KDuz6ConvertEmbeddedImage(const KDuz6RecordContext& context, const char* originalFileName, KString& fileName,
                               KString& relativeName)
{
    if (context.manager == nullptr || IsTiffName(fileName))
        return;
    const KString target = TiffNameOf(fileName);
    if (target == fileName)
        return;
    KDuzMediaContent media;
    media.SetOriginalFileName(originalFileName);
    media.SetOriginalFormat(0);
    // A routine fills the record from the extracted file; its pixels are
    // then stored as TIFF and the extracted file goes. Without a converter
    // that succeeds the content stays as extracted, not replaced by an
    // empty image.
    const KClassId converterClass = KDuzImageConverter::ClassId();
    for (int i = 0; i < context.manager->GetObjectCount(converterClass); ++i) {
        auto* converter = dynamic_cast<KDuzImageConverter*>(context.manager->GetObject(converterClass, i));
        if (converter == nullptr || !converter->Convert(0, fileName.Buffer(), &media))
            continue;
        if (media.valid && media.content != nullptr && ImageWriteTiff(target.Buffer(), false, media)) {
            KFileRemove(fileName);
            fileName = target;
            relativeName = TiffNameOf(relativeName);
        }
        break;
    }
    media.Clear();
}

bool KDuz6ReadVideo(const KDuz6RecordContext& context, KDuzVideo* video)
{
    if (context.file == nullptr || video == nullptr)
        return true;
    KDuz& file = *context.file;
    ReadProperties60(context, video);
    KDuz6WrapProperties(video);
    video->SetUseMipMap(file.FieldReadIntOrDefault("UseMipMap", 0) != 0);
    if (file.FieldReadIntOrDefault("Version", 0) > 100) {
        video->SetOriginalFormat(file.FieldReadIntOrDefault("OriginalFormat", 0) != 0);
        if (file.FieldReadBegin("OriginalFilename")) {
            video->SetOriginalFilename(file.FieldReadString());
            file.FieldReadEnd();
        }
    }
    KString fileName(file.FieldReadStringOrDefault("Filename", ""));
    KString relativeName(file.FieldReadStringOrDefault("RelativeFilename", ""));
    if (file.FieldReadBegin("Content")) {
        KString extractedName = fileName;
        KString extractedRelative = relativeName;
        bool extracted = false;
        // Only a successful extraction replaces the names.
        if (file.FieldReadGetValueCount() > 0 &&
            file.FieldReadEmbeddedFile(extractedName, extractedRelative, nullptr, &extracted)) {
            fileName = extractedName;
            relativeName = extractedRelative;
            if (!video->GetOriginalFormat())
                KDuz6ConvertEmbeddedImage(context, video->GetOriginalFilename(), fileName, relativeName);
        }
        file.FieldReadEnd();
    }
    video->SetFileName(fileName.Buffer());
    video->SetRelativeFileName(relativeName.Buffer());
    return true;
}

}  // namespace duzsdk
