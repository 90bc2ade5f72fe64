#include "sdk/object/KDuzClassTree.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace duzsdk {
namespace {

char gMarker;
int gCreated = 0;
KDuzPlug* CountingCreator(KDuzSdkManager*, const char*) {
    ++gCreated;
    return reinterpret_cast<KDuzPlug*>(&gMarker);
}

// Registers the tree the way the first SDK manager does. Null when something
// else in this process registered it first (each test normally runs alone).
KClassRegistry* FirstManagerRegistry() {
    static KClassRegistry registry;
    static bool first = !KDuzClassIdOf(eDuzClassPlug).IsValid();
    static bool done = KDuzRegisterClassTree(registry);
    EXPECT_TRUE(done);
    return first ? &registry : nullptr;
}

TEST(KDuzClassTreeTest, TableHasUniqueNamesAndParentsFirst) {
    std::set<std::string> names;
    for (const KDuzClassTreeEntry& entry : kDuzClassTree) {
        SCOPED_TRACE(entry.name);
        EXPECT_TRUE(names.insert(entry.name).second);
        EXPECT_EQ(std::string(entry.name).rfind("KDuz", 0), 0u);
        if (entry.parent != eDuzClassNone) {
            EXPECT_LT(entry.parent, entry.id);
        }
        EXPECT_EQ(KDuzClassTreeFind(entry.name), entry.id);
    }
    EXPECT_EQ(kDuzClassTreeCount, 75);
    EXPECT_STREQ(kDuzClassTree[0].name, "KDuzPlug");
    EXPECT_STREQ(kDuzClassTree[74].name, "KDuzSurfacePhong");
    EXPECT_EQ(KDuzClassTreeFind("KDuzUnknown"), eDuzClassNone);
    EXPECT_EQ(KDuzClassTreeFind(nullptr), eDuzClassNone);
}

TEST(KDuzClassTreeTest, FirstRegistrationSetsEveryClassId) {
    KClassRegistry* first = FirstManagerRegistry();
    if (first == nullptr) GTEST_SKIP() << "the tree was registered earlier in this process";
    KClassRegistry& registry = *first;
    EXPECT_EQ(registry.GetNameCount(), kDuzClassTreeCount);
    EXPECT_EQ(registry.GetTypeNameCount(), 0);   // no class gets type names here
    for (const KDuzClassTreeEntry& entry : kDuzClassTree) {
        SCOPED_TRACE(entry.name);
        KClassId id = KDuzClassIdOf(entry.id);
        ASSERT_TRUE(id.IsValid());
        EXPECT_STREQ(id.GetName(), entry.name);
        EXPECT_EQ(id.GetParent(), KDuzClassIdOf(entry.parent));
        EXPECT_EQ(registry.FindClassByName(entry.name), id);
        EXPECT_TRUE(id.Is(KDuzClassIdOf(eDuzClassPlug)));
    }
    EXPECT_FALSE(KDuzClassIdOf(eDuzClassNone).IsValid());
    EXPECT_FALSE(KDuzClassIdOf(eDuzClassCount).IsValid());
}

TEST(KDuzClassTreeTest, LaterManagersChangeNothing) {
    FirstManagerRegistry();
    KClassId ids[eDuzClassCount];
    for (int i = 0; i < eDuzClassCount; ++i) ids[i] = KDuzClassIdOf(static_cast<EDuzClass>(i));
    int records = KClassIdGetRecordCount();

    KClassRegistry second;
    EXPECT_TRUE(KDuzRegisterClassTree(second));
    EXPECT_EQ(second.GetNameCount(), 0);
    EXPECT_EQ(KClassIdGetRecordCount(), records);
    for (int i = 0; i < eDuzClassCount; ++i) {
        EXPECT_EQ(KDuzClassIdOf(static_cast<EDuzClass>(i)), ids[i]) << kDuzClassTree[i].name;
    }
}

TEST(KDuzClassTreeTest, IsAnswersFromTheTree) {
    FirstManagerRegistry();
    struct Case { EDuzClass cls; EDuzClass target; bool expected; };
    const Case cases[] = {
        {eDuzClassMesh, eDuzClassGeometry, true},
        {eDuzClassMesh, eDuzClassGeometryBase, true},
        {eDuzClassMesh, eDuzClassLayerContainer, true},
        {eDuzClassMesh, eDuzClassNodeAttribute, true},
        {eDuzClassMesh, eDuzClassObject, true},
        {eDuzClassMesh, eDuzClassPlug, true},
        {eDuzClassMesh, eDuzClassMesh, true},
        {eDuzClassMesh, eDuzClassTakeNodeContainer, false},
        {eDuzClassMesh, eDuzClassShape, false},
        {eDuzClassCharacter, eDuzClassConstraint, true},
        {eDuzClassCharacter, eDuzClassTakeNodeContainer, true},
        {eDuzClassCluster, eDuzClassSubDeformer, true},
        {eDuzClassCluster, eDuzClassDeformer, false},
        {eDuzClassSkin, eDuzClassDeformer, true},
        {eDuzClassSurfacePhong, eDuzClassSurfaceMaterial, true},
        {eDuzClassImporter, eDuzClassIO, true},
        {eDuzClassStreamOptionsColladaWriter, eDuzClassStreamOptions, true},
        {eDuzClassKFCurveFilterUnroll, eDuzClassKFCurveFilters, true},
        {eDuzClassProperty, eDuzClassPlug, true},
        {eDuzClassProperty, eDuzClassObject, false},
        {eDuzClassObject, eDuzClassMesh, false},
        {eDuzClassNode, eDuzClassNodeAttribute, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(kDuzClassTree[c.cls].name) + " is " + kDuzClassTree[c.target].name);
        EXPECT_EQ(KDuzClassIdOf(c.cls).Is(KDuzClassIdOf(c.target)), c.expected);
    }
    EXPECT_FALSE(KDuzClassIdOf(eDuzClassMesh).Is(KClassId()));
}

TEST(KDuzClassTreeTest, CreatorsGivenAfterRegistrationApplyAtOnce) {
    FirstManagerRegistry();
    gCreated = 0;
    // A class without a creator makes objects of its nearest creatable
    // ancestor. The registered classes have creators of their own, so the
    // test takes the marker's away and gives its parent a counting one.
    const auto markerCreator = KDuzClassIdOf(eDuzClassMarker).GetCreator();
    const auto attributeCreator = KDuzClassIdOf(eDuzClassNodeAttribute).GetCreator();
    EXPECT_TRUE(KDuzClassTreeSetCreator(eDuzClassMarker, nullptr));
    EXPECT_TRUE(KDuzClassTreeSetCreator(eDuzClassNodeAttribute, &CountingCreator));
    EXPECT_EQ(KDuzClassIdOf(eDuzClassMarker).Create(nullptr, "m"),
              reinterpret_cast<KDuzPlug*>(&gMarker));
    EXPECT_EQ(gCreated, 1);

    EXPECT_FALSE(KDuzClassTreeSetCreator(eDuzClassCount, &CountingCreator));
    EXPECT_FALSE(KDuzClassTreeSetCreator(eDuzClassNone, &CountingCreator));

    KDuzClassTreeSetCreator(eDuzClassMarker, markerCreator);
    KDuzClassTreeSetCreator(eDuzClassNodeAttribute, attributeCreator);
    EXPECT_EQ(KDuzClassIdOf(eDuzClassMarker).GetCreator(), markerCreator);
}

}  // namespace
}  // namespace duzsdk
