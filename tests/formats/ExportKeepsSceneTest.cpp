// An export never changes the caller's scene: nodes sharing one mesh keep
// it and all are written, whatever a writer triangulates, and names the
// format cuts come back after the write.
#include <gtest/gtest.h>
#include <strings.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ExportTestSupport.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/io/KDuzWriter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;
using exporttest::ReadText;
namespace fs = std::filesystem;

namespace {

int CountOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

class ExportKeepsSceneTest : public exporttest::ExportFolderTest {
protected:
    // Three nodes share one mesh of two quads, as instances do.
    KDuzMesh* AddSharedQuads() {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(6);
        for (int i = 0; i < 6; ++i) mesh->GetControlPoints()[i] = KgeTVector(i / 2, i % 2, 0, 1);
        for (int q = 0; q < 2; ++q) {
            mesh->BeginPolygon();
            for (int corner : {0, 2, 3, 1}) mesh->AddPolygon(corner + 2 * q);
            mesh->EndPolygon();
        }
        mesh->InitMaterialIndices(KDuzLayerElement::eAllSame);
        mesh->AddMaterial(KDuzSurfacePhong::Create(manager, "AVeryLongMaterialName"));
        for (const char* name : {"FirstInstanceNode", "SecondInstanceNode", "ThirdInstanceNode"}) {
            KDuzNode* node = KDuzNode::Create(manager, name);
            scene->GetRootNode()->AddChild(node);
            node->SetNodeAttribute(mesh);
        }
        return mesh;
    }

    bool Export(const fs::path& path, bool triangulate) {
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        exporter->Initialize(path.string().c_str());
        bool ok = false;
        if (triangulate) {
            // The writer's own options with triangles asked for.
            ok = exporter->Export(scene);   // makes the writer
            KDuzStreamOptions* options = exporter->GetWriter()->GetWriteOptions();
            options->SetBoolOption("TRIANGULATE", true);
            ok = exporter->Export(scene, options);
            options->Destroy();
        } else {
            ok = exporter->Export(scene);
        }
        exporter->Destroy();
        return ok;
    }

    // Reads the file with the registry's reader for its extension.
    bool ReadBack(const fs::path& path, KDuzScene* into) {
        const KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
        const std::string extension = path.extension().string().substr(1);
        for (int i = 0; i < registry->GetReaderCount(); ++i) {
            const auto* entry = registry->GetReaderEntry(i);
            if (entry == nullptr || entry->extension == nullptr || strcasecmp(entry->extension, extension.c_str()) != 0)
                continue;
            std::unique_ptr<KDuzReader> reader(registry->CreateReader(manager, nullptr, i));
            if (reader == nullptr || !reader->FileOpen(path.string().c_str())) return false;
            KDuzStreamOptions* options = reader->GetReadOptions(false);
            const bool ok = reader->Read(into, options);
            if (options != nullptr) options->Destroy();
            reader->FileClose();
            return ok;
        }
        return false;
    }

};

TEST_F(ExportKeepsSceneTest, SharedMeshSurvivesEveryWriterAndEveryNodeIsWritten) {
    KDuzMesh* mesh = AddSharedQuads();
    struct Case {
        const char* file;
        bool triangulate;
    };
    const Case cases[] = {{"shared.dxf", false}, {"shared.obj", true}, {"shared.3ds", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(Export(folder / c.file, c.triangulate));
        KDuzNode* root = scene->GetRootNode();
        ASSERT_EQ(root->GetChildCount(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(root->GetChild(i)->GetNodeAttribute(), mesh) << i;
        }
        EXPECT_EQ(mesh->GetPolygonCount(), 2);
        EXPECT_EQ(mesh->GetPolygonSize(0), 4);

        // Read back: three meshes of four triangles (or two quads).
        KDuzScene* read = KDuzScene::Create(manager, "read");
        ASSERT_TRUE(ReadBack(folder / c.file, read));
        int meshes = 0;
        int corners = 0;
        std::vector<KDuzNode*> pending{read->GetRootNode()};
        while (!pending.empty()) {
            KDuzNode* node = pending.back();
            pending.pop_back();
            for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
            auto* written = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
            if (written == nullptr) continue;
            ++meshes;
            for (int p = 0; p < written->GetPolygonCount(); ++p) corners += written->GetPolygonSize(p);
        }
        EXPECT_EQ(meshes, 3);
        // Two quads are 8 corners, four triangles 12; every node counts.
        EXPECT_EQ(corners, 3 * 12);
        read->Destroy();
    }
    // The DXF file without triangles keeps the quads: three polylines.
    ASSERT_TRUE(Export(folder / "quads.dxf", false));
    EXPECT_EQ(CountOf(ReadText(folder / "quads.dxf"), "POLYLINE"), 3);
}

TEST_F(ExportKeepsSceneTest, NamesCutForTheFormatComeBack) {
    KDuzMesh* mesh = AddSharedQuads();
    ASSERT_TRUE(Export(folder / "names.3ds", false));
    EXPECT_STREQ(scene->GetRootNode()->GetChild(0)->GetName(), "FirstInstanceNode");
    EXPECT_STREQ(scene->GetRootNode()->GetChild(2)->GetName(), "ThirdInstanceNode");
    EXPECT_STREQ(mesh->GetMaterial(0)->GetName(), "AVeryLongMaterialName");
    // The next export to another format carries the whole names.
    ASSERT_TRUE(Export(folder / "names.obj", false));
    const std::string text = ReadText(folder / "names.obj");
    EXPECT_NE(text.find("FirstInstanceNode"), std::string::npos);
    EXPECT_NE(ReadText(folder / "names.mtl").find("AVeryLongMaterialName"), std::string::npos);
}

// Names that clash or hold characters a format refuses are changed for the
// file only: the OBJ and DXF writers give the caller's names back.
TEST_F(ExportKeepsSceneTest, ClashingNamesComeBackAfterObjAndDxf) {
    KDuzMesh* mesh = AddSharedQuads();
    KDuzNode* root = scene->GetRootNode();
    root->GetChild(1)->SetName("Twin", false);
    root->GetChild(2)->SetName("Twin", false);
    root->GetChild(0)->SetName("odd name:with\"marks", false);
    mesh->GetMaterial(0)->SetName("Twin", false);
    for (const char* file : {"clash.obj", "clash.dxf"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(Export(folder / file, false));
        EXPECT_STREQ(root->GetChild(0)->GetName(), "odd name:with\"marks");
        EXPECT_STREQ(root->GetChild(1)->GetName(), "Twin");
        EXPECT_STREQ(root->GetChild(2)->GetName(), "Twin");
        EXPECT_STREQ(mesh->GetMaterial(0)->GetName(), "Twin");
    }
}

}  // namespace
