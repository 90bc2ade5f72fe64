#include "sdk/geometry/KDuzSceneLayerPasses.h"

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/base/KPath.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeFinderDuplicateName.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include "scene/SceneTestFixture.h"

#include <vector>

namespace duzsdk {
namespace {

class KDuzSceneLayerPassesTest : public SceneTestFixture {
protected:
    // A node below the root with a mesh of one layer.
    KDuzMesh* MeshNode(const char* name, KDuzNode** nodeOut = nullptr) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        EXPECT_TRUE(node != nullptr && mesh != nullptr);
        if (node == nullptr || mesh == nullptr) return nullptr;
        EXPECT_TRUE(scene->GetRootNode()->AddChild(node));
        EXPECT_EQ(node->SetNodeAttribute(mesh), nullptr);
        EXPECT_EQ(mesh->CreateLayer(), 0);
        if (nodeOut != nullptr) *nodeOut = node;
        return mesh;
    }

    KDuzLayerElementMaterial* Materials(KDuzMesh* mesh, int mode, std::vector<KDuzSurfaceMaterial*> direct,
                                        std::vector<int> indices) {
        KDuzLayerElementMaterial* element = KDuzCreateLayerElementMaterial(manager, "");
        element->SetReferenceMode(static_cast<KDuzLayerElement::EReferenceMode>(mode));
        for (KDuzSurfaceMaterial* material : direct) element->GetDirectArray().Add(material);
        for (int index : indices) element->GetIndexArray().Add(index);
        mesh->GetLayer(0)->SetMaterials(element);
        return element;
    }

    KDuzLayerElementTexture* Textures(KDuzMesh* mesh, int channel, int mode, std::vector<KDuzTexture*> direct,
                                      std::vector<int> indices) {
        KDuzLayerElementTexture* element = KDuzCreateLayerElementTexture(manager, "");
        element->SetReferenceMode(static_cast<KDuzLayerElement::EReferenceMode>(mode));
        for (KDuzTexture* texture : direct) element->GetDirectArray().Add(texture);
        for (int index : indices) element->GetIndexArray().Add(index);
        mesh->GetLayer(0)->SetTexturesOfType(channel, element);
        return element;
    }

    KDuzSurfaceMaterial* Material(const char* name) { return KDuzSurfaceMaterial::Create(manager, name); }
    KDuzTexture* Texture(const char* name) { return KDuzTexture::Create(manager, name); }

