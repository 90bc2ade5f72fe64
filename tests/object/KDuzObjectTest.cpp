#include "sdk/object/KDuzObject.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace duzsdk {
namespace {

// An object that answers as one class of the tree, with a chosen name kind.
template <EDuzClass Class, int Kind = 0>
class FakeObject : public KDuzObject {
public:
    using KDuzObject::KDuzObject;
    KClassId GetClassId() const override { return KDuzClassIdOf(Class); }
    int GetNameKind() const override { return Kind; }
    static FakeObject* Make(KDuzSdkManager* manager, const char* name) {
        auto* object = new FakeObject(manager, name);
        object->PostCreate();
        return object;
    }
};

using Scene = FakeObject<eDuzClassScene, 17>;
using Node = FakeObject<eDuzClassNode, 1>;
using Mesh = FakeObject<eDuzClassMesh, 14>;

// Records every connection event it hears and may refuse one code.
class Recorder : public KDuzObject {
public:
    using KDuzObject::KDuzObject;
    bool ConnectNotify(const KDuzConnectEvent& event) override {
        codes.push_back(event.code);
        if (event.code == refuse) return false;
        return KDuzObject::ConnectNotify(event);
    }
    std::vector<int> codes;
    int refuse = -1;
};

class KDuzObjectTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    template <typename T>
    T* Make(const char* name) {
        auto* object = new T(manager, name);
        object->PostCreate();
        made.push_back(object);
        return object;
    }
    void DestroyMade() {
        for (auto it = made.rbegin(); it != made.rend(); ++it) (*it)->Destroy();
        made.clear();
    }

    KDuzSdkManager* manager = nullptr;
    std::vector<KDuzObject*> made;
};

TEST(KDuzNameTest, PrefixTableAndHelpers) {
    struct Row { int kind; const char* prefix; };
    const Row kRows[] = {{1, "Model::"}, {2, "Texture::"}, {3, "Material::"}, {4, "Video::"},
                         {5, "Video::"}, {6, "Constraint::"}, {7, "MarkerSet::"}, {8, "Constraint::"},
                         {9, "Pose::"}, {10, ""}, {11, "Pose::"}, {12, "ControlSetPlug::"},
                         {13, "Constraint::"}, {14, "Geometry::"}, {16, "GeometryWeightedMap::"},
                         {17, "Scene::"}, {18, "Deformer::"}, {19, "SubDeformer::"}, {21, "Cache::"},
                         {0, ""}, {15, ""}, {20, ""}, {99, ""}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.kind);
        EXPECT_STREQ(KDuzNamePrefixOfKind(row.kind).Buffer(), row.prefix);
    }
    EXPECT_EQ(KDuzNamePrefixText(0), nullptr);
    EXPECT_STREQ(KDuzNamePrefixText(10), "");

    EXPECT_STREQ(KDuzStripNamePrefix("Model::Cube").Buffer(), "Cube");
    EXPECT_STREQ(KDuzStripNamePrefix("Cube").Buffer(), "Cube");
    EXPECT_STREQ(KDuzStripNamePrefix("a::b::c").Buffer(), "b::c");
    EXPECT_STREQ(KDuzBuildPrefixedName("Model::", "Model::Cube").Buffer(), "Model::Cube");
    EXPECT_STREQ(KDuzBuildPrefixedName("Model::", "Cube").Buffer(), "Model::Cube");
    EXPECT_STREQ(KDuzBuildPrefixedName("Model::", "Model::").Buffer(), "");
    EXPECT_STREQ(KDuzBuildPrefixedName("", "Texture::wood").Buffer(), "wood");
    EXPECT_STREQ(KDuzBuildPrefixedName(nullptr, "wood").Buffer(), "wood");
}

