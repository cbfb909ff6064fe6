#include "intake/intake_fakes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace reelsmith::test {

void Touch(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "media";
}

bool FakeProbe::LoadLibraries(std::string& error)
{
    ++loadCalls;
    loaded = loadError.empty();
    error = loadError;
    return loaded;
}

std::optional<TProbedMedia> FakeProbe::Probe(const std::string& path)
{
    ++probes[path];
    probed.push_back(path);
    if (onProbe)
        onProbe();
    if (rejected.count(path))
        return std::nullopt;
    return media;
}

QStringList RowList::SourcePaths() const
{
    QStringList paths;
    for (const TFileListRow& row : rows)
        paths << row.cell(FileCell::SourcePath);
    return paths;
}

void RowList::Resort()
{
    ++resorts;
    std::stable_sort(rows.begin(), rows.end(), [](const TFileListRow& a, const TFileListRow& b) {
        return a.Caption.toUpper() < b.Caption.toUpper();
    });
}

}  // namespace reelsmith::test
