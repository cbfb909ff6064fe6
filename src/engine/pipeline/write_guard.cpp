#include "engine/pipeline/write_guard.h"

#include <optional>

#include "base/same_file.h"
#include "engine/custom_ffmpeg.h"
#include "media/engine_log.h"
#include "media/filter_files.h"
#include "media/ffmpeg_handles.h"
#include "media/input_protocols.h"

namespace reelsmith {

namespace {

int WriteInterruptTrampoline(void* opaque) { return static_cast<TCustomFFmpeg*>(opaque)->WriteInterrupt(); }

// The task of a muxer context: nested muxers (segment, tee, hls) copy their parent's
// interrupt callback, and with it the task.
TCustomFFmpeg* TaskOf(const AVFormatContext* s)
{
    if (s->interrupt_callback.callback != WriteInterruptTrampoline)
        return nullptr;
    return static_cast<TCustomFFmpeg*>(s->interrupt_callback.opaque);
}

// The input that name would write: the name itself, or the final name of a file the library
// writes as "<name>.tmp" and renames afterwards.
std::string InputWrittenAs(const TCustomFFmpegOpt& task, const std::string& name, const std::string& opening)
{
    std::vector<std::string> inputs;
    for (const auto& file : task.FGraph.Finput_files) {
        inputs.push_back(file->name);
        if (file->ctx && file->ctx->url)
            inputs.push_back(file->ctx->url);
    }
    if (!opening.empty())
        inputs.push_back(opening);
    std::string written = InputWrittenBy(name, inputs);
    const std::string suffix = ".tmp";
    if (written.empty() && name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        written = InputWrittenBy(name.substr(0, name.size() - suffix.size()), inputs);
    return written;
}

// Every file a guarded muxer opens: refused as WriteRefusal says, otherwise opened through the
// file protocol (or the pipe of the standard output) only.
int GuardedIoOpen(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options)
{
    const std::string name = url ? url : "";
    if (TCustomFFmpeg* task = TaskOf(s); task && (flags & AVIO_FLAG_WRITE)) {
        if (const std::string refusal = WriteRefusal(*task, name, "a file the muxer writes"); !refusal.empty()) {
            EngineLog(TLogLevel::llError, refusal);
            return AVERROR(EPERM);
        }
    }
    TDictionary own;
    AVDictionary** opts = options ? options : own.address();
    ff().av_dict_set(opts, "protocol_whitelist", (flags & AVIO_FLAG_WRITE) ? OutputProtocols(name) : kFileProtocols, 0);
    return ff().avio_open2(pb, name.c_str(), flags, &s->interrupt_callback, opts);
}

}  // namespace

std::string WriteRefusal(const TCustomFFmpegOpt& task, const std::string& name, const std::string& what,
                         const std::string& opening)
{
    if (const std::string refused = RefusedOutputProtocolText(name); !refused.empty())
        return name + ": " + refused;
    if (const std::string input = InputWrittenAs(task, name, opening); !input.empty())
        return name + ": " + what + " is the same file as the input " + input + "; the input is never overwritten";
    return {};
}

std::string PathWriteRefusal(const TCustomFFmpegOpt& task, const std::string& path, const std::string& what)
{
    if (const std::string input = InputWrittenAs(task, "file:" + path, {}); !input.empty())
        return path + ": " + what + " is the same file as the input " + input + "; the input is never overwritten";
    return {};
}

void GuardOutputContext(TCustomFFmpeg& task, AVFormatContext* oc, const std::string& fileName)
{
    oc->interrupt_callback.callback = WriteInterruptTrampoline;
    oc->interrupt_callback.opaque = &task;
    oc->io_open = GuardedIoOpen;
    ff().av_freep(&oc->protocol_whitelist);
    oc->protocol_whitelist = ff().av_strdup(OutputProtocols(fileName));
}

std::string OptionNamingAnInput(const TCustomFFmpegOpt& task, const std::string& fileName, const TDictionary& options)
{
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = ff().av_dict_get(options.get(), "", entry, AV_DICT_IGNORE_SUFFIX))) {
        if (const std::string input = InputWrittenAs(task, entry->value, {}); !input.empty())
            return StrFormat("%s: the option -%s names the input %s; the input is never overwritten", fileName.c_str(),
                             entry->key, input.c_str());
    }
    return {};
}

std::string GuardedFilterGraph(TCustomFFmpegOpt& task, const std::string& graph)
{
    const TFilterGraphFiles files = GuardFilterGraph(graph);
    if (!files.Error.empty())
        task.Fatal(files.Error);
    for (const TFilterFile& file : files.Writes) {
        const std::string what = "the file of filter " + file.Filter + " (" + file.Option + ")";
        const std::string refusal =
            file.ByPath ? PathWriteRefusal(task, file.Name, what) : WriteRefusal(task, file.Name, what);
        if (!refusal.empty())
            task.Fatal(refusal);
    }
    return files.Graph;
}

}  // namespace reelsmith
