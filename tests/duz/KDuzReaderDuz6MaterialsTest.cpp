#include "KDuzReaderDuz6RecordsTestSupport.h"

#include <iterator>

#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"

namespace duzsdk {
namespace {

using Duz6Materials = Duz6RecordTest;

KString ShadingModelOf(KDuzSurfaceMaterial* material)
{
    KString value;
    material->GetShadingModel().GetValue(&value, eValueKindString);
    return value;
}

TEST_F(Duz6Materials, ClassFollowsShadingModel)
{
    struct Case {
        const char* subType;
        const char* body;
        const char* model;
        int kind;  // 2 phong, 1 lambert, 0 plain
    };
    const Case cases[] = {
        {"", "", "Phong", 2},
        {"phong", "", "phong", 2},
        {"", "ShadingModel: \"LAMBERT\"\n", "LAMBERT", 1},
        {"Blinn", "", "Blinn", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subType);
        TearDown();
        SetUp();
        Open(std::string("Material: \"Material::M\", \"\" {\n") + c.body + "MultiLayer: 1\n}", "Material");
        KDuzSurfaceMaterial* material = KDuz6ReadMaterial(Context(), "M", c.subType);
        ASSERT_NE(material, nullptr);
        EXPECT_STREQ(material->GetName(), "M");
        EXPECT_EQ(ShadingModelOf(material), KString(c.model));
        EXPECT_EQ(material->Is(KDuzSurfacePhong::ClassId()), c.kind == 2);
        EXPECT_EQ(material->GetClassId() == KDuzSurfaceLambert::ClassId(), c.kind == 1);
        bool multiLayer = false;
        material->GetMultiLayer().GetValue(&multiLayer, eValueKindBool);
        EXPECT_TRUE(multiLayer);
    }
}

TEST_F(Duz6Materials, OldMaterialsCarryOpacity)
{
    for (int version : {101, 102}) {
        SCOPED_TRACE(version);
        TearDown();
        SetUp();
        Open("Material: \"Material::M\", \"\" {\nVersion: " + std::to_string(version) + "\n}", "Material");
        KDuz6RecordContext context = Context();
        // Stands for the property block reader: an old-style "opacity".
        context.readProperties60 = [](KDuzObject* object) {
            KDuzProperty opacity =
                KDuzProperty::Create(object, "opacity", PropertyDataTypeTableGet(eValueKindDouble));
            const double value = 0.25;
            opacity.SetValue(&value, eValueKindDouble);
            KDuzProperty diffuse =
                KDuzProperty::Create(object, "Diffuse", PropertyDataTypeTableGet(eValueKindDouble3));
            const duzVectorTemplate3<double> rgb(0.1, 0.2, 0.3);
            diffuse.SetValue(&rgb, eValueKindDouble3);
            return true;
        };
        auto* lambert = static_cast<KDuzSurfaceLambert*>(KDuz6ReadMaterial(context, "M", "Lambert"));
        ASSERT_NE(lambert, nullptr);
        if (version == 101) {
            EXPECT_DOUBLE_EQ(lambert->GetTransparencyFactor().GetDouble(), 0.75);
            EXPECT_DOUBLE_EQ(lambert->GetDiffuseColor().GetDouble3()[1], 0.2);
        } else {
            EXPECT_DOUBLE_EQ(lambert->GetTransparencyFactor().GetDouble(), 0.0);
        }
    }
}

TEST_F(Duz6Materials, TextureFields)
{
    Open("Texture: \"Texture::T\", \"TextureVideoClip\" {\n"
         "TextureName: \"Texture::Wood\"\nFileName: \"/tmp/wood.bmp\"\nRelativeFilename: \"wood.bmp\"\n"
         "Media: \"Video::WoodClip\"\nModelUVTranslation: 0.5,0.25\nModelUVScaling: 2,3\n"
         "Texture_Alpha_Source: \"Alpha_Black\"\nCropping: 1,2,3,4\n}",
         "Texture");
    KDuzTexture* texture = KDuzTexture::Create(manager, "T");
    EXPECT_TRUE(KDuz6ReadTexture(Context(), texture));
    EXPECT_STREQ(texture->GetName(), "Wood");
    EXPECT_STREQ(texture->GetFileName(), "/tmp/wood.bmp");
    EXPECT_STREQ(texture->GetRelativeFileName(), "wood.bmp");
    EXPECT_STREQ(texture->GetMediaName(), "WoodClip");
    EXPECT_EQ(texture->GetAlphaSource(), 2);
    double u = 0, v = 0;
    texture->GetModelUVScaling(u, v);
    EXPECT_EQ(v, 3.0);
    // The first and fourth values trade places between file and texture.
    EXPECT_EQ(texture->GetFirstCropping(), 4);
    EXPECT_EQ(texture->GetSecondCropping(), 2);
    EXPECT_EQ(texture->GetThirdCropping(), 3);
    EXPECT_EQ(texture->GetFourthCropping(), 1);
}

TEST_F(Duz6Materials, TextureAlphaSourceIsExact)
{
    Open("Texture: \"Texture::T\", \"\" {\nTexture_Alpha_Source: \"rgb_intensity\"\n}", "Texture");
    KDuzTexture* texture = KDuzTexture::Create(manager, "T");
    texture->SetAlphaSource(2);
    KDuz6ReadTexture(Context(), texture);
    EXPECT_EQ(texture->GetAlphaSource(), 0);
}

TEST_F(Duz6Materials, VideoFields)
{
    Open("Video: \"Video::V\", \"Clip\" {\nUseMipMap: 1\nVersion: 101\nOriginalFormat: 1\n"
         "OriginalFilename: \"orig.bmp\"\nFilename: \"/data/clip.bmp\"\nRelativeFilename: \"clip.bmp\"\n}",
         "Video");
    KDuzVideo* video = KDuzVideo::Create(manager, "V");
    EXPECT_TRUE(KDuz6ReadVideo(Context(), video));
    EXPECT_TRUE(video->GetUseMipMap());
    EXPECT_TRUE(video->GetOriginalFormat());
    EXPECT_STREQ(video->GetOriginalFilename(), "orig.bmp");
    EXPECT_STREQ(video->GetFileName(), "/data/clip.bmp");
    EXPECT_STREQ(video->GetRelativeFileName(), "clip.bmp");
}

TEST_F(Duz6Materials, PoseAddsNamedNodesUpToItsCount)
{
    Open("Pose: \"Pose::P\", \"BindPose\" {\nNbPoseNodes: 2\n"
         "PoseNode:  {\n  Node: \"Model::A\"\n  Matrix: 1,0,0,0,0,1,0,0,0,0,1,0,5,6,7,1\n  Local: 1\n}\n"
         "PoseNode:  {\n  Node: \"Model::Missing\"\n}\n"
         "PoseNode:  {\n  Node: \"Model::B\"\n}\n}",
         "Pose");
    KDuzNode* a = KDuzNode::Create(manager, "A");
    KDuzNode* b = KDuzNode::Create(manager, "B");
    KDuz6RecordContext context = Context();
    context.findObject = [&](const char* name) -> KDuzObject* {
        const KString full(name);
        return full == KString("Model::A") ? a : full == KString("Model::B") ? b : nullptr;
    };
    KDuzPose* pose = KDuzPose::Create(manager, "P");
    EXPECT_TRUE(KDuz6ReadPose(context, pose, false));
    ASSERT_EQ(pose->GetCount(), 1);
    EXPECT_EQ(pose->GetNode(0), a);
    EXPECT_EQ(pose->GetMatrix(0).Data()[12], 5.0);
    EXPECT_TRUE(pose->IsLocalMatrix(0));
}

}  // namespace
}  // namespace duzsdk