TEST_F(KDuzObjectTest, SetNameWithKindPrefix) {
    struct Row { int kind; const char* input; bool flag; const char* stored; };
    const Row kRows[] = {
        {3, "Texture::wood", true, "Material::wood"}, {0, "Texture::wood", true, "Texture::wood"},
        {1, "Rig::Arm::Hand", true, "Model::Arm::Hand"}, {1, "Cube", true, "Model::Cube"},
        {1, "Cube", false, "Cube"}, {10, "Pose::p", true, "p"},
    };
    auto* material = Make<FakeObject<eDuzClassSurfaceMaterial, 3>>("m");
    auto* plain = Make<KDuzObject>("o");
    auto* model = Make<Node>("n");
    auto* empty = Make<FakeObject<eDuzClassObject, 10>>("e");
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.input);
        KDuzObject* target = row.kind == 3 ? static_cast<KDuzObject*>(material)
                             : row.kind == 1 ? static_cast<KDuzObject*>(model)
                             : row.kind == 10 ? static_cast<KDuzObject*>(empty)
                                              : plain;
        target->SetName(row.input, row.flag);
        EXPECT_STREQ(target->GetName(), row.stored);
    }
    EXPECT_STREQ(model->GetInitialName(), "n");   // renaming keeps the initial name
    model->SetName("Cube", true);
    EXPECT_STREQ(model->GetNameWithPrefix().Buffer(), "Model::Model::Cube");
    EXPECT_STREQ(model->GetNamePrefix().Buffer(), "Model::");

    auto* other = Make<Node>("Other");
    model->CopyName(*other);
    EXPECT_STREQ(model->GetName(), "Other");
    material->CopyName(*other);   // different kind: unchanged
    EXPECT_STREQ(material->GetName(), "Material::wood");
    DestroyMade();
}

TEST_F(KDuzObjectTest, PropertyLookups) {
    auto* object = Make<KDuzObject>("o");
    PropertyDataType number = PropertyDataTypeFromName("Number");
    ASSERT_TRUE(number.IsValid());
    ASSERT_TRUE(PropertyDataTypeFromName("Lcl Translation").IsValid());
    const char* names[] = {"a", "dup", "b", "c", "dup"};
    std::vector<KDuzProperty> handles;
    for (const char* name : names) handles.push_back(KDuzProperty(object, name, number));
    EXPECT_EQ(object->GetPropertyCount(), 5);

    // From start 3 the search visits 3, 4, 0, 1, 2.
    EXPECT_TRUE(object->FindPropertyFrom("dup", 3, 5).IsSame(handles[4]));
    EXPECT_TRUE(object->FindPropertyFrom("dup", 0, 5).IsSame(handles[1]));
    EXPECT_TRUE(object->FindPropertyFrom("a", 4, 5).IsSame(handles[0]));
    EXPECT_FALSE(object->FindPropertyFrom("a", 5, 5).IsValid());
    EXPECT_FALSE(object->FindPropertyFrom("a", -1, 5).IsValid());
    EXPECT_TRUE(object->FindPropertyFrom("a", 2, 500).IsSame(handles[0]));   // count clamped
    EXPECT_FALSE(object->FindPropertyFrom(nullptr, 0, 5).IsValid());

    EXPECT_FALSE(object->GetPropertyAt(5).IsValid());
    EXPECT_FALSE(object->GetPropertyAt(-1).IsValid());
    EXPECT_TRUE(object->GetPropertyAt(2).IsSame(handles[2]));

    KDuzProperty lcl(object, "Lcl Translation", PropertyDataTypeFromName("Lcl Translation"));
    EXPECT_TRUE(object->FindProperty("lcl translation", false).IsSame(lcl));
    EXPECT_FALSE(object->FindProperty("lcl translation", true).IsValid());
    EXPECT_TRUE(object->FindPropertyOfType("Lcl Translation", PropertyDataTypeFromName("Lcl Translation"))
                    .IsSame(lcl));
    EXPECT_FALSE(object->FindPropertyOfType("Lcl Translation", number).IsValid());

    // The same property twice keeps one entry.
    EXPECT_TRUE(object->AddProperty(lcl));
    EXPECT_EQ(object->GetPropertyCount(), 6);
    ASSERT_NE(object->FindWrapperOf(lcl.GetBoundProperty()), nullptr);
    EXPECT_EQ(object->FindWrapperOf(lcl.GetBoundProperty())->GetName(), std::string("Lcl Translation"));
    EXPECT_EQ(object->FindWrapperOf(nullptr), nullptr);
    DestroyMade();
}

