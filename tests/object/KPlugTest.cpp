#include "sdk/object/KPlug.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace duzsdk;

namespace {

struct Event {
    int code;
    KPlug* plug;
    int index;
    KPlug* other;
    bool operator==(const Event& o) const {
        return code == o.code && plug == o.plug && index == o.index && other == o.other;
    }
};

// Records the connection events a plug hands to its listeners, and can run
// an action or refuse queries.
struct EventRecorder {
    std::vector<Event> events;
    std::vector<int> objectCodes;
    bool refuseQueries = false;
    std::function<void(const Event&)> action;

    static bool OnConnection(void* target, const KPlugEventChain*, int code, KPlug* plug, int index,
                             KPlug* other, int, KPlug*) {
        auto* self = static_cast<EventRecorder*>(target);
        Event e{code, plug, index, other};
        self->events.push_back(e);
        if (self->action) self->action(e);
        return !(self->refuseQueries && code <= kEventMayConnectDestination);
    }
    static bool OnObject(void* target, int, int code, KPlug*, const void*, const void*, int) {
        static_cast<EventRecorder*>(target)->objectCodes.push_back(code);
        return true;
    }
    void Attach(KPlug& plug) { plug.AddListener(this, nullptr, &OnObject, &OnConnection); }
    std::vector<int> Codes() const {
        std::vector<int> codes;
        for (const Event& e : events) codes.push_back(e.code);
        return codes;
    }
};

std::vector<KPlug*> Sources(const KPlug& p) {
    std::vector<KPlug*> out;
    for (int i = 0; i < p.GetSourceCount(); ++i) out.push_back(p.GetSource(i));
    return out;
}

std::vector<KPlug*> Destinations(const KPlug& p) {
    std::vector<KPlug*> out;
    for (int i = 0; i < p.GetDestinationCount(); ++i) out.push_back(p.GetDestination(i));
    return out;
}

class KPlugTest : public ::testing::Test {
protected:
    void SetUp() override { KPlugSystemInit(); }
    void TearDown() override { KPlugSystemRelease(); }
};

}  // namespace

TEST_F(KPlugTest, ConnectionsKeepTheirOrderOnBothSides) {
    KPlug d, a, b, c, e;
    EXPECT_TRUE(d.ConnectSource(&a));
    EXPECT_TRUE(d.ConnectSource(&b));
    EXPECT_TRUE(d.ConnectSourceAt(1, &c));    // before b
    EXPECT_TRUE(d.ConnectSourceAt(99, &e));   // out of range: the end
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&a, &c, &b, &e}));
    EXPECT_EQ(Destinations(a), (std::vector<KPlug*>{&d}));

    KPlug s, x, y;
    EXPECT_TRUE(s.ConnectDestination(&x));
    EXPECT_TRUE(s.ConnectDestinationAt(0, &y));
    EXPECT_EQ(Destinations(s), (std::vector<KPlug*>{&y, &x}));
    EXPECT_EQ(Sources(x), (std::vector<KPlug*>{&s}));
    EXPECT_EQ(d.FindSource(&b), 2);
    EXPECT_EQ(d.FindSource(&s), -1);
}

TEST_F(KPlugTest, ConnectSendsEventsInOrder) {
    EventRecorder rs, rd;
    KPlug s, d;
    rs.Attach(s);
    rd.Attach(d);
    ASSERT_TRUE(d.ConnectSource(&s));
    EXPECT_EQ(rd.events, (std::vector<Event>{{0, &d, -1, &s}, {2, &d, -1, &s}, {4, &d, 0, &s}}));
    EXPECT_EQ(rs.events, (std::vector<Event>{{1, &s, -1, &d}, {3, &s, -1, &d}, {5, &s, 0, &d}}));
    rs.events.clear();
    rd.events.clear();
    ASSERT_TRUE(d.DisconnectSource(&s));
    EXPECT_EQ(rd.events, (std::vector<Event>{{6, &d, 0, &s}, {8, &d, 0, &s}}));
    EXPECT_EQ(rs.events, (std::vector<Event>{{7, &s, 0, &d}, {9, &s, 0, &d}}));
}

