#include "media/filter_files.h"

#include <cctype>
#include <cstring>
#include <utility>

#include "media/engine_log.h"
#include "media/ffmpeg_api.h"
#include "media/ffmpeg_handles.h"
#include "media/input_protocols.h"

namespace reelsmith {

namespace {

constexpr const char* kSpaces = " \n\t\r";

// The filters that write a file named by an option.
const struct {
    const char* filter;
    const char* option;
    bool byPath;
} kWritingOptions[] = {
    {"psnr", "stats_file", true},       {"ssim", "stats_file", true},  {"vidstabdetect", "result", true},
    {"metadata", "file", false},        {"ametadata", "file", false},  {"signature", "filename", true},
    {"firequalizer", "dumpfile", true}, {"libvmaf", "log_path", true},
};

// One filter of the text: its name and its arguments, as the graph level leaves them.
struct TFilterSpan {
    std::string name;
    std::string args;
    size_t argsBegin = 0;  // where the raw arguments stand in the text
    size_t argsEnd = 0;
    bool hasArgs = false;
};

// A token as the library reads it (quotes and backslashes resolved), up to one of term.
std::string Token(const char** p, const char* term)
{
    char* raw = ff().av_get_token(p, term);
    std::string token = raw ? raw : "";
    ff().av_free(raw);
    return token;
}

// Skips "[label]" groups; false when one is not closed.
bool SkipLabels(const char** p)
{
    *p += std::strspn(*p, kSpaces);
    while (**p == '[') {
        ++*p;
        Token(p, "]");
        if (**p != ']')
            return false;
        ++*p;
        *p += std::strspn(*p, kSpaces);
    }
    return true;
}

// The filters of the text in order; false when the text cannot be read (the library would
// refuse it as well).
bool ScanFilters(const std::string& text, std::vector<TFilterSpan>& spans)
{
    const char* start = text.c_str();
    const char* p = start + std::strspn(start, kSpaces);
    if (std::strncmp(p, "sws_flags=", 10) == 0) {
        p = std::strchr(p, ';');
        if (!p)
            return false;
        ++p;
    }
    while (*p) {
        if (!SkipLabels(&p))
            return false;
        TFilterSpan span;
        span.name = Token(&p, "=,;[");
        if (*p == '=') {
            ++p;
            span.argsBegin = size_t(p - start);
            span.args = Token(&p, "[],;");
            span.argsEnd = size_t(p - start);
            span.hasArgs = true;
        }
        span.name = span.name.substr(0, span.name.find('@'));
        spans.push_back(std::move(span));
        if (!SkipLabels(&p))
            return false;
        if (*p == ',' || *p == ';')
            ++p;
        else if (*p)
            return false;
    }
    return true;
}

// strchr finds the terminator too: the end of the text is no key character.
bool IsKeyChar(char c) { return c != '\0' && (std::isalnum(static_cast<unsigned char>(c)) || std::strchr("-_/.", c)); }

// The name an option is known by: an alias ("f") gives the option it stands for.
std::string OptionName(const AVClass* cls, const std::string& key)
{
    const AVOption* found = ff().av_opt_find(&cls, key.c_str(), nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ);
    if (!found)
        return key;
    for (const AVOption* o = nullptr; (o = ff().av_opt_next(&cls, o));)
        if (o->type != AV_OPT_TYPE_CONST && o->offset == found->offset)
            return o->name;
    return key;
}

// The arguments of a filter as option name and value: values without a name take the options
// in the filter's order, until the first named one. False when they cannot be read.
bool ReadArguments(const AVFilter& filter, const std::string& args,
                   std::vector<std::pair<std::string, std::string>>& out)
{
    const AVClass* cls = filter.priv_class;
    std::vector<std::string> positional;
    int offset = -1;
    for (const AVOption* o = nullptr; cls && (o = ff().av_opt_next(&cls, o));) {
        if (o->type == AV_OPT_TYPE_CONST || o->offset == offset)
            continue;
        offset = o->offset;
        positional.push_back(o->name);
    }
    size_t next = 0;
    bool named = false;
    const char* p = args.c_str();
    while (*p) {
        const char* key = p + std::strspn(p, kSpaces);
        const char* keyEnd = key;
        while (IsKeyChar(*keyEnd))
            ++keyEnd;
        const char* sep = keyEnd + std::strspn(keyEnd, kSpaces);
        std::string name;
        if (*sep == '=' && keyEnd > key) {
            name = cls ? OptionName(cls, std::string(key, keyEnd)) : std::string(key, keyEnd);
            named = true;
            p = sep + 1;
        } else if (!named && next < positional.size()) {
            name = positional[next];
        } else {
            return false;
        }
        ++next;
        std::string value = Token(&p, ":");
        if (*p)
            ++p;
        out.emplace_back(std::move(name), std::move(value));
    }
    return true;
}

// Backslashes before every character a level of the library's reading would take as its own.
std::string Escaped(const std::string& text, const char* specials)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '\'' || (c != '\0' && std::strchr(specials, c)) ||
            std::isspace(static_cast<unsigned char>(c)))
            out += '\\';
        out += c;
    }
    return out;
}

