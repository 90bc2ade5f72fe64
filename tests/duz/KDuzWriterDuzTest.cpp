// The DUZ 5 writer's driver and scene-level records, checked in the text of
// ASCII files and, for the binary summary, through the field file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "KDuzWriterDuzTestSupport.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/geometry/KDuzImageConverter.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMediaContent.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzTakeDescription.h"

using namespace duzsdk;
using namespace duztest;

namespace {

class Duz5WriterTest : public Duz5WriterTestBase {
protected:
    KDuzNode* Node(const char* name, KDuzObject* attribute = nullptr, KDuzNode* parent = nullptr) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        (parent != nullptr ? parent : scene->GetRootNode())->AddChild(node);
        if (attribute != nullptr) node->SetNodeAttribute(attribute);
        return node;
    }

    KDuzMesh* Mesh(const char* nodeName, int points = 3) {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(points);
        mesh->BeginPolygon();
        for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
        mesh->EndPolygon();
        Node(nodeName, mesh);
        return mesh;
    }

    // The "ContentCount" values and flags of a binary file's summary, read
    // through the field file; -1 for what is missing.
    struct Summary {
        bool found = false;
        int templateFlag = -1;
        int password = -1;
        int models = -1;
        int characters = -1;
        int constraints = -1;
        int media = -1;
    };
    Summary ReadSummary(const std::string& path) {
        Summary out;
        KDuz duz;
        if (!duz.ProjectOpenForReader(path.c_str(), true, false)) return out;
        if (duz.GetExtraSectionCount() > 0 && duz.ProjectOpenExtraSection(duz.GetExtraSectionCount() - 1) &&
            duz.FieldReadBegin("Summary") && duz.FieldReadBlockBegin()) {
            out.found = true;
            out.templateFlag = duz.FieldReadIntOrDefault("Template", -1);
            out.password = duz.FieldReadIntOrDefault("PasswordProtection", -1);
            if (duz.FieldReadBegin("ContentCount") && duz.FieldReadBlockBegin()) {
                out.models = duz.FieldReadIntOrDefault("Model", -1);
                out.characters = duz.FieldReadIntOrDefault("Character", -1);
                out.constraints = duz.FieldReadIntOrDefault("Constraint", -1);
                out.media = duz.FieldReadIntOrDefault("Media", -1);
            }
        }
        duz.ProjectClose();
        return out;
    }
};

int ConvertToTwoPixels(int, const char*, KDuzMediaContent* media) {
    if (!media->Allocate(2, 1, true, 0, 3)) return 1;
    for (int i = 0; i < 6; ++i) media->content[i] = static_cast<unsigned char>(40 + i);
    return 0;
}

}  // namespace

// ---- driver ---------------------------------------------------------------------

TEST_F(Duz5WriterTest, FilesCarryVersion5800) {
    const std::string text = Duz5Ascii();
    EXPECT_EQ(text.rfind("; DUZ 5.8.0", 0), 0u);
    EXPECT_TRUE(Has(text, "DUZVersion: 5800"));
    // No "Definitions": readers take the file for the old layout.
    EXPECT_FALSE(Has(text, "Definitions"));
}

TEST_F(Duz5WriterTest, ARefusedWriteIsNoSuccessForEitherWriter) {
    // Both writers answer a write without options or without a file with
    // false and the error code, so the exporter never reports it as done.
    KDuzWriterDuz duz5(manager, nullptr);
    KDuzWriterDuz6 duz6(manager, nullptr);
    KDuzWriter* writers[] = {&duz5, &duz6};
    for (KDuzWriter* writer : writers) {
        EXPECT_FALSE(writer->Write(scene, WriteOptions()));
        EXPECT_EQ(writer->GetLastErrorID(), KDuzWriter::eFileNotCreated);
        ASSERT_TRUE(writer->FileCreate(PathOf("refused.duz").c_str()));
        EXPECT_FALSE(writer->Write(scene, nullptr));
        EXPECT_EQ(writer->GetLastErrorID(), KDuzWriter::eStreamOptionsNotSet);
        writer->FileClose();
    }
    // Nothing of the scene was written: no section and no summary.
    Node("Cube");
    KDuzWriterDuz writer(manager, nullptr);
    writer.SetFileMode(KDuzWriterDuz::eBinary);
    ASSERT_TRUE(writer.FileCreate(PathOf("empty.duz").c_str()));
    EXPECT_FALSE(writer.Write(scene, nullptr));
    writer.FileClose();
    const std::string bytes = ReadFileBytes(PathOf("empty.duz"));
    EXPECT_FALSE(Has(bytes, "Model::Cube"));
    EXPECT_FALSE(Has(bytes, "Summary"));
}

