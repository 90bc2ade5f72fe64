#include "sdk/object/KDuzObjectManager.h"
#include "sdk/object/KEventEmitter.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KWorld.h"

#include "sdk/base/KTemporaryFileManager.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace duzsdk;

TEST(KWorldTest, StartAndStopNest) {
    EXPECT_EQ(KWorldGet(), nullptr);
    const bool firstSpaces = KObjectSpace::GetLastSerial() == 1;
    KDuzSdkInit();
    KWorld* world = KWorldGet();
    ASSERT_NE(world, nullptr);
    // Serials are never reused; the first spaces of a process get 2 and 3.
    EXPECT_EQ(world->GetSpaceB()->GetSerial(), world->GetSpaceA()->GetSerial() + 1);
    if (firstSpaces) {
        EXPECT_EQ(world->GetSpaceA()->GetSerial(), 2);
    }
    EXPECT_EQ(world->GetSpaceA()->GetId(), 0);
    EXPECT_EQ(world->GetSpaceB()->GetId(), 1);
    KDuzSdkInit();
    KDuzSdkUninit();
    EXPECT_EQ(KWorldGet(), world);
    EXPECT_TRUE(KPlugSystemIsActive());
    KDuzSdkUninit();
    EXPECT_EQ(KWorldGet(), nullptr);
    EXPECT_FALSE(KPlugSystemIsActive());
    KDuzSdkUninit();   // one too many: harmless
}

TEST(KWorldTest, SpacesCountReferencesAndChildren) {
    KDuzSdkInit();
    KWorld* world = KWorldGet();
    KObjectSpace* parent = KObjectSpace::Create(world, 1, nullptr);
    KObjectSpace* child = KObjectSpace::Create(world, 1, parent);
    EXPECT_EQ(parent->GetRefCount(), 2);
    EXPECT_EQ(parent->GetChildCount(), 1);
    EXPECT_EQ(child->GetParent(), parent);
    EXPECT_GT(child->GetSerial(), parent->GetSerial());
    const int childId = child->GetId();
    child->Release();   // frees the child and releases the parent once
    EXPECT_EQ(parent->GetRefCount(), 1);
    EXPECT_EQ(parent->GetChildCount(), 0);
    KObjectSpace* again = KObjectSpace::Create(world, 1, nullptr);
    EXPECT_EQ(again->GetId(), childId);   // the freed id is taken again
    again->Release();
    parent->Release();
    KDuzSdkUninit();
}

TEST(KWorldTest, ObjectsOutlivingTheWorldAreDetached) {
    KDuzSdkInit();
    auto* object = new KObject;
    object->Initialize(KWorldGet()->GetSpaceA());
    EXPECT_EQ(object->GetId(), 0);
    KDuzSdkInit();
    KDuzSdkUninit();
    KDuzSdkUninit();   // the world goes while the object lives
    EXPECT_EQ(object->GetSpace(), nullptr);
    EXPECT_EQ(object->GetId(), -1);
    delete object;   // must not touch the freed world
}

namespace {

// Handlers recorded by name; each may run an action when called.
struct Script {
    std::vector<std::string> calls;
    std::vector<std::function<void(KEventRecord*)>> actions;
};

struct Handler {
    Script* script;
    std::string name;
    std::function<void(KEventRecord*)> action;
    static void Call(void* data, void*, KEventRecord* event) {
        auto* self = static_cast<Handler*>(data);
        self->script->calls.push_back(self->name);
        if (self->action) self->action(event);
    }
};

}  // namespace

TEST(KEventEmitterTest, LastAddedIsCalledFirstAndHandledStops) {
    KEventEmitter emitter;
    Script script;
    Handler a{&script, "a", {}}, b{&script, "b", {}}, c{&script, "c", {}};
    emitter.AddHandler(&a, &Handler::Call);
    emitter.AddHandler(&b, &Handler::Call);
    emitter.AddHandler(&c, &Handler::Call);
    KEventRecord event;
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"c", "b", "a"}));

    script.calls.clear();
    b.action = [](KEventRecord* e) { e->handled = 1; };
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"c", "b"}));
}

