// A manager per test, nodes made through it, and attributes of any type
// code made in a few lines.
#pragma once

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"

#include <gtest/gtest.h>

#include <cmath>

namespace duzsdk::testing_node {

// An attribute that reports a chosen type code.
class TypedAttribute : public KDuzNodeAttribute {
public:
    TypedAttribute(KDuzSdkManager* manager, const char* name, int type)
        : KDuzNodeAttribute(manager, name), mType(type) {}
    int GetAttributeType() const override { return mType; }
    KString GetTypeName() const override { return KString("Typed"); }
    KDuzObject* Clone(int mode) override {
        if (mode != 2) return nullptr;
        return Make(GetSdkManager(), GetName(), mType);
    }
    static TypedAttribute* Make(KDuzSdkManager* manager, const char* name, int type) {
        auto* attribute = new TypedAttribute(manager, name, type);
        attribute->PostCreate();
        manager->RegisterObject(attribute);
        return attribute;
    }

private:
    int mType;
};

class NodeTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    KDuzNode* Node(const char* name = "node") {
        KDuzNode* node = KDuzNode::Create(manager, name);
        EXPECT_NE(node, nullptr);
        return node;
    }
    TypedAttribute* Attribute(int type, const char* name = "attribute") {
        return TypedAttribute::Make(manager, name, type);
    }

    KDuzSdkManager* manager = nullptr;
};

inline void ExpectRow(const KgeMatrix& m, int row, double x, double y, double z, double w, double tolerance) {
    SCOPED_TRACE(row);
    EXPECT_NEAR(m.GetElement(row, 0), x, tolerance);
    EXPECT_NEAR(m.GetElement(row, 1), y, tolerance);
    EXPECT_NEAR(m.GetElement(row, 2), z, tolerance);
    EXPECT_NEAR(m.GetElement(row, 3), w, tolerance);
}

inline void ExpectNoNaN(const KgeMatrix& m) {
    for (int i = 0; i < 16; ++i) EXPECT_FALSE(std::isnan(m.Data()[i])) << "element " << i;
}

}  // namespace duzsdk::testing_node
