#include "base/program_paths.h"

#include <filesystem>
#include <system_error>
#include <vector>

#ifndef REELSMITH_DATA_DIR
#define REELSMITH_DATA_DIR "/usr/local/share/reelsmith"
#endif

namespace reelsmith {

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace

std::string ProgramFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return WithSlash(exe.parent_path().string());
}

std::string InstalledDataFolder() { return WithSlash(REELSMITH_DATA_DIR); }

std::string FindProgramFile(const std::string& name)
{
    std::vector<std::string> folders;
    if (const std::string program = ProgramFolder(); !program.empty()) {
        folders.push_back(program);
        folders.push_back(program + "../share/reelsmith/");
    }
    folders.push_back(InstalledDataFolder());
    for (const std::string& folder : folders) {
        const std::filesystem::path candidate = std::filesystem::path(folder + name).lexically_normal();
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec))
            return candidate.string();
    }
    return {};
}

}  // namespace reelsmith
