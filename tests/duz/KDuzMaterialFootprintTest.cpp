// A material made, written or read keeps its built-in values without
// properties or handles; a caller asking for one gets a working handle that
// shows what an early one did, read mark included.
#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "support/SceneDump.h"

#include <cmath>
#include <fstream>
#include <string>

namespace duzsdk {
namespace {

using Vector3 = duzVectorTemplate3<double>;

// Per built-in: whether its handle is made, and whether its internal property is.
std::string MadeMap(const KDuzSurfaceMaterial* material) {
    std::string map;
    const KObject* internal = material->GetInternalObject();
    for (int i = 0; i < material->GetPropertyCount(); ++i) {
        map += material->IsPropertyHandleMade(i) ? 'H' : '-';
        map += i < internal->GetPropertyCount() && internal->PeekProperty(i) != nullptr ? 'P' : '-';
    }
    return map;
}

KDuzSurfacePhong* FirstPhong(KDuzScene* scene) {
    for (int i = 0; i < scene->GetSrcObjectCount(KDuzSurfaceMaterial::ClassId()); ++i) {
        if (auto* phong = dynamic_cast<KDuzSurfacePhong*>(scene->GetSrcObject(KDuzSurfaceMaterial::ClassId(), i)))
            return phong;
    }
    return nullptr;
}

class MaterialFootprint : public duztest::WriterTestBase, public ::testing::WithParamInterface<int> {
protected:
    // A cube-less node with a Phong of its own, one colour changed without a handle.
    KDuzSurfacePhong* AddMaterial() {
        KDuzNode* node = KDuzNode::Create(manager, "Holder");
        scene->GetRootNode()->AddChild(node);
        auto* phong = KDuzSurfacePhong::Create(manager, "Shiny");
        node->ConnectSrcObject(phong);
        phong->SetShadingModelText(KString("Phong"));
        phong->SetMultiLayerValue(true);
        return phong;
    }
};

TEST_P(MaterialFootprint, MadeWrittenAndReadWithoutHandles) {
    KDuzSurfacePhong* phong = AddMaterial();
    const std::string unmade(2 * eMaterialPropertyCount, '-');
    EXPECT_EQ(MadeMap(phong), unmade);
    const std::string lean = PathOf("lean.duz");
    ASSERT_TRUE(Export(scene, lean, GetParam())) << lastExportError;
    EXPECT_EQ(MadeMap(phong), unmade);

    KDuzScene* read = Import(lean);
    ASSERT_NE(read, nullptr);
    KDuzSurfacePhong* back = FirstPhong(read);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(MadeMap(back), unmade);
    EXPECT_TRUE(back->GetMultiLayerValue());
    EXPECT_EQ(back->GetShininessExponent().GetDouble(), 20.0);

    // With every handle made the same scene writes the same scene.
    for (int i = 0; i < phong->GetPropertyCount(); ++i) ASSERT_TRUE(phong->GetPropertyAt(i).IsValid());
    const std::string full = PathOf("full.duz");
    ASSERT_TRUE(Export(scene, full, GetParam())) << lastExportError;
    KDuzScene* fullRead = Import(full);
    ASSERT_NE(fullRead, nullptr);
    EXPECT_EQ(duztest::DumpScene(*read), duztest::DumpScene(*fullRead));
}

TEST_P(MaterialFootprint, ValuesChangedThroughHandlesTravel) {
    KDuzSurfacePhong* phong = AddMaterial();
    const Vector3 diffuse(0.125, 0.5, -2.0);
    ASSERT_TRUE(phong->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3));
    const double shininess = 7.25;
    ASSERT_TRUE(phong->GetShininessExponent().SetValue(&shininess, eValueKindDouble));
    // Asked for, and only those.
    EXPECT_TRUE(phong->IsPropertyHandleMade(eMaterialDiffuseColor));
    EXPECT_FALSE(phong->IsPropertyHandleMade(eMaterialAmbientColor));

