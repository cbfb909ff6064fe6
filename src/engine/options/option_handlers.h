#pragma once
// Handlers of the option table: aliases, engine options, presets, -target, devices,
// the unsupported options of the command-line tool and the rest.

#include <string>

#include "engine/options/option_def.h"

namespace reelsmith::handlers {

#define RS_HANDLER(name) \
    int name(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)

RS_HANDLER(opt_unsupported_info);  // warn and go on
RS_HANDLER(opt_unsupported);       // refuse with -22
RS_HANDLER(opt_loglevel);
RS_HANDLER(opt_max_alloc);
RS_HANDLER(opt_cpuflags);
RS_HANDLER(opt_cpucount);
RS_HANDLER(opt_map);
RS_HANDLER(opt_map_channel);
RS_HANDLER(opt_recording_timestamp);
RS_HANDLER(opt_data_frames);
RS_HANDLER(opt_video_frames);
RS_HANDLER(opt_audio_frames);
RS_HANDLER(opt_progress);
RS_HANDLER(opt_target);
RS_HANDLER(opt_vsync);
RS_HANDLER(opt_qscale);
RS_HANDLER(opt_profile);
RS_HANDLER(opt_filter_threads);
RS_HANDLER(opt_filter_complex);
RS_HANDLER(opt_filter_complex_script);
RS_HANDLER(opt_stats_period);
RS_HANDLER(opt_attach);
RS_HANDLER(opt_video_codec);
RS_HANDLER(opt_audio_codec);
RS_HANDLER(opt_subtitle_codec);
RS_HANDLER(opt_data_codec);
RS_HANDLER(opt_timecode);
RS_HANDLER(opt_vstats);
RS_HANDLER(opt_vstats_file);
RS_HANDLER(opt_video_filters);
RS_HANDLER(opt_audio_filters);
RS_HANDLER(opt_old2new);  // -vtag, -atag, -stag, -vbsf, -absf
RS_HANDLER(opt_streamid);
RS_HANDLER(opt_bitrate);
RS_HANDLER(opt_audio_qscale);
RS_HANDLER(opt_sdp_file);
RS_HANDLER(opt_preset);  // -apre, -vpre, -spre, -fpre
RS_HANDLER(opt_qsv_device);
RS_HANDLER(opt_init_hw_device);
RS_HANDLER(opt_filter_hw_device);
RS_HANDLER(opt_video_hook_bits_pixel);
RS_HANDLER(opt_time_start);
RS_HANDLER(opt_time_length);
RS_HANDLER(opt_hook_flag);  // the hook names: accepted, ignored
RS_HANDLER(opt_default);

#undef RS_HANDLER

}  // namespace reelsmith::handlers
