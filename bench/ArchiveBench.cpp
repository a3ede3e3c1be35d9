// Speed of reading pages out of the in-memory payload archive: an entry
// looked up, decrypted (and inflated); its neighbours decrypted ahead.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>
#include <zip.h>

#include "shared/ExeZip.h"
#include "shared/PayloadFormat.h"
#include "shared/Streams.h"

using namespace Norvane::Shared;

namespace {

// Half random, half repeated text: compresses like ordinary page content.
std::string PageLikeBytes(std::size_t count) {
    std::mt19937 generator(42);
    std::string bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        if (generator() % 2)
            bytes += "<div class=\"item\">lorem ipsum dolor sit amet</div>\n";
        else
            for (int i = 0; i < 48; ++i)
                bytes += static_cast<char>('a' + generator() % 26);
    }
    bytes.resize(count);
    return bytes;
}

// An encrypted payload archive with "app/page<i>.html" entries of the given
// size, stored or deflated.
std::vector<std::uint8_t> MakeArchive(int entries, std::size_t size, bool deflate) {
    auto path = std::filesystem::temp_directory_path() /
                ("norvane-bench-" + std::to_string(entries) + "-" + std::to_string(size) + ".zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot create the benchmark archive");
    std::string content = PageLikeBytes(size);
    for (int i = 0; i < entries; ++i) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        std::string name = "app/page" + std::to_string(i) + ".html";
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, 0);
        zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                PayloadPassword);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write the benchmark archive");
    auto bytes = ReadFileBytes(path.string());
    std::filesystem::remove(path);
    return bytes;
}

void ExtractEntry(benchmark::State& state, bool deflate) {
    auto size = static_cast<std::size_t>(state.range(0));
    TMemoryStream payload(MakeArchive(4, size, deflate));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(payload);
    for (auto _ : state) {
        TMemoryStream page;
        zip.ExtractEntry("app/page2.html", page);
        benchmark::DoNotOptimize(page.Memory());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
}

void BM_ExtractStored(benchmark::State& state) {
    ExtractEntry(state, false);
}
void BM_ExtractDeflated(benchmark::State& state) {
    ExtractEntry(state, true);
}

// Looking a name up among many entries, with letters in another case.
void BM_FindEntry(benchmark::State& state) {
    TMemoryStream payload(MakeArchive(static_cast<int>(state.range(0)), 16, false));
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    zip.Open(payload);
    std::string name = "APP/Page" + std::to_string(state.range(0) / 2) + ".HTML";
    for (auto _ : state)
        benchmark::DoNotOptimize(zip.FindEntry(name));
}

// The first page of a folder read, until the reader has decrypted all its
// neighbours ahead (on its worker), from a fresh reader each time.
void BM_ReadAheadFolder(benchmark::State& state) {
    const int entries = 64;
    const auto size = static_cast<std::size_t>(state.range(0));
    TMemoryStream payload(MakeArchive(entries, size, false));
    for (auto _ : state) {
        TExeZip zip;
        zip.SetPassword(PayloadPassword);
        zip.Open(payload);
        TMemoryStream page;
        zip.ExtractEntry("app/page0.html", page);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (zip.DecryptedBytesKept() < static_cast<std::uint64_t>(entries) * size)
            if (std::chrono::steady_clock::now() > giveUp) {
                state.SkipWithError("the neighbours were not all decrypted ahead");
                return;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * entries *
                            static_cast<std::int64_t>(size));
}

} // namespace

BENCHMARK(BM_ReadAheadFolder)->Arg(10 << 10)->UseRealTime();
BENCHMARK(BM_ExtractStored)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_ExtractDeflated)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_FindEntry)->Arg(100)->Arg(5000);

BENCHMARK_MAIN();
