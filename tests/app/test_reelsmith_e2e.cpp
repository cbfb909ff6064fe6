// The program itself, started offscreen with a command line: it adds the files, converts
// or extracts them with the choices of its settings file, writes log.txt and ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/settings_store.h"
#include "settings/option_builder.h"
#include "support/small_disk.h"
#include "support/test_media.h"

using namespace reelsmith;
using namespace reelsmith::test;
namespace fs = std::filesystem;

namespace {

std::string ClipA()
{
    return MakeMedia("e2e_a.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                     "-f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac -shortest");
}

std::string ClipB()
{
    return MakeMedia("e2e_b.mkv",
                     "-f lavfi -i testsrc2=size=176x144:rate=25:duration=1 "
                     "-f lavfi -i sine=frequency=660:duration=1 -c:v mpeg4 -c:a mp2 -shortest");
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a log, its run time (which depends on the machine's speed) as "Run time:".
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.starts_with("Run time: ") ? "Run time:" : line);
    return lines;
}

std::string Probe(const std::string& path, const std::string& entries)
{
    std::string out;
    RunCommand(
        "ffprobe -v error -show_entries " + entries + " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path),
        &out);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// A private copy of the program (log.txt goes beside it), a settings folder and sources.
class ProgramRun {
public:
    explicit ProgramRun(const std::string& settings) : m_Settings(settings)
    {
        std::filesystem::create_directories(m_Folder.file("bin"));
        std::filesystem::copy_file(REELSMITH_EXE, Exe());
        std::filesystem::create_directories(m_Folder.file("config/Tarnwick/Reelsmith"));
        std::ofstream(m_Folder.file("config/Tarnwick/Reelsmith/reelsmith.ini")) << settings;
        std::filesystem::create_directories(m_Folder.file("runtime"));
        std::filesystem::permissions(m_Folder.file("runtime"), std::filesystem::perms::owner_all);
        std::filesystem::create_directories(m_Folder.file("in"));
        std::filesystem::copy_file(ClipA(), Source("a.mp4"));
        std::filesystem::copy_file(ClipB(), Source("b.mkv"));
    }
    std::string Exe() const { return m_Folder.file("bin/reelsmith"); }
    std::string Source(const std::string& name) const { return m_Folder.file("in/" + name); }
    std::string Out(const std::string& name = {}) const { return m_Folder.file("out/" + name); }
    std::string LogFile() const { return m_Folder.file("bin/log.txt"); }
    // The output choices the program starts with: its settings file over the first-start ones.
    TOutputChoices Choices() const
    {
        return reelsmith::ReadSettings(reelsmith::TIniFile(m_Settings), {800, 600, 700}).OutputChoices();
    }

    // Runs the program without a display; returns its exit status.
    int Run(const std::vector<std::string>& params, std::string* output = nullptr) const
    {
        return RunCommand("timeout 120 " + Command(params) + " 2>" + ShellQuote(m_Folder.file("stderr.txt")), output);
    }
    // The program's command line, without a display.
    std::string Command(const std::vector<std::string>& params) const
    {
        std::string command =
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR XDG_CONFIG_HOME=" +
            ShellQuote(m_Folder.file("config")) + " " + Env + " ";
        if (RuntimeFolder)
            command += "XDG_RUNTIME_DIR=" + ShellQuote(m_Folder.file("runtime")) + " ";
        command += ShellQuote(Exe());
        for (const std::string& param : params)
            command += " " + ShellQuote(param);
        return command;
    }
    std::string Stderr() const { return ReadText(m_Folder.file("stderr.txt")); }
    std::string File(const std::string& name) const { return m_Folder.file(name); }

    std::string Env;            // more of the environment, "NAME=value ..."
    bool RuntimeFolder = true;  // XDG_RUNTIME_DIR set (else the toolkit has a note about it)

private:
    std::string m_Settings;
    TempFolder m_Folder;
};

// A shell script that starts a conversion of `sources` in the background, sends it `signal`
// once `partials` hidden outputs exist and one has grown past 100 KB
// (tests/support/wait_for_partial.sh), and prints how many hidden outputs there were and its
// exit status.
std::string SignalWhenPartialGrows(const ProgramRun& run, const std::vector<std::string>& sources, const char* signal,
                                   int partials = 1)
{
    std::vector<std::string> params = {"-v", run.Out()};
    params.insert(params.end(), sources.begin(), sources.end());
    params.push_back("x");
    const std::string out = ShellQuote(run.Out());
    return run.Command(params) + " >/dev/null 2>&1 & pid=$!\n" + ShellQuote(REELSMITH_WAIT_FOR_PARTIAL) + " " + out +
           " +100k . " + std::to_string(partials) + " >/dev/null\n" + "n=$(find " + out +
           " -name '.*partial-*' | wc -l)\n" + "echo $n; kill -" + signal + " $pid; wait $pid; echo $?\n";
}

// The path a run's stdout says its log went to, "" when it says none.
std::string SavedLogPath(const std::string& stdoutText)
{
    const std::string saved = "Run log saved to ";
    for (const std::string& line : Lines(stdoutText))
        if (line.starts_with(saved))
            return line.substr(saved.size());
    return {};
}

std::vector<std::string> FileLines(int number, const std::string& source, const std::string& options,
                                   const std::string& output)
{
    return {"",
            "File #" + std::to_string(number),
            source,
            "Loading file... OK",
            "Adding task... OK",
            "Parameters " + options,
            "Applying parameters... OK",
            "Processing file...",
            output,
            "Success!"};
}

std::vector<std::string> ExpectedLog(const ProgramRun& run, const std::string& options, const std::string& extension,
                                     const std::vector<std::string>& notAdded = {})
{
    std::vector<std::string> lines = {"Loading AV components...", "Success!"};
    if (!notAdded.empty()) {
        lines.insert(lines.end(), {"", "Not added: " + std::to_string(notAdded.size())});
        lines.insert(lines.end(), notAdded.begin(), notAdded.end());
    }
    for (const auto& [number, name, stem] : {std::tuple{1, "a.mp4", "a"}, std::tuple{2, "b.mkv", "b"}}) {
        const auto file = FileLines(number, run.Source(name), options, run.Out(std::string(stem) + extension));
        lines.insert(lines.end(), file.begin(), file.end());
    }
    lines.push_back("");
    if (!notAdded.empty()) {
        lines.push_back("Not converted:");
        lines.insert(lines.end(), notAdded.begin(), notAdded.end());
    }
    const std::string failed = std::to_string(notAdded.size());
    lines.insert(lines.end(), {"Run time:", "Converted: 2, failed: " + failed + ", skipped: 0", "Done."});
    return lines;
}

}  // namespace

TEST(ProgramRun, ConvertsTheListedFilesAndEndsWithTheLog)
{
    // The MKV container at its first encoders (MPEG-4 part 2, MP3), as a chosen profile leaves it in the file.
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\nVideoEncoder2=0\nAudioEncoder2=0\n");
    const std::string options = BuildVideoOptions(run.Choices());
    // Audio at the rate the first profile shows, not at the first entry of the list.
    ASSERT_NE(options.find("-b:a 128k "), std::string::npos) << options;

    // The missing source is named on stderr and in the log, and the status says not all converted.
    std::string stdoutText;
    ASSERT_EQ(run.Run({"-v", run.Out(), run.Source("a.mp4"), run.Source("missing.mp4"), run.Source("b.mkv"), "x"},
                      &stdoutText),
              1)
        << run.Stderr();
    const std::vector<std::string> notAdded = {run.Source("missing.mp4") + ": not found"};
    EXPECT_EQ(Lines(ReadText(run.LogFile())), ExpectedLog(run, options, ".mkv", notAdded));
    // Standard output has the log's lines and, last, where the log went.
    // Each run has a log file of its own; log.txt shows the last one.
    const std::string runLog = SavedLogPath(stdoutText);
    EXPECT_EQ(fs::path(runLog).parent_path(), fs::path(run.LogFile()).parent_path());
    EXPECT_TRUE(fs::path(runLog).filename().string().starts_with("log-")) << runLog;
    EXPECT_EQ(fs::read_symlink(run.LogFile()), fs::path(runLog).filename());
    std::vector<std::string> printed = ExpectedLog(run, options, ".mkv", notAdded);
    printed.push_back("Run log saved to " + runLog);
    EXPECT_EQ(Lines(stdoutText), printed);
    std::vector<std::string> named = Lines(run.Stderr());
    std::erase_if(named, [](const std::string& line) { return line.find("not converted") == std::string::npos; });
    EXPECT_EQ(named,
              std::vector<std::string>{"reelsmith: not converted: " + run.Source("missing.mp4") + ": not found"});
    for (const char* name : {"a.mkv", "b.mkv"}) {
        EXPECT_EQ(Probe(run.Out(name), "format=format_name"), "matroska,webm") << name;
        EXPECT_EQ(Probe(run.Out(name), "stream=codec_name"), "mpeg4\nmp3") << name;
    }

    // Run again: the outputs exist and nobody can answer, so both are kept and the status says so.
    const auto before = std::filesystem::last_write_time(run.Out("a.mkv"));
    ASSERT_EQ(run.Run({"-v", run.Out(), run.Source("a.mp4"), "X"}), 1) << run.Stderr();
    EXPECT_EQ(std::filesystem::last_write_time(run.Out("a.mkv")), before);
    const std::vector<std::string> log = Lines(ReadText(run.LogFile()));
    const std::vector<std::string> tail = {run.Source("a.mp4"),
                                           "File \"a.mkv\" already exists!",
                                           "Skipped!",
                                           "",
                                           "Not converted:",
                                           run.Source("a.mp4") + ": output exists",
                                           "Run time:",
                                           "Converted: 0, failed: 0, skipped: 1",
                                           "Done."};
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(tail.size()), log.end()), tail);
}

