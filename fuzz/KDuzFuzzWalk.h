#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/io/KDuz.h"

// Reads everything a field file offers: every section, field, occurrence and
// value, entering every block. Used by the fuzz targets of both encodings.
namespace duzfuzz {

inline void WalkBlock(duzsdk::KDuz& duz, int depth)
{
    const int fields = duz.FieldGetCount();
    for (int f = 0; f < fields; ++f) {
        const char* name = duz.FieldGetName(f);
        const int instances = duz.FieldGetInstanceCount(name);
        for (int k = 0; k < instances; ++k) {
            if (!duz.FieldReadBeginByIndex(f, k))
                continue;
            const int values = duz.FieldReadGetValueCount();
            for (int v = 0; v <= values; ++v) {
                switch (duz.FieldReadGetNextValueType()) {
                case 'C': duz.FieldReadChar(); break;
                case 'I': duz.FieldReadInt(); break;
                case 'F': duz.FieldReadFloat(); break;
                case 'L': duz.FieldReadTime(); break;
                case 'D': duz.FieldReadDouble(); break;
                case 'R': {
                    int length = 0;
                    duz.FieldReadRaw(&length);
                    break;
                }
                default:
                    // Every getter on the same value: type-blind reads must stay inside it.
                    duz.FieldReadString();
                    duz.FieldReadInt64();
                    duz.FieldReadFloat();
                    break;
                }
            }
            if (depth < 64 && duz.FieldReadIsBlock() && duz.FieldReadBlockBegin()) {
                WalkBlock(duz, depth + 1);
                duz.FieldReadBlockEnd();
            }
            duz.FieldReadEnd();
        }
    }
}

inline void WalkFile(const uint8_t* data, size_t size)
{
    duzsdk::KDuz duz;
    duzsdk::KDuzFileHeaderInfo info;
    if (!duz.ProjectOpenMemory(data, size, true, false, &info))
        return;
    for (int s = 0; s < duz.GetSectionCount(); ++s) {
        if (duz.ProjectOpenSection(s)) {
            duz.CheckPassword("x");
            WalkBlock(duz, 0);
            duz.FinishBeforeClose();
        }
    }
    duz.ProjectClose();
}

}  // namespace duzfuzz
