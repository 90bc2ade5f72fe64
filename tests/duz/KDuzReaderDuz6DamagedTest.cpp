#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;

namespace {

// A small version 6 scene: a quad mesh with normals and UVs under the root,
// a material with properties, and their connections.
void WriteScene(const std::string& path, bool binary)
{
    KDuz duz;
    ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), binary, false));
    auto block = [&](const char* name, auto&& values, auto&& body) {
        duz.FieldWriteBegin(name);
        values();
        duz.FieldWriteBlockBegin();
        body();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    };
    auto ints = [&](const char* name, std::initializer_list<int> list) {
        duz.FieldWriteBegin(name);
        for (int v : list)
            duz.FieldWriteInt(v);
        duz.FieldWriteEnd();
    };
    auto doubles = [&](const char* name, std::initializer_list<double> list) {
        duz.FieldWriteBegin(name);
        for (double v : list)
            duz.FieldWriteDouble(v);
        duz.FieldWriteEnd();
    };
    auto none = [] {};
    block("Definitions", none, [&] {
        ints("Version", {100});
        for (const char* kind : {"Model", "Material"})
            block("ObjectType", [&] { duz.FieldWriteString(kind); }, [&] { ints("Count", {1}); });
    });
    block("Objects", none, [&] {
        block("Model", [&] { duz.FieldWriteString("Model::quad"); duz.FieldWriteString("Mesh"); }, [&] {
            ints("Version", {232});
            doubles("Vertices", {0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1});
            ints("PolygonVertexIndex", {0, 1, 2, -4});
            ints("GeometryVersion", {124});
            block("LayerElementNormal", [&] { duz.FieldWriteInt(0); }, [&] {
                ints("Version", {101});
                duz.FieldWriteNamedString("Name", "");
                duz.FieldWriteNamedString("MappingInformationType", "ByVertice");
                duz.FieldWriteNamedString("ReferenceInformationType", "Direct");
                doubles("Normals", {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0});
            });
            block("LayerElementUV", [&] { duz.FieldWriteInt(0); }, [&] {
                ints("Version", {101});
                duz.FieldWriteNamedString("Name", "UVChannel_1");
                duz.FieldWriteNamedString("MappingInformationType", "ByVertice");
                duz.FieldWriteNamedString("ReferenceInformationType", "Direct");
                doubles("UV", {0, 0, 1, 0, 1, 1, 0, 1});
            });
            block("Layer", [&] { duz.FieldWriteInt(0); }, [&] {
                ints("Version", {100});
                for (const char* type : {"LayerElementNormal", "LayerElementUV"})
                    block("LayerElement", none, [&] {
                        duz.FieldWriteNamedString("Type", type);
                        ints("TypedIndex", {0});
                    });
            });
        });
        block("Material", [&] { duz.FieldWriteString("Material::paint"); duz.FieldWriteString(""); }, [&] {
            ints("Version", {102});
            block("Properties60", none, [&] {
                duz.FieldWriteBegin("Property");
                duz.FieldWriteString("DiffuseColor");
                duz.FieldWriteString("ColorRGB");
                duz.FieldWriteString("");
                duz.FieldWriteDouble(0.7);
                duz.FieldWriteDouble(0.5);
                duz.FieldWriteDouble(0.3);
                duz.FieldWriteEnd();
            });
        });
    });
    block("Connections", none, [&] {
        for (auto [child, parent] : {std::pair{"Model::quad", "Model::Scene"}, {"Material::paint", "Model::quad"}}) {
            duz.FieldWriteBegin("Connect");
            duz.FieldWriteString("OO");
            duz.FieldWriteString(child);
            duz.FieldWriteString(parent);
            duz.FieldWriteEnd();
        }
    });
    duz.ProjectClose();
}

// What a read made of the scene, enough to tell a partial one.
std::string Fingerprint(KDuzScene* scene)
{
    std::string out = "nodes " + std::to_string(scene->GetNodeCount()) + " materials " +
                      std::to_string(scene->GetMaterialCount()) + " objects " +
                      std::to_string(scene->GetSrcObjectCount());
    KDuzNode* root = scene->GetRootNode();
    for (int i = 0; root != nullptr && i < root->GetChildCount(); ++i) {
        KDuzNode* node = root->GetChild(i);
        out += std::string(" | ") + node->GetName() + " sources " + std::to_string(node->GetSrcObjectCount());
        if (auto* mesh = dynamic_cast<KDuzMesh*>(node->GetMesh()))
            out += " points " + std::to_string(mesh->GetControlPointsCount()) + " polygons " +
                   std::to_string(mesh->GetPolygonCount()) + " corners " +
                   std::to_string(mesh->GetPolygonVertexCount()) + " layers " + std::to_string(mesh->GetLayerCount());
    }
    return out;
}

