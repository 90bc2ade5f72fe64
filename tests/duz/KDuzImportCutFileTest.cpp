// A DUZ file whose body breaks off: the importer's error carries the
// reader's own reason (what it was reading, and where), never only
// "Unidentified error".
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "KDuzWriterDuzTestSupport.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace {

struct CutFileForm {
    const char* name;
    bool version6;
    int mode;  // registry format (version 6) or file mode (version 5)
};

const CutFileForm kCutFileForms[] = {
    {"duz6 binary", true, duztest::kBinary},
    {"duz6 ascii", true, duztest::kAscii},
    {"duz5 binary", false, duzsdk::KDuzWriterDuz::eBinary},
    {"duz5 ascii", false, duzsdk::KDuzWriterDuz::eAscii},
};

class ImportCutFile : public duztest::Duz5WriterTestBase {
protected:
    void BuildCutFileScene() {
        using namespace duzsdk;
        auto* red = KDuzSurfacePhong::Create(manager, "Red");
        auto* bricks = KDuzTexture::Create(manager, "Bricks");
        bricks->SetFileName("/nonexistent/bricks.bmp");
        scene->ConnectSrcObject(red);
        scene->ConnectSrcObject(bricks);
        KDuzNode* body = KDuzNode::Create(manager, "Body");
        scene->GetRootNode()->AddChild(body);
        body->SetNodeAttribute(duztest::TexturedMesh(manager, red, bricks));
        body->ConnectSrcObject(red);
        duztest::AddWalkTake(scene, body);
    }

    // Imports the file; on failure returns the importer's error text.
    bool ImportCut(const std::string& path, std::string& error) {
        duzsdk::KDuzScene* read = Import(path);
        error = lastImportError;
        if (read == nullptr) return false;
        read->Destroy();
        return true;
    }
};

TEST_F(ImportCutFile, EveryFailureSaysWhatTheReaderFound) {
    BuildCutFileScene();
    for (const CutFileForm& form : kCutFileForms) {
        SCOPED_TRACE(form.name);
        const std::string path = PathOf(std::string(form.name) + ".duz");
        const bool written = form.version6 ? Export(scene, path, form.mode) : WriteDuz5(scene, path, form.mode);
        ASSERT_TRUE(written) << lastExportError;
        const std::string whole = duztest::ReadFileBytes(path);
        ASSERT_GT(whole.size(), 200u);
        const std::string cutPath = PathOf("cut.duz");
        int failed = 0;
        // Cuts spread over the whole file, the header and the last bytes
        // included.
        const size_t step = whole.size() / 97 + 1;
        for (size_t length = 0; length < whole.size(); length += step) {
            {
                std::ofstream out(cutPath, std::ios::binary | std::ios::trunc);
                out << whole.substr(0, length);
            }
            std::string error;
            if (ImportCut(cutPath, error)) continue;
            ++failed;
            EXPECT_FALSE(error.empty()) << "cut at " << length;
            EXPECT_NE(error, "Unidentified error") << "cut at " << length;
        }
        EXPECT_GT(failed, 0);
    }
}

}  // namespace
