// Typed commands checked before a run: what reads passes, each kind of typing error is named.
#include <gtest/gtest.h>

#include <string>

#include "engine/options/command_check.h"
#include "engine_test_support.h"

namespace reelsmith {
namespace {

struct CheckCase {
    const char* options;
    const char* output;
    const char* problem;  // a part of the message; "" = reads
};

const CheckCase kCases[] = {
    {"-b:a 96k -ac 2 -ar 44100 -c:a aac -c:v mpeg4 -sn ", "out.avi", ""},
    {"-c:v libx264 -crf 23 -preset fast -c:a copy", "out.mkv", ""},
    {"-vf scale=640:-2 -c:v mpeg4 -q:v 3 -an", "out.mp4", ""},
    {"-f matroska -c copy", "out.unknownext", ""},
    {"", "out.avi", ""},
    {"-c:v libx26", "out.avi", "Unknown encoder 'libx26'"},
    {"-acodec nosuchaudio", "out.mkv", "Unknown encoder 'nosuchaudio'"},
    {"-foo 1", "out.avi", "Option not found \"foo\""},
    {"-c:v", "out.avi", "Missing argument for option \"c:v\""},
    {"-f nosuchmuxer", "out.avi", "Requested output format 'nosuchmuxer' is not a suitable output format"},
    {"-c:v mpeg4", "out.unknownext", "Unable to find a suitable output format for 'out.unknownext'"},
    {"-ss soon", "out.avi", "Invalid duration specification for \"ss\": \"soon\""},
};

TEST(CommandCheck, TypingErrorsAreNamedBeforeARun)
{
    test::LoadEngineLibraries();
    for (const CheckCase& c : kCases) {
        const std::string problem = CommandProblem(c.options, c.output);
        if (std::string(c.problem).empty())
            EXPECT_EQ(problem, "") << c.options;
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.options << " -> " << problem;
    }
}

}  // namespace
}  // namespace reelsmith
