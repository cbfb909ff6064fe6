#pragma once
// The program's probe: a decoder of its own (one per Adding window) that opens each file
// once, reads what the file list row needs and closes it again.
#include "intake/media_probe.h"
#include "media/ff_decoder.h"

namespace reelsmith {

class TDecoderProbe : public IMediaProbe {
public:
    bool LibrariesLoaded() const override;
    bool LoadLibraries(std::string& errorText) override;
    std::optional<TProbedMedia> Probe(const std::string& path) override;

    TFFDecoder FFDecoder1;
};

}  // namespace reelsmith