// Objects with many properties find them through a name index: it must
// answer as a walk over the list does (the first of a repeated name), while
// properties are added, listed from the internal side, removed and renamed.
TEST_F(KDuzObjectTest, ManyPropertiesFoundAsByAWalk) {
    auto* object = Make<KDuzObject>("o");
    const PropertyDataType number = PropertyDataTypeFromName("Number");
    auto walk = [object](const std::string& name) {
        for (int i = 0; i < object->GetPropertyCount(); ++i)
            if (name == object->GetPropertyNameAt(i)) return i;
        return -1;
    };
    auto expectAsWalk = [&](const char* step) {
        for (int i = 0; i < object->GetPropertyCount() + 3; ++i) {
            const std::string name = i < object->GetPropertyCount() ? object->GetPropertyNameAt(i)
                                                                    : "missing " + std::to_string(i);
            const int expected = walk(name);
            const KDuzProperty found = object->FindProperty(name.c_str());
            if (expected < 0)
                EXPECT_FALSE(found.IsValid()) << step << ": " << name;
            else
                EXPECT_TRUE(found.IsSame(object->GetPropertyAt(expected))) << step << ": " << name;
        }
    };

    std::vector<KDuzProperty> handles;
    for (int i = 0; i < 100; ++i) {
        // Every tenth name repeats an earlier one.
        const std::string name = i % 10 == 9 ? "p" + std::to_string(i - 5) : "p" + std::to_string(i);
        handles.push_back(KDuzProperty(object, name.c_str(), number));
        ASSERT_TRUE(object->FindProperty(name.c_str()).IsValid()) << name;
    }
    expectAsWalk("added");

    KObject* internal = object->GetInternalObject();
    auto* renamed = new KPropertyTemplate<int>(internal, "Native 0");
    for (int i = 1; i < 40; ++i) new KPropertyTemplate<int>(internal, ("Native " + std::to_string(i)).c_str());
    object->WrapInternalProperties();
    expectAsWalk("listed");

    handles[4].Destroy();    // the first "p4": its twin at 9 is found now
    handles[50].Destroy();
    expectAsWalk("removed");
    EXPECT_TRUE(object->FindProperty("p4").IsSame(handles[9]));

    renamed->SetName("Native renamed", false);
    KDuzProperty late(object, "late", number);
    expectAsWalk("renamed");
    EXPECT_TRUE(object->FindProperty("late").IsSame(late));
    DestroyMade();
}

TEST_F(KDuzObjectTest, WrapInternalPropertiesOnce) {
    auto* object = Make<KDuzObject>("o");
    KDuzProperty own(object, "Own", PropertyDataTypeFromName("Number"));
    new KPropertyTemplate<int>(object->GetInternalObject(), "Native");
    new KPropertyTemplate<double>(object->GetInternalObject(), "Other");
    object->WrapInternalProperties();
    EXPECT_EQ(object->GetPropertyCount(), 3);
    object->WrapInternalProperties();
    EXPECT_EQ(object->GetPropertyCount(), 3);
    KDuzProperty native = object->FindProperty("Native");
    ASSERT_TRUE(native.IsValid());
    EXPECT_STREQ(native.GetDataType().GetName(), "Integer");
    int value = 5;
    EXPECT_TRUE(native.SetValue(&value, 2));
    EXPECT_EQ(native.GetBoundProperty()->GetInt(), 5);
    DestroyMade();
}

// Internal properties are listed at once but get their handle only when
// asked for; a handle made late must show what an early one would have.
TEST_F(KDuzObjectTest, LateHandlesMatchEarlyOnes) {
    auto* object = Make<KDuzObject>("o");
    KObject* internal = object->GetInternalObject();
    auto* first = new KPropertyTemplate<double>(internal, "First");
    auto* limited = new KPropertyTemplate<double>(internal, "Limited");
    auto* renamed = new KPropertyTemplate<int>(internal, "Renamed");
    auto* removed = new KPropertyTemplate<int>(internal, "Removed");
    auto* animated = new KPropertyTemplate<double>(internal, "Animated");
    animated->GetInfo().flags |= KPropertyInfo::kAnimatable;
    object->WrapInternalProperties();
    KDuzProperty own(object, "Own", PropertyDataTypeFromName("Number"));
    ASSERT_EQ(object->GetPropertyCount(), 6);

    // Settings changed on the internal side after listing stay out of the
    // handle, whenever it is made; a rename keeps the listed name.
    limited->SetMinMax(-1.0, 1.0);
    limited->SetLabel("changed");
    renamed->SetName("Other", false);
    EXPECT_DOUBLE_EQ(object->FindProperty("Limited").GetMinLimit(), 0.0);
    EXPECT_STREQ(object->FindProperty("Limited").GetLabel().Buffer(), "Limited");
    EXPECT_TRUE(object->FindProperty("Renamed").IsBoundTo(renamed));
    EXPECT_FALSE(object->FindProperty("Other").IsValid());

    // A property removed behind the object's back stays listed, unbound.
    internal->RemoveProperty(removed);
    KDuzProperty orphan = object->GetPropertyAt(3);
    EXPECT_STREQ(orphan.GetName(), "Removed");
    EXPECT_EQ(orphan.GetBoundProperty(), nullptr);

    // Listing order, values and look-ups are those of the internal list.
    const char* names[] = {"First", "Limited", "Renamed", "Removed", "Animated", "Own"};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(object->GetPropertyAt(i).GetName(), names[i]) << i;
    EXPECT_TRUE(object->GetPropertyAt(4).GetFlag(kDuzPropertyAnimatable));
    EXPECT_EQ(object->FindWrapperOf(first), object->FindWrapperOf(first));
    EXPECT_TRUE(object->FindWrapperOf(first)->IsBoundTo(first));
    double value = 2.5;
    EXPECT_TRUE(object->FindProperty("first", false).SetValue(&value, 4));
    EXPECT_DOUBLE_EQ(first->GetDouble(), 2.5);
    DestroyMade();
}

