// libFuzzer target for the DXF reader: each input is written as a DXF file
// and read in one of the ways of deriving objects (by layer, by entity, by
// block), chosen by the input's length: a file whose block references
// expand to thousands of nodes costs tens of milliseconds a read under the
// sanitizers, and reading every input three ways made the target three
// times slower without reaching more code per input. A scene read by layer
// is then written back as DXF, so that odd meshes from a hostile file reach
// the writer too. One manager and scene serve many inputs (see
// KDuzFuzzSpace.h).
#include <cstdint>
#include <string>

#include "KDuzFuzzSpace.h"
#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzWriterDxf.h"
#include "sdk/io/KDuzStreamOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static duzfuzz::SceneSpace space;
    const std::string& folder = duzfuzz::ScratchFolder("dxf-fuzz");
    const std::string input = folder + "/input.dxf";
    const std::string output = folder + "/output.dxf";
    duzfuzz::WriteFile(input, data, size);
    space.StartInput();
    const int derivation = static_cast<int>(size % 3);
    duzsdk::KDuzScene* scene = space.ClearedScene();
    duzsdk::KDuzReaderDxf reader(space.Manager());
    if (!reader.FileOpen(input.c_str()))
        return 0;
    duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
    options->Reset();
    options->SetIntOption("OBJECT DERIVATION", derivation);
    reader.Read(scene, options);
    options->Destroy();
    reader.FileClose();
    if (derivation == 0) {
        duzsdk::KDuzWriterDxf writer(space.Manager());
        if (writer.FileCreate(output.c_str())) {
            duzsdk::KDuzStreamOptions* writeOptions = writer.GetWriteOptions();
            writeOptions->Reset();
            writer.Write(scene, writeOptions);
            writeOptions->Destroy();
            writer.FileClose();
        }
    }
    return 0;
}
