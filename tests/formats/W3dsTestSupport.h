// Shared by the 3DS writer tests: a manager, scene and folder per test,
// scene builders, and writing through the 3DS writer.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"

namespace w3dstest {

using namespace duzsdk;

struct MeshSpec {
    MeshSpec() = default;
    MeshSpec(std::vector<KgeTVector> p, std::vector<std::vector<int>> polys, std::vector<KDuzSurfaceMaterial*> m = {},
             std::vector<int> pm = {}, std::vector<KDuzTexture*> t = {}, std::vector<KgeUVVector> uv = {})
        : points(std::move(p)), polygons(std::move(polys)), materials(std::move(m)), polygonMaterial(std::move(pm)),
          textures(std::move(t)), cornerUvs(std::move(uv)) {}
    std::vector<KgeTVector> points;
    std::vector<std::vector<int>> polygons;
    std::vector<KDuzSurfaceMaterial*> materials;  // by polygon when polygonMaterial is given
    std::vector<int> polygonMaterial;
    std::vector<KDuzTexture*> textures;          // all polygons use texture 0
    std::vector<KgeUVVector> cornerUvs;          // by polygon corner when given
};

inline KDuzMesh* MakeMesh(KDuzSdkManager* manager, const MeshSpec& spec) {
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(static_cast<int>(spec.points.size()));
    std::copy(spec.points.begin(), spec.points.end(), mesh->GetControlPoints());
    if (!spec.materials.empty()) {
        mesh->InitMaterialIndices(spec.polygonMaterial.empty() ? KDuzLayerElement::eAllSame
                                                               : KDuzLayerElement::eByPolygon);
        for (KDuzSurfaceMaterial* material : spec.materials) mesh->AddMaterial(material);
    }
    if (!spec.textures.empty()) {
        mesh->InitTextureIndices(KDuzLayerElement::eAllSame);
        for (KDuzTexture* texture : spec.textures) mesh->AddTexture(texture);
    }
    if (!spec.cornerUvs.empty()) {
        mesh->InitTextureUVIndices(KDuzLayerElement::eByPolygonVertex);
        for (const KgeUVVector& uv : spec.cornerUvs) mesh->AddTextureUV(uv);
    }
    int corner = 0;
    for (size_t p = 0; p < spec.polygons.size(); ++p) {
        mesh->BeginPolygon(spec.polygonMaterial.empty() ? -1 : spec.polygonMaterial[p], -1, -1, false);
        for (int v : spec.polygons[p]) mesh->AddPolygon(v, spec.cornerUvs.empty() ? -1 : corner++);
        mesh->EndPolygon();
    }
    return mesh;
}

inline KDuzNode* AddNode(KDuzSdkManager* manager, KDuzNode* parent, const char* name, KDuzObject* attribute) {
    KDuzNode* node = KDuzNode::Create(manager, name);
    if (attribute != nullptr) node->SetNodeAttribute(attribute);
    parent->AddChild(node);
    return node;
}

// Keys (frame, value) on a curve of the node's current take.
inline void Animate(KFCurve* curve, const std::vector<std::pair<int, float>>& keys) {
    ASSERT_NE(curve, nullptr);
    for (const auto& [frame, value] : keys) {
        const int index = curve->KeyAdd(KTime(frame * (KTime::kTicksPerSecond / 30)));
        curve->KeySetValue(index, value);
    }
}

inline KgeTVector P(double x, double y, double z) { return KgeTVector(x, y, z, 1.0); }

class W3dsTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("w3ds_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        FtkReset();
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }
    std::string PathOf(const std::string& name) const { return (folder / name).string(); }

    // Writes the scene with the writer's own options, changed by the callback.
    template <typename Change>
    bool Write(const std::string& path, Change change, KDuzWriter3DS* writer = nullptr) {
        KDuzWriter3DS own(manager);
        if (writer == nullptr) writer = &own;
        KDuzStreamOptions* options = writer->GetWriteOptions();
        change(options);
        EXPECT_TRUE(writer->FileCreate(path.c_str()));
        const bool written = writer->Write(scene, options);
        options->Destroy();
        return written;
    }
    bool Write(const std::string& path) {
        return Write(path, [](KDuzStreamOptions*) {});
    }
    static void SetBool(KDuzStreamOptions* options, const char* name, bool value) {
        ASSERT_TRUE(options->SetBoolOption(name, value));
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
};

}  // namespace w3dstest