// Two good files and one without an audio track, extracted: the log ends with the counts
// and the reason, and the status says not all converted.
TEST(ProgramRun, TheLogEndsWithTheVerdict)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nAudioFormat2=0\n");
    const std::string silent = run.Source("silent.mp4");
    std::filesystem::copy_file(
        MakeMedia("e2e_silent.mp4", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg4"), silent);
    std::string stdoutText;
    ASSERT_EQ(run.Run({"-A", run.Out(), run.Source("a.mp4"), silent, run.Source("b.mkv"), "x"}, &stdoutText), 1)
        << run.Stderr();
    const std::vector<std::string> log = Lines(ReadText(run.LogFile()));
    const std::vector<std::string> tail = {
        "", "Not converted:", silent + ": no audio track", "Run time:", "Converted: 2, failed: 1, skipped: 0", "Done."};
    ASSERT_GE(log.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(tail.size()), log.end()), tail);
    EXPECT_NE(stdoutText.find("Converted: 2, failed: 1, skipped: 0\nDone.\n"), std::string::npos) << stdoutText;
}

TEST(ProgramRun, FileListIntoTheSourceFolderNeverReplacesASource)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
    const std::string list = run.Source("list.fls");
    std::ofstream(list) << run.Source("a.mp4") << "\r\n" << run.Source("b.mkv") << "\r\n";
    const auto sourceSize = std::filesystem::file_size(run.Source("b.mkv"));
    const std::string inFolder = run.Source("");

    // A source after the list is not taken: it is named, and the status is 1.
    ASSERT_EQ(run.Run({"-v", inFolder, list, run.Source("ignored.mp4"), "x"}), 1) << run.Stderr();
    EXPECT_NE(run.Stderr().find(run.Source("ignored.mp4") + ": ignored: the file list"), std::string::npos)
        << run.Stderr();
    EXPECT_EQ(std::filesystem::file_size(run.Source("b.mkv")), sourceSize);
    EXPECT_EQ(Probe(run.Source("b (1).mkv"), "format=format_name"), "matroska,webm");
    EXPECT_EQ(Probe(run.Source("a.mkv"), "format=format_name"), "matroska,webm");
    const std::vector<std::string> log = Lines(ReadText(run.LogFile()));
    EXPECT_NE(std::find(log.begin(), log.end(), run.Source("b (1).mkv")), log.end());
}