TEST_F(Duz5WriterTest, MotionWriterOptionsWriteWithTheDefaults) {
    Mesh("Cube");
    KDuzStreamOptionsDuzWriter* mine = WriteOptions();
    mine->SetBoolOption("MODEL", false);
    mine->SetBoolOption("GLOBAL SETTINGS", false);
    const std::string without = Duz5Ascii(mine);
    EXPECT_FALSE(Has(without, "Vertices: "));
    EXPECT_FALSE(Has(without, "FogOptions: "));
    const std::string text = Duz5Ascii(KDuzStreamOptionsMotionWriter::Create(manager, ""));
    EXPECT_TRUE(Has(text, "Vertices: "));
    EXPECT_TRUE(Has(text, "FogOptions: "));
}

TEST_F(Duz5WriterTest, WritingIntoAnOpenFileObjectAddsNoSummary) {
    Node("Inside");
    IDuzObject* file = IDuzObject::Create();
    file->SetPropertyFormatFlag(true);
    const std::string path = PathOf("outside.duz");
    ASSERT_TRUE(file->ProjectCreateFile(path.c_str(), false, false));
    KDuzWriterDuz writer(manager, nullptr);
    EXPECT_TRUE(writer.WriteScene(scene, WriteOptions(), file));
    EXPECT_FALSE(writer.IsFileOpen());
    EXPECT_EQ(writer.GetFileObject(), nullptr);
    // The file is still open for more records of its owner.
    EXPECT_TRUE(file->IsOpen());
    file->ProjectClose();
    file->Destroy();
    EXPECT_TRUE(Has(ReadFileBytes(path), "Model::Inside"));
    EXPECT_FALSE(ReadSummary(path).found);
}

TEST_F(Duz5WriterTest, TheVersionTagDecidesThePreAndPostPasses) {
    Node("Plain");
    struct Case {
        const char* tag;
        int renaming;
        bool post;
        int renamingAfter;
    };
    const Case cases[] = {{"DUZ53_MB55", 6, true, 1}, {"", 6, false, 6}, {"DUZ200611", 6, false, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        KDuzWriterDuz writer(manager, nullptr);
        writer.SetFileVersionTag(c.tag);
        writer.SetRenamingMode(c.renaming);
        writer.SetFrameRate(30.0);
        EXPECT_FALSE(writer.PreprocessScene(scene));
        EXPECT_EQ(writer.PostprocessScene(scene), c.post);
        EXPECT_EQ(writer.GetRenamingMode(), c.renamingAfter);
    }
}

TEST_F(Duz5WriterTest, ClosingTwiceIsAnError) {
    KDuzWriterDuz writer(manager, nullptr);
    ASSERT_TRUE(writer.FileCreate(PathOf("twice.duz").c_str()));
    EXPECT_TRUE(writer.FileClose());
    EXPECT_FALSE(writer.FileClose());
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eFileNotOpened);
}

