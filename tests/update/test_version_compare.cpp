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
        {"6.0", false},
        {"5.9", false},
        {"6.1", true},
        {"7.0", true},
        {"6.10", true},
        {"10.0", true},
        {"7", false},
        {"7.", false},
        {".1", false},
        {"", false},
        {"6.1.2", false},
        {"6.a", false},
        {"<html>", false},
        {"99.99", true},
        {"100.00", false},  // over 5
        {"-1.9", false},
        {"5.99", false},
        // Blanks, line ends and a byte-order mark around the version, as editors save it.
        {"7.0\n", true},
        {"7.0\r\n", true},
        {" 6.1", true},
        {"\t7.0 \r\n\r\n", true},
        {"\xEF\xBB\xBF"
         "7.0\r\n",
         true},
        {" \xEF\xBB\xBF"
         "7.0",
         true},
        {"\xEF\xBB\xBF", false},
        {" \r\n", false},
        // Only digits count: a sign or a blank inside is no version.
        {"7.-1", false},
        {"-7.0", false},
        {"+7.0", false},
        {"7.+1", false},
        {"7. 1", false},
        {"7 .1", false},
        {"\xEF\xBB\xBF"
         "5.0",
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNewerVersion(kOwnVersion, c.published), c.newer) << '"' << c.published << '"';
}

TEST(VersionCompare, OwnVersionThatIsNoVersionNeverAsks) { EXPECT_FALSE(IsNewerVersion("six", "7.0")); }

TEST(VersionCompare, TheOfferShowsTheVersionAlone)
{
    EXPECT_EQ(reelsmith::PublishedVersionText("\xEF\xBB\xBF 7.0\r\n"), "7.0");
    EXPECT_EQ(reelsmith::PublishedVersionText("7.0"), "7.0");
}
