#pragma once
// Parse state of one task: the AVOption dictionaries being filled while a file's words
// are matched, and the two groups (global and file) the matched options go into.

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/options/dict_builder.h"
#include "engine/options/options_context.h"

namespace reelsmith {

struct TOptionDef;

struct TOptionParseContext {
    TOptionGroup global_opts;
    TOptionGroup file_opts;
};

class TFFOptions {
public:
    // Touches no library: the dictionaries are set up by the first parse.
    TFFOptions();

    // What AVOption passthrough collects; it becomes the file group's dictionaries.
    TDictBuilder codec_opts;
    TDictBuilder format_opts;
    TDictBuilder sws_dict;
    TDictBuilder swr_opts;
    int sws_flags = SWS_BICUBIC;
    TOptionParseContext OptionParseContext;

    // Empties the four dictionaries; the scaler one gets flags=bicubic.
    void InitOpts();
    // Fresh groups and dictionaries before the words of a new file are matched.
    void Reset();

    // Routes one name/value pair to the library option sets (codec, format, scaler,
    // resampler). 0 when consumed, AVERROR_OPTION_NOT_FOUND, or another negative code;
    // sets the option error text when it refuses.
    int opt_default(const std::string& opt, const std::string& arg);

    // Matches and groups the words of one file (the table is the task's option table).
    // The file group then holds the four dictionaries. 0 or a negative code.
    int parse_options(const std::vector<std::string>& words, const std::vector<TOptionDef>& table,
                      bool haltOnInvalidOption);

private:
    // Where a name goes in the library option sets; the classes never change once the
    // libraries are loaded, so the answer is kept (the lookup walks every codec and format).
    struct TRouting {
        const AVOption* codec = nullptr;
        const AVOption* format = nullptr;
        const AVOption* scaler = nullptr;
        const AVOption* resampler = nullptr;
    };
    const TRouting& RoutingOf(const std::string& opt);
    void FinishFileGroup();
    std::unordered_map<std::string, TRouting> m_Routing;
};

// The first table entry whose name equals the word's name up to its first colon, or null.
const TOptionDef* FindOption(const std::vector<TOptionDef>& table, const std::string& name);

}  // namespace reelsmith
