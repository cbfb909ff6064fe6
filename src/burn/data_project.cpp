#include "burn/data_project.h"

#include <stdint.h>  // libisofs.h needs the fixed-width types first

#include <fcntl.h>
#include <libisofs/libisofs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "burn/burn_runtime.h"

namespace reelsmith {

namespace {

constexpr std::int64_t kIso9660FileLimit = 0xFFFFFFFFLL;  // one extent; larger files need level 3

std::string IsoErrorText(int code)
{
    std::string text = TBurnRuntime::TakeLibraryError();
    return text.empty() ? std::string(iso_error_to_msg(code)) : text;
}

// Opens the source as the burn will, so an unreadable file is refused now, not mid-burn.
std::string CheckReadable(const std::string& path, std::int64_t* size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::strerror(errno);
    struct stat st {};
    const bool isFile = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!isFile)
        return "Not a regular file";
    *size = st.st_size;
    return {};
}

// The folder below the root for destinationFolder ("/" or "\" alone is the root), created
// as needed.
int FolderFor(IsoImage* image, const std::string& destinationFolder, IsoDir** folder)
{
    *folder = iso_image_get_root(image);
    std::string part;
    std::istringstream parts(destinationFolder);
    while (std::getline(parts, part, destinationFolder.find('\\') != std::string::npos ? '\\' : '/')) {
        if (part.empty())
            continue;
        IsoNode* node = nullptr;
        if (iso_dir_get_node(*folder, part.c_str(), &node) == 1 && iso_node_get_type(node) == LIBISO_DIR) {
            *folder = reinterpret_cast<IsoDir*>(node);
            continue;
        }
        IsoDir* created = nullptr;
        const int result = iso_tree_add_new_dir(*folder, part.c_str(), &created);
        if (result < 0)
            return result;
        *folder = created;
    }
    return 1;
}

}  // namespace

TDataProject::TDataProject()
{
    IsoImage* image = nullptr;
    if (iso_image_new("", &image) < 0)
        return;
    m_Image.reset(image);
    iso_tree_set_follow_symlinks(image, 1);  // a linked source is burned as its file
}

std::string TDataProject::AddFile(const std::string& sourcePath, const std::string& destinationFolder,
                                  const std::string& name)
{
    if (!m_Image)
        return "No data project";
    std::int64_t size = 0;
    std::string error = CheckReadable(sourcePath, &size);
    if (!error.empty())
        return error;
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(sourcePath, ec).string();
    TBurnRuntime::DropLibraryMessages();
    IsoDir* folder = nullptr;
    int result = FolderFor(m_Image.get(), destinationFolder, &folder);
    if (result >= 0)
        result = iso_tree_add_new_node(m_Image.get(), folder, name.c_str(), absolute.c_str(), nullptr);
    if (result < 0)
        return IsoErrorText(result);
    m_Size += size;
    m_Largest = std::max(m_Largest, size);
    ++m_Count;
    return {};
}

float TDataProject::StreamFill(burn_source* stream)
{
    size_t size = 0;
    size_t freeBytes = 0;
    if (iso_ring_buffer_get_status(stream, &size, &freeBytes) < 0 || size == 0)
        return 0;
    return 100.0f * static_cast<float>(size - freeBytes) / static_cast<float>(size);
}

int TDataProject::BufferBlocks(std::int64_t cacheSize)
{
    constexpr std::int64_t kBlock = 2048;
    return static_cast<int>(std::clamp<std::int64_t>(cacheSize / kBlock, 512, 16384));
}

TImageStreamPtr TDataProject::CreateStream(const TBurningOptions& options, const TISOInfo& iso, std::string* error)
{
    if (!m_Image) {
        *error = "No data project";
        return nullptr;
    }
    // The volume identifier field holds 32 bytes; longer labels are cut there.
    iso_image_set_volume_id(m_Image.get(), options.VolumeLabel.substr(0, 32).c_str());
    iso_image_set_application_id(m_Image.get(), iso.ApplicationIdentifier.c_str());
    IsoWriteOpts* newOpts = nullptr;
    if (iso_write_opts_new(&newOpts, 0) < 0) {
        *error = "Out of memory";
        return nullptr;
    }
    const TIsoWriteOptsPtr owned(newOpts);
    IsoWriteOpts* opts = newOpts;
    // Files of 4 GiB and more are only possible as several extents, which level 3 allows.
    const int level = m_Largest > kIso9660FileLimit ? 3 : std::max(2, static_cast<int>(iso.Level) + 1);
    iso_write_opts_set_iso_level(opts, level);
    // The volume label as typed, not cut down to upper-case d-characters.
    iso_write_opts_set_relaxed_vol_atts(opts, 1);
    iso_write_opts_set_rockridge(opts, 1);
    iso_write_opts_set_joliet(opts, 1);
    iso_write_opts_set_joliet_long_names(opts, 1);
    iso_write_opts_set_joliet_longer_paths(opts, 1);
    iso_write_opts_set_fifo_size(opts, BufferBlocks(options.CacheSize));
    TBurnRuntime::DropLibraryMessages();
    burn_source* stream = nullptr;
    const int result = iso_image_create_burn_source(m_Image.get(), opts, &stream);
    if (result < 0) {
        *error = IsoErrorText(result);
        return nullptr;
    }
    return TImageStreamPtr(stream);
}

}  // namespace reelsmith
