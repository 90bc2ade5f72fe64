// Throughput of the file layers over memory: the CRC check that guards an
// enciphered field file, and enciphered writing and reading.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "sdk/base/KChainedFile.h"
#include "sdk/base/KCrcFile.h"
#include "sdk/base/KEncryptedFile.h"
#include "sdk/base/KMemory.h"

namespace {

using namespace duzsdk;

std::string Payload(size_t n)
{
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
    return bytes;
}

void BM_CrcCheck(benchmark::State& state)
{
    std::string data = Payload(static_cast<size_t>(state.range(0)));
    KChainedFile bottom;
    bottom.OpenMemory(data.data(), data.size(), false);
    KCrcFile crc(0, &bottom, KChainedFile::kOpenRead, false);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc.ComputeCrc());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CrcCheck)->Arg(1 << 20);

void BM_EncipheredWrite(benchmark::State& state)
{
    const std::string data = Payload(static_cast<size_t>(state.range(0)));
    const KEncryptionKey key{{1, 2, 3, 4}};
    for (auto _ : state) {
        void* buffer = KMemAlloc(1024);
        KEncryptedFile layer(key, 0);
        layer.OpenMemory(buffer, 1024, true);
        // Field-sized pieces, as a field file writes them.
        for (size_t done = 0; done < data.size(); done += 13)
            layer.Write(data.data() + done, std::min<size_t>(13, data.size() - done));
        layer.Flush();
        buffer = layer.GetBuffer(nullptr);
        layer.Close();
        KMemFree(buffer);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_EncipheredWrite)->Arg(1 << 20);

void BM_EncipheredRead(benchmark::State& state)
{
    const std::string data = Payload(static_cast<size_t>(state.range(0)));
    const KEncryptionKey key{{1, 2, 3, 4}};
    std::string cipher(data.size(), '\0');
    {
        KEncryptedFile writer(key, 0);
        writer.OpenMemory(cipher.data(), cipher.size(), false);
        writer.Write(data.data(), data.size());
        writer.Close();
    }
    std::string back(13, '\0');
    for (auto _ : state) {
        KEncryptedFile reader(key, 0);
        reader.OpenMemory(cipher.data(), cipher.size(), false);
        while (reader.Read(back.data(), back.size()) > 0) {
        }
        reader.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_EncipheredRead)->Arg(1 << 20);

}  // namespace
