// libFuzzer target for the ASCII encoding of the field file: the input is the
// text after a header line, so the fuzzer works on fields, values, quotes,
// braces and block positions.
#include <cstdint>
#include <string>

#include "KDuzFuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string file = "; DUZ 6.1.0 project file\n";
    file.append(reinterpret_cast<const char*>(data), size);
    duzfuzz::WalkFile(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    duzfuzz::WalkFile(data, size);
    return 0;
}