TEST(ProgramRun, ExtractsAudioInEveryFormat)
{
    struct Case {
        int index;
        const char* extension;
        const char* container;
        const char* codec;
    };
    const Case cases[] = {{0, ".mp3", "mp3", "mp3"},
                          {1, ".wav", "wav", "pcm_s16le"},
                          {2, ".ogg", "ogg", "vorbis"},
                          {3, ".flac", "flac", "flac"},
                          {4, ".wma", "asf", "wmav2"}};
    for (const Case& c : cases) {
        ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nAudioFormat2=" + std::to_string(c.index) + "\n");
        const std::string options = BuildAudioOptions(run.Choices());
        ASSERT_EQ(run.Run({"-A", run.Out(), run.Source("a.mp4"), run.Source("b.mkv"), "X"}), 0)
            << c.extension << run.Stderr();
        // The engine's own warnings (FLAC: "encoding as 24 bits-per-sample") come between.
        std::vector<std::string> log = Lines(ReadText(run.LogFile()));
        std::erase_if(log, [](const std::string& line) {
            return line.starts_with("[") && line.find(" @ ") != std::string::npos;
        });
        EXPECT_EQ(log, ExpectedLog(run, options, c.extension)) << c.extension;
        for (const char* stem : {"a", "b"}) {
            const std::string output = run.Out(std::string(stem) + c.extension);
            EXPECT_EQ(Probe(output, "format=format_name"), c.container) << output;
            EXPECT_EQ(Probe(output, "stream=codec_name"), c.codec) << output;
        }
    }
}

