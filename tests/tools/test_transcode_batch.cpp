// The batch mode of the headless tool as a script would run it: a list of clips into one
// folder, with the inputs and outputs a real batch meets (a damaged clip, an output left by an
// earlier run, two clips of one name), several at once, and a signal in the middle.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "support/test_media.h"

using namespace reelsmith::test;
namespace fs = std::filesystem;

namespace {

const std::string kTool = REELSMITH_TRANSCODE_TOOL;
const std::string kOptions = "-c:v mpeg4 -c:a aac";

std::string Clip()
{
    return MakeMedia("batch_clip.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                     "-f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac -shortest");
}

std::string LongClip()
{
    return MakeMedia("batch_long.mkv",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=60 "
                     "-f lavfi -i sine=frequency=440:duration=60 -c:v mpeg4 -q:v 5 -c:a aac -shortest");
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Every file under folder (relative names, sorted), hidden ones included.
std::vector<std::string> Files(const std::string& folder)
{
    std::vector<std::string> names;
    if (fs::exists(folder))
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file())
                names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Result {
    int status = -1;
    std::string out;
    std::string err;
    // Each input's first word ("converted", ...) by its path.
    std::map<std::string, std::string> outcome;
    std::map<std::string, std::string> reason;
};

// Runs the tool in folder with args; stdin from the file input when given.
Result Batch(const std::string& folder, const std::vector<std::string>& args, const std::string& input = {})
{
    std::string command = "cd " + ShellQuote(folder) + " && timeout -k 10 300 " + ShellQuote(kTool);
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    command += " <" + (input.empty() ? std::string("/dev/null") : ShellQuote(input)) + " 2>" +
               ShellQuote(folder + "/stderr.txt");
    Result result;
    result.status = RunCommand(command, &result.out);
    result.err = ReadText(folder + "/stderr.txt");
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        const auto first = line.find('\t');
        const auto second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string path = line.substr(first + 1, second - first - 1);
        result.outcome[path] = line.substr(0, first);
        result.reason[path] = line.substr(second + 1);
    }
    return result;
}

// The sources of a case: "good" clips and "damaged" ones (the clip cut short).
void MakeSource(const std::string& path, bool damaged)
{
    fs::create_directories(fs::path(path).parent_path());
    if (damaged)
        WriteText(path, ReadText(Clip()).substr(0, 3000));
    else
        fs::copy_file(Clip(), path);
}

}  // namespace

TEST(TranscodeBatch, EachInputIsConvertedSkippedOrFailedWithItsOutputNamedAsInTheDesktopRuns)
{
    struct Case {
        const char* name;
        std::vector<std::string> sources;   // relative to the case's folder
        std::vector<std::string> damaged;   // sources made from a cut clip
        std::vector<std::string> existing;  // outputs left by an earlier run, in out/
        bool fromStdin;                     // the list on standard input ("-"), relative names
        std::string jobs;
        std::map<std::string, std::string> outcome;  // by source
        std::vector<std::string> outputs;            // the files of out/ afterwards
        int status;
    };
    const std::vector<Case> cases = {
        {"all good",
         {"a/one.mp4", "a/two.mp4", "a/three.mp4"},
         {},
         {},
         false,
         "2",
         {{"a/one.mp4", "converted"}, {"a/two.mp4", "converted"}, {"a/three.mp4", "converted"}},
         {"one.mkv", "three.mkv", "two.mkv"},
         0},
        {"one damaged input",
         {"a/one.mp4", "a/bad.mp4"},
         {"a/bad.mp4"},
         {},
         false,
         "2",
         {{"a/one.mp4", "converted"}, {"a/bad.mp4", "failed"}},
         {"one.mkv"},
         1},
        {"an existing output is kept",
         {"a/one.mp4", "a/two.mp4"},
         {},
         {"two.mkv"},
         false,
         "1",
         {{"a/one.mp4", "converted"}, {"a/two.mp4", "skipped"}},
         {"one.mkv", "two.mkv"},
         1},
        {"same name in two folders",
         {"a/clip.mp4", "b/clip.mp4"},
         {},
         {},
         false,
         "2",
         {{"a/clip.mp4", "converted"}, {"b/clip.mp4", "converted"}},
         {"clip (1).mkv", "clip.mkv"},
         0},
        // A rerun after the first of them was converted: the second still gets "(1)".
        {"same name, the first done before",
         {"a/clip.mp4", "b/clip.mp4"},
         {},
         {"clip.mkv"},
         false,
         "2",
         {{"a/clip.mp4", "skipped"}, {"b/clip.mp4", "converted"}},
         {"clip (1).mkv", "clip.mkv"},
         1},
        {"list from stdin",
         {"a/one.mp4", "b/two.mp4"},
         {},
         {},
         true,
         "2",
         {{"a/one.mp4", "converted"}, {"b/two.mp4", "converted"}},
         {"one.mkv", "two.mkv"},
         0},
        {"a missing input",
         {"a/one.mp4", "a/gone.mp4"},
         {},
         {},
         false,
         "1",
         {{"a/one.mp4", "converted"}, {"a/gone.mp4", "failed"}},
         {"one.mkv"},
         1},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::string list;
        for (const std::string& source : c.sources) {
            if (source == "b/link.mp4") {
                fs::create_directories(folder.file("b"));
                fs::create_symlink(folder.file("a/one.mp4"), folder.file(source));
            } else if (source.find("gone") == std::string::npos) {
                MakeSource(folder.file(source),
                           std::find(c.damaged.begin(), c.damaged.end(), source) != c.damaged.end());
            }
            list += (c.fromStdin ? source : folder.file(source)) + "\n";
        }
        fs::create_directories(folder.file("out"));
        for (const std::string& name : c.existing)
            WriteText(folder.file("out/" + name), "kept");
        WriteText(folder.file("list.fls"), list);
        Result r = Batch(folder.path(),
                         {"--batch", c.fromStdin ? "-" : "list.fls", "--output-dir", "out", "--format", "mkv", "--jobs",
                          c.jobs, kOptions},
                         c.fromStdin ? folder.file("list.fls") : std::string());
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out << r.err;
        for (const auto& [source, outcome] : c.outcome) {
            EXPECT_EQ(r.outcome[folder.file(source)], outcome) << c.name << ": " << source << "\n" << r.out;
            EXPECT_FALSE(r.reason[folder.file(source)].empty()) << c.name << ": " << source;
        }
        EXPECT_NE(r.out.find("Converted: "), std::string::npos) << c.name;
        EXPECT_EQ(Files(folder.file("out")), c.outputs) << c.name << "\n" << r.out;
        for (const std::string& name : c.existing)
            EXPECT_EQ(ReadText(folder.file("out/" + name)), "kept") << c.name;
    }
}

TEST(TranscodeBatch, AnOutputBesideItsSourceNeverReplacesIt)
{
    TempFolder folder;
    MakeSource(folder.file("a/clip.mp4"), false);
    const std::string before = ReadText(folder.file("a/clip.mp4"));
    WriteText(folder.file("list.fls"), "a/clip.mp4\n");
    const Result r = Batch(folder.path(), {"--batch", "list.fls", "--output-dir", "a", kOptions});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadText(folder.file("a/clip.mp4")), before);
    EXPECT_EQ(Files(folder.file("a")), (std::vector<std::string>{"clip (1).mp4", "clip.mp4"}));
}

