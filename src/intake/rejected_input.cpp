#include "intake/rejected_input.h"

#include <cstdio>

#include "base/qt/file_name.h"

namespace reelsmith {

void PrintNotConverted(const TRejectedInput& input)
{
    std::fprintf(stderr, "reelsmith: not converted: %s: %s\n", DisplayedFileName(input.Path).toUtf8().constData(),
                 input.Reason.toUtf8().constData());
    std::fflush(stderr);
}

}  // namespace reelsmith