// Destroying an object whose internal properties never got a handle takes
// them out of the internal object one by one, last first.
TEST_F(KDuzObjectTest, UnaskedPropertiesLeaveWithTheObject) {
    auto* object = Make<KDuzObject>("o");
    KObject* internal = object->GetInternalObject();
    new KPropertyTemplate<double>(internal, "A");
    new KPropertyTemplate<double>(internal, "B");
    object->WrapInternalProperties();
    KDuzProperty a = object->FindProperty("A");
    EXPECT_EQ(internal->GetPropertyCount(), 2);
    object->Destroy();
    made.clear();
    EXPECT_FALSE(a.IsValid());
}

TEST_F(KDuzObjectTest, ConnectionsByClassInOrder) {
    auto* node = Make<Node>("node");
    auto* mesh = Make<Mesh>("mesh");
    auto* plain = Make<KDuzObject>("plain");
    auto* child = Make<Node>("child");
    EXPECT_FALSE(node->ConnectSrcObject(nullptr));
    EXPECT_TRUE(node->ConnectSrcObject(mesh));
    EXPECT_TRUE(node->ConnectSrcObject(plain));
    EXPECT_TRUE(node->ConnectSrcObject(child));

    EXPECT_EQ(node->GetSrcObjectCount(), 3);
    EXPECT_EQ(node->GetSrcObjectCount(Node::ClassId()), 3);   // a null class id reads as KDuzObject
    EXPECT_EQ(node->GetSrcObjectCount(KDuzClassIdOf(eDuzClassNode)), 1);
    EXPECT_EQ(node->GetSrcObjectCount(KDuzClassIdOf(eDuzClassNodeAttribute)), 1);
    EXPECT_EQ(node->GetSrcObject(KClassId(), 1), plain);
    EXPECT_EQ(node->GetSrcObject(KDuzClassIdOf(eDuzClassNode), 0), child);
    EXPECT_EQ(node->GetSrcObject(KClassId(), 3), nullptr);
    EXPECT_EQ(node->GetSrcObject(KClassId(), -1), nullptr);
    EXPECT_EQ(node->FindSrcObject(KClassId(), "child"), child);
    EXPECT_EQ(node->FindSrcObject(KClassId(), "mesh", 1), nullptr);
    EXPECT_EQ(node->FindSrcObject(KClassId(), "mesh", -4), mesh);
    EXPECT_EQ(node->GetSrcObjectCountByInfo(nullptr), 0);
    EXPECT_EQ(node->GetSrcObjectByInfo(0, KDuzClassIdOf(eDuzClassMesh).GetInfo()), mesh);
    EXPECT_TRUE(node->IsConnectedSrcObject(mesh));
    EXPECT_TRUE(mesh->IsConnectedDstObject(node));
    EXPECT_FALSE(mesh->IsConnectedDstObject(nullptr));
    EXPECT_EQ(mesh->GetDstObject(KClassId(), 0), node);

    EXPECT_TRUE(node->DisconnectAllSrcObjects(KDuzClassIdOf(eDuzClassNode)));
    EXPECT_EQ(node->GetSrcObjectCount(), 2);
    EXPECT_TRUE(node->DisconnectAllSrcObjects());
    EXPECT_EQ(node->GetSrcObjectCount(), 0);
    DestroyMade();
}

