// A manager per test, nodes made through it, and look-ups of the channel
// curves attributes put into a node's take nodes.
#pragma once

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <gtest/gtest.h>

namespace duzsdk::testing_attribute {

class AttributeTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    KDuzNode* Node(const char* name = "node") {
        KDuzNode* node = KDuzNode::Create(manager, name);
        EXPECT_NE(node, nullptr);
        return node;
    }

    // The curve at root/name[/child] of a take; null when missing.
    static KFCurve* Curve(KDuzTakeNode* take, const char* name, const char* child = nullptr) {
        if (take == nullptr) return nullptr;
        KFCurveNode* root = take->GetCurveNode();
        KFCurveNode* node = root->GetChild(root->FindChildIndexByName(name));
        if (node != nullptr && child != nullptr) node = node->GetChild(node->FindChildIndexByName(child));
        return node != nullptr ? node->GetCurve() : nullptr;
    }
    static bool HasChannel(KDuzTakeNode* take, const char* name) {
        return take != nullptr && take->GetCurveNode()->FindChildIndexByName(name) >= 0;
    }

    KDuzSdkManager* manager = nullptr;
};

// Curve defaults are single precision.
inline double AsFloat(double value) { return static_cast<double>(static_cast<float>(value)); }

}  // namespace duzsdk::testing_attribute
