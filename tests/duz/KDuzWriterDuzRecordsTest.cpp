// The records of the DUZ 5 writer inside "Model" blocks and in the takes,
// checked in the text of ASCII files.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "KDuzWriterDuzTestSupport.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzNodeLimitsAccessor.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "sdk/scene/KDuzTakeDescription.h"

using namespace duzsdk;
using namespace duztest;

namespace {

class Duz5RecordsTest : public Duz5WriterTestBase {
protected:
    KDuzNode* Node(const char* name, KDuzObject* attribute = nullptr) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        scene->GetRootNode()->AddChild(node);
        if (attribute != nullptr) node->SetNodeAttribute(attribute);
        return node;
    }

    // A mesh of `polygons` triangles over 3 + polygons control points.
    KDuzMesh* Mesh(const char* nodeName, int polygons = 1) {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(2 + polygons);
        for (int i = 0; i < 2 + polygons; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, 2.0 * i, -i, 1.0);
        for (int p = 0; p < polygons; ++p) {
            mesh->BeginPolygon();
            for (int i = 0; i < 3; ++i) mesh->AddPolygon(p + i);
            mesh->EndPolygon();
        }
        Node(nodeName, mesh);
        return mesh;
    }

    std::string ModelOf(const char* name) { return Block(Duz5Ascii(), std::string("Model: \"Model::") + name + "\""); }
};

}  // namespace

// ---- model record ---------------------------------------------------------------

TEST_F(Duz5RecordsTest, VisibilityAndShadingLetters) {
    struct Case {
        bool visible;
        int shading;
        const char* hidden;
        const char* letter;
    };
    const Case cases[] = {{true, 0, nullptr, nullptr}, {false, 1, "Hidden: \"True\"", "Shading: W"},
                          {true, 3, nullptr, "Shading: Y"}, {true, 5, nullptr, "Shading: U"},
                          {true, 6, nullptr, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shading);
        const std::string name = "N" + std::to_string(c.shading);
        KDuzNode* node = Node(name.c_str());
        node->SetVisibility(c.visible);
        node->SetShadingMode(c.shading);
        const std::string model = ModelOf(name.c_str());
        EXPECT_EQ(Has(model, "Hidden: "), c.hidden != nullptr);
        if (c.hidden != nullptr) {
            EXPECT_TRUE(Has(model, c.hidden));
        }
        EXPECT_EQ(Has(model, "Shading: "), c.letter != nullptr);
        if (c.letter != nullptr) {
            EXPECT_TRUE(Has(model, c.letter)) << model;
        }
        EXPECT_TRUE(Has(model, "Version: 194"));
        EXPECT_TRUE(Has(model, "Culling: \"CullingOff\""));
    }
}

TEST_F(Duz5RecordsTest, LimitsWriteOnlyWhatDiffersFromNeutral) {
    KDuzNode* unused = Node("Unused");
    unused->GetLimits()->GetTranslationLimits().SetMin(KgeTVector(5, 5, 5, 1));
    KDuzNode* used = Node("Used");
    KDuzLimits& scaling = used->GetLimits()->GetScalingLimits();
    scaling.SetActive(true);
    scaling.SetMin(KgeTVector(1, 2, 1, 1));
    scaling.SetMax(KgeTVector(1, 1, 1, 1));
    KDuzNode* spheric = Node("Spheric");
    spheric->GetLimits()->GetRotationLimits().SetActive(true);
    spheric->SetRotationOrder(0, 6);
    const std::string text = Duz5Ascii();
    // Translation limits not used: nothing after the three auto fields.
    const std::string limits = Block(Block(text, "Model: \"Model::Unused\""), "Limits: ");
    EXPECT_TRUE(Has(limits, "TAuto: 1\n        RAuto: 1\n        SAuto: 1\n    }")) << limits;
    const std::string scaled = Block(Block(text, "Model: \"Model::Used\""), "Limits: ");
    EXPECT_TRUE(Has(scaled, "SAuto: 0"));
    EXPECT_TRUE(Has(scaled, "SEnable: 0"));
    EXPECT_TRUE(Has(scaled, "SYMin: 2"));
    EXPECT_TRUE(Has(scaled, "SYDefault: 2"));
    EXPECT_FALSE(Has(scaled, "SXMin"));
    EXPECT_FALSE(Has(scaled, "SZMin"));
    EXPECT_FALSE(Has(scaled, "Max: "));
    const std::string rotation = Block(Block(text, "Model: \"Model::Spheric\""), "Limits: ");
    EXPECT_TRUE(Has(rotation, "RType: 0"));
    EXPECT_TRUE(Has(rotation, "RClampType: 1"));
    EXPECT_FALSE(Has(scaled, "RType"));
}

