#include "media/input_protocols.h"

#include <algorithm>

#include "media/engine_log.h"
#include "media/ffmpeg_api.h"

namespace reelsmith {

namespace {

bool OnList(const std::string& name, const std::string& list)
{
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(',', start), list.size());
        if (list.compare(start, end - start, name) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

bool IsStandardInputName(const std::string& name) { return name == "-" || name == "pipe:" || name == "pipe:0"; }

const char* DefaultInputProtocols(const std::string& name)
{
    return IsStandardInputName(name) ? kStandardInputProtocols : kFileProtocols;
}

std::string RefusedProtocolText(const std::string& name, const std::string& whitelist)
{
    const char* protocol = ff().avio_find_protocol_name ? ff().avio_find_protocol_name(name.c_str()) : nullptr;
    if (!protocol)
        return StrFormat("no protocol can read \"%s\"", name.c_str());
    if (OnList(protocol, whitelist))
        return {};
    return StrFormat(
        "protocol \"%s\" is not allowed for inputs (allowed: %s); the input option "
        "-protocol_whitelist widens the list",
        protocol, whitelist.c_str());
}

bool IsStandardOutputName(const std::string& name) { return name == "-" || name == "pipe:" || name == "pipe:1"; }

const char* OutputProtocols(const std::string& name)
{
    return IsStandardOutputName(name) ? "file,pipe" : kFileProtocols;
}

std::string RefusedOutputProtocolText(const std::string& name)
{
    if (name == "-")
        return {};
    const char* protocol = ff().avio_find_protocol_name ? ff().avio_find_protocol_name(name.c_str()) : nullptr;
    if (!protocol)
        return StrFormat("no protocol can write \"%s\"", name.c_str());
    if (OnList(protocol, OutputProtocols(name)))
        return {};
    return StrFormat(
        "protocol \"%s\" is not allowed for outputs: a file written is a local file or the "
        "standard output (\"-\")",
        protocol);
}

}  // namespace reelsmith
