#include "sdk/object/KObject.h"
#include "sdk/object/KObjectList.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertyObjectList.h"
#include "sdk/object/KWorld.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace duzsdk;

namespace {

class KObjectTest : public ::testing::Test {
protected:
    void SetUp() override { KDuzSdkInit(); }
    void TearDown() override { KDuzSdkUninit(); }

    static KObject* Make(const char* name) {
        auto* object = new KObject;
        object->Initialize(KWorldGet()->GetSpaceA());
        object->SetName(name);
        return object;
    }
};

// Records broadcasts received from the objects it listens to (as a destination).
class Receiver : public KObject {
public:
    std::vector<int> codes;
    bool OnBroadcast(int code, KObject*, const void*, const void*) override {
        codes.push_back(code);
        return true;
    }
};

struct ObjectEvents {
    std::vector<int> codes;
    static bool On(void* t, int, int code, KPlug*, const void*, const void*, int) {
        static_cast<ObjectEvents*>(t)->codes.push_back(code);
        return true;
    }
};

class Sink : public KObjectEventSink {
public:
    explicit Sink(std::vector<int>* kinds) : mKinds(kinds) {}
    void OnObjectEvent(const KObjectEventRecord& record) override {
        EXPECT_EQ(record.tag, 336738);
        EXPECT_EQ(record.objectRef.Get(), record.object);
        mKinds->push_back(record.kind);
    }

private:
    std::vector<int>* mKinds;
};

// A list whose watcher refuses additions.
class RefusingList : public KGenericObjectList {
public:
    bool refuse = true;
    bool AcceptListChange(KObject*, int code, KObject*, int) override {
        return !(refuse && code == kListAdding);
    }
};

}  // namespace

TEST_F(KObjectTest, NamesBlankBecomeOne) {
    KObject* object = Make("First");
    EXPECT_STREQ(object->GetName(), "First");
    for (const char* blank : {"", "   "}) {
        object->SetName("x");
        object->SetName(blank);
        EXPECT_STREQ(object->GetName(), "1") << "[" << blank << "]";
    }
    object->SetNameQuiet("");
    EXPECT_STREQ(object->GetName(), "");   // the quiet form takes it as it is
    object->Destroy();
}

TEST_F(KObjectTest, RenameSendsEventsInOrder) {
    KObject* object = Make("A");
    auto* receiver = new Receiver;
    receiver->ConnectSource(object);
    ObjectEvents events;
    object->AddListener(&events, nullptr, &ObjectEvents::On, nullptr);
    object->SetName("B");
    object->SetName("B");   // unchanged: nothing
    EXPECT_EQ(receiver->codes, (std::vector<int>{8, 12}));
    EXPECT_EQ(events.codes, (std::vector<int>{27, 28}));
    receiver->Destroy();
    object->Destroy();
}

