// Values from a file that reach the scene layer: every enum and index must
// be range-checked before the scene computes with it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeInternal.h"
#include "sdk/scene/KDuzNodeTransform.h"

using namespace duzsdk;

namespace {

struct ExtremeSet {
    const char* name;
    const char* integer;
    const char* number;
    const char* vector;
};

// A "Model" record whose "Properties60" sets every node property, including
// the local transform, to the set's values.
std::string ExtremeModel(const char* name, const ExtremeSet& set) {
    std::string text = std::string("    Model: \"Model::") + name + "\", \"Null\" {\n        Version: 232\n"
                       "        Properties60:  {\n";
    auto line = [&](const char* property, const char* type, const char* value) {
        text += std::string("            Property: \"") + property + "\", \"" + type + "\", \"A\"," + value + "\n";
    };
    for (const char* lcl : {"Lcl Translation", "Lcl Rotation", "Lcl Scaling"}) line(lcl, lcl, set.vector);
    for (const KDuzNodePropertyRow& row : kDuzNodeProperties) {
        switch (row.kind) {
            case EDuzNodePropertyKind::Bool: line(row.name, "bool", "1"); break;
            case EDuzNodePropertyKind::Int: line(row.name, "int", set.integer); break;
            case EDuzNodePropertyKind::Enum: line(row.name, "enum", set.integer); break;
            case EDuzNodePropertyKind::Double: line(row.name, "double", set.number); break;
            case EDuzNodePropertyKind::Vector: line(row.name, "Vector3D", set.vector); break;
            default: break;
        }
    }
    return text + "        }\n    }\n";
}

}  // namespace

// "RotationOrder" 1073741824 once overflowed the node's order index on
// import. Every property at the ends of its range: the import and an
// evaluation of the hierarchy stay defined, and the order becomes XYZ.
TEST_F(Duz6ReaderTest, NodePropertiesAtExtremeValuesImportAndEvaluate) {
    const ExtremeSet sets[] = {
        {"Large", "1073741824", "1e308", "1e308,-1e308,1e308"},
        {"Smallest", "-2147483648", "-1e308", "-1e308,4.9e-324,-1e308"},
        {"Largest", "2147483647", "1.7976931348623157e308", "1.7976931348623157e308,0,-1"},
    };
    std::string body = "Definitions:  {\n    ObjectType: \"Model\"\n}\nObjects:  {\n";
    for (const ExtremeSet& set : sets) body += ExtremeModel(set.name, set);
    body += "}\nConnections:  {\n"
            "    Connect: \"OO\", \"Model::Large\", \"Model::Scene\"\n"
            "    Connect: \"OO\", \"Model::Smallest\", \"Model::Large\"\n"
            "    Connect: \"OO\", \"Model::Largest\", \"Model::Smallest\"\n"
            "}\n";
    ASSERT_TRUE(Load(body)) << reader->GetLastErrorString();
    for (const ExtremeSet& set : sets) {
        SCOPED_TRACE(set.name);
        KDuzNode* node = reader->FindNodeByName(set.name);
        ASSERT_NE(node, nullptr);
        int order = -1;
        node->GetRotationOrder(0, order);
        EXPECT_EQ(order, eEulerXYZ);
        // The default attribute index names no attribute: none is returned.
        EXPECT_EQ(node->GetNodeAttribute(), nullptr);
        node->GetGlobalTransform();
        node->GetGlobalTransformAtTime(KTime(0));
    }
}
