// Parse time of long option strings: the time per byte must stay flat as the text grows
// (linear parsing). Run: build with -DREELSMITH_BUILD_BENCH=ON, then
//   build/bench/bench_option_parser --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <string>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/options/word_splitter.h"
#include "engine_bench_support.h"

namespace reelsmith {
namespace {

// Repeats a typical builder string until the text holds `bytes` bytes.
std::string RepeatedOptions(size_t bytes)
{
    const std::string unit =
        "-b:a 128k -b:v 1500k -ac 2 -ar 44100 -r 25 -c:a libmp3lame -c:v libxvid "
        "-vf \"scale=1280:720,vflip\" -vstrict unofficial -threads 8 -sn ";
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() < bytes)
        text += unit;
    return text;
}

// One huge quoted filter text with escaped quotes.
std::string LongFilter(size_t bytes)
{
    std::string text = "-vf \"";
    while (text.size() < bytes)
        text += "drawtext=text=\\\"a b\\\",";
    return text + "null\"";
}

// Many distinct codec option keys (every stream index its own value), through the
// bit rate handler and through AVOption passthrough.
std::string DistinctKeys(size_t bytes)
{
    std::string text;
    for (int i = 0; text.size() < bytes; ++i)
        text += "-b:v:" + std::to_string(i) + " 1k -maxrate:v:" + std::to_string(i) + " 2k ";
    return text;
}

void ParseText(benchmark::State& state, const std::string& text)
{
    bench::LoadEngineLibraries();
    for (auto _ : state) {
        TCustomFFmpegOpt task;
        TOptionsContext o;
        const int ret = task.ParseOptions(o, text, "", "output file", "out.avi", OPT_OUTPUT);
        if (ret < 0)
            state.SkipWithError(task.LastErrMsg().c_str());
        benchmark::DoNotOptimize(o.codec_names.items.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["ns_per_byte"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(text.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ParseRepeatedOptions(benchmark::State& state)
{
    ParseText(state, RepeatedOptions(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_ParseRepeatedOptions)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Unit(benchmark::kMillisecond);

void BM_ParseLongFilter(benchmark::State& state) { ParseText(state, LongFilter(static_cast<size_t>(state.range(0)))); }
BENCHMARK(BM_ParseLongFilter)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Unit(benchmark::kMillisecond);

void BM_ParseDistinctKeys(benchmark::State& state)
{
    ParseText(state, DistinctKeys(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_ParseDistinctKeys)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Unit(benchmark::kMillisecond);

void BM_SplitWords(benchmark::State& state)
{
    const std::string text = RepeatedOptions(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(SplitOptionWords(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SplitWords)->RangeMultiplier(4)->Range(16 << 10, 1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace reelsmith

BENCHMARK_MAIN();