namespace duzsdk {
namespace {

TEST_F(Duz6Materials, VideoContentIsExtracted)
{
    const std::string bytes = "not really an image";
    {
        KDuz writer;
        ASSERT_TRUE(writer.ProjectCreateFile(path.string().c_str(), true, false));
        writer.FieldWriteBegin("Video");
        writer.FieldWriteString("Video::V");
        writer.FieldWriteString("Clip");
        writer.FieldWriteBlockBegin();
        writer.FieldWriteBegin("Filename");
        writer.FieldWriteString("/no/such/folder/clip.png");
        writer.FieldWriteEnd();
        writer.FieldWriteBegin("RelativeFilename");
        writer.FieldWriteString("clip.png");
        writer.FieldWriteEnd();
        writer.FieldWriteBegin("Content");
        writer.FieldWriteRaw(bytes.data(), static_cast<uint32_t>(bytes.size()));
        writer.FieldWriteEnd();
        writer.FieldWriteBlockEnd();
        writer.FieldWriteEnd();
        writer.FinishBeforeClose();
        writer.ProjectClose();
    }
    ASSERT_TRUE(file.ProjectOpen(path.string().c_str())) << file.GetLastErrorString();
    ASSERT_TRUE(file.FieldReadBegin("Video"));
    ASSERT_TRUE(file.FieldReadBlockBegin());
    KDuzVideo* video = KDuzVideo::Create(manager, "V");
    EXPECT_TRUE(KDuz6ReadVideo(Context(), video));
    const std::string extracted = video->GetFileName();
    EXPECT_NE(extracted, "/no/such/folder/clip.png");
    EXPECT_EQ(std::filesystem::path(extracted).filename(), "clip.png");
    std::ifstream in(extracted, std::ios::binary);
    const std::string copy((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(copy, bytes);
    // Extracted into the file's own media folder, which goes with the file.
    const std::filesystem::path folder = std::filesystem::path(extracted).parent_path();
    ASSERT_EQ(folder.extension(), ".fbm");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace duzsdk
