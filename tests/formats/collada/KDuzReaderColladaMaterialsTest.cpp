// Images, effects and materials: shader classes, the parameter map, texture
// references with their MAYA extra, image paths and material clones.
#include "ColladaReaderFixture.h"

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"

namespace colladatest {
namespace {

std::string Effect(const std::string& id, const std::string& shader, const std::string& parameters) {
    return "<effect id=\"" + id + "\"><profile_COMMON><technique sid=\"t\"><" + shader + ">" + parameters + "</" +
           shader + "></technique></profile_COMMON></effect>";
}

std::string Libraries(const std::string& effects, const std::string& materials, const std::string& images = "") {
    return "<library_images>" + images + "</library_images><library_effects>" + effects +
           "</library_effects><library_materials>" + materials + "</library_materials>";
}

std::string Material(const std::string& id, const std::string& effect) {
    return "<material id=\"" + id + "\"><instance_effect url=\"#" + effect + "\"/></material>";
}

class ColladaMaterialTest : public ColladaReaderTest {
protected:
    // The first material object of that class named so.
    KDuzSurfaceMaterial* Find(const KClassId& id, const char* name) {
        for (int i = 0; i < manager->GetObjectCount(id); ++i) {
            auto* material = dynamic_cast<KDuzSurfaceMaterial*>(manager->GetObject(id, i));
            if (material != nullptr && std::string(material->GetName()) == name) return material;
        }
        return nullptr;
    }
    KDuzTexture* Texture(int index) {
        return dynamic_cast<KDuzTexture*>(manager->GetObject(KDuzTexture::ClassId(), index));
    }
    static std::vector<double> Get3(KDuzProperty property) {
        double v[3] = {-9, -9, -9};
        property.GetValue(v, eValueKindDouble3);
        return {v[0], v[1], v[2]};
    }
    static double Get1(KDuzProperty property) {
        double v = -9;
        property.GetValue(&v, eValueKindDouble);
        return v;
    }
};

TEST_F(ColladaMaterialTest, ShaderClassAndParameterMap) {
    ASSERT_TRUE(Read(Doc(Libraries(
        Effect("ph", "PHONG",
               "<diffuse><color>0.5 0.25 2 0.5</color></diffuse><specular><color>0.1 0.2 0.3</color></specular>"
               "<shininess><float>20</float></shininess><reflective><color>1 0 0</color></reflective>"
               "<reflectivity><float>0.5</float></reflectivity><transparent><color>0 1 0</color></transparent>"
               "<transparency><float>0.25</float></transparency><index_of_refraction><float>1.3</float>"
               "</index_of_refraction><Diffuse><color>0 0 0</color></Diffuse>") +
            Effect("la", "Lambert",
                   "<ambient><color/></ambient><specular><color>1 1 1</color></specular>"
                   "<transparent><color>0 0 1</color></transparent>") +
            Effect("bl", "blinn",
                   "<specular><color>2 -1 0.5</color></specular><shininess><float>8</float></shininess>"
                   "<transparent><color>0 0 1</color></transparent><transparency><float>0.5</float>"
                   "</transparency>"),
        Material("mph", "ph") + Material("mla", "la") + Material("mbl", "bl")))))
        << AllSaid();

    auto* phong = dynamic_cast<KDuzSurfacePhong*>(Find(KDuzSurfacePhong::ClassId(), "mph"));
    ASSERT_NE(phong, nullptr);
    EXPECT_EQ(Get3(phong->GetDiffuseColor()), (std::vector<double>{0.5, 0.25, 2}));   // kept as read
    EXPECT_EQ(Get1(phong->GetDiffuseFactor()), 1.0);
    EXPECT_EQ(Get1(phong->GetShininessExponent()), 20.0);
    EXPECT_EQ(Get3(phong->GetReflectionColor()), (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(Get1(phong->GetReflectionFactor()), 0.5);
    EXPECT_EQ(Get3(phong->GetTransparentColor()), (std::vector<double>{0, 1, 0}));
    EXPECT_EQ(Get1(phong->GetTransparencyFactor()), 0.25);

    auto* lambert = dynamic_cast<KDuzSurfaceLambert*>(Find(KDuzSurfaceLambert::ClassId(), "mla"));
    ASSERT_NE(lambert, nullptr);
    EXPECT_FALSE(lambert->Is(KDuzSurfacePhong::ClassId()));
    EXPECT_EQ(Get3(lambert->GetAmbientColor()), (std::vector<double>{1, 1, 1}));   // empty colour: white
    EXPECT_EQ(Get3(lambert->GetTransparentColor()), (std::vector<double>{0, 0, 1}));

    KDuzSurfaceMaterial* blinn = Find(KDuzSurfaceMaterial::ClassId(), "mbl");
    ASSERT_NE(blinn, nullptr);
    KString model;
    blinn->GetShadingModel().GetValue(&model, eValueKindString);
    EXPECT_EQ(model, "blinn");
    EXPECT_EQ(Get3(blinn->FindProperty("SpecularColor")), (std::vector<double>{1, 0, 0.5}));   // clamped
    EXPECT_EQ(Get1(blinn->FindProperty("ShininessExponent")), 8.0);
    EXPECT_EQ(Get1(blinn->FindProperty("TransparencyFactor")), 0.5);

    EXPECT_EQ(CountSaid("Material parameter not supported: index_of_refraction"), 1);
    EXPECT_TRUE(Said("Warning: Material parameter not supported: transparent"));   // blinn
    EXPECT_FALSE(Said("Diffuse"));   // unknown names pass silently
}

TEST_F(ColladaMaterialTest, ImagePathsAndTextureExtras) {
    struct Case {
        const char* initFrom;
        const char* fileName;
        bool warns;
    };
    const Case cases[] = {
        {"file:///C|/maps/a.png", "C:/maps/a.png", false},
        {"file:///data/maps/a.png", "/data/maps/a.png", false},
        {"file://maps/a.png", "maps/a.png", false},
        {"./maps/a.png", "maps/a.png", false},
        {"../maps/a.png", "../maps/a.png", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.initFrom);
        const int before = manager->GetObjectCount(KDuzTexture::ClassId());
        ASSERT_TRUE(Read(Doc(Libraries(
            Effect("fx", "lambert",
                   "<diffuse><texture texture=\"img\" texcoord=\"anything\"><extra><technique profile=\"MAYA\">"
                   "<wrapU>false</wrapU><wrapV>TRUE</wrapV><blend_mode>Add</blend_mode><mirrorU>1</mirrorU>"
                   "</technique></extra></texture></diffuse>"),
            Material("m", "fx"), std::string("<image id=\"img\"><init_from>") + c.initFrom + "</init_from></image>"))))
            << AllSaid();
        EXPECT_EQ(Said("does not begin with"), c.warns);
        ASSERT_EQ(manager->GetObjectCount(KDuzTexture::ClassId()), before + 2);   // the image's and the reference's
        KDuzTexture* texture = Texture(before + 1);
        EXPECT_STREQ(texture->GetFileName(), c.fileName);
        EXPECT_EQ(texture->GetWrapModeU(), 1);
        EXPECT_EQ(texture->GetWrapModeV(), 0);
        EXPECT_EQ(texture->GetBlendMode(), 1);
        EXPECT_TRUE(Said("Warning: this texture parameter not supported: mirrorU"));
    }
}

TEST_F(ColladaMaterialTest, TexturesBindToTheFirstMaterialOfTheirEffect) {
    const std::string tri = "<input semantic=\"VERTEX\" source=\"#v\"/><p>0 1 2</p>";
    ASSERT_TRUE(Read(Doc(
        Libraries(Effect("fx", "phong",
                         "<diffuse><texture texture=\"img\"/></diffuse>"
                         "<specular><texture texture=\"img\"/><texture texture=\"nothere\"/></specular>"),
                  Material("first", "fx") + Material("second", "fx"),
                  "<image id=\"img\"><init_from>./a.png</init_from></image>") +
        "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array>0 0 0 1 0 0 0 1 0"
        "</float_array><technique_common><accessor count=\"3\" stride=\"3\"/></technique_common></source>"
        "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>"
        "<triangles material=\"first\">" + tri + "</triangles><triangles material=\"second\">" + tri +
        "</triangles></mesh></geometry></library_geometries>" +
        Scene("<node id=\"n\"><instance_geometry url=\"#g\"><bind_material><technique_common>"
              "<instance_material symbol=\"first\" target=\"#first\"/>"
              "<instance_material symbol=\"second\" target=\"#second\"/>"
              "<instance_material symbol=\"third\" target=\"#first\"/>"
              "</technique_common></bind_material></instance_geometry></node>"))))
        << AllSaid();
    EXPECT_TRUE(Said("Warning: Image not found: nothere. The texture is not read."));   // the effect is read all the same
    EXPECT_TRUE(Said("Warning: material of symbol third not found for node n"));
    auto* mesh = dynamic_cast<KDuzMesh*>(Node("n")->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    const KDuzLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    ASSERT_EQ(materials->GetDirectArray().Count(), 2);
    EXPECT_STREQ(materials->GetDirectArray()[0]->GetName(), "first");
    EXPECT_TRUE(materials->GetDirectArray()[1]->Is(KDuzSurfacePhong::ClassId()));
    for (int channel : {3, 15}) {
        SCOPED_TRACE(channel);
        const KDuzLayerElementTexture* textures = mesh->GetLayer(0)->GetTexturesOfType(channel);
        ASSERT_NE(textures, nullptr);
        EXPECT_EQ(textures->GetMappingMode(), KDuzLayerElement::eByPolygon);
        ASSERT_EQ(textures->GetIndexArray().Count(), 2);
        EXPECT_EQ(textures->GetIndexArray()[0], 0);
        EXPECT_EQ(textures->GetIndexArray()[1], -1);   // the second material got no bindings
    }
}

// The shape other tools write: geometries before materials, primitives
// named by the material's id, textures through a sampler, and images
// declared in the effect or its profile. A texture takes the image's name,
// or its id when it has none.
TEST_F(ColladaMaterialTest, TexturesOfMaterialsNamedByIdAndImagesInsideTheEffect) {
    const std::string sampler =
        "<newparam sid=\"surf\"><surface type=\"2D\"><init_from>img</init_from></surface></newparam>"
        "<newparam sid=\"samp\"><sampler2D><source>surf</source></sampler2D></newparam>";
    const std::string image = "<image id=\"img\"><init_from>./tex/a.png</init_from></image>";
    const std::string technique =
        "<technique sid=\"t\"><phong><diffuse><texture texture=\"samp\" texcoord=\"UV0\"/></diffuse></phong>"
        "</technique>";
    const std::string named = "<image id=\"img\" name=\"Bark\"><init_from>./tex/a.png</init_from></image>";
    struct Case {
        const char* where;
        std::string effect;
        std::string images;
        const char* texture;
    };
    const Case cases[] = {
        {"image in the profile", "<effect id=\"fx\"><profile_COMMON>" + image + sampler + technique +
                                     "</profile_COMMON></effect>", "", "img"},
        {"image in the effect", "<effect id=\"fx\">" + image + "<profile_COMMON>" + sampler + technique +
                                    "</profile_COMMON></effect>", "", "img"},
        {"image in the library", "<effect id=\"fx\"><profile_COMMON>" + sampler + technique +
                                     "</profile_COMMON></effect>", image, "img"},
        {"named image in the profile", "<effect id=\"fx\"><profile_COMMON>" + named + sampler + technique +
                                           "</profile_COMMON></effect>", "", "Bark"},
        {"named image in the library", "<effect id=\"fx\"><profile_COMMON>" + sampler + technique +
                                           "</profile_COMMON></effect>", named, "Bark"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        scene = KDuzScene::Create(manager, "");
        const std::string tri = "<input semantic=\"VERTEX\" source=\"#v\" offset=\"0\"/>"
                                "<input semantic=\"TEXCOORD\" source=\"#uv\" offset=\"1\" set=\"0\"/>"
                                "<p>0 0 1 1 2 2</p>";
        ASSERT_TRUE(Read(Doc(
            "<library_effects>" + c.effect + "</library_effects>" +
            "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array count=\"9\">"
            "0 0 0 1 0 0 0 1 0</float_array><technique_common><accessor count=\"3\" stride=\"3\"/>"
            "</technique_common></source><source id=\"uv\"><float_array count=\"6\">0 0 1 0 0 1</float_array>"
            "<technique_common><accessor count=\"3\" stride=\"2\"/></technique_common></source>"
            "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>"
            "<triangles material=\"mat\" count=\"1\">" + tri + "</triangles></mesh></geometry></library_geometries>" +
            (c.images.empty() ? "" : "<library_images>" + c.images + "</library_images>") +
            "<library_materials>" + Material("mat", "fx") + "</library_materials>" +
            Scene("<node id=\"n\"><instance_geometry url=\"#g\"><bind_material><technique_common>"
                  "<instance_material symbol=\"mat\" target=\"#mat\"><bind_vertex_input semantic=\"UV0\" "
                  "input_semantic=\"TEXCOORD\" input_set=\"0\"/></instance_material>"
                  "</technique_common></bind_material></instance_geometry></node>"))))
            << AllSaid();
        EXPECT_FALSE(Said("Image not found")) << AllSaid();
        auto* mesh = dynamic_cast<KDuzMesh*>(Node("n")->GetNodeAttribute());
        ASSERT_NE(mesh, nullptr);
        EXPECT_STREQ(mesh->GetLayer(0)->GetMaterials()->GetDirectArray()[0]->GetName(), "mat");
        const KDuzLayerElementTexture* textures = mesh->GetLayer(0)->GetTexturesOfType(3);
        ASSERT_NE(textures, nullptr);
        ASSERT_EQ(textures->GetDirectArray().Count(), 1);
        EXPECT_STREQ(textures->GetDirectArray()[0]->GetFileName(), "tex/a.png");
        EXPECT_STREQ(textures->GetDirectArray()[0]->GetName(), c.texture);
        ASSERT_EQ(textures->GetIndexArray().Count(), 1);
        EXPECT_EQ(textures->GetIndexArray()[0], 0);
    }
}

TEST_F(ColladaMaterialTest, LibraryErrors) {
    struct Case {
        std::string libraries;
        const char* said;
    };
    const Case cases[] = {
        {Libraries("", "", "<image id=\"i\"/>"), "ERROR: Image i has no input file."},
        {Libraries("<effect id=\"e\"/>", ""), "ERROR: no common profile found for library e"},
        {Libraries("<effect id=\"e\"><profile_COMMON/></effect>", ""), nullptr},
        {Libraries(Effect("e", "phong", ""), "<material id=\"m\"/>"), "ERROR: no instance effect found for library m"},
        {Libraries(Effect("e", "phong", ""), Material("m", "x")), "ERROR: Effect not found: #x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.libraries);
        EXPECT_FALSE(Read(Doc(c.libraries)));
        if (c.said != nullptr) {
            EXPECT_TRUE(Said(c.said)) << AllSaid();
        }
    }
}

}  // namespace
}  // namespace colladatest
