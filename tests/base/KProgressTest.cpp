#include "sdk/base/KProgress.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace duzsdk;

namespace {

enum class Op { Begin, Total, Step, Status, Text, End, Reset };

struct Call {
    Op op;
    int number = 0;
    const char* text = nullptr;
    const char* detail = nullptr;
    float percentage = 0.0f;
};

Call Begin() { return {Op::Begin}; }
Call Total(int total) { return {Op::Total, total}; }
Call Step(int count = 0) { return {Op::Step, count}; }
Call Status(const char* text, float percentage, const char* detail = nullptr)
{
    return {Op::Status, 0, text, detail, percentage};
}
Call Text(const char* text) { return {Op::Text, 0, text}; }
Call End() { return {Op::End}; }

void Apply(IProgress& progress, const Call& call)
{
    switch (call.op) {
    case Op::Begin: progress.Begin(); break;
    case Op::Total: progress.SetTotal(call.number); break;
    case Op::Step: progress.Step(call.number); break;
    case Op::Status: progress.SetStatus(call.text, call.detail, call.percentage); break;
    case Op::Text: progress.SetStatusText(call.text); break;
    case Op::End: progress.End(); break;
    case Op::Reset: progress.Reset(); break;
    }
}

struct Seen {
    int whole;
    std::string status;
    bool finished;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen)
{
    return out << "{" << seen.whole << "%, \"" << seen.status << "\"" << (seen.finished ? ", end" : "")
               << "}";
}

struct Listener {
    std::vector<Seen> seen;
    // Asks to stop once the percentage reaches this.
    float stopAt = 1000.0f;

