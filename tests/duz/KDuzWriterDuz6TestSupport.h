// Exporting a scene to a file and importing it back, for the writer tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"

namespace duztest {

// Writer format indices of the DUZ group.
enum WriterFormat { kBinary = 0, kAscii = 1, kEnciphered = 2 };

inline const char* FormatName(int format) {
    return format == kBinary ? "binary" : format == kAscii ? "ascii" : "enciphered";
}

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A manager, a scene to write and a folder of its own per test.
class WriterTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        manager = duzsdk::KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        scene = duzsdk::KDuzScene::Create(manager, "");
        ASSERT_NE(scene, nullptr);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("duz6writer_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        if (manager != nullptr) manager->Destroy();
    }

    std::string PathOf(const std::string& name) const { return (folder / name).string(); }

    // Write options with every switch on, as an exporter's defaults are.
    duzsdk::KDuzStreamOptionsDuzWriter* WriteOptions() {
        auto* options = duzsdk::KDuzStreamOptionsDuzWriter::Create(manager, "");
        options->Reset();
        return options;
    }

    // Exports `source` to the file; true on success.
    bool Export(duzsdk::KDuzScene* source, const std::string& path, int format,
                duzsdk::KDuzStreamOptions* options = nullptr) {
        duzsdk::KDuzExporter* exporter = duzsdk::KDuzExporter::Create(manager, "");
        exporter->Initialize(path.c_str());
        exporter->SetFileFormat(format);
        const bool done = exporter->Export(source, options);
        lastExportError = exporter->GetLastErrorString();
        exporter->Destroy();
        return done;
    }

    // Imports the file into a new scene; null on failure.
    duzsdk::KDuzScene* Import(const std::string& path, const char* password = nullptr) {
        duzsdk::KDuzScene* target = duzsdk::KDuzScene::Create(manager, "");
        duzsdk::KDuzImporter* importer = duzsdk::KDuzImporter::Create(manager, "");
        bool done = importer->Initialize(path.c_str());
        duzsdk::KDuzStreamOptions* options = done ? importer->GetImportOptions(false) : nullptr;
        if (options != nullptr && password != nullptr) options->SetStringOption("PASSWORD", password);
        done = done && options != nullptr && importer->Import(target, options);
        lastImportError = importer->GetLastErrorString();
        if (options != nullptr) options->Destroy();
        importer->Destroy();
        if (!done) {
            target->Destroy();
            return nullptr;
        }
        return target;
    }

    // Writes and reads back in one format.
    duzsdk::KDuzScene* RoundTrip(duzsdk::KDuzScene* source, int format, duzsdk::KDuzStreamOptions* options = nullptr,
                                 const char* password = nullptr) {
        const std::string path = PathOf(std::string("scene_") + FormatName(format) + ".duz");
        if (!Export(source, path, format, options)) {
            ADD_FAILURE() << "export failed: " << lastExportError;
            return nullptr;
        }
        duzsdk::KDuzScene* read = Import(path, password);
        if (read == nullptr) ADD_FAILURE() << "import failed: " << lastImportError;
        return read;
    }

    duzsdk::KDuzSdkManager* manager = nullptr;
    duzsdk::KDuzScene* scene = nullptr;
    std::filesystem::path folder;
    std::string lastExportError;
    std::string lastImportError;
};

}  // namespace duztest
