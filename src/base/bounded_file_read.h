#pragma once
// Reading a small file the user names (settings, themes, file lists) without trusting it:
// only a regular file is read, opening never blocks on a pipe, and the size cap holds for
// what is read, not only for the size seen first (the file may grow meanwhile).
#include <cstddef>
#include <string>

namespace reelsmith {

enum class TBoundedRead { Read, CannotOpen, NotRegular, TooLarge, CannotRead };

// path is the name's bytes. On CannotOpen and CannotRead, *error holds errno.
TBoundedRead ReadBoundedFile(const std::string& path, size_t maxBytes, std::string* bytes, int* error);

}  // namespace reelsmith
