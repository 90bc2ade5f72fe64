// libFuzzer target for the 3DS toolkit's chunk reader. The toolkit reads
// through C streams, so the input goes to a scratch file first; the tree is
// read, every node's data fetched, and the whole tree written back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "sdk/formats/3dsftk/FtkChunk.h"
#include "sdk/formats/3dsftk/FtkChunkData.h"
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string in = ScratchName("in.3ds");
    FILE* f = std::fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

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
    return 0;
}
