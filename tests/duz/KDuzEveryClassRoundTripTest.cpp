// One scene with an object of every class, written in each of the six forms
// (version 6 and version 5; binary, ASCII and password-protected), read
// back, then written and read once more: both reads give back every value
// checked here. What a form has no place for is named with the reason.
#include <gtest/gtest.h>

#include <string>

#include "KDuzWriterDuzTestSupport.h"
#include "tests/support/SceneDump.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/base/KgeMath.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterLink.h"
#include "sdk/character/KDuzConstraint.h"
#include "sdk/character/KDuzConstraintAim.h"
#include "sdk/character/KDuzConstraintParent.h"
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
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "sdk/scene/KDuzTakeDescription.h"

using namespace duzsdk;
using namespace duztest;

namespace {

struct Form {
    const char* name;
    bool version6;
    int mode;  // registry format (version 6) or file mode (version 5)
    bool password;
};

const SceneDumpOptions kEveryClassDump{.includeTakes = true, .numberByPlace = true};

const Form kForms[] = {
    {"duz6 binary", true, kBinary, false},
    {"duz6 ascii", true, kAscii, false},
    {"duz6 protected", true, kEnciphered, true},
    {"duz5 binary", false, KDuzWriterDuz::eBinary, false},
    {"duz5 ascii", false, KDuzWriterDuz::eAscii, false},
    {"duz5 protected", false, KDuzWriterDuz::eEnciphered, true},
};

class EveryClass : public Duz5WriterTestBase {
protected:
    KDuzNode* Add(KDuzNode* parent, const char* name, KDuzObject* attribute) {
        KDuzNode* node = KDuzNode::Create(manager, name);
        parent->AddChild(node);
        if (attribute != nullptr) node->SetNodeAttribute(attribute);
        return node;
    }

    void Build() {
        KDuzNode* root = scene->GetRootNode();
        auto* red = KDuzSurfacePhong::Create(manager, "Red");
        const duzVectorTemplate3<double> diffuse(0.75, 0.25, 0.5);
        red->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3);
        auto* bricks = KDuzTexture::Create(manager, "Bricks");
        bricks->SetFileName("/nonexistent/bricks.bmp");
        bricks->SetCropping(1, 2, 3, 4);
        bricks->SetModelUVTranslation(0.5, 0.25);
        scene->ConnectSrcObject(red);
        scene->ConnectSrcObject(bricks);

        KDuzMesh* mesh = TexturedMesh(manager, red, bricks);
        KDuzLayerElementTexture* textures = mesh->GetLayer(0)->GetTextures();
        textures->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        textures->SetBlendMode(1);
        auto* smile = KDuzShape::Create(manager, "");
        smile->InitControlPoints(4);
        for (int i = 0; i < 4; ++i) smile->GetControlPoints()[i] = mesh->GetControlPoints()[i];
        smile->GetControlPoints()[1] = KgeTVector(1, 0.5, 0, 1);
        mesh->AddShape(smile, "Smile");
        body = Add(root, "Body", mesh);
        body->SetLclTranslation(duzVectorTemplate3<double>(1.5, -2.0, 3.25));
        body->SetShadingMode(4);
        body->ConnectSrcObject(red);

        KDuzNode* bone = Add(root, "Bone", KDuzSkeleton::Create(manager, ""));
        auto* skin = KDuzSkin::Create(manager, "");
        mesh->AddDeformer(skin);
        auto* cluster = KDuzCluster::Create(manager, "");
        cluster->SetLink(bone);
        cluster->AddControlPointIndex(2, 0.75);
        const double t[3] = {1, 2, 3}, none[3] = {0, 0, 0}, one[3] = {1, 1, 1};
        const double lt[3] = {-1, 0.5, 2}, lr[3] = {10, 45, 90};
        KgeMatrixComposeTRS(clusterTransform.Data(), t, none, one);
        KgeMatrix link;
        KgeMatrixComposeTRS(link.Data(), lt, lr, one);
        cluster->SetTransformMatrix(clusterTransform);
        cluster->SetTransformLinkMatrix(link);
        skin->ConnectSrcObject(cluster);

        auto* nurb = KDuzNurb::Create(manager, "");
        nurb->SetOrder(2, 2);
        nurb->InitControlPoints(2, eNurbOpen, 2, eNurbOpen);
        for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i] = KgeTVector(i, i * 2.0, 0, 1);
        Add(root, "Surface", nurb);
        auto* patch = KDuzPatch::Create(manager, "");
        patch->InitControlPoints(2, 4, 2, 4);
        for (int i = 0; i < 4; ++i) patch->GetControlPoints()[i] = KgeTVector(0, i, i * 0.5, 1);
        Add(root, "Sheet", patch);

