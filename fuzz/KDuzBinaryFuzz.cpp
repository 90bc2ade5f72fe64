// libFuzzer target for the binary encoding of the field file. The input is
// the file after its 27-byte header; its first byte chooses the byte order,
// so the fuzzer spends its time on records, values, sections and footers.
#include <cstdint>
#include <cstring>
#include <vector>

#include "KDuzFuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool bigEndian = (data[0] & 1) != 0;
    std::vector<uint8_t> file(27);
    std::memcpy(file.data(), "Dizidir DUZ Binary  ", 20);
    file[20] = 0x00;
    file[21] = 0x1A;
    file[22] = bigEndian ? 1 : 0;
    const uint8_t version[4] = {0xd4, 0x17, 0x00, 0x00};  // 6100
    for (int i = 0; i < 4; ++i)
        file[23 + i] = bigEndian ? version[3 - i] : version[i];
    file.insert(file.end(), data + 1, data + size);
    duzfuzz::WalkFile(file.data(), file.size());
    // The input as a whole file too, so header and extension handling is reached.
    duzfuzz::WalkFile(data, size);
    return 0;
}
