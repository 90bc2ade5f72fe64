// The 3DS writer: legal unique names, the records it builds for meshes,
// materials, lights, cameras and keyframer nodes (read back through the
// 3DS toolkit), its option switches and the writes it must refuse.
#include "W3dsTestSupport.h"

#include <cmath>
#include <fstream>
#include <memory>
#include <set>

#include "sdk/formats/3dsftk/FtkBackground.h"
#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkMeshSettings.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KRenamingStrategy3DS.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"

using namespace duzsdk;
using namespace w3dstest;

namespace {

// A written file loaded through the toolkit.
class Loaded {
public:
    explicit Loaded(const std::string& path) {
        FtkReset();
        FtkDatabaseInit(&db);
        FtkDatabaseLoad(FtkFileOpen(path.c_str(), "rb"), db);
        EXPECT_FALSE(FtkErrorPending()) << path;
    }
    ~Loaded() {
        FtkDatabaseRelease(&db);
        FtkReset();
    }
    FtkTriMesh* Mesh(uint32_t i) {
        meshes.emplace_back(nullptr);
        FtkTriMeshGetByIndex(db, i, &meshes.back().p);
        return meshes.back().p;
    }
    FtkObjectMotion* Object(const char* name) {
        for (uint32_t i = 0; i < FtkObjectMotionCount(db); ++i) {
            objects.emplace_back(nullptr);
            FtkObjectMotionGetByIndex(db, i, &objects.back().p);
            FtkObjectMotion* m = objects.back().p;
            if (m != nullptr && (std::strcmp(m->name, name) == 0 || std::strcmp(m->instance, name) == 0)) return m;
        }
        return nullptr;
    }
    FtkDatabase* db = nullptr;

private:
    template <typename T, void (*Release)(T**)>
    struct Owned {
        explicit Owned(T* q) : p(q) {}
        Owned(Owned&& o) noexcept : p(o.p) { o.p = nullptr; }
        ~Owned() {
            if (p != nullptr) Release(&p);
        }
        T* p;
    };
    std::vector<Owned<FtkTriMesh, FtkTriMeshRelease>> meshes;
    std::vector<Owned<FtkObjectMotion, FtkObjectMotionRelease>> objects;
};

const std::vector<KgeTVector> kQuad = {P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0)};

void ExpectVector(const FtkVector& v, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

// ---- names ---------------------------------------------------------------------------

TEST(RenamingStrategy3DS, NamesAreCutAndNumbered) {
    struct Row {
        std::vector<const char*> in;
        unsigned limit;
        std::vector<const char*> out;
    };
    const Row rows[] = {
        {{"Model::Sphere01"}, 10, {"Sphere0"}},
        {{"RootNode"}, 10, {"RootNod"}},
        {{"A::B::X"}, 10, {"B::X"}},
        {{"Box", "Box", "Box", "box"}, 10, {"Box", "Box1", "Box2", "box"}},
        {{"MaterialLongA", "MaterialLongB"}, 15, {"MaterialLong", "MaterialLong1"}},
        // A name equal to one handed out by numbering is numbered in turn:
        // 3DS keeps one object per name.
        {{"Box", "Box", "Box1", "Box1"}, 10, {"Box", "Box1", "Box11", "Box12"}},
    };
    for (const Row& row : rows) {
        KRenamingStrategy3DS strategy;
        for (size_t i = 0; i < row.in.size(); ++i) {
            KString name(row.in[i]);
            strategy.RenameText(name, row.limit);
            EXPECT_STREQ(name.Buffer(), row.out[i]) << row.in[i] << " #" << i;
        }
    }
    // Through the family's interface, with the object limit.
    KRenamingStrategy3DS strategy;
    KDuzObjectName record("Model::LongObjectName");
    strategy.Rename(record);
    EXPECT_STREQ(record.GetCurrentName(), "LongObj");
    std::unique_ptr<KRenamingStrategy> clone(strategy.Clone());
    KDuzObjectName again("LongObjectName");
    EXPECT_FALSE(clone->Rename(again));  // a clone starts empty
}

TEST(RenamingStrategy3DS, ThousandsOfEqualNamesStayUniqueWithinTheField) {
    KRenamingStrategy3DS strategy;
    std::set<std::string> seen;
    for (int i = 0; i < 12000; ++i) {
        KString name("Cylinder");
        strategy.RenameText(name, 10);
        EXPECT_LE(name.GetLength(), 10) << name.Buffer();
        EXPECT_TRUE(seen.insert(name.Buffer()).second) << name.Buffer();
    }
    EXPECT_TRUE(seen.count("Cylinde999"));
    EXPECT_TRUE(seen.count("Cylind1000"));
    EXPECT_TRUE(seen.count("Cylin10000"));
}

// ---- driver and options --------------------------------------------------------------

TEST_F(W3dsTest, QuadWithoutOptionsOrAnimation) {
    KDuzNode* node = AddNode(manager, scene->GetRootNode(), "Quad", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    node->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));
    scene->GetGlobalLightSettings()->SetAmbientColor(KDuzRGBAColor(0.25, 0.5, 0.75));

    KDuzWriter3DS writer(manager);
    const std::string path = PathOf("quad.3ds");
    ASSERT_TRUE(writer.FileCreate(path.c_str()));
    ASSERT_TRUE(writer.Write(scene, nullptr));
    EXPECT_EQ(writer.GetLastErrorID(), KDuzWriter::eStreamOptionsNotSet);
    EXPECT_STREQ(writer.GetLastErrorString(), "Stream options not set");

    Loaded file(path);
    ASSERT_EQ(FtkTriMeshCount(file.db), 1u);
    FtkTriMesh* mesh = file.Mesh(0);
    ASSERT_NE(mesh, nullptr);
    EXPECT_STREQ(mesh->name, "Quad");
    ASSERT_EQ(mesh->vertexCount, 4);
    // The node's translation is in the vertices, in Z-up axes: (x, -z, y).
    ExpectVector(mesh->vertices[2], 2, -3, 3);
    ASSERT_EQ(mesh->faceCount, 2);
    const FtkFace faces[] = {{0, 1, 2, 7}, {2, 3, 0, 7}};
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(mesh->faces[f].v1, faces[f].v1);
        EXPECT_EQ(mesh->faces[f].v2, faces[f].v2);
        EXPECT_EQ(mesh->faces[f].v3, faces[f].v3);
        EXPECT_EQ(mesh->faces[f].flag, 7);
        EXPECT_EQ(mesh->smoothGroups[f], 1u);
    }
    EXPECT_EQ(mesh->matGroupCount, 0);
    EXPECT_EQ(mesh->texVertCount, 0);
    EXPECT_NEAR(mesh->meshMatrix[9], 1, 1e-6);
    EXPECT_NEAR(mesh->meshMatrix[10], -3, 1e-6);
    EXPECT_NEAR(mesh->meshMatrix[11], 2, 1e-6);

    FtkMeshSettings* settings = nullptr;
    FtkMeshSettingsInit(&settings);
    FtkMeshSettingsGet(file.db, &settings);
    EXPECT_FLOAT_EQ(settings->masterScale, 0.39370078f);
    EXPECT_EQ(settings->shadowMapSize, 500);
    EXPECT_FLOAT_EQ(settings->rayBias, 3.0f);
    EXPECT_FLOAT_EQ(settings->ambientLight.g, 0.5f);
    FtkMeshSettingsRelease(&settings);

    FtkKfSettings* kf = nullptr;
    FtkKfSettingsInit(&kf);
    FtkKfSettingsGet(file.db, &kf);
    EXPECT_EQ(kf->animLength, 100);  // no animation
    FtkKfSettingsRelease(&kf);

    FtkObjectMotion* motion = file.Object("Quad");
    ASSERT_NE(motion, nullptr);
    ASSERT_EQ(motion->pos.keyCount, 1u);
    ExpectVector(motion->pos.values[0], 1, -3, 2);
    EXPECT_EQ(motion->pos.keys[0].time, 0u);
    // The root is not written: its children name it as a dummy all the same.
    EXPECT_STREQ(motion->parent, "");
    EXPECT_EQ(FtkObjectMotionCount(file.db), 1u);
}

