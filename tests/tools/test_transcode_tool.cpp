// The headless tool as a user and as an attacker would start it: its own input named another
// way, termination signals in the middle, a full disk, two tools writing one name at once,
// options, muxers and filters that name a file to write or a network address.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/local_http_server.h"
#include "support/test_media.h"

using namespace reelsmith::test;
namespace fs = std::filesystem;

extern char** environ;

namespace {

const std::string kTool = REELSMITH_TRANSCODE_TOOL;

std::string Clip()
{
    return MakeMedia("tool_clip.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                     "-f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac -shortest");
}

std::string LongClip()
{
    return MakeMedia("tool_long.mkv",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=60 "
                     "-f lavfi -i sine=frequency=440:duration=60 -c:v mpeg4 -q:v 5 -c:a aac -shortest");
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The tool's exit status; its stderr in errors. It runs in folder when one is given, its
// standard output going to output (or nowhere).
int Tool(const std::vector<std::string>& args, std::string* errors = nullptr, const std::string& folder = {},
         const std::string& output = "/dev/null")
{
    TempFolder scratch;
    std::string command =
        (folder.empty() ? "" : "cd " + ShellQuote(folder) + " && ") + "timeout -k 10 120 " + ShellQuote(kTool);
    for (const std::string& arg : args)
        command += " " + ShellQuote(arg);
    const int status = RunCommand(command + " >" + ShellQuote(output) + " 2>" + ShellQuote(scratch.file("stderr")));
    if (errors)
        *errors = ReadText(scratch.file("stderr"));
    return status;
}

bool IsMedia(const std::string& path)
{
    std::string out;
    return RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(path), &out) == 0 &&
           !out.empty();
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The tool started in the background, for signals.
class Running {
public:
    explicit Running(const std::vector<std::string>& args, const std::string& errors = "/dev/null")
    {
        std::vector<char*> argv{const_cast<char*>(kTool.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(posix_spawn(&m_Pid, kTool.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Running()
    {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            Wait();
        }
    }
    void Signal(int signal) { ::kill(m_Pid, signal); }
    int Wait()
    {
        int status = 0;
        ::waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return status;
    }

private:
    pid_t m_Pid = -1;
};

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

bool WaitFor(const std::function<bool()>& ready, int seconds = 60)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

TEST(TranscodeTool, ItsOwnInputNamedAnotherWayIsRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char* name;
        std::function<std::string(const std::string& input, const TempFolder&)> output;
        bool fileInput;  // the input written with "file:"
    };
    const std::vector<Case> cases = {
        {"hard link",
         [](const std::string& in, const TempFolder& f) {
             fs::create_hard_link(in, f.file("hard.mp4"));
             return f.file("hard.mp4");
         },
         false},
        {"symlink",
         [](const std::string& in, const TempFolder& f) {
             fs::create_symlink(in, f.file("soft.mp4"));
             return f.file("soft.mp4");
         },
         false},
        {"file: output", [](const std::string& in, const TempFolder&) { return "file:" + in; }, false},
        {"file: input", [](const std::string& in, const TempFolder&) { return in; }, true},
        {"dotted path",
         [](const std::string& in, const TempFolder& f) {
             fs::create_directory(f.file("sub"));
             return f.file("sub/../") + fs::path(in).filename().string();
         },
         false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string input = folder.file("in.mp4");
        fs::copy_file(Clip(), input);
        const std::string before = ReadText(input);
        const std::string output = c.output(input, folder);
        const std::vector<std::string> namesBefore = Names(folder.path());
        std::string errors;
        EXPECT_EQ(Tool({c.fileInput ? "file:" + input : input, output, "-c:v mpeg4 -c:a aac"}, &errors), 1) << c.name;
        EXPECT_EQ(ReadText(input), before) << c.name;
        EXPECT_EQ(Names(folder.path()), namesBefore) << c.name;
        EXPECT_NE(errors.find("the input is never overwritten"), std::string::npos) << c.name << ": " << errors;
    }
}

TEST(TranscodeTool, ATerminationSignalRemovesThePartWritten)
{
    struct Case {
        const char* name;
        std::vector<int> signals;
        int status;  // the signal the tool ends with
    };
    const std::vector<Case> cases = {
        {"SIGTERM", {SIGTERM}, SIGTERM},
        {"SIGHUP", {SIGHUP}, SIGHUP},
        {"SIGINT", {SIGINT}, SIGINT},
        {"SIGINT twice", {SIGINT, SIGINT}, SIGINT},
    };
    const std::string input = LongClip();
    for (const Case& c : cases) {
        TempFolder folder;
        TempFolder scratch;
        const std::string output = folder.file("out.mp4");
        Running tool({input, output, "-c:v mpeg4 -c:a aac"}, scratch.file("stderr"));
        // In the middle: the temporary file exists and has grown.
        ASSERT_TRUE(WaitFor([&] {
            for (const std::string& name : Names(folder.path()))
                if (name.find(".partial-") != std::string::npos && fs::file_size(folder.file(name)) > 100000)
                    return true;
            return false;
        })) << c.name;
        for (const int signal : c.signals)
            tool.Signal(signal);
        const int status = tool.Wait();
        EXPECT_TRUE(WIFSIGNALED(status)) << c.name << " status " << status;
        EXPECT_EQ(WTERMSIG(status), c.status) << c.name;
        EXPECT_TRUE(Names(folder.path()).empty()) << c.name << ": " << Names(folder.path()).front();
        // One signal stops cleanly and says so once; a second one ends the tool at once, with
        // or without that line. No error is reported for a stop the user asked for.
        const std::string errors = ReadText(scratch.file("stderr"));
        const std::string stopped = std::string("Stopped by SIG") + sigabbrev_np(c.status) +
                                    "; the part written was removed, nothing is saved as " + output + "\n";
        const auto said = CountOf(errors, stopped);
        if (c.signals.size() == 1) {
            EXPECT_EQ(said, 1) << c.name << ": " << errors;
        } else {
            EXPECT_LE(said, 1) << c.name << ": " << errors;
        }
        EXPECT_EQ(CountOf(errors, "did not finish"), 0) << c.name << ": " << errors;
        EXPECT_EQ(CountOf(errors, ".partial-"), 0) << c.name << ": " << errors;
    }
}

// Each error once (the engine logs it and also hands it back), under the names the user gave.
TEST(TranscodeTool, FailuresLeaveNoOutputAndAreSaidOnce)
{
    struct Case {
        const char* name;
        std::string options;
        std::string error;
        std::string input = Clip();
    };
    const std::vector<Case> cases = {
        {"unknown encoder", "-c:v no_such_encoder", "Unknown encoder 'no_such_encoder'\n"},
        {"encoder refuses to open", "-c:v libx264 -profile:v no_such_profile -c:a aac",
         "Error while opening encoder for output stream #0:0"},
        {"bad filter option", "-vf scale=320:240:flags=xyz -c:v mpeg4", "Error initializing a simple filtergraph"},
        {"no such stream", "-map 5", "Invalid input file index: 5.\n"},
        {"no such format", "-f nosuchformat", "out.mp4: Invalid argument"},
        {"missing input", "-c:v mpeg4", "/nonexistent/in.mp4: No such file or directory\n", "/nonexistent/in.mp4"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::string errors;
        EXPECT_EQ(Tool({c.input, folder.file("out.mp4"), c.options}, &errors), 1) << c.name;
        EXPECT_TRUE(Names(folder.path()).empty()) << c.name;
        EXPECT_EQ(CountOf(errors, c.error), 1) << c.name << ": said once\n" << errors;
        EXPECT_EQ(CountOf(errors, ".partial-"), 0) << c.name << ": the temporary name is not shown\n" << errors;
    }
    // A device is written as it is, not staged beside it.
    EXPECT_EQ(Tool({Clip(), "/dev/null", "-f matroska -c:v mpeg4 -c:a aac"}), 0);
}

TEST(TranscodeTool, AnOutputNameThatIsALinkIsReplacedNotFollowed)
{
    TempFolder folder;
    const std::string outside = folder.file("outside.mp4");
    fs::create_symlink(outside, folder.file("out.mp4"));
    EXPECT_EQ(Tool({Clip(), folder.file("out.mp4"), "-c:v mpeg4 -c:a aac"}), 0);
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_FALSE(fs::is_symlink(folder.file("out.mp4")));
    EXPECT_TRUE(IsMedia(folder.file("out.mp4")));
    EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"out.mp4"});
}

// Two tools writing one name at once: each replaces the name whole, so whichever ends last
// leaves a complete file; nothing half-written is ever under that name.
TEST(TranscodeTool, TwoToolsIntoOneNameLeaveACompleteFile)
{
    TempFolder folder;
    const std::string output = folder.file("out.mkv");
    std::vector<std::thread> tools;
    int statuses[2] = {-1, -1};
    for (int i = 0; i < 2; ++i)
        tools.emplace_back([&, i] { statuses[i] = Tool({LongClip(), output, "-t 3 -c:v mpeg4 -c:a aac"}); });
    for (std::thread& tool : tools)
        tool.join();
    EXPECT_EQ(statuses[0], 0);
    EXPECT_EQ(statuses[1], 0);
    EXPECT_TRUE(IsMedia(output));
    EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"out.mkv"});
}

// A full disk: a small tmpfs, mounted when the test may (as root).
TEST(TranscodeTool, AFullDiskFailsTheFileAndLeavesNothing)
{
    TempFolder folder;
    const std::string disk = folder.file("disk");
    fs::create_directory(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
    std::string errors;
    const int status = Tool({LongClip(), disk + "/out.mkv", "-c:v mpeg4 -c:a aac"}, &errors);
    const std::vector<std::string> left = Names(disk);
    ::umount(disk.c_str());
    EXPECT_EQ(status, 1) << errors;
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_FALSE(errors.empty());
    // Each error once.
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);)
        if (line.find("No space left") != std::string::npos) {
            EXPECT_EQ(CountOf(errors, line + "\n"), 1) << errors;
        }
}

// A clip with two text attachments whose "filename" tags point elsewhere: up a folder, and
// at a web address.
std::string AttachedClip()
{
    const std::string note = DataFolder() + "/tool_note.txt";
    if (!fs::exists(note))
        std::ofstream(note) << "attached text\n";
    return MakeMedia(
        "tool_attached.mkv",
        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg4 -attach " + ShellQuote(note) + " -attach " +
            ShellQuote(note) +
            " -metadata:s:t:0 mimetype=text/plain -metadata:s:t:0 filename=../up/evil.txt"
            " -metadata:s:t:1 mimetype=text/plain -metadata:s:t:1 filename=http://example.org/a/remote.txt");
}

// Whatever names a file to write, an option, a muxer or a filter: the tool's input stays as it
// was, the tool fails with the reason, and no file appears. Names are relative to the folder the
// tool runs in, as a user types them.
TEST(TranscodeTool, NothingTheUserTypesWritesTheInput)
{
    struct Case {
        const char* name;
        std::string input;  // the input's name in the folder
        std::string output;
        std::string options;
        std::string error;  // said once
        std::string inputOptions = {};
    };
    const std::vector<Case> cases = {
        {"md5: output", "in.mp4", "md5:in.mp4", "-c:v mpeg4 -c:a aac", "protocol \"md5\" is not allowed for outputs"},
        {"tee: output", "in.mp4", "tee:in.mp4", "-c:v mpeg4 -c:a aac", "protocol \"tee\" is not allowed for outputs"},
        {"tee muxer", "in.mp4", "[f=mp4]in.mp4", "-f tee -map 0 -c copy",
         "in.mp4: a file the muxer writes is the same file as the input in.mp4"},
        {"image pattern", "in1.mp4", "in%d.mp4", "-f image2 -c:v copy",
         "in1.mp4: a file the muxer writes is the same file as the input in1.mp4"},
        {"segment list", "in.mp4", "seg%03d.mp4", "-f segment -segment_list in.mp4 -c copy",
         "the option -segment_list names the input in.mp4"},
        {"progress", "in.mp4", "out.mp4", "-progress in.mp4 -c:v mpeg4 -c:a aac",
         "in.mp4: the progress file is the same file as the input in.mp4"},
        {"progress through md5:", "in.mp4", "out.mp4", "-progress md5:in.mp4 -c:v mpeg4 -c:a aac",
         "protocol \"md5\" is not allowed for outputs"},
        {"vstats", "in.mp4", "out.mp4", "-vstats_file in.mp4 -c:v mpeg4 -c:a aac",
         "in.mp4: the -vstats file is the same file as the input in.mp4"},
        {"pass log", "p-0.log", "out.mp4", "-c:v mpeg4 -pass 1 -passlogfile p -an",
         "p-0.log: the pass log is the same file as the input p-0.log"},
        {"filter file", "in.mp4", "out.mp4", "-vf metadata=mode=print:file=in.mp4 -c:v mpeg4 -c:a aac",
         "in.mp4: the file of filter metadata (file) is the same file as the input in.mp4"},
        {"filter file by position", "in.mp4", "out.mp4", "-vf \"split[a][b];[a][b]psnr=in.mp4\" -c:v mpeg4 -an",
         "in.mp4: the file of filter psnr (stats_file) is the same file as the input in.mp4"},
        {"attachment", "in.mkv", "out.mkv", "-c copy", "in.mkv: the attachment is the same file as the input in.mkv",
         "-y -dump_attachment:t:0 in.mkv"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        fs::copy_file(c.input == "in.mkv" ? AttachedClip() : Clip(), folder.file(c.input));
        const std::string before = ReadText(folder.file(c.input));
        std::vector<std::string> args;
        if (!c.inputOptions.empty())
            args = {"--input-options", c.inputOptions};
        args.insert(args.end(), {c.input, c.output, c.options});
        std::string errors;
        EXPECT_EQ(Tool(args, &errors, folder.path()), 1) << c.name << ": " << errors;
        EXPECT_TRUE(ReadText(folder.file(c.input)) == before) << c.name << ": the input was written";
        EXPECT_EQ(Names(folder.path()), std::vector<std::string>{c.input}) << c.name;
        EXPECT_EQ(CountOf(errors, c.error), 1) << c.name << ": said once\n" << errors;
    }
}

// -dump_attachment writes where the user said; a name taken from the media file is only a
// plain name in the current folder; an existing file is kept unless -y.
TEST(TranscodeTool, AttachmentsAreWrittenOnlyWhereTheUserSaid)
{
    struct Case {
        const char* name;
        std::string inputOptions;
        std::string existing;            // the contents of evil.txt before, or none
        std::vector<std::string> files;  // the folder afterwards, besides in.mkv and out.mkv
        std::string evil;                // evil.txt's contents afterwards
    };
    const std::string attached = "attached text\n";
    const std::vector<Case> cases = {
        {"tag up a folder", "-dump_attachment:t:0 \"\"", "", {"evil.txt"}, attached},
        {"tag with an address", "-dump_attachment:t:1 \"\"", "", {"remote.txt"}, ""},
        {"name given", "-dump_attachment:t:0 given.txt", "", {"given.txt"}, ""},
        {"existing kept", "-dump_attachment:t:0 \"\"", "old", {"evil.txt"}, "old"},
        {"existing replaced with -y", "-y -dump_attachment:t:0 \"\"", "old", {"evil.txt"}, attached},
    };
    for (const Case& c : cases) {
        TempFolder top;
        const std::string work = top.file("work");
        fs::create_directory(work);
        fs::copy_file(AttachedClip(), work + "/in.mkv");
        if (!c.existing.empty())
            std::ofstream(work + "/evil.txt") << c.existing;
        std::string errors;
        EXPECT_EQ(Tool({"--input-options", c.inputOptions, "in.mkv", "out.mkv", "-c copy"}, &errors, work), 0)
            << c.name << ": " << errors;
        std::vector<std::string> expected = c.files;
        expected.insert(expected.end(), {"in.mkv", "out.mkv"});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Names(work), expected) << c.name << ": " << errors;
        EXPECT_EQ(Names(top.path()), std::vector<std::string>{"work"}) << c.name << ": nothing outside the folder";
        for (const std::string& file : c.files) {
            if (file != "evil.txt") {
                EXPECT_EQ(ReadText(work + "/" + file), attached) << c.name;
            }
        }
        if (!c.evil.empty()) {
            EXPECT_EQ(ReadText(work + "/evil.txt"), c.evil) << c.name;
        }
    }
}

// Filters that open media read local files only: a listener on 127.0.0.1 sees no connection.
TEST(TranscodeTool, FiltersReadLocalFilesOnly)
{
    LocalHttpServer listener(THttpReply{});
    const std::string address = "127.0.0.1\\:" + std::to_string(listener.Port());
    struct Case {
        const char* name;
        std::string options;
        int status;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"movie over http", "-vf \"movie='http\\://" + address + "/x.mp4'[m];[in][m]overlay\" -c:v mpeg4 -c:a aac", 1,
         "protocol \"http\" is not allowed"},
        {"amovie over tcp", "-af \"amovie='tcp\\://" + address + "'[m];[in][m]amix\" -c:v mpeg4 -c:a aac", 1,
         "protocol \"tcp\" is not allowed"},
        {"movie in a complex graph", "-filter_complex \"movie='http\\://" + address + "/y'[v]\" -map [v] -c:v mpeg4", 1,
         "protocol \"http\" is not allowed"},
        {"local movie", "-vf \"movie=" + Clip() + "[m];[in][m]overlay\" -c:v mpeg4 -c:a aac", 0, ""},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::string errors;
        EXPECT_EQ(Tool({Clip(), folder.file("out.mp4"), c.options}, &errors), c.status) << c.name << ": " << errors;
        if (!c.error.empty()) {
            EXPECT_EQ(CountOf(errors, c.error), 1) << c.name << ": " << errors;
        }
        EXPECT_EQ(IsMedia(folder.file("out.mp4")), c.status == 0) << c.name;
    }
    EXPECT_EQ(listener.Connections(), 0);
}

// "-" is the standard output; a name too long for its folder is refused before converting.
TEST(TranscodeTool, StandardOutputAndNamesTooLong)
{
    TempFolder folder;
    std::string errors;
    EXPECT_EQ(Tool({Clip(), "-", "-f matroska -c:v mpeg4 -c:a aac"}, &errors, folder.path(), folder.file("stdout.mkv")),
              0)
        << errors;
    EXPECT_TRUE(IsMedia(folder.file("stdout.mkv")));
    EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"stdout.mkv"});

    const std::string longName = folder.file(std::string(300, 'x') + ".mkv");
    EXPECT_EQ(Tool({LongClip(), longName, "-c:v mpeg4 -c:a aac"}, &errors), 1);
    EXPECT_EQ(CountOf(errors, "File name too long"), 1) << errors;
    EXPECT_EQ(CountOf(errors, "size "), 0) << "nothing was converted: " << errors;
    EXPECT_EQ(Names(folder.path()), std::vector<std::string>{"stdout.mkv"});
}
