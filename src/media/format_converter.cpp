#include "media/format_converter.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace reelsmith {

TFormatConverter::~TFormatConverter() = default;

int TFormatConverter::BitsPixel() const { return FBitsPixel == 15 ? 16 : FBitsPixel; }

void TFormatConverter::SetBitsPixel(int value)
{
    switch (value) {
    case 8: FAVPixFmt = AV_PIX_FMT_BGR8; break;
    case 15: FAVPixFmt = AV_PIX_FMT_BGR555LE; break;
    case 16: FAVPixFmt = AV_PIX_FMT_BGR565LE; break;
    case 24: FAVPixFmt = AV_PIX_FMT_BGR24; break;
    case 32: FAVPixFmt = AV_PIX_FMT_BGRA; break;
    default: throw std::invalid_argument("Invalid BitsPixel " + std::to_string(value));
    }
    FBitsPixel = value;
    FHasPicture = false;
}

TBitmapPixelFormat TFormatConverter::BitmapPixelFormat() const
{
    switch (FBitsPixel) {
    case 8: return TBitmapPixelFormat::Bits8;
    case 15: return TBitmapPixelFormat::Bits15;
    case 16: return TBitmapPixelFormat::Bits16;
    case 24: return TBitmapPixelFormat::Bits24;
    default: return TBitmapPixelFormat::Bits32;
    }
}

void TFormatConverter::SetBitmapPixelFormat(TBitmapPixelFormat value)
{
    switch (value) {
    case TBitmapPixelFormat::Bits8: SetBitsPixel(8); break;
    case TBitmapPixelFormat::Bits15: SetBitsPixel(15); break;
    case TBitmapPixelFormat::Bits16: SetBitsPixel(16); break;
    case TBitmapPixelFormat::Bits24: SetBitsPixel(24); break;
    case TBitmapPixelFormat::Bits32: SetBitsPixel(32); break;
    default: throw std::invalid_argument("Invalid PixelFormat " + std::to_string(static_cast<int>(value)));
    }
}

bool TFormatConverter::GrowBuffer(int width, int height)
{
    const int size = ff().av_image_get_buffer_size(FAVPixFmt, width, height, 1);
    if (size < 0) {
        FLastErrMsg = "Cannot allocate the RGB picture";
        return false;
    }
    if (FRGBBuffer.size() < static_cast<size_t>(size))
        FRGBBuffer.resize(static_cast<size_t>(size));
    ff().av_image_fill_arrays(FRGBPlanes, FRGBLineSizes, FRGBBuffer.data(), FAVPixFmt, width, height, 1);
    return true;
}

bool TFormatConverter::PictureToRGB(const uint8_t* const planes[], const int lineSizes[], AVPixelFormat sourceFormat,
                                    int width, int height, bool toBitmap)
{
    FHasPicture = false;
    if (width <= 0 || height <= 0) {
        FLastErrMsg = "Invalid picture size";
        return false;
    }
    if (!GrowBuffer(width, height))
        return false;
    // The cached-context call frees the old context itself when it cannot reuse it.
    FtoRGB_convert_ctx.reset(ff().sws_getCachedContext(FtoRGB_convert_ctx.release(), width, height, sourceFormat, width,
                                                       height, FAVPixFmt, Fsws_flags, nullptr, nullptr, nullptr));
    if (!FtoRGB_convert_ctx) {
        FLastErrMsg = "Cannot initialize the toRGB conversion context";
        return false;
    }
    if (ff().sws_scale(FtoRGB_convert_ctx.get(), planes, lineSizes, 0, height, FRGBPlanes, FRGBLineSizes) != height) {
        FLastErrMsg = "Cannot convert the picture";
        return false;
    }
    FWidth = width;
    FHeight = height;
    FHasPicture = true;
    return !toBitmap || RGBToBitmap();
}

bool TFormatConverter::RGBToBitmap()
{
    if (!FHasPicture) {
        FLastErrMsg = "picture not ready, please decode first";
        return false;
    }
    FBitmap.Width = FWidth;
    FBitmap.Height = FHeight;
    FBitmap.PixFmt = FAVPixFmt;
    FBitmap.Stride = FRGBLineSizes[0];
    const size_t size = static_cast<size_t>(FBitmap.Stride) * FHeight;
    FBitmap.Bytes.resize(size);
    std::memcpy(FBitmap.Bytes.data(), FRGBPlanes[0], size);
    return true;
}

}  // namespace reelsmith
