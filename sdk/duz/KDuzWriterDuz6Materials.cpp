// "Material", "Video" and "Texture" records of version 6 files.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/base/KFile.h"
#include "sdk/base/KPath.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzMediaContent.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

duzVectorTemplate3<double> Scaled(const KDuzSurfaceMaterial& material, EDuzMaterialProperty color,
                                  EDuzMaterialProperty factor) {
    const duzVectorTemplate3<double> c = material.GetBuiltInDouble3(color);
    const double f = material.GetBuiltInDouble(factor);
    return duzVectorTemplate3<double>(c[0] * f, c[1] * f, c[2] * f);
}

double Mean(const duzVectorTemplate3<double>& c) { return (c[0] + c[1] + c[2]) / 3.0; }

// The flat values older readers look for, added for the time of the write.
// Only what is added here is removed afterwards: a user property of the same
// name stays.
class CompatibilityProperties {
public:
    explicit CompatibilityProperties(KDuzSurfaceMaterial* material) : mMaterial(material) {
        // Read from the values: the built-ins stay without handles.
        const KDuzSurfaceMaterial& m = *material;
        if (dynamic_cast<KDuzSurfaceLambert*>(material) == nullptr) return;
        AddVector("Emissive", Scaled(m, eMaterialEmissiveColor, eMaterialEmissiveFactor));
        AddVector("Ambient", Scaled(m, eMaterialAmbientColor, eMaterialAmbientFactor));
        AddVector("Diffuse", Scaled(m, eMaterialDiffuseColor, eMaterialDiffuseFactor));
        AddDouble("Opacity", 1.0 - Mean(m.GetBuiltInDouble3(eMaterialTransparentColor)) *
                                       m.GetBuiltInDouble(eMaterialTransparencyFactor));
        if (dynamic_cast<KDuzSurfacePhong*>(material) == nullptr) return;
        AddVector("Specular", Scaled(m, eMaterialSpecularColor, eMaterialSpecularFactor));
        AddDouble("Shininess", m.GetBuiltInDouble(eMaterialShininessExponent));
        AddDouble("Reflectivity",
                  Mean(m.GetBuiltInDouble3(eMaterialReflectionColor)) * m.GetBuiltInDouble(eMaterialReflectionFactor));
    }
    ~CompatibilityProperties() {
        for (KDuzProperty& property : mAdded) property.DestroyProperty();
    }
    CompatibilityProperties(const CompatibilityProperties&) = delete;
    CompatibilityProperties& operator=(const CompatibilityProperties&) = delete;

private:
    void AddVector(const char* name, const duzVectorTemplate3<double>& value) {
        KDuzProperty property =
            KDuzProperty::Create(mMaterial, name, PropertyDataTypeTableGet(eValueKindDouble3), "", true);
        if (!property.IsValid()) return;
        property.SetValue(&value, eValueKindDouble3);
        mAdded.push_back(property);
    }
    void AddDouble(const char* name, double value) {
        KDuzProperty property =
            KDuzProperty::Create(mMaterial, name, PropertyDataTypeTableGet(eValueKindDouble), "", true);
        if (!property.IsValid()) return;
        property.SetValue(&value, eValueKindDouble);
        mAdded.push_back(property);
    }

    KDuzSurfaceMaterial* mMaterial;
    std::vector<KDuzProperty> mAdded;
};

}  // namespace

void KDuzWriterDuz6::WriteMaterials(KDuzScene* scene) {
    for (KDuzObject* object : Sources(scene, KDuzSurfaceMaterial::ClassId()))
        if (auto* material = dynamic_cast<KDuzSurfaceMaterial*>(object)) WriteMaterial(material);
}

