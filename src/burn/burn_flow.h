#pragma once
// The GUI-free steps of the Burn window: the size texts and the "Data:" and "Disc:" lines,
// the speed list, and adding the list's rows to the data project.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "burn/burn_types.h"

namespace reelsmith {

class TBurnerSDK;

// "1.50 GB" above 1 GiB, else "1,024 MB".
std::string BurnSizeText(double bytes);
// "Written: 1,234 of 4,480 MB" for the progress window.
std::string WrittenText(double bytesWritten, double imageSize);
// "Data: 3 files, 12 MB" for count files of size bytes (the window adds the 1 MiB margin).
std::string DataLine(int count, std::int64_t bytes);
// The medium's type as the log shows it: "DVD-RW" for both DVD-RW modes.
std::string DiscTypeText(const TMediumInfo& medium);

// The speeds offered for the current burn device, "16x" first; speedUnit is the KB/s of
// one "1x" step and keeps its value when the maximum cannot be converted. Leaves the
// maximum requested.
std::vector<std::string> BuildSpeedList(TBurnerSDK& burner, bool noDisc, int* speedUnit);
// The KB/s to request for the chosen item: -1 (the maximum) for item 0 or a single item.
int SpeedForChoice(const std::vector<std::string>& items, int index, int speedUnit);

struct TBurnRow {
    std::string Caption;     // the name on the disc
    std::string SourcePath;  // the file burned
};

// Adds each row, in order. A row that cannot be added (its source gone since it was listed,
// unreadable, not a file) is reported as "<error>... <path>". True when no row failed.
// Paths and captions are the names' bytes, whatever their encoding.
bool AddRowsToProject(TBurnerSDK& burner, const std::vector<TBurnRow>& rows,
                      const std::function<void(const std::string& line)>& failed);

}  // namespace reelsmith
