// What a caller learns when a file cannot be imported: whether it could not
// be opened (and the system's reason), is not a DUZ file, or is damaged.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "sdk/io/KDuzImporter.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"
#include "tests/io/DuzTestSupport.h"

using namespace duzsdk;

namespace {

TEST(ImporterOpenErrors, EachFailureSaysWhatWentWrong) {
    KDuzSdkManager* manager = KDuzSdkManager::Create();
    duztest::TempFolder folder;
    duztest::WriteText(folder.File("empty.duz"), "");
    duztest::WriteText(folder.File("text.duz"), "just some words\nand more\n");
    struct Row {
        const char* name;
        std::string path;
        int error;
        std::string inText;   // part of the error text
    };
    const Row rows[] = {
        {"missing", folder.File("nowhere.duz"), KDuzIO::eFileNotOpened, std::string("File not opened: ") + std::strerror(ENOENT)},
        {"folder", folder.Path().string(), KDuzIO::eFileNotOpened, std::string("File not opened: ") + std::strerror(EISDIR)},
        // The reader's own reason names the file.
        {"empty", folder.File("empty.duz"), KDuzIO::eFileCorrupted, "empty.duz"},
        {"not duz", folder.File("text.duz"), KDuzIO::eFileCorrupted, "text.duz"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KDuzImporter* importer = KDuzImporter::Create(manager, "");
        EXPECT_FALSE(importer->Initialize(row.path.c_str()));
        EXPECT_EQ(importer->GetLastErrorID(), row.error);
        const std::string text = importer->GetLastErrorString() != nullptr ? importer->GetLastErrorString() : "";
        EXPECT_NE(text.find(row.inText), std::string::npos) << text;
        importer->Destroy();
    }
    manager->Destroy();
}

}  // namespace