TEST_F(W3dsTest, OptionSwitches) {
    KDuzSurfacePhong* red = KDuzSurfacePhong::Create(manager, "red");
    AddNode(manager, scene->GetRootNode(), "Quad", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}, {red}}));
    KDuzLight* light = KDuzLight::Create(manager, "");
    AddNode(manager, scene->GetRootNode(), "Lamp", light);
    AddNode(manager, scene->GetRootNode(), "Cam", KDuzCamera::Create(manager, ""));
    scene->GetGlobalLightSettings()->SetAmbientColor(KDuzRGBAColor(1, 1, 1));
    struct Row {
        const char* option;
        uint32_t meshes, materials, lights, cameras;
        float scale, ambient;
    };
    const Row rows[] = {
        {nullptr, 1, 1, 1, 1, 0.39370078f, 1},
        {"MESH", 0, 0, 1, 1, 0.39370078f, 1},
        {"MATERIAL", 1, 0, 1, 1, 0.39370078f, 1},
        {"LIGHT", 1, 1, 0, 1, 0.39370078f, 1},
        {"CAMERA", 1, 1, 1, 0, 0.39370078f, 1},
        {"RESCALING", 1, 1, 1, 1, 1.0f, 1},
        {"AMBIENT LIGHT", 1, 1, 1, 1, 0.39370078f, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.option ? row.option : "defaults");
        const std::string path = PathOf("options.3ds");
        ASSERT_TRUE(Write(path, [&](KDuzStreamOptions* options) {
            if (row.option) SetBool(options, row.option, false);
        }));
        Loaded file(path);
        EXPECT_EQ(FtkTriMeshCount(file.db), row.meshes);
        EXPECT_EQ(FtkMaterialCount(file.db), row.materials);
        EXPECT_EQ(FtkOmniLightCount(file.db), row.lights);
        EXPECT_EQ(FtkCameraCount(file.db), row.cameras);
        // Mesh option off: not even a dummy for the mesh node.
        EXPECT_EQ(FtkObjectMotionCount(file.db), row.meshes);
        FtkMeshSettings* settings = nullptr;
        FtkMeshSettingsInit(&settings);
        FtkMeshSettingsGet(file.db, &settings);
        EXPECT_FLOAT_EQ(settings->masterScale, row.scale);
        EXPECT_FLOAT_EQ(settings->ambientLight.r, row.ambient);
        FtkMeshSettingsRelease(&settings);
    }
}

