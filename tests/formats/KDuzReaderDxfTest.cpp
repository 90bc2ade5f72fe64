// The DXF reader: files written by ezdxf are read with the faces ezdxf
// finds in them; layers, colours, modes, blocks and hostile input.
#include <chrono>
#include <climits>

#include "DxfTestSupport.h"
#include "sdk/io/KDuzFormatRegistry.h"

using namespace duzsdk;
using namespace dxftest;

namespace {

struct PairRow {
    int code;
    std::string value;
};

// Group pairs as the text of a file, one code and one value a line.
std::string Pairs(std::initializer_list<PairRow> rows, const char* end = "\n") {
    std::string text;
    for (const PairRow& row : rows) text += std::to_string(row.code) + end + row.value + end;
    return text;
}

std::string Entities(const std::string& body) {
    return Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + body + Pairs({{0, "ENDSEC"}, {0, "EOF"}});
}

std::string Face(const char* layer, double z, int colour = 0) {
    const std::string zText = std::to_string(z);
    std::string text = Pairs({{0, "3DFACE"}, {8, layer}});
    if (colour != 0) text += Pairs({{62, std::to_string(colour)}});
    return text + Pairs({{10, "0"}, {20, "0"}, {30, zText}, {11, "1"}, {21, "0"}, {31, zText},
                         {12, "1"}, {22, "1"}, {32, zText}, {13, "1"}, {23, "1"}, {33, zText}});
}

// A polyface mesh of points (x, 0, 0) for x = 1..n and the given face numbers.
std::string Polyface(const char* layer, int points, const std::vector<std::array<std::string, 4>>& faces) {
    std::string text = Pairs({{0, "POLYLINE"}, {8, layer}, {66, "1"}, {70, "64"}});
    for (int i = 1; i <= points; ++i) {
        text += Pairs({{0, "VERTEX"}, {8, layer}, {10, std::to_string(i)}, {20, std::to_string(i % 2)},
                       {30, std::to_string(i / 3)}, {70, "192"}});
    }
    for (const auto& face : faces) {
        text += Pairs({{0, "VERTEX"}, {8, layer}, {70, "128"}});
        for (int k = 0; k < 4; ++k) {
            if (!face[k].empty()) text += Pairs({{71 + k, face[k]}});
        }
    }
    return text + Pairs({{0, "SEQEND"}});
}

TEST_F(DxfTest, FilesWrittenByEzdxfGiveTheFacesEzdxfFinds) {
    RunPeer("make '" + folder.string() + "'");
    DXF_SKIP_WITHOUT_PEER();
    const auto layersExpect = PeerFaces(Lines(ReadText(PathOf("layers.expect"))), true);
    const auto blocksExpect = PeerFaces(Lines(ReadText(PathOf("blocks.expect"))), false);
    ASSERT_FALSE(layersExpect.empty());
    ASSERT_FALSE(blocksExpect.empty());

    // Welding merges the corners the two red faces share and nothing else.
    for (const bool weld : {false, true}) {
        SCOPED_TRACE(weld ? "welded" : "not welded");
        KDuzScene* read = KDuzScene::Create(manager, "");
        ASSERT_TRUE(ReadFile(PathOf("layers.dxf"), {0, weld, false}, read));
        EXPECT_EQ(SceneFaces(read->GetRootNode(), true), layersExpect);
        std::vector<std::string> names;
        for (int i = 0; i < read->GetRootNode()->GetChildCount(); ++i) {
            KDuzNode* node = read->GetRootNode()->GetChild(i);
            names.push_back(node->GetName());
            // The layer that is switched off is read as a hidden node.
            EXPECT_EQ(node->GetVisibility(), names.back() != "Off") << names.back();
            if (names.back() == "Red") {
                EXPECT_EQ(MeshOf(node)->GetControlPointsCount(), weld ? 6 : 8);
            }
            // Polyface points are never welded.
            if (names.back() == "Mesh") {
                EXPECT_EQ(MeshOf(node)->GetControlPointsCount(), 6);
            }
        }
        // Layers in sorted order; a name with a blank is kept whole.
        EXPECT_EQ(names, (std::vector<std::string>{"Mesh", "Off", "Red", "Two words"}));
    }

    // Block references: base point, scale, rotation and nesting put the
    // faces where ezdxf's own explosion of the references puts them.
    ASSERT_TRUE(ReadFile(PathOf("blocks.dxf")));
    EXPECT_EQ(SceneFaces(scene->GetRootNode(), false), blocksExpect);

    // With the reference node, its rotation turns the scene back to the
    // file's axes.
    KDuzScene* referenced = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(PathOf("blocks.dxf"), {0, false, true}, referenced));
    ASSERT_EQ(referenced->GetRootNode()->GetChildCount(), 1);
    EXPECT_STREQ(referenced->GetRootNode()->GetChild(0)->GetName(), "Duz_Root");
    EXPECT_EQ(SceneFaces(referenced->GetRootNode(), false, false), blocksExpect);
}

