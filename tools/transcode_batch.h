#pragma once
// The batch mode of reelsmith-transcode: every input of a list converted into one folder, up
// to Jobs files at once in this process. Each job is an encoder of its own running one task on
// its worker thread, refilled from the list as it ends: handing the encoder every task at once
// would open every input and create every staged output before the first conversion starts.
// One line per input on stdout, in the order they end, then the counts; progress on stderr
// only when it is a terminal.
#include <string>

#include "base/thread_priority.h"

namespace reelsmith {

struct TBatchArgs {
    std::string List;       // a ".fls" list, or "-" for paths on standard input
    std::string OutputDir;  // created when missing
    std::string Format;     // the outputs' extension; empty keeps each source's own
    int Jobs = 1;
    std::string InputOptions;
    std::string OutputOptions;
    TThreadPriority Priority = tpNormal;
};

// Converts the list; the exit status (0 all converted, 1 an input not converted, 2 nothing to
// convert). A termination signal stops every job, removes the parts written and ends the
// program by that signal.
int RunBatch(const TBatchArgs& args);

}  // namespace reelsmith
