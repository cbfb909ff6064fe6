#pragma once
// The data project: the files of one ISO 9660 session with Joliet and Rock Ridge, held as a
// libisofs image until it is turned into the byte stream that a recorder writes.
#include <cstdint>
#include <string>

#include "burn/burn_handles.h"
#include "burn/burn_types.h"

namespace reelsmith {

class TDataProject {
public:
    TDataProject();
    ~TDataProject() = default;
    TDataProject(const TDataProject&) = delete;
    TDataProject& operator=(const TDataProject&) = delete;

    bool Ok() const { return m_Image != nullptr; }
    // Adds the file at sourcePath as destinationFolder + name ("/" is the disc's root).
    // The source must be a readable regular file; empty on success, else why not.
    std::string AddFile(const std::string& sourcePath, const std::string& destinationFolder, const std::string& name);
    std::int64_t Size() const { return m_Size; }
    int Count() const { return m_Count; }

    // The finished image as a stream; null with the reason in error. Options and ISO
    // information are read at this point.
    TImageStreamPtr CreateStream(const TBurningOptions& options, const TISOInfo& iso, std::string* error);

    // Percent of the stream's read-ahead buffer that is filled.
    static float StreamFill(burn_source* stream);
    // Read-ahead of the image stream: the cache size, between 1 and 32 MiB.
    static int BufferBlocks(std::int64_t cacheSize);

private:
    TIsoImagePtr m_Image;
    std::int64_t m_Size = 0;
    std::int64_t m_Largest = 0;
    int m_Count = 0;
};

}  // namespace reelsmith
