// Shared set-up of the Collada reader tests: a manager with a user
// notification, a scratch folder, and a read of a document text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDuzUserNotification.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace colladatest {

using namespace duzsdk;

// A document: the root with version 1.4.1 and an asset, then `body`.
inline std::string Doc(const std::string& body, const std::string& version = "1.4.1") {
    return "<?xml version=\"1.0\"?>\n<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"" +
           version + "\"><asset><up_axis>Y_UP</up_axis></asset>" + body + "</COLLADA>";
}

// A scene instancing visual scene "vs" made of `nodes`.
inline std::string Scene(const std::string& nodes) {
    return "<library_visual_scenes><visual_scene id=\"vs\">" + nodes +
           "</visual_scene></library_visual_scenes><scene><instance_visual_scene url=\"#vs\"/></scene>";
}

class ColladaReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        KDuzUserNotification* notification = manager->CreateUserNotification(KString("a"), KString("b"));
        if (notification != nullptr) notification->AddEntry(6);
        scene = KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("colladareader_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        reader.reset();
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    bool ReadFile(const std::string& path) {
        reader = std::make_unique<KDuzReaderCollada>(manager);
        if (!reader->FileOpen(path.c_str())) return false;
        KDuzStreamOptions* options = reader->GetReadOptions(false);
        const bool ok = reader->Read(scene, options);
        if (options != nullptr) options->Destroy();
        reader->FileClose();
        return ok;
    }

    bool Read(const std::string& text) { return ReadFile(Write("test.dae", text)); }

    // True when some diagnostic holds the text.
    bool Said(const std::string& text) const {
        for (const KString& line : reader->GetDiagnostics())
            if (std::string(line.Buffer()).find(text) != std::string::npos) return true;
        return false;
    }
    int CountSaid(const std::string& text) const {
        int count = 0;
        for (const KString& line : reader->GetDiagnostics())
            if (std::string(line.Buffer()).find(text) != std::string::npos) ++count;
        return count;
    }
    std::string AllSaid() const {
        std::string all;
        for (const KString& line : reader->GetDiagnostics()) all += std::string(line.Buffer()) + "\n";
        return all;
    }

    KDuzNode* Node(const char* name) const { return scene->GetRootNode()->FindChild(name); }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    std::unique_ptr<KDuzReaderCollada> reader;
    std::filesystem::path folder;
};

}  // namespace colladatest
