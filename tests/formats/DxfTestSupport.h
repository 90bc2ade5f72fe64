// Shared by the DXF reader and writer tests: a manager and folder per test,
// reading and writing through the DXF classes, the ezdxf peer script, and
// the faces of a scene in the peer's canonical text.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzWriterDxf.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace dxftest {

using namespace duzsdk;

inline std::string Fmt(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", std::abs(v) < 5e-5 ? 0.0 : v);
    return text;
}

// Corners as "x,y,z;..." rotated to start at the smallest corner text.
inline std::string Canonical(const std::vector<std::array<double, 3>>& corners) {
    std::vector<std::string> texts;
    for (const auto& c : corners) texts.push_back(Fmt(c[0]) + "," + Fmt(c[1]) + "," + Fmt(c[2]));
    const auto first = std::min_element(texts.begin(), texts.end()) - texts.begin();
    std::string out;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) out += ";";
        out += texts[(first + i) % texts.size()];
    }
    return out;
}

// A colour as the diffuse colour the reader gives its number; "none" for 0.
inline std::string ColourText(int n) {
    if (n <= 0 || n > 255) return "none";
    double rgb[3] = {1.0, 1.0, 1.0};
    KDuzReaderDxf::ColorIndexToRgb(n, rgb);
    return Fmt(rgb[0]) + "/" + Fmt(rgb[1]) + "/" + Fmt(rgb[2]);
}

inline std::string MaterialText(const KDuzSurfaceMaterial* material) {
    if (material == nullptr) return "none";
    const KDuzProperty diffuse = material->FindProperty("DiffuseColor");
    duzVectorTemplate3<double> c(0.0, 0.0, 0.0);
    diffuse.GetValue(&c, eValueKindDouble3);
    return Fmt(c[0]) + "/" + Fmt(c[1]) + "/" + Fmt(c[2]);
}

inline KDuzMesh* MeshOf(KDuzNode* node) { return dynamic_cast<KDuzMesh*>(node->GetNodeAttribute()); }

// The material of a polygon through layer 0's element; null without one.
inline KDuzSurfaceMaterial* PolygonMaterial(KDuzMesh* mesh, int polygon) {
    KDuzLayer* layer = mesh->GetLayer(0);
    KDuzLayerElementMaterial* element = layer != nullptr ? layer->GetMaterials() : nullptr;
    if (element == nullptr) return nullptr;
    int index = 0;
    if (element->GetMappingMode() == KDuzLayerElement::eByPolygon) {
        if (polygon >= element->GetIndexArray().Count()) return nullptr;
        index = element->GetIndexArray()[polygon];
    }
    return mesh->GetMaterial(index, 0);
}

