// What every writer does with the place it writes to: a folder, a FIFO, a
// full disk or a read-only folder leaves every existing file as it was and
// no temporary behind; new files get the usual mode and replaced files keep
// theirs; files the SDK reads or copies are opened without blocking.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "ExportTestSupport.h"
#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzIO.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

using namespace duzsdk;
using exporttest::ReadText;
namespace fs = std::filesystem;

namespace {

// Every writer the exporter chooses by extension.
const char* const kExtensions[] = {"obj", "dxf", "3ds", "dae", "duz"};

// Name to content of every regular file under a folder, "<fifo>" or
// "<folder>" for the rest: compared before and after an export.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.is_fifo())
            entries[name] = "<fifo>";
        else if (entry.is_directory())
            entries[name] = "<folder>";
        else
            entries[name] = ReadText(entry.path());
    }
    return entries;
}

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<unsigned>(info.st_mode & 07777) : 0u;
}

// Sets the umask for the test and puts the old one back.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : mPrevious(umask(mask)) {}
    ~UmaskScope() { umask(mPrevious); }

private:
    mode_t mPrevious;
};

// Files grow no larger than the limit while it lives: writes beyond it fail
// as on a full disk (the signal that would end the process is ignored).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        mHandler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &mPrevious);
        rlimit limit = mPrevious;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &mPrevious);
        signal(SIGXFSZ, mHandler);
    }

private:
    rlimit mPrevious{};
    sighandler_t mHandler;
};

class ExportTargetTest : public exporttest::ExportFolderTest {
protected:
    void SetUp() override {
        ExportFolderTest::SetUp();
        AddMaterialQuad("quad");
    }

    KDuzMesh* AddMaterialQuad(const char* name) {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        mesh->InitControlPoints(4);
        const KgeTVector points[4] = {KgeTVector(0, 0, 0, 1), KgeTVector(1, 0, 0, 1), KgeTVector(1, 1, 0, 1),
                                      KgeTVector(0, 1, 0, 1)};
        for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = points[i];
        mesh->BeginPolygon();
        for (int i = 0; i < 4; ++i) mesh->AddPolygon(i);
        mesh->EndPolygon();
        mesh->InitMaterialIndices(KDuzLayerElement::eAllSame);
        mesh->AddMaterial(KDuzSurfacePhong::Create(manager, "paint"));
        KDuzNode* node = KDuzNode::Create(manager, name);
        scene->GetRootNode()->AddChild(node);
        node->SetNodeAttribute(mesh);
        return mesh;
    }

    bool Export(const fs::path& path) {
        KDuzExporter* exporter = KDuzExporter::Create(manager, "");
        exporter->Initialize(path.string().c_str());
        const bool ok = exporter->Export(scene);
        error = exporter->GetLastErrorID();
        errorText = exporter->GetLastErrorString();
        messages = exporter->GetMessageText().Buffer();
        exporter->Destroy();
        return ok;
    }

    int error = -1;
    std::string errorText;
    std::string messages;
};

TEST_F(ExportTargetTest, TargetsThatAreNotRegularFilesAreRefusedAndNothingChanges) {
    for (const char* extension : kExtensions) {
        SCOPED_TRACE(extension);
        const std::string stem = std::string("scene_") + extension;
        // Files beside the target that a writer would make (the OBJ
        // writer's material file) hold something of their own.
        std::ofstream(folder / (stem + ".mtl")) << "old materials";
        fs::create_directories(folder / (stem + "." + extension) / "inside");
        const fs::path fifo = folder / (stem + "_fifo." + extension);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
        std::ofstream(folder / (stem + "_fifo.mtl")) << "old fifo materials";
        const auto before = Snapshot(folder);

        EXPECT_FALSE(Export(folder / (stem + "." + extension)));
        EXPECT_EQ(error, KDuzIO::eFileNotCreated);
        EXPECT_FALSE(Export(fifo));
        EXPECT_EQ(error, KDuzIO::eFileNotCreated);
        EXPECT_FALSE(errorText.empty());
        EXPECT_EQ(Snapshot(folder), before);
        EXPECT_TRUE(fs::is_fifo(fifo));
    }
}