TEST_F(W3dsTest, FileThatCannotBeCreatedFailsTheWrite) {
    AddNode(manager, scene->GetRootNode(), "Quad", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    const std::string path = PathOf("no/such/folder/x.3ds");
    EXPECT_FALSE(Write(path));
    EXPECT_FALSE(std::filesystem::exists(path));

    // Through the exporter: nothing at the target, and the error is reported.
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    ASSERT_TRUE(exporter->Initialize(path.c_str()));
    EXPECT_FALSE(exporter->Export(scene));
    EXPECT_FALSE(std::filesystem::exists(path));
    exporter->Destroy();
}

TEST_F(W3dsTest, MeshesTooLargeForTheFormatAreRefused) {
    // 65536 points in one strip of quads: one over the 16-bit count.
    struct Row {
        int columns;
        bool written;
    };
    for (const Row row : {Row{32767, true}, Row{32768, false}}) {
        SCOPED_TRACE(row.columns);
        KDuzScene* big = KDuzScene::Create(manager, "");
        MeshSpec spec;
        for (int c = 0; c < row.columns; ++c) {
            spec.points.push_back(P(c, 0, 0));
            spec.points.push_back(P(c, 1, 0));
        }
        for (int c = 0; c + 1 < row.columns; ++c) spec.polygons.push_back({2 * c, 2 * c + 2, 2 * c + 3, 2 * c + 1});
        AddNode(manager, big->GetRootNode(), "Strip", MakeMesh(manager, spec));
        const std::string path = PathOf("big.3ds");
        std::filesystem::remove(path);
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        ASSERT_TRUE(exporter->Initialize(path.c_str()));
        EXPECT_EQ(exporter->Export(big), row.written);
        EXPECT_EQ(std::filesystem::exists(path), row.written);
        if (!row.written) {
            EXPECT_NE(std::string(exporter->GetLastErrorString()).find("65535"), std::string::npos);
        }
        exporter->Destroy();
        big->Destroy();
    }
}

// ---- meshes and materials ------------------------------------------------------------

TEST_F(W3dsTest, SmoothingGroupsFromNormals) {
    // Triangles in the z = 0 plane, normal (0, 0, 1) at every point: flat.
    MeshSpec spec;
    for (int i = 0; i < 20; ++i) {
        spec.points.push_back(P(i, 0, 0));
        spec.points.push_back(P(i + 1, 0, 0));
        spec.points.push_back(P(i, 1, 0));
        spec.polygons.push_back({3 * i, 3 * i + 1, 3 * i + 2});
    }
    KDuzMesh* flat = MakeMesh(manager, spec);
    flat->InitNormals();
    for (int i = 0; i < 60; ++i) flat->GetNormals()[i] = KgeTVector(0, 0, 1, 0);
    AddNode(manager, scene->GetRootNode(), "Flat", flat);
    KDuzMesh* smooth = MakeMesh(manager, spec);
    smooth->InitNormals();
    for (int i = 0; i < 60; ++i) smooth->GetNormals()[i] = KgeTVector(0, 0.6, 0.8, 0);
    AddNode(manager, scene->GetRootNode(), "Smooth", smooth);

    const std::string path = PathOf("smooth.3ds");
    ASSERT_TRUE(Write(path));
    Loaded file(path);
    FtkTriMesh* a = file.Mesh(0);
    FtkTriMesh* b = file.Mesh(1);
    ASSERT_TRUE(a && b);
    ASSERT_STREQ(a->name, "Flat");
    ASSERT_EQ(a->faceCount, 20);
    for (int f = 0; f < 20; ++f) {
        // 4, 16, ..., 2^30, then again from 4: never the smooth group, never 0.
        EXPECT_EQ(a->smoothGroups[f], 1u << (2 * (f % 15) + 2)) << f;
        EXPECT_EQ(b->smoothGroups[f], 1u) << f;
    }
}

TEST_F(W3dsTest, MaterialRecords) {
    auto set3 = [](KDuzProperty p, double r, double g, double b) {
        const duzVectorTemplate3<double> v(r, g, b);
        p.SetValue(&v, eValueKindDouble3);
    };
    auto set1 = [](KDuzProperty p, double v) { p.SetValue(&v, eValueKindDouble); };
    struct Row {
        double exponent;
        float shininess;
    };
    std::vector<KDuzSurfaceMaterial*> materials;
    // The reader's exponent is 2^(10 min(2s, 1)): these read back as written.
    const Row rows[] = {{1024, 0.5f}, {1, 0.0f}, {32, 0.25f}};
    for (const Row& row : rows) {
        KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, ("shiny" + std::to_string(int(row.exponent))).c_str());
        set1(phong->GetShininessExponent(), row.exponent);
        set3(phong->GetDiffuseColor(), 1, 0.5, 0);
        set1(phong->GetDiffuseFactor(), 0.5);
        set1(phong->GetSpecularFactor(), 1.0);
        set3(phong->GetTransparentColor(), 0.3, 0.6, 0.9);
        set1(phong->GetTransparencyFactor(), 0.5);
        materials.push_back(phong);
    }
    KDuzSurfaceLambert* lambert = KDuzSurfaceLambert::Create(manager, "AVeryLongMaterialName");
    materials.push_back(lambert);
    MeshSpec spec{kQuad, {{0, 1, 2}, {0, 2, 3}, {0, 1, 3}, {1, 2, 3}, {0, 1, 2}}, materials, {0, 1, 2, 3, 3}};
    AddNode(manager, scene->GetRootNode(), "Mats", MakeMesh(manager, spec));
    const std::string path = PathOf("mats.3ds");
    ASSERT_TRUE(Write(path));

    Loaded file(path);
    ASSERT_EQ(FtkMaterialCount(file.db), 4u);
    FtkMaterial* m = nullptr;
    for (int i = 0; i < 3; ++i) {
        FtkMaterialGetByIndex(file.db, i, &m);
        ASSERT_NE(m, nullptr);
        EXPECT_STREQ(m->name, ("shiny" + std::to_string(int(rows[i].exponent))).c_str());
        EXPECT_NEAR(m->shininess, rows[i].shininess, 0.01f);
        EXPECT_NEAR(m->diffuse.r, 0.5f, 0.01f);
        EXPECT_NEAR(m->shinStrength, 0.75f, 0.01f);
        EXPECT_NEAR(m->transparency, 0.3f, 0.01f);
        EXPECT_EQ(m->twoSided, 1);
        FtkMaterialRelease(&m);
    }
    // Lambert: no specular terms. Material names are cut to 12 before the
    // write, leaving room for numbering within the 15 characters of the field.
    FtkMaterialGetByIndex(file.db, 3, &m);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->name, "AVeryLongMat");
    FtkMaterial* defaults = nullptr;
    FtkMaterialInit(&defaults);
    EXPECT_FLOAT_EQ(m->shininess, defaults->shininess);
    EXPECT_FLOAT_EQ(m->shinStrength, defaults->shinStrength);
    FtkMaterialRelease(&defaults);
    FtkMaterialRelease(&m);

    FtkTriMesh* mesh = file.Mesh(0);
    ASSERT_EQ(mesh->matGroupCount, 4);
    EXPECT_STREQ(mesh->matGroups[3].name, "AVeryLongMat");
    ASSERT_EQ(mesh->matGroups[3].faceCount, 2);
    EXPECT_EQ(mesh->matGroups[3].faces[0], 3);
    EXPECT_EQ(mesh->matGroups[3].faces[1], 4);
}