TEST_F(DxfTest, ColourNumbersBecomeSharedLambertMaterials) {
    struct Row {
        int n;
        double r, g, b;
    };
    // 0 and 256 are no colour numbers: the colour stays as it was (white).
    const Row rows[] = {{1, 1, 0, 0},         {5, 0, 0, 1},       {8, 0.502, 0.502, 0.502}, {15, 0.5, 0.25, 0.25},
                        {30, 1, 0.5, 0},      {140, 0, 0.75, 1},  {250, 0.33, 0.33, 0.33},  {255, 1, 1, 1},
                        {0, 1, 1, 1},         {256, 1, 1, 1},     {-3, 1, 1, 1}};
    for (const Row& row : rows) {
        double rgb[3] = {1.0, 1.0, 1.0};
        KDuzReaderDxf::ColorIndexToRgb(row.n, rgb);
        EXPECT_NEAR(rgb[0], row.r, 1e-9) << row.n;
        EXPECT_NEAR(rgb[1], row.g, 1e-9) << row.n;
        EXPECT_NEAR(rgb[2], row.b, 1e-9) << row.n;
    }

    // Two meshes with colour 1 share Material0; colour 3 makes Material1;
    // 256 (by layer, on a layer without a colour) and 300 make none.
    const std::string text = Entities(Face("a", 0, 1) + Face("a", 1, 3) + Face("b", 2, 1) + Face("b", 3, 256) +
                                      Face("b", 4, 300));
    ASSERT_TRUE(ReadString(text));
    const auto nodes = Children();
    ASSERT_EQ(nodes.size(), 2u);
    KDuzMesh* a = MeshOf(nodes[0]);
    KDuzMesh* b = MeshOf(nodes[1]);
    ASSERT_EQ(a->GetMaterialCount(), 2);
    ASSERT_EQ(b->GetMaterialCount(), 1);
    EXPECT_STREQ(a->GetMaterial(0)->GetName(), "Material0");
    EXPECT_STREQ(a->GetMaterial(1)->GetName(), "Material1");
    EXPECT_EQ(b->GetMaterial(0), a->GetMaterial(0));
    EXPECT_EQ(MaterialText(a->GetMaterial(1)), ColourText(3));
    EXPECT_EQ(PolygonMaterial(a, 1), a->GetMaterial(1));
    // Polygons without a colour point at material index 0.
    EXPECT_EQ(b->GetPolygonCount(), 3);
    EXPECT_EQ(PolygonMaterial(b, 2), b->GetMaterial(0));
}

