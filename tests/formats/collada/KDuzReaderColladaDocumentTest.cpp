// The reader frame: version gate, asset, library order, scene element, the
// take it makes, and hostile documents.
#include "ColladaReaderFixture.h"

#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/scene/KDuzAxisSystem.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace colladatest {
namespace {

TEST_F(ColladaReaderTest, VersionGate) {
    struct Case {
        const char* version;
        bool ok;
        const char* said;   // null: nothing said
    };
    const Case cases[] = {
        {"1.4.1", true, nullptr},
        {"1.4", true, nullptr},
        {"1.3", true, "Warning: Old Collada format (1.3). This format is weakly supported"},
        {"1.5", true, "Warning: Collada format 1.5 newer than supported format 1.4.*. Might be weakly supported."},
        {"2.0", true, "newer than supported"},
        {"1", false, "ERROR: Bad syntax for version number (1)"},
        {"", false, "Bad syntax for version number ()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        EXPECT_EQ(Read(Doc("", c.version)), c.ok);
        if (c.said != nullptr) {
            EXPECT_TRUE(Said(c.said)) << AllSaid();
        }
        if (c.said == nullptr) {
            EXPECT_TRUE(reader->GetDiagnostics().empty()) << AllSaid();
        }
        if (!c.ok) {
            EXPECT_TRUE(Said("ERROR: Unable to parse xml/dae file"));
        }
    }
}

TEST_F(ColladaReaderTest, EmptyDocumentReads) {
    // No object carries "Take 001" here, so the scene keeps no description of
    // it (the scene only describes takes that exist); the read still succeeds.
    ASSERT_TRUE(Read("<COLLADA version=\"1.4.1\"/>"));
    EXPECT_TRUE(reader->GetDiagnostics().empty());
}

TEST_F(ColladaReaderTest, AssetFillsSettingsAndSceneInfo) {
    ASSERT_TRUE(Read("<COLLADA version=\"1.4.1\"><asset><contributor><author>Ann</author>"
                     "<comments>c1</comments></contributor><contributor><author>Bob</author></contributor>"
                     "<title>T</title><unit meter=\"0.01\"/><up_axis>Z_UP</up_axis></asset></COLLADA>"));
    KDuzSceneInfo* info = scene->GetSceneInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->author, "Bob");
    EXPECT_EQ(info->comment, "c1");
    EXPECT_EQ(info->title, "T");
    EXPECT_DOUBLE_EQ(scene->GetGlobalSettings()->GetSystemUnit().GetScaleFactor(), 1.0);
    EXPECT_EQ(scene->GetGlobalSettings()->GetAxisSystem(), KDuzAxisSystem(3, -2, 0));
}

TEST_F(ColladaReaderTest, BadUnitAndUpAxisWarnAndFallBack) {
    ASSERT_TRUE(Read("<COLLADA version=\"1.4.1\"><asset><unit meter=\"0.00001\"/><up_axis>W_UP</up_axis>"
                     "</asset></COLLADA>"));
    EXPECT_TRUE(Said("Warning: Meter conversion factor is too small or invalid: 0.00001. Using 1 instead."));
    EXPECT_TRUE(Said("Warning: Unrecognized up_axis value: W_UP"));
    EXPECT_DOUBLE_EQ(scene->GetGlobalSettings()->GetSystemUnit().GetScaleFactor(), 100.0);
    EXPECT_EQ(scene->GetGlobalSettings()->GetAxisSystem(), KDuzAxisSystem(2, 2, 0));
}

TEST_F(ColladaReaderTest, DocumentStructureFailures) {
    struct Case {
        std::string text;
        const char* said;   // null: only the parse error
    };
    const Case cases[] = {
        {"<COLLADA version=\"1.4.1\"><library_geometries/></COLLADA>",
         "ERROR: <asset> node not found, at node: <library_geometries>"},
        {"<collada version=\"1.4.1\"/>", nullptr},
        {"<COLLADA version=\"1.4.1\"><asset/>", nullptr},   // not well-formed
        {Doc("<scene/><library_lights/>"), "ERROR: extra structure at the end of the main structure: <library_lights>"},
        {Doc("<scene><instance_visual_scene url=\"#nowhere\"/></scene>"), "ERROR: Scene not found: #nowhere"},
        {Doc("<library type=\"TEXTURE\"/>"), "ERROR: Unrecognized library element: library"},
        {Doc("<library_images/><library_materials/>"), nullptr},   // materials without effects
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FALSE(Read(c.text));
        if (c.said != nullptr) {
            EXPECT_TRUE(Said(c.said)) << AllSaid();
        }
        EXPECT_TRUE(Said("ERROR: Unable to parse xml/dae file"));
        EXPECT_EQ(reader->GetLastErrorID(), KDuzReader::eFileCorrupted);
    }
}

TEST_F(ColladaReaderTest, ValidDocumentsInAnyOrderAndWithExtensionsAreRead) {
    const std::string geometry =
        "<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array id=\"pa\" count=\"9\">"
        "0 0 0 1 0 0 0 1 0</float_array><technique_common><accessor source=\"#pa\" count=\"3\" stride=\"3\"/>"
        "</technique_common></source><vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>"
        "<triangles material=\"m\"><input semantic=\"VERTEX\" source=\"#v\"/><p>0 1 2</p></triangles></mesh>"
        "<extra><technique profile=\"x\"/></extra></geometry></library_geometries>";
    const std::string material = "<library_materials><material id=\"m\"><instance_effect url=\"#fx\"/></material>"
                                 "</library_materials><library_effects><effect id=\"fx\"><profile_COMMON>"
                                 "<technique sid=\"t\"><lambert/></technique></profile_COMMON></effect>"
                                 "</library_effects>";
    const std::string visual =
        "<library_visual_scenes><visual_scene id=\"vs\"><node id=\"n\"><asset/>"
        "<instance_geometry url=\"#g\"><bind_material><technique_common>"
        "<instance_material symbol=\"m\" target=\"#m\"/></technique_common></bind_material></instance_geometry>"
        "<extra/></node><extra/></visual_scene></library_visual_scenes>";
    const std::string scene = "<scene><instance_visual_scene url=\"#vs\"/><extra/></scene><extra/>";
    // The visual scene and the geometry before the materials they name.
    ASSERT_TRUE(Read(Doc(visual + geometry + material + scene))) << AllSaid();
    KDuzNode* n = Node("n");
    ASSERT_NE(n, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(n->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(mesh->GetLayer(0)->GetMaterials(), nullptr);
    EXPECT_STREQ(mesh->GetLayer(0)->GetMaterials()->GetDirectArray()[0]->GetName(), "m");
    EXPECT_TRUE(Said("Warning: <extra> of the document is not read"));
    EXPECT_TRUE(Said("Warning: structure asset is not read"));
    EXPECT_TRUE(Said("Warning: structure extra is not supported."));
}

TEST_F(ColladaReaderTest, NodeNamesInstancesAndLibraryNodes) {
    const std::string lights =
        "<library_lights><light id=\"L\"><technique_common><point><color>1 1 1</color></point></technique_common>"
        "</light></library_lights>"
        "<library_cameras><camera id=\"C\"><optics><technique_common><perspective><yfov>40</yfov></perspective>"
        "</technique_common></optics></camera></library_cameras>";
    const std::string library =
        "<library_nodes><node id=\"lamp\"><translate>0 1 0</translate><instance_light url=\"#L\"/>"
        "<node id=\"bulb\"><instance_node url=\"#lamp\"/></node></node></library_nodes>";
    ASSERT_TRUE(Read(Doc(lights + library +
                         Scene("<node name=\"Named\"><instance_light url=\"#L\"/><instance_camera url=\"#C\"/>"
                               "</node><node id=\"holder\"><instance_node url=\"#lamp\"/>"
                               "<instance_node url=\"#nowhere\"/></node>"))))
        << AllSaid();
    // A node with only a name is named by it; its second instance gets a
    // child node of its own.
    KDuzNode* named = Node("Named");
    ASSERT_NE(named, nullptr);
    EXPECT_NE(dynamic_cast<KDuzLight*>(named->GetNodeAttribute()), nullptr);
    ASSERT_EQ(named->GetChildCount(), 1);
    EXPECT_NE(dynamic_cast<KDuzCamera*>(named->GetChild(0)->GetNodeAttribute()), nullptr);
    // The library node is placed where it is instanced, with its transform;
    // the instance of itself inside it is not followed.
    KDuzNode* holder = Node("holder");
    ASSERT_NE(holder, nullptr);
    ASSERT_EQ(holder->GetChildCount(), 1);
    KDuzNode* lamp = holder->GetChild(0);
    EXPECT_NE(dynamic_cast<KDuzLight*>(lamp->GetNodeAttribute()), nullptr);
    EXPECT_EQ(lamp->GetLclTranslation()[1], 1.0);
    EXPECT_TRUE(Said("Warning: instance_node instances itself: #lamp"));
    EXPECT_TRUE(Said("Warning: node not found for instance_node: #nowhere"));
}

TEST_F(ColladaReaderTest, InstancesOfInstancesAreBounded) {
    // Each level instances the one below ten times: 10^6 nodes if followed.
    std::string library = "<library_nodes><node id=\"l0\"/>";
    for (int level = 1; level <= 6; ++level) {
        library += "<node id=\"l" + std::to_string(level) + "\">";
        for (int i = 0; i < 10; ++i) library += "<instance_node url=\"#l" + std::to_string(level - 1) + "\"/>";
        library += "</node>";
    }
    library += "</library_nodes>";
    EXPECT_FALSE(Read(Doc(library + Scene("<node id=\"n\"><instance_node url=\"#l6\"/></node>"))));
    EXPECT_TRUE(Said("ERROR: too many nodes made by instance_node")) << AllSaid();
}

TEST_F(ColladaReaderTest, TrailingCommentAfterSceneIsAccepted) {
    EXPECT_TRUE(Read(Doc("<scene/><!-- done -->")));
}

TEST_F(ColladaReaderTest, LibraryWarningsAreGivenOncePerName) {
    ASSERT_TRUE(Read(Doc("<library_nodes/><library_nodes/><library_images/><library_effects/>"
                         "<library type=\"GEOMETRY\"><geometry id=\"g\"><mesh><vertices/></mesh></geometry></library>"
                         "<weird/>")));
    EXPECT_FALSE(Said("library type not supported: library_nodes"));
    // Images are read with effects, effects with materials: only the effects warning shows.
    EXPECT_FALSE(Said("library_images exists"));
    EXPECT_TRUE(Said("Warning: library_effects exists but there is no library_materials using it. "
                     "This library will not be read."));
    EXPECT_TRUE(Said("Warning: structure library is deprecated in Collada 1.4."));
    EXPECT_TRUE(Said("Warning: unknown structure in the main structure: <weird>"));
}

TEST_F(ColladaReaderTest, ImagesEffectsAndMaterialsAreReadInThatOrderAndOnce) {
    // Materials first in the document, twice; images last.
    ASSERT_TRUE(Read(Doc(
        "<library_materials><material id=\"m\"><instance_effect url=\"#fx\"/></material></library_materials>"
        "<library_materials><material id=\"m2\"><instance_effect url=\"#fx\"/></material></library_materials>"
        "<library_effects><effect id=\"fx\"><profile_COMMON><technique sid=\"t\"><lambert>"
        "<diffuse><texture texture=\"img\" texcoord=\"uv\"/></diffuse></lambert></technique></profile_COMMON>"
        "</effect></library_effects>"
        "<library_images><image id=\"img\"><init_from>./a.png</init_from></image></library_images>")))
        << AllSaid();
    EXPECT_FALSE(Said("Image not found")) << AllSaid();
    // One effect material, two clones; a second material library reads no effect again.
    EXPECT_EQ(manager->GetObjectCount(KDuzSurfaceLambert::ClassId()), 3);
}

TEST_F(ColladaReaderTest, HostileDocumentsAreRefused) {
    const std::string secret = Write("secret.txt", "top secret");
    const std::string cases[] = {
        // Internal entities could multiply without bound.
        "<!DOCTYPE COLLADA [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
        "<COLLADA version=\"1.4.1\"><asset><title>&b;</title></asset></COLLADA>",
        // External entities must never be loaded.
        "<!DOCTYPE COLLADA [<!ENTITY x SYSTEM \"file://" + secret + "\">]>"
        "<COLLADA version=\"1.4.1\"><asset><title>&x;</title></asset></COLLADA>",
        // Far deeper than any real document.
        "<COLLADA version=\"1.4.1\"><asset/>" + std::string(100000, '<') + "",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 80));
        EXPECT_FALSE(Read(text));
        KDuzSceneInfo* info = scene->GetSceneInfo();
        if (info != nullptr) {
            EXPECT_EQ(std::string(info->title.Buffer()).find("secret"), std::string::npos);
        }
    }
}

TEST_F(ColladaReaderTest, DeepNodeNestingIsRefusedWithAnError) {
    std::string nodes;
    for (int i = 0; i < 240; ++i) nodes += "<node id=\"n" + std::to_string(i) + "\">";
    for (int i = 0; i < 240; ++i) nodes += "</node>";
    EXPECT_FALSE(Read(Doc(Scene(nodes))));
    EXPECT_TRUE(Said("nested too deeply")) << AllSaid().substr(0, 300);
}

TEST_F(ColladaReaderTest, OpenCloseAndOptions) {
    KDuzReaderCollada r(manager);
    EXPECT_FALSE(r.FileOpen("/dev/zero"));   // not a regular file
    EXPECT_EQ(r.GetLastErrorID(), KDuzReader::eFileNotOpened);
    EXPECT_FALSE(r.FileClose());
    EXPECT_EQ(r.GetReadOptions(false), nullptr);
    ASSERT_TRUE(r.FileOpen(Write("a.dae", Doc("")).c_str()));
    EXPECT_FALSE(r.Read(scene, nullptr));
    EXPECT_EQ(r.GetLastErrorID(), KDuzReader::eStreamOptionsNotSet);
    KDuzStreamOptions* options = r.GetReadOptions(false);
    ASSERT_NE(options, nullptr);
    EXPECT_NE(dynamic_cast<KDuzStreamOptionsColladaReader*>(options), nullptr);
    options->Destroy();
}

TEST_F(ColladaReaderTest, FailedReadKeepsNoLeakAndNextReadWorks) {
    // A failed read keeps its document; the reader's end frees it (ASan checks).
    auto r = std::make_unique<KDuzReaderCollada>(manager);
    ASSERT_TRUE(r->FileOpen(Write("bad.dae", Doc("<scene><instance_visual_scene url=\"#nowhere\"/></scene>")).c_str()));
    KDuzStreamOptions* options = r->GetReadOptions(false);
    EXPECT_FALSE(r->Read(scene, options));
    options->Destroy();
    r.reset();
    EXPECT_TRUE(Read(Doc("")));
}

}  // namespace
}  // namespace colladatest