TEST_F(W3dsTest, TexturesAndTheirFiles) {
    // A texture beside the scene with a short name, and one whose name is
    // too long for the 3DS field.
    const std::string source = PathOf("src");
    std::filesystem::create_directories(source);
    std::ofstream(source + "/wood.png") << "wood";
    std::ofstream(source + "/a_very_long_texture_name.png") << "long";
    const std::string out = PathOf("out");
    std::filesystem::create_directories(out);

    KDuzTexture* wood = KDuzTexture::Create(manager, "wood");
    wood->SetFileName((source + "/wood.png").c_str());
    KDuzTexture* longName = KDuzTexture::Create(manager, "long");
    longName->SetFileName((source + "/a_very_long_texture_name.png").c_str());
    KDuzTexture* missing = KDuzTexture::Create(manager, "missing");
    missing->SetFileName("gone.png");

    // Texture but no material: a grey "Default" is written, the scene keeps its materials.
    MeshSpec a{kQuad, {{0, 1, 2, 3}}, {}, {}, {wood}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
    KDuzMesh* textured = MakeMesh(manager, a);
    AddNode(manager, scene->GetRootNode(), "Wood", textured);
    KDuzSurfaceLambert* plain = KDuzSurfaceLambert::Create(manager, "plain");
    AddNode(manager, scene->GetRootNode(), "Long", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}, {plain}, {}, {longName}}));
    AddNode(manager, scene->GetRootNode(), "Gone", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}, {plain}, {}, {missing}}));

    KDuzWriter3DS writer(manager);
    const std::string path = out + "/tex.3ds";
    ASSERT_TRUE(Write(path, [](KDuzStreamOptions*) {}, &writer));
    EXPECT_EQ(textured->GetMaterialCount(0), 0);
    EXPECT_TRUE(std::filesystem::exists(out + "/wood.png"));
    EXPECT_TRUE(std::filesystem::exists(out + "/a_very_long_texture_name.png"));
    const std::string messages = writer.GetMessageText().Buffer();
    EXPECT_NE(messages.find("Unable to locate texture file \"gone.png\".\n"), std::string::npos) << messages;
    EXPECT_NE(messages.find("Texture name file: \"a_very_long_texture_name.png\" is too long.\n"
                            "Change manually texture name: \"Tex0\" in material \"2.Mat0Tex0\""),
              std::string::npos)
        << messages;

    Loaded file(path);
    FtkTriMesh* mesh = file.Mesh(0);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->texVertCount, 4);
    EXPECT_FLOAT_EQ(mesh->texVerts[2].u, 1);
    EXPECT_FLOAT_EQ(mesh->texVerts[2].v, 1);
    ASSERT_EQ(mesh->matGroupCount, 1);
    EXPECT_STREQ(mesh->matGroups[0].name, "1.Mat-1Tex0");
    FtkMaterial* m = nullptr;
    FtkMaterialGetByIndex(file.db, 0, &m);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->texture.name, "wood.png");
    EXPECT_FLOAT_EQ(m->texture.percent, 1.0f);
    EXPECT_NEAR(m->texture.uOffset, 0.0f, 1e-6);
    EXPECT_NEAR(m->texture.vOffset, 0.0f, 1e-6);
    EXPECT_NEAR(m->diffuse.r, 0.588f, 0.005f);
    FtkMaterialRelease(&m);
    FtkMaterialGetByIndex(file.db, 1, &m);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->texture.name, "Tex0");
    FtkMaterialRelease(&m);
}

