#include "sdk/geometry/KDuzLayerContainer.h"

#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace duzsdk {
namespace {

class LayerTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); ASSERT_NE(manager, nullptr); }
    void TearDown() override { manager->Destroy(); }

    KDuzLayerContainer* NewContainer(const char* name = "geo") {
        return KDuzLayerContainer::Create(manager, name);
    }

    KDuzSdkManager* manager = nullptr;
};

// ---- tables ------------------------------------------------------------------------

TEST_F(LayerTest, TypeTableRowsMatchTheirTypesAndChannels) {
    int expected = 1;
    for (const KDuzLayerElementTypeRow& row : kDuzLayerElementTypes) {
        SCOPED_TRACE(row.section);
        EXPECT_EQ(row.type, expected++);
        EXPECT_EQ(KDuzLayerElementTypeRowOf(row.type), &row);
        const bool channel = KDuzIsTextureChannel(row.type);
        EXPECT_EQ(channel, row.textureSection != nullptr);
        if (!channel) continue;
        // Every channel's data type is registered, colour channels as three
        // doubles and factor channels as one.
        const PropertyDataType type = PropertyDataTypeGetRegistered(row.channelDataType);
        ASSERT_TRUE(type.IsValid());
        const bool factor = std::strstr(row.channelDataType, "Factor") != nullptr ||
                            std::strcmp(row.channelDataType, "Shininess") == 0 ||
                            std::strcmp(row.channelDataType, "Bump") == 0;
        EXPECT_EQ(type.GetValueKind(), factor ? 4 : 5);
    }
    EXPECT_EQ(expected, 24);
    EXPECT_EQ(KDuzLayerElementTypeRowOf(0), nullptr);
    EXPECT_EQ(KDuzLayerElementTypeRowOf(24), nullptr);
    EXPECT_STREQ(KDuzLayerElementTypeRowOf(10)->textureSection, "LayerElementEmissive_Textures");
}

TEST_F(LayerTest, ModeNames) {
    const char* mapping[] = {"NoMappingInformation", "ByVertice", "ByPolygonVertex",
                             "ByPolygon", "ByEdge", "AllSame"};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(KDuzMappingModeName(i), mapping[i]);
    EXPECT_STREQ(KDuzMappingModeName(6), "NoMappingInformation");
    EXPECT_STREQ(KDuzReferenceModeName(1), "Index");
    EXPECT_STREQ(KDuzReferenceModeName(2), "IndexToDirect");
    EXPECT_STREQ(KDuzReferenceModeName(-1), "Direct");
}

TEST(KgeUVVectorTest, ValueOperations) {
    KgeUVVector a;
    EXPECT_EQ(a.mU, 0.0);
    EXPECT_EQ(a.mV, 0.0);
    KgeUVVector b(0.25, 0.5);
    EXPECT_TRUE(a.NotEqual(b));
    a.Assign(b);
    EXPECT_FALSE(a.NotEqual(b));
    a.Set(0.25, 0.75);
    EXPECT_TRUE(a.NotEqual(b));   // one component differs
    KgeUVVectorArray array;
    EXPECT_EQ(array.Add(b), 0);
    EXPECT_EQ(array.Add(a), 1);
    EXPECT_EQ(array.GetAt(1), a);
    EXPECT_EQ(array.GetAt(2), KgeUVVector());
}

// ---- factories ---------------------------------------------------------------------

