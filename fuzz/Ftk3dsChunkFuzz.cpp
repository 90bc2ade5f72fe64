// libFuzzer target for the 3DS toolkit. The toolkit reads through C
// streams, so the input goes to a scratch file first. Two passes: the raw
// chunk tree (every node's data fetched, the tree written back), then the
// database with every record getter, each record put into a new database
// and that database saved.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "sdk/formats/3dsftk/FtkBackground.h"
#include "sdk/formats/3dsftk/FtkCamera.h"
#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"
#include "sdk/formats/3dsftk/FtkKfMotion.h"
#include "sdk/formats/3dsftk/FtkLight.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkMeshSettings.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"

using namespace duzsdk;

namespace {

std::string ScratchName(const char* suffix)
{
    static const std::string base = [] {
        char pattern[] = "/tmp/ftkfuzzXXXXXX";
        char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return base + "/" + suffix;
}

void ReadAllData(FtkChunk* chunk)
{
    for (; chunk && !FtkErrorPending(); chunk = chunk->next) {
        FtkChunkDataRead(chunk);
        ReadAllData(chunk->children);
    }
}

void ChunkPass(const std::string& in)
{
    FtkReset();
    FtkFile* file = FtkFileOpen(in.c_str(), "rb");
    FtkChunk* root = nullptr;
    if (file) {
        FtkSetCurrentFile(file);
        FtkChunkCreate(&root);
        root->readSlot = file->slot;
        root->readGeneration = file->generation;
        FtkChunkHeaderRead(root);
        if (!FtkErrorPending())
            FtkChunkTreeRead(root);
        if (!FtkErrorPending())
            ReadAllData(root);
        if (!FtkErrorPending()) {
            FtkFile* out = FtkFileOpen(ScratchName("out.3ds").c_str(), "wb");
            if (out)
                FtkChunkTreeWrite(root, out->slot);
        }
    }
    FtkChunkFree(&root);
    FtkReset();
}

// Each record of a kind is read, then put into the copy; a failure of one
// record clears the error so the next kinds still run.
template <typename Count, typename Get, typename Put>
void EachRecord(Count count, Get get, Put put)
{
    const uint32_t n = count();
    for (uint32_t i = 0; i < n && i < 64; ++i) {
        FtkErrorReset();
        get(i);
        if (!FtkErrorPending())
            put();
    }
    FtkErrorReset();
}

void DatabasePass(const std::string& in)
{
    FtkReset();
    FtkDatabase* db = nullptr;
    FtkDatabase* copy = nullptr;
    FtkDatabaseInit(&db);
    FtkDatabaseInit(&copy);
    FtkDatabaseCreate(copy, kFtkMeshDatabase);
    FtkDatabaseLoad(FtkFileOpen(in.c_str(), "rb"), db);
    if (!FtkErrorPending() && FtkDatabaseKind(db) != kFtkUnknownDatabase) {
        FtkTriMesh* mesh = nullptr;
        EachRecord([&] { return FtkTriMeshCount(db); }, [&](uint32_t i) { FtkTriMeshGetByIndex(db, i, &mesh); },
                   [&] { FtkTriMeshPut(copy, mesh); });
        FtkTriMeshRelease(&mesh);
        FtkMaterial* material = nullptr;
        EachRecord([&] { return FtkMaterialCount(db); }, [&](uint32_t i) { FtkMaterialGetByIndex(db, i, &material); },
                   [&] { FtkMaterialPut(copy, material); });
        FtkMaterialRelease(&material);
        FtkCamera* camera = nullptr;
        EachRecord([&] { return FtkCameraCount(db); }, [&](uint32_t i) { FtkCameraGetByIndex(db, i, &camera); },
                   [&] { FtkCameraPut(copy, camera); });
        FtkCameraRelease(&camera);
        FtkLight* light = nullptr;
        EachRecord([&] { return FtkOmniLightCount(db); }, [&](uint32_t i) { FtkOmniLightGetByIndex(db, i, &light); },
                   [&] { FtkLightPut(copy, light); });
        EachRecord([&] { return FtkSpotlightCount(db); }, [&](uint32_t i) { FtkSpotlightGetByIndex(db, i, &light); },
                   [&] { FtkLightPut(copy, light); });
        if (light)
            FtkLightRelease(&light);
        FtkObjectMotion* object = nullptr;
        EachRecord([&] { return FtkObjectMotionCount(db); }, [&](uint32_t i) { FtkObjectMotionGetByIndex(db, i, &object); },
                   [&] { FtkObjectMotionPut(copy, object); });
        FtkObjectMotionRelease(&object);
        FtkCameraMotion* cameraMotion = nullptr;
        EachRecord([&] { return FtkCameraMotionCount(db); }, [&](uint32_t i) { FtkCameraMotionGetByIndex(db, i, &cameraMotion); },
                   [&] { FtkCameraMotionPut(copy, cameraMotion); });
        FtkCameraMotionRelease(&cameraMotion);
        FtkOmniMotion* omni = nullptr;
        EachRecord([&] { return FtkOmniMotionCount(db); }, [&](uint32_t i) { FtkOmniMotionGetByIndex(db, i, &omni); },
                   [&] { FtkOmniMotionPut(copy, omni); });
        FtkOmniMotionRelease(&omni);
        FtkSpotMotion* spot = nullptr;
        EachRecord([&] { return FtkSpotMotionCount(db); }, [&](uint32_t i) { FtkSpotMotionGetByIndex(db, i, &spot); },
                   [&] { FtkSpotMotionPut(copy, spot); });
        FtkSpotMotionRelease(&spot);
        FtkMeshSettings* settings = nullptr;
        EachRecord([] { return 1u; }, [&](uint32_t) { FtkMeshSettingsGet(db, &settings); },
                   [&] { if (settings) FtkMeshSettingsPut(copy, settings); });
        FtkMeshSettingsRelease(&settings);
        FtkBackground* background = nullptr;
        EachRecord([] { return 1u; }, [&](uint32_t) { FtkBackgroundGet(db, &background); },
                   [&] { if (background) FtkBackgroundPut(copy, background); });
        FtkBackgroundRelease(&background);
        FtkKfSettings* kf = nullptr;
        EachRecord([] { return 1u; }, [&](uint32_t) { FtkKfSettingsGet(db, &kf); }, [&] { FtkKfSettingsPut(copy, kf); });
        FtkKfSettingsRelease(&kf);
        FtkFile* out = FtkFileOpen(ScratchName("copy.3ds").c_str(), "wb");
        FtkDatabaseSave(out, copy);
    }
    FtkDatabaseRelease(&db);
    FtkDatabaseRelease(&copy);
    FtkReset();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string in = ScratchName("in.3ds");
    FILE* f = std::fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    ChunkPass(in);
    DatabasePass(in);
    return 0;
}
