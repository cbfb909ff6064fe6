#pragma once
// Reads one value of a parsed options context by a short name, as text, for table tests:
//   "c@v", "r@a", "filter@v" ...   the per-stream value that a video/audio/subtitle stream gets
//   "metadata"                      every -metadata entry as "specifier|value;"
//   "codec_opts:b:v", "format_opts:packetsize", "sws_dict:flags", "swr_opts:..."
//   "f", "vn", "an", "sn", "dn", "ss", "t", "to", "mux_preload", "maps", "attachments"
// Absent values read as "-".

#include <sstream>
#include <string>

#include "engine_test_support.h"

namespace reelsmith::test {

template <typename T>
std::string PerStreamText(const TPerStreamOption<T>& list, const TStreamSet& streams, char kind)
{
    const T* value = list.Match(streams.ctx(), streams.stream(kind));
    if (!value)
        return "-";
    std::ostringstream out;
    out << *value;
    return out.str();
}

inline std::string DictText(const TDictionary& dict, const std::string& key)
{
    const char* value = dict.Get(key);
    return value ? value : "-";
}

inline std::string ParsedValue(const TOptionsContext& o, const TStreamSet& streams, const std::string& name)
{
    if (const size_t at = name.find('@'); at != std::string::npos) {
        const std::string list = name.substr(0, at);
        const char kind = name[at + 1];
        if (list == "c")
            return PerStreamText(o.codec_names, streams, kind);
        if (list == "r")
            return PerStreamText(o.frame_rates, streams, kind);
        if (list == "s")
            return PerStreamText(o.frame_sizes, streams, kind);
        if (list == "aspect")
            return PerStreamText(o.frame_aspect_ratios, streams, kind);
        if (list == "pix_fmt")
            return PerStreamText(o.frame_pix_fmts, streams, kind);
        if (list == "tag")
            return PerStreamText(o.codec_tags, streams, kind);
        if (list == "filter")
            return PerStreamText(o.filters, streams, kind);
        if (list == "ac")
            return PerStreamText(o.audio_channels, streams, kind);
        if (list == "ar")
            return PerStreamText(o.audio_sample_rate, streams, kind);
        if (list == "q")
            return PerStreamText(o.qscale, streams, kind);
        if (list == "frames")
            return PerStreamText(o.max_frames, streams, kind);
        if (list == "autorotate")
            return PerStreamText(o.autorotate, streams, kind);
        if (list == "bsf")
            return PerStreamText(o.bitstream_filters, streams, kind);
        return "?list";
    }
    const auto dict = [&](const char* prefix, const TDictionary& d) -> std::string {
        return DictText(d, name.substr(std::char_traits<char>::length(prefix)));
    };
    if (name.rfind("codec_opts:", 0) == 0)
        return dict("codec_opts:", o.g.codec_opts);
    if (name.rfind("format_opts:", 0) == 0)
        return dict("format_opts:", o.g.format_opts);
    if (name.rfind("sws_dict:", 0) == 0)
        return dict("sws_dict:", o.g.sws_dict);
    if (name.rfind("swr_opts:", 0) == 0)
        return dict("swr_opts:", o.g.swr_opts);
    if (name == "metadata") {  // its specifiers name global, stream, chapter or program metadata
        std::string text;
        for (const auto& item : o.metadata.items)
            text += item.specifier + "|" + item.u + ";";
        return text;
    }
    if (name == "f")
        return o.format.empty() ? "-" : o.format;
    if (name == "vn")
        return std::to_string(o.video_disable);
    if (name == "an")
        return std::to_string(o.audio_disable);
    if (name == "sn")
        return std::to_string(o.subtitle_disable);
    if (name == "dn")
        return std::to_string(o.data_disable);
    if (name == "ss")
        return o.start_time == kNoPtsValue ? "-" : std::to_string(o.start_time);
    if (name == "t")
        return o.recording_time == INT64_MAX ? "-" : std::to_string(o.recording_time);
    if (name == "to")
        return o.stop_time == INT64_MAX ? "-" : std::to_string(o.stop_time);
    if (name == "mux_preload")
        return std::to_string(o.mux_preload);
    if (name == "attachments")
        return std::to_string(o.attachments.size());
    return "?name";
}

}  // namespace reelsmith::test
