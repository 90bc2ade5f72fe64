// The streamed Collada text: the same bytes libxml2 saves for the same tree,
// whether the tree is written whole or piece by piece as it is made, with
// elements and text written directly, a part taken back, and parts larger
// than the buffer copied from their temporary files.
#include <gtest/gtest.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <cstdio>
#include <string>

#include "sdk/formats/collada/ColladaXmlStream.h"
#include "sdk/formats/collada/ColladaXmlWrite.h"

namespace duzsdk {
namespace {

const xmlChar* XmlStreamTestName(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The document as libxml2 saves it formatted, the way the writer saved it
// before it streamed.
std::string XmlStreamTestSaved(xmlNode* root) {
    xmlDoc* document = xmlNewDoc(XmlStreamTestName("1.0"));
    xmlDocSetRootElement(document, root);
    xmlBuffer* buffer = xmlBufferCreate();
    xmlSaveCtxt* context = xmlSaveToBuffer(buffer, "utf-8", XML_SAVE_FORMAT);
    xmlSaveDoc(context, document);
    xmlSaveClose(context);
    std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer)), xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    xmlFreeDoc(document);
    return text;
}

// A document stream into a temporary file, and the file's text.
struct XmlStreamTestDocument {
    XmlStreamTestDocument() : file(std::tmpfile()), stream(fileno(file)) {
        stream.Raw("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");
    }
    ~XmlStreamTestDocument() { std::fclose(file); }
    std::string Text() {
        EXPECT_TRUE(stream.Flush());
        std::string text;
        std::rewind(file);
        char buffer[65536];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
        return text;
    }
    std::FILE* file;
    ColladaXmlStream stream;
};

TEST(ColladaXmlStream, TreesAreWrittenAsLibxml2SavesThem) {
    // Escapes in attributes and text, empty elements and empty attribute
    // values, text beside elements (no line breaks inside), and nesting
    // past the deepest indentation.
    xmlNode* root = ColladaNewChild(nullptr, "COLLADA");
    ColladaSetAttribute(root, "xmlns", "http://example.org/a");
    ColladaSetAttribute(root, "odd", "a&b<c>\"d\"\n\te\rf'");
    ColladaNewChild(root, "empty");
    ColladaSetAttribute(ColladaNewChild(root, "blank"), "id", "");
    ColladaNewChild(root, "text", "x < y && z > w\r\n\tend \xc3\xa9");
    xmlNode* mixed = ColladaNewChild(root, "mixed", "before");
    ColladaNewChild(ColladaNewChild(mixed, "inner"), "leaf", "t");
    xmlNodeAddContent(mixed, XmlStreamTestName("after"));
    xmlNode* deep = root;
    for (int i = 0; i < 40; ++i) deep = ColladaNewChild(deep, "node");
    ColladaNewChild(deep, "leaf", "1 2 3");

    XmlStreamTestDocument document;
    document.stream.WriteTree(root, 0);
    const std::string streamed = document.Text();
    EXPECT_EQ(streamed, XmlStreamTestSaved(root));
}

TEST(ColladaXmlStream, PartsWrittenAsTheyAreMadeMatchTheWholeTree) {
    // The same document twice: a tree saved whole, and a part whose
    // children are flushed as they come, with direct elements and text, one
    // child taken back, and enough text to go through the part's file.
    constexpr int kPoints = 60000;
    auto build = [](xmlNode* library, ColladaXmlStream* part) {
        for (int g = 0; g < 3; ++g) {
            if (part != nullptr) part->FlushBefore(library);
            const ColladaXmlStream::Mark mark = part != nullptr ? part->GetMark() : ColladaXmlStream::Mark{};
            xmlNode* geometry = ColladaNewChild(library, "geometry");
            ColladaSetAttribute(geometry, "id", ("g" + std::to_string(g)).c_str());
            xmlNode* mesh = ColladaNewChild(geometry, "mesh");
            std::vector<double> values(kPoints);
            for (int i = 0; i < kPoints; ++i) values[static_cast<size_t>(i)] = i * 0.25 - g;
            KStringList names;
            names.Append("a&b");
            names.Append("<c>");
            ColladaAddFloatSource(mesh, KString("s") + ColladaIntText(g), KStringList(), values.data(), kPoints, true,
                                  part);
            ColladaAddNameSource(mesh, KString("n") + ColladaIntText(g), names, "name", true, part);
            xmlNode* polygons = ColladaNewChild(mesh, "polygons");
            ColladaSetAttribute(polygons, "count", "3");
            ColladaAddInput(polygons, "VERTEX", "v", 0, -1);
            for (int p = 0; p < 3; ++p) {
                const std::string text = p == 1 ? std::string() : std::to_string(p) + " " + std::to_string(p + 1);
                if (part == nullptr) {
                    ColladaNewChild(polygons, "p", text);
                    continue;
                }
                part->Open(polygons);
                part->StartElement("p");
                if (!text.empty()) part->PlainText(text);
                part->EndElement();
            }
            ColladaNewChild(mesh, "vertices");
            if (g == 1) {
                // Taken back whole, as a geometry that failed.
                if (part != nullptr) part->Rewind(mark);
                xmlUnlinkNode(geometry);
                xmlFreeNode(geometry);
            }
        }
    };
    xmlNode* whole = ColladaNewChild(nullptr, "COLLADA");
    build(ColladaNewChild(whole, "library_geometries"), nullptr);
    ColladaNewChild(whole, "scene");

    XmlStreamTestDocument document;
    xmlNode* root = ColladaNewChild(nullptr, "COLLADA");
    ColladaXmlStream part;
    build(part.Root("library_geometries", 1), &part);
    document.stream.StartTag(root, 0);
    part.Finish();
    document.stream.CopyFrom(part);
    document.stream.WriteTree(ColladaNewChild(root, "scene"), 1);
    document.stream.EndTag(root, 0);
    const std::string streamed = document.Text();
    EXPECT_GT(streamed.size(), size_t{1} << 20);
    EXPECT_FALSE(part.Failed());
    EXPECT_EQ(streamed, XmlStreamTestSaved(whole));
    xmlFreeNode(root);
}

TEST(ColladaXmlStream, AnEmptyPartIsOneEmptyElement) {
    XmlStreamTestDocument document;
    ColladaXmlStream part;
    xmlNode* library = part.Root("library_animations", 1);
    part.FlushBefore(library);
    EXPECT_FALSE(part.IsOpen(library));
    part.Finish();
    document.stream.CopyFrom(part);
    EXPECT_EQ(document.Text(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n  <library_animations/>\n");
}

}  // namespace
}  // namespace duzsdk