TEST_F(KObjectTest, FullNameHelpers) {
    KString doc, kind, ns, name;
    KObjectSplitFullName("Doc:::Model::ns1:ns2:Cube", doc, kind, ns, name);
    EXPECT_STREQ(doc.Buffer(), "Doc");
    EXPECT_STREQ(kind.Buffer(), "Model");
    EXPECT_STREQ(ns.Buffer(), "ns1:ns2");
    EXPECT_STREQ(name.Buffer(), "Cube");
    KObjectSplitFullName("Cube", doc, kind, ns, name);
    EXPECT_STREQ(name.Buffer(), "Cube");
    EXPECT_TRUE(kind.IsEmpty() && ns.IsEmpty() && doc.IsEmpty());

    EXPECT_STREQ(KObjectJoinFullName("Model", "ns", "Cube").Buffer(), "Model::ns:Cube");
    EXPECT_STREQ(KObjectJoinFullName("", "", "Cube").Buffer(), "Cube");

    struct Join {
        const char* outer;
        const char* inner;
        const char* expected;
    };
    const Join kJoins[] = {
        {"", "b", "b"},          {"a", "", "a"},         {"a", "b", "a:b"},
        {"a", ":b", "a:b"},      {"a", "a:b", "a:b"},    {"a", "xa:b", "a:xa:b"},
        {"a", "b:", "a:b"},      {"", ":b", "b"},
    };
    for (const Join& j : kJoins) {
        SCOPED_TRACE(std::string(j.outer) + " + " + j.inner);
        EXPECT_STREQ(KObjectJoinNamespaces(j.outer, j.inner).Buffer(), j.expected);
    }
    EXPECT_STREQ(KObjectRelativeNamespace("a:b", "a:b:c:d").Buffer(), "c:d");
    EXPECT_STREQ(KObjectRelativeNamespace("a:x", "a:b").Buffer(), "b");
    EXPECT_STREQ(KObjectRelativeNamespace("", "a:b").Buffer(), "a:b");

    KObject* object = Make("Cube");
    object->SetFullName("Model::lvl:Cube2");
    EXPECT_STREQ(object->GetName(), "Cube2");
    EXPECT_STREQ(object->GetNamespace(), "lvl");
    EXPECT_STREQ(object->GetFullName(), "lvl:Cube2");
    object->SetName("Other");
    EXPECT_STREQ(object->GetFullName(), "lvl:Other");
    object->Destroy();
}

TEST_F(KObjectTest, SelectionFlagsAndSerials) {
    KObject* object = Make("S");
    auto* receiver = new Receiver;
    receiver->ConnectSource(object);
    EXPECT_TRUE(object->SetFlags(1));
    const int serial = object->GetSelectionSerial();
    EXPECT_GT(serial, 0);
    EXPECT_FALSE(object->SetFlags(1));   // selected again
    EXPECT_EQ(object->GetSelectionSerial(), serial);
    EXPECT_TRUE(object->SetFlags(3));    // bit 0 stays set, bit 1 set
    EXPECT_GT(object->GetSelectionSerial(), serial);
    EXPECT_TRUE(object->SetFlags(0));
    EXPECT_EQ(receiver->codes, (std::vector<int>{6, 27, 27, 16, 7, 17}));
    object->SetFlags(1);
    object->ClearSelection();
    EXPECT_EQ(object->GetObjectFlags(), 0);
    receiver->Destroy();
    object->Destroy();
}

TEST_F(KObjectTest, SourceEventsBecomeBroadcastsAndSinkRecords) {
    auto* parent = new Receiver;
    KObject* child = Make("Child");
    std::vector<int> kinds;
    parent->SetEventSink(new Sink(&kinds));
    auto* watcher = new Receiver;
    watcher->ConnectSource(parent);
    parent->ConnectSource(child);
    parent->DisconnectSource(child);
    EXPECT_EQ(kinds, (std::vector<int>{1, 4, 2, 5}));
    EXPECT_EQ(watcher->codes, (std::vector<int>{30, 4, 33, 31, 5, 33}));
    watcher->Destroy();
    parent->Destroy();
    child->Destroy();
}

TEST_F(KObjectTest, DestroyingEitherSideCutsConnections) {
    KObject* a = Make("A");
    KObject* b = Make("B");
    KObject* c = Make("C");
    b->ConnectSource(a);
    c->ConnectSource(b);
    HdlKObject refB = HdlKObject::FromPlug(b);
    b->Destroy();
    EXPECT_EQ(refB.Get(), nullptr);
    EXPECT_EQ(a->KPlug::GetDestinationCount(), 0);
    EXPECT_EQ(c->KPlug::GetSourceCount(), 0);
    a->Destroy();
    c->Destroy();
}

