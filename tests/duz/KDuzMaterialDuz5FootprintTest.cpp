// Version 5 files and materials: the writer reads a material's values
// without making handles and writes what it wrote with every handle made;
// the reader, from material records and from the inline materials of old
// files, stores the values without handles.
#include "KDuzWriterDuzTestSupport.h"
#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "support/MaterialHandles.h"

#include <fstream>
#include <memory>
#include <string>

namespace duzsdk {
namespace {

using Vector3 = duzVectorTemplate3<double>;

class Duz5MaterialFootprint : public duztest::Duz5WriterTestBase {
protected:
    // A triangle node with a Phong and a plain material; every Phong value
    // away from its default, set without handles.
    void AddModel() {
        phong = KDuzSurfacePhong::Create(manager, "Shiny");
        for (int id = eMaterialEmissiveColor; id < eMaterialPropertyCount; ++id) {
            const auto which = static_cast<EDuzMaterialProperty>(id);
            phong->SetBuiltInDouble(which, 0.25 + 0.0625 * id);
            phong->SetBuiltInDouble3(which, Vector3(0.03125 * id, 0.5, 1.0 - 0.03125 * id));
        }
        plain = KDuzSurfaceMaterial::Create(manager, "Plain");
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(3);
        for (int i = 0; i < 3; ++i) mesh->GetControlPoints()[i] = KgeTVector(i, i * i, 0.0, 1.0);
        mesh->BeginPolygon();
        for (int i = 0; i < 3; ++i) mesh->AddPolygon(i);
        mesh->EndPolygon();
        mesh->InitMaterialIndices(KDuzLayerElement::eAllSame);
        mesh->AddMaterial(phong);
        mesh->AddMaterial(plain);
        KDuzNode* node = KDuzNode::Create(manager, "Tri");
        node->SetNodeAttribute(mesh);
        node->ConnectSrcObject(phong);
        node->ConnectSrcObject(plain);
        scene->GetRootNode()->AddChild(node);
    }

