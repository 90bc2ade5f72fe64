#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

// Writes an ASCII version 6 file for each test and reads it with a reader
// of its own.
class Duz6ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = KDuzScene::Create(manager, "");
        ASSERT_NE(scene, nullptr);
        options = KDuzStreamOptionsDuzReader::Create(manager, "");
        ASSERT_NE(options, nullptr);
        options->Reset();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("duz6reader_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        path = (folder / "scene.duz").string();
        reader = std::make_unique<KDuzReaderDuz6>(manager, nullptr);
    }
    void TearDown() override {
        reader.reset();
        std::filesystem::remove_all(folder);
        manager->Destroy();
    }

    void Write(const std::string& body) {
        std::ofstream out(path, std::ios::binary);
        out << "; DUZ 6.1.0 project file\n" << body << "\n";
    }
    bool Load(const std::string& body) {
        Write(body);
        EXPECT_TRUE(reader->FileOpen(path.c_str())) << reader->GetLastErrorString();
        return reader->Read(scene, options);
    }
    std::string FileText() const {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    KDuzSdkManager* manager = nullptr;
    KDuzScene* scene = nullptr;
    KDuzStreamOptionsDuzReader* options = nullptr;
    std::unique_ptr<KDuzReaderDuz6> reader;
    std::filesystem::path folder;
    std::string path;
};

}  // namespace duzsdk