// Asking for sources by index resumes the last walk; whatever changes the
// connections in between (or asks out of order) must still see the list as
// it is now.
TEST_F(KDuzObjectTest, IndexedSourcesFollowChangesBetweenCalls) {
    auto* node = Make<Node>("node");
    std::vector<KDuzObject*> children;
    for (int i = 0; i < 6; ++i) {
        children.push_back(Make<Node>(("c" + std::to_string(i)).c_str()));
        ASSERT_TRUE(node->ConnectSrcObject(children.back()));
        ASSERT_TRUE(node->ConnectSrcObject(Make<Mesh>("m")));   // interleaved, filtered out below
    }
    const KClassId nodes = KDuzClassIdOf(eDuzClassNode);
    EXPECT_EQ(node->GetSrcObjectCount(nodes), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(node->GetSrcObject(nodes, i), children[static_cast<size_t>(i)]);
    EXPECT_EQ(node->GetSrcObject(nodes, 6), nullptr);
    EXPECT_EQ(node->GetSrcObject(nodes, 2), children[2]);   // backwards
    EXPECT_EQ(node->GetSrcObject(nodes, 2), children[2]);   // the same again
    EXPECT_EQ(node->GetSrcObject(KDuzClassIdOf(eDuzClassMesh), 1)->GetName(), std::string("m"));
    EXPECT_EQ(node->GetSrcObject(nodes, 3), children[3]);   // another class asked in between
    for (int i = 5; i >= 0; --i)   // from the last down, as a pre-order stack walks
        EXPECT_EQ(node->GetSrcObject(nodes, i), children[static_cast<size_t>(i)]) << i;
    // Connections between other objects leave the walk where it stands.
    auto* other = Make<Node>("other");
    EXPECT_EQ(node->GetSrcObject(nodes, 2), children[2]);
    ASSERT_TRUE(other->ConnectSrcObject(Make<Node>("elsewhere")));
    EXPECT_EQ(node->GetSrcObject(nodes, 3), children[3]);
    EXPECT_EQ(node->GetSrcObjectCount(nodes), 6);

    // Cut one while a walk stands past it, then go on.
    EXPECT_EQ(node->GetSrcObject(nodes, 4), children[4]);
    ASSERT_TRUE(node->DisconnectSrcObject(children[1]));
    EXPECT_EQ(node->GetSrcObjectCount(nodes), 5);
    EXPECT_EQ(node->GetSrcObject(nodes, 4), children[5]);
    EXPECT_EQ(node->GetSrcObject(nodes, 1), children[2]);

    // A destroyed source leaves every walk that saw it.
    std::erase(made, children[5]);
    children[5]->Destroy();
    EXPECT_EQ(node->GetSrcObjectCount(nodes), 4);
    EXPECT_EQ(node->GetSrcObject(nodes, 4), nullptr);
    // A source that leaves for another object leaves this walk; back, it
    // comes last.
    EXPECT_EQ(node->GetSrcObject(nodes, 3), children[4]);
    ASSERT_TRUE(node->DisconnectSrcObject(children[0]));
    ASSERT_TRUE(other->ConnectSrcObject(children[0]));
    EXPECT_EQ(node->GetSrcObjectCount(nodes), 3);
    EXPECT_EQ(node->GetSrcObject(nodes, 2), children[4]);
    EXPECT_EQ(node->GetSrcObject(nodes, 0), children[2]);
    ASSERT_TRUE(node->ConnectSrcObject(children[0]));
    EXPECT_EQ(node->GetSrcObject(nodes, 3), children[0]);
    // The manager's own lists follow creation and destruction the same way.
    const int before = manager->GetObjectCount(nodes);
    EXPECT_EQ(manager->GetObject(nodes, before), nullptr);
    auto* late = dynamic_cast<KDuzObject*>(manager->CreateObject(nodes, "late"));
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(manager->GetObjectCount(nodes), before + 1);
    EXPECT_EQ(manager->GetObject(nodes, before), late);
    late->Destroy();
    EXPECT_EQ(manager->GetObjectCount(nodes), before);
    DestroyMade();
}

TEST_F(KDuzObjectTest, EitherSideMayRefuseAConnection) {
    auto* destination = Make<Recorder>("d");
    auto* source = Make<Recorder>("s");
    EXPECT_TRUE(destination->ConnectSrcObject(source));
    EXPECT_EQ(destination->codes, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(source->codes, (std::vector<int>{3, 4, 5}));
    EXPECT_TRUE(destination->DisconnectSrcObject(source));
    EXPECT_EQ(destination->codes, (std::vector<int>{0, 1, 2, 6, 7, 8}));
    EXPECT_EQ(source->codes, (std::vector<int>{3, 4, 5, 9, 10, 11}));

    source->refuse = 3;
    EXPECT_FALSE(destination->ConnectSrcObject(source));
    EXPECT_FALSE(destination->IsConnectedSrcObject(source));
    destination->refuse = 0;
    source->refuse = -1;
    EXPECT_FALSE(destination->ConnectSrcObject(source));
    EXPECT_EQ(destination->GetSrcObjectCount(), 0);
    DestroyMade();
}

// A property as the source of an object: the destination is asked and told
// as for an object source, and the link shows from both sides.
TEST_F(KDuzObjectTest, PropertySourcesLinkToObjects) {
    auto* destination = Make<Recorder>("d");
    auto* owner = Make<Recorder>("owner");
    KDuzProperty property = KDuzProperty::Create(owner, "Value", PropertyDataTypeTableGet(eValueKindDouble));
    ASSERT_TRUE(property.IsValid());
    EXPECT_TRUE(destination->ConnectSrcProperty(property));
    EXPECT_EQ(destination->codes, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(destination->IsConnectedSrcProperty(property));
    EXPECT_TRUE(property.IsConnectedDstObject(destination));
    EXPECT_EQ(property.GetDstObject(), destination);
    // Not an object link of the owner.
    EXPECT_FALSE(destination->IsConnectedSrcObject(owner));
    EXPECT_TRUE(destination->DisconnectSrcProperty(property));
    EXPECT_FALSE(destination->IsConnectedSrcProperty(property));
    EXPECT_EQ(property.GetDstObjectCount(), 0);

    destination->refuse = 0;
    EXPECT_FALSE(destination->ConnectSrcProperty(property));
    EXPECT_FALSE(destination->IsConnectedSrcProperty(property));
    EXPECT_FALSE(destination->IsConnectedSrcProperty(KDuzProperty::Invalid));
    DestroyMade();
}

TEST_F(KDuzObjectTest, ObjectsJoinTheSceneOfWhatTheyConnectTo) {
    auto* scene = Make<Scene>("scene");
    auto* node = Make<Node>("node");
    auto* mesh = Make<Mesh>("mesh");
    auto* deformer = Make<FakeObject<eDuzClassSkin, 18>>("skin");
    mesh->ConnectSrcObject(deformer);
    node->ConnectToScene(scene);
    EXPECT_EQ(node->GetScene(), scene);
    // A mesh connected below a node of a scene joins it, and so do its sources.
    node->ConnectSrcObject(mesh);
    EXPECT_EQ(mesh->GetScene(), scene);
    EXPECT_EQ(deformer->GetScene(), scene);
    EXPECT_EQ(scene->GetSrcObjectCount(), 3);

    // A second scene does not take it over.
    auto* second = Make<Scene>("second");
    mesh->ConnectToScene(second);
    EXPECT_EQ(mesh->GetScene(), scene);
    // Disconnecting leaves scene membership alone; a null scene removes it.
    node->DisconnectSrcObject(mesh);
    EXPECT_EQ(mesh->GetScene(), scene);
    mesh->ConnectToScene(nullptr);
    EXPECT_EQ(mesh->GetScene(), nullptr);
    DestroyMade();
}

TEST_F(KDuzObjectTest, SourceCycleDoesNotRecurseForeverWhenTheSceneRefuses) {
    class RefusingScene : public Scene {
    public:
        using Scene::Scene;
        bool ConnectNotify(const KDuzConnectEvent& event) override {
            return event.code != eDuzConnectAskDestination && Scene::ConnectNotify(event);
        }
    };
    auto* scene = Make<RefusingScene>("scene");
    auto* a = Make<KDuzObject>("a");
    auto* b = Make<KDuzObject>("b");
    a->ConnectSrcObject(b);
    b->ConnectSrcObject(a);
    a->ConnectToScene(scene);
    EXPECT_EQ(a->GetScene(), nullptr);
    EXPECT_EQ(b->GetScene(), nullptr);
    DestroyMade();
}

}  // namespace
}  // namespace duzsdk