// SIGTERM in the middle of a command-line run, one file at a time or two at once: the engine
// is stopped, every part written is removed, no log.txt is written, and the program ends with
// the status of the signal.
TEST(ProgramRun, SigtermInTheMiddleLeavesNoOutput)
{
    const std::string source = MakeMedia("e2e_long.mkv",
                                         "-f lavfi -i testsrc=size=320x240:rate=25:duration=60 "
                                         "-f lavfi -i sine=frequency=440:duration=60 -c:v mpeg4 -q:v 5 "
                                         "-c:a aac -shortest");
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        // Threads is the list position: 0 for "1", 1 for "2".
        ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\nVideoEncoder2=0\nAudioEncoder2=0\nThreads=" +
                       std::to_string(threads - 1) + "\n");
        std::filesystem::create_directories(run.Out());
        std::filesystem::copy_file(source, run.Source("second.mkv"));
        // Started in the background; signalled once its hidden outputs exist and one has grown.
        const std::string script = SignalWhenPartialGrows(run, {source, run.Source("second.mkv")}, "TERM", threads);
        std::string status;
        RunCommand("sh -c " + ShellQuote(script), &status);
        // As many files written at once as asked; 128 + SIGTERM: ended by the signal.
        EXPECT_EQ(status, std::to_string(threads) + "\n143\n");
        EXPECT_TRUE(std::filesystem::is_empty(run.Out()));
        EXPECT_FALSE(std::filesystem::exists(run.LogFile()));
    }
}

TEST(ProgramRun, NothingToConvertEndsWithAMessageAndAStatus)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n");
    EXPECT_EQ(run.Run({"-v", run.Out(), run.Source("missing.mp4"), "x"}), 2);
    EXPECT_NE(run.Stderr().find("nothing to convert"), std::string::npos) << run.Stderr();
    EXPECT_NE(run.Stderr().find("reelsmith: not converted: " + run.Source("missing.mp4") + ": not found\n"),
              std::string::npos)
        << run.Stderr();
    EXPECT_FALSE(std::filesystem::exists(run.LogFile()));
}