TEST_F(Duz5WriterTest, TheExporterWritesVersion5Files) {
    Mesh("Cube");
    const std::string binary = PathOf("exported.duz");
    ASSERT_TRUE(Export(scene, binary, kDuz5Binary, WriteOptions())) << lastExportError;
    KDuz duz;
    KDuzFileHeaderInfo header;
    ASSERT_TRUE(duz.ProjectOpenForReader(binary.c_str(), true, false));
    EXPECT_EQ(duz.GetFileVersion(), 5800);
    duz.ProjectClose();
    const std::string ascii = PathOf("exported_ascii.duz");
    ASSERT_TRUE(Export(scene, ascii, kDuz5Ascii, WriteOptions())) << lastExportError;
    EXPECT_TRUE(Has(ReadFileBytes(ascii), "Model: \"Model::Cube\""));
}

// ---- summary ----------------------------------------------------------------------

TEST_F(Duz5WriterTest, OnlyPlainBinaryFilesEndWithASummary) {
    Node("a:~duzexport~");
    Node("~duzexport~b");
    for (int i = 0; i < 3; ++i) scene->CreateCharacter((std::string("Hero") + std::to_string(i)).c_str());
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    options->SetBoolOption("PASSWORD ENABLE", true);
    options->SetStringOption("PASSWORD", "");
    const std::string path = PathOf("summary.duz");
    ASSERT_TRUE(WriteDuz5(scene, path, KDuzWriterDuz::eBinary, options)) << lastExportError;
    const Summary summary = ReadSummary(path);
    ASSERT_TRUE(summary.found);
    EXPECT_EQ(summary.templateFlag, 1);
    EXPECT_TRUE(options->GetBoolOption("TEMPLATE", false));
    // An empty password protects nothing.
    EXPECT_EQ(summary.password, 0);
    EXPECT_EQ(summary.models, scene->GetRootNode()->GetChildCount(true));
    EXPECT_EQ(summary.characters, 3);
    EXPECT_EQ(summary.constraints, 3);
    // No texture was asked for: no media.
    EXPECT_EQ(summary.media, 0);
    EXPECT_FALSE(Has(Duz5Ascii(), "Summary"));
}

TEST_F(Duz5WriterTest, ANameThatOnlyBeginsWithTheMarkerIsNoTemplate) {
    Node("~duzexport~b");
    const std::string path = PathOf("plain.duz");
    ASSERT_TRUE(WriteDuz5(scene, path, KDuzWriterDuz::eBinary));
    EXPECT_EQ(ReadSummary(path).templateFlag, 0);
}

// ---- model walk and scene blocks ------------------------------------------------

TEST_F(Duz5WriterTest, ModelsAreWrittenDepthFirstBelowTheRoot) {
    KDuzNode* a = Node("A");
    Node("A1", nullptr, a);
    Node("B");
    const std::string text = Duz5Ascii();
    const size_t first = text.find("Model: \"Model::A\"");
    const size_t second = text.find("Model: \"Model::A1\"");
    const size_t third = text.find("Model: \"Model::B\"");
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_TRUE(Has(Block(text, "Model: \"Model::A\""), "Children: \"Model::A1\""));
    EXPECT_FALSE(Has(Block(text, "Model: \"Model::B\""), "Children: "));
    EXPECT_FALSE(Has(text, "Model: \"Model::" + std::string(scene->GetRootNode()->GetName()) + "\""));
}

TEST_F(Duz5WriterTest, AnEmptySceneWritesNoModelAndNoSwitcher) {
    // The root alone: the model counter runs against a total of 0.
    const std::string text = Duz5Ascii();
    EXPECT_FALSE(Has(text, "\nModel: "));
    EXPECT_FALSE(Has(text, "Switcher: "));
}

TEST_F(Duz5WriterTest, TheSwitcherListsEveryCamera) {
    KDuzNode* first = Node("Cam1", KDuzCamera::Create(manager, ""));
    Node("Cam2", KDuzCamera::Create(manager, ""), first);
    const std::string switcher = Block(Duz5Ascii(), "Switcher: ");
    EXPECT_TRUE(Has(switcher, "CameraIndexName: \"Model::Cam1\", \"Model::Cam2\"")) << switcher;
    EXPECT_TRUE(Has(switcher, "CameraName: 100"));
}

