#include "base/same_file.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <system_error>

namespace reelsmith {

namespace {

bool IsSchemeChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; }

// The libraries read "name:" as a protocol when the name starts with scheme characters and
// a colon ("subfile,," is the one scheme that carries options before its colon).
bool NamesAProtocol(const std::string& name)
{
    size_t end = 0;
    while (end < name.size() && IsSchemeChar(name[end]))
        ++end;
    if (end < name.size() && name[end] == ':')
        return true;
    return name.rfind("subfile,", 0) == 0 && name.find(':', end) != std::string::npos;
}

std::string CleanPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path clean =
        std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
    return error ? std::filesystem::path(path).lexically_normal().string() : clean.string();
}

}  // namespace

std::optional<std::string> LocalPathOf(const std::string& name)
{
    if (name.rfind("file:", 0) == 0)
        return name.substr(5);
    if (name == "-" || NamesAProtocol(name))
        return std::nullopt;
    return name;
}

bool SameFile(const std::string& a, const std::string& b)
{
    const std::optional<std::string> pathA = LocalPathOf(a);
    const std::optional<std::string> pathB = LocalPathOf(b);
    if (!pathA || !pathB || pathA->empty() || pathB->empty())
        return false;
    struct stat statA {};
    struct stat statB {};
    if (::stat(pathA->c_str(), &statA) == 0 && ::stat(pathB->c_str(), &statB) == 0)
        return statA.st_dev == statB.st_dev && statA.st_ino == statB.st_ino;
    return CleanPath(*pathA) == CleanPath(*pathB);
}

std::string InputWrittenBy(const std::string& output, const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs)
        if (SameFile(output, input))
            return input;
    return {};
}

}  // namespace reelsmith
