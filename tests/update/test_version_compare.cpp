#include <gtest/gtest.h>

#include "update/version_compare.h"

using reelsmith::IsNewerVersion;
using reelsmith::kOwnVersion;

TEST(VersionCompare, PublishedTextAgainstOurs)
{
    const struct {
        const char* published;
        bool newer;
    } cases[] = {
        {"6.0", false},  {"5.9", false},   {"6.1", true},     {"7.0", true},   {"6.10", true},
        {"10.0", true},  {"6.1\n", false},  // the line break makes the minor part no integer
        {"7", false},    {"7.", false},    {".1", false},     {"", false},     {"6.1.2", false},
        {"6.a", false},  {" 6.1", false},  {"<html>", false}, {"99.99", true}, {"100.00", false},  // over 5
        {"-1.9", false}, {"5.99", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNewerVersion(kOwnVersion, c.published), c.newer) << '"' << c.published << '"';
}

TEST(VersionCompare, OwnVersionThatIsNoVersionNeverAsks) { EXPECT_FALSE(IsNewerVersion("six", "7.0")); }