TEST_F(Duz5RecordsTest, TheLimitsAccessorSpeaksTheOldTerms) {
    KDuzNode* node = Node("N");
    KDuzNodeLimitsAccessor accessor(node);
    EXPECT_TRUE(accessor.GetAuto(0));
    KDuzLimits& translation = node->GetLimits()->GetTranslationLimits();
    translation.SetMinActive(true, false, false);
    EXPECT_TRUE(accessor.GetEnable(0));
    accessor.SetEnable(0, false);
    bool x = true, y = true, z = true;
    translation.GetMinActive(x, y, z);
    EXPECT_FALSE(x || y || z);
    translation.GetMaxActive(x, y, z);
    EXPECT_FALSE(x || y || z);
    // Rotation limits in use switch the node's rotation on.
    accessor.SetAuto(1, false);
    EXPECT_FALSE(accessor.GetAuto(1));
    EXPECT_TRUE(node->GetRotationActive());
    accessor.SetDefault(1, KgeTVector(1, 2, 3, 0));
    EXPECT_EQ(node->GetPreRotation(0)[1], 2.0);
    accessor.SetRotationClamp(true);
    EXPECT_EQ(accessor.GetRotationType(), 0);
    EXPECT_EQ(accessor.GetRotationClampType(), 1);
    // A kind outside the three reads as automatic and writes nothing.
    EXPECT_TRUE(accessor.GetAuto(7));
    EXPECT_FALSE(accessor.GetEnable(7));
    accessor.SetEnable(7, true);
}

TEST_F(Duz5RecordsTest, EulerRotationsCompareModuloTheEquivalentTriple) {
    struct Case {
        KgeTVector a;
        bool differs;
    };
    const Case cases[] = {{KgeTVector(0, 0, 0, 0), false},          {KgeTVector(180, 180, 180, 0), false},
                          {KgeTVector(-180, 180, 180, 0), false},   {KgeTVector(0, 0, 0.000002, 0), true},
                          {KgeTVector(0, 0, 0.0000005, 0), false},  {KgeTVector(540, 180, 180, 0), false},
                          {KgeTVector(180, 0, 180, 0), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a[0] << " " << c.a[1] << " " << c.a[2]);
        EXPECT_EQ(KgeEulerDiffers(c.a, KgeTVector(0, 0, 0, 0), 0.000001), c.differs);
    }
}

TEST_F(Duz5RecordsTest, LookAtWritesTargetsAndOnlyRealRotations) {
    KDuzNode* target = Node("Target");
    KDuzNode* up = Node("Up");
    KDuzNode* plain = Node("Plain");
    plain->SetLookAtTarget(target);
    plain->SetPostTargetRotation(KgeTVector(180, 180, 180, 0));
    plain->SetTargetUpVector(KgeTVector(0, 0, 0.000002, 0));
    plain->SetUpVectorTarget(up);
    const std::string model = ModelOf("Plain");
    EXPECT_TRUE(Has(model, "LookAtModel: \"Model::Target\""));
    EXPECT_FALSE(Has(model, "PostTargetRotation"));
    EXPECT_TRUE(Has(model, "UpTargetRotation: 0,0,2e-06"));
    EXPECT_TRUE(Has(model, "UpVectorModel: \"Model::Up\""));
}