TEST_F(KPlugTest, RefusedConnectionsChangeNothing) {
    KPlug a, b;
    EventRecorder ra;
    ra.Attach(a);
    EXPECT_FALSE(a.ConnectSource(&a));
    EXPECT_FALSE(a.ConnectSource(nullptr));
    EXPECT_TRUE(ra.events.empty());

    ra.refuseQueries = true;
    EXPECT_FALSE(a.ConnectSource(&b));
    EXPECT_EQ(a.GetSourceCount(), 0);
    EXPECT_EQ(b.GetDestinationCount(), 0);

    ra.refuseQueries = false;
    a.ModifyFlags(KPlug::kAcceptsSources, false);
    EXPECT_FALSE(a.ConnectSource(&b));
    a.ModifyFlags(KPlug::kAcceptsSources, true);
    a.SetTypeInfo(PlugTypeInfoGet(kPlugTypeKObject), 0);   // b is no KObject
    EXPECT_FALSE(a.ConnectSource(&b));
}

TEST_F(KPlugTest, DisconnectOfUnconnectedPlugsFailsQuietly) {
    KPlug a, b;
    EventRecorder ra, rb;
    ra.Attach(a);
    rb.Attach(b);
    EXPECT_FALSE(a.DisconnectSource(&b));
    EXPECT_FALSE(a.DisconnectSourceAt(0));
    EXPECT_FALSE(a.DisconnectDestinationAt(-1));
    EXPECT_TRUE(ra.events.empty());
    EXPECT_TRUE(rb.events.empty());
}

TEST_F(KPlugTest, SecondConnectionOfAPairAddsASecondEntry) {
    KPlug d, s, t;
    d.ConnectSource(&s);
    d.ConnectSource(&t);
    d.ConnectSource(&s);
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&s, &t, &s}));
    EXPECT_EQ(s.GetDestinationCount(), 2);
    EXPECT_TRUE(d.DisconnectSource(&s));   // the last one found
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&s, &t}));
    EXPECT_TRUE(d.DisconnectSourceAt(0));  // exactly the entry asked for
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&t}));
}

TEST_F(KPlugTest, OneWaySinkRecordsOnlyItsSide) {
    auto* source = new KPlug;
    KPlug sink;
    sink.ModifyFlags(KPlug::kOneWaySink, true);
    EventRecorder rs;
    rs.Attach(*source);
    ASSERT_TRUE(sink.ConnectSource(source));
    EXPECT_EQ(Sources(sink), (std::vector<KPlug*>{source}));
    EXPECT_EQ(source->GetDestinationCount(), 0);
    EXPECT_EQ(sink.GetSourceFlags(0) & kConnectionOneWay, kConnectionOneWay);
    for (int code : rs.Codes()) EXPECT_TRUE(code != 1 && code != 3 && code != 5) << code;

    // The sink must not keep a dangling pointer once the source is gone.
    delete source;
    EXPECT_EQ(sink.GetSourceCount(), 0);
}

TEST_F(KPlugTest, OneWaySinkDestroyedFirstLeavesSourceClean) {
    KPlug source;
    auto* sink = new KPlug;
    sink->ModifyFlags(KPlug::kOneWaySink, true);
    ASSERT_TRUE(sink->ConnectSource(&source));
    // The source refuses destinations: the sink can still cut the entry.
    source.ModifyFlags(KPlug::kAcceptsDestinations, false);
    EXPECT_TRUE(sink->DisconnectSource(&source));
    ASSERT_TRUE(sink->ConnectSource(&source));
    delete sink;
    source.DisconnectAll();   // nothing left to reach the freed sink
    EXPECT_EQ(source.GetDestinationCount(), 0);
}