    KDuzSurfacePhong* phong = nullptr;
    KDuzSurfaceMaterial* plain = nullptr;
};

KDuzSurfaceMaterial* MaterialNamed(KDuzScene* scene, const char* name) {
    for (int i = 0; i < scene->GetSrcObjectCount(KDuzSurfaceMaterial::ClassId()); ++i) {
        auto* material = dynamic_cast<KDuzSurfaceMaterial*>(scene->GetSrcObject(KDuzSurfaceMaterial::ClassId(), i));
        if (material != nullptr && std::string(material->GetName()) == name) return material;
    }
    return nullptr;
}

TEST_F(Duz5MaterialFootprint, WrittenAndReadWithoutHandles) {
    AddModel();
    const std::string lean = PathOf("lean.duz");
    ASSERT_TRUE(WriteDuz5(scene, lean, KDuzWriterDuz::eAscii)) << lastExportError;
    EXPECT_EQ(duztest::MadeBuiltIns(phong), "");
    EXPECT_EQ(duztest::MadeBuiltIns(plain), "");
    // With every handle made the materials are written the same.
    duztest::MakeEveryHandle(phong);
    duztest::MakeEveryHandle(plain);
    const std::string full = PathOf("full.duz");
    ASSERT_TRUE(WriteDuz5(scene, full, KDuzWriterDuz::eAscii)) << lastExportError;
    const std::string leanText = duztest::ReadFileBytes(lean);
    for (const char* head : {"Material: \"Material::Shiny\"", "Material: \"Material::Plain\""}) {
        const std::string block = Block(leanText, head);
        EXPECT_FALSE(block.empty()) << head;
        EXPECT_EQ(block, Block(duztest::ReadFileBytes(full), head)) << head;
    }

    KDuzScene* read = Import(lean);
    ASSERT_NE(read, nullptr) << lastImportError;
    KDuzSurfaceMaterial* back = MaterialNamed(read, "Shiny");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(duztest::MadeBuiltIns(back), "");
    EXPECT_GT(duztest::ListedBuiltIns(back), 0);
    EXPECT_STREQ(back->GetShadingModelText().Buffer(), "phong");
    // The file holds each colour times its factor; it comes back with a factor of one.
    const Vector3 diffuse = phong->GetBuiltInDouble3(eMaterialDiffuseColor);
    const double factor = phong->GetBuiltInDouble(eMaterialDiffuseFactor);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back->GetBuiltInDouble3(eMaterialDiffuseColor)[k], diffuse[k] * factor, 1e-12);
    EXPECT_EQ(back->GetBuiltInDouble(eMaterialDiffuseFactor), 1.0);
    EXPECT_NEAR(back->GetBuiltInDouble(eMaterialShininessExponent),
                phong->GetBuiltInDouble(eMaterialShininessExponent), 1e-12);
}

// The handles a node has made; a write is to add none.
int MadeHandles(const KDuzObject* object) {
    int made = 0;
    for (int i = 0; i < object->GetPropertyCount(); ++i) made += object->IsPropertyHandleMade(i) ? 1 : 0;
    return made;
}

// The model records read the node's properties without handles: the walk
// for user properties, and in the layered layout the "Properties" block
// over every property, leave them unmade (the record still asks for its
// transform and a few others by name). A user property is still written.
TEST_F(Duz5MaterialFootprint, ModelsAreWrittenWithoutNodeHandles) {
    AddModel();
    KDuzNode* node = scene->GetRootNode()->GetChild(0);
    KDuzProperty tag = KDuzProperty::Create(node, "Tag", PropertyDataTypeFromName("Number"));
    tag.ModifyFlag(kDuzPropertyUser, true);
    const double value = 0.625;
    ASSERT_TRUE(tag.SetValue(&value, eValueKindDouble));
    int made = -1;
    for (const bool layered : {false, true}) {
        SCOPED_TRACE(layered ? "layered" : "version 5 layout");
        const std::string path = PathOf(layered ? "layered.duz" : "five.duz");
        IDuzObject* file = IDuzObject::Create();
        file->SetPropertyFormatFlag(!layered);
        ASSERT_TRUE(file->ProjectCreateFile(path.c_str(), false, false));
        KDuzWriterDuz writer(manager, nullptr);
        EXPECT_TRUE(writer.WriteScene(scene, WriteOptions(), file));
        file->ProjectClose();
        file->Destroy();
        if (made < 0) made = MadeHandles(node);
        EXPECT_LT(MadeHandles(node), node->GetPropertyCount() / 4);
        EXPECT_EQ(MadeHandles(node), made);
        const std::string model = Block(duztest::ReadFileBytes(path), "Model: \"Model::Tri\"");
        EXPECT_TRUE(Has(Block(model, "UserProperty: "), "0.625")) << model;
        EXPECT_EQ(Has(model, "Properties: "), layered);
    }
}

// A material inline in an old model record: its fields become values
// without handles, shininess scaled as the old sections stored it.
TEST_F(Duz5MaterialFootprint, InlineMaterialsOfOldFilesMakeNoHandles) {
    const std::string path = PathOf("old.duz");
    std::ofstream(path, std::ios::binary) << "; DUZ 2.0.0 project file\n"
                                             "Model: \"Model::Box\" {\n"
                                             "    Vertices: 0,0,0, 1,0,0, 1,1,0\n"
                                             "    PolygonVertexIndex: 0,1,-3\n"
                                             "    Material: \"Material::Red\" {\n"
                                             "        ShadingModel: \"Lambert\"\n"
                                             "        Diffuse: 1,0.5,0\n"
                                             "        Specular: 0.25,0.25,0.25\n"
                                             "        Shininess: 12.8\n"
                                             "        Reflectivity: 0.5\n"
                                             "        Alpha: 0.25\n"
                                             "    }\n"
                                             "    MaterialAssignation: \"AllSame\"\n"
                                             "    Materials: 0\n"
                                             "}\n";
    KDuzReaderDuz reader(manager, nullptr);
    ASSERT_TRUE(reader.FileOpen(path.c_str())) << reader.GetLastErrorString();
    KDuzStreamOptionsDuzReader* options = KDuzStreamOptionsDuzReader::Create(manager, "");
    options->Reset();
    ASSERT_TRUE(reader.Read(scene, options)) << reader.GetLastErrorString();
    options->Destroy();
    KDuzNode* box = scene->GetRootNode()->FindChild("Box");
    ASSERT_NE(box, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(box->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetMaterialCount(), 1);
    KDuzSurfaceMaterial* red = mesh->GetMaterial(0);
    EXPECT_EQ(duztest::MadeBuiltIns(red), "");
    EXPECT_STREQ(red->GetShadingModelText().Buffer(), "lambert");
    const Vector3 diffuse = red->GetBuiltInDouble3(eMaterialDiffuseColor);
    EXPECT_EQ(diffuse[1], 0.5);
    EXPECT_EQ(red->GetBuiltInDouble3(eMaterialSpecularColor)[0], 0.25);
    EXPECT_NEAR(red->GetBuiltInDouble(eMaterialShininessExponent), 10.0, 1e-12);
    EXPECT_EQ(red->GetBuiltInDouble(eMaterialReflectionFactor), 0.5);
    EXPECT_EQ(red->GetBuiltInDouble3(eMaterialReflectionColor)[2], 1.0);
    EXPECT_EQ(red->GetBuiltInDouble(eMaterialTransparencyFactor), 0.75);
    EXPECT_EQ(red->GetBuiltInDouble3(eMaterialTransparentColor)[0], 1.0);
    // A handle asked for now shows the same.
    EXPECT_EQ(static_cast<KDuzSurfaceLambert*>(red)->GetDiffuseColor().GetDouble3()[0], 1.0);
}

}  // namespace
}  // namespace duzsdk
