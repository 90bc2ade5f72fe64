// The creating Collada XML helpers: exact element and attribute sets and the
// number text of the document.
#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "sdk/formats/collada/ColladaXmlWrite.h"

using namespace duzsdk;

namespace {

// The subtree as libxml2 writes it, without indentation.
std::string Text(xmlNode* node) {
    xmlBuffer* buffer = xmlBufferCreate();
    xmlNodeDump(buffer, nullptr, node, 0, 0);
    std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer)));
    xmlBufferFree(buffer);
    return text;
}

struct Root {
    Root() : node(xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>("r"))) {}
    ~Root() { xmlFreeNode(node); }
    xmlNode* node;
};

TEST(ColladaXmlWrite, DoublesAreWrittenAsPrintfWouldWriteThem) {
    const double values[] = {0.0,    -0.0,   1.0,     0.1,      -0.5,    1e-7,     5e-7,  4.9999995e-7,
                             123456789.123456789, 1e20, 2.5e-6, 0.0000005, 1.0 / 3, -2.675, 1e300, 0.015625};
    for (double value : values) {
        char expected[512];
        std::snprintf(expected, sizeof expected, "%f", value);
        std::string text;
        ColladaAppendDouble(text, value);
        EXPECT_EQ(text, expected) << value;
    }
    // Values "%f" would spell outside the schema's number syntax.
    std::string text;
    for (double value : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        ColladaAppendDouble(text, value);
        text += ' ';
    }
    EXPECT_EQ(text, "NaN INF -INF ");
}

TEST(ColladaXmlWrite, InputsAccessorsAndParams) {
    Root root;
    ColladaAddInput(root.node, "VERTEX", nullptr, -1, -1);
    ColladaAddInput(root.node, "TEXCOORD", "m-uv", 2, 0);
    ColladaAddAccessor(root.node, "#a", 4, 1, "", "float");
    ColladaAddAccessor(root.node, "#b", 2, 16, "M", "float4x4");
    ColladaAddColorParam(root.node, "diffuse", 0.5, 0.25, 1.0);
    ColladaAddFloatParam(root.node, "shininess", 20.0);
    EXPECT_EQ(Text(root.node),
              "<r><input semantic=\"VERTEX\"/>"
              "<input semantic=\"TEXCOORD\" offset=\"2\" set=\"0\" source=\"#m-uv\"/>"
              "<accessor source=\"#a\" count=\"4\"><param type=\"float\"/></accessor>"
              "<accessor source=\"#b\" count=\"2\" stride=\"16\"><param name=\"M\" type=\"float4x4\"/></accessor>"
              "<diffuse><color sid=\"diffuse\">0.500000 0.250000 1.000000 1.000000</color></diffuse>"
              "<shininess><float sid=\"shininess\">20.000000</float></shininess></r>");
}

TEST(ColladaXmlWrite, ArraysBreakTheirLines) {
    Root root;
    double values[17];
    for (int i = 0; i < 17; ++i) values[i] = i;
    ColladaAddDoubleFloatArray(root.node, "d", values, 17);
    std::string expected = "<r><float_array id=\"d\" count=\"17\">\n0.000000";
    for (int i = 1; i < 16; ++i) expected += " " + std::to_string(i) + ".000000";
    expected += "\n16.000000\n</float_array></r>";
    EXPECT_EQ(Text(root.node), expected);

    // Names: a blank between names, a line break instead once the names
    // since the last break (blanks not counted) pass 70 characters.
    Root names;
    KStringList list;
    const std::string long30(30, 'a');
    for (int i = 0; i < 4; ++i) list.Append((long30 + char('0' + i)).c_str());
    list.Append("x&y");
    ColladaAddNameArray(names.node, "n", list);
    EXPECT_EQ(Text(names.node), "<r><Name_array id=\"n\" count=\"5\">\n " + long30 + "0 " + long30 + "1\n" + long30 +
                                    "2 " + long30 + "3 x&amp;y\n</Name_array></r>");
}

TEST(ColladaXmlWrite, MatricesAndSources) {
    KgeMatrix m;
    m.SetElement(3, 0, 1.0);
    m.SetElement(3, 1, 2.0);
    m.SetElement(3, 2, 3.0);
    EXPECT_STREQ(ColladaMatrixToText(m).Buffer(),
                 "1.000000 0.000000 0.000000 1.000000 0.000000 1.000000 0.000000 2.000000 "
                 "0.000000 0.000000 1.000000 3.000000 0.000000 0.000000 0.000000 1.000000\n");

    Root root;
    const KgeUVVector uvs[] = {{0.5, 1.0}};
    ColladaAddUvSource(root.node, "s", uvs, 1);
    const KDuzRGBAColor colors[] = {KDuzRGBAColor(1, 0.5, 0, 0.25)};
    ColladaAddColorSource(root.node, "c", colors, 1);
    EXPECT_EQ(Text(root.node),
              "<r><source id=\"s\"><float_array id=\"s-array\" count=\"2\">\n0.500000 1.000000\n</float_array>"
              "<technique_common><accessor source=\"#s-array\" count=\"1\" stride=\"2\">"
              "<param name=\"S\" type=\"float\"/><param name=\"T\" type=\"float\"/></accessor></technique_common></source>"
              "<source id=\"c\"><float_array id=\"c-array\" count=\"4\">1.000000 0.500000 0.000000 0.250000\n"
              "</float_array><technique_common><accessor source=\"#c-array\" count=\"1\" stride=\"4\">"
              "<param name=\"R\" type=\"double\"/><param name=\"G\" type=\"double\"/>"
              "<param name=\"B\" type=\"double\"/><param name=\"A\" type=\"double\"/></accessor></technique_common>"
              "</source></r>");
}

}  // namespace
