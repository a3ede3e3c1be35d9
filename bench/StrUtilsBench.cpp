// Cost of the string helpers on the paths the bridge and the page server use.
#include "shared/StrUtils.h"

#include <benchmark/benchmark.h>

using Norvane::Shared::TStrUtils;

namespace {

// A lookup in the content-type table, built once from the built-in list and
// the system's registrations.
void BM_GetFileMIMEType_SystemSources(benchmark::State& state) {
    TStrUtils::ResetMimeSources();
    for (auto _ : state)
        benchmark::DoNotOptimize(TStrUtils::GetFileMIMEType("css/site.css"));
}
BENCHMARK(BM_GetFileMIMEType_SystemSources);

void BM_GetFileMIMEType_BuiltInOnly(benchmark::State& state) {
    TStrUtils::SetMimeSources({});
    for (auto _ : state)
        benchmark::DoNotOptimize(TStrUtils::GetFileMIMEType("css/site.css"));
    TStrUtils::ResetMimeSources();
}
BENCHMARK(BM_GetFileMIMEType_BuiltInOnly);

// Building the table from the system's registrations: what every request
// paid when the table was built for each lookup.
void BM_GetMimeTable_SystemSources(benchmark::State& state) {
    TStrUtils::ResetMimeSources();
    for (auto _ : state)
        benchmark::DoNotOptimize(TStrUtils::GetMimeTable());
}
BENCHMARK(BM_GetMimeTable_SystemSources);

void BM_StringToJsonString(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < state.range(0); ++i)
        text += "C:\\Users\\J\xC3\xBCrgen\\Documents\\file \xF0\x9F\x93\x84.txt\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(TStrUtils::StringToJsonString(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_StringToJsonString)->Arg(1)->Arg(1000);

void BM_SubStringExists(benchmark::State& state) {
    const std::string text(10000, 'a');
    for (auto _ : state)
        benchmark::DoNotOptimize(TStrUtils::SubStringExists(
            text + " needle", "NEEDLE", {Norvane::Shared::soDown, Norvane::Shared::soWholeWord}));
}
BENCHMARK(BM_SubStringExists);

} // namespace

BENCHMARK_MAIN();