// Whether an ASCII text that stops here is complete as far as it goes: no
// block, quoted text or line left open. (The scene above has no braces or
// quotes inside its texts, so counting them is enough.)
bool EndsCleanly(const std::string& text)
{
    int depth = 0;
    for (char c : text)
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
    const size_t lineStart = text.find_last_of("\r\n") == std::string::npos ? 0 : text.find_last_of("\r\n") + 1;
    const std::string last = text.substr(lineStart);
    const size_t first = last.find_first_not_of(" \t");
    const bool lineDone = first == std::string::npos || last[first] == ';' || last.substr(first) == "}";
    return depth == 0 && lineDone;
}

class Duz6DamagedFileTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "");
        options = KDuzStreamOptionsDuzReader::Create(manager, "");
        options->Reset();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("duz6damaged_" + std::to_string(::getpid()) + "_" + std::to_string(GetParam()) + "_" +
                  std::to_string(info->line()));
        std::filesystem::create_directories(folder);
        path = (folder / "scene.duz").string();
    }
    void TearDown() override
    {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    std::string ReadAll() const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void WriteBytes(const std::string& bytes) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    // Opens and reads the file; on a failed read after a good open the
    // reader must say the file is corrupted.
    bool Import(std::string* errorText = nullptr)
    {
        KDuzReaderDuz6 reader(manager, nullptr);
        if (!reader.FileOpen(path.c_str()))
            return false;
        const bool read = reader.Read(scene, options);
        if (!read) {
            EXPECT_EQ(reader.GetLastErrorID(), KDuzReader::eFileCorrupted);
            EXPECT_NE(std::string(reader.GetLastErrorString()).find(" of "), std::string::npos)
                << reader.GetLastErrorString();
            if (errorText != nullptr)
                *errorText = reader.GetLastErrorString();
        }
        reader.FileClose();
        return read;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzStreamOptionsDuzReader* options = nullptr;
    std::filesystem::path folder;
    std::string path;
};

}  // namespace

// Cut at every byte: the read either fails as corrupted, or the text left is
// a complete file (ASCII) or the whole scene is there (binary, where the cut
// only took footer bytes).
TEST_P(Duz6DamagedFileTest, FileCutAtAnyByteFailsOrIsComplete)
{
    const bool binary = GetParam();
    WriteScene(path, binary);
    const std::string whole = ReadAll();
    ASSERT_TRUE(Import());
    const std::string full = Fingerprint(scene);
    ASSERT_NE(full.find("points 4 polygons 1 corners 4 layers 1"), std::string::npos) << full;

    int failed = 0;
    for (size_t length = 0; length < whole.size(); ++length) {
        const std::string cut = whole.substr(0, length);
        WriteBytes(cut);
        if (!Import()) {
            ++failed;
            continue;
        }
        if (binary) {
            EXPECT_EQ(Fingerprint(scene), full) << "cut at " << length;
        } else {
            EXPECT_TRUE(EndsCleanly(cut)) << "cut at " << length << " read as " << Fingerprint(scene);
        }
    }
    EXPECT_GT(failed, 0);
}

using Duz6DamagedTextTest = Duz6DamagedFileTest;

TEST_P(Duz6DamagedTextTest, TextEndingInsideABlockArrayOrStringIsCorrupted)
{
    WriteScene(path, false);
    const std::string whole = ReadAll();
    ASSERT_TRUE(Import());
    const std::string full = Fingerprint(scene);
    struct Case {
        const char* name;
        std::string text;
    };
    const size_t vertices = whole.find("Vertices: ");
    const size_t paint = whole.find("Material::paint\"");
    const size_t objectsEnd = whole.find("Connections:");
    ASSERT_NE(vertices, std::string::npos);
    const Case cases[] = {
        {"inside an array", whole.substr(0, vertices + 14)},
        {"inside a string", whole.substr(0, paint + 9)},
        // Cut between blocks, the rest of the file lost: the name is cut.
        {"inside a field name", whole.substr(0, objectsEnd + 5)},
        // The top level ends after a separator or inside a quoted text.
        {"after a separator at the top", whole + "Extra: 1,"},
        {"in a string at the top", whole + "Extra: \"abc"},
    };
    for (const Case& c : cases) {
        WriteBytes(c.text);
        std::string message;
        EXPECT_FALSE(Import(&message)) << c.name;
        // The reason says what was being read, in which file.
        EXPECT_EQ(message.rfind("File is corrupted: the ", 0), 0u) << c.name << ": " << message;
        EXPECT_NE(message.find("scene.duz"), std::string::npos) << c.name << ": " << message;
    }
    // A final line without its line end is complete when it closes a block.
    WriteBytes(whole.substr(0, whole.find_last_of('}') + 1));
    EXPECT_TRUE(Import());
    EXPECT_EQ(Fingerprint(scene), full);
}

INSTANTIATE_TEST_SUITE_P(Encodings, Duz6DamagedFileTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "binary" : "ascii"; });
INSTANTIATE_TEST_SUITE_P(Ascii, Duz6DamagedTextTest, ::testing::Values(false));
