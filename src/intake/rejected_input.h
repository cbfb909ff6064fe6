#pragma once
// An input that will not be converted, and why: named to the user of a command-line run.
#include <QString>
#include <vector>

namespace reelsmith {

struct TRejectedInput {
    QString Path;
    QString Reason;

    bool operator==(const TRejectedInput&) const = default;
};

using TRejectedInputs = std::vector<TRejectedInput>;

// "reelsmith: not converted: PATH: REASON" on stderr, the name shown as in the log (escaped),
// so that a name never splits the line.
void PrintNotConverted(const TRejectedInput& input);

}  // namespace reelsmith