TEST_F(W3dsTest, CornerUVsWithAndWithoutSplitting) {
    // Two quads sharing an edge; the shared points carry different UVs in each.
    const std::vector<KgeTVector> points = {P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0), P(2, 0, 0), P(2, 1, 0)};
    for (bool split : {false, true}) {
        SCOPED_TRACE(split);
        KDuzTexture* t = KDuzTexture::Create(manager, "t");
        t->SetFileName("t.png");
        MeshSpec spec{points, {{0, 1, 2, 3}, {1, 4, 5, 2}}, {}, {}, {t},
                      {{0, 0}, {0.5f, 0}, {0.5f, 1}, {0, 1}, {0.6f, 0}, {1, 0}, {1, 1}, {0.6f, 1}}};
        KDuzScene* own = KDuzScene::Create(manager, "");
        KDuzMesh* mesh = MakeMesh(manager, spec);
        AddNode(manager, own->GetRootNode(), "Two", mesh);
        std::swap(own, scene);
        const std::string path = PathOf("uv.3ds");
        ASSERT_TRUE(Write(path, [&](KDuzStreamOptions* o) { SetBool(o, "TEXUVBYPOLY", split); }));
        std::swap(own, scene);
        EXPECT_EQ(mesh->GetControlPointsCount(), 6);  // the scene's mesh is left alone
        Loaded file(path);
        FtkTriMesh* record = file.Mesh(0);
        ASSERT_NE(record, nullptr);
        if (!split) {
            ASSERT_EQ(record->vertexCount, 6);
            // Point 1 keeps the UV of the last polygon that uses it.
            EXPECT_FLOAT_EQ(record->texVerts[1].u, 0.6f);
        } else {
            ASSERT_EQ(record->vertexCount, 8);
            EXPECT_FLOAT_EQ(record->texVerts[1].u, 0.5f);
            EXPECT_FLOAT_EQ(record->texVerts[4].u, 0.6f);
            ExpectVector(record->vertices[4], 1, 0, 0);
            EXPECT_EQ(record->faces[2].v1, 4);
        }
        own->Destroy();
    }
}

// ---- lights, cameras, scene walk, keyframer ------------------------------------------

TEST_F(W3dsTest, LightsCamerasAndBackground) {
    KDuzLight* omni = KDuzLight::Create(manager, "");
    omni->SetColor(KDuzRGBAColor(1, 0.5, 0));
    omni->SetIntensity(100);
    AddNode(manager, scene->GetRootNode(), "Omni", omni);
    KDuzLight* spot = KDuzLight::Create(manager, "");
    spot->SetLightType(KDuzLight::eSpot);
    spot->SetConeAngle(30);
    AddNode(manager, scene->GetRootNode(), "Spot", spot);
    KDuzLight* sun = KDuzLight::Create(manager, "");
    sun->SetLightType(KDuzLight::eDirectional);
    KDuzNode* sunNode = AddNode(manager, scene->GetRootNode(), "Sun", sun);
    AddNode(manager, sunNode, "UnderSu", KDuzNull::Create(manager, ""));
    KDuzNode* cam = AddNode(manager, scene->GetRootNode(), "Cam", KDuzCamera::Create(manager, ""));
    cam->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));

    const std::string path = PathOf("lights.3ds");
    ASSERT_TRUE(Write(path));
    Loaded file(path);
    ASSERT_EQ(FtkOmniLightCount(file.db), 1u);
    ASSERT_EQ(FtkSpotlightCount(file.db), 1u);
    FtkLight* light = nullptr;
    FtkOmniLightGetByIndex(file.db, 0, &light);
    EXPECT_STREQ(light->name, "Omni");
    EXPECT_FLOAT_EQ(light->multiplier, 1.0f);
    EXPECT_FLOAT_EQ(light->color.g, 0.5f);
    FtkLightRelease(&light);
    FtkSpotlightGetByIndex(file.db, 0, &light);
    ASSERT_NE(light->spot, nullptr);
    EXPECT_FLOAT_EQ(light->spot->hotspot, 30);
    EXPECT_FLOAT_EQ(light->spot->falloff, 45);
    FtkLightRelease(&light);
    FtkCamera* camera = nullptr;
    FtkCameraGetByIndex(file.db, 0, &camera);
    ASSERT_NE(camera, nullptr);
    ExpectVector(camera->position, 1, -3, 2);
    FtkCameraRelease(&camera);

    // The directional light has no record, its child is still written. The
    // parent it names ("Sun") is no node of the file, so it reads back as none.
    ASSERT_NE(file.Object("UnderSu"), nullptr);
    EXPECT_STREQ(file.Object("UnderSu")->parent, "");
    // Spotlight without a target node: ten units down its -Y axis, in Z-up axes.
    FtkSpotMotion* spotMotion = nullptr;
    FtkSpotMotionGetByIndex(file.db, 0, &spotMotion);
    ASSERT_NE(spotMotion, nullptr);
    ASSERT_EQ(spotMotion->targetPos.keyCount, 1u);
    ExpectVector(spotMotion->targetPos.values[0], 0, 0, -10);
    FtkSpotMotionRelease(&spotMotion);
}

