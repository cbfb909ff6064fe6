#include "update/update_address.h"

#include <cstdlib>

#ifndef REELSMITH_MAKER_URL
#define REELSMITH_MAKER_URL "https://www.tarnwick.example"
#endif

namespace reelsmith {

std::string MakerWebSite()
{
    std::string site = REELSMITH_MAKER_URL;
    while (!site.empty() && site.back() == '/')
        site.pop_back();
    return site;
}

std::string UpdateFileUrl()
{
    if (const char* url = std::getenv("REELSMITH_UPDATE_URL"); url && *url)
        return url;
    return MakerWebSite() + "/upd_converter.ini";
}

}  // namespace reelsmith