TEST_F(DxfTest, LayerTableColoursCarryOverAndNegativeOnesHideTheLayer) {
    // "B" has no colour of its own and takes A's 3; "C" is switched off.
    const std::string tables =
        Pairs({{0, "SECTION"}, {2, "TABLES"}, {0, "TABLE"}, {2, "LTYPE"}, {0, "LTYPE"}, {2, "X"}, {0, "ENDTAB"},
               {0, "TABLE"}, {2, "LAYER"}, {70, "3"}, {0, "LAYER"}, {2, "A"}, {62, "3"}, {0, "LAYER"}, {2, "B"},
               {290, "1"}, {0, "LAYER"}, {2, "C"}, {62, "-5"}, {0, "ENDTAB"}, {0, "ENDSEC"}});
    ASSERT_TRUE(ReadString(tables + Entities(Face("A", 0) + Face("B", 1) + Face("C", 2) + Face("D", 3))));
    std::map<std::string, KDuzNode*> byName;
    for (KDuzNode* node : Children()) byName[node->GetName()] = node;
    ASSERT_EQ(byName.size(), 4u);
    EXPECT_EQ(MaterialText(MeshOf(byName["A"])->GetMaterial(0)), ColourText(3));
    EXPECT_EQ(MaterialText(MeshOf(byName["B"])->GetMaterial(0)), ColourText(3));
    EXPECT_EQ(MaterialText(MeshOf(byName["C"])->GetMaterial(0)), ColourText(5));
    EXPECT_EQ(MeshOf(byName["D"])->GetMaterialCount(), 0);
    EXPECT_FALSE(byName["C"]->GetVisibility());
    EXPECT_TRUE(byName["B"]->GetVisibility());
}

TEST_F(DxfTest, ObjectDerivationModes) {
    const std::string body = Polyface("L", 3, {{"1", "2", "3", ""}}) + Face("L", 0) +
                             Polyface("M", 4, {{"1", "2", "3", "4"}}) + Polyface("L", 3, {{"1", "2", "3", ""}});
    // By entity: one node per entity, named by kind and made unique.
    ASSERT_TRUE(ReadString(Entities(body), {1}));
    std::vector<std::string> names;
    for (KDuzNode* node : Children()) names.push_back(node->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"POLYLINE", "3DFACE", "POLYLINE1", "POLYLINE2"}));
    EXPECT_EQ(MeshOf(Children()[2])->GetPolygonSize(0), 4);

    // By block: the whole section is one node of that name.
    KDuzScene* blockScene = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(WriteText("block.dxf", Entities(body)), {2}, blockScene));
    ASSERT_EQ(blockScene->GetRootNode()->GetChildCount(), 1);
    KDuzNode* node = blockScene->GetRootNode()->GetChild(0);
    EXPECT_STREQ(node->GetName(), "ENTITIES");
    EXPECT_EQ(MeshOf(node)->GetPolygonCount(), 4);
    EXPECT_EQ(MeshOf(node)->GetControlPointsCount(), 13);

    // By layer: one node per layer.
    KDuzScene* layerScene = KDuzScene::Create(manager, "");
    ASSERT_TRUE(ReadFile(WriteText("layer.dxf", Entities(body)), {0}, layerScene));
    EXPECT_EQ(layerScene->GetRootNode()->GetChildCount(), 2);

    // No other mode reads anything.
    KDuzScene* other = KDuzScene::Create(manager, "");
    EXPECT_FALSE(ReadFile(WriteText("other.dxf", Entities(body)), {7}, other));
    EXPECT_EQ(other->GetRootNode()->GetChildCount(), 0);
}