TEST_F(LayerTest, FactoriesMakeNamedEmptyElementsTheManagerOwns) {
    struct Case {
        KDuzLayerElement* element;
        EDuzLayerElementList list;
    };
    const Case cases[] = {
        {manager->CreateLayerElementNormal("n"), eDuzLayerElementListNormal},
        {manager->CreateLayerElementMaterial("n"), eDuzLayerElementListMaterial},
        {manager->CreateLayerElementPolygonGroup("n"), eDuzLayerElementListPolygonGroup},
        {manager->CreateLayerElementUV("n"), eDuzLayerElementListUV},
        {manager->CreateLayerElementVertexColor("n"), eDuzLayerElementListVertexColor},
        {manager->CreateLayerElementSmoothing("n"), eDuzLayerElementListSmoothing},
        {manager->CreateLayerElementVisibility("n"), eDuzLayerElementListVisibility},
        {manager->CreateLayerElementUserData("n", 1, {}, {}), eDuzLayerElementListUserData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        ASSERT_NE(c.element, nullptr);
        EXPECT_STREQ(c.element->GetName(), "n");
        EXPECT_EQ(c.element->GetMappingMode(), KDuzLayerElement::eNone);
        EXPECT_EQ(c.element->GetReferenceMode(), KDuzLayerElement::eDirect);
        EXPECT_EQ(c.element->GetIndexArray().Count(), 0);
        EXPECT_EQ(manager->GetLayerElementCount(c.list), 1);
    }

    KDuzLayerElementTexture* texture = manager->CreateLayerElementTexture(nullptr);
    ASSERT_NE(texture, nullptr);
    EXPECT_STREQ(texture->GetName(), "");
    EXPECT_EQ(texture->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_FALSE(texture->GetChannelTag().IsValid());
    EXPECT_EQ(texture->GetBlendMode(), 0);
    EXPECT_EQ(texture->GetAlpha(), 1.0);

    EXPECT_EQ(KDuzCreateLayerElementNormal(nullptr, "n"), nullptr);
    EXPECT_EQ(manager->CreateLayerElementUserDataCopy("n", nullptr), nullptr);
    KDuzLayerElementUserData* copy =
        manager->CreateLayerElementUserDataCopy("copy", manager->CreateLayerElementUserData("n", 7, {}, {}));
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetName(), "copy");
    EXPECT_EQ(copy->GetId(), 7);
    EXPECT_EQ(manager->GetLayerElementCount(eDuzLayerElementListUserData), 3);
}

TEST_F(LayerTest, UserDataArraysFollowTheValueKinds) {
    const std::vector<PropertyDataType> types = {
        PropertyDataTypeGetRegistered("Bool"), PropertyDataTypeGetRegistered("Integer"),
        PropertyDataTypeGetRegistered("Float"), PropertyDataTypeGetRegistered("Number"),
        PropertyDataTypeGetRegistered("KString")};
    const std::vector<KString> names = {"b", "i", "f", "d"};   // one short
    KDuzLayerElementUserData* data = KDuzCreateLayerElementUserData(manager, "ud", 7, types, names);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetId(), 7);
    ASSERT_EQ(data->GetAttributeCount(), 5);
    const int sizes[] = {1, 4, 4, 8};
    for (int i = 0; i < 4; ++i) {
        ASSERT_NE(data->GetDirectArrayOf(i), nullptr);
        EXPECT_EQ(data->GetDirectArrayOf(i)->ElementSize(), sizes[i]);
    }
    EXPECT_EQ(data->GetDirectArrayOf(4), nullptr);   // strings carry no values
    EXPECT_EQ(data->GetDirectArrayOf(5), nullptr);
    EXPECT_STREQ(data->GetDataName(3), "d");
    EXPECT_STREQ(data->GetDataName(4), "");
    EXPECT_EQ(data->GetDataName(5), nullptr);
    EXPECT_EQ(data->GetDataType(1), types[1]);
    EXPECT_FALSE(data->GetDataType(-1).IsValid());

    EXPECT_TRUE(data->ResizeAllDirectArrays(3));
    EXPECT_FALSE(data->ResizeAllDirectArrays(-1));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(data->GetDirectArrayOf(i)->Count(), 3);
    *static_cast<double*>(data->GetDirectArrayOf(3)->ElementAt(2)) = 2.5;

    data->SetMappingMode(KDuzLayerElement::eByPolygon);
    data->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    KDuzLayerElementUserData* copy = KDuzCreateLayerElementUserDataCopy(manager, "copy", data);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetName(), "copy");
    EXPECT_EQ(copy->GetId(), 7);
    EXPECT_EQ(copy->GetId(), 7);
    EXPECT_EQ(copy->GetAttributeCount(), 5);
    EXPECT_STREQ(copy->GetDataName(0), "b");
    EXPECT_NE(copy->GetDirectArrayOf(3), data->GetDirectArrayOf(3));
    EXPECT_EQ(*static_cast<const double*>(copy->GetDirectArrayOf(3)->ElementAt(2)), 2.5);
    // Copies keep how the user data is mapped.
    EXPECT_EQ(copy->GetMappingMode(), KDuzLayerElement::eByPolygon);
    EXPECT_EQ(copy->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
}

