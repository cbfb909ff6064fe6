#pragma once
// Saving the frame on show as a picture file: the picture type follows the name's
// extension, and the file appears under its name only once it is complete.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/format_converter.h"

namespace reelsmith {

enum class TImageKind { Bmp, Jpeg, Png };

struct TImageTarget {
    std::string Path;
    TImageKind Kind = TImageKind::Bmp;
};

// ".bmp", ".jpg" or ".png".
const char* ImageExtension(TImageKind kind);

// The picture type of a chosen name: ".bmp", ".jpg", ".jpeg" and ".png" in any letter
// case decide it and the name stays; any other name (none, or another extension) gets
// the extension of `fallback`, the type the save dialog's filter shows, appended.
TImageTarget ChooseImageTarget(const std::string& chosen, TImageKind fallback = TImageKind::Bmp);

// A Windows bitmap file, 32 bits per pixel, of a 32-bit BGRA picture; empty for any
// other picture.
std::vector<uint8_t> EncodeBmp32(const TRGBPicture& picture);

// Writes `data` under a hidden temporary name in the folder of `path` and renames it to
// `path` once it is complete and synced; a replaced file keeps its permissions. On failure
// nothing is left behind and `error` holds the system's text of the reason.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string& error);

}  // namespace reelsmith
