#pragma once
// Turns a decoded picture into a packed RGB picture of the same size (never resized).
// The default 32-bit output is BGRA in memory (B, G, R, 0xFF per pixel), which a
// QImage::Format_RGB32 can wrap without a copy on little-endian machines.

#include <cstdint>
#include <string>
#include <vector>

#include "media/ffmpeg_api.h"
#include "media/ffmpeg_handles.h"

namespace reelsmith {

// A packed picture: rows top-down, Stride bytes apart.
struct TRGBPicture {
    int Width = 0;
    int Height = 0;
    int Stride = 0;
    AVPixelFormat PixFmt = AV_PIX_FMT_BGRA;
    std::vector<uint8_t> Bytes;

    const uint8_t* ScanLine(int row) const { return Bytes.data() + static_cast<size_t>(row) * Stride; }
};

// The bitmap formats of a picture, in the order of the original's bitmap type (the ordinal is
// what "Invalid PixelFormat %d" reports).
enum class TBitmapPixelFormat { Device, Bits1, Bits4, Bits8, Bits15, Bits16, Bits24, Bits32, Custom };

class TFormatConverter {
public:
    TFormatConverter() = default;
    ~TFormatConverter();
    TFormatConverter(const TFormatConverter&) = delete;
    TFormatConverter& operator=(const TFormatConverter&) = delete;

    // Converts the planes; with toBitmap the result is also copied into Bitmap().
    bool PictureToRGB(const uint8_t* const planes[], const int lineSizes[], AVPixelFormat sourceFormat, int width,
                      int height, bool toBitmap = true);
    // Copies the last converted picture into Bitmap().
    bool RGBToBitmap();

    const TRGBPicture& Bitmap() const { return FBitmap; }
    // 8, 15, 16, 24 or 32 (default); anything else throws std::invalid_argument.
    int BitsPixel() const;
    void SetBitsPixel(int value);
    AVPixelFormat BMPPixFmt() const { return FAVPixFmt; }
    // The bitmap format that BitsPixel gives; setting it sets BitsPixel. Only 8-bit to 32-bit
    // exist; any other throws std::invalid_argument("Invalid PixelFormat N").
    TBitmapPixelFormat BitmapPixelFormat() const;
    void SetBitmapPixelFormat(TBitmapPixelFormat value);
    // Plane description of the converted picture; null until a conversion succeeded.
    const uint8_t* const* RGBPictureRef() const { return FHasPicture ? FRGBPlanes : nullptr; }
    const int* RGBLineSizes() const { return FRGBLineSizes; }
    int ScalerFlags() const { return Fsws_flags; }
    void SetScalerFlags(int flags) { Fsws_flags = flags; }
    const std::string& LastErrMsg() const { return FLastErrMsg; }

private:
    bool GrowBuffer(int width, int height);

    AVPixelFormat FAVPixFmt = AV_PIX_FMT_BGRA;
    int FBitsPixel = 32;
    TRGBPicture FBitmap;
    std::vector<uint8_t> FRGBBuffer;
    uint8_t* FRGBPlanes[4] = {};
    int FRGBLineSizes[4] = {};
    int FWidth = 0;
    int FHeight = 0;
    bool FHasPicture = false;
    int Fsws_flags = SWS_BICUBIC;
    TSwsContextPtr FtoRGB_convert_ctx;
    std::string FLastErrMsg;
};

}  // namespace reelsmith