// ---- layer slots ---------------------------------------------------------------------

TEST_F(LayerTest, LayerLookupsByTypeAndChannel) {
    KDuzLayer layer;
    KDuzLayerElementUV* uv = KDuzCreateLayerElementUV(manager, "");
    KDuzLayerElementTexture* texture = KDuzCreateLayerElementTexture(manager, "");
    EXPECT_EQ(layer.SetUVsOfType(uv, 3), uv);
    EXPECT_EQ(layer.SetTextures(texture), texture);

    EXPECT_EQ(layer.GetUVsOfType(0), uv);
    EXPECT_EQ(layer.GetUVsOfType(3), uv);
    EXPECT_EQ(layer.GetUVs(), uv);
    EXPECT_EQ(layer.GetTexturesOfType(0), nullptr);
    EXPECT_EQ(layer.GetLayerElementOfType(3, true), uv);
    EXPECT_EQ(layer.GetLayerElementOfType(3, false), texture);
    EXPECT_EQ(layer.GetLayerElementOfType(5, true), uv);
    EXPECT_EQ(layer.GetLayerElementOfType(5, false), uv);
    EXPECT_EQ(layer.GetLayerElementOfType(0, false), nullptr);
    EXPECT_EQ(layer.GetLayerElementOfType(24, true), nullptr);
    EXPECT_STREQ(texture->GetChannelTag().GetName(), "Diffuse");

    // Only 3 and 10 to 23 take UV elements.
    KDuzLayerElementUV* other = KDuzCreateLayerElementUV(manager, "");
    for (int channel : {0, 5, 9, 24, -1}) {
        EXPECT_EQ(layer.SetUVsOfType(other, channel), nullptr);
        EXPECT_EQ(layer.SetTexturesOfType(channel, texture), nullptr);
    }
    EXPECT_EQ(layer.GetUVs(), uv);
}

TEST_F(LayerTest, EveryChannelHasItsOwnSlotsAndTag) {
    KDuzLayer layer;
    for (int channel : kDuzTextureChannels) {
        KDuzLayerElementUV* uv = KDuzCreateLayerElementUV(manager, "");
        KDuzLayerElementTexture* texture = KDuzCreateLayerElementTexture(manager, "");
        layer.SetUVsOfType(uv, channel);
        layer.SetTexturesOfType(channel, texture);
    }
    for (int channel : kDuzTextureChannels) {
        SCOPED_TRACE(channel);
        KDuzLayerElementTexture* texture = layer.GetTexturesOfType(channel);
        ASSERT_NE(texture, nullptr);
        EXPECT_STREQ(texture->GetChannelTag().GetName(),
                     KDuzLayerElementTypeRowOf(channel)->channelDataType);
        EXPECT_EQ(layer.GetLayerElementOfType(channel, false), texture);
        EXPECT_EQ(layer.GetLayerElementOfType(channel, true), layer.GetUVsOfType(channel));
        for (int otherChannel : kDuzTextureChannels) {
            if (otherChannel == channel) continue;
            EXPECT_NE(layer.GetTexturesOfType(otherChannel), texture);
            EXPECT_NE(layer.GetUVsOfType(otherChannel), layer.GetUVsOfType(channel));
        }
    }
    // Storing null leaves nothing to tag.
    EXPECT_EQ(layer.SetTexturesOfType(10, nullptr), nullptr);
    EXPECT_EQ(layer.GetTexturesOfType(10), nullptr);
    layer.Clear();
    for (int slot = 0; slot < KDuzLayer::kSlotCount; ++slot) EXPECT_EQ(layer.GetSlot(slot), nullptr);
}

