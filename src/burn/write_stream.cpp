#include "burn/write_stream.h"

using namespace burn;  // libburn declares its C API in this namespace for C++

namespace reelsmith {

TWriteStream::TWriteStream(burn_source* image, TCancelSignal& cancel, double bytesPerSecond, TImageReadHook hook)
    : m_Image(image), m_Cancel(cancel), m_BytesPerSecond(bytesPerSecond), m_Hook(std::move(hook))
{
    m_Source.refcount = 1;  // ours; see Source()
    m_Source.get_size = &TWriteStream::GetSize;
    m_Source.set_size = &TWriteStream::SetSize;
    m_Source.free_data = &TWriteStream::FreeData;
    m_Source.data = this;
    m_Source.version = 1;
    m_Source.read_xt = &TWriteStream::Read;
    m_Source.cancel = &TWriteStream::Cancel;
}

TWriteStream::~TWriteStream() = default;

int TWriteStream::Read(burn_source* source, unsigned char* buffer, int size)
{
    TWriteStream& self = Of(source);
    const std::int64_t offset = self.m_Read.load();
    if (self.m_Hook)
        self.m_Hook(offset, self.m_Image->get_size(self.m_Image));
    if (offset == 0)
        self.m_Start = std::chrono::steady_clock::now();
    // Keep to the requested speed by waiting before the read, so an abort ends the wait too.
    if (self.m_BytesPerSecond > 0 && offset > 0) {
        const auto due =
            self.m_Start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(static_cast<double>(offset) / self.m_BytesPerSecond));
        if (due > std::chrono::steady_clock::now())
            self.m_Cancel.WaitUntil(due);
    }
    if (self.m_Cancel.Requested())
        return -1;
    burn_source* image = self.m_Image;
    const int got = image->read ? image->read(image, buffer, size) : image->read_xt(image, buffer, size);
    if (got > 0)
        self.m_Read += got;
    else if (got < 0 || (size > 0 && offset < image->get_size(image))) {
        self.m_Broken = true;
        return -1;
    }
    return got;
}

off_t TWriteStream::GetSize(burn_source* source)
{
    burn_source* image = Of(source).m_Image;
    return image->get_size(image);
}

int TWriteStream::SetSize(burn_source* source, off_t size)
{
    burn_source* image = Of(source).m_Image;
    return image->set_size(image, size);
}

// Never reached while Source() keeps its own reference; the image is freed by its owner.
void TWriteStream::FreeData(burn_source* /*source*/) {}

int TWriteStream::Cancel(burn_source* source)
{
    burn_source* image = Of(source).m_Image;
    if (image->read == nullptr && image->version >= 1 && image->cancel)
        return image->cancel(image);
    return 1;
}

}  // namespace reelsmith
