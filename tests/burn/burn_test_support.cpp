#include "burn_test_support.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/test_media.h"

namespace reelsmith::test {

std::vector<TBurnSource> ThreeMediaFiles()
{
    return {
        {MakeMedia("burn_clip.mp4", "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v mpeg4"), "clip one.mp4"},
        {MakeMedia("burn_tone.mkv", "-f lavfi -i sine=frequency=440:duration=2 -c:a flac"),
         "A very long name for a clip that goes well past the sixty-four characters of plain Joliet.mkv"},
        {MakeMedia("burn_bars.avi", "-f lavfi -i smptebars=size=160x120:rate=25:duration=1 -c:v mjpeg"),
         "Grüße – vidéo ünïcode.avi"},
    };
}

void WriteRandomFile(const std::string& path, long long bytes)
{
    std::mt19937_64 random(42);
    std::ofstream out(path, std::ios::binary);
    std::vector<std::uint64_t> block(8192);
    for (long long written = 0; written < bytes;) {
        for (auto& word : block)
            word = random();
        const long long n = std::min<long long>(bytes - written, static_cast<long long>(block.size() * 8));
        out.write(reinterpret_cast<const char*>(block.data()), n);
        written += n;
    }
}

bool SameBytes(const std::string& a, const std::string& b)
{
    std::ifstream x(a, std::ios::binary);
    std::ifstream y(b, std::ios::binary);
    std::stringstream bx;
    std::stringstream by;
    bx << x.rdbuf();
    by << y.rdbuf();
    return x.good() && y.good() && bx.str() == by.str();
}

std::vector<std::string> ImageFiles(const std::string& image, bool joliet)
{
    std::string output;
    RunCommand("xorriso -abort_on NEVER " + std::string(joliet ? "-read_fs norock " : "") + "-indev " +
                   ShellQuote(image) + " -find / -type f 2>/dev/null",
               &output);
    std::vector<std::string> files;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 2 && line.front() == '\'' && line.back() == '\'')
            files.push_back(line.substr(1, line.size() - 2));
    std::sort(files.begin(), files.end());
    return files;
}

bool ExtractImage(const std::string& image, const std::string& folder)
{
    return RunCommand("xorriso -osirrox on -indev " + ShellQuote(image) + " -extract / " + ShellQuote(folder) +
                      " >/dev/null 2>&1") == 0;
}

std::string VolumeLabel(const std::string& image)
{
    std::string output;
    RunCommand("xorriso -indev " + ShellQuote(image) + " -pvd_info 2>/dev/null", &output);
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Volume Id", 0) == 0) {
            const auto colon = line.find(": ");
            return colon == std::string::npos ? std::string() : line.substr(colon + 2);
        }
    return {};
}

std::vector<std::string> HiddenFiles(const std::string& folder)
{
    std::vector<std::string> hidden;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().front() == '.')
            hidden.push_back(entry.path().filename().string());
    return hidden;
}

struct TWriterGate::TState {
    TPlace At;
    mutable std::mutex Mutex;
    std::condition_variable Changed;
    bool Held = false;
    bool Released = false;
    std::int64_t HeldAt = -1;
    std::int64_t Highest = -1;
};

TWriterGate::TWriterGate(TPlace at) : m_State(std::make_shared<TState>()) { m_State->At = std::move(at); }

TWriterGate::~TWriterGate() { Release(); }

TImageReadHook TWriterGate::Hook() const
{
    return [state = m_State](std::int64_t offset, std::int64_t size) {
        std::unique_lock lock(state->Mutex);
        state->Highest = std::max(state->Highest, offset);
        if (state->Held || state->Released || !state->At(offset, size))
            return;
        state->Held = true;
        state->HeldAt = offset;
        state->Changed.notify_all();
        state->Changed.wait(lock, [&] { return state->Released; });
    };
}

bool TWriterGate::WaitUntilHeld(TQueueDispatcher& dispatcher) const
{
    // Only a guard against a hang: a correct burn gets there whatever the machine's speed.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Held() && std::chrono::steady_clock::now() < giveUp)
        dispatcher.WaitAndServe(std::chrono::milliseconds(10));
    return Held();
}

bool TWriterGate::Held() const
{
    std::lock_guard lock(m_State->Mutex);
    return m_State->Held;
}

void TWriterGate::Release()
{
    {
        std::lock_guard lock(m_State->Mutex);
        m_State->Released = true;
    }
    m_State->Changed.notify_all();
}

std::int64_t TWriterGate::HeldAt() const
{
    std::lock_guard lock(m_State->Mutex);
    return m_State->HeldAt;
}

std::int64_t TWriterGate::Highest() const
{
    std::lock_guard lock(m_State->Mutex);
    return m_State->Highest;
}

TSmallDisk::TSmallDisk(int kib)
{
    char pattern[] = "/tmp/reelsmith-disk-XXXXXX";
    if (!::mkdtemp(pattern))
        return;
    m_Path = pattern;
    const std::string options = "size=" + std::to_string(kib) + "k";
    m_Mounted = ::mount("tmpfs", m_Path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

TSmallDisk::~TSmallDisk()
{
    if (m_Mounted)
        ::umount2(m_Path.c_str(), MNT_DETACH);
    if (!m_Path.empty())
        ::rmdir(m_Path.c_str());
}

}  // namespace reelsmith::test
