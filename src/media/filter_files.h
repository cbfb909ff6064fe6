#pragma once
// The files a filter graph text makes the library open, read from the text before the library
// parses it (the filters open their files while the graph is parsed). Filters that open media
// (movie, amovie) are held to local files as inputs are: a name of another protocol is refused,
// and the text is rewritten so that what the opened file names (playlists, concat lists) stays
// local too. The files that filters write (statistics, dumps) are listed for the caller's
// checks.

#include <string>
#include <vector>

namespace reelsmith {

struct TFilterFile {
    std::string Filter;  // "psnr"
    std::string Option;  // "stats_file", by the option's own name (not an alias)
    std::string Name;    // the file, as the filter opens it
    bool ByPath = true;  // opened by its path; false: through a protocol
};

struct TFilterGraphFiles {
    std::string Graph;                // the text to parse instead of the one given
    std::vector<TFilterFile> Writes;  // files the filters write
    std::string Error;                // why the text is refused; empty when it is not
};

// Needs the libraries loaded.
TFilterGraphFiles GuardFilterGraph(const std::string& graph);

}  // namespace reelsmith