    KDuzScene* read = RoundTrip(scene, GetParam());
    ASSERT_NE(read, nullptr);
    KDuzSurfacePhong* back = FirstPhong(read);
    ASSERT_NE(back, nullptr);
    EXPECT_FALSE(back->IsPropertyHandleMade(eMaterialDiffuseColor));
    const Vector3 value = back->GetBuiltInDouble3(eMaterialDiffuseColor);
    EXPECT_EQ(value[0], 0.125);
    EXPECT_EQ(value[1], 0.5);
    EXPECT_EQ(value[2], -2.0);
    EXPECT_EQ(back->GetBuiltInDouble(eMaterialShininessExponent), 7.25);
    // The handle made late reads and writes the same value.
    KDuzProperty handle = back->GetDiffuseColor();
    EXPECT_EQ(handle.GetDouble3()[2], -2.0);
    const Vector3 green(0.0, 1.0, 0.0);
    ASSERT_TRUE(handle.SetValue(&green, eValueKindDouble3));
    EXPECT_EQ(back->GetBuiltInDouble3(eMaterialDiffuseColor)[1], 1.0);
    EXPECT_EQ(back->FindProperty("DiffuseColor").GetDouble3()[1], 1.0);
}

INSTANTIATE_TEST_SUITE_P(Formats, MaterialFootprint, ::testing::Values(duztest::kBinary, duztest::kAscii),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(duztest::FormatName(info.param));
                         });

// A built-in the file held carries the read mark on its internal property
// (flag 8), one the file did not hold does not; the public flags are the
// built-in ones either way, as with handles made with the material.
class MaterialReadMark : public duztest::WriterTestBase {};

TEST_F(MaterialReadMark, OnlyPropertiesTheFileHeldAreMarked) {
    const std::string path = PathOf("marks.duz");
    {
        std::ofstream out(path, std::ios::binary);
        out << "; DUZ 6.1.0 project file\n"
               "Definitions:  {\n    Version: 100\n    Count: 1\n"
               "    ObjectType: \"Material\" {\n        Count: 1\n    }\n}\n"
               "Objects:  {\n"
               "    Material: \"Material::marked\", \"\" {\n        Version: 102\n"
               "        ShadingModel: \"phong\"\n        MultiLayer: 0\n        Properties60:  {\n"
               "            Property: \"DiffuseColor\", \"ColorRGB\", \"\",0.7,0.5,0.3\n"
               "            Property: \"SpecularColor\", \"ColorRGB\", \"\",0.2,0.2,0.2\n"
               "        }\n    }\n}\n";
    }
    KDuzScene* read = Import(path);
    ASSERT_NE(read, nullptr);
    KDuzSurfacePhong* phong = FirstPhong(read);
    ASSERT_NE(phong, nullptr);
    EXPECT_EQ(MadeMap(phong), std::string(2 * eMaterialPropertyCount, '-'));
    struct Case {
        EDuzMaterialProperty id;
        int mark;
    };
    // Changed, the same as before, and not in the file.
    for (const Case& c : {Case{eMaterialDiffuseColor, 8}, Case{eMaterialSpecularColor, 8}, Case{eMaterialBump, 0}}) {
        KDuzProperty handle = phong->GetBuiltIn(c.id);
        SCOPED_TRACE(handle.GetName());
        ASSERT_NE(handle.GetBoundProperty(), nullptr);
        EXPECT_EQ(handle.GetBoundProperty()->GetPropertyFlags(), c.mark);
        EXPECT_EQ(handle.GetFlags(), kDuzPropertyBuiltIn);
        EXPECT_TRUE(std::isinf(handle.GetMinLimit()) && handle.GetMinLimit() < 0);
        EXPECT_TRUE(std::isinf(handle.GetMaxLimit()) && handle.GetMaxLimit() > 0);
    }
    EXPECT_EQ(phong->GetDiffuseColor().GetDouble3()[0], 0.7);
}

}  // namespace
}  // namespace duzsdk