TEST(TranscodeBatch, TwoJobsWriteTheSameFilesAsOne)
{
    TempFolder folder;
    std::string list;
    for (const char* source : {"a/one.mp4", "a/two.mp4", "b/one.mp4", "b/three.mp4"}) {
        MakeSource(folder.file(source), false);
        list += std::string(source) + "\n";
    }
    WriteText(folder.file("list.fls"), list);
    // Bit-exact: the container otherwise writes random identifiers into each file.
    const std::string options = kOptions + " -fflags +bitexact -flags:v +bitexact -flags:a +bitexact";
    const Result one = Batch(folder.path(), {"--batch", "list.fls", "--output-dir", "j1", "--format", "mkv", options});
    const Result two =
        Batch(folder.path(), {"--batch", "list.fls", "--output-dir", "j2", "--format", "mkv", "--jobs", "2", options});
    ASSERT_EQ(one.status, 0) << one.out << one.err;
    ASSERT_EQ(two.status, 0) << two.out << two.err;
    const std::vector<std::string> names = Files(folder.file("j1"));
    EXPECT_EQ(names, (std::vector<std::string>{"one (1).mkv", "one.mkv", "three.mkv", "two.mkv"}));
    ASSERT_EQ(Files(folder.file("j2")), names);
    for (const std::string& name : names)
        EXPECT_TRUE(ReadText(folder.file("j1/" + name)) == ReadText(folder.file("j2/" + name))) << name;
}

TEST(TranscodeBatch, AListOrFolderThatCannotBeUsedIsSaidPlainly)
{
    struct Case {
        const char* name;
        std::string list;
        std::string outputDir;
        std::string says;  // on stderr
        int status;
    };
    const std::vector<Case> cases = {
        {"missing list", "missing.fls", "out", "missing.fls", 1},
        {"folder under a file", "list.fls", "plain/out", "cannot be created", 1},
        {"empty list", "empty.fls", "out", "", 2},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        MakeSource(folder.file("a/one.mp4"), false);
        WriteText(folder.file("list.fls"), "a/one.mp4\n");
        WriteText(folder.file("empty.fls"), "");
        WriteText(folder.file("plain"), "a file");
        Result r = Batch(folder.path(), {"--batch", c.list, "--output-dir", c.outputDir, kOptions});
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.name << ": " << r.err;
        EXPECT_FALSE(fs::exists(folder.file("out"))) << c.name;
        if (c.list == "list.fls") {
            EXPECT_EQ(r.outcome[folder.file("a/one.mp4")], "failed") << c.name << "\n" << r.out;
        }
    }
}

TEST(TranscodeBatch, SigtermStopsEveryJobAndLeavesNoPart)
{
    TempFolder folder;
    std::string list;
    for (const char* name : {"one.mkv", "two.mkv", "three.mkv"}) {
        fs::copy_file(LongClip(), folder.file(name));
        list += std::string(name) + "\n";
    }
    WriteText(folder.file("list.fls"), list);
    const std::string command = "cd " + ShellQuote(folder.path()) + " && exec " + ShellQuote(kTool) +
                                " --batch list.fls --output-dir out --format mp4 --jobs 2 " +
                                ShellQuote("-c:v mpeg4 -c:a aac") + " >stdout.txt 2>stderr.txt";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Both jobs under way: two parts being written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        const std::vector<std::string> files = Files(folder.file("out"));
        if (std::count_if(files.begin(), files.end(),
                          [](const std::string& n) { return n.find(".partial-") != std::string::npos; }) == 2)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            FAIL() << "the jobs never started";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    for (const std::string& name : Files(folder.file("out")))
        EXPECT_EQ(name.find(".partial-"), std::string::npos) << name;
    const std::string out = ReadText(folder.file("stdout.txt"));
    for (const char* name : {"one.mkv", "two.mkv", "three.mkv"})
        EXPECT_NE(out.find(folder.file(name) + "\t"), std::string::npos) << name << " is not named\n" << out;
    EXPECT_NE(ReadText(folder.file("stderr.txt")).find("Stopped by SIGTERM"), std::string::npos);
}
