// The baseline of the DUZ import benchmarks: parsing a file into the field
// file and visiting every field, depth first, as a reader would (what any
// reader must pay).
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "sdk/io/KDuz.h"

namespace duzbench {

inline int WalkBlock(duzsdk::KDuz& duz, int depth) {
    int visited = 0;
    const int count = duz.FieldGetCount();
    for (int i = 0; i < count && depth < 16; ++i) {
        if (!duz.FieldReadBeginByIndex(i, 0)) continue;
        ++visited;
        if (duz.FieldReadBlockBegin()) {
            visited += WalkBlock(duz, depth + 1);
            duz.FieldReadBlockEnd();
        }
        duz.FieldReadEnd();
    }
    return visited;
}

// Parses the file made for `models` models in every iteration, then removes it.
inline void ParseOnlyBaseline(benchmark::State& state, const std::string& path, int models) {
    for (auto _ : state) {
        duzsdk::KDuz duz;
        if (!duz.ProjectOpen(path.c_str())) state.SkipWithError("open");
        benchmark::DoNotOptimize(WalkBlock(duz, 0));
        duz.ProjectClose();
    }
    std::remove(path.c_str());
    state.SetItemsProcessed(state.iterations() * models);
    state.SetComplexityN(models);
}

}  // namespace duzbench