TEST_F(W3dsTest, CameraFieldOfViewTargetAndRoll) {
    struct Row {
        const char* name;
        int apertureMode;
        double filmHeight;
        float fov;
    };
    const double widened = 2 * std::atan(std::tan(20 * M_PI / 180) * 2) * 180 / M_PI;
    const Row rows[] = {
        {"Horiz", KDuzCamera::eHorizontal, 0.5, 40.0f},
        {"Vert", KDuzCamera::eVertical, 0.5, static_cast<float>(widened)},
    };
    for (const Row& row : rows) {
        KDuzCamera* camera = KDuzCamera::Create(manager, "");
        camera->SetApertureMode(row.apertureMode);
        camera->SetFieldOfView(40);
        camera->SetFilmWidth(1.0);
        camera->SetFilmHeight(row.filmHeight);
        camera->SetBackgroundColor(KDuzRGBAColor(0.25, 0.5, 0.75));
        AddNode(manager, scene->GetRootNode(), row.name, camera);
    }
    KDuzNode* aim = AddNode(manager, scene->GetRootNode(), "Aim", KDuzNull::Create(manager, ""));
    aim->SetLclTranslation(duzVectorTemplate3<double>(0, 0, -10));
    KDuzNode* aimed = AddNode(manager, scene->GetRootNode(), "Aimed", KDuzCamera::Create(manager, ""));
    aimed->SetLookAtTarget(aim);
    // The last camera walked gives the file its background.
    static_cast<KDuzCamera*>(aimed->GetNodeAttribute())->SetBackgroundColor(KDuzRGBAColor(0.1, 0.2, 0.3));

    const std::string path = PathOf("cameras.3ds");
    ASSERT_TRUE(Write(path));
    Loaded file(path);
    ASSERT_EQ(FtkCameraMotionCount(file.db), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        FtkCameraMotion* motion = nullptr;
        FtkCameraMotionGetByIndex(file.db, i, &motion);
        ASSERT_NE(motion, nullptr);
        SCOPED_TRACE(motion->name);
        ASSERT_EQ(motion->fov.keyCount, 1u);
        ASSERT_EQ(motion->targetPos.keyCount, 1u);
        ASSERT_EQ(motion->roll.keyCount, 1u);
        if (i < 2) {
            EXPECT_NEAR(motion->fov.values[0], rows[i].fov, 1e-4);
            // No target node: ten units along the camera's X axis, no roll.
            ExpectVector(motion->targetPos.values[0], 10, 0, 0);
            EXPECT_NEAR(motion->roll.values[0], 0, 1e-3);
        } else {
            ExpectVector(motion->targetPos.values[0], 0, 10, 0);
            EXPECT_STREQ(motion->targetParent, "$$$DUMMY.Aim");
        }
        FtkCameraMotionRelease(&motion);
    }
    FtkBackground* background = nullptr;
    FtkBackgroundInit(&background);
    FtkBackgroundGet(file.db, &background);
    EXPECT_FLOAT_EQ(background->solid.b, 0.3f);
    FtkBackgroundRelease(&background);
}

TEST_F(W3dsTest, CameraAndSpotTargetsFollowTheWholeOrientation) {
    // A camera looks along its X axis and a spotlight down its -Y axis as
    // the node's whole transform turns them: post-rotation (as cameras and
    // lights read from Collada carry) and pre-rotation count, and a turned
    // parent does not, the target being placed under the same parent.
    KDuzNode* turnedParent = AddNode(manager, scene->GetRootNode(), "Parent", KDuzNull::Create(manager, ""));
    turnedParent->SetLclRotation(duzVectorTemplate3<double>(0, 90, 0));
    struct Row {
        const char* name;
        KgeTVector pre, post;
        bool underParent;
    };
    const Row rows[] = {
        {"Post", KgeTVector(0, 0, 0, 0), KgeTVector(0, -90, 0, 0), false},
        {"Pre", KgeTVector(90, 0, 30, 0), KgeTVector(0, 0, 0, 0), false},
        {"Child", KgeTVector(0, 0, 0, 0), KgeTVector(0, 0, 90, 0), true},
    };
    std::vector<KDuzNode*> cameras, spots;
    for (const Row& row : rows) {
        for (const bool spot : {false, true}) {
            KDuzNodeAttribute* attribute = nullptr;
            if (spot) {
                KDuzLight* light = KDuzLight::Create(manager, "");
                light->SetLightType(KDuzLight::eSpot);
                attribute = light;
            } else {
                attribute = KDuzCamera::Create(manager, "");
            }
            KDuzNode* node = AddNode(manager, row.underParent ? turnedParent : scene->GetRootNode(),
                                     (std::string(spot ? "S" : "C") + row.name).c_str(), attribute);
            node->SetLclTranslation(duzVectorTemplate3<double>(1, 2, 3));
            node->SetRotationActive(true);
            node->SetPreRotation(0, row.pre);
            node->SetPostRotation(0, row.post);
            (spot ? spots : cameras).push_back(node);
        }
    }
    // Where the node's axis points in its parent's space, in 3DS axes.
    auto expected = [](KDuzNode* node, int axis, double length) {
        KgeMatrix local = node->GetGlobalTransform();
        local = node->GetParent()->GetGlobalTransform().InverseOrthogonal().MultiplyAffine(local);
        const double* e = local.Data();
        const double norm = std::sqrt(e[4 * axis] * e[4 * axis] + e[4 * axis + 1] * e[4 * axis + 1] +
                                      e[4 * axis + 2] * e[4 * axis + 2]);
        double d[3];
        for (int c = 0; c < 3; ++c) d[c] = e[4 * axis + c] / norm * length;
        const auto t = node->GetLclTranslation();
        return std::array<double, 3>{t[0] + d[0], -(t[2] + d[2]), t[1] + d[1]};
    };
    const std::string path = PathOf("turned.3ds");
    ASSERT_TRUE(Write(path));
    Loaded file(path);
    ASSERT_EQ(FtkCameraMotionCount(file.db), 3u);
    ASSERT_EQ(FtkSpotMotionCount(file.db), 3u);
    auto nodeNamed = [](const std::vector<KDuzNode*>& nodes, const char* name) -> KDuzNode* {
        for (KDuzNode* node : nodes) {
            if (std::strcmp(node->GetName(), name) == 0) return node;
        }
        return nullptr;
    };
    for (uint32_t i = 0; i < 3; ++i) {
        FtkCameraMotion* camera = nullptr;
        FtkCameraMotionGetByIndex(file.db, i, &camera);
        ASSERT_NE(camera, nullptr);
        SCOPED_TRACE(camera->name);
        KDuzNode* cameraNode = nodeNamed(cameras, camera->name);
        ASSERT_NE(cameraNode, nullptr);
        const auto want = expected(cameraNode, 0, 10.0);
        ExpectVector(camera->targetPos.values[0], want[0], want[1], want[2], 1e-4f);
        // Not where an unturned camera would look.
        EXPECT_GT(std::fabs(camera->targetPos.values[0].x - 11.0f) + std::fabs(camera->targetPos.values[0].z - 2.0f), 1.0f);
        FtkCameraMotionRelease(&camera);

        FtkSpotMotion* spot = nullptr;
        FtkSpotMotionGetByIndex(file.db, i, &spot);
        ASSERT_NE(spot, nullptr);
        SCOPED_TRACE(spot->name);
        KDuzNode* spotNode = nodeNamed(spots, spot->name);
        ASSERT_NE(spotNode, nullptr);
        const auto down = expected(spotNode, 1, -10.0);
        ExpectVector(spot->targetPos.values[0], down[0], down[1], down[2], 1e-4f);
        FtkSpotMotionRelease(&spot);
    }
}