        auto* light = KDuzLight::Create(manager, "");
        light->SetLightType(KDuzLight::eSpot);
        light->SetIntensity(75.0);
        Add(body, "Lamp", light);
        auto* camera = KDuzCamera::Create(manager, "");
        camera->SetNearPlane(2.5);
        Add(root, "Eye", camera);
        auto* marker = KDuzMarker::Create(manager, "");
        Add(root, "Mark", marker);
        Add(root, "Group", KDuzNull::Create(manager, ""));
        if (auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(scene->GetCameraSwitcherNode()->GetCameraSwitcher()))
            switcher->AddCameraName("Eye");

        struct UserRow {
            const char* name;
            int kind;
            double value;
        };
        for (const UserRow& row : {UserRow{"Weight", eValueKindDouble, 0.5}, UserRow{"Count", eValueKindInt, 7},
                                   UserRow{"Mode", eValueKindEnum, 1}}) {
            KDuzProperty property = KDuzProperty::Create(body, row.name, PropertyDataTypeTableGet(row.kind));
            property.ModifyFlag(kDuzPropertyUser, true);
            if (row.kind == eValueKindEnum) {
                property.AddEnumValue("Off");
                property.AddEnumValue("On");
            }
            const int asInt = static_cast<int>(row.value);
            if (row.kind == eValueKindDouble) property.SetValue(&row.value, row.kind);
            else property.SetValue(&asInt, row.kind);
        }

        scene->CreateCharacter("Hero");
        auto* hero = dynamic_cast<KDuzCharacter*>(scene->GetCharacter(0));
        KDuzCharacterLink hips;
        hips.mNode = bone;
        hips.mOffsetT = KgeTVector(1.5, 0, 0, 1);
        hips.mHasRotSpace = true;
        hips.mPreRotation = KgeTVector(10, 20, 30, 1);
        hero->SetCharacterLink(KDuzCharacterNodeGroupId(0, 0), hips, true);

        auto* parent = dynamic_cast<KDuzConstraintParent*>(manager->CreateConstraint("Follow", 4));
        scene->ConnectSrcObject(parent);
        parent->SourceParent.ConnectSrcObject(bone);
        parent->ConstrainedObject.ConnectSrcObject(marker->GetDstObject(KDuzNode::ClassId(), 0));
        auto* aim = dynamic_cast<KDuzConstraintAim*>(manager->CreateConstraint("Look", 6));
        scene->ConnectSrcObject(aim);
        aim->AimAtObjects.ConnectSrcObject(body);

        auto* bind = KDuzPose::Create(manager, "Bind");
        bind->SetIsBindPose(true);
        KgeMatrix matrix;
        for (int i = 0; i < 16; ++i) matrix.Data()[i] = i * 0.5;
        bind->Add(body, matrix);
        scene->ConnectSrcObject(bind);

        KDuzGlobalLightSettings& lights = *scene->GetGlobalLightSettings();
        lights.SetAmbientColor(KDuzRGBAColor(0.25, 0.5, 0.75, 1));
        lights.SetFogEnable(true);
        duztest::AddWalkTake(scene, body);
        scene->SetCurrentTake("Walk");
    }

    bool WriteIn(KDuzScene* source, const Form& form, const std::string& path) {
        KDuzStreamOptionsDuzWriter* options = WriteOptions();
        if (form.password) {
            options->SetBoolOption("PASSWORD ENABLE", true);
            options->SetStringOption("PASSWORD", "secret");
        }
        const bool written =
            form.version6 ? Export(source, path, form.mode, options) : WriteDuz5(source, path, form.mode, options);
        EXPECT_TRUE(written) << lastExportError;
        return written;
    }
    KDuzScene* ReadIn(const Form& form, const std::string& path) {
        KDuzScene* read = Import(path, form.password ? "secret" : nullptr);
        EXPECT_NE(read, nullptr) << lastImportError;
        return read;
    }

    KDuzNode* body = nullptr;
    KgeMatrix clusterTransform;
};

int ConstraintCount(KDuzScene& scene) { return scene.GetSrcObjectCount(KDuzConstraint::ClassId()); }

