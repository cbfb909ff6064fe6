// -map and -map_channel: stream selection, resolved against the inputs already open.
#include <cstdio>
#include <cstdlib>

#include "engine/options/custom_ffmpeg_opt.h"
#include "media/engine_log.h"
#include "engine/options/option_handlers.h"

namespace reelsmith::handlers {

namespace {

const char* kIgnoreHint = "To ignore this, add a trailing \"?\" to the map.";

// Leading whole number as strtol reads it (base auto); pos is moved behind it.
int ReadIndex(const std::string& text, size_t& pos)
{
    const char* begin = text.c_str() + pos;
    char* end = nullptr;
    const long value = std::strtol(begin, &end, 0);
    pos += static_cast<size_t>(end - begin);
    return (value < INT32_MIN || value > INT32_MAX) ? -1 : static_cast<int>(value);
}

std::string SpecAfter(const std::string& text, size_t pos)
{
    if (pos >= text.size())
        return {};
    return text[pos] == ':' ? text.substr(pos + 1) : text.substr(pos);
}

// Streams of an open input (none when it has no context).
int StreamCount(const TInputFile& file) { return file.ctx ? static_cast<int>(file.ctx->nb_streams) : 0; }

struct TSyncSource {
    int file = -1;
    int stream = -1;
};

TSyncSource ResolveSync(TCustomFFmpegOpt& task, const std::string& map, const std::string& syncText)
{
    size_t pos = 0;
    TSyncSource sync;
    sync.file = ReadIndex(syncText, pos);
    if (sync.file >= task.FGraph.Fnb_input_files() || sync.file < 0)
        task.Fatal("Invalid sync file index: " + std::to_string(sync.file) + ".");
    const std::string spec = SpecAfter(syncText, pos);
    const TInputFile& file = *task.FGraph.Finput_files[sync.file];
    for (int i = 0; i < StreamCount(file); ++i) {
        if (CheckStreamSpecifier(file.ctx.get(), file.ctx->streams[i], spec) > 0) {
            sync.stream = i;
            break;
        }
    }
    if (sync.stream < 0)
        task.Fatal("Sync stream specification in map " + map + " does not match any streams.");
    return sync;
}

// "[label]": an output of a complex filter graph.
void AddLabelMap(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& map)
{
    const size_t close = map.find(']');
    if (close == std::string::npos || close == 1)
        task.Fatal("Invalid output link label: " + map + ".");
    TStreamMap m;
    m.linklabel = map.substr(1, close - 1);
    o->stream_maps.push_back(m);
}

// "-file[:spec]": the maps given so far for the streams it matches are switched off.
void DisableMaps(TOptionsContext* o, const TInputFile& file, int fileIndex, const std::string& spec)
{
    for (TStreamMap& m : o->stream_maps)
        if (m.linklabel.empty() && m.file_index == fileIndex && m.stream_index < StreamCount(file) &&
            CheckStreamSpecifier(file.ctx.get(), file.ctx->streams[m.stream_index], spec) > 0)
            m.disabled = 1;
}

struct TMapMatches {
    bool added = false;
    bool sawDisabled = false;  // a matching stream was left out for -discard all
};

// "file[:spec]": a map for every stream it matches that is not discarded.
TMapMatches AddStreamMaps(TCustomFFmpegOpt& task, TOptionsContext* o, const TInputFile& file, int fileIndex,
                          const std::string& spec, const TSyncSource& sync)
{
    TMapMatches matches;
    for (int i = 0; i < StreamCount(file); ++i) {
        if (CheckStreamSpecifier(file.ctx.get(), file.ctx->streams[i], spec) <= 0)
            continue;
        const int streamIndex = file.ist_index + i;
        if (streamIndex < task.FGraph.Fnb_input_streams() &&
            task.FGraph.Finput_streams[streamIndex]->user_set_discard == AVDISCARD_ALL) {
            matches.sawDisabled = true;
            continue;
        }
        TStreamMap m;
        m.file_index = fileIndex;
        m.stream_index = i;
        m.sync_file_index = sync.file >= 0 ? sync.file : fileIndex;
        m.sync_stream_index = sync.file >= 0 ? sync.stream : i;
        o->stream_maps.push_back(m);
        matches.added = true;
    }
    return matches;
}

// A map that matched nothing is fatal unless it ends with "?".
void ReportUnmatchedMap(TCustomFFmpegOpt& task, const std::string& arg, bool allowUnused, bool sawDisabled)
{
    if (allowUnused)
        EngineLog(TLogLevel::llVerbose, "Stream map \"" + arg + "\" matches no streams; ignoring.");
    else if (sawDisabled)
        task.Fatal("Stream map \"" + arg + "\" matches disabled streams.\r\n" + kIgnoreHint);
    else
        task.Fatal("Stream map \"" + arg + "\" matches no streams.\r\n" + kIgnoreHint);
}

}  // namespace

int opt_map(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string&, const std::string& arg)
{
    std::string map = arg;
    const bool negative = !map.empty() && map[0] == '-';
    if (negative)
        map.erase(0, 1);
    const bool allowUnused = !map.empty() && map.back() == '?';
    if (allowUnused)
        map.pop_back();

    TSyncSource sync;
    if (const size_t comma = map.find(','); comma != std::string::npos) {
        sync = ResolveSync(task, arg, map.substr(comma + 1));
        map.erase(comma);
    }
    if (!map.empty() && map[0] == '[') {
        AddLabelMap(task, o, map);
        return 0;
    }

    size_t pos = 0;
    const int fileIndex = ReadIndex(map, pos);
    if (fileIndex >= task.FGraph.Fnb_input_files() || fileIndex < 0)
        task.Fatal("Invalid input file index: " + std::to_string(fileIndex) + ".");
    const std::string spec = SpecAfter(map, pos);
    const TInputFile& file = *task.FGraph.Finput_files[fileIndex];
    if (negative) {
        DisableMaps(o, file, fileIndex, spec);
        return 0;
    }
    const TMapMatches matches = AddStreamMaps(task, o, file, fileIndex, spec, sync);
    if (!matches.added)
        ReportUnmatchedMap(task, arg, allowUnused, matches.sawDisabled);
    return 0;
}

int opt_map_channel(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt, const std::string& arg)
{
    EngineLog(TLogLevel::llWarning, "The -" + opt +
                                        " option is deprecated and will be removed. It can be replaced by the "
                                        "\"pan\" filter, or in some cases by combinations of \"channelsplit\", "
                                        "\"channelmap\", \"amerge\" filters.");
    std::string text = arg;
    const bool allowUnused = !text.empty() && text.back() == '?';
    if (allowUnused)
        text.pop_back();

    TAudioChannelMap m;
    // A muted channel: "-1" or "-1:ofile.ostream".
    int n = std::sscanf(text.c_str(), "%d:%d.%d", &m.channel_idx, &m.ofile_idx, &m.ostream_idx);
    if ((n == 1 || n == 3) && m.channel_idx == -1) {
        m.file_idx = m.stream_idx = -1;
        if (n == 1)
            m.ofile_idx = m.ostream_idx = -1;
        o->audio_channel_maps.push_back(m);
        return 0;
    }
    m = TAudioChannelMap{};
    n = std::sscanf(text.c_str(), "%d.%d.%d:%d.%d", &m.file_idx, &m.stream_idx, &m.channel_idx, &m.ofile_idx,
                    &m.ostream_idx);
    if (n != 3 && n != 5)
        task.Fatal("Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]");
    if (n != 5)
        m.ofile_idx = m.ostream_idx = -1;

    if (m.file_idx < 0 || m.file_idx >= task.FGraph.Fnb_input_files())
        task.Fatal("mapchan: invalid input file index: " + std::to_string(m.file_idx));
    const TInputFile& file = *task.FGraph.Finput_files[m.file_idx];
    if (m.stream_idx < 0 || m.stream_idx >= StreamCount(file))
        task.Fatal("mapchan: invalid input file stream index #" + std::to_string(m.file_idx) + "." +
                   std::to_string(m.stream_idx));
    const AVStream* st = file.ctx->streams[m.stream_idx];
    if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
        task.Fatal("mapchan: stream #" + std::to_string(m.file_idx) + "." + std::to_string(m.stream_idx) +
                   " is not an audio stream.");
    const int streamIndex = file.ist_index + m.stream_idx;
    const bool discarded = streamIndex < task.FGraph.Fnb_input_streams() &&
                           task.FGraph.Finput_streams[streamIndex]->user_set_discard == AVDISCARD_ALL;
    if (m.channel_idx < 0 || m.channel_idx >= st->codecpar->ch_layout.nb_channels || discarded) {
        const std::string msg = "mapchan: invalid audio channel #" + std::to_string(m.file_idx) + "." +
                                std::to_string(m.stream_idx) + "." + std::to_string(m.channel_idx);
        if (!allowUnused)
            task.Fatal(msg + "\r\nTo ignore this, add a trailing \"?\" to the map_channel.");
        EngineLog(TLogLevel::llVerbose, msg);
        return 0;
    }
    o->audio_channel_maps.push_back(m);
    return 0;
}

}  // namespace reelsmith::handlers
