#pragma once
// Output streams: one new stream of the output file being opened.

#include <string>

#include "engine/job_records.h"
#include "engine/options/options_context.h"

namespace reelsmith {

class TCustomFFmpeg;

// Adds a stream of kind type to oc, the task's last output file, fed by the input stream
// sourceIndex or, with graphOutput, by that output pad of a complex filter graph (then
// sourceIndex is -1). The stream joins the task only when complete; errors throw TEngineError.
// The encoder a -c value names: an encoder's own name, else the codec's name (its default
// encoder); nullptr when neither.
const AVCodec* EncoderNamed(const std::string& name);

TOutputStream& NewOutputStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, AVMediaType type,
                               int sourceIndex, TOutputFilter* graphOutput = nullptr);

}  // namespace reelsmith