void KDuzWriterDuz6::WriteMaterial(KDuzSurfaceMaterial* material) {
    KDuz& duz = *GetFieldFile();
    WriteRecordHead(duz6::kMaterial, material);
    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kMaterialVersion);
    duz.FieldWriteNamedString("ShadingModel", material->GetShadingModelText().Lower().Buffer());
    KDuz6WriteIntField(duz, "MultiLayer", material->GetMultiLayerValue() ? 1 : 0);
    {
        const CompatibilityProperties compatibility(material);
        WriteProperties(material);
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteVideos(KDuzScene* scene) {
    const bool embed = Option("EMBEDDED") && GetFieldFile()->IsBinary();
    for (KDuzObject* object : Sources(scene, KDuzVideo::ClassId()))
        if (auto* video = dynamic_cast<KDuzVideo*>(object)) WriteVideo(video, embed);
    for (const KString& temporary : mTemporaryMedia) KFileRemove(temporary);
    mTemporaryMedia.clear();
}

int KDuzWriterDuz6::ConvertVideoForEmbedding(KString& fileName) {
    const int converted = KDuzConvertMediaForEmbedding(GetSdkManager(), fileName);
    if (converted > 0) mTemporaryMedia.push_back(fileName);
    return converted;
}

bool KDuzWriterDuz6::WriteVideo(KDuzVideo* video, bool embed) {
    KDuz& duz = *GetFieldFile();
    WriteRecordHead(duz6::kVideo, video);
    KString fileName(video->GetFileName() != nullptr ? video->GetFileName() : "");
    duz.FieldWriteNamedString("Type", video->GetTypeName().Buffer());
    // The user's image is only read: a converted image is embedded from a
    // temporary TIFF copy.
    const KString originalName = fileName;
    const int converted = embed ? ConvertVideoForEmbedding(fileName) : 0;
    const char* resolved = duz.ResolvePathFromFileFolder(fileName.Buffer());
    const KString relative(resolved != nullptr ? resolved : "");
    video->SetFileName(fileName.Buffer());
    video->SetRelativeFileName(relative.Buffer());
    WriteProperties(video);
    KDuz6WriteIntField(duz, "UseMipMap", video->GetUseMipMap() ? 1 : 0);
    bool result = true;
    if (embed && converted >= 0) {
        KDuz6WriteIntField(duz, duz6::kVersion, duz6::kVideoVersion);
        KDuz6WriteIntField(duz, "OriginalFormat", 1);
        duz.FieldWriteNamedString("OriginalFilename", originalName.Buffer());
    }
    duz.FieldWriteNamedString("Filename", fileName.Buffer());
    duz.FieldWriteNamedString("RelativeFilename", relative.Buffer());
    if (embed && converted < 0) {
        mError.SetLastError(eUnidentifiedError);
        result = false;
    } else if (embed) {
        duz.FieldWriteBegin("Content");
        result = duz.FieldWriteEmbeddedFile(fileName.Buffer(), relative.Buffer());
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return result;
}

void KDuzWriterDuz6::WriteTextures(KDuzScene* scene) {
    for (KDuzObject* object : Sources(scene, KDuzTexture::ClassId()))
        if (auto* texture = dynamic_cast<KDuzTexture*>(object)) WriteTexture(texture);
}

void KDuzWriterDuz6::WriteTexture(KDuzTexture* texture) {
    KDuz& duz = *GetFieldFile();
    WriteRecordHead(duz6::kTexture, texture);
    duz.FieldWriteNamedString("Type", texture->GetTextureType());
    KDuz6WriteIntField(duz, duz6::kVersion, duz6::kTextureVersion);
    duz.FieldWriteNamedString("TextureName", texture->GetNameWithPrefix().Buffer());
    WriteProperties(texture);
    duz.FieldWriteNamedString("Media", KDuzBuildPrefixedName("Video::", texture->GetMediaName()).Buffer());
    duz.FieldWriteNamedString("FileName", texture->GetFileName());
    duz.FieldWriteNamedString("RelativeFilename", texture->GetRelativeFileName());
    double u = 0.0;
    double v = 0.0;
    texture->GetModelUVTranslation(u, v);
    duz.FieldWriteBegin("ModelUVTranslation");
    duz.FieldWriteDouble(u);
    duz.FieldWriteDouble(v);
    duz.FieldWriteEnd();
    texture->GetModelUVScaling(u, v);
    duz.FieldWriteBegin("ModelUVScaling");
    duz.FieldWriteDouble(u);
    duz.FieldWriteDouble(v);
    duz.FieldWriteEnd();
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
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

}  // namespace duzsdk
