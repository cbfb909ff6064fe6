#include "media/ffmpeg_api.h"

namespace reelsmith::detail {

FFApi& mutableFFApi()
{
    static FFApi table;
    return table;
}

}  // namespace reelsmith::detail
