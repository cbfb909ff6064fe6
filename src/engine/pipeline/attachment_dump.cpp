// -dump_attachment[:spec] [file]: the extra data of matching attachment streams of an input,
// written to the named file or to a file named after the stream's "filename" tag.

#include <sys/stat.h>

#include <cctype>
#include <optional>

#include "base/output_staging.h"
#include "base/same_file.h"
#include "engine/custom_ffmpeg.h"
#include "engine/pipeline/write_guard.h"
#include "media/engine_log.h"
#include "media/ffmpeg_handles.h"

namespace reelsmith {

namespace {

bool IsSchemeChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

// The name a media file suggests, reduced to a plain name in the current folder: no folders,
// no protocol, never "." or "..". Empty when nothing usable is left. The file was written by
// someone else: its tag must not choose where on disk the attachment lands.
std::string PlainName(const std::string& tag)
{
    std::string name = tag.substr(tag.find_last_of('/') == std::string::npos ? 0 : tag.find_last_of('/') + 1);
    size_t scheme = 0;
    while (scheme < name.size() && IsSchemeChar(name[scheme]))
        ++scheme;
    if (scheme > 0 && scheme < name.size() && name[scheme] == ':')
        name.erase(0, scheme + 1);
    if (name == "." || name == "..")
        return {};
    return name;
}

}  // namespace

void TCustomFFmpeg::DumpAttachments(const TOptionsContext& o, AVFormatContext* ic, const std::string& fileName)
{
    for (const auto& item : o.dump_attachment.items) {
        for (unsigned i = 0; i < ic->nb_streams; ++i) {
            AVStream* st = ic->streams[i];
            if (CheckStreamSpecifier(ic, st, item.specifier) <= 0)
                continue;
            if (!st->codecpar->extradata_size) {
                EngineLog(TLogLevel::llWarning,
                          StrFormat("No extradata to dump in stream #%d:%d.", FGraph.Fnb_input_files(), int(i)));
                continue;
            }
            std::string name = item.u;
            if (const AVDictionaryEntry* e = ff().av_dict_get(st->metadata, "filename", nullptr, 0);
                name.empty() && e) {
                name = PlainName(e->value);
                if (name.empty())
                    Fatal(
                        StrFormat("The 'filename' tag \"%s\" of stream #%d:%d names no file in the current folder; "
                                  "give -dump_attachment a file name.",
                                  e->value, FGraph.Fnb_input_files(), int(i)));
                if (!LocalPathOf(name))
                    name = "./" + name;  // a colon in it is no protocol
            }
            if (name.empty())
                Fatal(StrFormat("No filename specified and no 'filename' tag in stream #%d:%d.",
                                FGraph.Fnb_input_files(), int(i)));
            if (MayWriteAttachment(name, fileName))
                WriteAttachment(name, *st->codecpar);
        }
    }
}

// The rules of every file written (never an input, a local file), and the overwrite guard of
// -dump_attachment (-y, -n); the conversion outputs themselves are always replaced.
bool TCustomFFmpeg::MayWriteAttachment(const std::string& name, const std::string& fileName)
{
    if (FGlobal.Ffile_overwrite && FGlobal.Fno_file_overwrite)
        Fatal("Error, both -y and -n supplied.");
    if (const std::string refusal = WriteRefusal(*this, name, "the attachment", fileName); !refusal.empty())
        Fatal(refusal);
    const std::optional<std::string> local = LocalPathOf(name);
    if (!local)
        Fatal(name + ": an attachment is written to a local file");
    struct stat info {};
    if (!FGlobal.Ffile_overwrite && ::lstat(local->c_str(), &info) == 0) {
        EngineLog(TLogLevel::llWarning, StrFormat("File '%s' already exists. Ignored.", name.c_str()));
        return false;
    }
    return true;
}

// Staged like an output: the name holds the whole attachment or what it held before.
void TCustomFFmpeg::WriteAttachment(const std::string& name, const AVCodecParameters& par)
{
    TStagedOutput staged;
    if (!staged.Begin(*LocalPathOf(name)))
        Fatal(StrFormat("Could not open file %s for writing: %s", name.c_str(), staged.Error().c_str()));
    AVIOContext* raw = nullptr;
    TDictionary options;
    options.Set("protocol_whitelist", "file");
    if (ff().avio_open2(&raw, ("file:" + staged.TempPath()).c_str(), AVIO_FLAG_WRITE, nullptr, options.address()) < 0)
        Fatal(StrFormat("Could not open file %s for writing.", name.c_str()));
    TAVIOContextPtr out(raw);
    ff().avio_write(raw, par.extradata, par.extradata_size);
    ff().avio_flush(raw);
    const bool written = raw->error >= 0;
    out.reset();
    if (!written)
        Fatal(StrFormat("Could not write file %s.", name.c_str()));
    if (!staged.Commit(TCommitMode::Replace))
        Fatal(StrFormat("Could not write file %s: %s", name.c_str(), staged.Error().c_str()));
}

}  // namespace reelsmith