// --help and --version answer without a display or a settings file, before anything else.
TEST(ProgramRun, HelpAndVersionAnswerAndEnd)
{
    std::string help;
    std::string version;
    const std::string exe = ShellQuote(REELSMITH_EXE);
    ASSERT_EQ(RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY " + exe + " --help", &help), 0);
    ASSERT_EQ(RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY " + exe + " --version", &version), 0);
    EXPECT_EQ(help.rfind("Usage: reelsmith [FILE|FOLDER]...\n", 0), 0u) << help;
    for (const char* part : {"\nExit status:\n", "reelsmith.ini", "~/.local/state/reelsmith/log.txt", "-c:v libx264"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
    EXPECT_EQ(version.rfind("reelsmith ", 0), 0u) << version;
}

// Every input of a command-line run that is not converted is named with its reason on stderr
// and in log.txt, and the status is 1.
TEST(ProgramRun, InputsThatAreNotConvertedAreNamedWithTheirReason)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
    std::ofstream(run.Source("notes.txt")) << "text";
    std::ofstream(run.Source("fake.mp4")) << "this is no media file";
    std::filesystem::create_directories(run.Source("folder.mp4"));
    ASSERT_EQ(run.Run({"-v", run.Out(), run.Source("missing.mp4"), run.Source("notes.txt"), run.Source("fake.mp4"),
                       run.Source("folder.mp4"), run.Source("a.mp4"), "x"}),
              1)
        << run.Stderr();
    const std::string log = ReadText(run.LogFile());
    const std::pair<std::string, std::string> named[] = {
        {"missing.mp4", "not found"},
        {"notes.txt", "not a media file type that can be added"},
        {"fake.mp4", "cannot be read as audio or video"},
        {"folder.mp4", "a folder, not a file"},
    };
    for (const auto& [name, reason] : named) {
        EXPECT_NE(run.Stderr().find("reelsmith: not converted: " + run.Source(name) + ": " + reason), std::string::npos)
            << name << "\n"
            << run.Stderr();
        EXPECT_NE(log.find(run.Source(name) + ": " + reason), std::string::npos) << name << "\n" << log;
    }
    EXPECT_NE(log.find("Not added: 4"), std::string::npos) << log;
    EXPECT_EQ(Probe(run.Out("a.mkv"), "format=format_name"), "matroska,webm");
}

// A list name that is a pipe or a device: a clear error at once, no hang, no memory eaten.
TEST(ProgramRun, FileListThatIsNoRegularFileIsRefused)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n");
    const std::string fifo = run.Source("pipe.fls");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = run.Source("zero.fls");
    std::filesystem::create_symlink("/dev/zero", zero);
    for (const std::string& list : {fifo, zero}) {
        EXPECT_EQ(run.Run({"-v", run.Out(), list, "x"}), 1) << list;
        EXPECT_NE(run.Stderr().find("It is not a regular file."), std::string::npos) << list << run.Stderr();
    }
}

// Linux names are bytes: a Latin-1 name converts from the command line, a list, and a folder
// named in a list; the log shows it escaped.
TEST(ProgramRun, NamesThatAreNotUtf8Convert)
{
    struct Case {
        const char* how;
        bool list;
        bool folder;
    };
    const Case cases[] = {{"command line", false, false}, {"file list", true, false}, {"folder in a list", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
        const std::string folder = run.Source("d\xE9j\xE0");
        std::filesystem::create_directories(folder);
        const std::string source = folder + "/caf\xE9.mp4";
        std::filesystem::copy_file(ClipA(), source);
        std::string input = source;
        if (c.list) {
            input = run.Source("list.fls");
            std::ofstream(input) << (c.folder ? folder : source) << "\r\n";
        }
        ASSERT_EQ(run.Run({"-v", run.Out(), input, "x"}), 0) << run.Stderr();
        EXPECT_EQ(Probe(run.Out("caf\xE9.mkv"), "format=format_name"), "matroska,webm");
        const std::string log = ReadText(run.LogFile());
        EXPECT_NE(log.find(run.Out("caf\\xE9.mkv")), std::string::npos) << log;
        EXPECT_NE(log.find("/d\\xE9j\\xE0/caf\\xE9.mp4"), std::string::npos) << log;
        EXPECT_EQ(log.find('\xE9'), std::string::npos) << "raw bytes in the log";
    }
}

// A log that cannot be saved is a lost log, said on stdout and stderr and in the exit status,
// and nothing half-written is left (the log folder on a full disk; the program's own folder
// read-only, so the log goes to $XDG_STATE_HOME).
TEST(ProgramRun, ALostLogIsReportedInTheStatus)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
    ReadOnlyFolder program(fs::path(run.Exe()).parent_path().string());
    if (!program.Done())
        GTEST_SKIP() << program.Reason();
    SmallDisk state(run.File("state"), 64 * 1024);
    if (!state.Mounted())
        GTEST_SKIP() << state.Reason();
    fs::create_directories(run.File("state/reelsmith"));
    state.Fill();
    run.Env = "XDG_STATE_HOME=" + ShellQuote(run.File("state"));
    std::string stdoutText;
    EXPECT_EQ(run.Run({"-v", run.Out(), run.Source("a.mp4"), "x"}, &stdoutText), 1) << run.Stderr();
    EXPECT_EQ(Probe(run.Out("a.mkv"), "format=format_name"), "matroska,webm");  // the conversion itself worked
    const std::vector<std::string> printed = Lines(stdoutText);
    ASSERT_FALSE(printed.empty());
    EXPECT_TRUE(printed.back().starts_with("Run log could not be saved to " + run.File("state/reelsmith/log-")))
        << printed.back();
    EXPECT_NE(run.Stderr().find("reelsmith: the run log could not be saved to "), std::string::npos) << run.Stderr();
    EXPECT_NE(run.Stderr().find(": No space left on device\n"), std::string::npos) << run.Stderr();
    EXPECT_TRUE(fs::is_empty(run.File("state/reelsmith")));
}

// Two unattended runs at the same time each keep their own log; log.txt shows one of them whole.
TEST(ProgramRun, RunsAtTheSameTimeKeepTheirOwnLogs)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
    const std::string script = run.Command({"-v", run.Out("1"), run.Source("a.mp4"), "x"}) + " >" +
                               ShellQuote(run.File("1.txt")) + " 2>&1 & " +
                               run.Command({"-v", run.Out("2"), run.Source("b.mkv"), "x"}) + " >" +
                               ShellQuote(run.File("2.txt")) + " 2>&1; wait";
    ASSERT_EQ(RunCommand("sh -c " + ShellQuote(script)), 0);
    const std::string first = SavedLogPath(ReadText(run.File("1.txt")));
    const std::string second = SavedLogPath(ReadText(run.File("2.txt")));
    ASSERT_FALSE(first.empty()) << ReadText(run.File("1.txt"));
    ASSERT_FALSE(second.empty()) << ReadText(run.File("2.txt"));
    EXPECT_NE(first, second);
    EXPECT_NE(ReadText(first).find(run.Source("a.mp4")), std::string::npos);
    EXPECT_EQ(ReadText(first).find(run.Source("b.mkv")), std::string::npos);
    EXPECT_NE(ReadText(second).find(run.Source("b.mkv")), std::string::npos);
    EXPECT_EQ(ReadText(second).find(run.Source("a.mp4")), std::string::npos);
    const std::string latest = ReadText(run.LogFile());
    EXPECT_TRUE(latest == ReadText(first) || latest == ReadText(second));
}

// SIGKILL leaves the hidden part of the output it was writing; the next run into that folder
// removes it, since no process holds it any more.
TEST(ProgramRun, TheNextRunRemovesWhatAKilledRunLeft)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\nVideoEncoder2=0\nAudioEncoder2=0\n");
    const std::string source = MakeMedia("e2e_long.mkv",
                                         "-f lavfi -i testsrc=size=320x240:rate=25:duration=60 "
                                         "-f lavfi -i sine=frequency=440:duration=60 -c:v mpeg4 -q:v 5 "
                                         "-c:a aac -shortest");
    fs::create_directories(run.Out());
    const std::string script = SignalWhenPartialGrows(run, {source}, "KILL");
    std::string status;
    RunCommand("sh -c " + ShellQuote(script), &status);
    EXPECT_EQ(status, "1\n137\n");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(run.Out()))
        left.push_back(entry.path().filename().string());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].starts_with(".e2e_long.partial-")) << left[0];

    ASSERT_EQ(run.Run({"-v", run.Out(), run.Source("a.mp4"), "x"}), 0) << run.Stderr();
    left.clear();
    for (const auto& entry : fs::directory_iterator(run.Out()))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"a.mkv"});
}

