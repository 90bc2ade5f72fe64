#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "CurveDuzTestSupport.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/object/KDataType.h"

using namespace duzsdk;
using curvetest::Bytes;

namespace {

using curvetest::kSecond;

// Only the names of data types matter to the storage.
class TestType : public KDataType {
public:
    explicit TestType(const char* name) : KDataType(name, 8, 1, nullptr) {}
};
const TestType kLclTranslation("Lcl Translation");
const TestType kLclRotation("Lcl Rotation");

KFCurveNode* StoredLeaf(const char* name, float first, float second)
{
    KFCurveNode* node = KFCurveNodeCreate(name);
    node->SetCurve(KFCurveCreate());
    node->GetCurve()->SetDefaultValue(first);
    node->GetCurve()->KeySet(0, KTime(0), first);
    node->GetCurve()->KeySet(1, KTime(kSecond), second);
    return node;
}

KFCurveNode* StoredVector(const char* name, const KDataType* type, int layerType, float base)
{
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType);
    node->AddChild(StoredLeaf("X", base, base + 1));
    node->AddChild(StoredLeaf("Y", base + 2, base + 3));
    node->AddChild(StoredLeaf("Z", base + 4, base + 5));
    return node;
}

// A take block whose channels are the children of root.
Bytes TakeFile(bool binary, KFCurveNode& root, bool shortNames = false)
{
    return curvetest::WriteFile(binary, [&](KDuz& duz) {
        duz.FieldWriteBegin("Take");
        duz.FieldWriteBlockBegin();
        for (int i = 0; i < root.GetChildCount(); ++i)
            EXPECT_TRUE(KFCurveNodeWriteDuz(*root.GetChild(i), duz, false, shortNames, false, "Channel", true, false));
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
}

// Runs `use` inside the file's "Take" block; the file's error comes back.
int InTake(const Bytes& bytes, const std::function<void(KDuz&)>& use)
{
    KDuz duz;
    EXPECT_TRUE(curvetest::OpenFile(duz, bytes)) << duz.GetLastErrorString();
    EXPECT_TRUE(duz.FieldReadBegin("Take"));
    EXPECT_TRUE(duz.FieldReadBlockBegin());
    use(duz);
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
    return duz.GetLastErrorID();
}

int ReadTake(const Bytes& bytes, KFCurveNode& root, bool createMissing = true)
{
    return InTake(bytes, [&](KDuz& duz) {
        while (KFCurveNodeReadChannelDuz(duz, &root, true, createMissing, false) != nullptr) {
        }
    });
}

void ExpectSameTree(const KFCurveNode& a, const KFCurveNode& b)
{
    SCOPED_TRACE(a.GetName());
    EXPECT_STREQ(a.GetName(), b.GetName());
    EXPECT_STREQ(a.GetTypeName(), b.GetTypeName());
    EXPECT_EQ(a.GetLayerId(), b.GetLayerId());
    EXPECT_EQ(a.GetLayerType(), b.GetLayerType());
    ASSERT_EQ(a.GetCurve() != nullptr, b.GetCurve() != nullptr);
    if (a.GetCurve() != nullptr) {
        ASSERT_EQ(a.GetCurve()->KeyGetCount(), b.GetCurve()->KeyGetCount());
        EXPECT_EQ(a.GetCurve()->GetDefaultValue(), b.GetCurve()->GetDefaultValue());
        for (int i = 0; i < a.GetCurve()->KeyGetCount(); ++i) {
            EXPECT_EQ(a.GetCurve()->KeyGetValue(i), b.GetCurve()->KeyGetValue(i));
            EXPECT_EQ(a.GetCurve()->KeyGetTime(i).Get(), b.GetCurve()->KeyGetTime(i).Get());
        }
    }
    ASSERT_EQ(a.GetChildCount(), b.GetChildCount());
    for (int i = 0; i < a.GetChildCount(); ++i) ExpectSameTree(*a.GetChild(i), *b.GetChild(i));
    ASSERT_EQ(a.GetLayer() != nullptr, b.GetLayer() != nullptr);
    if (a.GetLayer() != nullptr) ExpectSameTree(*a.GetLayer(), *b.GetLayer());
}

class CurveNodeStorage : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(Encodings, CurveNodeStorage, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(curvetest::EncodingName(info.param));
                         });

TEST_P(CurveNodeStorage, TreeWithTwoLayersReadsBackAsWritten)
{
    KFCurveNode* root = KFCurveNodeCreate("Defaults");
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    root->AddChild(transform);
    transform->AddChild(StoredVector("Lcl Translation", nullptr, eCurveNodeLayerTranslation, 1.0f));
    transform->AddChild(StoredVector("Lcl Rotation", nullptr, eCurveNodeLayerRotation, 10.0f));
    KFCurveNode* intensity = StoredLeaf("Intensity", 0.5f, 0.75f);
    root->AddChild(intensity);
    KFCurveNode* renamed = new KFCurveNode("Visible", "Visibility", nullptr);
    renamed->SetCurve(KFCurveCreate());
    root->AddChild(renamed);
    KFCurveNode* translation = transform->GetChild(0);
    ASSERT_TRUE(translation->CreateLayer(1));
    ASSERT_TRUE(translation->InsertLayer(2));
    ASSERT_NE(translation->GetLayer(), nullptr);
    ASSERT_NE(translation->GetLayer()->GetLayer(), nullptr);
    translation->GetLayer()->GetChild(1)->GetCurve()->KeySet(0, KTime(kSecond), 42.0f);

    const Bytes bytes = TakeFile(GetParam(), *root);
    KFCurveNode* read = KFCurveNodeCreate("Defaults");
    EXPECT_EQ(ReadTake(bytes, *read), -1);
    ExpectSameTree(*root, *read);

    KFCurveNode* readTranslation = read->GetChild(0)->GetChild(0);
    KFCurveNode* layer1 = readTranslation->GetLayer();
    ASSERT_NE(layer1, nullptr);
    EXPECT_EQ(layer1->GetLayerId(), 1);
    EXPECT_EQ(layer1->GetLayer()->GetLayerId(), 2);
    EXPECT_EQ(layer1->GetChild(1)->GetCurve()->KeyGetValue(0), 42.0f);
    // A layer's channels report to the base channel of the same name.
    EXPECT_EQ(layer1->GetChild(1)->GetOwnerNode(), readTranslation->GetChild(1));
    EXPECT_STREQ(layer1->GetName(), "Lcl Translation");

    KFCurveObjectDelete(root);
    KFCurveObjectDelete(read);
}

TEST_P(CurveNodeStorage, UserNameOnlyWhereTheTypeNameDiffers)
{
    KFCurveNode* root = KFCurveNodeCreate("Defaults");
    root->AddChild(StoredLeaf("Same", 1.0f, 2.0f));
    KFCurveNode* other = new KFCurveNode("Shown", "Visibility", nullptr);
    other->SetCurve(KFCurveCreate());
    root->AddChild(other);
    InTake(TakeFile(GetParam(), *root), [](KDuz& duz) {
        for (const char* name : {"Same", "Shown"}) {
            ASSERT_TRUE(duz.FieldReadBegin("Channel"));
            EXPECT_STREQ(duz.FieldReadString(), name);
            ASSERT_TRUE(duz.FieldReadBlockBegin());
            EXPECT_STREQ(duz.FieldReadStringOrDefault("UserName", "-"), std::strcmp(name, "Same") == 0 ? "-" : "Visibility");
            duz.FieldReadBlockEnd();
            duz.FieldReadEnd();
        }
    });
    KFCurveObjectDelete(root);
}

TEST_P(CurveNodeStorage, ChannelLookupByShortNameAndRemark)
{
    // Written with short names and remarks; read into a tree that names its
    // channels differently.
    KFCurveNode* source = KFCurveNodeCreate("Defaults");
    source->AddChild(StoredVector("Lcl Rotation", &kLclRotation, eCurveNodeLayerRotation, 5.0f));
    source->AddChild(StoredLeaf("Intensity (remark)", 3.0f, 4.0f));
    source->AddChild(StoredLeaf("Roll  (two blanks)", 6.0f, 7.0f));
    source->AddChild(StoredLeaf("Unknown", 8.0f, 9.0f));
    const Bytes bytes = TakeFile(GetParam(), *source, true);
    InTake(bytes, [](KDuz& duz) {
        ASSERT_TRUE(duz.FieldReadBegin("Channel"));
        EXPECT_STREQ(duz.FieldReadString(), "R");
    });

    KFCurveNode* target = KFCurveNodeCreate("Defaults");
    KFCurveNode* rotation = KFCurveNodeCreate("Rot", &kLclRotation);
    for (const char* axis : {"X", "Y", "Z"}) rotation->AddChild(StoredLeaf(axis, 0.0f, 0.0f));
    target->AddChild(rotation);
    target->AddChild(StoredLeaf("Intensity", 0.0f, 0.0f));
    target->AddChild(StoredLeaf("Roll", 0.0f, 0.0f));
    EXPECT_EQ(ReadTake(bytes, *target, false), -1);
    ASSERT_EQ(target->GetChildCount(), 3);  // "Unknown" is skipped
    EXPECT_EQ(rotation->GetChild(2)->GetCurve()->KeyGetValue(1), 10.0f);
    EXPECT_EQ(rotation->GetLayerType(), eCurveNodeLayerRotation);
    EXPECT_EQ(target->GetChild(1)->GetCurve()->KeyGetValue(1), 4.0f);
    EXPECT_EQ(target->GetChild(2)->GetCurve()->KeyGetValue(1), 7.0f);
    KFCurveObjectDelete(source);
    KFCurveObjectDelete(target);
}

TEST_P(CurveNodeStorage, TimeWarpOfAnAxisGoesToItsParent)
{
    KFCurveNode* warp = KFCurveNodeCreate("Warp");
    KSortedPtrMap registry;
    registry.Insert(uintptr_t{7}, warp);
    KFCurveSetTimeWarpSet(&registry);
    KFCurveNode* source = KFCurveNodeCreate("Defaults");
    KFCurveNode* vector = StoredVector("Position", nullptr, 0, 0.0f);
    source->AddChild(vector);
    vector->GetChild(0)->SetTimeWarp(warp);
    KFCurveNode* single = StoredLeaf("Alpha", 1.0f, 0.0f);
    source->AddChild(single);
    single->SetTimeWarp(warp);

    KFCurveNode* read = KFCurveNodeCreate("Defaults");
    EXPECT_EQ(ReadTake(TakeFile(GetParam(), *source), *read), -1);
    KFCurveSetTimeWarpSet(nullptr);
    EXPECT_EQ(read->GetChild(0)->GetTimeWarp(), warp);
    EXPECT_EQ(read->GetChild(0)->GetChild(0)->GetTimeWarp(), nullptr);
    EXPECT_EQ(read->GetChild(1)->GetTimeWarp(), warp);
    KFCurveObjectDelete(source);
    KFCurveObjectDelete(read);
}

TEST_P(CurveNodeStorage, RootReadAndLayerTypeFromTheFile)
{
    const Bytes bytes = curvetest::WriteFile(GetParam(), [](KDuz& duz) {
        duz.FieldWriteBegin("Channel");
        duz.FieldWriteString("Scaling");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("LayerType");
        duz.FieldWriteInt(99);  // outside the table: ignored
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        // A quaternion layer type over three channels.
        duz.FieldWriteBegin("Channel");
        duz.FieldWriteString("Orientation");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("LayerType");
        duz.FieldWriteInt(eCurveNodeLayerQuaternion);
        duz.FieldWriteEnd();
        for (const char* axis : {"X", "Y", "Z"}) duz.FieldWriteNamedString("Channel", axis);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
    KDuz duz;
    ASSERT_TRUE(curvetest::OpenFile(duz, bytes));
    KFCurveNode* root = KFCurveNodeReadRootDuz(duz, true, false);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetParent(), nullptr);
    EXPECT_STREQ(root->GetName(), "Scaling");
    EXPECT_EQ(root->GetLayerType(), eCurveNodeLayerScaling);  // from the name
    KFCurveNode* second = KFCurveNodeReadRootDuz(duz, true, false);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetChildCount(), 3);
    EXPECT_EQ(second->GetLayerType(), eCurveNodeLayerPlain);
    EXPECT_EQ(KFCurveNodeReadRootDuz(duz, true, false), nullptr);
    KFCurveObjectDelete(root);
    KFCurveObjectDelete(second);
}

TEST(CurveNodeStorageAscii, Version4000DropsLayerTypesOfRenamedTransformNodes)
{
    const std::string body =
        "Take:  {\n"
        "    Channel: \"R\" {\n"
        "        LayerType: 2\n"
        "    }\n"
        "    Channel: \"LclR\" {\n"
        "        LayerType: 2\n"
        "    }\n"
        "}\n";
    for (int version : {4000, 6100}) {
        SCOPED_TRACE(version);
        KFCurveNode* root = KFCurveNodeCreate("Defaults");
        root->AddChild(StoredVector("R", &kLclRotation, 0, 0.0f));
        root->AddChild(StoredVector("LclR", &kLclRotation, 0, 0.0f));
        EXPECT_EQ(ReadTake(curvetest::AsciiFile(body, version), *root, false), -1);
        EXPECT_EQ(root->GetChild(0)->GetLayerType(), eCurveNodeLayerRotation);
        EXPECT_EQ(root->GetChild(1)->GetLayerType(), version == 4000 ? eCurveNodeLayerPlain : eCurveNodeLayerRotation);
        KFCurveObjectDelete(root);
    }
}

// ---------------------------------------------------------------- hostile

TEST_P(CurveNodeStorage, NestingDeeperThanTheLimitIsNotRead)
{
    constexpr int kDepth = 150;
    const Bytes bytes = curvetest::WriteFile(GetParam(), [](KDuz& duz) {
        duz.FieldWriteBegin("Take");
        duz.FieldWriteBlockBegin();
        for (int i = 0; i < kDepth; ++i) {
            duz.FieldWriteBegin("Channel");
            duz.FieldWriteString("N");
            duz.FieldWriteBlockBegin();
        }
        for (int i = 0; i < kDepth; ++i) {
            duz.FieldWriteBlockEnd();
            duz.FieldWriteEnd();
        }
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
    KFCurveNode* root = KFCurveNodeCreate("Defaults");
    EXPECT_EQ(ReadTake(bytes, *root), KDuz::kErrorCorrupted);
    int depth = 0;
    for (KFCurveNode* n = root; n->GetChildCount() > 0; n = n->GetChild(0)) ++depth;
    EXPECT_GT(depth, 10);
    EXPECT_LE(depth, kFCurveNodeDuzMaxDepth);
    KFCurveObjectDelete(root);
}

TEST_P(CurveNodeStorage, ManyUnmatchedChannelsAreSkippedWithoutRecursion)
{
    constexpr int kCount = 100000;
    const Bytes bytes = curvetest::WriteFile(GetParam(), [](KDuz& duz) {
        duz.FieldWriteBegin("Take");
        duz.FieldWriteBlockBegin();
        for (int i = 0; i < kCount; ++i) duz.FieldWriteNamedString("Channel", "Nothing");
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
    for (bool createMissing : {false, true}) {
        KFCurveNode* parent = StoredLeaf("WithCurve", 1.0f, 2.0f);
        InTake(bytes, [&](KDuz& duz) {
            // A parent with its own curve skips them even when asked to create.
            EXPECT_EQ(KFCurveNodeReadChannelDuz(duz, parent, true, createMissing, false), nullptr);
        });
        EXPECT_EQ(parent->GetChildCount(), 0);
        KFCurveObjectDelete(parent);
    }
}

TEST_P(CurveNodeStorage, ManyChannelsOfOneParentAreMatchedByName)
{
    // Each name twice, the second time in capitals: the second finds the
    // first instead of making another child.
    constexpr int kCount = 30000;
    const Bytes bytes = curvetest::WriteFile(GetParam(), [](KDuz& duz) {
        duz.FieldWriteBegin("Take");
        duz.FieldWriteBlockBegin();
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < kCount; ++i)
                duz.FieldWriteNamedString("Channel", ((pass == 0 ? "c" : "C") + std::to_string(i)).c_str());
        }
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
    KFCurveNode* root = KFCurveNodeCreate("Defaults");
    // Read as the block of one node, so one index serves every channel.
    KDuz duz;
    ASSERT_TRUE(curvetest::OpenFile(duz, bytes));
    ASSERT_TRUE(duz.FieldReadBegin("Take"));
    EXPECT_TRUE(KFCurveNodeReadDuz(*root, duz, true, true, false));
    EXPECT_EQ(root->GetChildCount(), kCount);
    EXPECT_STREQ(root->GetChild(kCount - 1)->GetName(), ("c" + std::to_string(kCount - 1)).c_str());
    KFCurveObjectDelete(root);
}

}  // namespace