TEST_F(KPlugTest, DestroyingEitherSideCutsTheConnection) {
    KPlug d, s;
    auto* src = new KPlug;
    auto* dst = new KPlug;
    d.ConnectSource(src);
    dst->ConnectSource(&s);
    EventRecorder rd, rs;
    rd.Attach(d);
    rs.Attach(s);
    src->Teardown();
    EXPECT_EQ(d.GetSourceCount(), 0);
    EXPECT_EQ(rd.Codes(), (std::vector<int>{6, 8}));
    delete src;
    delete dst;   // without teardown: the destructor still cuts it
    EXPECT_EQ(s.GetDestinationCount(), 0);
    EXPECT_EQ(rs.Codes(), (std::vector<int>{7, 9}));

    // A filter changed after connecting does not keep a dead plug listed.
    KPlug keeper;
    auto* gone = new KPlug;
    keeper.ConnectSource(gone);
    keeper.SetTypeInfo(PlugTypeInfoGet(kPlugTypeKObject), 0);
    EXPECT_FALSE(keeper.DisconnectSource(gone));   // the filter refuses now
    delete gone;
    EXPECT_EQ(keeper.GetSourceCount(), 0);
}

TEST_F(KPlugTest, TeardownAnnouncesItselfOnce) {
    KPlug plug;
    EventRecorder r;
    r.Attach(plug);
    plug.Teardown();
    plug.Teardown();
    EXPECT_EQ(r.objectCodes, (std::vector<int>{kObjectEventTeardown}));
    EXPECT_TRUE(plug.GetFlags() & KPlug::kTornDown);
}

TEST_F(KPlugTest, DisconnectAllSourcesSurvivesHandlersThatCutMore) {
    EventRecorder rd;
    KPlug d;
    KPlug s[6];
    for (KPlug& p : s) d.ConnectSource(&p);
    // While the last source is being removed, cut two others as well.
    rd.action = [&](const Event& e) {
        if (e.code == kEventSourceRemoved && e.other == &s[5]) {
            d.DisconnectSource(&s[1]);
            d.DisconnectSource(&s[4]);
        }
    };
    rd.Attach(d);
    d.DisconnectAllSources();
    EXPECT_EQ(d.GetSourceCount(), 0);
    for (KPlug& p : s) EXPECT_EQ(p.GetDestinationCount(), 0);
    int removed = 0;
    for (const Event& e : rd.events) removed += (e.code == kEventSourceRemoved);
    EXPECT_EQ(removed, 6);
}

TEST_F(KPlugTest, DisconnectDuringItsOwnEventDispatch) {
    EventRecorder rd;
    KPlug d, s, t;
    d.ConnectSource(&s);
    d.ConnectSource(&t);
    // A handler of "about to remove s" removes t first: the engine must look
    // again for s's entry instead of erasing a stale index.
    rd.action = [&](const Event& e) {
        if (e.code == kEventSourceRemoving && e.other == &s) d.DisconnectSource(&t);
    };
    rd.Attach(d);
    d.ConnectSource(&t);   // s, t, t
    rd.events.clear();
    EXPECT_TRUE(d.DisconnectSourceAt(0));
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&t}));
    EXPECT_EQ(t.GetDestinationCount(), 1);
    EXPECT_EQ(s.GetDestinationCount(), 0);
}

TEST_F(KPlugTest, ListenerRemovingItselfDuringDispatch) {
    EventRecorder after;
    KPlug plug, other;
    struct SelfRemover {
        KPlug* plug;
        KPlugListener* me = nullptr;
        int calls = 0;
        static bool On(void* t, const KPlugEventChain*, int, KPlug*, int, KPlug*, int, KPlug*) {
            auto* self = static_cast<SelfRemover*>(t);
            ++self->calls;
            self->plug->RemoveListener(self->me);
            return true;
        }
    } remover{&plug};
    remover.me = plug.AddListener(&remover, nullptr, nullptr, &SelfRemover::On);
    after.Attach(plug);
    plug.ConnectSource(&other);
    EXPECT_EQ(remover.calls, 1);
    EXPECT_EQ(after.Codes(), (std::vector<int>{0, 2, 4}));
}

