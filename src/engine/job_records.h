#pragma once
// The records of one task's media graph: input and output files and streams, filter
// graphs with their pads, and hardware devices. Each record owns the FFmpeg objects it
// allocates (RAII); cross references between records are plain, non-owning pointers.
// A task owns its records through TJobGraph, so several tasks run side by side.

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pipeline/encode_ahead.h"
#include "media/ffmpeg_handles.h"

namespace reelsmith {

struct TInputStream;
struct TOutputStream;
struct TFilterGraph;

struct THWDevice {
    std::string name;
    AVHWDeviceType type_ = AV_HWDEVICE_TYPE_NONE;
    TBufferRefPtr device_ref;
};

struct TInputFilter {
    AVFilterContext* filter = nullptr;  // buffer source; owned by the graph
    TInputStream* ist = nullptr;
    TFilterGraph* graph = nullptr;
    std::string name;
    AVMediaType type_ = AVMEDIA_TYPE_UNKNOWN;
    TFrameFifoPtr frame_queue;  // frames held until the graph is configured
    int format = -1;
    int width = 0;
    int height = 0;
    AVRational sample_aspect_ratio{0, 1};
    int sample_rate = 0;
    TChannelLayout ch_layout;
    TBufferRefPtr hw_frames_ctx;
    std::optional<std::array<int32_t, 9>> displaymatrix;
    int eof = 0;
};

struct TOutputFilter {
    AVFilterContext* filter = nullptr;  // buffer sink; owned by the graph
    TOutputStream* ost = nullptr;
    TFilterGraph* graph = nullptr;
    std::string name;
    TFilterInOutPtr out_tmp;  // unconnected output while a complex graph is parsed
    AVMediaType type_ = AVMEDIA_TYPE_UNKNOWN;
    int width = 0;
    int height = 0;
    AVRational frame_rate{0, 1};
    int format = -1;
    int sample_rate = 0;
    TChannelLayout ch_layout;
    std::vector<int> formats;  // accepted by the encoder; empty = any
    std::vector<TChannelLayout> ch_layouts;
    std::vector<uint64_t> channel_layouts;
    std::vector<int> sample_rates;
};

struct TFilterGraph {
    int index = 0;
    std::string graph_desc;  // complex graphs; empty for simple ones
    TFilterGraphPtr graph;   // null until configured
    int reconfiguration = 0;
    int is_meta = 0;
    bool bound = false;  // complex graphs: pads read and inputs tied to streams
    std::vector<std::unique_ptr<TInputFilter>> inputs;
    std::vector<std::unique_ptr<TOutputFilter>> outputs;
    int nb_inputs() const { return static_cast<int>(inputs.size()); }
    int nb_outputs() const { return static_cast<int>(outputs.size()); }
};

enum THWAccelID : int { HWACCEL_NONE = 0, HWACCEL_AUTO, HWACCEL_GENERIC };

// An input stream's clock and what its decoder gave so far: the decoding stage moves it with
// every packet and frame. When a stream is decoded ahead on a thread of its own, that thread
// keeps its own copy and the loop takes the copy that went with each frame.
struct TInputClock {
    int64_t dts = 0;       // AV_TIME_BASE units
    int64_t pts = 0;
    int64_t next_dts = 0;
    int64_t next_pts = 0;
    int saw_first_ts = 0;
    int64_t prev_pkt_pts = 0;  // the stream's time base
    int64_t filter_in_rescale_delta_last = 0;
    int64_t max_pts = 0;
    int64_t frames_decoded = 0;
    int64_t samples_decoded = 0;
};

struct TInputStream {
    int file_index = 0;
    AVStream* st = nullptr;  // owned by the input's format context
    int discard = 1;         // true until an output or a graph uses it
    int user_set_discard = AVDISCARD_NONE;
    int decoding_needed = 0;
    int processing_needed = 0;
    TCodecContextPtr dec_ctx;
    const AVCodec* avdec = nullptr;
    TFramePtr decoded_frame;
    TPacketPtr pkt;
    int64_t start = 0;
    TInputClock clock;
    int64_t first_dts = 0;
    int wrap_correction_done = 0;
    int64_t min_pts = 0;
    int64_t cfr_next_pts = 0;
    int64_t nb_samples = 0;
    double ts_scale = 1.0;
    TDictionary decoder_opts;
    AVRational framerate{0, 0};
    int top_field_first = -1;
    int guess_layout_max = INT32_MAX;
    int autorotate = 1;
    int fix_sub_duration = 0;
    struct {
        int got_output = 0;
        int ret = 0;
        TOwnedSubtitle subtitle;
    } prev_sub;
    struct {
        int64_t last_pts = 0;
        int64_t end_pts = 0;
        TSubtitleFifoPtr sub_queue;
        TFramePtr frame;
        int w = 0, h = 0;
        unsigned int initialize = 0;
    } sub2video;
    std::vector<TInputFilter*> filters;  // owned by their graphs
    int nb_filters() const { return static_cast<int>(filters.size()); }
    int reinit_filters = -1;
    THWAccelID hwaccel_id = HWACCEL_NONE;
    AVHWDeviceType hwaccel_device_type = AV_HWDEVICE_TYPE_NONE;
    std::string hwaccel_device;
    AVPixelFormat hwaccel_output_format = AV_PIX_FMT_NONE;
    void* hwaccel_ctx = nullptr;
    void (*hwaccel_uninit)(AVCodecContext* s) = nullptr;
    int (*hwaccel_retrieve_data)(AVCodecContext* s, AVFrame* frame) = nullptr;
    AVPixelFormat hwaccel_pix_fmt = AV_PIX_FMT_NONE;
    AVPixelFormat hwaccel_retrieved_pix_fmt = AV_PIX_FMT_NONE;
    int64_t data_size = 0;
    int64_t nb_packets = 0;
    std::vector<int64_t> dts_buffer;
    int got_output = 0;
    TBufferRefPtr hw_device_ctx;
    int frame_number = 0;
};

struct TInputFile {
    TInputFormatContextPtr ctx;
    std::string name;  // as the task was given it (ctx->url may be the descriptor of a named pipe)
    int eof_reached = 0;
    int eagain = 0;
    int ist_index = 0;
    int loop = 0;
    int64_t duration = 0;
    AVRational time_base{1, 1};
    int64_t input_ts_offset = 0;
    int input_sync_ref = -1;
    int64_t ts_offset = 0;
    int64_t last_ts = 0;
    int64_t start_time = 0;
    int64_t recording_time = 0;
    int nb_streams = 0;
    int nb_streams_warn = 0;
    int rate_emu = 0;
    float readrate = 0;
    int accurate_seek = 0;
    int thread_queue_size = -1;  // packets its reader keeps ahead; <= 0: the default
    TPacketPtr pkt;
    int64_t last_pts = 0;
};

// Indexes of the expression constants of -force_key_frames "expr:".
enum { FKF_N, FKF_N_FORCED, FKF_PREV_FORCED_N, FKF_PREV_FORCED_T, FKF_T, FKF_NB };

struct TFileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

struct TOutputStream {
    int file_index = 0;
    int index = 0;
    int source_index = -1;
    AVStream* st = nullptr;  // owned by the output's format context
    int encoding_needed = 0;
    int64_t frame_number = 0;
    TInputStream* sync_ist = nullptr;
    int64_t sync_opts = 0;
    int64_t first_pts = 0;
    int64_t last_mux_dts = 0;
    AVRational mux_timebase{0, 1};
    AVRational enc_timebase{0, 0};
    TBsfContextPtr bsf_ctx;
    TCodecContextPtr enc_ctx;
    TCodecParametersPtr ref_par;
    const AVCodec* enc = nullptr;
    int64_t max_frames = INT64_MAX;
    TFramePtr filtered_frame;
    TFramePtr last_frame;
    TPacketPtr pkt;
    int64_t last_dropped = 0;
    std::array<int64_t, 3> last_nb0_frames{};
    void* hwaccel_ctx = nullptr;
    AVRational frame_rate{0, 0};
    AVRational max_frame_rate{0, 0};
    int vsync_method = -1;
    int is_cfr = 0;
    std::string fps_mode;
    int force_fps = 0;
    int top_field_first = -1;
    int rotate_overridden = 0;
    int autoscale = 1;
    int bits_per_raw_sample = 0;
    double rotate_override_value = 0;
    AVRational frame_aspect_ratio{0, 0};
    int64_t forced_kf_ref_pts = kNoPtsValue;
    std::vector<int64_t> forced_kf_pts;
    int forced_kf_count() const { return static_cast<int>(forced_kf_pts.size()); }
    int forced_kf_index = 0;
    std::string forced_keyframes;
    TExprPtr forced_keyframes_pexpr;
    std::array<double, FKF_NB> forced_keyframes_expr_const_values{};
    int dropped_keyframe = 0;
    std::vector<int> audio_channels_map;
    int audio_channels_mapped() const { return static_cast<int>(audio_channels_map.size()); }
    std::string logfile_prefix;
    std::unique_ptr<FILE, TFileCloser> logfile;
    TOutputFilter* filter = nullptr;  // owned by its graph
    std::string avfilter;
    std::string filters;
    std::string filters_script;
    TDictionary encoder_opts;
    TDictionary sws_dict;
    TDictionary swr_opts;
    std::string apad;
    int finished = 0;  // bit 1 encoder finished, bit 2 muxer finished
    int unavailable = 0;
    int stream_copy = 0;
    int initialized = 0;
    int inputs_done = 0;
    std::string attachment_filename;
    int streamcopy_started = 0;
    int copy_initial_nonkeyframes = 0;
    int copy_prior_start = -1;
    std::string disposition;
    int keep_pix_fmt = 0;
    int64_t data_size = 0;
    int64_t packets_written = 0;
    int64_t frames_encoded = 0;
    int64_t samples_encoded = 0;
    int64_t packets_encoded = 0;
    int quality = 0;
    int max_muxing_queue_size = 128;
    TPacketFifoPtr muxing_queue;
    size_t muxing_queue_data_size = 0;
    size_t muxing_queue_data_threshold = 50 * 1024 * 1024;
    int pict_type = 0;
    std::array<int64_t, 4> error{};
    int is_filter_codec_opts = 0;
    int is_avcodec_opened = 0;
    // A video encoder running on a thread of its own; last, so it stops before the encoder and
    // the pass log it uses go.
    bool encode_ahead_decided = false;
    std::unique_ptr<TEncodeAhead> encode_ahead;
};

struct TOutputFile {
    int index = 0;
    const AVOutputFormat* format = nullptr;
    TOutputFormatContextPtr ctx;
    TDictionary opts;
    int ost_index = 0;
    int64_t recording_time = INT64_MAX;
    int64_t start_time = kNoPtsValue;
    int64_t limit_filesize = INT64_MAX;
    int shortest = 0;
    int header_written = 0;
};

// Everything of one task's graph. Filter graphs go first when released (their pads point
// at streams), then outputs, then inputs, then the devices.
struct TJobGraph {
    std::vector<std::unique_ptr<THWDevice>> Fhw_devices;
    THWDevice* Ffilter_hw_device = nullptr;  // -filter_hw_device
    std::vector<std::unique_ptr<TInputFile>> Finput_files;
    std::vector<std::unique_ptr<TInputStream>> Finput_streams;
    std::vector<std::unique_ptr<TOutputFile>> Foutput_files;
    std::vector<std::unique_ptr<TOutputStream>> Foutput_streams;
    std::vector<std::unique_ptr<TFilterGraph>> Ffiltergraphs;

    TJobGraph() = default;
    ~TJobGraph() { Clear(); }
    TJobGraph(const TJobGraph&) = delete;
    TJobGraph& operator=(const TJobGraph&) = delete;

    int Fnb_input_files() const { return static_cast<int>(Finput_files.size()); }
    int Fnb_input_streams() const { return static_cast<int>(Finput_streams.size()); }
    int Fnb_output_files() const { return static_cast<int>(Foutput_files.size()); }
    int Fnb_output_streams() const { return static_cast<int>(Foutput_streams.size()); }
    int Fnb_filtergraphs() const { return static_cast<int>(Ffiltergraphs.size()); }

    // A device by name, or null.
    THWDevice* FindHWDevice(const std::string& name) const;
    // The last device of a type (the one a later filter or codec gets), or null.
    THWDevice* FindHWDeviceByType(AVHWDeviceType type) const;

    // Releases every record in dependency order.
    void Clear();
};

}  // namespace reelsmith
