#include "app/program_paths.h"

#include <filesystem>
#include <system_error>

namespace reelsmith {

std::string ProgramFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace reelsmith