// Lists as users write them: relative lines belong to the list's folder (not the working
// folder), and one file named twice is converted once.
TEST(ProgramRun, ListsAsUsersWriteThem)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
    const std::string list = run.Source("list.fls");
    std::ofstream(list) << "a.mp4\r\n./b.mkv\r\n" << run.Source("./a.mp4") << "\r\n";
    std::string stdoutText;
    ASSERT_EQ(run.Run({"-v", run.Out(), list, "x"}, &stdoutText), 0) << run.Stderr();
    const std::string log = ReadText(run.LogFile());
    EXPECT_NE(log.find("File #2"), std::string::npos) << log;
    EXPECT_EQ(log.find("File #3"), std::string::npos) << log;
    EXPECT_EQ(Probe(run.Out("a.mkv"), "format=format_name"), "matroska,webm");
    EXPECT_EQ(Probe(run.Out("b.mkv"), "format=format_name"), "matroska,webm");
}

// A hostile list (one line of 20 MB) is bounded work: the name is cut with "…" wherever it is
// shown, and the run ends at once with its reason. Unattended runs print their own lines on
// stderr only, no notes of the toolkit (here: no runtime folder set).
TEST(ProgramRun, AHostileListIsBoundedWorkAndStderrHoldsOnlyOurLines)
{
    ProgramRun run("[Reelsmith]\nUpdate=0\n[Settings]\nVideoFormat2=2\n");
    run.RuntimeFolder = false;
    const std::string list = run.Source("hostile.fls");
    std::ofstream(list) << "/" << std::string(20 * 1024 * 1024, 'n') << ".mp4\r\n" << run.Source("a.mp4") << "\r\n";
    std::string stdoutText;
    EXPECT_EQ(run.Run({"-v", run.Out(), list, "x"}, &stdoutText), 1) << run.Stderr().substr(0, 2000);
    EXPECT_EQ(Probe(run.Out("a.mkv"), "format=format_name"), "matroska,webm");
    const std::vector<std::string> errors = Lines(run.Stderr());
    ASSERT_FALSE(errors.empty());
    for (const std::string& line : errors) {
        EXPECT_TRUE(line.starts_with("reelsmith: ")) << line.substr(0, 200);
        EXPECT_LT(line.size(), 8u * 1024) << line.substr(0, 200);
    }
    for (const std::string& text : {run.Stderr(), stdoutText, ReadText(run.LogFile())}) {
        EXPECT_NE(text.find("nnn\xE2\x80\xA6nnn"), std::string::npos);  // "…" between start and end
        EXPECT_NE(text.find("nnn.mp4: not found"), std::string::npos);
        for (const std::string& line : Lines(text))
            EXPECT_LT(line.size(), 8u * 1024) << line.substr(0, 200);
    }
}