TEST_F(KPlugTest, ChildPlugsMirrorTheirOwnersFilteredConnections) {
    KPlug owner, a, b, c;
    KPlug* child = owner.GetChildPlug(PlugTypeInfoGet(kPlugTypeKPlug));
    EXPECT_EQ(child, &owner);   // the KPlug type is the plug itself

    // A filter of a type no plug here has: the child sees nothing.
    KPlugFilter* objects = PlugTypeInfoGet(kPlugTypeKObject);
    KPlug* objectChild = owner.GetChildPlug(objects);
    ASSERT_NE(objectChild, &owner);
    EXPECT_EQ(owner.GetChildPlug(objects), objectChild);
    EXPECT_EQ(objectChild->GetOwner(), &owner);
    EXPECT_TRUE(objectChild->GetFlags() & KPlug::kCreatedByOwner);
    owner.ConnectSource(&a);
    EXPECT_EQ(objectChild->GetSourceCount(), 0);

    // A hand-made child with the "None" filter mirrors everything, in order,
    // including connections that existed before it registered.
    auto* mirror = new KPlug;
    owner.AddChildPlug(mirror);
    mirror->SetTypeInfo(PlugTypeInfoGet(kPlugTypeNone), KPlug::kRegisteredChild);
    EXPECT_EQ(Sources(*mirror), (std::vector<KPlug*>{&a}));
    owner.ConnectSource(&c);
    owner.ConnectSourceAt(1, &b);
    EXPECT_EQ(Sources(*mirror), (std::vector<KPlug*>{&a, &b, &c}));

    // Connecting the child connects the owner; the child only mirrors it.
    KPlug dest;
    ASSERT_TRUE(mirror->ConnectDestination(&dest));
    EXPECT_EQ(Destinations(owner), (std::vector<KPlug*>{&dest}));
    EXPECT_EQ(Destinations(*mirror), (std::vector<KPlug*>{&dest}));
    EXPECT_EQ(Sources(dest), (std::vector<KPlug*>{&owner}));
    ASSERT_TRUE(dest.DisconnectSource(mirror));
    EXPECT_EQ(owner.GetDestinationCount(), 0);
    EXPECT_EQ(mirror->GetDestinationCount(), 0);

    owner.RemoveChildPlug(mirror);
    EXPECT_EQ(mirror->GetSourceCount(), 0);
    delete mirror;
}

TEST_F(KPlugTest, MoreThan256ChildPlugsAllMirror) {
    KPlug owner, source;
    std::vector<KPlug*> children;
    for (int i = 0; i < 300; ++i) {
        auto* child = new KPlug;
        owner.AddChildPlug(child);
        child->SetTypeInfo(PlugTypeInfoGet(kPlugTypeNone), KPlug::kRegisteredChild);
        child->ModifyFlags(KPlug::kCreatedByOwner, true);   // the owner destroys it
        children.push_back(child);
    }
    EXPECT_EQ(owner.GetChildPlugCount(), 300);
    owner.ConnectSource(&source);
    for (KPlug* child : children) ASSERT_EQ(child->GetSource(0), &source);
    owner.DisconnectSource(&source);
    for (KPlug* child : children) ASSERT_EQ(child->GetSourceCount(), 0);
    int live = KPlug::GetLiveCount();
    owner.DisconnectAll();   // destroys the owner-made children
    EXPECT_EQ(KPlug::GetLiveCount(), live - 300);
    EXPECT_EQ(owner.GetChildPlugCount(), 0);
}

