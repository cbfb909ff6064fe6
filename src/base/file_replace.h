#pragma once
// Saving a small file the user keeps (a file list, a run log) so that the name holds either
// the new contents whole or the old file untouched: the contents go to a hidden temporary
// file in the same folder, are synced and checked, and only then renamed over the name. A
// full disk, a folder that cannot be written or a failed sync leave the old file and no
// temporary one. The replaced file keeps its permissions; a new one gets 0666 less the umask.
#include <string>
#include <string_view>

namespace reelsmith {

// path is the name's bytes. False with *error set to the reason (the system's message) when
// any step failed; an existing name that is not a regular file (a folder, a pipe, a device,
// a link to one) is never replaced.
bool ReplaceFileContents(const std::string& path, std::string_view contents, std::string* error);

}  // namespace reelsmith
