#include "engine/options/codec_options.h"

#include <string>

#include "engine/engine_error.h"
#include "media/engine_log.h"

namespace reelsmith {

namespace {

bool IsOptionOf(const AVClass* cls, const char* name, int flags)
{
    return cls && ff().av_opt_find(&cls, name, nullptr, flags, AV_OPT_SEARCH_FAKE_OBJ);
}

}  // namespace

TDictionary FilterCodecOpts(const TDictionary& opts, AVCodecID codecId, AVFormatContext* s, AVStream* st,
                            const AVCodec* codec)
{
    TDictionary result;
    const bool encoding = s->oformat != nullptr;
    int flags = encoding ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM;
    if (!codec)
        codec = encoding ? ff().avcodec_find_encoder(codecId) : ff().avcodec_find_decoder(codecId);

    char prefix = 0;
    switch (st->codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO:
        prefix = 'v';
        flags |= AV_OPT_FLAG_VIDEO_PARAM;
        break;
    case AVMEDIA_TYPE_AUDIO:
        prefix = 'a';
        flags |= AV_OPT_FLAG_AUDIO_PARAM;
        break;
    case AVMEDIA_TYPE_SUBTITLE:
        prefix = 's';
        flags |= AV_OPT_FLAG_SUBTITLE_PARAM;
        break;
    default: break;
    }

    const AVClass* codecClass = ff().avcodec_get_class();
    const AVDictionaryEntry* t = nullptr;
    while (opts.get() && (t = ff().av_dict_get(opts.get(), "", t, AV_DICT_IGNORE_SUFFIX))) {
        std::string key = t->key;
        if (const size_t colon = key.find(':'); colon != std::string::npos) {
            const int match = ff().avformat_match_stream_specifier(s, st, key.c_str() + colon + 1);
            if (match < 0) {
                EngineLog(TLogLevel::llError, "Invalid stream specifier: " + key.substr(colon + 1) + ".");
                throw TEngineError("invalid stream specification");
            }
            if (match == 0)
                continue;
            key.erase(colon);
        }
        if (IsOptionOf(codecClass, key.c_str(), flags) || !codec || IsOptionOf(codec->priv_class, key.c_str(), flags))
            result.Set(key, t->value);
        else if (prefix && key.size() > 1 && key[0] == prefix && IsOptionOf(codecClass, key.c_str() + 1, flags))
            result.Set(key.substr(1), t->value);
    }
    return result;
}

std::string UnusedCodecOptionsError(const TDictionary& fileOpts, const std::vector<const TDictionary*>& used,
                                    bool output, int fileIndex, const std::string& fileName)
{
    const AVClass* codecClass = ff().avcodec_get_class();
    const char* kind = output ? "output" : "input";
    const AVDictionaryEntry* t = nullptr;
    while (fileOpts.get() && (t = ff().av_dict_get(fileOpts.get(), "", t, AV_DICT_IGNORE_SUFFIX))) {
        std::string key = t->key;
        if (const size_t colon = key.find(':'); colon != std::string::npos)
            key.erase(colon);
        bool taken = false;
        for (const TDictionary* dict : used)
            taken = taken || dict->Get(key) != nullptr;
        if (taken)
            continue;
        const AVOption* option =
            ff().av_opt_find(&codecClass, key.c_str(), nullptr, 0, AV_OPT_SEARCH_CHILDREN | AV_OPT_SEARCH_FAKE_OBJ);
        if (!option)
            continue;
        if (!(option->flags & (output ? AV_OPT_FLAG_ENCODING_PARAM : AV_OPT_FLAG_DECODING_PARAM)))
            return StrFormat("Codec AVOption %s (%s) specified for %s file #%d (%s) is not a%s option.", key.c_str(),
                             option->help ? option->help : "", kind, fileIndex, fileName.c_str(),
                             output ? "n encoding" : " decoding");
        EngineLog(TLogLevel::llWarning,
                  StrFormat("Codec AVOption %s (%s) specified for %s file #%d (%s) has not been used for any stream. "
                            "The most likely reason is either wrong type (e.g. a video option with no video streams) "
                            "or that it is a private option of some %s which was not actually used for any stream.",
                            key.c_str(), option->help ? option->help : "", kind, fileIndex, fileName.c_str(),
                            output ? "encoder" : "decoder"));
    }
    return {};
}

}  // namespace reelsmith