TEST(KEventEmitterTest, ChangesDuringDispatch) {
    struct Case {
        const char* what;
        std::vector<std::string> expected;
    };
    KEventEmitter emitter;
    Script script;
    Handler a{&script, "a", {}}, b{&script, "b", {}}, c{&script, "c", {}}, d{&script, "d", {}},
        added{&script, "added", {}};
    emitter.AddHandler(&a, &Handler::Call);
    emitter.AddHandler(&b, &Handler::Call);
    emitter.AddHandler(&c, &Handler::Call);
    emitter.AddHandler(&d, &Handler::Call);
    KEventRecord event;

    // c removes itself: b and a still run once each.
    c.action = [&](KEventRecord*) { emitter.RemoveHandler(&c, &Handler::Call); };
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"d", "c", "b", "a"}));

    // d removes b (not yet called) and adds a handler: neither runs now.
    script.calls.clear();
    d.action = [&](KEventRecord*) {
        emitter.RemoveHandler(&b, &Handler::Call);
        emitter.AddHandler(&added, &Handler::Call);
        d.action = nullptr;
    };
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"d", "a"}));
    script.calls.clear();
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"added", "d", "a"}));

    // A handler that empties the list ends the dispatch.
    script.calls.clear();
    added.action = [&](KEventRecord*) { emitter.RemoveAll(); };
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"added"}));
    EXPECT_EQ(emitter.GetHandlerCount(), 0);
    EXPECT_FALSE(emitter.RemoveHandler(&a, &Handler::Call));
}

TEST(KEventEmitterTest, HandlerDestroyingTheEmitterEndsTheDispatch) {
    auto* emitter = new KEventEmitter;
    Script script;
    Handler a{&script, "a", {}}, b{&script, "b", {}};
    emitter->AddHandler(&a, &Handler::Call);
    emitter->AddHandler(&b, &Handler::Call);
    b.action = [&](KEventRecord*) { delete emitter; };
    KEventRecord event;
    emitter->Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"b"}));
}

TEST(KEventEmitterTest, NestedDispatchKeepsBothWalksRight) {
    KEventEmitter emitter;
    Script script;
    Handler a{&script, "a", {}}, b{&script, "b", {}}, c{&script, "c", {}};
    emitter.AddHandler(&a, &Handler::Call);
    emitter.AddHandler(&b, &Handler::Call);
    emitter.AddHandler(&c, &Handler::Call);
    bool nested = false;
    b.action = [&](KEventRecord*) {
        if (nested) return;
        nested = true;
        emitter.RemoveHandler(&c, &Handler::Call);   // already called by the outer walk
        KEventRecord inner;
        emitter.Dispatch(nullptr, &inner);
    };
    KEventRecord event;
    emitter.Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"c", "b", "b", "a", "a"}));
}

TEST(KEventRegistryTest, RegistrationsShareNamedEmitters) {
    KEventRegistry* registry = KEventRegistryGet();
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(KEventRegistryGet(), registry);
    Script script;
    Handler a{&script, "a", {}}, b{&script, "b", {}};
    KEventRegistration first, second;
    EXPECT_TRUE(first.Register("Loaded", &a, &Handler::Call));
    EXPECT_FALSE(first.Register("Loaded", &a, &Handler::Call));   // holds one already
    EXPECT_TRUE(second.Register("Loaded", &b, &Handler::Call));
    KEventEmitter* emitter = registry->Find("Loaded");
    ASSERT_NE(emitter, nullptr);
    EXPECT_EQ(emitter->GetHandlerCount(), 2);
    EXPECT_TRUE(first.Unregister());
    EXPECT_FALSE(first.Unregister());
    EXPECT_EQ(registry->Find("Loaded"), emitter);
    {
        kLibraryBaseProxy proxy;
        EXPECT_EQ(proxy.GetInterface(0), &proxy);
        EXPECT_EQ(proxy.GetInterface(1), nullptr);
        auto* owned = new KEventRegistration;
        ASSERT_TRUE(owned->Register("Loaded", &a, &Handler::Call));
        EXPECT_TRUE(proxy.SetRegistration(2, owned));
        EXPECT_FALSE(proxy.SetRegistration(2, owned));
        EXPECT_FALSE(proxy.SetRegistration(4, owned));
        EXPECT_TRUE(second.Unregister());
        EXPECT_EQ(registry->Find("Loaded")->GetHandlerCount(), 1);
    }
    // The proxy removed the last handler: the emitter is gone with its name.
    EXPECT_EQ(registry->Find("Loaded"), nullptr);
}