namespace colladatest {
namespace {

TEST_F(ColladaReaderTest, ArraysLongerThanTenMegabytesAreRead) {
    // libxml2 refuses texts over 10 MB unless told otherwise; real meshes
    // have arrays that long.
    const int points = 400000;
    std::string values;
    values.reserve(static_cast<size_t>(points) * 3 * 10);
    for (int i = 0; i < points * 3; ++i) values += "0.1234567 ";
    ASSERT_GT(values.size(), 10u * 1000 * 1000);
    ASSERT_TRUE(Read(Doc("<library_geometries><geometry id=\"g\"><mesh><source id=\"p\"><float_array>" + values +
                         "</float_array><technique_common><accessor count=\"" + std::to_string(points) +
                         "\" stride=\"3\"/></technique_common></source><vertices id=\"v\"><input "
                         "semantic=\"POSITION\" source=\"#p\"/></vertices></mesh></geometry></library_geometries>")))
        << AllSaid();
}

TEST_F(ColladaReaderTest, WellFormedButAbsurdlyDeepDocumentsFailCleanly) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<extra>";
    for (int i = 0; i < 5000; ++i) deep += "</extra>";
    EXPECT_FALSE(Read(Doc(Scene("<node id=\"n\">" + deep + "</node>"))));
}

}  // namespace
}  // namespace colladatest

namespace colladatest {
namespace {

TEST_F(ColladaReaderTest, RegistryMakesTheReaderForDaeFiles) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    ASSERT_NE(registry, nullptr);
    int index = -1;
    for (int i = 0; i < registry->GetReaderCount(); ++i) {
        if (std::string(registry->GetReaderEntry(i)->extension) == "dae") index = i;
    }
    ASSERT_GE(index, 0);
    EXPECT_STREQ(registry->GetReaderEntry(index)->description, "Collada DAE (*.dae)");
    const std::string path = Write("scene.dae", Doc(Scene("<node id=\"only\"/>")));
    std::unique_ptr<KDuzReader> made(registry->CreateReader(manager, nullptr, index));
    ASSERT_NE(dynamic_cast<KDuzReaderCollada*>(made.get()), nullptr);
    ASSERT_TRUE(made->FileOpen(path.c_str()));
    KDuzStreamOptions* options = made->GetReadOptions(false);
    EXPECT_TRUE(made->Read(scene, options));
    options->Destroy();
    EXPECT_NE(Node("only"), nullptr);
}

}  // namespace
}  // namespace colladatest
