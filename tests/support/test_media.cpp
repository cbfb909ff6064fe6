#include "support/test_media.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace reelsmith::test {

std::string DataFolder()
{
    const char* env = std::getenv("REELSMITH_TEST_DATA");
    std::string folder = env && *env ? env : "/tmp/reelsmith-test-data";
    fs::create_directories(folder);
    return folder;
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (output)
            output->append(buffer.data(), n);
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeMedia(const std::string& name, const std::string& ffmpegArgs)
{
    static std::mutex lock;
    std::lock_guard guard(lock);
    const std::string path = DataFolder() + "/" + name;
    if (fs::exists(path) && fs::file_size(path) > 0)
        return path;
    // Write under a temporary name so a concurrent test process never sees half a file.
    const std::string partial = DataFolder() + "/." + std::to_string(::getpid()) + "." + name;
    const std::string command =
        "ffmpeg -nostdin -y -hide_banner -loglevel error " + ffmpegArgs + " " + ShellQuote(partial) + " 2>&1";
    std::string log;
    const int status = RunCommand(command, &log);
    EXPECT_EQ(status, 0) << command << "\n" << log;
    if (status == 0)
        fs::rename(partial, path);
    return path;
}

TempFolder::TempFolder()
{
    std::string pattern = (fs::temp_directory_path() / "reelsmith-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace reelsmith::test