TEST_F(KPlugTest, ReplaceKeepsThePositionAndSendsReplaceEvents) {
    EventRecorder rb, rn;
    KPlug p, a, b, c, n;
    p.ConnectDestination(&a);
    p.ConnectDestination(&b);
    p.ConnectDestination(&c);
    rb.Attach(b);
    rn.Attach(n);
    ASSERT_TRUE(p.ReplaceDestination(&b, &n, -1));
    EXPECT_EQ(Destinations(p), (std::vector<KPlug*>{&a, &n, &c}));
    EXPECT_EQ(Sources(n), (std::vector<KPlug*>{&p}));
    EXPECT_EQ(b.GetSourceCount(), 0);
    EXPECT_EQ(rb.Codes(), (std::vector<int>{12, 6, 8, 13}));
    EXPECT_FALSE(p.ReplaceDestination(&b, &n, -1));

    KPlug d, s1, s2, s3;
    d.ConnectSource(&s1);
    d.ConnectSource(&s2);
    EXPECT_TRUE(d.SetSource(0, &s3));
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&s3, &s2}));
    EXPECT_TRUE(d.SetSource(5, &s1));   // past the end: a new last source
    EXPECT_EQ(Sources(d), (std::vector<KPlug*>{&s3, &s2, &s1}));
    EXPECT_FALSE(d.SetSource(-1, &s1));
}

TEST_F(KPlugTest, EventsOfAnOwnedPlugGoToItsOwner) {
    KPlug owner, other;
    auto* part = new KPlug;
    owner.AddChildPlug(part);   // an owned plug, not a mirroring child
    EXPECT_EQ(owner.GetChildPlugCount(), 0);
    struct ChainCheck {
        int depth = -1;
        static bool On(void* t, const KPlugEventChain* chain, int code, KPlug*, int, KPlug*, int, KPlug*) {
            if (code == kEventSourceAdded) {
                int n = 0;
                for (; chain; chain = chain->previous) ++n;
                static_cast<ChainCheck*>(t)->depth = n;
            }
            return true;
        }
    } check;
    owner.AddListener(&check, nullptr, nullptr, &ChainCheck::On);
    part->ConnectSource(&other);
    EXPECT_EQ(check.depth, 1);   // passed up through the part
    EXPECT_TRUE(part->IsDetachable(0));
    EXPECT_TRUE(owner.RemoveChildPlug(part));
    EXPECT_EQ(part->GetOwner(), nullptr);
    delete part;
}

TEST_F(KPlugTest, HandleOutlivesItsPlug) {
    auto* plug = new KPlug;
    HdlKObject ref = HdlKObject::FromPlug(plug);
    KPlug other;
    other.ConnectSource(plug);
    EXPECT_EQ(ref.Get(), plug);
    plug->Destroy();
    EXPECT_EQ(ref.Get(), nullptr);
    EXPECT_EQ(other.GetSourceCount(), 0);
}

TEST_F(KPlugTest, InterfacesAndTypes) {
    KPlug plug;
    EXPECT_EQ(plug.GetInterface(0), &plug);
    EXPECT_EQ(plug.GetInterface(2), &plug);
    EXPECT_EQ(plug.GetInterface(KPlug::kInterfaceObjectModel), &plug);
    EXPECT_EQ(plug.GetInterface(1), nullptr);
    EXPECT_TRUE(plug.IsPlugType(kPlugTypeKPlug));
    EXPECT_FALSE(plug.IsPlugType(kPlugTypeKObject));
    EXPECT_STREQ(plug.GetPlugTypeName(), "KPlug");
    EXPECT_EQ(plug.GetStaticTypeNumber(), 2);
    EXPECT_STREQ(plug.GetStaticTypeLabel(), "");
    EXPECT_EQ(plug.GetFlags(), 0x23);
}