TEST_F(W3dsTest, KeyframerNodesAndTracks) {
    KDuzNode* group = AddNode(manager, scene->GetRootNode(), "Group", KDuzNull::Create(manager, ""));
    KDuzNode* turned = AddNode(manager, group, "Turned", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    turned->SetLclRotation(duzVectorTemplate3<double>(0, 90, 0));
    turned->SetLclScaling(duzVectorTemplate3<double>(0, 0, 0));
    KDuzNode* moving = AddNode(manager, scene->GetRootNode(), "Moving", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    KDuzTakeNode* take = moving->GetCurrentTakeNode();
    Animate(take->GetTranslationXCurve(), {{0, 0}, {10, 10}});
    Animate(take->GetTranslationZCurve(), {{0, 0}, {10, 5}});

    const std::string path = PathOf("kf.3ds");
    ASSERT_TRUE(Write(path));
    Loaded file(path);
    FtkKfSettings* kf = nullptr;
    FtkKfSettingsInit(&kf);
    FtkKfSettingsGet(file.db, &kf);
    EXPECT_EQ(kf->animLength, 10);
    FtkKfSettingsRelease(&kf);

    FtkObjectMotion* dummy = file.Object("Group");
    ASSERT_NE(dummy, nullptr);
    EXPECT_STREQ(dummy->name, "$$$DUMMY");
    EXPECT_STREQ(dummy->instance, "Group");
    ExpectVector(dummy->bboxMax, 0.5f, 0.5f, 0.5f);

    FtkObjectMotion* t = file.Object("Turned");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->parent, "$$$DUMMY.Group");
    // Not animated itself: one key per frame of its take, the turn in the first.
    ASSERT_EQ(t->rot.keyCount, 1u);
    EXPECT_NEAR(std::fabs(t->rot.values[0].angle), M_PI / 2, 1e-5);
    EXPECT_NEAR(std::fabs(t->rot.values[0].z), 1, 1e-5);
    ExpectVector(t->scale.values[0], 1, 1, 1);

    FtkObjectMotion* m = file.Object("Moving");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->pos.keyCount, 11u);
    for (uint32_t i = 0; i < 11; ++i) {
        EXPECT_EQ(m->pos.keys[i].time, i);
        ExpectVector(m->pos.values[i], float(i), -0.5f * i, 0, 1e-4f);
    }
    ASSERT_EQ(m->rot.keyCount, 11u);
    // No turn: angle 0 about (-1, 0, 0).
    EXPECT_FLOAT_EQ(m->rot.values[5].angle, 0);
    EXPECT_FLOAT_EQ(m->rot.values[5].x, -1);
}

TEST_F(W3dsTest, PatchesAreTriangulatedWithoutTextures) {
    KDuzPatch* patch = KDuzPatch::Create(manager, "");
    ASSERT_TRUE(patch->InitControlPoints(4, ePatchLinear, 4, ePatchLinear));
    patch->SetStep(1, 1);
    for (int v = 0; v < 4; ++v)
        for (int u = 0; u < 4; ++u) patch->GetControlPoints()[v * 4 + u] = KgeTVector(u, v, 0, 1);
    KDuzTexture* texture = KDuzTexture::Create(manager, "t");
    texture->SetFileName("t.png");
    patch->AddTexture(texture);
    KDuzNode* node = AddNode(manager, scene->GetRootNode(), "Patch", patch);

    const std::string path = PathOf("patch.3ds");
    ASSERT_TRUE(Write(path));
    // Triangles are made for the file only: the node keeps its patch.
    EXPECT_EQ(node->GetNodeAttribute(), patch);
    Loaded file(path);
    ASSERT_EQ(FtkTriMeshCount(file.db), 1u);
    FtkTriMesh* mesh = file.Mesh(0);
    EXPECT_GT(mesh->faceCount, 0);
    EXPECT_EQ(mesh->texVertCount, 0);
    EXPECT_EQ(mesh->matGroupCount, 0);
    EXPECT_EQ(FtkMaterialCount(file.db), 0u);
}

