#pragma once
// Which protocols a name may reach. A batch converter is fed names from lists that others
// wrote: by default an input is a local file, and only the program's standard input ("-",
// "pipe:" or "pipe:0") may be a pipe. Network and compound protocols (http, tcp, concat,
// subfile, ...) need the user's own input option -protocol_whitelist. Outputs, and every file
// written besides them, are local files or the standard output, always: a compound protocol
// (md5:, tee:, cache:, ...) could write a file that no name check sees.
#include <string>

namespace reelsmith {

inline constexpr const char* kFileProtocols = "file";
inline constexpr const char* kStandardInputProtocols = "pipe";

// True for the names that mean the standard input.
bool IsStandardInputName(const std::string& name);

// The whitelist an input gets when its options set none.
const char* DefaultInputProtocols(const std::string& name);

// Empty when the protocol of name is on the comma-separated whitelist; otherwise the
// sentence that says why the input is refused. Needs the libraries loaded.
std::string RefusedProtocolText(const std::string& name, const std::string& whitelist);

// True for the names that mean the standard output.
bool IsStandardOutputName(const std::string& name);

// The whitelist of a name written to: "file", and "pipe" for the standard output.
const char* OutputProtocols(const std::string& name);

// Empty when name may be written (a local file, or the standard output); otherwise the
// sentence that says why not. Needs the libraries loaded.
std::string RefusedOutputProtocolText(const std::string& name);

}  // namespace reelsmith