TEST_F(Duz5WriterTest, WithoutModelsGeometryBecomesANullButOtherAttributesStay) {
    Mesh("Cube");
    Node("Lamp", KDuzLight::Create(manager, ""));
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    options->SetBoolOption("MODEL", false);
    const std::string text = Duz5Ascii(options);
    const std::string cube = Block(text, "Model: \"Model::Cube\"");
    EXPECT_TRUE(Has(cube, "Type: \"Null\""));
    EXPECT_FALSE(Has(cube, "Vertices"));
    EXPECT_TRUE(Has(Block(text, "Model: \"Model::Lamp\""), "Type: \"Light\""));
}

TEST_F(Duz5WriterTest, ProducerCamerasAreWrittenHiddenAndFlatShaded) {
    const std::string text = Duz5Ascii();
    const std::string settings = Block(text, "\nSettings: ");
    static const char* const kOrder[] = {"Producer Perspective", "Producer Top",  "Producer Front", "Producer Right",
                                         "Producer Left",        "Producer Back", "Producer Bottom"};
    size_t at = 0;
    for (const char* name : kOrder) {
        const size_t found = settings.find(std::string("Camera: \"") + name + "\"", at);
        ASSERT_NE(found, std::string::npos) << name;
        at = found;
    }
    // Producer cameras carry no "Type" text, only the projection type.
    EXPECT_FALSE(Has(Block(settings, "Camera: \"Producer Top\""), "Type: \"Camera\""));
    EXPECT_TRUE(Has(Block(settings, "Camera: \"Producer Top\""), "TypeFlags: \"Camera\""));
    EXPECT_TRUE(Has(settings, "TimeMode: "));
    EXPECT_TRUE(Has(settings, "FrameRate: \""));
    for (const char* name : kOrder) {
        const std::string record = Block(settings, std::string("Camera: \"") + name + "\"");
        EXPECT_TRUE(Has(record, "Hidden: \"True\"")) << name;
        EXPECT_TRUE(Has(record, "Shading: W")) << name;
    }
}

// The records say hidden and wireframe; the scene's own producer nodes keep
// their values, so that the scene a caller wrote is the scene it has (a
// read of the scene written again reads the same).
TEST_F(Duz5WriterTest, ProducerCameraNodesKeepTheirShadingThroughAWrite) {
    KDuzGlobalCameraSettings& cameras = *scene->GetGlobalCameraSettings();
    for (int p = 0; p < KDuzGlobalCameraSettings::eProducerCount; ++p) {
        ASSERT_NE(cameras.GetProducerNode(p), nullptr);
        cameras.GetProducerNode(p)->SetVisibility(true);
        cameras.GetProducerNode(p)->SetShadingMode(4);
    }
    Duz5Ascii();
    for (int p = 0; p < KDuzGlobalCameraSettings::eProducerCount; ++p) {
        EXPECT_TRUE(cameras.GetProducerNode(p)->GetVisibility()) << p;
        EXPECT_EQ(cameras.GetProducerNode(p)->GetShadingMode(), 4) << p;
    }
}

TEST_F(Duz5WriterTest, SceneInformationAloneMakesThePersistenceBlock) {
    EXPECT_FALSE(Has(Duz5Ascii(), "SceneGenericPersistence"));
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "");
    info->title = "A title";
    scene->SetSceneInfo(info);
    const std::string block = Block(Duz5Ascii(), "SceneGenericPersistence: ");
    EXPECT_TRUE(Has(block, "SceneInfo: \"SceneInfo::GlobalInfo\", \"UserData\""));
    EXPECT_TRUE(Has(block, "Title: \"A title\""));
    // Empty texts are still written.
    EXPECT_TRUE(Has(block, "Subject: \"\""));
    EXPECT_FALSE(Has(block, "Pose: "));
}