TEST_F(KObjectTest, TypedConnectionAccessFiltersObjects) {
    KObject* object = Make("O");
    KObject* source = Make("Src");
    KPlug plainPlug;
    object->ConnectSource(&plainPlug);
    object->ConnectSource(source);
    EXPECT_EQ(object->GetSourceCount(-1), 2);
    EXPECT_EQ(object->GetSourceCount(kPlugTypeKPlug), 2);
    EXPECT_EQ(object->GetSourceCount(kPlugTypeKObject), 1);
    EXPECT_EQ(object->GetSourceObject(0, kPlugTypeKObject), source);
    EXPECT_EQ(object->GetSourceObject(0, -1), nullptr);   // a plain plug
    EXPECT_EQ(object->GetSource(5, -1), nullptr);
    EXPECT_EQ(source->GetDestinationObject(0, kPlugTypeKObject), object);
    source->Destroy();
    EXPECT_EQ(object->GetSourceCount(kPlugTypeKObject), 0);
    object->Destroy();
}

TEST_F(KObjectTest, PropertyIndicesAreChecked) {
    KObject* object = Make("P");
    object->CreateProperty("a", eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_EQ(object->GetProperty(1), nullptr);
    EXPECT_EQ(object->GetProperty(-1), nullptr);
    EXPECT_FALSE(object->RemovePropertyAt(1));
    EXPECT_FALSE(object->RemovePropertyAt(-1));
    EXPECT_FALSE(object->DestroyProperty(3));
    EXPECT_EQ(object->GetPropertyCount(), 1);
    EXPECT_EQ(object->FindPropertyByName("A"), nullptr);   // case-sensitive
    object->Destroy();
}

TEST_F(KObjectTest, UserPropertiesAndCopies) {
    KObject* a = Make("A");
    KObject* b = Make("B");
    KProperty* pa = a->CreateProperty("Size", eKPropDouble, nullptr, false, false, nullptr, false);
    a->CreateProperty("Anim", eKPropDouble, nullptr, true, false, nullptr, false)->SetDouble(9);
    KProperty* ua = a->CreateProperty("Note", eKPropString, nullptr, false, true, nullptr, false);
    ua->FromString("hello");
    KProperty* pb = b->CreateProperty("Size", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* animB = b->CreateProperty("Anim", eKPropDouble, nullptr, true, false, nullptr, false);
    pa->SetDouble(4.0);
    EXPECT_EQ(a->GetUserPropertyCount(), 1);
    EXPECT_EQ(a->GetUserProperty(0), ua);
    EXPECT_EQ(a->GetUserProperty(1), nullptr);
    b->Copy(a, 1 | 4);
    EXPECT_EQ(pb->GetDouble(), 4.0);
    EXPECT_EQ(animB->GetDouble(), 0.0);   // animatable values are not copied
    ASSERT_EQ(b->GetUserPropertyCount(), 1);
    ua->FromString("changed");
    b->Copy(a, 8);
    EXPECT_STREQ(b->GetUserProperty(0)->ToString().Buffer(), "changed");
    EXPECT_FALSE(a->RemoveUserProperty(pa));
    EXPECT_TRUE(a->RemoveUserProperty(ua));
    a->Destroy();
    b->Destroy();
}

TEST_F(KObjectTest, Detachable) {
    KObject* object = Make("D");
    EXPECT_TRUE(object->IsDetachable(0));
    EXPECT_FALSE(object->IsDetachable(1));
    KObject* container = Make("Container");
    object->SetContainer(container);
    container->ConnectSource(object);
    EXPECT_EQ(object->GetContainer(), container);
    EXPECT_TRUE(object->IsDetachable(0));   // one destination: its container
    KObject* other = Make("Other");
    other->ConnectSource(object);
    EXPECT_FALSE(object->IsDetachable(0));
    other->Destroy();
    KProperty* p = object->CreateProperty("p", eKPropInt, nullptr, false, false, nullptr, false);
    KPlug plug;
    p->ConnectSource(&plug);
    EXPECT_FALSE(object->IsDetachable(0));
    p->DisconnectSource(&plug);
    object->Destroy();   // its container link disconnects it from the container
    EXPECT_EQ(container->KPlug::GetSourceCount(), 0);
    container->Destroy();
}

TEST_F(KObjectTest, WorldNumbersObjectsAndReusesFreedIds) {
    KObject* a = Make("a");
    KObject* b = Make("b");
    KObject* c = Make("c");
    EXPECT_EQ(a->GetId(), 0);
    EXPECT_EQ(b->GetId(), 1);
    EXPECT_EQ(c->GetId(), 2);
    EXPECT_EQ(KWorldGet()->GetObject(1), b);
    b->Destroy();
    EXPECT_EQ(KWorldGet()->GetObject(1), nullptr);
    KObject* d = Make("d");
    EXPECT_EQ(d->GetId(), 1);
    EXPECT_EQ(a->GetSpace(), KWorldGet()->GetSpaceA());
    a->Destroy();
    c->Destroy();
    d->Destroy();
}

TEST_F(KObjectTest, ListsHoldWeakReferences) {
    auto* list = new KObjectList;
    KObject* a = Make("Alpha");
    KObject* b = Make("Beta");
    EXPECT_EQ(list->Add(a), 0);
    EXPECT_EQ(list->Add(b), 1);
    EXPECT_EQ(list->InsertAt(0, HdlKObject::FromPlug(b)), 0);
    EXPECT_EQ(list->FindByName("Alpha").Get(), a);
    EXPECT_TRUE(list->FindByName("alpha").IsNull());   // exact names only
    EXPECT_TRUE(list->Remove(HdlKObject::FromPlug(b)));   // the last of the two
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetObject(0), b);
    b->Destroy();
    EXPECT_EQ(list->GetObject(0), nullptr);   // dead reference
    EXPECT_EQ(list->GetObject(1), a);
    EXPECT_FALSE(list->RemoveAt(7));
    list->Clear(true);
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(KWorldGet()->GetObject(0), nullptr);   // a was destroyed
    list->Destroy();

    RefusingList refusing;
    refusing.ModifyFlags(KPlug::kHeapOwned, false);
    KObject* c = Make("C");
    EXPECT_EQ(refusing.Add(c), -1);
    EXPECT_EQ(refusing.GetCount(), 0);
    refusing.refuse = false;
    EXPECT_EQ(refusing.Add(c), 0);
    refusing.Destroy();   // not heap-owned: does nothing
    EXPECT_EQ(refusing.GetCount(), 1);
    c->Destroy();
}

// Destroying one object of a list may destroy others listed after it.
TEST_F(KObjectTest, ClearWithDestroySurvivesCascades) {
    class Cascading : public KObject {
    public:
        KObject* partner = nullptr;
        ~Cascading() override {
            if (partner != nullptr) partner->Destroy();
        }
    };
    auto* list = new KObjectList;
    auto* first = new Cascading;
    auto* second = new Cascading;
    second->partner = first;   // destroying second destroys first
    list->Add(first);
    list->Add(second);
    list->Clear(true);
    EXPECT_EQ(list->GetCount(), 0);
    list->Destroy();
}

TEST_F(KObjectTest, PropertyObjectListKeepsObjectsInOrder) {
    KObject* owner = Make("Owner");
    auto* list = new KPropertyObjectList(owner, "Members");
    EXPECT_TRUE(list->HasInfoFlag(KPropertyInfo::kIsObjectList));
    EXPECT_STREQ(list->ToString().Buffer(), "ObjectList!");
    KObject* a = Make("a");
    KObject* b = Make("b");
    KObject* c = Make("c");
    EXPECT_TRUE(list->Add(a));
    EXPECT_TRUE(list->Add(c));
    EXPECT_TRUE(list->InsertAt(1, b));
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->GetObject(1), b);
    EXPECT_EQ(list->IndexOf(c), 2);
    EXPECT_EQ(list->IndexOf(owner), -1);
    const int changes = list->GetChangeCount();
    EXPECT_TRUE(list->Remove(b));
    EXPECT_GT(list->GetChangeCount(), changes);
    EXPECT_EQ(list->GetObject(1), c);
    EXPECT_TRUE(list->SetAt(0, b));
    EXPECT_EQ(list->GetObject(0), b);
    list->SetTypes(7, kPlugTypeKProperty);   // objects are no longer accepted
    int companion, filter;
    list->GetTypes(companion, filter);
    EXPECT_EQ(companion, 7);
    EXPECT_EQ(filter, kPlugTypeKProperty);
    EXPECT_FALSE(list->Add(a));
    c->Destroy();
    EXPECT_EQ(list->GetCount(), 1);
    list->Clear();   // a filter that refuses objects cannot cut them
    EXPECT_EQ(list->GetCount(), 1);
    list->SetTypes(-1, -1);
    list->Clear();
    EXPECT_EQ(list->GetCount(), 0);
    a->Destroy();
    b->Destroy();
    owner->Destroy();
}

