#pragma once
// Option values that the command-line tool keeps process-wide; here each task owns a copy
// so that tasks run side by side. The option table writes into these fields.

#include <cstdint>
#include <string>

#include "media/ffmpeg_handles.h"

namespace reelsmith {

// Video sync methods (-vsync, -fps_mode).
enum TVideoSyncMethod : int {
    VSYNC_AUTO = -1,
    VSYNC_PASSTHROUGH = 0,
    VSYNC_CFR = 1,
    VSYNC_VFR = 2,
    VSYNC_VSCFR = 3,
    VSYNC_DROP = 4,
};

// -abort_on flags.
inline constexpr int ABORT_ON_FLAG_EMPTY_OUTPUT = 1;
inline constexpr int ABORT_ON_FLAG_EMPTY_OUTPUT_STREAM = 2;

struct TGlobalOptions {
    float Faudio_drift_threshold = 0.1f;     // -adrift_threshold
    float Fdts_delta_threshold = 10;         // -dts_delta_threshold (seconds)
    float Fdts_error_threshold = 3600 * 30;  // -dts_error_threshold (seconds)
    int Faudio_volume = 256;                 // -vol
    int Faudio_sync_method = 0;              // -async
    int Fvideo_sync_method = VSYNC_AUTO;     // -vsync
    float Fframe_drop_threshold = 0;         // -frame_drop_threshold
    int Fdo_benchmark = 0;
    int Fdo_benchmark_all = 0;
    int Fdo_hex_dump = 0;  // -hex
    int Fdo_pkt_dump = 0;  // -dump
    int Fcopy_ts = 0;      // -copyts
    int Fstart_at_zero = 0;
    int Fcopy_tb = -1;  // -copytb
    int Fdebug_ts = 0;
    int Fexit_on_error = 0;  // -xerror
    int Fabort_on_flags = 0;
    int Fprint_stats = -1;  // -stats
    int Fqp_hist = 0;       // -qphist
    int Fstdin_interaction = 1;
    float Fmax_error_rate = 2.0f / 3;
    std::string Ffilter_nbthreads;      // -filter_threads (text handed to the graphs)
    int Ffilter_complex_nbthreads = 0;  // -filter_complex_threads
    int Fvstats_version = 2;
    int Fauto_conversion_filters = 1;
    int Ffind_stream_info = 1;
    int Ffile_overwrite = 0;     // -y
    int Fno_file_overwrite = 0;  // -n
    int Fignore_unknown_streams = 0;
    int Fcopy_unknown_streams = 0;
    int Frecast_media = 0;
    int Fdo_psnr = 0;
    int Fhide_banner = 0;
    std::string Fvstats_filename;  // -vstats, -vstats_file
    std::string Fsdp_filename;     // -sdp_file
    int Fwant_sdp = 1;
    int Fdup_warning = 1000;
    std::string Fprogress_url;       // -progress: where the key=value blocks go
    TAVIOContextPtr Fprogress_avio;  // opened with the first output
};

}  // namespace reelsmith