TEST_F(ExportTargetTest, FullDiskLeavesTheOldFileAndNoTemporary) {
    // Enough scene to pass the size limit in every format.
    for (int i = 0; i < 40; ++i) AddMaterialQuad(("more" + std::to_string(i)).c_str());
    for (const char* extension : kExtensions) {
        SCOPED_TRACE(extension);
        const fs::path target = folder / (std::string("full.") + extension);
        std::ofstream(target) << "the file that was there";
        std::ofstream(folder / "full.mtl") << "old materials";
        const auto before = Snapshot(folder);
        bool ok = true;
        {
            FileSizeLimit limit(512);
            ok = Export(target);
        }
        EXPECT_FALSE(ok);
        EXPECT_FALSE(errorText.empty());
        EXPECT_EQ(Snapshot(folder), before);
        fs::remove(target);
    }
    // Writers that fail on the write report it as a full disk.
    for (const char* extension : {"obj", "dxf"}) {
        SCOPED_TRACE(extension);
        FileSizeLimit limit(512);
        EXPECT_FALSE(Export(folder / (std::string("new.") + extension)));
        EXPECT_EQ(error, KDuzIO::eOutOfDiskSpace);
        EXPECT_EQ(errorText, "Out of disk space");
    }
}

TEST_F(ExportTargetTest, ReadOnlyFolderLeavesItsFilesAsTheyWere) {
    const fs::path locked = folder / "locked";
    fs::create_directories(locked);
    for (const char* extension : kExtensions) std::ofstream(locked / (std::string("a.") + extension)) << extension;
    std::ofstream(locked / "a.mtl") << "old materials";
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    if (access(locked.c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not hold for this user";
    const auto before = Snapshot(folder);
    for (const char* extension : kExtensions) {
        SCOPED_TRACE(extension);
        EXPECT_FALSE(Export(locked / (std::string("a.") + extension)));
        EXPECT_FALSE(Export(locked / (std::string("new.") + extension)));
    }
    EXPECT_EQ(Snapshot(folder), before);
}

TEST_F(ExportTargetTest, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    UmaskScope mask(022);
    for (const char* extension : kExtensions) {
        SCOPED_TRACE(extension);
        const fs::path fresh = folder / (std::string("fresh.") + extension);
        ASSERT_TRUE(Export(fresh)) << errorText;
        EXPECT_EQ(ModeOf(fresh), 0644u);

        const fs::path kept = folder / (std::string("kept.") + extension);
        std::ofstream(kept) << "old";
        ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
        ASSERT_TRUE(Export(kept)) << errorText;
        EXPECT_EQ(ModeOf(kept), 0640u);
        EXPECT_NE(ReadText(kept), "old");
    }
    EXPECT_EQ(ModeOf(folder / "fresh.mtl"), 0644u);
    for (const auto& entry : fs::directory_iterator(folder))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(ExportTargetTest, TextureThatIsAFifoIsSkippedWithAWarning) {
    const fs::path fifo = folder / "pipe.png";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    KDuzMesh* mesh = AddMaterialQuad("textured");
    mesh->InitTextureUVIndices(KDuzLayerElement::eByControlPoint);
    for (int k = 0; k < 4; ++k) mesh->AddTextureUV(KgeUVVector(0.1, 0.9));
    mesh->InitTextureIndices(KDuzLayerElement::eAllSame);
    KDuzTexture* texture = KDuzTexture::Create(manager, "pipe");
    texture->SetFileName(fifo.string().c_str());
    mesh->AddTexture(texture);
    for (const char* extension : {"obj", "3ds"}) {
        SCOPED_TRACE(extension);
        const fs::path out = folder / extension;
        fs::create_directories(out);
        EXPECT_TRUE(Export(out / (std::string("scene.") + extension))) << errorText;
        EXPECT_NE(messages.find("is not a regular file"), std::string::npos) << messages;
        EXPECT_FALSE(fs::exists(out / "pipe.png"));
        for (const auto& entry : fs::directory_iterator(out))
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(ExportTargetTest, ReadersRefuseAFifoAtOnce) {
    const fs::path fifo = folder / "input";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    KDuzReaderObj obj(manager);
    EXPECT_FALSE(obj.FileOpen(fifo.string().c_str()));
    KDuzReaderDxf dxf(manager);
    EXPECT_FALSE(dxf.FileOpen(fifo.string().c_str()));
}

TEST_F(ExportTargetTest, MaterialLibraryThatIsAFifoIsPassedOver) {
    ASSERT_EQ(mkfifo((folder / "pipe.mtl").c_str(), 0644), 0);
    std::ofstream(folder / "piped.obj") << "mtllib pipe.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    KDuzReaderObj reader(manager);
    ASSERT_TRUE(reader.FileOpen((folder / "piped.obj").string().c_str()));
    KDuzStreamOptions* options = reader.GetReadOptions(false);
    KDuzScene* read = KDuzScene::Create(manager, "read");
    EXPECT_TRUE(reader.Read(read, options));
    EXPECT_EQ(read->GetRootNode()->GetChildCount(true) > 0, true);
    options->Destroy();
}

}  // namespace
