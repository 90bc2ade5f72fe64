// "PO" and "OP" records link properties and objects in the object model.
#include <gtest/gtest.h>

#include <string>

#include "duz/KDuzReaderDuz6TestFixture.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"

using namespace duzsdk;

namespace {

const char* const kThreeModels = "Definitions:  {\n    ObjectType: \"Model\"\n}\n"
                                 "Objects:  {\n"
                                 "    Model: \"Model::A\", \"Null\" {\n    }\n"
                                 "    Model: \"Model::B\", \"Null\" {\n    }\n"
                                 "    Model: \"Model::C\", \"Null\" {\n    }\n"
                                 "}\n";

}  // namespace

TEST_F(Duz6ReaderTest, PropertyObjectRecordsLinkThePropertyToTheObject) {
    ASSERT_TRUE(Load(std::string(kThreeModels) +
                     "Connections:  {\n"
                     "    Connect: \"PO\", \"Model::A\", \"Lcl Translation\", \"Model::B\"\n"
                     "    Connect: \"PO\", \"Model::A\", \"Lcl Translation\", \"Model::B\"\n"
                     // Names are compared exactly, case included.
                     "    Connect: \"PO\", \"Model::A\", \"lcl rotation\", \"Model::C\"\n"
                     // A missing object: its property name is taken as the
                     // destination, which names nothing.
                     "    Connect: \"PO\", \"Model::Missing\", \"Model::C\"\n"
                     "    Connect: \"PO\", \"Model::A\", \"Lcl Scaling\", \"Model::Missing\"\n"
                     "}\n"));
    KDuzNode* a = reader->FindNodeByName("A");
    KDuzNode* b = reader->FindNodeByName("B");
    KDuzNode* c = reader->FindNodeByName("C");
    KDuzProperty translation = a->FindProperty("Lcl Translation", true);
    ASSERT_TRUE(translation.IsValid());
    EXPECT_TRUE(b->IsConnectedSrcProperty(translation));
    // Made once, and seen from the property's side too.
    EXPECT_EQ(translation.GetDstObjectCount(), 1);
    EXPECT_EQ(translation.GetDstObject(), b);
    // A property link is not an object link.
    EXPECT_FALSE(b->IsConnectedSrcObject(a));
    EXPECT_EQ(a->GetParent(), nullptr);
    for (const char* name : {"Lcl Rotation", "Lcl Scaling"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(a->FindProperty(name, true).GetDstObjectCount(), 0);
    }
    EXPECT_EQ(c->GetSrcObjectCount(), b->GetSrcObjectCount());
}

TEST_F(Duz6ReaderTest, ObjectPropertyRecordsLinkTheObjectToTheProperty) {
    ASSERT_TRUE(Load(std::string(kThreeModels) +
                     "Connections:  {\n"
                     "    Connect: \"OP\", \"Model::A\", \"Model::B\", \"Lcl Rotation\"\n"
                     "    Connect: \"OP\", \"Model::A\", \"Model::B\", \"Lcl Rotation\"\n"
                     "    Connect: \"OP\", \"Model::C\", \"Model::B\", \"NoSuchProperty\"\n"
                     "}\n"));
    KDuzNode* a = reader->FindNodeByName("A");
    KDuzNode* b = reader->FindNodeByName("B");
    KDuzNode* c = reader->FindNodeByName("C");
    KDuzProperty rotation = b->FindProperty("Lcl Rotation", true);
    EXPECT_TRUE(rotation.IsConnectedSrcObject(a));
    EXPECT_EQ(rotation.GetSrcObjectCount(), 1);
    EXPECT_FALSE(b->IsConnectedSrcObject(a));
    EXPECT_FALSE(b->IsConnectedSrcObject(c));
}

// A record may destroy what another record made: the file's geometry takes
// the place of the model's empty placeholder, and the deformer attached to
// the placeholder goes with it. Later records naming it find nothing.
TEST_F(Duz6ReaderTest, RecordsNamingAnObjectAnEarlierRecordDestroyedLinkNothing) {
    ASSERT_TRUE(Load("Definitions:  {\n    ObjectType: \"Model\"\n    ObjectType: \"Geometry\"\n"
                     "    ObjectType: \"Deformer\"\n}\n"
                     "Objects:  {\n"
                     "    Model: \"Model::Body\", \"Mesh\" {\n    }\n"
                     "    Geometry: \"Geometry::Body\", \"Mesh\" {\n    }\n"
                     "    Deformer: \"Deformer::VC\", \"VertexCacheDeformer\" {\n    }\n"
                     "}\n"
                     "Connections:  {\n"
                     "    Connect: \"OO\", \"Deformer::VC\", \"Model::Body\"\n"
                     "    Connect: \"OO\", \"Geometry::Body\", \"Model::Body\"\n"
                     "    Connect: \"OO\", \"Deformer::VC\", \"Model::Body\"\n"
                     "    Connect: \"OP\", \"Model::Body\", \"Deformer::VC\", \"Lcl Rotation\"\n"
                     "    Connect: \"PO\", \"Deformer::VC\", \"Lcl Rotation\", \"Model::Body\"\n"
                     "}\n"));
    KDuzNode* body = reader->FindNodeByName("Body");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->GetNodeAttribute(), reader->FindObjectByName("Geometry::Body"));
}
