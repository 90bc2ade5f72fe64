#include "sdk/formats/collada/ColladaXmlRead.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <memory>
#include <string>

using namespace duzsdk;

namespace {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

DocPtr Parse(const std::string& text) {
    return DocPtr(xmlReadMemory(text.data(), static_cast<int>(text.size()), "t.xml", nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

double Single(double v) { return static_cast<double>(static_cast<float>(v)); }

TEST(ColladaXmlRead, ScanNumberFollowsTheScannerGrammar) {
    struct Case {
        const char* text;
        double first;
        double second;
    };
    const Case cases[] = {
        {"1.5e-2 7", Single(0.015), 7},
        {"-0.5 1", -0.5, 1},
        {"+3 4", 0, 4},           // '+' is no sign: the token is skipped whole
        {"12abc 4", 12, 4},       // the rest of a bad token is skipped
        {"1.2.3 5", Single(12.3), 5},
        {"0.1 2", Single(0.1), 2},  // single precision, not the double 0.1
        {"  \r\n 8\r9", 8, 9},    // CR separates like any blank
        {"2E2 1", 200, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const char* cursor = c.text;
        EXPECT_EQ(ColladaScanNumber(cursor), c.first);
        EXPECT_EQ(ColladaScanNumber(cursor), c.second);
        EXPECT_EQ(*cursor, '\0');
    }
    const char* end = "";
    EXPECT_EQ(ColladaScanNumber(end), 0.0);
}

TEST(ColladaXmlRead, ScanIntSkipsNonDigitsAndEndsAtBlanksIncludingCarriageReturn) {
    struct Case {
        const char* text;
        int first;
        int second;
    };
    const Case cases[] = {
        {"-12 3", -12, 3},
        {"1.5 2", 15, 2},    // the point is ignored
        {"3\r\n4", 3, 4},
        {"3\r4", 3, 4},       // CR-only line ends keep indices apart
        {"99999999999 1", 2147483647, 1},  // saturates instead of overflowing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const char* cursor = c.text;
        EXPECT_EQ(ColladaScanInt(cursor), c.first);
        EXPECT_EQ(ColladaScanInt(cursor), c.second);
    }
}

TEST(ColladaXmlRead, MatrixTextRowBecomesStoredColumn) {
    const char* text = "1 0 0 1  0 1 0 2  0 0 1 3  0 0 0 1";
    KgeMatrix m;
    ColladaScanMatrix(text, m);
    EXPECT_EQ(m.Data()[12], 1);
    EXPECT_EQ(m.Data()[13], 2);
    EXPECT_EQ(m.Data()[14], 3);
    EXPECT_EQ(m.Data()[15], 1);
    EXPECT_EQ(m.Data()[3], 0);
}

TEST(ColladaXmlRead, ScanColorDefaultsAndOptionalAlpha) {
    KDuzRGBAColor c;
    const char* three = "0.5 2 -1";
    ColladaScanColor(three, c);
    EXPECT_EQ(c.mRed, 0.5);
    EXPECT_EQ(c.mGreen, 2);  // kept as read
    EXPECT_EQ(c.mBlue, -1);
    EXPECT_EQ(c.mAlpha, 1);
    const char* empty = "";
    ColladaScanColor(empty, c);
    EXPECT_EQ(c.mRed, 1);
    EXPECT_EQ(c.mAlpha, 1);
    const char* four = "0 0 0 0.25";
    ColladaScanColor(four, c);
    EXPECT_EQ(c.mAlpha, 0.25);
}

TEST(ColladaXmlRead, ArrayScannersOverwriteSlotsThenAppend) {
    ColladaDoubleArray values;
    values.SetCount(2);
    EXPECT_EQ(ColladaScanDoubleArray("1 2 3", values), 3);
    ASSERT_EQ(values.Count(), 3);
    EXPECT_EQ(values[2], 3);

    ColladaDoubleArray shortText;
    shortText.SetCount(4);
    EXPECT_EQ(ColladaScanDoubleArray("1 2", shortText), 2);

    ColladaDoubleArray blanks;
    EXPECT_EQ(ColladaScanDoubleArray("\n", blanks), 0);  // blanks hold no value

    ColladaNameArray names;
    EXPECT_EQ(ColladaScanNameArray(" a  bb\nc ", names), 3);
    EXPECT_EQ(names[1], "bb");
}

TEST(ColladaXmlRead, LookupsAndUrls) {
    const DocPtr doc = Parse(
        "<r><!-- c --><a id='x'/><b id=''/><b id='y' url='file.dae#a#b'/>"
        "<technique profile='MAYA'/><technique_common><accessor count='1'/></technique_common></r>");
    ASSERT_TRUE(doc);
    xmlNode* root = xmlDocGetRootElement(doc.get());
    EXPECT_STREQ(ColladaElementName(ColladaFirstChildElement(root)), "a");
    xmlNode* y = ColladaFindChildById(root, KString("y"));
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(ColladaFindChildById(root, KString("")), nullptr);
    ColladaNodeArray bs;
    ColladaFindChildrenByName(root, "b", bs);
    EXPECT_EQ(bs.size(), 2u);
    EXPECT_NE(ColladaFindTechniqueByProfile(root, "MAYA"), nullptr);
    EXPECT_EQ(ColladaFindTechniqueByProfile(root, "X"), nullptr);
    EXPECT_NE(ColladaFindAccessor(root), nullptr);
    const ColladaUrl url = ColladaGetUrl(y);
    EXPECT_EQ(url.id, "a#b");
    EXPECT_EQ(ColladaGetUrl(root).id, "");
    EXPECT_EQ(ColladaGetAttribute(nullptr, "id"), "");
    EXPECT_EQ(ColladaArrayElementName(KString("name")), "Name_array");
    EXPECT_EQ(ColladaArrayElementName(KString("x")), "");
}

const char* const kSources = R"(<mesh>
<source id="f"><float_array count="6">1 2 3 4 5 6</float_array>
  <technique_common><accessor count="2" stride="3"/></technique_common></source>
<source id="huge"><float_array count="6">1 2 3</float_array>
  <technique_common><accessor count="2147483647" stride="3"/></technique_common></source>
<source id="neg"><float_array>1</float_array>
  <technique_common><accessor count="-1"/></technique_common></source>
<source id="uv"><float_array>0 1 9 2 3 9</float_array>
  <technique_common><accessor count="2" stride="3"/></technique_common></source>
<source id="uv1"><float_array>0 1</float_array>
  <technique_common><accessor count="2"/></technique_common></source>
<source id="rgb"><float_array>0.5 0.5 0.5</float_array>
  <technique_common><accessor count="1" stride="3"/></technique_common></source>
<source id="rgb5"><float_array>0.5 0.5 0.5</float_array>
  <technique_common><accessor count="1" stride="5"/></technique_common></source>
<source id="nocount"><float_array>0.5 0.5 0.5 1</float_array>
  <technique_common><accessor stride="4"/></technique_common></source>
<source id="blank"><float_array>
</float_array><technique_common><accessor count="0"/></technique_common></source>
<source id="names"><Name_array>a b c d</Name_array>
  <technique_common><accessor count="2" stride="2"/></technique_common></source>
<source id="mats"><float_array>1 0 0 5 0 1 0 6 0 0 1 7 9 9 9 9</float_array>
  <technique_common><accessor count="1" stride="16"/></technique_common></source>
</mesh>)";

TEST(ColladaXmlRead, SourceReadersCheckCountsAgainstTheText) {
    const DocPtr doc = Parse(kSources);
    ASSERT_TRUE(doc);
    xmlNode* mesh = xmlDocGetRootElement(doc.get());
    auto src = [&](const char* id) { return ColladaFindChildById(mesh, KString(id)); };

    KgeTVectorArray vectors;
    EXPECT_TRUE(ColladaReadVectorSource(src("f"), vectors));
    ASSERT_EQ(vectors.Count(), 2);
    EXPECT_EQ(vectors[1][2], 6);

    // A count far beyond the text neither allocates for it nor passes.
    KgeTVectorArray hugeVectors;
    EXPECT_FALSE(ColladaReadVectorSource(src("huge"), hugeVectors));
    EXPECT_LE(hugeVectors.Count(), 4);
    ColladaDoubleArray hugeFloats;
    EXPECT_FALSE(ColladaReadFloatSource(src("huge"), hugeFloats));
    EXPECT_LE(hugeFloats.Count(), 4);
    EXPECT_FALSE(ColladaReadFloatSource(src("neg"), hugeFloats));
    EXPECT_FALSE(ColladaReadFloatSource(nullptr, hugeFloats));

    KgeUVVectorArray uvs;
    EXPECT_TRUE(ColladaReadUvSource(src("uv"), uvs));
    ASSERT_EQ(uvs.Count(), 2);
    EXPECT_EQ(uvs[1].mU, 2);
    EXPECT_EQ(uvs[1].mV, 3);
    KgeUVVectorArray uvs1;
    EXPECT_FALSE(ColladaReadUvSource(src("uv1"), uvs1));  // stride below 2

    KDuzRGBAColorArray colors;
    EXPECT_TRUE(ColladaReadColorSource(src("rgb"), colors));
    ASSERT_EQ(colors.Count(), 1);
    EXPECT_EQ(colors[0].mAlpha, 1);
    EXPECT_FALSE(ColladaReadColorSource(src("rgb5"), colors));
    KDuzRGBAColorArray none;
    EXPECT_TRUE(ColladaReadColorSource(src("nocount"), none));
    EXPECT_EQ(none.Count(), 0);

    ColladaDoubleArray blank;
    EXPECT_TRUE(ColladaReadFloatSource(src("blank"), blank));  // an empty array may hold a line end
    EXPECT_EQ(blank.Count(), 0);

    ColladaNameArray names;
    EXPECT_TRUE(ColladaReadNameSource(src("names"), names));
    EXPECT_EQ(names.size(), 4u);

    ColladaMatrixArray matrices;
    EXPECT_TRUE(ColladaReadMatrixSource(src("mats"), matrices));
    ASSERT_EQ(matrices.Count(), 1);
    EXPECT_EQ(matrices[0].Data()[12], 5);
    EXPECT_EQ(matrices[0].Data()[15], 1);  // affine copy
    EXPECT_EQ(matrices[0].Data()[3], 0);
}

}  // namespace
