#pragma once
// The settings of one input or output file, filled by the option parser and read
// when the file is opened: per-file values, per-stream (specifier, value) lists and
// the AVOption dictionaries given for the file.

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "media/ffmpeg_handles.h"

namespace reelsmith {

struct TOptionDef;

// One parsed option: the table entry, the word as written (without dash) and its argument.
struct TOption {
    const TOptionDef* opt = nullptr;
    std::string key;
    std::string val;
};

// Options of one group (the global options, or one file's) with the AVOptions given for it.
struct TOptionGroup {
    std::vector<TOption> opts;
    TDictionary codec_opts;
    TDictionary format_opts;
    TDictionary sws_dict;
    TDictionary swr_opts;
};

template <typename T>
struct TSpecifierOpt {
    std::string specifier;  // text after the first colon of the option word; empty matches every stream
    T u{};
};

// A per-stream option: every occurrence in writing order. Later entries win.
template <typename T>
class TPerStreamOption {
public:
    std::vector<TSpecifierOpt<T>> items;

    T& Append(std::string specifier)
    {
        items.push_back({std::move(specifier), T{}});
        return items.back().u;
    }
    bool Empty() const { return items.empty(); }
    int Count() const { return static_cast<int>(items.size()); }

    // The value of the last entry whose specifier matches st of s, or null.
    // An invalid specifier is fatal ("check_stream_specifier: <error text>").
    const T* Match(AVFormatContext* s, AVStream* st) const;
    // The value of the last entry whatever its specifier, or null.
    const T* Last() const { return items.empty() ? nullptr : &items.back().u; }
};

// Whether a stream specifier matches a stream: 1 yes, 0 no; fatal when invalid.
int CheckStreamSpecifier(AVFormatContext* s, AVStream* st, const std::string& spec);

template <typename T>
const T* TPerStreamOption<T>::Match(AVFormatContext* s, AVStream* st) const
{
    const T* found = nullptr;
    for (const auto& item : items)
        if (CheckStreamSpecifier(s, st, item.specifier) > 0)
            found = &item.u;
    return found;
}

// One -map entry, resolved against the inputs open when it was parsed.
struct TStreamMap {
    int disabled = 0;  // "-map -..." removes earlier matches
    int file_index = 0;
    int stream_index = 0;
    int sync_file_index = 0;
    int sync_stream_index = 0;
    std::string linklabel;  // "[label]": an output pad of a complex filter graph
};

// One -map_channel entry.
struct TAudioChannelMap {
    int file_idx = 0, stream_idx = 0, channel_idx = 0;  // input; file_idx -1 mutes the channel
    int ofile_idx = -1, ostream_idx = -1;               // output stream it is meant for, -1 all
};

struct TOptionsContext {
    TOptionsContext() = default;
    TOptionsContext(const TOptionsContext&) = delete;
    TOptionsContext& operator=(const TOptionsContext&) = delete;

    // The file's group: its option list and the AVOption dictionaries given for it.
    TOptionGroup g;

    // input and output
    int64_t start_time = kNoPtsValue;      // -ss, -ss_microsecond, -TimeStart
    int64_t start_time_eof = kNoPtsValue;  // -sseof
    int seek_timestamp = 0;
    std::string format;                              // -f
    TPerStreamOption<std::string> codec_names;       // -c, -codec, -vcodec ...
    TPerStreamOption<std::string> audio_ch_layouts;  // -ch_layout, -channel_layout
    TPerStreamOption<int> audio_channels;            // -ac
    TPerStreamOption<int> audio_sample_rate;         // -ar
    TPerStreamOption<std::string> frame_rates;       // -r
    TPerStreamOption<std::string> max_frame_rates;   // -fpsmax
    TPerStreamOption<std::string> frame_sizes;       // -s
    TPerStreamOption<std::string> frame_pix_fmts;    // -pix_fmt
    TPerStreamOption<std::string> sample_fmts;       // -sample_fmt
    TPerStreamOption<std::string> codec_tags;        // -tag, -vtag ...
    TPerStreamOption<int> top_field_first;           // -top

    // input
    int accurate_seek = 1;
    int thread_queue_size = -1;
    int input_sync_ref = -1;            // -isync
    int64_t input_ts_offset = 0;        // -itsoffset
    int rate_emu = 0;                   // -re
    float readrate = 0;                 // -readrate
    int loop = 0;                       // -stream_loop
    TPerStreamOption<double> ts_scale;  // -itsscale
    TPerStreamOption<std::string> dump_attachment;
    TPerStreamOption<std::string> hwaccels;
    TPerStreamOption<std::string> hwaccel_devices;
    TPerStreamOption<std::string> hwaccel_output_formats;
    TPerStreamOption<int> autorotate;
    TPerStreamOption<int> reinit_filters;
    TPerStreamOption<int> fix_sub_duration;
    TPerStreamOption<std::string> canvas_sizes;
    TPerStreamOption<int> guess_layout_max;
    TPerStreamOption<std::string> discard;

    // output
    std::vector<TStreamMap> stream_maps;               // -map
    std::vector<TAudioChannelMap> audio_channel_maps;  // -map_channel
    std::vector<std::string> attachments;              // -attach
    std::vector<int> streamid_map;                     // -streamid: output stream index -> id (0 = unset)
    int chapters_input_file = INT_MAX;                 // -map_chapters
    int64_t recording_time = INT64_MAX;                // -t, -t_microsecond, -TimeLength
    int64_t stop_time = INT64_MAX;                     // -to, -to_microsecond
    int64_t limit_filesize = INT64_MAX;                // -fs
    float mux_preload = 0;                             // -muxpreload (seconds)
    float mux_max_delay = 0.7f;                        // -muxdelay (seconds)
    int shortest = 0;
    int bitexact = 0;
    int video_disable = 0;                            // -vn
    int audio_disable = 0;                            // -an
    int subtitle_disable = 0;                         // -sn
    int data_disable = 0;                             // -dn
    TPerStreamOption<std::string> metadata;           // -metadata[:spec] key=value
    TPerStreamOption<std::string> metadata_map;       // -map_metadata
    TPerStreamOption<std::string> program;            // -program
    TPerStreamOption<int64_t> max_frames;             // -frames, -vframes ...
    TPerStreamOption<std::string> bitstream_filters;  // -bsf
    TPerStreamOption<double> qscale;                  // -q
    TPerStreamOption<std::string> forced_key_frames;
    TPerStreamOption<int> force_fps;
    TPerStreamOption<std::string> frame_aspect_ratios;  // -aspect
    TPerStreamOption<std::string> rc_overrides;
    TPerStreamOption<std::string> intra_matrices;
    TPerStreamOption<std::string> inter_matrices;
    TPerStreamOption<std::string> chroma_intra_matrices;
    TPerStreamOption<int> copy_initial_nonkeyframes;
    TPerStreamOption<int> copy_prior_start;
    TPerStreamOption<std::string> filters;  // -filter, -vf, -af
    TPerStreamOption<std::string> filter_scripts;
    TPerStreamOption<int> pass;
    TPerStreamOption<std::string> passlogfiles;
    TPerStreamOption<int> max_muxing_queue_size;
    TPerStreamOption<int> muxing_queue_data_threshold;
    TPerStreamOption<std::string> apad;
    TPerStreamOption<std::string> disposition;
    TPerStreamOption<std::string> time_bases;
    TPerStreamOption<std::string> enc_time_bases;
    TPerStreamOption<int> autoscale;
    TPerStreamOption<int> bits_per_raw_sample;
    TPerStreamOption<std::string> fps_mode;
};

}  // namespace reelsmith
