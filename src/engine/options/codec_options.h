#pragma once
// The codec options of one file that apply to one stream and its encoder or decoder.

#include <string>
#include <vector>

#include "media/ffmpeg_handles.h"

namespace reelsmith {

// Keys of opts whose stream specifier (after the first colon) matches st, with the
// specifier cut off, that are options of the codec context or of the codec's private
// class for this direction and media kind. A key that starts with the stream's kind
// letter ("vstrict", "astrict") passes without that letter when the rest is a codec
// context option. s is the output (encoder side) or input (decoder side) of st; codec
// may be null (then the default one of codecId is asked). An invalid specifier throws
// TEngineError("invalid stream specification").
TDictionary FilterCodecOpts(const TDictionary& opts, AVCodecID codecId, AVFormatContext* s, AVStream* st,
                            const AVCodec* codec);

// The codec options of a file that no stream's encoder (output) or decoder (input) took, specifiers
// cut off. One that cannot apply in that direction at all gives the fatal text "... is not an
// encoding/decoding option."; the others are logged as unused and the result is empty.
std::string UnusedCodecOptionsError(const TDictionary& fileOpts, const std::vector<const TDictionary*>& used,
                                    bool output, int fileIndex, const std::string& fileName);

}  // namespace reelsmith
