#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/io/KDuz.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

// Opens a small ASCII version 6 file written by the test and enters the
// block of its first record, as the object dispatch does before it calls a
// record reader.
class Duz6RecordTest : public ::testing::Test {
public:
    void SetUp() override
    {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               ("duz6rec_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                std::to_string(::getpid()) + ".duz");
    }
    void TearDown() override
    {
        file.ProjectClose();
        std::filesystem::remove(path);
        manager->Destroy();
    }

    // Writes the body after the header line, opens it and enters the block
    // of the first field named `record`.
    void Open(const std::string& body, const char* record)
    {
        {
            std::ofstream out(path);
            out << "; DUZ 6.1.0 project file\n" << body << "\n";
        }
        ASSERT_TRUE(file.ProjectOpen(path.string().c_str())) << file.GetLastErrorString();
        ASSERT_TRUE(file.FieldReadBegin(record)) << record;
        ASSERT_TRUE(file.FieldReadBlockBegin()) << record;
    }

    KDuz6RecordContext Context()
    {
        KDuz6RecordContext context;
        context.file = &file;
        context.manager = manager;
        return context;
    }

    KDuzSdkManager* manager = nullptr;
    KDuz file;
    std::filesystem::path path;
};

}  // namespace duzsdk