    static std::vector<int> Ints(const KTypedArray<int>& array) { return {array.begin(), array.end()}; }
    template <class Object>
    static std::vector<Object*> Objects(const KPointerArray<Object>& array) {
        return {array.begin(), array.end()};
    }
    static std::vector<KDuzObject*> Sources(KDuzObject* object, const KClassId& classId) {
        std::vector<KDuzObject*> out;
        KDuzCollectSrcObjects(object, classId, out);
        return out;
    }

};

TEST_F(KDuzSceneLayerPassesTest, DirectMaterialsBecomeIndexedNodeConnections) {
    KDuzNode* node = nullptr;
    KDuzMesh* mesh = MeshNode("mesh", &node);
    KDuzSurfaceMaterial* a = Material("a");
    KDuzSurfaceMaterial* b = Material("b");
    KDuzSurfaceMaterial* c = Material("c");
    KDuzLayerElementMaterial* element = Materials(mesh, KDuzLayerElement::eDirect, {a, b, c}, {});

    scene->ConnectLayerMaterialsToNodes();

    EXPECT_EQ(element->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_EQ(Ints(element->GetIndexArray()), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Objects(element->GetDirectArray()), (std::vector<KDuzSurfaceMaterial*>{a, b, c}));
    EXPECT_EQ(Sources(node, KDuzSurfaceMaterial::ClassId()), (std::vector<KDuzObject*>{a, b, c}));
}

TEST_F(KDuzSceneLayerPassesTest, WrittenMaterialIndicesFollowTheNodesConnectionOrder) {
    KDuzNode* node = nullptr;
    KDuzMesh* mesh = MeshNode("mesh", &node);
    KDuzSurfaceMaterial* first = Material("first");   // connected before the pass
    KDuzSurfaceMaterial* a = Material("a");
    KDuzSurfaceMaterial* b = Material("b");
    ASSERT_TRUE(node->ConnectSrcObject(first));
    KDuzLayerElementMaterial* element =
        Materials(mesh, KDuzLayerElement::eIndexToDirect, {a, b}, {1, 0, 2, -3, 1});

    scene->ConnectLayerMaterialsToNodes();

    // Each index names the same material as before, as a position among the
    // node's connections; indices outside the direct array name none.
    EXPECT_EQ(Sources(node, KDuzSurfaceMaterial::ClassId()), (std::vector<KDuzObject*>{first, a, b}));
    EXPECT_EQ(Objects(element->GetDirectArray()), (std::vector<KDuzSurfaceMaterial*>{first, a, b}));
    EXPECT_EQ(Ints(element->GetIndexArray()), (std::vector<int>{2, 1, -1, -1, 2}));
}

TEST_F(KDuzSceneLayerPassesTest, TextureChannelsSurviveAWriteAndReadOfTheirIndices) {
    KDuzNode* node = nullptr;
    KDuzMesh* mesh = MeshNode("mesh", &node);
    KDuzTexture* diffuse = Texture("diffuse");
    KDuzTexture* bump = Texture("bump");
    KDuzLayerElementTexture* diffuseElement = Textures(mesh, 3, KDuzLayerElement::eIndexToDirect, {diffuse}, {0, 0});
    KDuzLayerElementTexture* bumpElement = Textures(mesh, 10, KDuzLayerElement::eDirect, {bump}, {});

    scene->ConnectLayerTexturesToNodes();
    ASSERT_EQ(Sources(node, KDuzTexture::ClassId()).size(), 2u);

    // What a file keeps: the node's connections and the indices. Read back
    // into fresh index-mode elements, each channel finds its own texture.
    const std::vector<int> diffuseIndices = Ints(diffuseElement->GetIndexArray());
    const std::vector<int> bumpIndices = Ints(bumpElement->GetIndexArray());
    KDuzLayerElementTexture* readDiffuse = Textures(mesh, 3, KDuzLayerElement::eIndex, {}, diffuseIndices);
    KDuzLayerElementTexture* readBump = Textures(mesh, 10, KDuzLayerElement::eIndex, {}, bumpIndices);
    scene->ConnectNodeTexturesToLayers();
    EXPECT_EQ(Objects(readDiffuse->GetDirectArray()), std::vector<KDuzTexture*>{diffuse});
    EXPECT_EQ(Ints(readDiffuse->GetIndexArray()), (std::vector<int>{0, 0}));
    EXPECT_EQ(Objects(readBump->GetDirectArray()), std::vector<KDuzTexture*>{bump});
    EXPECT_EQ(readBump->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
}

TEST_F(KDuzSceneLayerPassesTest, ReadIndicesNameTheNodesMaterials) {
    KDuzNode* node = nullptr;
    KDuzMesh* mesh = MeshNode("mesh", &node);
    KDuzSurfaceMaterial* a = Material("a");
    KDuzSurfaceMaterial* b = Material("b");
    ASSERT_TRUE(node->ConnectSrcObject(a));
    ASSERT_TRUE(node->ConnectSrcObject(b));
    KDuzLayerElementMaterial* element = Materials(mesh, KDuzLayerElement::eIndex, {}, {1, 0, 1, 7, -1});

    scene->ConnectNodeMaterialsToLayers();

    EXPECT_EQ(element->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_EQ(Objects(element->GetDirectArray()), (std::vector<KDuzSurfaceMaterial*>{b, a}));
    EXPECT_EQ(Ints(element->GetIndexArray()), (std::vector<int>{0, 1, 0, -1, -1}));
}

TEST_F(KDuzSceneLayerPassesTest, ReadDirectElementsGainTheNodesRemainingObjects) {
    KDuzNode* node = nullptr;
    KDuzMesh* mesh = MeshNode("mesh", &node);
    KDuzSurfaceMaterial* a = Material("a");
    KDuzSurfaceMaterial* b = Material("b");
    KDuzTexture* t = Texture("t");
    KDuzTexture* u = Texture("u");
    for (KDuzObject* object : std::vector<KDuzObject*>{a, b, t, u}) ASSERT_TRUE(node->ConnectSrcObject(object));
    KDuzLayerElementMaterial* materials = Materials(mesh, KDuzLayerElement::eDirect, {a}, {});
    KDuzLayerElementTexture* diffuse = Textures(mesh, 3, KDuzLayerElement::eDirect, {}, {});
    KDuzLayerElementTexture* specular = Textures(mesh, 11, KDuzLayerElement::eDirect, {}, {});

    scene->ConnectNodeMaterialsToLayers();
    scene->ConnectNodeTexturesToLayers();

    EXPECT_EQ(Objects(materials->GetDirectArray()), (std::vector<KDuzSurfaceMaterial*>{a, b}));
    EXPECT_EQ(Objects(diffuse->GetDirectArray()), (std::vector<KDuzTexture*>{t, u}));
    EXPECT_TRUE(specular->GetDirectArray().IsEmpty());   // only the diffuse channel is filled
}

TEST_F(KDuzSceneLayerPassesTest, GeometryWithoutNodeIsLeftAlone) {
    KDuzMesh* loose = KDuzMesh::Create(manager, "loose");
    ASSERT_TRUE(scene->ConnectObject(loose));
    ASSERT_EQ(loose->CreateLayer(), 0);
    KDuzLayerElementMaterial* element = Materials(loose, KDuzLayerElement::eDirect, {Material("a")}, {});
    scene->ConnectLayerMaterialsToNodes();
    EXPECT_EQ(element->GetReferenceMode(), KDuzLayerElement::eDirect);
}

TEST_F(KDuzSceneLayerPassesTest, TexturesWithAFileGetOneVideo) {
    KDuzTexture* named = Texture("wood");
    KDuzTexture* withMedia = Texture("stone");
    KDuzTexture* noFile = Texture("none");
    named->SetFileName("/images/wood.tif");
    withMedia->SetFileName("/images/stone.tif");
    withMedia->SetMediaName("StoneClip");
    for (KDuzObject* object : std::vector<KDuzObject*>{named, withMedia, noFile})
        ASSERT_TRUE(scene->ConnectObject(object));

    scene->CreateVideosForTextures();
    scene->CreateVideosForTextures();   // a texture with a video gets no second one

    ASSERT_EQ(named->GetSrcObjectCount(KDuzVideo::ClassId()), 1);
    auto* video = dynamic_cast<KDuzVideo*>(named->GetSrcObject(KDuzVideo::ClassId(), 0));
    ASSERT_NE(video, nullptr);
    EXPECT_STREQ(video->GetName(), "wood");
    EXPECT_STREQ(video->GetFileName(), "/images/wood.tif");
    EXPECT_STREQ(withMedia->GetSrcObject(KDuzVideo::ClassId(), 0)->GetName(), "StoneClip");
    EXPECT_EQ(noFile->GetSrcObjectCount(KDuzVideo::ClassId()), 0);
    EXPECT_EQ(scene->GetVideoCount(), 2);
    EXPECT_FALSE(scene->CreateVideoForObject("x", nullptr, "f", nullptr, nullptr));
}

TEST_F(KDuzSceneLayerPassesTest, FinderReportsAMaterialSharedByTwoGeometries) {
    KDuzMesh* first = MeshNode("first");
    KDuzMesh* second = MeshNode("second");
    KDuzNode* secondNode = second->GetNode();
    KDuzSurfaceMaterial* shared = Material("shared");
    Materials(first, KDuzLayerElement::eIndexToDirect, {shared}, {0});
    Materials(second, KDuzLayerElement::eIndexToDirect, {shared}, {0});

    KDuzNodeFinderDuplicateName off(nullptr);
    EXPECT_TRUE(off.Apply(scene->GetRootNode()).IsEmpty());

    KDuzNodeFinderDuplicateName finder(nullptr);
    finder.SetOption(KDuzNodeFinderDuplicateName::eCheckMaterialName, true);
    const KPointerArray<KDuzNode>& found = finder.Apply(scene->GetRootNode());
    ASSERT_EQ(found.Count(), 1);
    EXPECT_EQ(found[0], secondNode);
    EXPECT_EQ(finder.GetDuplicateMaterials().Count(), 1);
}

TEST_F(KDuzSceneLayerPassesTest, FinderSkipsElementsInIndexMode) {
    KDuzMesh* first = MeshNode("first");
    KDuzMesh* second = MeshNode("second");
    KDuzSurfaceMaterial* shared = Material("shared");
    Materials(first, KDuzLayerElement::eIndex, {shared}, {0});
    Materials(second, KDuzLayerElement::eIndex, {shared}, {0});
    KDuzNodeFinderDuplicateName finder(nullptr);
    finder.SetOption(KDuzNodeFinderDuplicateName::eCheckMaterialName, true);
    EXPECT_TRUE(finder.Apply(scene->GetRootNode()).IsEmpty());
}

TEST_F(KDuzSceneLayerPassesTest, LightGoboBecomesAVideoOfItsNode) {
    struct Case {
        const char* file;
        const char* videoName;
        bool relativeGiven;
    };
    const KString cwd = KPathGetCurrentDirectory();
    const KString absolute = cwd + "/gobos/star.tif";
    const Case kCases[] = {{absolute.Buffer(), "star.tif", true}, {"spot.tif", "spot.tif", false}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        KDuzNode* node = KDuzNode::Create(manager, "lamp");
        KDuzLight* light = KDuzLight::Create(manager, "");
        ASSERT_TRUE(scene->GetRootNode()->AddChild(node));
        ASSERT_EQ(node->SetNodeAttribute(light), nullptr);
        ASSERT_TRUE(light->SetFileName(c.file));
        scene->CreateVideosForTextures();
        auto* video = dynamic_cast<KDuzVideo*>(node->GetSrcObject(KDuzVideo::ClassId(), 0));
        ASSERT_NE(video, nullptr);
        EXPECT_STREQ(video->GetName(), c.videoName);
        EXPECT_STREQ(video->GetFileName(), c.file);
        if (c.relativeGiven) {
            EXPECT_STREQ(video->GetRelativeFileName(), "gobos/star.tif");
        }
    }
}

TEST_F(KDuzSceneLayerPassesTest, NormalsByPolygonVertexAreRecomputedPerControlPoint) {
    KDuzMesh* mesh = MeshNode("mesh");
    ASSERT_TRUE(mesh->InitControlPoints(3));
    mesh->BeginPolygon();
    for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
    mesh->EndPolygon();
    KDuzLayerElementNormal* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    mesh->GetLayer(0)->SetNormals(normals);

    scene->RecomputeMeshNormals();

    KDuzLayerElementNormal* after = mesh->GetLayer(0)->GetNormals();
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->GetMappingMode(), KDuzLayerElement::eByControlPoint);
}

}  // namespace
}  // namespace duzsdk
