// libFuzzer target for the OBJ reader: each input is written as an OBJ file
// (with the input also serving as its own "m.mtl" library, so "mtllib m.mtl"
// in an input reaches the MTL reading) and read into an empty scene, which
// the OBJ writer then writes out again. One manager and scene serve many
// inputs (see KDuzFuzzSpace.h).
#include <cstdint>
#include <string>

#include "KDuzFuzzSpace.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/io/KDuzStreamOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static duzfuzz::SceneSpace space;
    const std::string& folder = duzfuzz::ScratchFolder("obj-fuzz");
    const std::string obj = folder + "/input.obj";
    duzfuzz::WriteFile(obj, data, size);
    duzfuzz::WriteFile(folder + "/m.mtl", data, size);
    space.StartInput();
    duzsdk::KDuzScene* scene = space.ClearedScene();
    {
        duzsdk::KDuzReaderObj reader(space.Manager());
        if (reader.FileOpen(obj.c_str())) {
            duzsdk::KDuzStreamOptions* options = reader.GetReadOptions(false);
            reader.Read(scene, options);
            if (options != nullptr) options->Destroy();
            reader.FileClose();
        }
    }
    {
        duzsdk::KDuzWriterObj writer(space.Manager());
        if (writer.FileCreate((folder + "/output.obj").c_str())) {
            duzsdk::KDuzStreamOptions* options = writer.GetWriteOptions();
            writer.Write(scene, options);
            if (options != nullptr) options->Destroy();
            writer.FileClose();
        }
    }
    return 0;
}