TEST_F(Duz5WriterTest, LightsWithTheSameGoboShareOneRecord) {
    struct Row {
        const char* name;
        bool ground;
    };
    for (const Row& row : {Row{"L1", true}, Row{"L2", true}, Row{"L3", false}}) {
        auto* light = KDuzLight::Create(manager, "");
        light->SetFileName("gobo.tif");
        light->SetGroundProjection(row.ground);
        light->SetVolumetricLight(false);
        light->SetFrontVolumetricLight(false);
        Node(row.name, light);
    }
    const std::string gobos = Block(Duz5Ascii(), "GoboManager: ");
    EXPECT_EQ(CountOf(gobos, " Gobo: "), 2) << gobos;
    EXPECT_TRUE(Has(gobos, "LightGobo: \"Model::L1\", \"gobo-0\""));
    EXPECT_TRUE(Has(gobos, "LightGobo: \"Model::L2\", \"gobo-0\""));
    EXPECT_TRUE(Has(gobos, "LightGobo: \"Model::L3\", \"gobo-2\""));
    // Written from the last record to the first.
    EXPECT_LT(gobos.find("GoboName: \"gobo-2\""), gobos.find("GoboName: \"gobo-0\""));
    EXPECT_TRUE(Has(gobos, "DrawComponent: 1,0,0"));
}

TEST_F(Duz5WriterTest, GlobalSettingsKeepTheFogAlpha) {
    KDuzGlobalLightSettings& light = *scene->GetGlobalLightSettings();
    light.SetFogEnable(true);
    light.SetFogColor(KDuzRGBAColor(0.25, 0.5, 0.75, 0.5));
    const std::string fog = Block(Duz5Ascii(), "FogOptions: ");
    EXPECT_TRUE(Has(fog, "FlogEnable: 1"));
    EXPECT_TRUE(Has(fog, "FogColor: 0.25,0.5,0.75,0.5"));
}

TEST_F(Duz5WriterTest, CharactersAndTheirConstraints) {
    EXPECT_FALSE(Has(Duz5Ascii(), "Constraints: "));
    scene->CreateCharacter("Hero");
    scene->CreateCharacter("Puppet");
    auto* hero = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0));
    auto* puppet = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(1));
    ASSERT_NE(puppet, nullptr);
    puppet->SetInput(eDuzCharacterInputCharacter, hero);
    const std::string text = Duz5Ascii();
    const std::string constraints = Block(text, "Constraints: ");
    EXPECT_TRUE(Has(constraints, "Group: \"Constraint Group\""));
    EXPECT_EQ(CountOf(constraints, "Type: \"Character\""), 2);
    const std::string character = Block(text, "CHARACTER: ");
    EXPECT_TRUE(Has(character, "CHARACTERIZE: 1"));
    // Without input (type 4 in this SDK) both indices are -1.
    EXPECT_TRUE(Has(character, "INPUTOUTPUTTYPE: 4\n    ACTORINDEX: -1\n    CHARACTERINDEX: -1")) << character;
    EXPECT_TRUE(Has(text, "INPUTOUTPUTTYPE: 1\n    ACTORINDEX: -1\n    CHARACTERINDEX: 0"));
    // The floor contacts write their offsets even without links.
    EXPECT_TRUE(Has(Block(character, "LEFT_FLOOR: "), "SOFFSETX: 1"));
    EXPECT_TRUE(Has(character, "MB_CONTROLSET: "));
    EXPECT_TRUE(Has(character, "PARAM: "));
}

TEST_F(Duz5WriterTest, ACharacterPoseCarriesItsSceneWithoutFileSections) {
    const int index = scene->CreateCharacterPose("Stance");
    auto* pose = dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(index));
    ASSERT_NE(pose, nullptr);
    ASSERT_NE(pose->GetScene(), nullptr);
    KDuzNode* hip = KDuzNode::Create(manager, "Hip");
    pose->GetScene()->GetRootNode()->AddChild(hip);
    const std::string block = Block(Duz5Ascii(), "Pose: \"");
    EXPECT_TRUE(Has(block, "Type: \"CharacterPose\"")) << block;
    const std::string inner = Block(block, "PoseScene: ");
    EXPECT_TRUE(Has(inner, "Model: \"Model::Hip\""));
    for (const char* absent : {"Media: ", "Takes: ", "GoboManager: ", "FogOptions: ", "Summary"})
        EXPECT_FALSE(Has(inner, absent)) << absent;
}