TEST_F(DxfTest, ThreeDFaceCornersDecideItsShape) {
    auto face = [](const char* c3, const char* c4, const char* c1 = "0", const char* c4y = "1") {
        return Pairs({{0, "3DFACE"}, {8, "F"}, {10, c1}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "0"}, {31, "0"},
                      {12, c3}, {22, "1"}, {32, "0"}, {13, c4}, {23, c4y}, {33, "0"}});
    };
    struct Row {
        const char* name;
        std::string body;
        int corners;   // 0: no node
    };
    const Row rows[] = {
        {"quad", face("1", "0"), 4},
        // The fourth corner repeating the third (within 1e-6) makes a triangle.
        {"triangle", face("1", "1.0000004"), 3},
        // So does a fourth corner repeating the first or the second.
        {"closed on the first", face("1", "0", "0", "0"), 3},
        {"closed on the second", face("1", "1", "0", "0"), 3},
        // Two equal corners among the first three: no surface.
        {"degenerate", face("1", "0", "1"), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KDuzScene* read = KDuzScene::Create(manager, "");
        ASSERT_TRUE(ReadFile(WriteText(std::string(row.name) + ".dxf", Entities(row.body)), {1}, read));
        ASSERT_EQ(read->GetRootNode()->GetChildCount(), row.corners > 0 ? 1 : 0);
        if (row.corners == 0) continue;
        KDuzMesh* mesh = MeshOf(read->GetRootNode()->GetChild(0));
        EXPECT_EQ(mesh->GetControlPointsCount(), row.corners);
        EXPECT_EQ(mesh->GetPolygonSize(0), row.corners);
        // Control points in reverse corner order, on the SDK's axes.
        const KgeTVector last = mesh->GetControlPoints()[0];
        EXPECT_EQ(Fmt(last[0]) + " " + Fmt(last[1]) + " " + Fmt(last[2]),
                  row.corners == 4 ? "0.0000 0.0000 -1.0000" : "1.0000 0.0000 -1.0000");
    }
}

TEST_F(DxfTest, LineEndsAndLongLinesDoNotChangeWhatIsRead) {
    const std::string body = Polyface("P", 4, {{"1", "2", "3", "4"}, {"1", "-3", "2", ""}}) + Face("P", 2);
    ASSERT_TRUE(ReadString(Entities(body)));
    const auto expected = SceneFaces(scene->GetRootNode(), true);
    ASSERT_EQ(expected.size(), 3u);

    // CR LF ends, lone CR ends, blanks around values, and a 100000-byte
    // comment line all read the same faces.
    std::string lf = Entities(body);
    std::string converted;
    for (char c : lf) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string lone;
    for (char c : lf) lone += c == '\n' ? '\r' : c;
    std::string padded;
    for (const std::string& line : Lines(lf)) padded += "  " + line + " \t\n";
    const std::string comment = Pairs({{999, std::string(100000, 'x')}});
    const std::string variants[] = {converted, lone, padded, comment + lf};
    int index = 0;
    for (const std::string& text : variants) {
        SCOPED_TRACE(index);
        KDuzScene* read = KDuzScene::Create(manager, "");
        ASSERT_TRUE(ReadFile(WriteText("v" + std::to_string(index++) + ".dxf", text), {}, read));
        EXPECT_EQ(SceneFaces(read->GetRootNode(), true), expected);
    }
}

TEST_F(DxfTest, FaceNumbersOutsideThePolylineAreDropped) {
    // Each face numbers points of its own polyline only: 1-based, negative
    // for a hidden edge, never 0 or beyond the polyline's points.
    const std::string body =
        Polyface("P", 3, {{"1", "2", "3", ""},
                          {"1", "2", "4", ""},
                          {"1", "2", "-2147483648", ""},
                          {"1", "2", "99999999999", ""},
                          {"1", "2", "3", "2147483647"},
                          {"0", "1", "2", ""},
                          {"1", "1", "2", ""},
                          {"-1", "-2", "-3", ""}}) +
        // The second polyline's numbers start again at 1 in the same layer.
        Polyface("P", 3, {{"3", "2", "1", ""}, {"4", "5", "6", ""}});
    ASSERT_TRUE(ReadString(Entities(body)));
    ASSERT_EQ(Children().size(), 1u);
    KDuzMesh* mesh = MeshOf(Children()[0]);
    ASSERT_EQ(mesh->GetControlPointsCount(), 6);
    ASSERT_EQ(mesh->GetPolygonCount(), 3);
    EXPECT_TRUE(mesh->CheckPolygonVertices());
    EXPECT_EQ(mesh->GetPolygonVertex(1, 0), 2);
    EXPECT_EQ(mesh->GetPolygonVertex(2, 0), 3);
    EXPECT_EQ(mesh->GetPolygonVertex(2, 2), 5);
}

