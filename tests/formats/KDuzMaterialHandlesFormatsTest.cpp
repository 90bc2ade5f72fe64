// Materials read from OBJ, 3DS and DXF files, and written to OBJ and 3DS
// files, keep their built-ins without handles: the values are the file's,
// and a file written from such a material is the one written after every
// handle was asked for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "support/MaterialHandles.h"

namespace duzsdk {
namespace {

using Vector3 = duzVectorTemplate3<double>;

std::string FileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class MaterialHandlesInFormats : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("mathandles_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }
    std::string WriteText(const std::string& name, const std::string& text) const {
        std::ofstream(PathOf(name), std::ios::binary) << text;
        return PathOf(name);
    }

    template <typename Reader>
    bool ReadWith(const std::string& path) {
        Reader reader(manager);
        if (!reader.FileOpen(path.c_str())) return false;
        KDuzStreamOptions* options = reader.GetReadOptions(false);
        options->SetBoolOption("REFERENCENODE", false);
        const bool read = reader.Read(scene, options);
        reader.FileClose();
        options->Destroy();
        return read;
    }

    template <typename Writer>
    bool WriteWith(const std::string& path) {
        Writer writer(manager);
        KDuzStreamOptions* options = writer.GetWriteOptions();
        const bool written = writer.FileCreate(path.c_str()) && writer.Write(scene, options);
        writer.FileClose();
        options->Destroy();
        return written;
    }

    // The materials of the scene's meshes, in node order.
    std::vector<KDuzSurfaceMaterial*> MeshMaterials() const {
        std::vector<KDuzSurfaceMaterial*> materials;
        for (int n = 0; n < scene->GetRootNode()->GetChildCount(); ++n) {
            auto* mesh = dynamic_cast<KDuzMesh*>(scene->GetRootNode()->GetChild(n)->GetNodeAttribute());
            for (int m = 0; mesh != nullptr && m < mesh->GetMaterialCount(0); ++m)
                materials.push_back(mesh->GetMaterial(m, 0));
        }
        return materials;
    }

    // A triangle node with a Phong and a Lambert material, every colour and
    // number away from its default; set without handles.
    void AddMaterialModel() {
        auto* phong = KDuzSurfacePhong::Create(manager, "Shiny");
        auto* lambert = KDuzSurfaceLambert::Create(manager, "Matte");
        for (KDuzSurfaceLambert* material : {static_cast<KDuzSurfaceLambert*>(phong), lambert}) {
            for (int id = eMaterialEmissiveColor; id < eMaterialPropertyCount; ++id) {
                const auto which = static_cast<EDuzMaterialProperty>(id);
                const double step = 0.03125 * id;
                material->SetBuiltInDouble(which, 0.5 + step);
                material->SetBuiltInDouble3(which, Vector3(step, 0.25 + step, 0.75 - step));
            }
        }
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KgeTVector(i & 1, i >> 1, 0.0, 1.0);
        mesh->InitMaterialIndices(KDuzLayerElement::eByPolygon);
        mesh->AddMaterial(phong);
        mesh->AddMaterial(lambert);
        for (int p = 0; p < 2; ++p) {
            mesh->BeginPolygon(p, -1, -1, false);
            for (int i = 0; i < 3; ++i) mesh->AddPolygon(p + i);
            mesh->EndPolygon();
        }
        KDuzNode* node = KDuzNode::Create(manager, "Tri");
        node->SetNodeAttribute(mesh);
        scene->GetRootNode()->AddChild(node);
        ASSERT_EQ(duztest::MadeBuiltIns(phong), "");
        ASSERT_EQ(duztest::MadeBuiltIns(lambert), "");
    }

    // Writes the scene twice, before and after every material handle is
    // asked for, into folders lean and full under the same name: both
    // files hold the same bytes, and the first write made no handle.
    template <typename Writer>
    void WriteBothWays(const std::string& name, const std::vector<std::string>& besides = {}) {
        std::filesystem::create_directories(folder / "lean");
        std::filesystem::create_directories(folder / "full");
        EXPECT_TRUE(WriteWith<Writer>(PathOf("lean/" + name)));
        for (KDuzSurfaceMaterial* material : MeshMaterials()) {
            EXPECT_EQ(duztest::MadeBuiltIns(material), "") << material->GetName();
            duztest::MakeEveryHandle(material);
        }
        EXPECT_TRUE(WriteWith<Writer>(PathOf("full/" + name)));
        for (const std::string& file : besides) {
            const std::string lean = FileBytes(folder / "lean" / file);
            EXPECT_FALSE(lean.empty()) << file;
            EXPECT_EQ(lean, FileBytes(folder / "full" / file)) << file;
        }
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
};

// A colour read; within the tolerance (a 3DS colour is stored in bytes).
void ExpectTriple(KDuzSurfaceMaterial* material, EDuzMaterialProperty id, const Vector3& expected,
                  double tolerance = 1e-7) {
    SCOPED_TRACE(std::string(material->GetName()) + " built-in " + std::to_string(id));
    const Vector3 value = material->GetBuiltInDouble3(id);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(value[k], expected[k], tolerance);
}

TEST_F(MaterialHandlesInFormats, ObjReadMakesNoHandles) {
    WriteText("lib.mtl",
              "newmtl flat\nKa 0.1 0.2 0.3\nKd 0.4 0.5 0.6\nd 0.25\nillum 1\n"
              "newmtl gloss\nKd 0.7 0.8 0.9\nKs 0.5 0.5 0.25\nNs 33\nillum 2\n");
    const std::string obj = WriteText("two.obj",
                                      "mtllib lib.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                      "o a\nusemtl flat\nf 1 2 3\no b\nusemtl gloss\nf 3 2 1\n");
    ASSERT_TRUE(ReadWith<KDuzReaderObj>(obj));
    const std::vector<KDuzSurfaceMaterial*> materials = MeshMaterials();
    ASSERT_EQ(materials.size(), 2u);
    for (KDuzSurfaceMaterial* material : materials) {
        EXPECT_EQ(duztest::MadeBuiltIns(material), "") << material->GetName();
        EXPECT_GT(duztest::ListedBuiltIns(material), 0);
    }
    KDuzSurfaceMaterial* flat = materials[0];
    ASSERT_EQ(flat->GetClassId(), KDuzSurfaceLambert::ClassId());
    ExpectTriple(flat, eMaterialAmbientColor, Vector3(0.1, 0.2, 0.3));
    ExpectTriple(flat, eMaterialDiffuseColor, Vector3(0.4, 0.5, 0.6));
    ExpectTriple(flat, eMaterialTransparentColor, Vector3(1.0, 1.0, 1.0));
    EXPECT_EQ(flat->GetBuiltInDouble(eMaterialTransparencyFactor), 0.75);
    EXPECT_EQ(flat->GetBuiltInDouble(eMaterialDiffuseFactor), 1.0);
    KDuzSurfaceMaterial* gloss = materials[1];
    ASSERT_EQ(gloss->GetClassId(), KDuzSurfacePhong::ClassId());
    ExpectTriple(gloss, eMaterialSpecularColor, Vector3(0.5, 0.5, 0.25));
    ExpectTriple(gloss, eMaterialAmbientColor, Vector3(0.2, 0.2, 0.2));   // not in the file: the default
    EXPECT_EQ(gloss->GetBuiltInDouble(eMaterialShininessExponent), 33.0);
    // A handle asked for late shows the same value.
    EXPECT_EQ(static_cast<KDuzSurfacePhong*>(gloss)->GetDiffuseColor().GetDouble3()[1], 0.8);
}

TEST_F(MaterialHandlesInFormats, ObjWriteIsTheSameWithoutHandles) {
    AddMaterialModel();
    WriteBothWays<KDuzWriterObj>("out.obj", {"out.obj", "out.mtl"});
    EXPECT_NE(FileBytes(folder / "lean" / "out.mtl").find("newmtl Shiny"), std::string::npos);
}

TEST_F(MaterialHandlesInFormats, ThreeDsWriteAndReadMakeNoHandles) {
    AddMaterialModel();
    WriteBothWays<KDuzWriter3DS>("out.3ds", {"out.3ds"});
    const std::vector<KDuzSurfaceMaterial*> written = MeshMaterials();
    ASSERT_EQ(written.size(), 2u);
    const Vector3 diffuse = written[0]->GetBuiltInDouble3(eMaterialDiffuseColor);
    const double diffuseFactor = written[0]->GetBuiltInDouble(eMaterialDiffuseFactor);

    scene = KDuzScene::Create(manager, "read");
    ASSERT_TRUE(ReadWith<KDuzReader3DS>(PathOf("lean/out.3ds")));
    const std::vector<KDuzSurfaceMaterial*> read = MeshMaterials();
    ASSERT_EQ(read.size(), 2u);
    KDuzSurfaceMaterial* shiny = nullptr;
    for (KDuzSurfaceMaterial* material : read) {
        EXPECT_EQ(duztest::MadeBuiltIns(material), "") << material->GetName();
        EXPECT_EQ(material->GetClassId(), KDuzSurfacePhong::ClassId());
        if (std::string(material->GetName()) == "Shiny") shiny = material;
    }
    ASSERT_NE(shiny, nullptr);
    // Stored scaled, in bytes; read back with a factor of one.
    ExpectTriple(shiny, eMaterialDiffuseColor,
                 Vector3(diffuse[0] * diffuseFactor, diffuse[1] * diffuseFactor, diffuse[2] * diffuseFactor),
                 0.5 / 255 + 1e-6);
    EXPECT_EQ(shiny->GetBuiltInDouble(eMaterialDiffuseFactor), 1.0);
    ExpectTriple(shiny, eMaterialTransparentColor, Vector3(1.0, 1.0, 1.0));
}

TEST_F(MaterialHandlesInFormats, DxfReadMakesNoHandles) {
    std::string text = "  0\nSECTION\n  2\nENTITIES\n";
    for (int colour : {1, 5, 1}) {
        text += "  0\n3DFACE\n  8\nL" + std::to_string(colour) + "\n 62\n" + std::to_string(colour) + "\n";
        for (int k = 0; k < 4; ++k) {
            text += " 1" + std::to_string(k) + "\n" + std::to_string(k & 1) + ".0\n";
            text += " 2" + std::to_string(k) + "\n" + std::to_string(k >> 1) + ".0\n";
            text += " 3" + std::to_string(k) + "\n0.0\n";
        }
    }
    text += "  0\nENDSEC\n  0\nEOF\n";
    ASSERT_TRUE(ReadWith<KDuzReaderDxf>(WriteText("faces.dxf", text)));
    const int count = manager->GetObjectCount(KDuzSurfaceMaterial::ClassId());
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        auto* material = static_cast<KDuzSurfaceMaterial*>(manager->GetObject(KDuzSurfaceMaterial::ClassId(), i));
        EXPECT_EQ(duztest::MadeBuiltIns(material), "") << material->GetName();
        const int colour = std::string(material->GetName()) == "Material0" ? 1 : 5;
        double rgb[3] = {1.0, 1.0, 1.0};
        KDuzReaderDxf::ColorIndexToRgb(colour, rgb);
        ExpectTriple(material, eMaterialDiffuseColor, Vector3(rgb[0], rgb[1], rgb[2]));
        ExpectTriple(material, eMaterialAmbientColor, Vector3(0.2, 0.2, 0.2));
    }
}

TEST_F(MaterialHandlesInFormats, ColladaWriteAndReadMakeNoHandles) {
    AddMaterialModel();
    const std::vector<KDuzSurfaceMaterial*> written = MeshMaterials();
    ASSERT_EQ(written.size(), 2u);
    const std::string path = PathOf("out.dae");
    ASSERT_TRUE(WriteWith<KDuzWriterCollada>(path));
    for (KDuzSurfaceMaterial* material : written) EXPECT_EQ(duztest::MadeBuiltIns(material), "") << material->GetName();

    scene = KDuzScene::Create(manager, "read");
    ASSERT_TRUE(ReadWith<KDuzReaderCollada>(path));
    const std::vector<KDuzSurfaceMaterial*> read = MeshMaterials();
    ASSERT_EQ(read.size(), 2u);
    for (KDuzSurfaceMaterial* material : read) {
        EXPECT_EQ(duztest::MadeBuiltIns(material), "") << material->GetName();
        // The same kind of material as written; a document holds a colour
        // times its factor, read back with a factor of 1.
        const auto same = std::find_if(written.begin(), written.end(), [&](KDuzSurfaceMaterial* w) {
            return w->GetClassId() == material->GetClassId();
        });
        ASSERT_NE(same, written.end());
        const auto scaled = [&](EDuzMaterialProperty color, EDuzMaterialProperty factor) {
            const Vector3 c = (*same)->GetBuiltInDouble3(color);
            const double f = (*same)->GetBuiltInDouble(factor);
            return Vector3(c[0] * f, c[1] * f, c[2] * f);
        };
        ExpectTriple(material, eMaterialDiffuseColor, scaled(eMaterialDiffuseColor, eMaterialDiffuseFactor), 1e-5);
        ExpectTriple(material, eMaterialAmbientColor, scaled(eMaterialAmbientColor, eMaterialAmbientFactor), 1e-5);
        EXPECT_EQ(material->GetBuiltInDouble(eMaterialDiffuseFactor), 1.0);
        EXPECT_NEAR(material->GetBuiltInDouble(eMaterialTransparencyFactor),
                    (*same)->GetBuiltInDouble(eMaterialTransparencyFactor), 1e-5);
        if (material->GetClassId() == KDuzSurfacePhong::ClassId()) {
            ExpectTriple(material, eMaterialSpecularColor, scaled(eMaterialSpecularColor, eMaterialSpecularFactor),
                         1e-5);
            EXPECT_NEAR(material->GetBuiltInDouble(eMaterialShininessExponent),
                        (*same)->GetBuiltInDouble(eMaterialShininessExponent), 1e-5);
        }
    }
}

}  // namespace
}  // namespace duzsdk