namespace {

// The answer of a plain walk from the end, which the fast lookups must match.
int ScanLast(const KPlug& p, const KPlug* other, bool sources) {
    const int count = sources ? p.GetSourceCount() : p.GetDestinationCount();
    for (int i = count - 1; i >= 0; --i)
        if ((sources ? p.GetSource(i) : p.GetDestination(i)) == other) return i;
    return -1;
}

void ExpectLookupsMatchScan(const std::vector<KPlug*>& plugs, int step) {
    for (KPlug* p : plugs) {
        for (KPlug* q : plugs) {
            ASSERT_EQ(p->FindSource(q), ScanLast(*p, q, true)) << "step " << step;
            ASSERT_EQ(p->FindDestination(q), ScanLast(*p, q, false)) << "step " << step;
        }
        ASSERT_EQ(p->FindSource(nullptr), -1);
    }
}

}  // namespace

TEST_F(KPlugTest, LookupsAgreeWithAPlainScanThroughMixedChanges) {
    // A hub with a mirroring child, a one-way sink and plain plugs; a few of
    // the plain ones are destroyed along the way.
    KPlug hub, sink;
    sink.ModifyFlags(KPlug::kOneWaySink, true);
    auto* mirror = new KPlug;
    hub.AddChildPlug(mirror);
    mirror->SetTypeInfo(PlugTypeInfoGet(kPlugTypeNone), KPlug::kRegisteredChild);
    std::vector<KPlug*> pool;
    for (int i = 0; i < 8; ++i) pool.push_back(new KPlug);

    // Removing one entry of the hub also cuts another, mid-dispatch.
    EventRecorder r;
    bool reentered = false;
    r.action = [&](const Event& e) {
        if (e.code == kEventSourceRemoving && !reentered && hub.GetSourceCount() > 2) {
            reentered = true;
            hub.DisconnectSourceAt(0);
            reentered = false;
        }
    };
    r.Attach(hub);

    auto all = [&] {
        std::vector<KPlug*> v{&hub, &sink, mirror};
        v.insert(v.end(), pool.begin(), pool.end());
        return v;
    };
    unsigned seed = 12345;
    auto next = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    bool mirrorRegistered = true;
    for (int step = 0; step < 600; ++step) {
        KPlug* p = pool[next(static_cast<unsigned>(pool.size()))];
        switch (next(10)) {
            case 0: hub.ConnectSource(p); break;   // duplicates allowed
            case 1: hub.ConnectSourceAt(static_cast<int>(next(4)), p); break;
            case 2: hub.ConnectDestination(p); break;
            case 3: sink.ConnectSource(p); break;
            case 4: hub.DisconnectSource(p); break;
            case 5: hub.DisconnectSourceAt(static_cast<int>(next(6))); break;
            case 6: p->DisconnectDestination(&hub); break;
            case 7: sink.DisconnectSource(p); break;
            case 8:
                // Detach and re-register the mirror: its lists are rebuilt.
                mirror->SetTypeInfo(PlugTypeInfoGet(kPlugTypeNone),
                                    mirrorRegistered ? 0 : KPlug::kRegisteredChild);
                mirrorRegistered = !mirrorRegistered;
                break;
            case 9:
                if (step % 7 == 0) {   // replace a plug by a fresh one
                    auto it = std::find(pool.begin(), pool.end(), p);
                    delete p;
                    *it = new KPlug;
                } else {
                    hub.ReplaceSource(p, pool[next(static_cast<unsigned>(pool.size()))], -1);
                }
                break;
        }
        ExpectLookupsMatchScan(all(), step);
        if (HasFatalFailure()) break;
    }
    EXPECT_GT(hub.GetSourceCount() + hub.GetDestinationCount(), 0);

    // Teardown of the hub leaves every list, and so every lookup, empty.
    hub.DisconnectAll();   // also destroys nothing made by hand: mirror stays
    ExpectLookupsMatchScan(all(), -1);
    for (KPlug* p : pool) {
        EXPECT_EQ(hub.FindSource(p), -1);
        EXPECT_EQ(mirror->FindSource(p), -1);
    }
    for (KPlug* p : pool) delete p;
    EXPECT_EQ(sink.GetSourceCount(), 0);
    delete mirror;
}