TEST_F(Duz5RecordsTest, UserPropertiesLoseTheirTypeSuffix) {
    KDuzNode* node = Node("N");
    struct Row {
        const char* name;
        const char* written;
    };
    const Row rows[] = {{"Weight (Real)", "Weight"}, {"Mode (Enum)", "Mode (Enum)"}, {"Tint (Color)", "Tint"}};
    for (const Row& row : rows) {
        KDuzProperty property = KDuzProperty::Create(node, row.name, PropertyDataTypeTableGet(eValueKindDouble));
        property.ModifyFlag(kDuzPropertyUser, true);
        property.SetMinLimit(-2.0);
    }
    const std::string model = ModelOf("N");
    EXPECT_TRUE(Has(model, "AnimatedProperty: \"mTranslationProperty\", \"mRotationProperty\", \"mScalingProperty\", "
                           "\"Weight\", \"Mode (Enum)\", \"Tint\""))
        << model;
    EXPECT_TRUE(Has(model, "Animated: \"Lcl Translation\", \"Lcl Rotation\", \"Lcl Scaling\", \"Weight\""));
    EXPECT_EQ(CountOf(model, "UserProperty: "), 3);
    EXPECT_TRUE(Has(model, "Name: \"Weight\""));
    EXPECT_TRUE(Has(model, "Min: -2"));
    EXPECT_FALSE(Has(model, "Max: "));
    for (const Row& row : rows) EXPECT_EQ(KDuzPropertyNameStripTypeSuffix(row.name), KString(row.written));
}

TEST_F(Duz5RecordsTest, DefaultChannelsCarryTheTransformWithoutKeys) {
    KDuzNode* node = Node("N");
    node->SetLclTranslation(duzVectorTemplate3<double>(1.5, 2, 3));
    node->CreateTakeNode("Walk")->GetTranslationXCurve()->KeySet(0, KTime(0), 7.0f);
    const std::string model = ModelOf("N");
    const std::string channels = Block(model, "Channel: \"Transform\"");
    EXPECT_TRUE(Has(channels, "Channel: \"T\""));
    EXPECT_TRUE(Has(channels, "Default: 1.5"));
    EXPECT_FALSE(Has(channels, "Key: "));
    EXPECT_FALSE(Has(channels, "UserName"));
    // The version 5 layout carries the node's values in those channels and
    // has no model "Properties" block.
    EXPECT_FALSE(Has(model, "Lcl Translation: "));
}

TEST_F(Duz5RecordsTest, OnlyALayeredFileObjectGetsModelPropertiesBlocks) {
    KDuzNode* node = Node("N", KDuzNull::Create(manager, ""));
    node->SetLclTranslation(duzVectorTemplate3<double>(1.5, 2, 3));
    KDuzProperty label(manager, "Label", PropertyDataTypeFromName("KString"));
    node->AddProperty(label);
    const KString text("tag");
    label.SetValue(&text, eValueKindString);
    // A file object in the layered layout (flag clear) asks for them.
    IDuzObject* file = IDuzObject::Create();
    file->SetPropertyFormatFlag(false);
    const std::string path = PathOf("layered.duz");
    ASSERT_TRUE(file->ProjectCreateFile(path.c_str(), false, false));
    KDuzWriterDuz writer(manager, nullptr);
    EXPECT_TRUE(writer.WriteScene(scene, WriteOptions(), file));
    file->ProjectClose();
    file->Destroy();
    // The attribute's own "Properties" come first, the model's after them.
    const std::string model = Block(ReadFileBytes(path), "Model: \"Model::N\"");
    const std::string properties = Block(model.substr(model.find("Properties: ") + 1), "Properties: ");
    EXPECT_TRUE(Has(properties, "Version: 100"));
    EXPECT_TRUE(Has(properties, "Label: \"tag\"")) << properties;
    EXPECT_TRUE(Has(properties, "RotationOrder: 0"));
    // Animatable properties travel in the default channels instead.
    EXPECT_FALSE(Has(properties, "Lcl Translation: "));
    // The null attribute's properties follow the node's.
    EXPECT_TRUE(Has(properties, "Look: "));
    // A version 5 file of the writer's own has none.
    EXPECT_EQ(CountOf(ModelOf("N"), "Properties: "), 1);
}

// ---- node attributes ------------------------------------------------------------