// Every polygon of every mesh below the node as "face LAYER COLOUR corners"
// in DXF world coordinates, in the file's corner order (the reader turns
// it round, the writer turns it back). LAYER is the node's name, or "*"
// when not wanted; COLOUR the material's diffuse colour. Sorted.
inline std::vector<std::string> SceneFaces(KDuzNode* root, bool withLayer, bool dxfAxes = true) {
    std::vector<std::string> lines;
    std::vector<KDuzNode*> pending{root};
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        for (int i = 0; i < node->GetChildCount(); ++i) pending.push_back(node->GetChild(i));
        KDuzMesh* mesh = node == root ? nullptr : MeshOf(node);
        if (mesh == nullptr) continue;
        const KgeMatrix& global = node->GetGlobalTransform();
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
            std::vector<std::array<double, 3>> corners;
            for (int k = mesh->GetPolygonSize(p) - 1; k >= 0; --k) {
                const KgeTVector v = global.TransformPoint(mesh->GetControlPoints()[mesh->GetPolygonVertex(p, k)]);
                if (dxfAxes) corners.push_back({v[0], -v[2], v[1]});
                else corners.push_back({v[0], v[1], v[2]});
            }
            lines.push_back("face " + std::string(withLayer ? node->GetName() : "*") + " " +
                            MaterialText(PolygonMaterial(mesh, p)) + " " + Canonical(corners));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The peer's face lines with the colour number as a colour text, and
// optionally without the layer.
inline std::vector<std::string> PeerFaces(const std::vector<std::string>& lines, bool withLayer) {
    std::vector<std::string> out;
    for (const std::string& line : lines) {
        if (line.rfind("face ", 0) != 0) continue;
        // "face LAYER COLOUR CORNERS": the layer may hold blanks.
        const size_t last = line.rfind(' ');
        const size_t colourAt = line.rfind(' ', last - 1);
        const std::string layer = line.substr(5, colourAt - 5);
        const int colour = std::atoi(line.substr(colourAt + 1, last - colourAt - 1).c_str());
        out.push_back("face " + (withLayer ? layer : std::string("*")) + " " + ColourText(colour) + " " +
                      line.substr(last + 1));
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Read options: object derivation (0 by layer, 1 by entity, 2 by block),
// welding and the reference node.
struct ReadSettings {
    int derivation = 0;
    bool weld = false;
    bool referenceNode = false;
};

class DxfTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("dxf_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }

    std::string WriteText(const std::string& name, const std::string& text) {
        const std::string path = PathOf(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Reads the file into `into` (the test's scene by default); Read's result.
    bool ReadFile(const std::string& path, ReadSettings settings = {}, KDuzScene* into = nullptr) {
        KDuzReaderDxf reader(manager);
        if (!reader.FileOpen(path.c_str())) return false;
        auto* options = dynamic_cast<KDuzStreamOptionsDxfReader*>(reader.GetReadOptions(false));
        EXPECT_NE(options, nullptr);
        options->Reset();
        options->SetIntOption("OBJECT DERIVATION", settings.derivation);
        options->SetBoolOption("WELD VERTICES", settings.weld);
        options->SetBoolOption("REFERENCENODE", settings.referenceNode);
        const bool ok = reader.Read(into != nullptr ? into : scene, options);
        error = reader.GetLastErrorID();
        messages = reader.GetMessageText().Buffer();
        EXPECT_TRUE(reader.FileClose());
        options->Destroy();
        return ok;
    }
    bool ReadString(const std::string& text, ReadSettings settings = {}) {
        return ReadFile(WriteText("input.dxf", text), settings);
    }

    // Writes the scene with the DXF writer; Write's result.
    bool WriteFile(KDuzScene* source, const std::string& path, bool triangulate = true, bool deformation = true) {
        KDuzWriterDxf writer(manager);
        if (!writer.FileCreate(path.c_str())) return false;
        auto* options = dynamic_cast<KDuzStreamOptionsDxfWriter*>(writer.GetWriteOptions());
        EXPECT_NE(options, nullptr);
        options->Reset();
        options->SetBoolOption("TRIANGULATE", triangulate);
        options->SetBoolOption("DEFORMATION", deformation);
        const bool ok = writer.Write(source, options);
        EXPECT_TRUE(writer.FileClose());
        options->Destroy();
        return ok;
    }

    std::vector<KDuzNode*> Children(KDuzNode* parent = nullptr) const {
        if (parent == nullptr) parent = scene->GetRootNode();
        std::vector<KDuzNode*> nodes;
        for (int i = 0; i < parent->GetChildCount(); ++i) nodes.push_back(parent->GetChild(i));
        return nodes;
    }

    // Runs the ezdxf peer script; skips the test when ezdxf is missing.
    // The script's output, or "" with a failure.
    std::string RunPeer(const std::string& arguments) {
        const char* data = std::getenv("DUZ_TEST_DATA");
        const std::string script =
            (std::filesystem::path(data != nullptr ? data : "tests/data") / ".." / "formats" / "dxf_peer.py").string();
        const std::string output = PathOf("peer.out");
        const std::string command = "/usr/bin/python3 '" + script + "' " + arguments + " > '" + output + "' 2>&1";
        const int status = std::system(command.c_str());
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        peerSkipped = code == 77 || code == 127;
        if (peerSkipped) return "";
        EXPECT_EQ(code, 0) << ReadText(output);
        return code == 0 ? ReadText(output) : "";
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::filesystem::path folder;
    int error = -1;
    std::string messages;
    bool peerSkipped = false;
};

// Skips the calling test when the peer is not installed.
#define DXF_SKIP_WITHOUT_PEER()                                                         \
    if (peerSkipped) GTEST_SKIP() << "python3-ezdxf is not installed: peer check skipped"

}  // namespace dxftest
