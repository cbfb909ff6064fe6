#pragma once
// Where the update check asks and which page the user is sent to: the maker's web site is a
// build setting (REELSMITH_MAKER_URL); REELSMITH_UPDATE_URL in the environment replaces the
// update file's address, so tests can point the check at a local server.
#include <string>

namespace reelsmith {

// The maker's web site, without a trailing "/".
std::string MakerWebSite();

// The update file: $REELSMITH_UPDATE_URL when set, else the web site + "/upd_converter.ini".
std::string UpdateFileUrl();

}  // namespace reelsmith