TEST_F(KObjectTest, MergeMovesConnectionsInOrder) {
    KObject* from = Make("From");
    KObject* to = Make("To");
    KObject* s1 = Make("s1");
    KObject* s2 = Make("s2");
    KObject* existing = Make("existing");
    KObject* d = Make("d");
    to->ConnectSource(existing);
    from->ConnectSource(s1);
    from->ConnectSource(s2);
    from->ConnectSource(existing);   // already on the other side: cut, not doubled
    d->ConnectSource(from);
    KProperty* mine = from->CreateProperty("P", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* theirs = to->CreateProperty("P", eKPropDouble, nullptr, false, false, nullptr, false);
    KObject* watcher = Make("w");
    KProperty* ref = watcher->CreateReferenceProperty(mine, "Ref");
    ASSERT_NE(ref, nullptr);

    EXPECT_FALSE(from->Merge(to, KObject::kMergeMoveSources | KObject::kMergeMoveDestinations, nullptr, nullptr));
    EXPECT_EQ(from->KPlug::GetSourceCount(), 0);
    EXPECT_EQ(from->KPlug::GetDestinationCount(), 0);
    ASSERT_EQ(to->KPlug::GetSourceCount(), 3);
    EXPECT_EQ(to->KPlug::GetSource(0), existing);
    EXPECT_EQ(to->KPlug::GetSource(1), s1);
    EXPECT_EQ(to->KPlug::GetSource(2), s2);
    EXPECT_EQ(d->KPlug::GetSource(0), to);
    // The reference moved to the namesake property and survived the move.
    EXPECT_EQ(watcher->FindPropertyByName("Ref"), ref);
    EXPECT_EQ(ref->GetReferencedProperty(), theirs);
    EXPECT_EQ(mine->GetReferrerCount(), 0);

    KObject* named = Make("Named");
    named->SetNamespace("lvl");
    EXPECT_TRUE(from->Merge(named, KObject::kMergeTakeIdentity, nullptr, nullptr));
    EXPECT_STREQ(from->GetName(), "Named");
    EXPECT_STREQ(from->GetNamespace(), "lvl");
    EXPECT_TRUE(named->GetCapabilities() & KObject::kCapabilityMerged);

    // Objects listed in the merge context are cut loose instead of moved.
    KObjectList handled;
    handled.ModifyFlags(KPlug::kHeapOwned, false);
    KObject* x = Make("X");
    from->ConnectSource(x);
    handled.Add(x);
    KMergeContext context{&handled, nullptr};
    from->Merge(to, KObject::kMergeMoveSources, nullptr, &context);
    EXPECT_EQ(from->KPlug::GetSourceCount(), 0);
    EXPECT_FALSE(to->IsSourceConnected(x));
    for (KObject* o : {from, to, s1, s2, existing, d, watcher, named, x}) o->Destroy();
}
