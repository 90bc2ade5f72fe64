// The test helper that rewrites ASCII DUZ files as binary ones: value types
// follow the text and the field, and text it does not know is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/DuzTestSupport.h"
#include "sdk/io/KDuz.h"
#include "support/DuzAsciiToBinary.h"

using namespace duzsdk;

namespace {

TEST(DuzAsciiToBinary, ValuesAreTypedByTextAndField) {
    duztest::TempFolder folder;
    const std::string text = folder.File("a.duz");
    const std::string binary = folder.File("b.duz");
    duztest::WriteText(text,
                       "; DUZ 6.1.0 project file\n"
                       "Objects:  {\n"
                       "    Model: \"Model::A, B\", \"Mesh\" {\n"
                       "        Vertices: 1,2.5,\n"
                       "                  -3\n"
                       "        Shading: Y\n"
                       "        Version: 232\n"
                       "        LocalTime: 0,46186158000\n"
                       "        Property: \"Count\", \"int\", \"\",7\n"
                       "    }\n"
                       "}\n");
    ASSERT_TRUE(duztest::ConvertDuzAsciiToBinary(text, binary));
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(binary.c_str())) << duz.GetLastErrorString();
    ASSERT_TRUE(duz.FieldReadBegin("Objects"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBegin("Model"));
    EXPECT_STREQ(duz.FieldReadString(), "Model::A, B");
    EXPECT_STREQ(duz.FieldReadString(), "Mesh");
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    struct Case {
        const char* field;
        std::string types;
    };
    const Case cases[] = {{"Vertices", "DDD"}, {"Shading", "C"}, {"Version", "I"}, {"LocalTime", "LL"},
                          {"Property", "SSSI"}};
    std::vector<double> vertices;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        ASSERT_TRUE(duz.FieldReadBegin(c.field));
        std::string types;
        for (int i = duz.FieldReadGetValueCount(); i > 0; --i) {
            types += duz.FieldReadGetNextValueType();
            if (std::string(c.field) == "Vertices")
                vertices.push_back(duz.FieldReadDouble());
            else
                duz.FieldReadString();
        }
        EXPECT_EQ(types, c.types);
        duz.FieldReadEnd();
    }
    EXPECT_EQ(vertices, (std::vector<double>{1.0, 2.5, -3.0}));
}

TEST(DuzAsciiToBinary, UnknownTextIsRefused) {
    duztest::TempFolder folder;
    const char* const refused[] = {"A: 1\n}\n", "A:  {\n", "just words\n", "A: \"open\n", "A: 1,\n"};
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        duztest::WriteText(folder.File("a.duz"), text);
        EXPECT_FALSE(duztest::ConvertDuzAsciiToBinary(folder.File("a.duz"), folder.File("b.duz")));
        EXPECT_FALSE(std::filesystem::exists(folder.File("b.duz")));
    }
}

}  // namespace
