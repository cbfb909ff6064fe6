// libFuzzer target for the parse entry point: any byte string as option text and preset
// text must parse or fail cleanly (no crash, hang or leak). Engine exceptions are a
// clean failure. Options that change process-wide library state or reach the network
// or devices are left out, as they would change the fuzzer's own process.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/options/custom_ffmpeg_opt.h"
#include "engine/engine_error.h"
#include "engine_fuzz_support.h"

namespace {

bool TouchesTheProcess(std::string_view text)
{
    static const char* const kWords[] = {"cpuflags",  "cpucount",   "max_alloc", "progress",
                                         "hw_device", "qsv_device", "sdp_file",  "vstats"};
    for (const char* word : kWords)
        if (text.find(word) != std::string_view::npos)
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    reelsmith::fuzz::LoadEngineLibraries();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (TouchesTheProcess(all))
        return -1;
    // First byte: input or output, halting on or off. Then options, 0xFF, presets.
    const bool input = data[0] & 1;
    const size_t split = all.find('\xff');
    const std::string options(all.substr(0, split));
    const std::string presets(split == std::string_view::npos ? std::string_view() : all.substr(split + 1));

    reelsmith::TCustomFFmpegOpt task;
    task.HaltOnInvalidOption = !(data[0] & 2);
    reelsmith::TOptionsContext o;
    try {
        task.ParseOptions(o, options, presets, input ? "input file" : "output file", "fuzz.mkv",
                          input ? reelsmith::OPT_INPUT : reelsmith::OPT_OUTPUT);
    } catch (const reelsmith::TEngineError&) {
        // fatal option errors and conversion errors end the call by design
    }
    reelsmith::fuzz::RestoreLibraryState();
    return 0;
}