// ---- media ----------------------------------------------------------------------

TEST_F(Duz5WriterTest, MediaNamesAreUniquePerPath) {
    struct Row {
        const char* textureName;
        const char* file;
        const char* media;
    };
    const Row rows[] = {{"T1", "/one/wood.bmp", "wood"}, {"T2", "/two/wood.bmp", "wood1"},
                        {"T3", "/one/wood.bmp", "wood"}, {"T4", "/x/clip.avi", "clip"}};
    // The camera's clip has the texture's file name, in another folder.
    for (const Row& row : rows) {
        auto* texture = KDuzTexture::Create(manager, row.textureName);
        texture->SetFileName(row.file);
        scene->ConnectSrcObject(texture);
    }
    auto* camera = KDuzCamera::Create(manager, "");
    camera->SetVideoClipTextureName("/y/clip.avi");
    Node("Eye", camera);
    const std::string text = Duz5Ascii();
    for (int i = 0; i < 4; ++i)
        EXPECT_STREQ(static_cast<KDuzTexture*>(scene->GetTexture(i))->GetMediaName(), rows[i].media) << i;
    // A clip keeps its extension, so both names live side by side.
    EXPECT_STREQ(camera->GetBackgroundMediaName(), "clip.avi");
    const std::string media = Block(text, "\nMedia: ");
    EXPECT_EQ(CountOf(media, "Type: \"Clip\""), 4);
    EXPECT_TRUE(Has(Block(text, "Model: \"Model::Eye\""), "Media: \"clip.avi\""));
    const std::string path = PathOf("media.duz");
    ASSERT_TRUE(WriteDuz5(scene, path, KDuzWriterDuz::eBinary));
    EXPECT_EQ(ReadSummary(path).media, 4);
    // Without textures, no media section (and "EMBEDDED" does not matter).
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    options->SetBoolOption("TEXTURE", false);
    EXPECT_FALSE(Has(Duz5Ascii(options), "\nMedia: "));
}

TEST_F(Duz5WriterTest, EmbeddingNeverDeletesTheUsersImage) {
    // One image the converters turn into a TIFF copy, one they leave alone.
    const std::string converted = PathOf("picture.bmp");
    const std::string plain = PathOf("plain.raw");
    std::ofstream(converted, std::ios::binary) << "BM not really an image";
    std::ofstream(plain, std::ios::binary) << "raw bytes";
    for (const std::string* file : {&converted, &plain}) {
        auto* texture = KDuzTexture::Create(manager, "");
        texture->SetFileName(file->c_str());
        scene->ConnectSrcObject(texture);
    }
    KDuzImageConverter* converter = KDuzImageConverter::Create(manager, "");
    ASSERT_TRUE(converter->RegisterRoutine("bmp", &ConvertToTwoPixels));
    KDuzStreamOptionsDuzWriter* options = WriteOptions();
    options->SetBoolOption("EMBEDDED", true);
    const std::string path = PathOf("embedded.duz");
    ASSERT_TRUE(WriteDuz5(scene, path, KDuzWriterDuz::eBinary, options)) << lastExportError;
    const std::string bytes = ReadFileBytes(path);
    EXPECT_NE(bytes.find(std::string("II*\0", 4)), std::string::npos);
    EXPECT_NE(bytes.find("raw bytes"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(converted), "BM not really an image");
    EXPECT_EQ(ReadFileBytes(plain), "raw bytes");
    // Only the copy the write made is gone.
    EXPECT_FALSE(std::filesystem::exists(PathOf("picture.tif")));
    // ASCII files never embed.
    const std::string text = Duz5Ascii(options);
    EXPECT_FALSE(Has(text, "Content"));
    EXPECT_TRUE(Has(text, "RelativeFilename: "));
}
