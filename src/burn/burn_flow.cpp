#include "burn/burn_flow.h"

#include <cstdio>
#include <string>

#include "burn/burner_sdk.h"

namespace reelsmith {

namespace {

constexpr double kGiB = 1073741824.0;
constexpr double kMiB = 1048576.0;
constexpr int kNoDiscSpeedUnit = 1385;

// Whole number with "," between thousands, as the "#,0" pattern writes it.
std::string Grouped(double value)
{
    std::string digits = std::to_string(static_cast<long long>(value + 0.5));
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return digits;
}

}  // namespace

std::string BurnSizeText(double bytes)
{
    if (bytes > kGiB) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f GB", bytes / kGiB);
        return text;
    }
    return Grouped(bytes / kMiB) + " MB";
}

std::string WrittenText(double bytesWritten, double imageSize)
{
    return "Written: " + Grouped(bytesWritten / kMiB) + " of " + Grouped(imageSize / kMiB) + " MB";
}

std::string DataLine(int count, std::int64_t bytes)
{
    return "Data: " + std::to_string(count) + (count == 1 ? " file, " : " files, ") +
           BurnSizeText(static_cast<double>(bytes));
}

std::string DiscTypeText(const TMediumInfo& medium)
{
    if (medium.MediumTypeCode == mtcDVD_RW_RO || medium.MediumTypeCode == mtcDVD_RW_SR)
        return "DVD-RW";
    return medium.MediumType;
}

std::vector<std::string> BuildSpeedList(TBurnerSDK& burner, bool noDisc, int* speedUnit)
{
    std::vector<std::string> items;
    burner.SetBurnSpeed(-1);
    const int max = burner.BurnSpeed();
    if (noDisc) {
        *speedUnit = kNoDiscSpeedUnit;
        items = {"16x", "12x", "8x", "6x", "4x", "2x"};
    } else {
        std::string text = burner.SpeedToText(max);
        if (!text.empty())
            text.pop_back();
        const int n = text.empty() ? 0 : std::stoi(text);
        if (n > 0)
            *speedUnit = max / n;
        int value = max;
        while (*speedUnit > 0 && *speedUnit < value) {
            value -= *speedUnit;
            burner.SetBurnSpeed(value);
            const std::string speed = burner.SpeedToText(burner.BurnSpeed());
            if (!speed.empty() && (items.empty() || items.back() != speed))
                items.push_back(speed);
        }
    }
    if (!items.empty())
        burner.SetBurnSpeed(-1);
    return items;
}

int SpeedForChoice(const std::vector<std::string>& items, int index, int speedUnit)
{
    if (items.size() <= 1 || index <= 0 || index >= static_cast<int>(items.size()))
        return -1;
    const std::string& text = items[static_cast<std::size_t>(index)];
    return std::stoi(text.substr(0, text.size() - 1)) * speedUnit;
}

bool AddRowsToProject(TBurnerSDK& burner, const std::vector<TBurnRow>& rows,
                      const std::function<void(const std::string& line)>& failed)
{
    bool allAdded = true;
    for (const TBurnRow& row : rows) {
        if (!burner.AddFile(row.SourcePath, "/", row.Caption, false, false)) {
            failed(burner.LastErrorText() + "... " + row.SourcePath);
            allAdded = false;
        }
    }
    return allAdded;
}

}  // namespace reelsmith
