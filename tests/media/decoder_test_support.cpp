#include "decoder_test_support.h"

#include <gtest/gtest.h>

#include "media/ffmpeg_loader.h"
#include "support/test_media.h"

namespace reelsmith::test {

void RequireLibraries()
{
    static const bool loaded = FFLoader().Load(DecoderLibraries);
    ASSERT_TRUE(loaded) << FFLoader().LastErrMsg();
}

std::string MakeH264Clip()
{
    return MakeMedia("decoder-h264-aac.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=duration=2 "
                     "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p -c:a aac -shortest");
}

}  // namespace reelsmith::test
