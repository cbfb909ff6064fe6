#include "transcode_compare_support.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "support/test_media.h"

namespace reelsmith::test {

const char* const kBitExact = " -fflags +bitexact -flags:v +bitexact -flags:a +bitexact";

int RunEngine(const std::string& input, const std::string& output, const std::string& options, std::string* log)
{
    return RunCommand(std::string(REELSMITH_TRANSCODE_TOOL) + " " + ShellQuote(input) + " " + ShellQuote(output) + " " +
                          ShellQuote(options) + " 2>&1 </dev/null",
                      log);
}

int RunReference(const std::string& input, const std::string& output, const std::string& options, std::string* log)
{
    return RunCommand(
        "ffmpeg -nostdin -y -v error -i " + ShellQuote(input) + " " + options + " " + ShellQuote(output) + " 2>&1",
        log);
}

TProbedFile ProbeFile(const std::string& path)
{
    std::string out;
    RunCommand(
        "ffprobe -v error -count_frames -show_entries format=format_name,nb_streams:stream=codec_type,"
        "codec_name,codec_tag_string,width,height,pix_fmt,color_range,sample_aspect_ratio,display_aspect_ratio,"
        "r_frame_rate,avg_frame_rate,sample_rate,channels,channel_layout,sample_fmt,duration,nb_read_frames,field_order"
        " -of flat " +
            ShellQuote(path) + " 2>/dev/null",
        &out);
    // Lines read `streams.stream.N.key="value"` and `format.key="value"`.
    TProbedFile facts;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (key.rfind("format.", 0) == 0) {
            facts.format[key.substr(7)] = value;
        } else if (key.rfind("streams.stream.", 0) == 0) {
            const std::string rest = key.substr(15);
            const auto dot = rest.find('.');
            if (dot == std::string::npos || rest.find('.', dot + 1) != std::string::npos)
                continue;  // dispositions and tags are not compared
            const size_t index = std::stoul(rest.substr(0, dot));
            if (facts.streams.size() <= index)
                facts.streams.resize(index + 1);
            facts.streams[index][rest.substr(dot + 1)] = value;
        }
    }
    return facts;
}

std::string DecodedChecksums(const std::string& path)
{
    std::string out;
    RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f framemd5 - | grep -v '^#'", &out);
    return out;
}

// Only the hashes: decoder complaints about damaged input carry addresses that differ per run.
std::string DecodedStreamHashes(const std::string& path)
{
    std::string out;
    RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0 -f streamhash -hash md5 - 2>/dev/null",
               &out);
    return out;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

}  // namespace reelsmith::test
