#pragma once
// One entry of the option table and its flag bits.

#include <cstdint>
#include <string>
#include <variant>

#include "engine/options/global_options.h"
#include "engine/options/options_context.h"

namespace reelsmith {

class TCustomFFmpegOpt;

enum TOptionFlag : uint32_t {
    HAS_ARG = 0x1,
    OPT_BOOL = 0x2,
    OPT_EXPERT = 0x4,
    OPT_STRING = 0x8,
    OPT_VIDEO = 0x10,
    OPT_AUDIO = 0x20,
    OPT_INT = 0x80,
    OPT_FLOAT = 0x100,
    OPT_SUBTITLE = 0x200,
    OPT_INT64 = 0x400,
    OPT_EXIT = 0x800,
    OPT_DATA = 0x1000,
    OPT_PERFILE = 0x2000,
    OPT_OFFSET = 0x4000,
    OPT_SPEC = 0x8000,
    OPT_TIME = 0x10000,
    OPT_DOUBLE = 0x20000,
    OPT_INPUT = 0x40000,
    OPT_OUTPUT = 0x80000,
};

// Handler of an option: (task, options context or null for global ones, option word, argument)
// -> 0 or a negative code; it may leave a reason in the option error text.
using TOptionHandler = int (*)(TCustomFFmpegOpt& task, TOptionsContext* o, const std::string& opt,
                               const std::string& arg);

// Where an entry writes: a field of the options context, a field of the task's global
// option state, or a handler.
using TOptionTarget =
    std::variant<std::monostate, std::string TOptionsContext::*, int TOptionsContext::*, int64_t TOptionsContext::*,
                 float TOptionsContext::*, double TOptionsContext::*, TPerStreamOption<std::string> TOptionsContext::*,
                 TPerStreamOption<int> TOptionsContext::*, TPerStreamOption<int64_t> TOptionsContext::*,
                 TPerStreamOption<float> TOptionsContext::*, TPerStreamOption<double> TOptionsContext::*,
                 std::string TGlobalOptions::*, int TGlobalOptions::*, int64_t TGlobalOptions::*,
                 float TGlobalOptions::*, double TGlobalOptions::*, TOptionHandler>;

struct TOptionDef {
    const char* name;
    uint32_t flags;
    TOptionTarget u;
    const char* help;
    const char* argname;

    // Values of the per-file options live in the options context of one file.
    bool IsPerFile() const { return flags & (OPT_PERFILE | OPT_OFFSET | OPT_SPEC); }
};

}  // namespace reelsmith