// ---- container -------------------------------------------------------------------------

TEST_F(LayerTest, ContainerLayerIndicesAndCounts) {
    KDuzLayerContainer* container = NewContainer();
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->GetClassId(), KDuzLayerContainer::ClassId());
    EXPECT_EQ(container->GetAttributeType(), 0);
    EXPECT_EQ(container->CreateLayer(), 0);
    EXPECT_EQ(container->CreateLayer(), 1);
    EXPECT_EQ(container->CreateLayer(), 2);
    EXPECT_EQ(container->GetLayer(-1), nullptr);
    EXPECT_EQ(container->GetLayer(3), nullptr);

    container->GetLayer(0)->SetNormals(KDuzCreateLayerElementNormal(manager, ""));
    container->GetLayer(2)->SetNormals(KDuzCreateLayerElementNormal(manager, ""));
    container->GetLayer(2)->SetUVsOfType(KDuzCreateLayerElementUV(manager, ""), 12);
    EXPECT_EQ(container->GetLayerCountOfType(eLayerElementNormal, false), 2);
    // The UV test knows only texture channels.
    EXPECT_EQ(container->GetLayerCountOfType(eLayerElementNormal, true), 0);
    EXPECT_EQ(container->GetLayerCountOfType(12, true), 1);
    EXPECT_EQ(container->GetLayerCountOfType(12, false), 0);
    EXPECT_EQ(container->GetLayerIndexOfType(0, eLayerElementNormal), 0);
    EXPECT_EQ(container->GetLayerIndexOfType(1, eLayerElementNormal), 2);
    EXPECT_EQ(container->GetLayerIndexOfType(2, eLayerElementNormal), -1);
    EXPECT_EQ(container->GetLayerIndexOfType(-1, eLayerElementNormal), -1);
    EXPECT_EQ(container->GetLayerOfType(0, 12, true), container->GetLayer(2));
    EXPECT_EQ(container->GetLayerOfType(1, 12, true), nullptr);

    container->ClearLayers();
    EXPECT_EQ(container->GetLayerCount(), 0);
}

TEST_F(LayerTest, AddMaterialAndTextureCreateLayersUpToTheIndex) {
    KDuzLayerContainer* container = NewContainer();
    KDuzTexture* texture = KDuzTexture::Create(manager, "tex");
    KDuzSurfaceMaterial* material = KDuzSurfaceMaterial::Create(manager, "mat");
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(material, nullptr);

    EXPECT_EQ(container->AddTexture(texture, 2, 3), 0);
    EXPECT_EQ(container->GetLayerCount(), 3);
    EXPECT_EQ(container->AddTexture(texture, 2, 3), 0);   // a texture there already keeps its index
    EXPECT_EQ(container->GetTextureCount(2, 3), 1);
    EXPECT_EQ(container->GetLayer(2)->GetTextures()->GetReferenceMode(), KDuzLayerElement::eIndexToDirect);
    EXPECT_EQ(container->AddTexture(texture, 0, 15), 0);
    EXPECT_STREQ(container->GetLayer(0)->GetTexturesOfType(15)->GetChannelTag().GetName(), "Specular");
    EXPECT_EQ(container->AddTexture(texture, 0, 4), -1);   // no texture channel

    EXPECT_EQ(container->AddMaterial(material, 1), 0);
    EXPECT_EQ(container->AddMaterial(material, 1), -1);   // a material there already is refused
    EXPECT_EQ(container->GetMaterialCount(1), 1);
    EXPECT_EQ(container->GetMaterial(0, 1), material);
    EXPECT_EQ(container->GetMaterial(1, 1), nullptr);
    EXPECT_EQ(container->GetMaterial(-1, 1), nullptr);
    EXPECT_EQ(container->GetMaterialIndex("mat", 1), 0);
    EXPECT_EQ(container->GetMaterialIndex("MAT", 1), -1);
    EXPECT_EQ(container->GetMaterialIndex(nullptr, 1), -1);
    EXPECT_EQ(container->GetTextureIndex("tex", 2, 3), 0);
    EXPECT_EQ(container->GetTexture(0, 2, 3), texture);
    EXPECT_EQ(container->GetMaterialCount(7), 0);
    EXPECT_EQ(container->GetMaterial(0, 7), nullptr);

    EXPECT_EQ(container->AddMaterial(nullptr, 0), -1);
    EXPECT_EQ(container->AddMaterial(material, -1), -1);
}

