#pragma once
// The permissions a new file gets from the user's file-creation mask. A file made under a
// private temporary name (mkstemp gives 0600) is set to these before it takes its final name.
#include <sys/types.h>

namespace reelsmith {

// The process's file-creation mask, read without changing it: umask() would have to set it,
// racing with other threads creating files.
mode_t CurrentUmask();
// 0666 less the mask: what open(2) would have given a new file.
inline mode_t NewFileMode() { return 0666 & ~CurrentUmask(); }

}  // namespace reelsmith