TEST(KDuzObjectManagerTest, RegistersOnlyItsEventId) {
    KDuzObjectManager* manager = KDuzObjectManagerGet();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->GetInterface(0), manager);
    EXPECT_EQ(manager->GetInterface(2), manager);
    auto* registrar = static_cast<IRegister*>(manager->GetInterface(3));
    ASSERT_NE(registrar, nullptr);
    EXPECT_EQ(manager->GetInterface(4), nullptr);
    Script script;
    Handler a{&script, "a", {}};
    EXPECT_FALSE(registrar->Register(0x1234, &a, &Handler::Call));
    EXPECT_EQ(manager->GetEmitter().GetHandlerCount(), 0);
    EXPECT_TRUE(registrar->Register(KDuzObjectManagerEventId, &a, &Handler::Call));
    struct Seen {
        static void Call(void* data, void* sender, KEventRecord* event) {
            auto* n = static_cast<KDuzObjectManagerEvent*>(event);
            EXPECT_EQ(n->id, KDuzObjectManagerEventId);
            EXPECT_EQ(sender, KDuzObjectManagerGet()->GetInterface(3));
            *static_cast<int*>(data) = n->value;
        }
    };
    int seen = 0;
    registrar->Register(KDuzObjectManagerEventId, &seen, &Seen::Call);
    KDuzObjectManagerNotify(nullptr, 15);
    EXPECT_EQ(seen, 15);
    EXPECT_EQ(script.calls.size(), 1u);
    EXPECT_TRUE(registrar->Unregister(KDuzObjectManagerEventId, &a, &Handler::Call));
    EXPECT_FALSE(registrar->Unregister(0x1234, &seen, &Seen::Call));
    EXPECT_TRUE(registrar->Unregister(KDuzObjectManagerEventId, &seen, &Seen::Call));
}

TEST(KDuzObjectManagerTest, TemporaryFileManagersHearTheReleaseNotification) {
    KDuzSdkInit();   // installs the link
    auto* files = new KTemporaryFileManager(false);
    ASSERT_TRUE(files->AddFile("/nonexistent-folder-for-test/file.tmp", false));
    EXPECT_EQ(files->GetFileCount(), 1);
    KDuzObjectManagerNotify(nullptr, KTemporaryFileManager::kReleaseCode);
    EXPECT_EQ(files->GetFileCount(), 0);
    const int before = KDuzObjectManagerGet()->GetEmitter().GetHandlerCount();
    files->Destroy();
    EXPECT_EQ(KDuzObjectManagerGet()->GetEmitter().GetHandlerCount(), before - 1);
    KDuzSdkUninit();
}

namespace {

// Fills a stretch of the stack below the caller with a pattern, as any later
// call would; a pointer kept into a finished dispatch then leads nowhere.
__attribute__((noinline)) void OverwriteStack() {
    volatile unsigned char scratch[4096];
    for (size_t i = 0; i < sizeof scratch; ++i) scratch[i] = 0xA5;
}

}  // namespace

TEST(KEventEmitterTest, AHandlerThatThrowsLeavesTheEmitterWhole) {
    // A walk through a stale dispatch can loop for ever: fail fast instead.
    alarm(20);
    auto* emitter = new KEventEmitter;
    Script script;
    Handler a{&script, "a", {}}, b{&script, "b", {}}, c{&script, "c", {}};
    emitter->AddHandler(&a, &Handler::Call);
    emitter->AddHandler(&b, &Handler::Call);
    emitter->AddHandler(&c, &Handler::Call);
    b.action = [](KEventRecord*) { throw std::runtime_error("handler failed"); };
    KEventRecord event;
    EXPECT_THROW(emitter->Dispatch(nullptr, &event), std::runtime_error);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"c", "b"}));

    // Removing, dispatching and destroying afterwards must not reach back
    // into the dispatch the exception ended.
    OverwriteStack();
    b.action = nullptr;
    script.calls.clear();
    c.action = [&](KEventRecord*) { emitter->RemoveHandler(&a, &Handler::Call); };
    emitter->Dispatch(nullptr, &event);
    EXPECT_EQ(script.calls, (std::vector<std::string>{"c", "b"}));
    EXPECT_EQ(emitter->GetHandlerCount(), 2);
    OverwriteStack();
    delete emitter;
    alarm(0);
}
