#pragma once
// Shared helpers of the burning tests: media fixtures, image read-back with xorriso, a
// recorder of the component's events, and a small tmpfs for the full-folder cases.
#include <string>
#include <vector>

#include "burn/burner_sdk.h"
#include "base/main_thread_dispatcher.h"

namespace reelsmith::test {

struct TBurnSource {
    std::string Path;
    std::string Name;  // the caption, the name on the disc
};

// Three small generated media files, named with a plain, a long and a non-ASCII name.
std::vector<TBurnSource> ThreeMediaFiles();
// A file of `bytes` pseudo-random bytes at path.
void WriteRandomFile(const std::string& path, long long bytes);
bool SameBytes(const std::string& a, const std::string& b);

// File paths below the image's root, read through Rock Ridge or, with joliet, through Joliet.
std::vector<std::string> ImageFiles(const std::string& image, bool joliet);
// Extracts the image's files into folder.
bool ExtractImage(const std::string& image, const std::string& folder);
std::string VolumeLabel(const std::string& image);
// Files in folder whose name starts with "." (left-over temporary images).
std::vector<std::string> HiddenFiles(const std::string& folder);

// A tmpfs of `kib` KiB mounted on a fresh folder; Ok() is false where mounting is refused.
class TSmallDisk {
public:
    explicit TSmallDisk(int kib);
    ~TSmallDisk();
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;
    bool Ok() const { return m_Mounted; }
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    bool m_Mounted = false;
};

}  // namespace reelsmith::test
