// Shared by the export tests: a manager, a scene and a fresh folder per
// test, and whole files read back as text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace exporttest {

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ExportFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = duzsdk::KDuzSdkManager::Create();
        scene = duzsdk::KDuzScene::Create(manager, "");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("export_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        // A test may leave the folder read-only.
        std::error_code code;
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, code);
        std::filesystem::remove_all(folder, code);
        manager->Destroy();
    }

    duzsdk::KDuzSdkManager* manager = nullptr;
    duzsdk::KDuzScene* scene = nullptr;
    std::filesystem::path folder;
};

}  // namespace exporttest