TEST_F(LayerTest, LayerIndexFromAFileCannotAllocateWithoutBound) {
    KDuzLayerContainer* container = NewContainer();
    KDuzSurfaceMaterial* material = KDuzSurfaceMaterial::Create(manager, "mat");
    EXPECT_EQ(container->AddMaterial(material, 2000000000), -1);
    EXPECT_EQ(container->GetLayerCount(), 0);
    const int far = KDuzLayerContainer::kMaxLayersAddedAtOnce - 1;
    EXPECT_EQ(container->AddMaterial(material, far), 0);
    EXPECT_EQ(container->GetLayerCount(), far + 1);
}

TEST_F(LayerTest, IndexModeCountsDistinctIndicesCappedByTheNodesMaterials) {
    KDuzLayerContainer* container = NewContainer();
    container->CreateLayer();
    KDuzLayerElementMaterial* element = KDuzCreateLayerElementMaterial(manager, "");
    container->GetLayer(0)->SetMaterials(element);
    element->SetReferenceMode(KDuzLayerElement::eIndex);
    for (int value : {2, 2, 0}) element->GetIndexArray().Add(value);

    EXPECT_EQ(container->GetMaterialCount(0), 0);   // no node
    EXPECT_EQ(container->GetMaterial(0, 0), nullptr);

    KDuzNode* node = KDuzNode::Create(manager, "node");
    ASSERT_NE(node, nullptr);
    node->SetNodeAttribute(container);
    ASSERT_EQ(container->GetNode(), node);
    KDuzSurfaceMaterial* first = KDuzSurfaceMaterial::Create(manager, "m1");
    node->ConnectSrcObject(first);
    EXPECT_EQ(container->GetMaterialCount(0), 1);
    KDuzSurfaceMaterial* second = KDuzSurfaceMaterial::Create(manager, "m2");
    KDuzSurfaceMaterial* third = KDuzSurfaceMaterial::Create(manager, "m3");
    node->ConnectSrcObject(second);
    node->ConnectSrcObject(third);
    EXPECT_EQ(container->GetMaterialCount(0), 2);
    EXPECT_EQ(container->GetMaterial(1, 0), second);
}

