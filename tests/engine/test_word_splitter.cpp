#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_error.h"
#include "engine/options/word_splitter.h"

namespace reelsmith {
namespace {

struct SplitCase {
    const char* text;
    std::vector<std::string> words;
};

class SplitWords : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitWords, GivesTheWords) { EXPECT_EQ(SplitOptionWords(GetParam().text), GetParam().words) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(
    Quoting, SplitWords,
    ::testing::Values(SplitCase{"", {}}, SplitCase{" \t  ", {}}, SplitCase{"-c:v mpeg4", {"-c:v", "mpeg4"}},
                      SplitCase{"  -b:a\t32k   -sn ", {"-b:a", "32k", "-sn"}},
                      SplitCase{"-vf \"transpose=1,transpose=1\"", {"-vf", "transpose=1,transpose=1"}},
                      SplitCase{"-vf \"scale=1280:720\"  -sn ", {"-vf", "scale=1280:720", "-sn"}},
                      SplitCase{"-metadata \"title=a b\"", {"-metadata", "title=a b"}},
                      SplitCase{"a\"b c\"d", {"ab cd"}}, SplitCase{"\\\"quoted\\\"", {"\"quoted\""}},  // \" -> "
                      SplitCase{"a\\\\\"b c\"", {"a\\b c"}},          // \\" -> \ and quoting on
                      SplitCase{"a\\\\\\\"b", {"a\\\"b"}},            // \\\" -> \"
                      SplitCase{"c:\\dir\\file", {"c:\\dir\\file"}},  // lone backslashes stay
                      SplitCase{"\"a\"\"b c", {"a\"b", "c"}},         // "" inside quotes, quoting ends
                      SplitCase{"\"\"", {""}},                        // an empty quoted word
                      SplitCase{"\"unterminated text", {"unterminated text"}},
                      SplitCase{"trailing\\", {"trailing\\"}}));

TEST(SplitWords, StopsAtZeroByte)
{
    const std::string text("-a 1\0-b 2", 9);
    EXPECT_EQ(SplitOptionWords(text), (std::vector<std::string>{"-a", "1"}));
}

TEST(SplitWords, KeepsUtf8BytesUntouched)
{
    EXPECT_EQ(SplitOptionWords("-metadata title=\xC3\xA9t\xC3\xA9"),
              (std::vector<std::string>{"-metadata", "title=\xC3\xA9t\xC3\xA9"}));
}

struct IntCase {
    const char* text;
    bool ok;
    long long value;
};

TEST(Conversions, WholeNumbers)
{
    const IntCase cases[] = {
        {"2", true, 2},
        {"-1", true, -1},
        {"+7", true, 7},
        {"$1F", true, 31},
        {"0x10", true, 16},
        {" 3 ", true, 3},
        {"two", false, 0},
        {"", false, 0},
        {"1k", false, 0},
        {"2147483647", true, 2147483647LL},
        {"2147483648", false, 0},
        {"-2147483648", true, -2147483648LL},
        {"-2147483649", false, 0},
        {"1.5", false, 0},
    };
    for (const auto& c : cases) {
        if (c.ok) {
            EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
        } else {
            EXPECT_THROW(StrToInt(c.text), TConvertError) << c.text;
        }
    }
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_THROW(StrToInt64("9223372036854775808"), TConvertError);
}

TEST(Conversions, MessagesAreTheRuntimes)
{
    try {
        StrToInt("two");
        FAIL();
    } catch (const TConvertError& e) {
        EXPECT_STREQ(e.what(), "'two' is not a valid integer value");
    }
    try {
        StrToFloat("1,5x");
        FAIL();
    } catch (const TConvertError& e) {
        EXPECT_STREQ(e.what(), "'1,5x' is not a valid floating point value");
    }
}

TEST(Conversions, FloatingPoint)
{
    EXPECT_DOUBLE_EQ(StrToFloat("12.5"), 12.5);
    EXPECT_DOUBLE_EQ(StrToFloat("-0.25"), -0.25);
    EXPECT_DOUBLE_EQ(StrToFloat("1e3"), 1000.0);
    EXPECT_THROW(StrToFloat("nan"), TConvertError);
    EXPECT_THROW(StrToFloat("inf"), TConvertError);
    EXPECT_THROW(StrToFloat(""), TConvertError);
}

}  // namespace
}  // namespace reelsmith
