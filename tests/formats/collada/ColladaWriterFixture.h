// Shared set-up of the Collada writer tests: a manager with a user
// notification, a scratch folder, a scene to fill and its write.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace colladatest {

using namespace duzsdk;

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ColladaWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        manager->CreateUserNotification("", "")->AddEntry(KDuzWriterCollada::kNotificationEntry);
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("colladaw_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    // Writes the scene; the path of the document, empty when the write failed.
    std::string Write(bool singleMatrix = false, bool triangulate = false) {
        const std::string path = (folder / "scene.dae").string();
        KDuzWriterCollada writer(manager);
        if (!writer.FileCreate(path.c_str())) return "";
        KDuzStreamOptions* options = writer.GetWriteOptions();
        options->SetBoolOption("SINGLE MATRIX", singleMatrix);
        options->SetBoolOption("TRIANGULATE", triangulate);
        const bool ok = writer.Write(scene, options);
        options->Destroy();
        writer.FileClose();
        return ok ? path : "";
    }

    std::string Messages() {
        std::string text;
        KDuzNotificationEntry* entry = manager->GetUserNotification()->GetEntry(KDuzWriterCollada::kNotificationEntry);
        for (KString* detail : KDuzUserNotification::GetEntryDetails(*entry)) text += std::string(detail->Buffer()) + "\n";
        return text;
    }

    KDuzNode* AddNode(const char* name, KDuzObject* attribute, KDuzNode* parent = nullptr) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        if (attribute != nullptr) node->SetNodeAttribute(attribute);
        (parent != nullptr ? parent : scene->GetRootNode())->AddChild(node);
        return node;
    }

    // A square pyramid: four triangles and a quad base, normals by control
    // point, UVs by polygon vertex through an index.
    KDuzMesh* Pyramid() {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        const double points[5][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0.5, 1, 0.5}};
        mesh->InitControlPoints(5);
        for (int i = 0; i < 5; ++i) mesh->GetControlPoints()[i] = KgeTVector(points[i][0], points[i][1], points[i][2], 0);
        const int faces[5][4] = {{0, 1, 4, -1}, {1, 2, 4, -1}, {2, 3, 4, -1}, {3, 0, 4, -1}, {0, 3, 2, 1}};
        for (const auto& face : faces) {
            mesh->BeginPolygon();
            for (int k : face)
                if (k >= 0) mesh->AddPolygon(k);
        }
        mesh->ComputeVertexNormals();
        KDuzLayer* layer = mesh->GetLayer(0);
        KDuzLayerElementUV* uvs = KDuzCreateLayerElementUV(manager, "");
        uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
        uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        uvs->GetDirectArray().Add(KgeUVVector(0, 0));
        uvs->GetDirectArray().Add(KgeUVVector(1, 0.5));
        for (int c = 0; c < mesh->GetPolygonVertexCount(); ++c) uvs->GetIndexArray().Add(c % 2);
        layer->SetUVsOfType(uvs, eLayerElementDiffuseTextures);
        return mesh;
    }

    // The whole mesh takes one material.
    void SetOneMaterial(KDuzMesh* mesh, KDuzSurfaceMaterial* material) {
        KDuzLayerElementMaterial* materials = KDuzCreateLayerElementMaterial(manager, "");
        materials->SetMappingMode(KDuzLayerElement::eAllSame);
        materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        materials->GetDirectArray().Add(material);
        materials->GetIndexArray().Add(0);
        mesh->GetLayer(0)->SetMaterials(materials);
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
};

inline bool Has(const std::string& text, const std::string& line) { return text.find(line) != std::string::npos; }

}  // namespace colladatest