// What each form must give back (and a read written again once more).
void CheckValues(KDuzScene& read, const Form& form, const KgeMatrix& clusterTransform) {
    KDuzNode* readBody = read.FindNode("Body");
    ASSERT_NE(readBody, nullptr);
    auto* mesh = dynamic_cast<KDuzMesh*>(readBody->GetNodeAttribute());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetPolygonCount(), 2);
    ASSERT_EQ(mesh->GetShapeCount(), 1);
    auto* skin = dynamic_cast<KDuzSkin*>(mesh->GetDeformerOfType(0, KDuzDeformer::eSkin));
    ASSERT_NE(skin, nullptr);
    ASSERT_EQ(skin->GetClusterCount(), 1);
    const KgeMatrix transform = skin->GetCluster(0)->GetStoredTransformMatrix();
    for (int i = 12; i < 15; ++i) EXPECT_NEAR(transform.Data()[i], clusterTransform.Data()[i], 1e-9);
    ASSERT_NE(mesh->GetLayer(0)->GetTextures(), nullptr);
    EXPECT_EQ(mesh->GetLayer(0)->GetTextures()->GetBlendMode(), 1);
    KDuzTexture* texture = mesh->GetTexture(0, 0);
    ASSERT_NE(texture, nullptr);
    double u = 0.0;
    double v = 0.0;
    texture->GetModelUVTranslation(u, v);
    EXPECT_DOUBLE_EQ(u, 0.5);
    EXPECT_DOUBLE_EQ(v, 0.25);
    EXPECT_EQ(texture->GetFirstCropping(), 1);
    EXPECT_EQ(texture->GetFourthCropping(), 4);
    EXPECT_NE(dynamic_cast<KDuzNurb*>(read.FindNode("Surface")->GetNodeAttribute()), nullptr);
    EXPECT_NE(dynamic_cast<KDuzPatch*>(read.FindNode("Sheet")->GetNodeAttribute()), nullptr);
    EXPECT_NE(dynamic_cast<KDuzLight*>(read.FindNode("Lamp")->GetNodeAttribute()), nullptr);
    EXPECT_NE(dynamic_cast<KDuzCamera*>(read.FindNode("Eye")->GetNodeAttribute()), nullptr);

    // Version 5 names a user property after its type too.
    const char* weightName = form.version6 ? "Weight" : "Weight (Number)";
    KDuzProperty weight = readBody->FindProperty(weightName);
    ASSERT_TRUE(weight.IsValid()) << weightName;
    double value = 0.0;
    weight.GetValue(&value, eValueKindDouble);
    EXPECT_DOUBLE_EQ(value, 0.5);
    KDuzProperty mode = readBody->FindProperty(form.version6 ? "Mode" : "Mode (Enum)");
    ASSERT_TRUE(mode.IsValid());
    int index = 0;
    mode.GetValue(&index, eValueKindInt);
    EXPECT_EQ(index, 1);
    // A version 5 user property record has no field for the entries of
    // an enumeration: only its value travels.
    if (form.version6) {
        EXPECT_EQ(mode.GetEnumCount(), 2);
    }

    ASSERT_EQ(read.GetCharacterCount(), 1);
    KDuzCharacterLink hips;
    ASSERT_TRUE(dynamic_cast<KDuzCharacter*>(read.GetCharacter(0))
                    ->GetCharacterLink(KDuzCharacterNodeGroupId(0, 0), &hips));
    EXPECT_DOUBLE_EQ(hips.mOffsetT.GetElement(0), 1.5);
    EXPECT_TRUE(hips.mHasRotSpace);
    // The version 5 writer writes the layout of top-level model records
    // (no "Definitions"), in which a reader makes objects only from "Model"
    // records and reads no "Connections": position, rotation, scale,
    // parent-child, single-chain IK and aim constraints exist only as
    // "Constraint" records of an "Objects" section, with their sources and
    // targets in "Connections", which that layout has not. Characters
    // travel in their own "CHARACTER" records.
    EXPECT_EQ(ConstraintCount(read) - 1, form.version6 ? 2 : 0);
}


}  // namespace

TEST_F(EveryClass, EachFormReadsBackAndReadsTheSameAfterAnotherWrite) {
    Build();
    for (const Form& form : kForms) ASSERT_TRUE(WriteIn(scene, form, PathOf(std::string(form.name) + ".duz")));
    scene->Destroy();
    scene = nullptr;
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        KDuzScene* first = ReadIn(form, PathOf(std::string(form.name) + ".duz"));
        ASSERT_NE(first, nullptr);

        CheckValues(*first, form, clusterTransform);
        if (HasFatalFailure()) return;

        // Whole: what the first read holds, a write and a read give back.
        const std::string firstDump = DumpScene(*first, kEveryClassDump);
        ASSERT_TRUE(WriteIn(first, form, PathOf("second.duz")));
        // The version 5 writer leaves the scene it writes as it was. (The
        // version 6 writer gives unnamed attributes, deformers and clusters
        // their written names in the scene, so that later writes keep them.)
        if (!form.version6) {
            EXPECT_EQ(DiffDumps(firstDump, DumpScene(*first, kEveryClassDump)), "") << "the write changed the scene";
        }
        first->Destroy();
        KDuzScene* second = ReadIn(form, PathOf("second.duz"));
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(DiffDumps(firstDump, DumpScene(*second, kEveryClassDump)), "") << "read, written and read again";
        {
            SCOPED_TRACE("read, written and read again");
            CheckValues(*second, form, clusterTransform);
        }
        second->Destroy();
    }
}
