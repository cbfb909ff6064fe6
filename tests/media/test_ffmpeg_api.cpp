#include <gtest/gtest.h>

#include "media/ffmpeg_api.h"

TEST(FFApi, TableStartsUnbound)
{
    EXPECT_EQ(reelsmith::ff().av_frame_alloc, nullptr);
    EXPECT_EQ(reelsmith::ff()._snprintf, nullptr);
}