// A movie or amovie filter: its file must be local (or reachable by the whitelist its own
// format_opts give), and what the file opens in turn stays on that whitelist. The arguments
// rewritten to say so; empty with error set when the filter is refused.
std::string GuardMediaFilter(const TFilterSpan& span, const AVFilter& filter, std::string& error)
{
    std::vector<std::pair<std::string, std::string>> args;
    if (!ReadArguments(filter, span.args, args)) {
        error = StrFormat("Filter %s: cannot read its arguments \"%s\"", span.name.c_str(), span.args.c_str());
        return {};
    }
    std::string fileName;
    TDictionary formatOptions;
    std::string rebuilt;
    for (const auto& [key, value] : args) {
        if (key == "filename")
            fileName = value;
        if (key == "format_opts" &&
            ff().av_dict_parse_string(formatOptions.address(), value.c_str(), "=", ":", 0) < 0) {
            error = StrFormat("Filter %s: cannot read its format_opts \"%s\"", span.name.c_str(), value.c_str());
            return {};
        }
        if (key == "format_opts")
            continue;
        rebuilt += (rebuilt.empty() ? "" : ":") + key + "=" + Escaped(Escaped(value, ":"), "[],;");
    }
    if (!formatOptions.Get("protocol_whitelist"))
        formatOptions.Set("protocol_whitelist", kFileProtocols);
    const std::string whitelist = formatOptions.Get("protocol_whitelist");
    if (const std::string refused = RefusedProtocolText(fileName, whitelist); !refused.empty()) {
        error = StrFormat("Filter %s: %s", span.name.c_str(), refused.c_str());
        const std::string hint = "the input option -protocol_whitelist";
        if (const size_t at = error.find(hint); at != std::string::npos)
            error.replace(at, hint.size(), "its option format_opts=protocol_whitelist=...");
        return {};
    }
    std::string dict;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = ff().av_dict_get(formatOptions.get(), "", entry, AV_DICT_IGNORE_SUFFIX)))
        dict += (dict.empty() ? "" : ":") + Escaped(entry->key, "=:") + "=" + Escaped(entry->value, "=:");
    return rebuilt + (rebuilt.empty() ? "" : ":") + "format_opts=" + Escaped(Escaped(dict, ":"), "[],;");
}

// The file a writing filter opens: the option given, or its default.
void AddWrites(const TFilterSpan& span, const AVFilter& filter, std::vector<TFilterFile>& writes)
{
    std::vector<std::pair<std::string, std::string>> args;
    if (span.hasArgs && !ReadArguments(filter, span.args, args))
        return;
    for (const auto& writing : kWritingOptions) {
        if (span.name != writing.filter)
            continue;
        std::string name;
        const AVClass* cls = filter.priv_class;
        if (const AVOption* o =
                cls ? ff().av_opt_find(&cls, writing.option, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) : nullptr;
            o && o->type == AV_OPT_TYPE_STRING && o->default_val.str)
            name = o->default_val.str;
        for (const auto& [key, value] : args)
            if (key == writing.option)
                name = value;
        if (!name.empty() && name != "-")
            writes.push_back({span.name, writing.option, name, writing.byPath});
    }
}

}  // namespace

TFilterGraphFiles GuardFilterGraph(const std::string& graph)
{
    TFilterGraphFiles result;
    result.Graph = graph;
    std::vector<TFilterSpan> spans;
    if (!ScanFilters(graph, spans)) {
        // The library refuses such a text before it makes any filter; should it read more
        // than this scan, no filter that opens media may be among what it reads.
        if (graph.find("movie") != std::string::npos)
            result.Error = "Cannot read the filter graph \"" + graph + "\"";
        return result;
    }
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
        const AVFilter* filter = ff().avfilter_get_by_name(span->name.c_str());
        if (!filter)
            continue;
        AddWrites(*span, *filter, result.Writes);
        if (span->name != "movie" && span->name != "amovie")
            continue;
        const std::string args = GuardMediaFilter(*span, *filter, result.Error);
        if (!result.Error.empty())
            return result;
        if (span->hasArgs)
            result.Graph.replace(span->argsBegin, span->argsEnd - span->argsBegin, args);
    }
    return result;
}

}  // namespace reelsmith