TEST_F(DxfTest, BrokenFilesFailWithoutHarm) {
    const std::string good = Face("A", 0);
    struct Row {
        const char* name;
        std::string text;
        bool result;
        int nodes;   // nodes made (and kept) either way
    };
    const std::string noEntities = Pairs({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"},
                                          {0, "ENDSEC"}});
    const Row rows[] = {
        {"empty", "", false, 0},
        // The last value "EOF" needs its line end when there is no ENTITIES.
        {"eof without line end", noEntities + "0\nEOF", false, 0},
        {"eof with line end", noEntities + "0\nEOF\n", true, 0},
        {"group code not a number", Entities(good + "x1\nA\n" + good), false, 0},
        // By layer, the faces read whole before the end are built.
        {"truncated inside an entity", Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + good + "0\n3DFACE\n8\nB\n10\n", false,
         1},
        {"truncated in a polyline", Pairs({{0, "SECTION"}, {2, "ENTITIES"}}) + good + Polyface("B", 3, {}).substr(0, 60),
         false, 1},
        {"binary", std::string("\x00\x01\xff\n\x89PNG\r\n", 10), false, 0},
        // Values too large for a double or an int are taken as absent.
        {"huge numbers", Entities(Pairs({{0, "3DFACE"}, {8, "H"}, {62, "1e99"}, {10, "1e999"}, {20, "-1e999"},
                                         {30, "nan"}, {11, "1"}, {12, "1"}, {22, "1"}, {13, "0"}, {23, "1"}})),
         true, 1},
        {"entities of a single layer", Entities(good), true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KDuzScene* read = KDuzScene::Create(manager, "");
        EXPECT_EQ(ReadFile(WriteText("broken.dxf", row.text), {}, read), row.result);
        EXPECT_EQ(read->GetRootNode()->GetChildCount(), row.nodes);
        if (!row.result) {
            EXPECT_EQ(error, KDuzReader::eFileCorrupted);
        }
    }
    // By entity, what was made before the end stays.
    KDuzScene* partial = KDuzScene::Create(manager, "");
    EXPECT_FALSE(ReadFile(WriteText("partial.dxf", rows[4].text), {1}, partial));
    EXPECT_EQ(partial->GetRootNode()->GetChildCount(), 1);
}

TEST_F(DxfTest, BlockReferencesCannotRecurseOrExplode) {
    auto block = [](const std::string& name, const std::string& body) {
        return Pairs({{0, "BLOCK"}, {8, "0"}, {2, name}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}}) + body +
               Pairs({{0, "ENDBLK"}});
    };
    auto insert = [](const std::string& name, double x = 0.0) {
        return Pairs({{0, "INSERT"}, {8, "0"}, {2, name}, {10, std::to_string(x)}, {20, "0"}, {30, "0"}});
    };
    // A block that holds itself, and a chain of 40 blocks each holding the
    // next twice (2^40 references if expanded).
    std::string blocks = block("Self", Face("0", 0) + insert("Self", 1));
    for (int i = 0; i < 40; ++i) {
        const std::string next = "B" + std::to_string(i + 1);
        blocks += block("B" + std::to_string(i), Face("0", i) + insert(next, 1) + insert(next, 2));
    }
    blocks += block("B40", Face("0", 40));
    const std::string text = Pairs({{0, "SECTION"}, {2, "BLOCKS"}}) + blocks + Pairs({{0, "ENDSEC"}}) +
                             Entities(insert("Self") + insert("Missing") + insert("B0") + Face("0", 9));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadString(text));
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::map<std::string, KDuzNode*> byName;
    for (KDuzNode* node : Children()) byName[node->GetName()] = node;
    // Self holds one face and no copy of itself; the missing block adds
    // nothing; the chain is cut where the reading limit is met.
    ASSERT_TRUE(byName.count("Self"));
    EXPECT_EQ(byName["Self"]->GetChildCount(), 0);
    EXPECT_EQ(MeshOf(byName["Self"])->GetPolygonCount(), 1);
    EXPECT_TRUE(byName.count("B0"));
    EXPECT_TRUE(byName.count("0"));
    EXPECT_EQ(byName.size(), 3u);
    EXPECT_NE(messages.find("reading limit"), std::string::npos);
    EXPECT_LT(scene->GetRootNode()->GetChildCount(true), 20000);
    EXPECT_LT(seconds, 60.0) << "a guard against a runaway expansion, not a speed check";
}