TEST_F(LayerTest, CopyLayersMakesNewElementsWithEqualContents) {
    KDuzLayerContainer* source = NewContainer("source");
    KDuzSurfaceMaterial* material = KDuzSurfaceMaterial::Create(manager, "mat");
    KDuzTexture* texture = KDuzTexture::Create(manager, "tex");
    source->CreateLayer();   // layer 0 stays empty
    source->AddMaterial(material, 1);
    source->AddTexture(texture, 2, 10);
    KDuzLayer* layer1 = source->GetLayer(1);
    KDuzLayerElementNormal* normals = layer1->SetNormals(KDuzCreateLayerElementNormal(manager, "nrm"));
    normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    normals->GetDirectArray().Add(KgeTVector(0.0, 1.0, 0.0, 0.0));
    normals->GetIndexArray().Add(4);
    KDuzLayerElementVertexColor* colors = layer1->SetVertexColors(KDuzCreateLayerElementVertexColor(manager, ""));
    colors->GetDirectArray().Add(KDuzRGBAColor(0.5, 0.25, 0.0, 1.0));
    KDuzLayerElementTexture* textures = source->GetLayer(2)->GetTexturesOfType(10);
    textures->SetAlpha(0.5);
    textures->SetBlendMode(2);

    KDuzLayerContainer* copy = NewContainer("copy");
    copy->CreateLayer();
    ASSERT_TRUE(copy->CopyLayers(*source));
    ASSERT_EQ(copy->GetLayerCount(), 3);
    for (int slot = 0; slot < KDuzLayer::kSlotCount; ++slot)
        EXPECT_EQ(copy->GetLayer(0)->GetSlot(slot), nullptr);

    const KDuzLayerElementNormal* copiedNormals = copy->GetLayer(1)->GetNormals();
    ASSERT_NE(copiedNormals, nullptr);
    EXPECT_NE(copiedNormals, normals);
    EXPECT_STREQ(copiedNormals->GetName(), "nrm");
    EXPECT_EQ(copiedNormals->GetMappingMode(), KDuzLayerElement::eByPolygonVertex);
    ASSERT_EQ(copiedNormals->GetDirectArray().Count(), 1);
    EXPECT_EQ(copiedNormals->GetDirectArray()[0][1], 1.0);
    EXPECT_EQ(copiedNormals->GetIndexArray().GetAt(0), 4);
    EXPECT_EQ(copy->GetLayer(1)->GetVertexColors()->GetDirectArray().GetAt(0),
              KDuzRGBAColor(0.5, 0.25, 0.0, 1.0));
    EXPECT_EQ(copy->GetMaterial(0, 1), material);   // the objects are shared

    const KDuzLayerElementTexture* copiedTextures = copy->GetLayer(2)->GetTexturesOfType(10);
    ASSERT_NE(copiedTextures, nullptr);
    EXPECT_NE(copiedTextures, textures);
    EXPECT_EQ(copiedTextures->GetDirectArray().GetAt(0), texture);
    EXPECT_STREQ(copiedTextures->GetChannelTag().GetName(), "Emissive");
    EXPECT_EQ(copiedTextures->GetAlpha(), 0.5);
    EXPECT_EQ(copiedTextures->GetBlendMode(), 2);
}

TEST_F(LayerTest, SceneReachesTheMaterialsAndTexturesOfTheLayers) {
    KDuzScene* scene = KDuzScene::Create(manager, "scene");
    ASSERT_NE(scene, nullptr);
    KDuzLayerContainer* container = NewContainer();
    KDuzSurfaceMaterial* material = KDuzSurfaceMaterial::Create(manager, "mat");
    KDuzTexture* texture = KDuzTexture::Create(manager, "tex");
    container->AddMaterial(material, 0);
    container->AddTexture(texture, 0, 3);
    // Readers size direct arrays before filling them.
    container->GetLayer(0)->GetMaterials()->GetDirectArray().Add(nullptr);

    container->ConnectToScene(scene);
    EXPECT_EQ(container->GetScene(), scene);
    EXPECT_EQ(material->GetScene(), scene);
    EXPECT_EQ(texture->GetScene(), scene);

    // Objects added later join the container's scene at once.
    KDuzSurfaceMaterial* later = KDuzSurfaceMaterial::Create(manager, "later");
    EXPECT_EQ(container->AddMaterial(later, 0), 2);
    EXPECT_EQ(later->GetScene(), scene);

    // A container in a scene keeps it.
    KDuzScene* other = KDuzScene::Create(manager, "other");
    container->ConnectToScene(other);
    EXPECT_EQ(container->GetScene(), scene);
}

}  // namespace
}  // namespace duzsdk