    static bool Record(const KProgressReport& report, void* data)
    {
        auto* self = static_cast<Listener*>(data);
        self->seen.push_back({static_cast<int>(report.percentage), report.statusText, report.finished});
        return report.percentage < self->stopAt;
    }
};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TEST(KProgressTest, PercentageCombinesStepsAndTheCurrentStepsShare)
{
    struct Case {
        const char* name;
        std::vector<Call> calls;
        float expected;
    };
    const Case cases[] = {
        {"nothing yet", {Begin()}, 0.0f},
        {"no total: the step's own share", {Begin(), Status("x", 40.0f)}, 40.0f},
        {"one of four steps", {Begin(), Total(4), Step()}, 25.0f},
        {"half into the second of four", {Begin(), Total(4), Step(), Status(nullptr, 50.0f)}, 37.5f},
        {"a step resets the share", {Begin(), Total(4), Status(nullptr, 90.0f), Step()}, 25.0f},
        {"explicit step count", {Begin(), Total(10), Step(3)}, 30.0f},
        {"negative count is one step", {Begin(), Total(10), Step(-4)}, 10.0f},
        {"all steps", {Begin(), Total(4), Step(), Step(), Step(), Step()}, 100.0f},
        {"more steps than the total", {Begin(), Total(2), Step(), Step(), Step()}, 100.0f},
        {"one third", {Begin(), Total(3), Step()}, 100.0f / 3.0f},
        {"negative total is unknown", {Begin(), Total(-2), Step(), Status(nullptr, 20.0f)}, 20.0f},
        {"share above 100", {Begin(), Total(1), Status(nullptr, 150.0f)}, 100.0f},
        {"share below 0", {Begin(), Status(nullptr, -5.0f)}, 0.0f},
        {"NaN share", {Begin(), Status(nullptr, kNaN)}, 0.0f},
        {"infinite share", {Begin(), Status(nullptr, kInf)}, 0.0f},
        {"huge total", {Begin(), Total(INT_MAX), Step(INT_MAX - 1)}, 100.0f},
        {"saturating value", {Begin(), Total(INT_MAX), Step(INT_MAX), Step(INT_MAX)}, 100.0f},
        {"ended without steps", {Begin(), Total(5), End()}, 100.0f},
        {"ended without a total", {Begin(), End()}, 100.0f},
        {"no task begun", {Total(2), Step()}, 50.0f},
        {"nested totals do not count", {Begin(), Total(4), Begin(), Total(100), Step(50), End()}, 0.0f},
        {"nested share does not count", {Begin(), Total(2), Begin(), Status(nullptr, 80.0f), End()}, 0.0f},
        {"after nesting the outer task goes on",
         {Begin(), Total(4), Begin(), Step(), End(), Step(), Status(nullptr, 50.0f)}, 37.5f},
        {"a new task starts from 0", {Begin(), Total(2), Step(), End(), Begin()}, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KProgress progress;
        for (const Call& call : c.calls) {
            Apply(progress, call);
        }
        EXPECT_NEAR(progress.GetPercentage(), c.expected, 1e-4);
    }
}

TEST(KProgressTest, ListenerHearsChangesOfWholePercentOrText)
{
    struct Case {
        const char* name;
        std::vector<Call> calls;
        std::vector<Seen> expected;
    };
    const Case cases[] = {
        {"a read with takes",
         {Begin(), Total(3), Status("Retrieving content information", 0.0f), Step(),
          Status("Retrieving take A", 0.0f, ""), Status(nullptr, 50.0f), Status(nullptr, 50.4f),
          Step(), Step(), End()},
         {{0, "", false},
          {0, "Retrieving content information", false},
          {33, "Retrieving content information", false},
          {33, "Retrieving take A", false},
          {50, "Retrieving take A", false},
          {66, "Retrieving take A", false},
          {100, "Retrieving take A", false},
          {100, "Retrieving take A", true}}},
        {"the same text again is not news",
         {Begin(), Status("Storing models", 0.0f), Status("Storing models", 0.2f),
          Status("Storing models", 1.0f), End()},
         {{0, "", false}, {0, "Storing models", false}, {1, "Storing models", false},
          {100, "Storing models", true}}},
        {"a new detail is news",
         {Begin(), Status("Storing", 0.0f, "a"), Status("Storing", 0.0f, "b"), Status("Storing", 0.0f, "b")},
         {{0, "", false}, {0, "Storing", false}, {0, "Storing", false}}},
        {"repeating the status text is not news",
         {Text("Reading"), Text("Reading"), Status(nullptr, 0.0f, "detail"), Text("Reading")},
         {{0, "Reading", false}, {0, "Reading", false}, {0, "Reading", false}}},
        {"nested task reports only texts",
         {Begin(), Total(2), Begin(), Total(10), Step(), Status("inner", 90.0f), End(), Step(), End()},
         {{0, "", false}, {0, "inner", false}, {50, "inner", false}, {100, "inner", true}}},
        {"end without begin says nothing", {End(), End()}, {}},
        {"fine steps report each whole percent once",
         {Begin(), Total(400), Step(), Step(), Step(), Step(), Step(), End()},
         {{0, "", false}, {1, "", false}, {100, "", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KProgress progress;
        Listener listener;
        progress.SetCallback(&Listener::Record, &listener);
        for (const Call& call : c.calls) {
            Apply(progress, call);
        }
        EXPECT_EQ(listener.seen, c.expected);
        EXPECT_FALSE(progress.IsCancelRequested());
    }
}

TEST(KProgressTest, ListenerCanAskTheWorkerToStop)
{
    KProgress progress;
    Listener listener;
    listener.stopAt = 50.0f;
    progress.SetCallback(&Listener::Record, &listener);
    progress.Begin();
    progress.SetTotal(4);
    progress.Step(0);
    EXPECT_FALSE(progress.AcknowledgeCancel());
    EXPECT_FALSE(progress.IsCancelAcknowledged());
    progress.Step(0);
    EXPECT_TRUE(progress.IsCancelRequested());
    EXPECT_TRUE(progress.AcknowledgeCancel());
    EXPECT_TRUE(progress.IsCancelAcknowledged());
    progress.End();
    // Without a listener nothing is reported and nothing breaks.
    progress.SetCallback(nullptr, nullptr);
    progress.Begin();
    EXPECT_FALSE(progress.IsCancelRequested());
    progress.Step(0);
    progress.End();
    EXPECT_EQ(listener.seen.size(), 4u);
}

TEST(KProgressTest, CancelHandshakeAndResetFollowTheProtocol)
{
    KProgress progress;
    EXPECT_FALSE(progress.AcknowledgeCancel());
    EXPECT_FALSE(progress.IsCancelAcknowledged());
    progress.RequestCancel();
    EXPECT_FALSE(progress.IsCancelAcknowledged());
    EXPECT_TRUE(progress.AcknowledgeCancel());
    EXPECT_TRUE(progress.IsCancelAcknowledged());
    EXPECT_TRUE(progress.AcknowledgeCancel());  // the request stays until reset

    progress.SetTotal(7);
    progress.Step(3);
    EXPECT_EQ(progress.GetValue(), 3);
    progress.Reset();
    EXPECT_FALSE(progress.AcknowledgeCancel());
    EXPECT_FALSE(progress.IsCancelAcknowledged());
    EXPECT_EQ(progress.GetValue(), 0);
    EXPECT_EQ(progress.GetTotal(), 0);
    progress.Step(0);
    EXPECT_EQ(progress.GetValue(), 1);  // step size 1 after a reset
}

TEST(KProgressTest, TextsAreRecorded)
{
    KProgress progress;
    EXPECT_STREQ(progress.GetStatusText(), "");
    EXPECT_STREQ(progress.GetDetailText(), "");
    EXPECT_STREQ(progress.NoText(), "");
    progress.SetStatus("Retrieving models", "Model::Cube", 10.0f);
    EXPECT_STREQ(progress.GetStatusText(), "Retrieving models");
    EXPECT_STREQ(progress.GetDetailText(), "Model::Cube");
    progress.SetStatus(nullptr, nullptr, 20.0f);  // keeps both texts
    EXPECT_STREQ(progress.GetStatusText(), "Retrieving models");
    EXPECT_STREQ(progress.GetDetailText(), "Model::Cube");
    progress.SetStatusText("Storing models");
    EXPECT_STREQ(progress.GetStatusText(), "Storing models");
    EXPECT_STREQ(progress.GetDetailText(), "");
    progress.SetStatusText(nullptr);
    EXPECT_STREQ(progress.GetStatusText(), "");
    progress.SetStatus("a", "b", 0.0f);
    progress.ClearTexts();
    EXPECT_STREQ(progress.GetStatusText(), "");
    EXPECT_STREQ(progress.GetDetailText(), "");
}

TEST(KProgressTest, InterfaceIds)
{
    KProgress progress;
    struct Case {
        int id;
        void* expected;
    };
    const Case cases[] = {
        {0, &progress}, {3, &progress}, {12, static_cast<IProgress*>(&progress)},
        {1, nullptr},   {2, nullptr},   {4, nullptr},
        {11, nullptr},  {13, nullptr},  {-1, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(progress.GetInterface(c.id), c.expected) << c.id;
    }
    IProgress* created = KProgressCreate();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->GetInterface(IProgress::kProgressId), created);
    created->Destroy();
}

TEST(KProgressTest, GlobalObjectIsRemadeAfterItIsDestroyed)
{
    IProgress* global = KProgressGetGlobal();
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(KProgressGetGlobal(), global);
    global->SetStatusText("Retrieving models");
    global->Step(0);
    global->Destroy();

    IProgress* fresh = KProgressGetGlobal();
    ASSERT_NE(fresh, nullptr);
    EXPECT_STREQ(fresh->GetStatusText(), "");
    EXPECT_EQ(fresh->GetValue(), 0);
    EXPECT_EQ(KProgressGetGlobal(), fresh);
    fresh->Destroy();
}