TEST_F(DxfTest, BlockReferencesMakeNoMoreNodesThanTheFileHoldsBytesFor) {
    // A block of fifty references to a one-face block, referenced two
    // hundred times: ten thousand nodes asked for by a file of a few
    // kilobytes. References make at most one node per 16 bytes of the file
    // beyond a small floor (128 nodes); what they make stays.
    auto block = [](const std::string& name, const std::string& body) {
        return Pairs({{0, "BLOCK"}, {8, "0"}, {2, name}, {70, "0"}, {10, "0"}, {20, "0"}, {30, "0"}}) + body +
               Pairs({{0, "ENDBLK"}});
    };
    const std::string insertLeaf = Pairs({{0, "INSERT"}, {8, "0"}, {2, "Leaf"}});
    const std::string insertFifty = Pairs({{0, "INSERT"}, {8, "0"}, {2, "Fifty"}});
    std::string fifty;
    for (int i = 0; i < 50; ++i) fifty += insertLeaf;
    std::string entities;
    for (int i = 0; i < 200; ++i) entities += insertFifty;
    const std::string text = Pairs({{0, "SECTION"}, {2, "BLOCKS"}}) + block("Leaf", Face("0", 1)) +
                             block("Fifty", fifty) + Pairs({{0, "ENDSEC"}}) + Entities(entities);
    ASSERT_TRUE(ReadString(text, {2}));
    const int nodes = scene->GetRootNode()->GetChildCount(true);
    EXPECT_GT(nodes, 0);
    EXPECT_LE(nodes, static_cast<int>(text.size() / 16) + 128 + 1) << text.size() << " bytes";
    EXPECT_NE(messages.find("reading limit"), std::string::npos);
}

TEST_F(DxfTest, FormatRegistryMakesTheDxfReaderAndWriter) {
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    ASSERT_NE(registry, nullptr);
    int reader = -1;
    int writer = -1;
    for (int i = 0; i < registry->GetReaderCount(); ++i) {
        if (std::string(registry->GetReaderEntry(i)->extension) == "dxf") reader = i;
    }
    for (int i = 0; i < registry->GetWriterCount(); ++i) {
        if (std::string(registry->GetWriterEntry(i)->extension) == "dxf") writer = i;
    }
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    KDuzReader* made = registry->CreateReader(manager, nullptr, reader);
    EXPECT_NE(dynamic_cast<KDuzReaderDxf*>(made), nullptr);
    // Options of another format, or none, are refused before anything is read.
    ASSERT_TRUE(made->FileOpen(WriteText("a.dxf", Entities(Face("A", 0))).c_str()));
    EXPECT_FALSE(made->Read(scene, nullptr));
    EXPECT_EQ(made->GetLastErrorID(), KDuzReader::eStreamOptionsNotSet);
    delete made;
    KDuzReaderDxf closed(manager);
    KDuzStreamOptions* options = closed.GetReadOptions(false);
    EXPECT_FALSE(closed.Read(scene, options));
    EXPECT_EQ(closed.GetLastErrorID(), KDuzReader::eFileNotOpened);
    options->Destroy();
    KDuzWriter* madeWriter = registry->CreateWriter(manager, nullptr, writer);
    EXPECT_NE(dynamic_cast<KDuzWriterDxf*>(madeWriter), nullptr);
    delete madeWriter;
}

}  // namespace
