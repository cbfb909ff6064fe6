#pragma once
// Shared helpers of the burning tests: media fixtures, image read-back with xorriso, a
// recorder of the component's events, and a small tmpfs for the full-folder cases.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "burn/burner_sdk.h"
#include "base/main_thread_dispatcher.h"
#include "burn/cancel_signal.h"

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

// Holds libburn's writer before the first read of the image for which `at` is true, until
// Release, so that a test acts while the burn is provably at that place however fast the
// machine writes. Released at the latest when the gate goes, so no writer is left hanging.
class TWriterGate {
public:
    using TPlace = std::function<bool(std::int64_t offset, std::int64_t size)>;
    explicit TWriterGate(TPlace at);
    ~TWriterGate();
    TWriterGate(const TWriterGate&) = delete;
    TWriterGate& operator=(const TWriterGate&) = delete;

    // For TBurnLibrary::SetImageReadHook; it may outlive the gate.
    TImageReadHook Hook() const;
    // Serves the dispatcher until the writer is held (false if it never gets there).
    bool WaitUntilHeld(TQueueDispatcher& dispatcher) const;
    bool Held() const;
    void Release();
    // The offset the writer was held at, and the highest offset it asked to read.
    std::int64_t HeldAt() const;
    std::int64_t Highest() const;

private:
    struct TState;
    std::shared_ptr<TState> m_State;
};

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