TEST_F(Duz5RecordsTest, MarkersByType) {
    struct Case {
        int type;
        const char* typeText;
    };
    const Case cases[] = {{0, "Type: \"Marker\""}, {1, "Type: \"OpticalMarker\""}, {2, "Type: \"IKEffector\""},
                          {3, "Type: \"FKEffector\""}, {5, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const std::string name = "M" + std::to_string(c.type);
        auto* marker = KDuzMarker::Create(manager, "");
        marker->SetType(static_cast<KDuzMarker::EType>(c.type));
        marker->SetColor(KDuzRGBAColor(0.25, 0.5, 0.75, 1));
        Node(name.c_str(), marker);
        const std::string model = ModelOf(name.c_str());
        if (c.typeText != nullptr)
            EXPECT_TRUE(Has(model, c.typeText));
        else
            EXPECT_FALSE(Has(model, "\n    Type: "));
        EXPECT_TRUE(Has(model, "TypeFlags: \"Marker\""));
        EXPECT_TRUE(Has(model, "Color: 0.25,0.5,0.75"));
        EXPECT_EQ(Has(model, "IKReachTranslation: "), c.type == 2);
        // The colour again as default channel values.
        EXPECT_TRUE(Has(Block(model, "Channel: \"Color\""), "Channel: \"Z\" {\n            Default: 0.75"));
    }
}

TEST_F(Duz5RecordsTest, AnAnimatedReachIsLeftToTheTake) {
    auto* marker = KDuzMarker::Create(manager, "");
    marker->SetType(KDuzMarker::eIKEffector);
    KDuzNode* node = Node("Effector", marker);
    KDuzTakeNode* take = node->CreateTakeNode("Reach");
    KFCurveNode* reach = KDuzTakeNodeContainer::FindPropertyCurveNode(take, "IK Reach Translation");
    ASSERT_NE(reach, nullptr);
    ASSERT_NE(reach->GetCurve(), nullptr);
    reach->GetCurve()->KeySet(0, KTime(0), 50.0f);
    const std::string model = ModelOf("Effector");
    EXPECT_FALSE(Has(model, "IKReachTranslation: "));
    EXPECT_TRUE(Has(model, "IKReachRotation: "));
    EXPECT_TRUE(Has(model, "\"IK Reach Translation\""));
}

TEST_F(Duz5RecordsTest, SkeletonsByType) {
    struct Case {
        KDuzSkeleton::ESkeletonType type;
        const char* head;
        bool length;
        bool color;
    };
    const Case cases[] = {
        {KDuzSkeleton::eRoot, "Type: \"Root\"\n    TypeFlags: \"Null\", \"Skeleton\", \"Root\"", false, false},
        {KDuzSkeleton::eLimb, "Type: \"Limb\"\n    TypeFlags: \"Skeleton\"\n    LimbLength: ", true, true},
        {KDuzSkeleton::eLimbNode, "Type: \"LimbNode\"\n    TypeFlags: \"Skeleton\"\n    Properties: ", false, true},
        {KDuzSkeleton::eEffector, "Type: \"Root\"\n    TypeFlags: \"Null\", \"Skeleton\", \"Root\"", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const std::string name = "S" + std::to_string(c.type);
        auto* skeleton = KDuzSkeleton::Create(manager, "");
        skeleton->SetSkeletonType(c.type);
        Node(name.c_str(), skeleton);
        const std::string model = ModelOf(name.c_str());
        EXPECT_TRUE(Has(model, c.head)) << model;
        EXPECT_EQ(Has(model, "LimbLength"), c.length);
        EXPECT_EQ(Has(Block(model, "Properties: "), "Color: "), c.color);
    }
}

TEST_F(Duz5RecordsTest, CamerasNameTheirFormatsAndMedia) {
    struct Case {
        int format;
        const char* name;
    };
    const Case cases[] = {{3, "PAL"}, {9, "Custom"}, {10, "Full Screen"}, {42, "Custom"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string name = "Eye" + std::to_string(c.format);
        auto* camera = KDuzCamera::Create(manager, "");
        camera->SetFormat(c.format);
        Node(name.c_str(), camera);
        KDuzStreamOptionsDuzWriter* options = WriteOptions();
        options->SetBoolOption("TEXTURE", false);
        const std::string model = Block(Duz5Ascii(options), "Model: \"Model::" + name + "\"");
        EXPECT_TRUE(Has(model, std::string("FormatName: \"") + c.name + "\""));
        EXPECT_TRUE(Has(model, "Type: \"Camera\""));
        EXPECT_TRUE(Has(model, "Name: \"Model::" + name + "\""));
        EXPECT_TRUE(Has(model, "BackgroundTreshold: "));
        EXPECT_TRUE(Has(Block(model, "CameraAndLens: "), "OverSampling: "));
        EXPECT_FALSE(Has(model, "Media: "));
    }
}

// ---- geometry -------------------------------------------------------------------

TEST_F(Duz5RecordsTest, MaterialAssignationByMapping) {
    auto* red = KDuzSurfacePhong::Create(manager, "Red");
    auto* blue = KDuzSurfaceLambert::Create(manager, "Blue");
    struct Case {
        KDuzLayerElement::EMappingMode mapping;
        KDuzLayerElement::EReferenceMode reference;
        const char* expected;
    };
    const Case cases[] = {
        {KDuzLayerElement::eByPolygon, KDuzLayerElement::eDirect, "MaterialAssignation: \"ByPolygon\"\n    Materials: 1,1,1"},
        {KDuzLayerElement::eByPolygon, KDuzLayerElement::eIndexToDirect,
         "MaterialAssignation: \"ByPolygon\"\n    Materials: 1,0,1"},
        {KDuzLayerElement::eByEdge, KDuzLayerElement::eDirect, "MaterialAssignation: \"AllSame\"\n    Materials: 1\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mapping * 10 + c.reference);
        const std::string name = "Body" + std::to_string(c.mapping * 10 + c.reference);
        KDuzMesh* mesh = Mesh(name.c_str(), 3);
        auto* materials = KDuzCreateLayerElementMaterial(manager, "");
        materials->SetMappingMode(c.mapping);
        materials->SetReferenceMode(c.reference);
        materials->GetDirectArray().Add(red);
        materials->GetDirectArray().Add(blue);
        if (c.reference == KDuzLayerElement::eIndexToDirect)
            for (int index : {1, 0, 1}) materials->GetIndexArray().Add(index);
        mesh->CreateLayer();
        mesh->GetLayer(0)->SetMaterials(materials);
        const std::string model = ModelOf(name.c_str());
        EXPECT_TRUE(Has(model, c.expected)) << model;
        EXPECT_TRUE(Has(model, "Material: \"Material::Red\""));
        EXPECT_TRUE(Has(model, "Material: \"Material::Blue\""));
    }
}

TEST_F(Duz5RecordsTest, MaterialValuesAreFlat) {
    auto* phong = KDuzSurfacePhong::Create(manager, "Shiny");
    const duzVectorTemplate3<double> white(1, 1, 1);
    const duzVectorTemplate3<double> green(0.5, 1, 0);
    const double half = 0.5;
    phong->GetTransparentColor().SetValue(&white, eValueKindDouble3);
    phong->GetTransparencyFactor().SetValue(&half, eValueKindDouble);
    phong->GetDiffuseColor().SetValue(&green, eValueKindDouble3);
    phong->GetDiffuseFactor().SetValue(&half, eValueKindDouble);
    auto* lambert = KDuzSurfaceLambert::Create(manager, "Matte");
    KDuzMaterialValues values;
    KDuzWriterDuz::GetMaterialValues(phong, values);
    EXPECT_DOUBLE_EQ(values.alpha, 0.5);
    EXPECT_DOUBLE_EQ(values.diffuse[0], 0.25);
    EXPECT_DOUBLE_EQ(values.diffuse[1], 0.5);
    KDuzWriterDuz::GetMaterialValues(lambert, values);
    EXPECT_EQ(values.specular[0] + values.specular[1] + values.specular[2], 0.0);
    EXPECT_EQ(values.shininess, 0.0);
    EXPECT_EQ(values.reflectivity, 0.0);

    KDuzMesh* mesh = Mesh("Body");
    auto* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eAllSame);
    materials->GetDirectArray().Add(lambert);
    mesh->CreateLayer();
    mesh->GetLayer(0)->SetMaterials(materials);
    const std::string material = Block(ModelOf("Body"), "Material: \"Material::Matte\"");
    EXPECT_TRUE(Has(material, "ShadingModel: \"lambert\"")) << material;
    EXPECT_TRUE(Has(material, "Specular: 0,0,0"));
    EXPECT_TRUE(Has(material, "Shininess: 0"));
    EXPECT_FALSE(Has(material, "Animated"));
}

TEST_F(Duz5RecordsTest, UVsColoursAndGroups) {
    KDuzMesh* mesh = Mesh("Body", 2);
    mesh->CreateLayer();
    KDuzLayer* layer = mesh->GetLayer(0);
    auto* uvs = KDuzCreateLayerElementUV(manager, "uv");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    for (int i = 0; i < 6; ++i) uvs->GetDirectArray().Add(KgeUVVector(i, 0.5));
    layer->SetUVsOfType(uvs, 3);
    auto* colors = KDuzCreateLayerElementVertexColor(manager, "colors");
    colors->SetMappingMode(KDuzLayerElement::eByControlPoint);
    colors->GetDirectArray().Add(KDuzRGBAColor(1, 0, 0, 1));
    layer->SetVertexColors(colors);
    std::string model = ModelOf("Body");
    // By polygon vertex is written under "ByPolygon"; without indices only the UVs.
    const std::string info = Block(model, "GeometryUVInfo: ");
    EXPECT_TRUE(Has(info, "MappingInformationType: \"ByPolygon\""));
    EXPECT_TRUE(Has(info, "TextureUV: 0,0.5,1,0.5"));
    EXPECT_FALSE(Has(info, "TextureUVVerticeIndex"));
    // One colour for four control points cannot be expressed.
    EXPECT_FALSE(Has(model, "VertexColorInfo"));
    EXPECT_FALSE(Has(model, "PolygonGroup"));
    for (int i = 1; i < 4; ++i) colors->GetDirectArray().Add(KDuzRGBAColor(0, 0, i * 0.25, 1));
    mesh->GetPolygonArray()[1].mGroup = 3;
    model = ModelOf("Body");
    EXPECT_TRUE(Has(Block(model, "VertexColorInfo: "), "MappingInformationType: \"ByVertice\""));
    EXPECT_TRUE(Has(model, "PolygonGroup: -1,3"));
    EXPECT_TRUE(Has(model, "PolygonVertexIndex: 0,1,-3,1,2,-4"));
}

TEST_F(Duz5RecordsTest, TextureLayersAndTheirIndices) {
    auto* wood = KDuzTexture::Create(manager, "Wood");
    auto* stone = KDuzTexture::Create(manager, "Stone");
    auto addTextures = [&](KDuzGeometry* geometry, int layerIndex, int index) {
        while (geometry->GetLayerCount() <= layerIndex) geometry->CreateLayer();
        auto* textures = KDuzCreateLayerElementTexture(manager, "");
        textures->SetMappingMode(KDuzLayerElement::eAllSame);
        textures->GetDirectArray().Add(layerIndex == 0 ? wood : stone);
        textures->GetIndexArray().Add(index);
        geometry->GetLayer(layerIndex)->SetTexturesOfType(3, textures);
    };
    KDuzMesh* mesh = Mesh("Body", 2);
    addTextures(mesh, 0, 0);
    // An index equal to the number of textures is written as 0.
    addTextures(mesh, 1, 1);
    auto* uvs = KDuzCreateLayerElementUV(manager, "uv");
    uvs->SetMappingMode(KDuzLayerElement::eByPolygon);
    uvs->GetDirectArray().Add(KgeUVVector(0, 0));
    mesh->GetLayer(1)->SetUVsOfType(uvs, 3);
    const std::string model = ModelOf("Body");
    EXPECT_EQ(CountOf(model, "GeometryLayer: "), 1);
    const std::string extra = Block(model, "GeometryLayer: ");
    EXPECT_TRUE(Has(extra, "LayerIndex: 0"));
    EXPECT_TRUE(Has(extra, "TextureMode: 2\n            TextureIdCount: 1\n            TextureId: 0\n")) << extra;
    // The UV element by polygon is dropped to no mapping, also on the scene.
    EXPECT_TRUE(Has(extra, "UVMode: 0"));
    EXPECT_EQ(uvs->GetMappingMode(), KDuzLayerElement::eNone);
    EXPECT_TRUE(Has(model, "Texture: \"Texture::Wood\""));
    EXPECT_TRUE(Has(model, "TextureMode: \"ByModel\""));

    // A patch writes every texture layer as a "GeometryLayer".
    auto* patch = KDuzPatch::Create(manager, "");
    ASSERT_TRUE(patch->InitControlPoints(2, 0, 2, 0));
    addTextures(patch, 0, 0);
    addTextures(patch, 1, 0);
    Node("Patch", patch);
    const std::string patchModel = ModelOf("Patch");
    EXPECT_EQ(CountOf(patchModel, "GeometryLayer: "), 2);
    EXPECT_TRUE(Has(patchModel, "PatchType: \"Bezier\", \"Bezier\""));
}

TEST_F(Duz5RecordsTest, NurbsWriteUnitWeightsAndTheirForms) {
    auto* nurb = KDuzNurb::Create(manager, "");
    nurb->SetOrder(2, 2);
    ASSERT_TRUE(nurb->InitControlPoints(2, eNurbClosed, 2, eNurbOpen));
    for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i] = KgeTVector(i, 0, 0, 0.25);
    Node("Surface", nurb);
    const std::string model = ModelOf("Surface");
    EXPECT_TRUE(Has(model, "Type: \"Nurb\""));
    EXPECT_TRUE(Has(model, "Form: \"Closed\", \"Open\""));
    EXPECT_TRUE(Has(model, "Points: 0,0,0,1,1,0,0,1,2,0,0,1,3,0,0,1\n")) << model;
    EXPECT_TRUE(Has(model, "NurbOrder: 2,2"));
}

TEST_F(Duz5RecordsTest, ShapesWriteTheirChangedPoints) {
    KDuzMesh* mesh = Mesh("Face", 2);
    auto* same = KDuzShape::Create(manager, "");
    same->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) same->GetControlPoints()[i] = mesh->GetControlPoints()[i];
    ASSERT_EQ(mesh->AddShape(same, "Same"), 0);
    auto* smile = KDuzShape::Create(manager, "");
    smile->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) smile->GetControlPoints()[i] = mesh->GetControlPoints()[i];
    smile->GetControlPoints()[2] = mesh->GetControlPoints()[2] + KgeTVector(0, 1, 0, 0);
    ASSERT_EQ(mesh->AddShape(smile, "Smile"), 1);
    const std::string model = ModelOf("Face");
    const std::string unchanged = Block(model, "Shape: \"Same\"");
    EXPECT_TRUE(Has(unchanged, "Indexes: 0\n"));
    EXPECT_TRUE(Has(unchanged, "Vertices: 0,0,0\n"));
    EXPECT_TRUE(Has(unchanged, "Normals: 0,0,0\n"));
    const std::string changed = Block(model, "Shape: \"Smile\"");
    EXPECT_TRUE(Has(changed, "Indexes: 2\n"));
    EXPECT_TRUE(Has(changed, "Vertices: 0,1,0\n")) << changed;
}