TEST_F(W3dsTest, ShininessSurvivesRepeatedRoundTrips) {
    // Exponents on the format's whole-percent steps come back as they were,
    // and a second trip writes the same shininess as the first.
    const double exponents[] = {1.0, 4.0, 32.0, 64.0, 1024.0};
    std::vector<KDuzSurfaceMaterial*> materials;
    MeshSpec spec{{P(0, 0, 0), P(1, 0, 0), P(1, 1, 0)}, {}, {}, {}};
    for (const double exponent : exponents) {
        KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(manager, ("s" + std::to_string(int(exponent))).c_str());
        phong->GetShininessExponent().SetValue(&exponent, eValueKindDouble);
        spec.materials.push_back(phong);
        spec.polygons.push_back({0, 1, 2});
        spec.polygonMaterial.push_back(static_cast<int>(spec.materials.size()) - 1);
    }
    AddNode(manager, scene->GetRootNode(), "Shiny", MakeMesh(manager, spec));
    std::vector<float> written[2];
    for (int trip = 0; trip < 2; ++trip) {
        SCOPED_TRACE(trip);
        const std::string path = PathOf("shiny" + std::to_string(trip) + ".3ds");
        ASSERT_TRUE(Write(path));
        {
            Loaded file(path);
            for (size_t i = 0; i < std::size(exponents); ++i) {
                FtkMaterial* m = nullptr;
                FtkMaterialGetByIndex(file.db, static_cast<int>(i), &m);
                ASSERT_NE(m, nullptr);
                written[trip].push_back(m->shininess);
                FtkMaterialRelease(&m);
            }
        }
        KDuzScene* back = KDuzScene::Create(manager, "");
        KDuzReader3DS reader(manager);
        ASSERT_TRUE(reader.FileOpen(path.c_str()));
        ASSERT_TRUE(reader.Read(back, reader.GetReadOptions(false)));
        reader.FileClose();
        ASSERT_EQ(back->GetRootNode()->GetChildCount(), 1);
        auto* mesh = dynamic_cast<KDuzMesh*>(back->GetRootNode()->GetChild(0)->GetNodeAttribute());
        ASSERT_NE(mesh, nullptr);
        for (size_t i = 0; trip == 0 && i < std::size(exponents); ++i) {
            const std::string name = "s" + std::to_string(int(exponents[i]));
            bool found = false;
            for (int m = 0; m < mesh->GetMaterialCount(); ++m) {
                auto* phong = dynamic_cast<KDuzSurfacePhong*>(mesh->GetMaterial(m));
                if (phong == nullptr || name != phong->GetName()) continue;
                found = true;
                double exponent = 0.0;
                phong->GetShininessExponent().GetValue(&exponent, eValueKindDouble);
                EXPECT_NEAR(exponent, exponents[i], exponents[i] * 1e-5) << name;
            }
            EXPECT_TRUE(found) << name;
        }
        // The next trip writes what was read.
        scene = back;
    }
    EXPECT_EQ(written[0], written[1]);
}

TEST_F(W3dsTest, AnimationOptionOffWritesOneKeyPerTrack) {
    KDuzNode* moving = AddNode(manager, scene->GetRootNode(), "Moving", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    moving->SetLclTranslation(duzVectorTemplate3<double>(7, 0, 0));
    Animate(moving->GetCurrentTakeNode()->GetTranslationXCurve(), {{0, 0}, {10, 10}});
    const std::string path = PathOf("still.3ds");
    ASSERT_TRUE(Write(path, [](KDuzStreamOptions* o) { SetBool(o, "ANIMATION", false); }));
    Loaded file(path);
    FtkObjectMotion* m = file.Object("Moving");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->pos.keyCount, 1u);
    EXPECT_EQ(m->rot.keyCount, 1u);
    EXPECT_EQ(m->scale.keyCount, 1u);
    // The node's current value, not the curve's.
    ExpectVector(m->pos.values[0], 7, 0, 0);
}

TEST_F(W3dsTest, RootRescalingAndReferenceNode) {
    KDuzNode* root = AddNode(manager, scene->GetRootNode(), "Duz_Root", KDuzNull::Create(manager, ""));
    root->SetLclScaling(duzVectorTemplate3<double>(2.54, 2.54, 2.54));
    AddNode(manager, root, "Child", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    for (bool reference : {false, true}) {
        SCOPED_TRACE(reference);
        const std::string path = PathOf("root.3ds");
        ASSERT_TRUE(Write(path, [&](KDuzStreamOptions* o) { SetBool(o, "REFERENCENODE", reference); }));
        Loaded file(path);
        FtkMeshSettings* settings = nullptr;
        FtkMeshSettingsInit(&settings);
        FtkMeshSettingsGet(file.db, &settings);
        EXPECT_NEAR(settings->masterScale, 1.0f, 1e-6);
        FtkMeshSettingsRelease(&settings);
        // "Duz_Root" gets no dummy; with the reference node the scene's root does.
        EXPECT_EQ(FtkObjectMotionCount(file.db), reference ? 2u : 1u);
        EXPECT_STREQ(file.Object("Child")->parent, reference ? "$$$DUMMY.RootNod" : "");
    }
}

TEST_F(W3dsTest, ExporterWritesThreeDsThroughTheRegistry) {
    AddNode(manager, scene->GetRootNode(), "Quad", MakeMesh(manager, {kQuad, {{0, 1, 2, 3}}}));
    const std::string path = PathOf("export.3ds");
    KDuzExporter* exporter = KDuzExporter::Create(manager, "");
    ASSERT_TRUE(exporter->Initialize(path.c_str()));
    ASSERT_TRUE(exporter->Export(scene));
    exporter->Destroy();
    Loaded file(path);
    EXPECT_EQ(FtkTriMeshCount(file.db), 1u);
}

}  // namespace
