// libFuzzer target for the curve and channel readers. The first input byte
// picks the encoding: an ASCII section wrapped around the rest of the input,
// or the rest after a binary header. Whatever is read is written back, so the
// writers see every curve the readers can make.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KFCurveDuzStorage.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"

using namespace duzsdk;

namespace {

void WriteBack(KFCurveNode& node)
{
    KDuz out;
    if (!out.ProjectCreate(nullptr, 0, true, false))
        return;
    KFCurveNodeWriteDuz(node, out, false, true, false, "Channel", true, true);
    void* buffer = nullptr;
    size_t size = 0;
    out.ProjectClose(&buffer, &size);
    KMemFree(buffer);
}

void ReadSection(KDuz& duz)
{
    // Top level: loose curves and root channels.
    if (KFCurve* curve = KFCurveDuzRetrieve(duz, false, true))
        KFCurveObjectDelete(curve);
    for (int i = 0; i < 4; ++i) {
        KFCurveNode* root = KFCurveNodeReadRootDuz(duz, true, false);
        if (root == nullptr)
            break;
        WriteBack(*root);
        KFCurveObjectDelete(root);
    }
    // A take block read into an existing tree, with and without creation.
    for (bool createMissing : {true, false}) {
        if (!duz.FieldReadBeginInstance("Take", 0))
            break;
        if (duz.FieldReadBlockBegin()) {
            KFCurveNode* root = KFCurveNodeCreate("Defaults");
            KFCurveNode* transform = KFCurveNodeCreate("Transform");
            root->AddChild(transform);
            for (const char* name : {"T", "R", "S"}) {
                KFCurveNode* vector = KFCurveNodeCreate(name);
                for (const char* axis : {"X", "Y", "Z"})
                    vector->FindOrCreateChild(axis, true);
                transform->AddChild(vector);
            }
            for (int i = 0; i < 64 && KFCurveNodeReadChannelDuz(duz, root, true, createMissing, false) != nullptr; ++i) {
            }
            WriteBack(*root);
            KFCurveObjectDelete(root);
            duz.FieldReadBlockEnd();
        }
        duz.FieldReadEnd();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    std::vector<uint8_t> file;
    if ((data[0] & 1) == 0) {
        const std::string head = "; DUZ 6.1.0 project file\n";
        file.assign(head.begin(), head.end());
        file.insert(file.end(), data + 1, data + size);
    } else {
        file.resize(27);
        std::memcpy(file.data(), "Dizidir DUZ Binary  ", 20);
        file[20] = 0x00;
        file[21] = 0x1A;
        file[22] = 0;
        const uint8_t version[4] = {0xd4, 0x17, 0x00, 0x00};  // 6100
        std::memcpy(file.data() + 23, version, 4);
        file.insert(file.end(), data + 1, data + size);
    }
    KDuz duz;
    if (duz.ProjectOpenMemory(file.data(), file.size(), false, true))
        ReadSection(duz);
    return 0;
}
