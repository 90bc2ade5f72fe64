#include <climits>

#include "KDuzNodeTestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzNodeInternal.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "support/SceneDump.h"

#include <cmath>
#include <functional>
#include <utility>
#include <vector>
#include <string>

namespace duzsdk {
namespace {

using testing_node::NodeTest;
using Vector3 = duzVectorTemplate3<double>;

TEST_F(NodeTest, PropertyListFollowsTheTable) {
    KDuzNode* node = Node();
    KDuzNode_internal* internal = node->GetNodeInternal();
    ASSERT_NE(internal, nullptr);
    ASSERT_GE(internal->GetPropertyCount(), eNodePropertyCount);
    for (int i = 0; i < eNodePropertyCount; ++i) {
        const KDuzNodePropertyRow& row = kDuzNodeProperties[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.id, i);
        ASSERT_NE(internal->GetProperty(i), nullptr);
        EXPECT_STREQ(internal->GetProperty(i)->GetName(), row.name);
        EXPECT_EQ(internal->Property(row.id), internal->GetProperty(i));
        // Every internal property has a public handle.
        EXPECT_TRUE(node->FindProperty(row.name).IsValid());
        switch (row.kind) {
            case EDuzNodePropertyKind::Bool:
                EXPECT_EQ(internal->GetBool(row.id), row.defaultValue[0] != 0.0);
                break;
            case EDuzNodePropertyKind::Double:
                EXPECT_DOUBLE_EQ(internal->GetDoubleValue(row.id), row.defaultValue[0]);
                break;
            case EDuzNodePropertyKind::Int:
            case EDuzNodePropertyKind::Enum:
                EXPECT_EQ(internal->GetIntValue(row.id), static_cast<int>(row.defaultValue[0]));
                break;
            case EDuzNodePropertyKind::Vector: {
                const KgeTVector v = internal->GetVector(row.id);
                for (int c = 0; c < 3; ++c) EXPECT_DOUBLE_EQ(v[c], row.defaultValue[c]);
                break;
            }
            case EDuzNodePropertyKind::Channel: {
                double values[4] = {};
                ASSERT_TRUE(internal->GetProperty(i)->GetDoubles(values));
                const int count = row.id == eNodeVisibility ? 1 : 3;
                for (int c = 0; c < count; ++c) EXPECT_DOUBLE_EQ(values[c], row.defaultValue[c]);
                EXPECT_TRUE(internal->GetProperty(i)->TestInfoFlag2());
                EXPECT_TRUE(internal->GetProperty(i)->TestFlags(8));
                break;
            }
            case EDuzNodePropertyKind::ObjectList:
                break;
        }
    }
    EXPECT_STREQ(internal->GetProperty(0)->GetName(), "QuaternionInterpolate");
    EXPECT_STREQ(internal->GetProperty(eNodePropertyCount - 1)->GetName(), "DefaultAttributeIndex");
}

namespace {

int MadeCount(const KObject* internal) {
    int made = 0;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) made += internal->PeekProperty(i) != nullptr;
    return made;
}

// What a program sees of a public property.
std::string Describe(const KDuzProperty& property) {
    std::string text = std::string(property.GetName()) + "|" + property.GetDataType().GetName() + "|" +
                       property.GetLabel().Buffer() + "|" + std::to_string(property.GetFlags()) + "|" +
                       std::to_string(property.GetMinLimit()) + "|" + std::to_string(property.GetMaxLimit()) +
                       "|" + std::to_string(property.GetEnumCount());
    double values[16] = {};
    if (property.GetValue(values, property.GetValueKind()) || property.GetValue(values, 4)) {
        for (int i = 0; i < 3; ++i) text += "|" + std::to_string(values[i]);
    }
    if (property.GetEnumCount() > 0) text += std::string("|") + property.GetEnumValue(property.GetEnumCount() - 1);
    return text;
}

}  // namespace

// A node makes none of its properties; each is made when asked for, and a
// property looks the same whichever side asks first.
TEST_F(NodeTest, PropertiesAreMadeWhenAskedForAndLookTheSame) {
    KDuzNode* publicFirst = Node();
    KDuzNode* internalFirst = Node();
    KDuzNode_internal* internal = internalFirst->GetNodeInternal();
    EXPECT_EQ(MadeCount(publicFirst->GetNodeInternal()), 0);
    EXPECT_EQ(publicFirst->GetPropertyCount(), internal->GetPropertyCount());

    // Reads of values need no property.
    EXPECT_DOUBLE_EQ(internal->GetDoubleValue(eNodeAxisLen), 10.0);
    EXPECT_TRUE(internal->GetBool(eNodeShow));
    EXPECT_EQ(internal->GetIntValue(eNodeDefaultAttributeIndex), -1);
    EXPECT_DOUBLE_EQ(internal->GetVector(eNodeGeometricScaling)[2], 1.0);
    EXPECT_EQ(MadeCount(internal), 0);

    // Stored values start as the shared defaults; a stored -0 is a value of its own.
    internal->StoreDouble(eNodeRotationStiffnessY, -0.0);
    EXPECT_TRUE(std::signbit(internal->GetDoubleValue(eNodeRotationStiffnessY)));
    EXPECT_DOUBLE_EQ(internal->GetDoubleValue(eNodeAxisLen), 10.0);
    EXPECT_FALSE(std::signbit(publicFirst->GetNodeInternal()->GetDoubleValue(eNodeRotationStiffnessY)));
    internal->StoreDouble(eNodeRotationStiffnessY, 0.0);

    // A write nobody can hear stores the value without making the property;
    // with a listener on the node it makes the one property.
    publicFirst->SetTransformationInheritType(1);
    EXPECT_EQ(MadeCount(publicFirst->GetNodeInternal()), 0);
    EXPECT_EQ(publicFirst->GetTransformationInheritType(), 1);
    {
        int heard = 0;
        auto hear = [](void* target, int, int, KPlug*, const void*, const void*, int) {
            ++*static_cast<int*>(target);
            return true;
        };
        KPlugListener* ear = publicFirst->GetNodeInternal()->AddListener(&heard, hear, hear, nullptr);
        publicFirst->SetTransformationInheritType(2);
        publicFirst->GetNodeInternal()->RemoveListener(ear);
        EXPECT_GT(heard, 0);
    }
    EXPECT_EQ(MadeCount(publicFirst->GetNodeInternal()), 1);
    EXPECT_EQ(publicFirst->FindProperty("InheritType").GetValueKind(), 8);

    // Making a property late sends no events: nothing could watch it begin.
    int events = 0;
    auto count = [](void* target, int, int, KPlug*, const void*, const void*, int) {
        ++*static_cast<int*>(target);
        return true;
    };
    KPlugListener* listener = internal->AddListener(&events, count, count, nullptr);
    for (int i = 0; i < internal->GetPropertyCount(); ++i) ASSERT_NE(internal->GetProperty(i), nullptr);
    EXPECT_EQ(events, 0);
    internal->RemoveListener(listener);
    internalFirst->SetTransformationInheritType(2);
    for (int i = 0; i < publicFirst->GetPropertyCount(); ++i) {
        EXPECT_EQ(Describe(publicFirst->GetPropertyAt(i)), Describe(internalFirst->GetPropertyAt(i))) << i;
        EXPECT_TRUE(publicFirst->GetPropertyAt(i).IsBoundTo(publicFirst->GetNodeInternal()->PeekProperty(i)));
    }
}

// A node's default take is built the first time anything asks for a take.
// Whatever happened before, the take must be the one a take built at once
// would have become: each case runs on a node whose take was asked for
// right away and on one whose take waited, and the scenes must dump alike.
TEST_F(NodeTest, AWaitingTakeMatchesATakeBuiltAtOnce) {
    using Step = std::function<void(KDuzNode*)>;
    auto userProperty = [](KDuzNode* node, bool animatable) {
        KDuzProperty property(node->GetSdkManager(), "Extra", PropertyDataTypeFromName("Number"));
        if (animatable) property.ModifyFlag(kDuzPropertyAnimatable, true);
        node->AddProperty(property);
        const double value = 4.5;
        property.SetValue(&value, 4);
    };
    const std::vector<std::pair<const char*, Step>> cases = {
        {"nothing", [](KDuzNode*) {}},
        {"transform and visibility",
         [](KDuzNode* node) {
             node->SetLclTranslation(Vector3(1, 2, 3));
             node->SetLclScaling(Vector3(2, 2, 2));
             node->SetVisibility(false);
         }},
        {"animatable property added", [&](KDuzNode* node) { userProperty(node, true); }},
        {"property turned animatable",
         [&](KDuzNode* node) {
             userProperty(node, false);
             node->FindProperty("Extra").ModifyFlag(kDuzPropertyAnimatable, true);
         }},
        {"animatable property removed",
         [&](KDuzNode* node) {
             userProperty(node, true);
             node->FindProperty("Extra").Destroy();
             node->FindProperty("Lcl Rotation").Destroy();
         }},
        {"attribute attached",
         [](KDuzNode* node) { node->SetNodeAttribute(KDuzNull::Create(node->GetSdkManager(), "null")); }},
        {"attribute attached, then an animatable property",
         [&](KDuzNode* node) {
             node->SetNodeAttribute(KDuzNull::Create(node->GetSdkManager(), "null"));
             userProperty(node, true);
         }},
        {"attribute attached and let go",
         [](KDuzNode* node) {
             node->SetNodeAttribute(KDuzNull::Create(node->GetSdkManager(), "null"));
             if (KDuzObject* previous = node->SetNodeAttribute(nullptr)) previous->Destroy();
         }},
        {"mesh attached",
         [](KDuzNode* node) { node->SetNodeAttribute(KDuzMesh::Create(node->GetSdkManager(), "mesh")); }},
        {"second take", [](KDuzNode* node) { node->CreateTakeNode("Other"); }},
        {"copied",
         [](KDuzNode* node) {
             KDuzNode* source = KDuzNode::Create(node->GetSdkManager(), "source");
             source->SetLclRotation(Vector3(0, 90, 0));
             node->Copy(*source);
             source->Destroy();
         }},
    };
    // 0: take asked for at once; 1: take waited; 2: take read while it
    // waited (as a writer does) before and after the step, waiting again
    // afterwards.
    for (const auto& [label, step] : cases) {
        SCOPED_TRACE(label);
        std::string dumps[3];
        int links[3] = {};
        for (int mode = 0; mode < 3; ++mode) {
            SCOPED_TRACE(mode);
            KDuzScene* scene = KDuzScene::Create(manager, "scene");
            KDuzNode* node = Node("subject");
            scene->GetRootNode()->AddChild(node);
            if (mode == 0) {
                ASSERT_NE(node->GetDefaultTakeNode(), nullptr);
            }
            if (mode == 2) {
                node->SetLclTranslation(Vector3(7, 8, 9));
                double read = 0.0;
                node->ReadDefaultTake([&](KDuzTakeNode* take) {
                    KFCurveNode* t = KDuzTakeNodeContainer::FindPropertyCurveNode(take, "Lcl Translation");
                    if (t != nullptr && t->GetChild(2) != nullptr && t->GetChild(2)->GetCurve() != nullptr)
                        read = t->GetChild(2)->GetCurve()->GetDefaultValue();
                });
                EXPECT_EQ(read, 9.0);
                EXPECT_TRUE(node->IsTakeContentPending());
                node->SetLclTranslation(Vector3(0, 0, 0));
            }
            step(node);
            // Read again over what the step left waiting (attributes, properties).
            if (mode == 2) node->ReadDefaultTake([](KDuzTakeNode*) {});
            dumps[mode] = duztest::DumpScene(*scene);
            links[mode] = node->GetCurveLinkCount();
            scene->Destroy(true);
        }
        EXPECT_EQ(duztest::DiffDumps(dumps[0], dumps[1]), "");
        EXPECT_EQ(duztest::DiffDumps(dumps[0], dumps[2]), "");
        EXPECT_EQ(links[0], links[1]);
        EXPECT_EQ(links[0], links[2]);
    }
}

// An attribute that adds no channels of its own (a null, a mesh without
// shapes) leaves the node's take waiting; one that does (a camera) fills it.
TEST_F(NodeTest, AttachingAnAttributeWithoutChannelsLeavesTheTakeWaiting) {
    KDuzNode* null = Node("null");
    null->SetNodeAttribute(KDuzNull::Create(manager, "null"));
    null->SetVisibility(true);
    EXPECT_TRUE(null->GetVisibility());
    EXPECT_TRUE(null->IsTakeContentPending());
    KDuzNode* mesh = Node("mesh");
    mesh->SetNodeAttribute(KDuzMesh::Create(manager, "mesh"));
    EXPECT_TRUE(mesh->IsTakeContentPending());
    // Asked for, the take is there with the node's channels.
    ASSERT_NE(null->GetDefaultTakeNode(), nullptr);
    EXPECT_FALSE(null->IsTakeContentPending());
    EXPECT_NE(KDuzTakeNodeContainer::FindPropertyCurveNode(null->GetDefaultTakeNode(), "Lcl Translation"), nullptr);
}

TEST_F(NodeTest, EnumerationNamesOfRotationOrderAndInheritType) {
    const char* orders[] = {"Euler XYZ", "Euler XZY", "Euler YZX",  "Euler YXZ",
                            "Euler ZXY", "Euler ZYX", "Spheric XYZ"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(ERotationOrderName(i), orders[i]);
    EXPECT_EQ(ERotationOrderName(7), nullptr);
    EXPECT_EQ(ERotationOrderName(-1), nullptr);
    EXPECT_STREQ(ETransformInheritTypeName(0), "RrSs");
    EXPECT_STREQ(ETransformInheritTypeName(1), "RrSs");
    EXPECT_STREQ(ETransformInheritTypeName(2), "Rrs");
    EXPECT_EQ(ETransformInheritTypeName(3), nullptr);

    KDuzNode* node = Node();
    KDuzProperty order = node->FindProperty("RotationOrder");
    EXPECT_STREQ(order.GetEnumValue(6), "Spheric XYZ");
}

TEST_F(NodeTest, LocalTransformPropertiesReachTheDefaultTake) {
    KDuzNode* node = Node();
    EXPECT_DOUBLE_EQ(node->GetLclScaling()[1], 1.0);
    ASSERT_TRUE(node->SetLclTranslation(Vector3(1, 2, 3)));
    ASSERT_TRUE(node->SetLclRotation(Vector3(10, 20, 30)));
    ASSERT_TRUE(node->SetLclScaling(Vector3(2, 2, 2)));
    EXPECT_DOUBLE_EQ(node->GetLclRotation()[2], 30.0);
    KDuzTakeNode* take = node->GetDefaultTakeNode();
    EXPECT_FLOAT_EQ(take->GetTranslationZCurve()->GetDefaultValue(), 3.0f);
    EXPECT_FLOAT_EQ(take->GetRotationYCurve()->GetDefaultValue(), 20.0f);
    EXPECT_FLOAT_EQ(take->GetScalingXCurve()->GetDefaultValue(), 2.0f);
}

// The local transform is read and written without handles while no take
// follows it: a value set makes only its channel, a default makes nothing,
// and listeners on the node still hear the change.
TEST_F(NodeTest, LocalTransformTakesNoHandles) {
    KDuzNode* node = Node();
    KDuzNode_internal* internal = node->GetNodeInternal();
    auto handles = [&] {
        int made = 0;
        for (int i = 0; i < node->GetPropertyCount(); ++i) made += node->IsPropertyHandleMade(i);
        return made;
    };
    const int before = handles();
    int heard = 0;
    auto hear = [](void* target, int, int, KPlug*, const void*, const void*, int) {
        ++*static_cast<int*>(target);
        return true;
    };
    KPlugListener* ear = internal->AddListener(&heard, hear, hear, nullptr);
    ASSERT_TRUE(node->SetLclTranslation(Vector3(1, 2, 3)));
    ASSERT_TRUE(node->SetLclScaling(Vector3(1, 1, 1)));
    ASSERT_TRUE(node->SetLclRotation(Vector3(0, 0, 0)));
    internal->RemoveListener(ear);
    EXPECT_GT(heard, 0);
    EXPECT_EQ(MadeCount(internal), 1);
    EXPECT_NE(internal->MadeProperty(eNodeLclTranslation), nullptr);
    EXPECT_EQ(node->GetLclTranslation(), Vector3(1, 2, 3));
    EXPECT_EQ(node->GetLclScaling(), Vector3(1, 1, 1));
    EXPECT_EQ(handles(), before);
    EXPECT_EQ(MadeCount(internal), 1);

    // A handle made later sees the value, and writes go through it.
    KDuzProperty translation = node->FindProperty("Lcl Translation");
    EXPECT_EQ(translation.GetDouble3(), Vector3(1, 2, 3));
    ASSERT_TRUE(node->SetLclTranslation(Vector3(4, 5, 6)));
    EXPECT_EQ(translation.GetDouble3(), Vector3(4, 5, 6));
    EXPECT_EQ(node->GetLclTranslation(), Vector3(4, 5, 6));
}

TEST_F(NodeTest, InheritTypeAndRotationActive) {
    KDuzNode* node = Node();
    node->SetTransformationInheritType(2);
    EXPECT_EQ(node->GetTransformationInheritType(), 2);
    EXPECT_EQ(node->GetTransformEvaluationRecord().inheritType, 2);
    node->SetRotationActive(true);
    EXPECT_TRUE(node->GetRotationActive());
    EXPECT_TRUE(node->GetLimits()->GetRotationActive());
    EXPECT_TRUE(node->GetTransformEvaluationRecord().RotationActive());
}

TEST_F(NodeTest, WritersSeeThePivotsAndLimits) {
    KDuzNode* node = Node();
    node->SetRotationPivot(0, KgeTVector(1, 2, 3, 1));
    node->SetGeometricScaling(0, KgeTVector(2, 2, 2, 1));
    node->SetRotationOrder(0, 4);
    node->GetLimits()->SetScalingActive(true);
    node->GetLimits()->GetScalingLimits().SetMaxActive(false, true, false);
    node->GetLimits()->GetScalingLimits().SetMax(KgeTVector(0, 5, 0, 1));
    node->UpdatePropertiesFromPivotsAndLimits();

    KDuzNode_internal* in = node->GetNodeInternal();
    EXPECT_DOUBLE_EQ(in->GetVector(eNodeRotationPivot)[2], 3.0);
    EXPECT_DOUBLE_EQ(in->GetVector(eNodeGeometricScaling)[0], 2.0);
    EXPECT_EQ(in->GetIntValue(eNodeRotationOrder), 4);
    EXPECT_TRUE(in->GetBool(eNodeScalingActive));
    EXPECT_TRUE(in->GetBool(eNodeScalingMaxY));
    EXPECT_FALSE(in->GetBool(eNodeScalingMaxX));
    EXPECT_DOUBLE_EQ(in->GetVector(eNodeScalingMax)[1], 5.0);
    // The scaling minimum starts at 1 in the limits.
    EXPECT_DOUBLE_EQ(in->GetVector(eNodeScalingMin)[0], 1.0);
}

TEST_F(NodeTest, ReadersLoadPivotsAndLimits) {
    KDuzNode* node = Node();
    KDuzNode_internal* in = node->GetNodeInternal();
    in->SetVector(eNodeRotationPivot, KgeTVector(0, 0, 5, 1));
    in->SetIntValue(eNodeRotationOrder, 2);
    in->SetBool(eNodeRotationActive, true);
    in->SetBool(eNodeRotationMinX, true);
    in->SetVector(eNodeRotationMin, KgeTVector(-10, 0, 0, 1));
    in->SetIntValue(eNodeInheritType, 1);
    in->SetBool(eNodeQuaternionInterpolate, true);
    node->SetRotationPivot(1, KgeTVector(9, 9, 9, 1));
    node->UpdatePivotsAndLimitsFromProperties();

    EXPECT_DOUBLE_EQ(node->GetRotationPivot(0)[2], 5.0);
    const KDuzNodeTransformEvaluation& e = node->GetTransformEvaluationRecord();
    EXPECT_EQ(e.flags & kDuzEvalRotationPivot, kDuzEvalRotationPivot);
    EXPECT_EQ(e.prePost.rotationOrder.GetOrderIndex(), 4);
    EXPECT_EQ(node->GetPivotState(0), 0);
    EXPECT_DOUBLE_EQ(node->GetRotationPivot(1)[0], 0.0);  // set 1 reset
    EXPECT_TRUE(node->GetLimits()->GetRotationActive());
    bool x, y, z;
    node->GetLimits()->GetRotationLimits().GetMinActive(x, y, z);
    EXPECT_TRUE(x);
    EXPECT_FALSE(y);
    EXPECT_DOUBLE_EQ(node->GetLimits()->GetRotationLimits().GetMin()[0], -10.0);
    // Scaling limits came from the properties too (they differed).
    EXPECT_DOUBLE_EQ(node->GetLimits()->GetScalingLimits().GetMin()[0], 0.0);
    EXPECT_EQ(e.inheritType, 1);
    KFCurveNode* r = node->GetDefaultTakeNode()->GetCurveNode()->FindByPath("R");
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->GetQuaternionInterpolation());
}

TEST_F(NodeTest, ReadingDefaultsKeepsSet1AndTheState) {
    KDuzNode* node = Node();
    node->GetNodeInternal()->SetVector(eNodeRotationPivot, KgeTVector(0, 0, 5e-7, 1));
    node->SetRotationPivot(1, KgeTVector(9, 9, 9, 1));
    node->UpdatePivotsAndLimitsFromProperties();
    // Below the tolerance counts as unchanged: set 1 and the state stay.
    EXPECT_DOUBLE_EQ(node->GetRotationPivot(1)[0], 9.0);
    EXPECT_EQ(node->GetPivotState(0), 1);
}

// Properties all at their defaults say nothing about pivots: pivot set 0
// keeps what was set through the API, and a later update does not zero it.
TEST_F(NodeTest, DefaultPropertiesLeaveApiPivotsAlone) {
    KDuzNode* node = Node();
    node->SetRotationOffset(0, KgeTVector(4, 4, 4, 1));
    node->SetRotationOrder(0, eEulerZYX);
    node->UpdatePivotsAndLimitsFromProperties();
    EXPECT_DOUBLE_EQ(node->GetRotationOffset(0)[0], 4.0);
    int order = -1;
    node->GetRotationOrder(0, order);
    EXPECT_EQ(order, eEulerZYX);
    EXPECT_EQ(node->GetTransformEvaluationRecord().flags & kDuzEvalRotationOffset, kDuzEvalRotationOffset);
    EXPECT_EQ(node->GetPivotState(0), 1);
}

// Orders reach the node from files unchecked; one outside the known orders
// is taken as XYZ instead of overflowing the evaluation's order index.
TEST_F(NodeTest, RotationOrdersOutsideTheKnownOnesBecomeXYZ) {
    KDuzNode* node = Node();
    for (int order : {-1, 7, 1073741824, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(order);
        node->GetNodeInternal()->SetIntValue(eNodeRotationOrder, order);
        node->UpdatePivotsAndLimitsFromProperties();
        int stored = -1;
        node->GetRotationOrder(0, stored);
        EXPECT_EQ(stored, eEulerXYZ);
        EXPECT_EQ(node->GetTransformEvaluationRecord().prePost.rotationOrder.GetOrderIndex(), 0);
        node->SelectPivotSet(0);
        node->SetRotationOrder(1, order);
        node->GetRotationOrder(1, stored);
        EXPECT_EQ(stored, eEulerXYZ);
    }
    node->GetNodeInternal()->SetIntValue(eNodeRotationOrder, eSphericXYZ);
    node->UpdatePivotsAndLimitsFromProperties();
    EXPECT_EQ(node->GetTransformEvaluationRecord().prePost.rotationOrder.GetOrderIndex(), 12);
}

}  // namespace
}  // namespace duzsdk