// ---- skin links and poses ---------------------------------------------------------

TEST_F(Duz5RecordsTest, SkinLinksNeedALinkNode) {
    KDuzMesh* mesh = Mesh("Body", 2);
    KDuzNode* bone = Node("Bone");
    auto* skin = KDuzSkin::Create(manager, "");
    mesh->AddDeformer(skin);
    auto* linked = KDuzCluster::Create(manager, "Linked");
    linked->SetLink(bone);
    linked->SetLinkMode(0);
    linked->AddControlPointIndex(1, 0.5);
    skin->ConnectSrcObject(linked);
    auto* loose = KDuzCluster::Create(manager, "Loose");
    loose->SetLinkMode(2);
    skin->ConnectSrcObject(loose);
    const std::string model = ModelOf("Body");
    EXPECT_EQ(CountOf(model, "\n    Link: "), 1);
    const std::string link = Block(model, "\n    Link: ");
    // The value names the linked model, which is how readers find it.
    EXPECT_TRUE(Has(link, "Link: \"Model::Bone\" {"));
    EXPECT_TRUE(Has(link, "Indexes: 1\n"));
    EXPECT_TRUE(Has(link, "Weights: 0.5\n"));
    // Link mode 0 writes no "Mode".
    EXPECT_FALSE(Has(link, "Mode: ")) << link;
    EXPECT_TRUE(Has(link, "TransformLink: "));
    EXPECT_FALSE(Has(link, "AssociateModel"));
}

