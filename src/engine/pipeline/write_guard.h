#pragma once
// The rules for every file a task writes, whoever names it: the output, the files a muxer opens
// by itself (image sequences, segments and their lists, the slaves of tee), the -progress file,
// pass logs, -vstats and -sdp_file, attachments. Such a file is a local file or the standard
// output, never an input of the task (after links, "file:" and ".." are resolved), and never
// the final name of a file the library writes under a temporary ".tmp" name first.

#include <string>

struct AVFormatContext;

namespace reelsmith {

class TCustomFFmpeg;
class TCustomFFmpegOpt;
class TDictionary;

// Empty when name may be written by the task; otherwise the sentence that says why not. what
// names the file in the sentence ("the output", "the progress file", ...). opening is an input
// not yet among the task's inputs (the one being opened), or empty.
std::string WriteRefusal(const TCustomFFmpegOpt& task, const std::string& name, const std::string& what,
                         const std::string& opening = {});

// The same for a file opened by its path (with fopen, by an encoder library): no protocol.
std::string PathWriteRefusal(const TCustomFFmpegOpt& task, const std::string& path, const std::string& what);

// Ties the muxer context oc to the task: its interrupt callback, and a check of every file the
// muxer (or a muxer nested in it) opens for writing. The task must outlive oc.
void GuardOutputContext(TCustomFFmpeg& task, AVFormatContext* oc, const std::string& fileName);

// The first muxer or protocol option of an output whose value names an input; empty when none
// does. A muxer may write such a file under a temporary name and rename it over the input.
std::string OptionNamingAnInput(const TCustomFFmpegOpt& task, const std::string& fileName, const TDictionary& options);

// The filter graph text to parse instead of graph: the filters that open media held to local
// files, the files filters write checked as every file written. A refusal is the task's fatal
// error.
std::string GuardedFilterGraph(TCustomFFmpegOpt& task, const std::string& graph);

}  // namespace reelsmith
