#pragma once
// The option side of a task: its option table, the parse of one file's option text and
// preset text into an options context, and the handlers of the table. The task of the
// transcode loop derives from this class.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/options/ff_options.h"
#include "engine/options/global_options.h"
#include "engine/job_records.h"
#include "engine/options/option_def.h"
#include "engine/options/options_context.h"

namespace reelsmith {

class TCustomFFmpegOpt {
public:
    TCustomFFmpegOpt();
    virtual ~TCustomFFmpegOpt();
    TCustomFFmpegOpt(const TCustomFFmpegOpt&) = delete;
    TCustomFFmpegOpt& operator=(const TCustomFFmpegOpt&) = delete;

    // Parses one file's options into o, a freshly constructed options context:
    //   kind      "input file" or "output file" (for messages),
    //   fileName  the file the options belong to (for messages),
    //   ioFlag    OPT_INPUT or OPT_OUTPUT: options without that flag are refused.
    // Returns 0 or a negative code (always 0 when HaltOnInvalidOption is off); on failure
    // with halting on, LastErrMsg() holds the text. Fatal errors and conversion errors
    // raise TEngineError, which the caller catches.
    int ParseOptions(TOptionsContext& o, const std::string& options, const std::string& presets,
                     const std::string& kind, const std::string& fileName, uint32_t ioFlag);

    // Applies a preset text (lines of key=value; "<CRLF>" separates lines too) to o.
    int ApplyPresets(TOptionsContext& o, const std::string& presets, const std::string& kind);

    // The task's option table (built on first use, lives as long as the task).
    const std::vector<TOptionDef>& Options();

    bool HaltOnInvalidOption = true;
    const std::string& LastErrMsg() const { return FLastErrMsg; }
    void ClearLastErrMsg() { FLastErrMsg.clear(); }

    // Stores text as LastErrMsg, logs it at fatal level and throws TEngineError.
    [[noreturn]] void Fatal(const std::string& text);

    // Bits per pixel of the hook pictures (-VideoHookBitsPixel). Derived tasks hand it to
    // their picture converters; false refuses the value.
    virtual bool SetVideoHookBitsPixel(int bitsPixel);
    int VideoHookBitsPixel() const { return FVideoHookBitsPixel; }

    // Applies one option by name as if written in the option string (used by aliases,
    // -target and presets); names not in the table go through the "default" entry.
    int ParseOption(TOptionsContext* o, const std::string& opt, const std::string& arg);

    // Writes one value into o (per-file options) or into the task's global options.
    int WriteOption(TOptionsContext* o, const TOptionDef& po, const std::string& opt, const std::string& arg);

    TGlobalOptions FGlobal;            // option values the tool keeps process-wide
    TJobGraph FGraph;                  // input/output files and streams, filter graphs, devices
    TFFOptions FFOptions;              // dictionaries and groups of the current parse
    int64_t FReportInterval = 500000;  // microseconds; -stats_period changes it
    std::string FLastErrMsg;

protected:
    int FVideoHookBitsPixel = 32;

private:
    int ApplyGroup(TOptionsContext* o, TOptionGroup& group, const std::string& groupName, const std::string& fileName,
                   uint32_t ioFlag);
    std::vector<TOptionDef> FOptionTable;
};

}  // namespace reelsmith