TEST_F(Duz5RecordsTest, BindPosesHaveNoLocalFlags) {
    KDuzNode* body = Node("Body");
    auto* bind = KDuzPose::Create(manager, "Bind");
    bind->SetIsBindPose(true);
    bind->Add(body, KgeMatrix());
    scene->ConnectSrcObject(bind);
    auto* rest = KDuzPose::Create(manager, "Rest");
    rest->SetIsBindPose(false);
    rest->Add(body, KgeMatrix(), true);
    scene->ConnectSrcObject(rest);
    const std::string persistence = Block(Duz5Ascii(), "SceneGenericPersistence: ");
    const std::string bindBlock = Block(persistence, "Type: \"BindPose\"");
    EXPECT_TRUE(Has(persistence, "Type: \"BindPose\""));
    EXPECT_TRUE(Has(persistence, "Type: \"RestPose\""));
    EXPECT_EQ(CountOf(persistence, "Local: "), 1);
    EXPECT_EQ(CountOf(persistence, "NbPoseNodes: 1"), 2);
    EXPECT_TRUE(Has(persistence, "Node: \"Model::Body\""));
}

// ---- takes ----------------------------------------------------------------------

TEST_F(Duz5RecordsTest, OnlyTheDefaultTakeWritesNoTakeBlock) {
    Node("Still");
    const std::string takes = Block(Duz5Ascii(), "Takes: ");
    EXPECT_TRUE(Has(takes, "Current: "));
    EXPECT_FALSE(Has(takes, "Take: "));
}

