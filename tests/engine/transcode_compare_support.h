#pragma once
// Runs of the engine's transcode tool and of the reference command-line tool on the same
// option string, and the facts of their outputs as ffprobe reports them.
#include <map>
#include <string>
#include <vector>

namespace reelsmith::test {

// Appended to a string whose encoders are deterministic, so decoded frames can be compared.
extern const char* const kBitExact;

// Runs reelsmith-transcode; returns its exit status and fills `log` with its messages.
int RunEngine(const std::string& input, const std::string& output, const std::string& options, std::string* log);

// Runs `ffmpeg -y -v error -i input options output` (stdin closed); returns its exit status.
int RunReference(const std::string& input, const std::string& output, const std::string& options,
                 std::string* log = nullptr);

// ffprobe's view of a file: format fields, and the fields of each stream, frames counted.
struct TProbedFile {
    std::map<std::string, std::string> format;
    std::vector<std::map<std::string, std::string>> streams;
};
TProbedFile ProbeFile(const std::string& path);

// The frames of every stream, decoded, as the framemd5 lines.
std::string DecodedChecksums(const std::string& path);

// One MD5 per stream of the decoded file ("0,v,MD5=..." lines).
std::string DecodedStreamHashes(const std::string& path);

std::string ReadWholeFile(const std::string& path);

}  // namespace reelsmith::test