TEST_F(Duz5RecordsTest, TakesAndTheirFileNamesAndSpans) {
    KDuzNode* node = Node("Mover");
    node->CreateTakeNode("Walk Cycle\t2");
    KDuzTakeNode* second = node->CreateTakeNode("Jump");
    second->GetTranslationXCurve()->KeySet(0, KTime(2 * KTime::kTicksPerSecond), 1.0f);
    second->GetTranslationXCurve()->KeySet(1, KTime(3 * KTime::kTicksPerSecond), 2.0f);
    node->CreateTakeNode("Hidden");
    KDuzTakeDescription hidden;
    hidden.name = "Hidden";
    hidden.select = false;
    scene->SetTakeDescription(hidden);
    const std::string takes = Block(Duz5Ascii(), "Takes: ");
    EXPECT_TRUE(Has(takes, "FileName: \"Walk_Cycle_2.tak\""));
    const std::string second_ = std::to_string(KTime::kTicksPerSecond);
    const std::string walk = Block(takes, "Take: \"Walk Cycle\t2\"");
    EXPECT_TRUE(Has(walk, "LocalTime: 0," + second_ + "\n")) << walk;
    EXPECT_TRUE(Has(walk, "ReferenceTime: 0," + second_ + "\n"));
    const KDuzTakeDescription* stored = scene->GetTakeDescription(KString("Walk Cycle\t2"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->localStop.Get(), KTime::kTicksPerSecond);
    // The running span carries over: the second take covers the first's span too.
    EXPECT_TRUE(Has(Block(takes, "Take: \"Jump\""), "LocalTime: 0," + std::to_string(3 * KTime::kTicksPerSecond) + "\n"));
    EXPECT_FALSE(Has(takes, "Take: \"Hidden\""));
    const std::string jump = Block(takes, "Take: \"Jump\"");
    EXPECT_TRUE(Has(Block(jump, "Model: \"Model::Mover\""), "Version: 1.1"));
    EXPECT_TRUE(Has(jump, "Channel: \"Transform\""));
}

TEST_F(Duz5RecordsTest, ShininessIsWrittenInPercentAndComesBackExactly) {
    auto* material = KDuzSurfacePhong::Create(manager, "Shiny");
    scene->ConnectSrcObject(material);
    // An animatable "Shininess" channel, as older files carry it.
    KDuzProperty shininess(manager, "Shininess", PropertyDataTypeFromName("Number"));
    shininess.ModifyFlag(kDuzPropertyAnimatable, true);
    material->AddProperty(shininess);
    KDuzTakeNode* take = material->CreateTakeNode("Glow");
    KFCurveNode* node = KDuzTakeNodeContainer::FindPropertyCurveNode(take, "Shininess");
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->GetCurve(), nullptr);
    node->GetCurve()->KeySet(0, KTime(0), 0.3f);
    node->GetCurve()->KeySet(1, KTime(KTime::kTicksPerSecond), 0.5f);
    Node("Holder")->CreateTakeNode("Glow");
    const float before[2] = {node->GetCurve()->KeyGetValue(0), node->GetCurve()->KeyGetValue(1)};
    const std::string takes = Block(Duz5Ascii(), "Take: \"Glow\"");
    const std::string block = Block(takes, "Material: \"Material::Shiny\"");
    EXPECT_TRUE(Has(block, "50")) << block;
    EXPECT_EQ(node->GetCurve()->KeyGetValue(0), before[0]);
    EXPECT_EQ(node->GetCurve()->KeyGetValue(1), before[1]);
}
