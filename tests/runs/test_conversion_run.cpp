// Conversion and extraction runs on real generated media through the real engine,
// driven on the Qt event loop without a window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <sys/mount.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "media/preview_session.h"
#include "runs/run_test_support.h"
#include "support/local_http_server.h"
#include "support/small_disk.h"
#include "support/test_media.h"

using namespace reelsmith;
using namespace reelsmith::test;

namespace {

const QString kOptions = QStringLiteral("-c:v mpeg4 -c:a aac -sn ");

std::string Clip()
{
    return MakeMedia("run_clip.mp4",
                     "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                     "-f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac -shortest");
}

std::string LongClip()
{
    return MakeMedia("run_long.mkv",
                     "-f lavfi -i testsrc=size=320x240:rate=25:duration=40 "
                     "-f lavfi -i sine=frequency=440:duration=40 -c:v mpeg4 -q:v 5 -c:a aac -shortest");
}

std::string CopyTo(const std::string& source, const std::string& target)
{
    std::filesystem::create_directories(std::filesystem::path(target).parent_path());
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    return target;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

QByteArray ReadAll(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TRunSetup VideoSetup(std::vector<TRunRow> rows, const std::string& outputFolder, const QString& format)
{
    TRunSetup setup;
    setup.Kind = TRunKind::Video;
    setup.Rows = std::move(rows);
    setup.OutputPath = outputFolder.empty() ? QString() : QString::fromStdString(outputFolder) + QLatin1Char('/');
    setup.VideoFormatText = format;
    setup.Options = kOptions;
    return setup;
}

QStringList FileLines(const QString& source, const QString& output, int number)
{
    return {QString(),
            QStringLiteral("File #%1").arg(number),
            source,
            QStringLiteral("Loading file... OK"),
            QStringLiteral("Adding task... OK"),
            QStringLiteral("Parameters ") + kOptions,
            QStringLiteral("Applying parameters... OK"),
            QStringLiteral("Processing file..."),
            output,
            QStringLiteral("Success!")};
}

bool IsMedia(const std::string& path)
{
    std::string out;
    return RunCommand("ffprobe -v error -show_entries format=format_name -of csv=p=0 " + ShellQuote(path), &out) == 0 &&
           !out.empty();
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int CountOf(const QStringList& lines, const QString& line) { return int(lines.count(line)); }

// The log with its run time line as "Run time:", which depends on the machine's speed.
QStringList WithoutRunTime(QStringList lines)
{
    for (QString& line : lines)
        if (line.startsWith(QLatin1String("Run time: ")))
            line = QStringLiteral("Run time:");
    return lines;
}

// The verdict that ends a run's log.
QStringList Verdict(const QString& counts, const QStringList& notConverted = {}, const char* last = "Done.")
{
    QStringList lines{QString()};
    if (!notConverted.isEmpty())
        lines += QStringList{QStringLiteral("Not converted:")} + notConverted;
    return lines + QStringList{QStringLiteral("Run time:"), counts, QString::fromLatin1(last)};
}

// A run's file blocks by number: each from the empty line before "File #n" to the next
// block or the verdict. Lines between blocks (Cancelled by user!) go with the block before.
std::map<int, QStringList> FileBlocks(const QStringList& lines)
{
    std::map<int, QStringList> blocks;
    QStringList* block = nullptr;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const bool next = i + 1 < lines.size() && lines[i].isEmpty();
        if (next && lines[i + 1].startsWith(QLatin1String("File #"))) {
            const int number = lines[i + 1].mid(6).toInt();
            EXPECT_EQ(blocks.count(number), 0u) << "File #" << number << " in two pieces";
            block = &blocks[number];
        } else if (next && (lines[i + 1] == QLatin1String("Not converted:") ||
                            lines[i + 1].startsWith(QLatin1String("Run time: ")))) {
            break;
        }
        if (block)
            block->append(lines[i]);
    }
    return blocks;
}

// The file is read to its end without a decoding error.
bool DecodesCompletely(const std::string& path)
{
    std::string errors;
    return RunCommand("ffmpeg -nostdin -v error -xerror -i " + ShellQuote(path) + " -f null - 2>&1", &errors) == 0 &&
           errors.empty();
}

QStringList Relative(QStringList lines, const TempFolder& folder)
{
    lines.replaceInStrings(QString::fromStdString(folder.path()), QStringLiteral("<folder>"));
    return lines;
}

}  // namespace

TEST(ConversionRun, ConvertsRowsInOrderNamingAMissingSource)
{
    TempFolder folder;
    const std::string a = CopyTo(Clip(), folder.file("in/a.mp4"));
    const std::string b = CopyTo(Clip(), folder.file("in/b.mkv"));
    const std::string gone = folder.file("in/gone.mp4");
    TRecordingView view;
    TConversionRun run(VideoSetup({Row(a), Row(gone), Row(b)}, folder.file("out/new"), QStringLiteral("MKV")), view);
    // With several rows the taskbar follows the whole run, weighted by the rows' durations.
    TTaskbarDisplay atThirdRow;
    view.OnLog = [&](const TLogLine& line) {
        if (line.Text == QLatin1String("File #3"))
            atThirdRow = run.Taskbar();
    };
    ASSERT_TRUE(RunToEnd(run));
    EXPECT_EQ(atThirdRow.Progress, 66);
    EXPECT_EQ(atThirdRow.Max, 100);
    EXPECT_TRUE(atThirdRow.Visible);

    const QString out = QString::fromStdString(folder.file("out/new/"));
    QStringList expected = FileLines(QString::fromStdString(a), out + QStringLiteral("a.mkv"), 1);
    // A source deleted after it was added is named, not passed over without a word.
    expected += {QString(), QStringLiteral("File #2"), QString::fromStdString(gone), QStringLiteral("File not found!")};
    expected += FileLines(QString::fromStdString(b), out + QStringLiteral("b.mkv"), 3);
    // The end says how many converted, and names the file not converted again in plain words.
    expected += Verdict(
        QStringLiteral("Converted: 2, failed: 1, skipped: 0"),
        {QString::fromStdString(gone) + QStringLiteral(": the source is gone (deleted or moved during the run)")});
    EXPECT_EQ(WithoutRunTime(LinesAfterLoading(run.Log())), expected);
    EXPECT_TRUE(IsMedia(folder.file("out/new/a.mkv")));
    EXPECT_TRUE(IsMedia(folder.file("out/new/b.mkv")));

    // The title says the run had errors; the end state is closable and silent.
    EXPECT_EQ(run.Display().Caption, QStringLiteral("Finished with errors"));
    EXPECT_EQ(run.Display().Ending, TRunEnding::FinishedWithErrors);
    EXPECT_EQ(run.Display().BatchPercent, 100);
    EXPECT_TRUE(run.Display().OpenFolderEnabled);
    EXPECT_EQ(run.OutputFolder(), out);
    EXPECT_EQ(
        run.Tally().Rows()[1],
        (TRowStatus{TRowOutcome::Failed, QStringLiteral("the source is gone (deleted or moved during the run)")}));
    EXPECT_EQ(run.Display().FileLabel, QStringLiteral("Done."));
    EXPECT_EQ(run.Display().RemainingText, QStringLiteral("00:00:00"));
    EXPECT_EQ(run.Display().Percent, 100);
    EXPECT_TRUE(run.CanClose());
    EXPECT_FALSE(run.Display().StopEnabled);
    EXPECT_FALSE(run.ClockRunning());
    EXPECT_EQ(view.DefaultBeeps, 1);
    EXPECT_EQ(view.ErrorBeeps, 0);
    EXPECT_EQ(view.Terminated, 0);
    EXPECT_EQ(run.Taskbar().Progress, run.Taskbar().Max);
    EXPECT_EQ(run.FailedRows(), 1);
    ASSERT_EQ(run.NotConverted().size(), 1u);
    EXPECT_EQ(run.NotConverted()[0].Path, QString::fromStdString(gone));

    for (const TLogLine& line : run.Log().Lines()) {
        const TLogColour colour = line.Text.endsWith(QLatin1String("OK")) || line.Text == QLatin1String("Success!") ||
                                          line.Text == QLatin1String("Processing file...")
                                      ? TLogColour::Green
                                  : line.Text.startsWith(QLatin1String("Parameters ")) ? TLogColour::Grey
                                  // "Done." is blue only when every file was converted.
                                  : line.Text == QLatin1String("Done.")           ? TLogColour::Red
                                  : line.Text == QLatin1String("File not found!") ? TLogColour::Red
                                  : line.Text.startsWith(QString::fromStdString(gone) + QLatin1Char(':'))
                                      ? TLogColour::Red
                                      : TLogColour::Neutral;
        EXPECT_EQ(line.Colour, colour) << line.Text.toStdString();
        const bool bold = line.Text.startsWith(QLatin1String("File #")) ||
                          line.Text.startsWith(QLatin1String("Conv")) || line.Text == QLatin1String("Not converted:");
        EXPECT_EQ(line.Bold, bold) << line.Text.toStdString();
    }
}

// Stop pressed while the window catches up after "Processing file...", before the engine
// starts: nothing is converted into the discarded staged file and nothing is left behind.
TEST(ConversionRun, StopBeforeTheEngineStartsLeavesNothing)
{
    TempFolder folder;
    const std::string a = CopyTo(Clip(), folder.file("in/a.mp4"));
    TRecordingView view;
    TConversionRun run(VideoSetup({Row(a)}, folder.file("out"), QStringLiteral("MKV")), view);
    view.OnLog = [&run](const TLogLine& line) {
        if (line.Text == QLatin1String("Processing file..."))
            run.btn_StopClick();
    };
    ASSERT_TRUE(RunToEnd(run));
    EXPECT_EQ(run.Log().PlainLines().back(), QStringLiteral("Stopped."));
    EXPECT_FALSE(run.Encoder().Working());
    std::vector<std::string> left;
    if (std::filesystem::exists(folder.file("out")))
        for (const auto& entry : std::filesystem::directory_iterator(folder.file("out")))
            left.push_back(entry.path().filename().string());
    EXPECT_TRUE(left.empty()) << left.front();
}

// The next row follows a row's events at once, but never before the final terminate event:
// held back (as a loaded machine may deliver it), it still closes its own row, and the run
// steps forward once per row.
TEST(ConversionRun, TheNextRowWaitsForTheFinalEventHoweverLateItComes)
{
    TempFolder folder;
    const std::string a = CopyTo(Clip(), folder.file("in/a.mp4"));
    const std::string b = CopyTo(Clip(), folder.file("in/b.mp4"));
    TRecordingView view;
    TConversionRun run(VideoSetup({Row(a), Row(b)}, folder.file("out"), QStringLiteral("MKV")), view);
    const auto forward = run.Encoder().OnTerminate;
    int held = 0;
    run.Encoder().OnTerminate = [&](TCustomEncoder* sender, const TTerminateInfo& info) {
        if (info.TaskIndex >= 0) {
            forward(sender, info);
            return;
        }
        ++held;
        QTimer::singleShot(300, &run, [&run, forward, sender, info] { forward(sender, info); });
    };
    ASSERT_TRUE(RunToEnd(run));
    EXPECT_EQ(held, 2);
    const QString out = QString::fromStdString(folder.file("out/"));
    QStringList expected = FileLines(QString::fromStdString(a), out + QStringLiteral("a.mkv"), 1);
    expected += FileLines(QString::fromStdString(b), out + QStringLiteral("b.mkv"), 2);
    expected += Verdict(QStringLiteral("Converted: 2, failed: 0, skipped: 0"));
    EXPECT_EQ(WithoutRunTime(LinesAfterLoading(run.Log())), expected);
    EXPECT_EQ(run.NextFileIndex(), 2);
    EXPECT_EQ(run.FailedRows(), 0);
}

TEST(ConversionRun, OriginalPathWritesBesideEachSourceAndNeverOverASource)
{
    TempFolder folder;
    const std::string first = CopyTo(Clip(), folder.file("one/clip.mp4"));
    const std::string second = CopyTo(Clip(), folder.file("two/clip.mp4"));
    const std::string other = CopyTo(Clip(), folder.file("two/other.mkv"));
    const QByteArray original = ReadAll(first);
    TRecordingView view;
    int questions = 0;
    TRunSetup setup = VideoSetup({Row(first), Row(second), Row(other)}, "", QStringLiteral("MP4"));
    setup.AskOverwrite = [&](const QString&) {
        ++questions;
        return TOverwriteAnswer::Yes;
    };
    TConversionRun run(std::move(setup), view);
    ASSERT_TRUE(RunToEnd(run));

    EXPECT_EQ(questions, 0);
    EXPECT_EQ(ReadAll(first), original);
    EXPECT_EQ(ReadAll(second), original);
    EXPECT_TRUE(IsMedia(folder.file("one/clip (1).mp4")));
    EXPECT_TRUE(IsMedia(folder.file("two/clip (1).mp4")));
    EXPECT_TRUE(IsMedia(folder.file("two/other.mp4")));
    EXPECT_TRUE(run.Log().PlainLines().contains(QString::fromStdString(folder.file("two/clip (1).mp4"))));
}

// Both outputs exist before the run: the answers, the "… to all" answers held for the rest
// of the run, Keep both, the unattended run and Stop while the question shows.
TEST(ConversionRun, ExistingOutputIsAskedAboutWithTheClockStopped)
{
    using A = TOverwriteAnswer;
    struct Case {
        const char* name;
        bool attended;
        std::vector<A> answers;  // the stop case stops at its first question
        bool stop;
        int questions;
        std::vector<std::string> files;  // in out/, "new" for a converted output
        const char* counts;
        QString title;
    };
    const std::vector<Case> cases = {
        {"yes, no",
         true,
         {A::Yes, A::No},
         false,
         2,
         {"a.mkv new", "b.mkv old"},
         "Converted: 1, failed: 0, skipped: 1",
         "Finished"},
        {"yes to all",
         true,
         {A::YesToAll},
         false,
         1,
         {"a.mkv new", "b.mkv new"},
         "Converted: 2, failed: 0, skipped: 0",
         "Finished"},
        {"no to all",
         true,
         {A::NoToAll},
         false,
         1,
         {"a.mkv old", "b.mkv old"},
         "Converted: 0, failed: 0, skipped: 2",
         "Finished"},
        {"keep both",
         true,
         {A::KeepBoth, A::KeepBoth},
         false,
         2,
         {"a (1).mkv new", "a.mkv old", "b (1).mkv new", "b.mkv old"},
         "Converted: 2, failed: 0, skipped: 0",
         "Finished"},
        {"unattended",
         false,
         {},
         false,
         0,
         {"a.mkv old", "b.mkv old"},
         "Converted: 0, failed: 0, skipped: 2",
         "Finished"},
        {"stop while asked",
         true,
         {A::Yes},
         true,
         1,
         {"a.mkv old", "b.mkv old"},
         "Converted: 0, failed: 0, skipped: 2",
         "Stopped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string a = CopyTo(Clip(), folder.file("in/a.mp4"));
        const std::string b = CopyTo(Clip(), folder.file("in/b.mp4"));
        WriteText(folder.file("out/a.mkv"), "old");
        WriteText(folder.file("out/b.mkv"), "old");
        TRecordingView view;
        TRunSetup setup = VideoSetup({Row(a), Row(b)}, folder.file("out"), QStringLiteral("MKV"));
        QStringList asked;
        bool clockDuringQuestion = false;
        bool stopUsable = false;
        TConversionRun* running = nullptr;
        if (c.attended)
            setup.AskOverwrite = [&](const QString& name) {
                asked.append(name);
                clockDuringQuestion = clockDuringQuestion || running->ClockRunning();
                stopUsable = running->Display().StopEnabled;
                if (c.stop)
                    running->btn_StopClick();
                return c.answers.at(std::min<size_t>(c.answers.size() - 1, size_t(asked.size() - 1)));
            };
        TConversionRun run(std::move(setup), view);
        running = &run;
        ASSERT_TRUE(RunToEnd(run));

        EXPECT_EQ(asked.size(), c.questions);
        EXPECT_FALSE(clockDuringQuestion);
        if (c.attended) {
            EXPECT_TRUE(stopUsable);
        }
        std::vector<std::string> files;
        for (const std::string& name : Names(folder.file("out")))
            files.push_back(name + (ReadAll(folder.file("out/" + name)) == "old" ? " old" : " new"));
        EXPECT_EQ(files, c.files);
        const QStringList lines = LinesAfterLoading(run.Log());
        EXPECT_TRUE(lines.contains(QString::fromLatin1(c.counts))) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(run.Display().Caption, c.title);
        if (c.stop) {
            EXPECT_EQ(lines.last(), QStringLiteral("Stopped."));
        }
        if (!c.answers.empty() && c.answers[0] == A::KeepBoth) {
            EXPECT_TRUE(lines.contains(QStringLiteral("Saved as \"a (1).mkv\"")));
        }
        for (const TLogLine& line : run.Log().Lines()) {
            if (line.Text == QLatin1String("Skipped!") || line.Text.contains(QLatin1String("already exists"))) {
                EXPECT_EQ(line.Colour, TLogColour::Red);
            }
        }
    }
}

// Inputs of the command line that gave no row are named before the first row and counted;
// every input not converted reaches the reporter (stderr in the program) with its reason.
TEST(ConversionRun, InputsNotConvertedAreNamedAndReported)
{
    TempFolder folder;
    const std::string good = CopyTo(Clip(), folder.file("good.mp4"));
    const std::string bad = folder.file("bad.mp4");
    WriteText(bad, "this is no media file");
    TRunSetup setup = VideoSetup({Row(good), Row(bad)}, folder.file("out"), QStringLiteral("MKV"));
    setup.NotAdded = {{QStringLiteral("/in/f1000.mp4"), QStringLiteral("ignored: beyond position 999")},
                      {QStringLiteral("/in/notes.txt"), QStringLiteral("not a media file")}};
    TRejectedInputs reported;
    setup.ReportNotConverted = [&](const TRejectedInput& input) { reported.push_back(input); };
    TRecordingView view;
    TConversionRun run(std::move(setup), view);
    ASSERT_TRUE(RunToEnd(run));

    const QStringList lines = LinesAfterLoading(run.Log());
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(0, 4), QStringList({QString(), QStringLiteral("Not added: 2"),
                                            QStringLiteral("/in/f1000.mp4: ignored: beyond position 999"),
                                            QStringLiteral("/in/notes.txt: not a media file")}));
    EXPECT_EQ(run.FailedRows(), 3);
    ASSERT_EQ(reported.size(), 3u);
    EXPECT_EQ(reported, run.NotConverted());
    EXPECT_EQ(reported[2].Path, QString::fromStdString(bad));
    EXPECT_TRUE(reported[2].Reason.startsWith(QLatin1String("Loading file... Error! ")))
        << reported[2].Reason.toStdString();
    EXPECT_TRUE(IsMedia(folder.file("out/good.mkv")));
    // Named again at the end, each with one plain reason.
    EXPECT_EQ(WithoutRunTime(lines).mid(lines.size() - 8),
              Verdict(QStringLiteral("Converted: 1, failed: 3, skipped: 0"),
                      {QStringLiteral("/in/f1000.mp4: ignored: beyond position 999"),
                       QStringLiteral("/in/notes.txt: not a media file"),
                       QString::fromStdString(bad) + QStringLiteral(": damaged or incomplete file")}));
}

// An output folder that cannot be made says so on every row, in place of the engine's
// "No such file or directory" for the output file.
TEST(ConversionRun, FolderThatCannotBeCreatedIsSaidInPlainWords)
{
    TempFolder folder;
    const std::string good = CopyTo(Clip(), folder.file("good.mp4"));
    WriteText(folder.file("plain-file"), "x");
    TRecordingView view;
    TConversionRun run(VideoSetup({Row(good), Row(good)}, folder.file("plain-file/out"), QStringLiteral("MKV")), view);
    ASSERT_TRUE(RunToEnd(run));
    int folderErrors = 0;
    for (const QString& line : run.Log().PlainLines()) {
        EXPECT_FALSE(line.contains(QLatin1String("No such file or directory"))) << line.toStdString();
        if (line.startsWith(
                QStringLiteral("Cannot create folder \"%1").arg(QString::fromStdString(folder.file("plain-file/out")))))
            ++folderErrors;
    }
    EXPECT_EQ(folderErrors, 2);
    EXPECT_EQ(run.FailedRows(), 2);
}

TEST(ConversionRun, FailedRowsLogTheirErrorAndTheRunGoesOn)
{
    TempFolder folder;
    const std::string bad = folder.file("bad.mp4");
    WriteText(bad, "this is no media file");
    const std::string good = CopyTo(Clip(), folder.file("good.mp4"));

    TRecordingView view;
    TConversionRun run(VideoSetup({Row(bad), Row(good)}, folder.file("out"), QStringLiteral("MKV")), view);
    ASSERT_TRUE(RunToEnd(run));
    const QStringList lines = LinesAfterLoading(run.Log());
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[3].startsWith(QLatin1String("Loading file... Error! "))) << lines[3].toStdString();
    EXPECT_GT(lines[3].size(), QStringLiteral("Loading file... Error! ").size());
    EXPECT_EQ(run.Log().Lines()[run.Log().Lines().size() - lines.size() + 3].Colour, TLogColour::Red);
    EXPECT_TRUE(lines.contains(QStringLiteral("File #2")));
    EXPECT_TRUE(IsMedia(folder.file("out/good.mkv")));
    EXPECT_EQ(view.ErrorBeeps, 1);

    // Options the engine refuses: the task is removed, the error logged, the next row taken.
    TRunSetup setup = VideoSetup({Row(good), Row(good)}, folder.file("out2"), QStringLiteral("MKV"));
    setup.Options = QStringLiteral("-c:v no_such_encoder");
    TRecordingView view2;
    TConversionRun refused(std::move(setup), view2);
    ASSERT_TRUE(RunToEnd(refused));
    int errors = 0;
    for (const QString& line : refused.Log().PlainLines())
        if (line.startsWith(QLatin1String("Applying parameters... Error! ")))
            ++errors;
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(view2.ErrorBeeps, 2);
    EXPECT_EQ(refused.Log().PlainLines().last(), QStringLiteral("Done."));
    EXPECT_EQ(refused.Tally().Rows()[1],
              (TRowStatus{TRowOutcome::Failed, QStringLiteral("unknown encoder 'no_such_encoder'")}));
    EXPECT_EQ(refused.Display().Caption, QStringLiteral("Finished with errors"));
}

// The FFMPEG command's options reach the same engine: a source named as a file to write, or a
// filter that would open a network address, fails the row with the reason; nothing says
// "Success!", the source keeps its bytes, and the listener sees no connection.
TEST(ConversionRun, TypedOptionsNeverWriteASourceNorReachTheNetwork)
{
    LocalHttpServer listener(THttpReply{});
    struct Case {
        const char* name;
        std::function<QString(const std::string& source)> options;
        QString error;
    };
    const std::vector<Case> cases = {
        {"progress", [](const std::string& s) { return QString::fromStdString("-progress " + s + " -c:v mpeg4"); },
         QStringLiteral("the progress file is the same file as the input")},
        {"filter file",
         [](const std::string& s) {
             return QString::fromStdString("-vf metadata=mode=print:file=" + s + " -c:v mpeg4");
         },
         QStringLiteral("the file of filter metadata (file) is the same file as the input")},
        {"movie over http",
         [&](const std::string&) {
             return QString::fromStdString("-vf \"movie='http\\://127.0.0.1\\:" + std::to_string(listener.Port()) +
                                           "/x'[m];[in][m]overlay\" -c:v mpeg4");
         },
         QStringLiteral("protocol \"http\" is not allowed")},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string source = CopyTo(Clip(), folder.file("a.mp4"));
        const QByteArray before = ReadAll(source);
        TRecordingView view;
        TRunSetup setup = VideoSetup({Row(source)}, folder.file("out"), QStringLiteral("MKV"));
        setup.Options = c.options(source);
        TConversionRun run(std::move(setup), view);
        ASSERT_TRUE(RunToEnd(run)) << c.name;
        const QStringList lines = LinesAfterLoading(run.Log());
        const std::string all = lines.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(CountOf(lines, QStringLiteral("Success!")), 0) << c.name << ": " << all;
        EXPECT_EQ(run.FailedRows(), 1) << c.name << ": " << all;
        EXPECT_TRUE(lines.join(QLatin1Char('\n')).contains(c.error)) << c.name << ": " << all;
        EXPECT_EQ(ReadAll(source), before) << c.name;
        EXPECT_EQ(Names(folder.file("out")), std::vector<std::string>{}) << c.name;
    }
    EXPECT_EQ(listener.Connections(), 0);
}

TEST(ConversionRun, SecondRunDoesNotLoadTheLibrariesAgain)
{
    TempFolder folder;
    const std::string a = CopyTo(Clip(), folder.file("a.mp4"));
    for (int pass = 0; pass < 2; ++pass) {
        TRecordingView view;
        TConversionRun run(VideoSetup({Row(a)}, folder.file(pass ? "out2" : "out1"), QStringLiteral("MKV")), view);
        ASSERT_TRUE(RunToEnd(run));
        if (pass == 1) {
            const QStringList lines = run.Log().PlainLines();
            ASSERT_GE(lines.size(), 3);
            EXPECT_EQ(lines[0], QStringLiteral("Loading AV components..."));
            EXPECT_EQ(lines[1], QString());
            EXPECT_EQ(lines[2], QStringLiteral("File #1"));
        }
    }
}

TEST(ConversionRun, PauseResumeAndStopCancelTheRun)
{
    TempFolder folder;
    const std::string longClip = CopyTo(LongClip(), folder.file("long.mkv"));
    const std::string after = CopyTo(Clip(), folder.file("after.mp4"));
    TRecordingView view;
    TRunSetup setup = VideoSetup({Row(longClip), Row(after)}, folder.file("out"), QStringLiteral("MP4"));
    setup.ExitAtEnd = true;
    setup.LogPath = QString::fromStdString(folder.file("log.txt"));
    TConversionRun run(std::move(setup), view);

    bool closableWhileConverting = true;
    bool clockWhilePaused = true;
    int step = 0;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!run.Encoder().Working() || run.LastCurrentDuration() <= 0)
            return;
        if (step == 0) {
            closableWhileConverting = run.CanClose();
            run.btn_PauseClick();
            clockWhilePaused = run.ClockRunning();
            EXPECT_EQ(run.Display().PauseCaption, QStringLiteral("Resume"));
            run.btn_PauseClick();
            EXPECT_EQ(run.Display().PauseCaption, QStringLiteral("Pause"));
            EXPECT_TRUE(run.ClockRunning());
            step = 1;
            run.btn_StopClick();
        }
    });
    driver.start();
    ASSERT_TRUE(RunToEnd(run));
    driver.stop();

    EXPECT_EQ(step, 1);
    EXPECT_FALSE(closableWhileConverting);
    EXPECT_FALSE(clockWhilePaused);
    const QStringList lines = run.Log().PlainLines();
    const int paused = lines.indexOf(QStringLiteral("Paused!"));
    ASSERT_GE(paused, 0);
    EXPECT_EQ(
        WithoutRunTime(lines.mid(paused)),
        QStringList({QStringLiteral("Paused!"), QStringLiteral("Resumed!"), QStringLiteral("Cancelled by user!")}) +
            Verdict(QStringLiteral("Converted: 0, failed: 0, skipped: 2"),
                    {QString::fromStdString(longClip) + QStringLiteral(": stopped"),
                     QString::fromStdString(after) + QStringLiteral(": stopped")},
                    "Stopped."));
    EXPECT_FALSE(lines.contains(QStringLiteral("File #2")));
    EXPECT_EQ(run.Log().Lines().back().Colour, TLogColour::Neutral);
    // The bars stay where the run was stopped; the title says so.
    EXPECT_LT(run.Display().Percent, 100);
    EXPECT_LT(run.Display().BatchPercent, 100);
    EXPECT_LT(run.Taskbar().Progress, 100);
    EXPECT_EQ(run.Display().Caption, QStringLiteral("Stopped"));
    // The cancelled end: closable, buttons hidden, size cleared, no log file, no exit.
    EXPECT_TRUE(run.CanClose());
    EXPECT_FALSE(run.Display().StopPauseVisible);
    EXPECT_TRUE(run.Display().SizeText.isEmpty());
    EXPECT_EQ(run.Display().FileLabel, QStringLiteral("Stopped."));
    EXPECT_EQ(view.Terminated, 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder.file("log.txt"))));
    EXPECT_EQ(view.ErrorBeeps, 1);
    EXPECT_EQ(view.DefaultBeeps, 1);
    // Stopped: neither the output nor its temporary file is left.
    EXPECT_EQ(Names(folder.file("out")), std::vector<std::string>{});
}

TEST(ConversionRun, ProgressWithoutAUsableTotalKeepsThePercent)
{
    TRecordingView view;
    TConversionRun run(VideoSetup({}, "", QStringLiteral("MP4")), view);
    TProgressInfo info;
    info.TotalDuration = 4'000'000;
    info.CurrentDuration = 1'000'000;
    info.CurrentSize = 2048;
    run.FFEncoderProgress(info);
    EXPECT_EQ(run.Display().Percent, 25);
    EXPECT_EQ(run.Display().PercentText, QStringLiteral("25%"));

    struct Case {
        int64_t total;
        int64_t current;
    };
    for (const Case c : {Case{0, 2'000'000}, Case{-1, 2'000'000}, Case{4'000'000, 4'000'000}}) {
        info.TotalDuration = c.total;
        info.CurrentDuration = c.current;
        info.CurrentSize = 1048577;
        run.FFEncoderProgress(info);
        EXPECT_EQ(run.Display().Percent, 25) << c.total;
        EXPECT_EQ(run.Display().PercentText, QStringLiteral("25%")) << c.total;
        EXPECT_TRUE(run.Display().SizeText.endsWith(QLatin1String(" MB"))) << c.total;
    }
}

TEST(ConversionRun, AudioProgressIsMeasuredAgainstTheProbedDuration)
{
    TRecordingView view;
    TRunSetup setup;
    setup.Kind = TRunKind::Audio;
    TConversionRun run(std::move(setup), view);
    TProgressInfo info;
    info.TotalDuration = 4'000'000;  // the report's own total is not used
    info.CurrentDuration = 1'000'000;
    info.CurrentSize = 1000;
    run.FFEncoderProgress(info);
    EXPECT_EQ(run.Display().Percent, 0);
    EXPECT_TRUE(run.Display().PercentText.isEmpty());
    EXPECT_EQ(run.Display().SizeText, QStringLiteral("1 KB"));
    EXPECT_EQ(run.Display().FileLabel, QStringLiteral("Saving audio..."));
}

TEST(ConversionRun, AudioExtractionSavesTheLogAndEndsACommandLineRun)
{
    TempFolder folder;
    const std::string a = CopyTo(Clip(), folder.file("a.mp4"));
    TRecordingView view;
    TRunSetup setup;
    setup.Kind = TRunKind::Audio;
    setup.Rows = {Row(a)};
    setup.OutputPath = QString::fromStdString(folder.file("out/"));
    setup.AudioFormatIndex = 1;  // WAV
    setup.Options = QStringLiteral("-vn");
    setup.ExitAtEnd = true;
    setup.LogPath = QString::fromStdString(folder.file("log.txt"));
    int64_t durationSeen = 0;
    TConversionRun* running = nullptr;
    view.OnLog = [&](const TLogLine& line) {
        if (line.Text == QLatin1String("Processing file..."))
            durationSeen = running->SourceDuration();
    };
    TConversionRun run(std::move(setup), view);
    running = &run;
    ASSERT_TRUE(RunToEnd(run));

    EXPECT_NEAR(double(durationSeen), 1e6, 1e5);
    EXPECT_EQ(run.LastTotalDuration(), durationSeen);
    EXPECT_TRUE(IsMedia(folder.file("out/a.wav")));
    EXPECT_EQ(view.Terminated, 1);
    const QStringList saved = QString::fromUtf8(ReadAll(folder.file("log.txt"))).split(QLatin1Char('\n'));
    EXPECT_EQ(saved.mid(0, saved.size() - 1), run.Log().PlainLines());
}

// A conversion or extraction that fails inside the engine (here the encoder refuses to open)
// ends its row in red "Error!" with the error beep, never "Success!", and leaves no file.
TEST(ConversionRun, AFileThatFailsWhileConvertingEndsInErrorWithNoOutput)
{
    struct Case {
        const char* name;
        TRunKind kind;
        QString options;
    };
    const std::vector<Case> cases = {
        {"video", TRunKind::Video, QStringLiteral("-c:v libx264 -profile:v no_such_profile -c:a aac")},
        {"audio", TRunKind::Audio, QStringLiteral("-vn -c:a libmp3lame -ar 1234")},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string a = CopyTo(Clip(), folder.file("a.mp4"));
        TRecordingView view;
        TRunSetup setup = VideoSetup({Row(a)}, folder.file("out"), QStringLiteral("MP4"));
        setup.Kind = c.kind;
        setup.AudioFormatIndex = 0;  // MP3
        setup.Options = c.options;
        TConversionRun run(std::move(setup), view);
        ASSERT_TRUE(RunToEnd(run)) << c.name;
        const QStringList lines = LinesAfterLoading(run.Log());
        EXPECT_EQ(CountOf(lines, QStringLiteral("Success!")), 0)
            << c.name << lines.join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(CountOf(lines, QStringLiteral("Error!")), 1) << c.name << lines.join(QLatin1Char('|')).toStdString();
        const int error = int(run.Log().PlainLines().indexOf(QStringLiteral("Error!")));
        EXPECT_EQ(run.Log().Lines()[size_t(error)].Colour, TLogColour::Red) << c.name;
        EXPECT_EQ(run.Log().Lines()[size_t(error) - 1].Colour, TLogColour::Red) << c.name << ": the engine's message";
        EXPECT_EQ(view.ErrorBeeps, 1) << c.name;
        EXPECT_EQ(run.FailedRows(), 1) << c.name;
        EXPECT_EQ(Names(folder.file("out")), std::vector<std::string>{}) << c.name;
        // Named once, with the engine's message as the reason.
        ASSERT_EQ(run.NotConverted().size(), 1u) << c.name;
        EXPECT_EQ(run.NotConverted()[0].Path, QString::fromStdString(a)) << c.name;
        EXPECT_EQ(run.NotConverted()[0].Reason, run.Log().PlainLines()[error - 1]) << c.name;
        EXPECT_EQ(CountOf(lines, run.Log().PlainLines()[error - 1]), 1)
            << c.name << ": the engine's line is not repeated";
    }
}

namespace {

// An MPEG-2 transport stream with stretches of garbage: it converts, with decoder complaints.
std::string DamagedCopy(const std::string& path)
{
    const std::string damaged = CopyTo(MakeMedia("run_damaged.ts",
                                                 "-f lavfi -i testsrc=size=320x240:rate=25:duration=4 "
                                                 "-c:v mpeg2video -g 250 -b:v 1M"),
                                       path);
    std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
    const auto size = std::filesystem::file_size(damaged);
    for (std::uintmax_t at = size / 4; at < size; at += size / 8) {
        file.seekp(static_cast<std::streamoff>(at));
        file << std::string(3000, '\xA5');
    }
    return damaged;
}

}  // namespace

// A damaged source still converts; the engine's warnings and decoder errors follow the row
// in maroon, at most 20 of them and then how many more there were.
TEST(ConversionRun, TheEngineWarningsOfADamagedSourceAreShownWithItsRow)
{
    TempFolder folder;
    const std::string damaged = DamagedCopy(folder.file("damaged.ts"));
    TRecordingView view;
    TConversionRun run(VideoSetup({Row(damaged)}, folder.file("out"), QStringLiteral("MKV")), view);
    ASSERT_TRUE(RunToEnd(run));
    QStringList engine;
    for (const TLogLine& line : run.Log().Lines())
        if (line.Colour == TLogColour::Maroon)
            engine.append(line.Text);
    ASSERT_FALSE(engine.isEmpty()) << run.Log().PlainLines().join(QLatin1Char('\n')).toStdString();
    ASSERT_LE(engine.size(), 21);
    if (engine.size() == 21) {
        EXPECT_TRUE(engine.last().endsWith(QLatin1String("more messages of the engine)")))
            << engine.last().toStdString();
    }
    // They stand between the row's output name and its result.
    const QStringList lines = run.Log().PlainLines();
    const auto first = lines.indexOf(engine.first());
    EXPECT_GT(first, lines.indexOf(QString::fromStdString(folder.file("out/damaged.mkv"))));
    EXPECT_LT(first,
              std::max(lines.lastIndexOf(QStringLiteral("Success!")), lines.lastIndexOf(QStringLiteral("Error!"))));
}

// Preview decodes on the thread of the run while the run converts: its decoder's complaints
// about a damaged file are no part of the run's log (nor of its log.txt).
TEST(ConversionRun, APreviewBesideTheRunKeepsItsEngineLinesOutOfTheRunLog)
{
    TempFolder folder;
    const std::string damaged = DamagedCopy(folder.file("preview/damaged.ts"));
    TRecordingView view;
    TConversionRun run(
        VideoSetup({Row(CopyTo(LongClip(), folder.file("long.mkv")))}, folder.file("out"), QStringLiteral("MKV")),
        view);
    int previewFrames = 0;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!run.Encoder().Working() || run.LastCurrentDuration() <= 0)
            return;
        driver.stop();
        TPreviewSession preview(std::string{});
        ASSERT_TRUE(preview.Open(damaged)) << preview.LastErrMsg();
        while (previewFrames < 100 && preview.NextFrame())
            ++previewFrames;
    });
    driver.start();
    ASSERT_TRUE(RunToEnd(run));
    ASSERT_GT(previewFrames, 0);
    EXPECT_TRUE(run.Completed());
    for (const TLogLine& line : run.Log().Lines()) {
        EXPECT_FALSE(line.Text.contains(QLatin1String("mpeg2video"))) << line.Text.toStdString();
        EXPECT_FALSE(line.Text.contains(QLatin1String("mpegts"))) << line.Text.toStdString();
    }
}

// Converting beside a good file, a damaged source's engine lines stay with it: in its block,
// or (a line no file can be told by) between the blocks naming the files converting then;
// never in the good file's block.
TEST(ConversionRun, TheEngineLinesOfTwoFilesAtOnceStayWithTheirFile)
{
    TempFolder folder;
    const std::string damaged = DamagedCopy(folder.file("damaged.ts"));
    const std::string good = CopyTo(MakeMedia("run_medium.mkv",
                                              "-f lavfi -i testsrc=size=320x240:rate=25:duration=8 "
                                              "-c:v mpeg4 -q:v 5"),
                                    folder.file("good.mkv"));
    TRecordingView view;
    TRunSetup setup = VideoSetup({Row(good), Row(damaged)}, folder.file("out"), QStringLiteral("MP4"));
    setup.ThreadsText = QStringLiteral("2");
    TConversionRun run(std::move(setup), view);
    ASSERT_TRUE(RunToEnd(run));
    const std::map<int, QStringList> blocks = FileBlocks(LinesAfterLoading(run.Log()));
    ASSERT_EQ(blocks.size(), 2u);
    int own = 0;
    for (const TLogLine& line : run.Log().Lines()) {
        if (line.Colour != TLogColour::Maroon)
            continue;
        const bool inDamaged = blocks.at(2).contains(line.Text);
        const bool between = line.Text.startsWith(QLatin1Char('(')) && line.Text.contains(QLatin1String("damaged.mp4"));
        own += inDamaged ? 1 : 0;
        EXPECT_TRUE(inDamaged || between) << line.Text.toStdString();
        if (!between) {
            EXPECT_FALSE(blocks.at(1).contains(line.Text)) << line.Text.toStdString();
        }
    }
    EXPECT_GT(own, 0) << run.Log().PlainLines().join(QLatin1Char('\n')).toStdString();
}

// Two sources of one name into one folder: the second output is numbered, never put to the
// overwrite question nor skipped; the question stays for a file that was there before.
TEST(ConversionRun, AnOutputOfThisRunIsNeverOverwrittenNorAskedAbout)
{
    struct Case {
        const char* name;
        bool attended;
        bool existedBefore;
        int questions;
        std::vector<std::string> outputs;
    };
    const std::vector<Case> cases = {
        {"unattended", false, false, 0, {"clip (1).avi", "clip.avi"}},
        {"attended", true, false, 0, {"clip (1).avi", "clip.avi"}},
        {"one existed before", true, true, 1, {"clip (1).avi", "clip.avi"}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string first = CopyTo(Clip(), folder.file("one/clip.mp4"));
        const std::string second = CopyTo(Clip(), folder.file("two/clip.mov"));
        if (c.existedBefore)
            WriteText(folder.file("out/clip.avi"), "old");
        TRecordingView view;
        TRunSetup setup = VideoSetup({Row(first), Row(second)}, folder.file("out"), QStringLiteral("AVI"));
        int questions = 0;
        if (c.attended)
            setup.AskOverwrite = [&](const QString&) {
                ++questions;
                return TOverwriteAnswer::Yes;
            };
        TConversionRun run(std::move(setup), view);
        ASSERT_TRUE(RunToEnd(run)) << c.name;
        EXPECT_EQ(questions, c.questions) << c.name;
        EXPECT_EQ(CountOf(run.Log().PlainLines(), QStringLiteral("Success!")), 2) << c.name;
        EXPECT_EQ(Names(folder.file("out")), c.outputs) << c.name;
        for (const std::string& output : c.outputs)
            EXPECT_TRUE(IsMedia(folder.file("out/" + output))) << c.name << ": " << output;
        EXPECT_EQ(run.FailedRows(), 0) << c.name;
    }
}

// Another program writes the output's name while the run converts: its file is kept, and
// this run's output takes the next free number.
TEST(ConversionRun, AnOutputThatAppearsMeanwhileIsKept)
{
    TempFolder folder;
    const std::string a = CopyTo(Clip(), folder.file("a.mp4"));
    TRecordingView view;
    view.OnLog = [&](const TLogLine& line) {
        if (line.Text == QLatin1String("Processing file..."))
            WriteText(folder.file("out/a.mkv"), "theirs");
    };
    TConversionRun run(VideoSetup({Row(a)}, folder.file("out"), QStringLiteral("MKV")), view);
    ASSERT_TRUE(RunToEnd(run));
    EXPECT_EQ(ReadAll(folder.file("out/a.mkv")), QByteArray("theirs"));
    EXPECT_TRUE(IsMedia(folder.file("out/a (1).mkv")));
    EXPECT_EQ(Names(folder.file("out")), (std::vector<std::string>{"a (1).mkv", "a.mkv"}));
    EXPECT_TRUE(
        run.Log().PlainLines().contains(QStringLiteral("\"a.mkv\" appeared meanwhile; saved as \"a (1).mkv\"")));
    EXPECT_EQ(run.Log().PlainLines().last(), QStringLiteral("Done."));
    EXPECT_EQ(CountOf(LinesAfterLoading(run.Log()), QStringLiteral("Success!")), 1);
}

// log.txt: the previous one is removed when a run that saves its log starts, so a killed or
// stopped run leaves none to be mistaken for its own; a file name with a newline stays one line.
TEST(ConversionRun, TheLogFileBelongsToThisRunAndKeepsOneLinePerEntry)
{
    TempFolder folder;
    const std::string odd = CopyTo(Clip(), folder.file("new\nline.mp4"));
    const std::string logPath = folder.file("log.txt");
    struct Case {
        const char* name;
        bool stop;
    };
    for (const Case c : {Case{"stopped", true}, Case{"completed", false}}) {
        WriteText(logPath, "a previous run's log\n");
        TRecordingView view;
        TRunSetup setup = VideoSetup({Row(odd)}, folder.file(c.stop ? "out1" : "out2"), QStringLiteral("MKV"));
        setup.ExitAtEnd = true;
        setup.LogPath = QString::fromStdString(logPath);
        TConversionRun run(std::move(setup), view);
        bool logGoneAtStart = false;
        view.OnLog = [&](const TLogLine& line) {
            if (line.Text == QLatin1String("Loading AV components..."))
                logGoneAtStart = !std::filesystem::exists(logPath);
            if (c.stop && line.Text == QLatin1String("Processing file..."))
                QTimer::singleShot(0, &run, &TConversionRun::btn_StopClick);
        };
        ASSERT_TRUE(RunToEnd(run)) << c.name;
        EXPECT_TRUE(logGoneAtStart) << c.name;
        EXPECT_EQ(std::filesystem::exists(logPath), !c.stop) << c.name;
        const QString shown = QString::fromStdString(folder.file("new\\nline.mp4"));
        EXPECT_TRUE(run.Log().PlainLines().contains(shown)) << c.name;
        if (!c.stop) {
            const QStringList saved = QString::fromUtf8(ReadAll(logPath)).split(QLatin1Char('\n'));
            EXPECT_EQ(saved.mid(0, saved.size() - 1), run.Log().PlainLines()) << c.name;
        }
    }
    EXPECT_EQ(EscapeControlCharacters(QStringLiteral("a\tb\rc\x1b")), QStringLiteral("a\\tb\\rc\\x1b"));
}

// A full disk (a small tmpfs, mounted when the test may): the row fails in red, nothing is
// left in the folder, and a log that cannot be saved leaves no empty log.txt behind.
TEST(ConversionRun, AFullDiskFailsTheRowAndLeavesNothing)
{
    TempFolder folder;
    const std::string disk = folder.file("disk");
    auto small = std::make_unique<SmallDisk>(disk, 256 * 1024);
    if (!small->Mounted())
        GTEST_SKIP() << small->Reason();
    const std::string longClip = CopyTo(LongClip(), folder.file("long.mkv"));
    TRecordingView view;
    TRunSetup setup = VideoSetup({Row(longClip)}, disk, QStringLiteral("MKV"));
    setup.ExitAtEnd = true;
    setup.LogPath = QString::fromStdString(disk + "/log.txt");
    TConversionRun run(std::move(setup), view);
    const bool over = RunToEnd(run);
    const std::vector<std::string> left = Names(disk);
    small.reset();
    ASSERT_TRUE(over);
    EXPECT_EQ(CountOf(run.Log().PlainLines(), QStringLiteral("Error!")), 1);
    EXPECT_EQ(CountOf(LinesAfterLoading(run.Log()), QStringLiteral("Success!")), 0);
    EXPECT_EQ(run.FailedRows(), 1);
    // Either the log fitted or there is none; never a cut or empty one; a lost one is said.
    EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"log.txt"}) << left.front();
    EXPECT_EQ(run.LogLost(), left.empty());
    // The engine's complaint about the full disk names the output, never its hidden temporary file.
    for (const QString& line : run.Log().PlainLines())
        EXPECT_FALSE(line.contains(QLatin1String(".partial-"))) << line.toStdString();
    ASSERT_EQ(run.NotConverted().size(), 1u);
    EXPECT_FALSE(run.NotConverted()[0].Reason.contains(QLatin1String(".partial-")));
}

TEST(ConversionRun, ThreadsSayHowManyFilesConvertAtOnce)
{
    const std::pair<const char*, int> cases[] = {{"1", 1}, {"2", 2}, {"8", 8}, {"9", 1}, {"0", 1}, {"", 1}, {"x", 1}};
    for (const auto& [text, count] : cases)
        EXPECT_EQ(FilesAtOnceFor(QString::fromLatin1(text)), count) << text;
}

// The same rows one at a time and two at once: each file's block reads the same, outputs
// and names are the same (two sources of one name taken together still get "clip.mkv" and
// "clip (1).mkv"), every output decodes to its end, and the verdict, reasons and row
// statuses agree. Two at once takes two files together; their lines never mix.
TEST(ConversionRun, TwoFilesAtOnceEndExactlyAsOneAtATime)
{
    struct Result {
        std::map<int, QStringList> Blocks;
        std::vector<TRowStatus> Rows;
        QStringList NotConverted;
        QStringList Verdict;
    };
    std::map<QString, Result> results;
    for (const QString& threads : {QStringLiteral("1"), QStringLiteral("2")}) {
        SCOPED_TRACE(threads.toStdString());
        TempFolder folder;
        const std::string one = CopyTo(Clip(), folder.file("one/clip.mp4"));
        const std::string two = CopyTo(Clip(), folder.file("two/clip.mp4"));
        const std::string bad = folder.file("bad.mp4");
        WriteText(bad, "this is no media file");
        const std::string exists = CopyTo(Clip(), folder.file("exists.mp4"));
        WriteText(folder.file("out/exists.mkv"), "old");
        const std::string c = CopyTo(Clip(), folder.file("c.mp4"));
        TRunSetup setup = VideoSetup({Row(one), Row(two), Row(bad), Row(folder.file("gone.mp4")), Row(exists), Row(c)},
                                     folder.file("out"), QStringLiteral("MKV"));
        setup.ThreadsText = threads;
        setup.ExitAtEnd = true;
        setup.LogPath = QString::fromStdString(folder.file("log.txt"));
        std::vector<TRowStatus> statuses(6);
        setup.RowStatusChanged = [&](int row, const TRowStatus& status) { statuses.at(size_t(row)) = status; };
        TRecordingView view;
        TConversionRun run(std::move(setup), view);
        int most = 0;
        view.OnDisplay = [&] { most = std::max(most, run.ActiveFiles()); };
        // Two at once: the first file stays under way until the second is taken, however fast
        // it converts (its final event waits), so both "clip.mp4" are named side by side.
        const auto forward = run.Encoder().OnTerminate;
        std::function<void(TCustomEncoder*, const TTerminateInfo&)> hold = [&](TCustomEncoder* sender,
                                                                               const TTerminateInfo& info) {
            if (info.TaskIndex < 0 && most < run.FilesAtOnce())
                QTimer::singleShot(20, &run, [&hold, sender, info] { hold(sender, info); });
            else
                forward(sender, info);
        };
        run.Encoder().OnTerminate = [&](TCustomEncoder* sender, const TTerminateInfo& info) { hold(sender, info); };
        ASSERT_TRUE(RunToEnd(run));

        EXPECT_EQ(most, threads.toInt());
        EXPECT_EQ(Names(folder.file("out")),
                  (std::vector<std::string>{"c.mkv", "clip (1).mkv", "clip.mkv", "exists.mkv"}));
        for (const char* output : {"out/c.mkv", "out/clip (1).mkv", "out/clip.mkv"})
            EXPECT_TRUE(DecodesCompletely(folder.file(output))) << output;
        EXPECT_EQ(ReadAll(folder.file("out/exists.mkv")), QByteArray("old"));
        const QStringList lines = run.Log().PlainLines();
        const QStringList saved = QString::fromUtf8(ReadAll(folder.file("log.txt"))).split(QLatin1Char('\n'));
        EXPECT_EQ(saved.mid(0, saved.size() - 1), lines);
        EXPECT_EQ(statuses, run.Tally().Rows());
        EXPECT_EQ(run.Display().Caption, QStringLiteral("Finished with errors"));
        EXPECT_EQ(run.Display().BatchPercent, 100);
        EXPECT_EQ(run.FailedRows(), 3);

        Result& result = results[threads];
        result.Blocks = FileBlocks(Relative(LinesAfterLoading(run.Log()), folder));
        result.Rows = run.Tally().Rows();
        for (const TRejectedInput& input : run.NotConverted())
            result.NotConverted.append(Relative({input.Path + QLatin1Char('|') + input.Reason}, folder));
        result.Verdict = Relative(WithoutRunTime(lines.mid(lines.indexOf(QStringLiteral("Not converted:")))), folder);
        ASSERT_EQ(result.Blocks.size(), 6u);
        EXPECT_EQ(result.Blocks[2][2], QStringLiteral("<folder>/two/clip.mp4"));
        EXPECT_EQ(result.Blocks[2].last(), QStringLiteral("Success!"));
        EXPECT_EQ(result.Verdict.mid(result.Verdict.size() - 2),
                  QStringList({QStringLiteral("Converted: 3, failed: 2, skipped: 1"), QStringLiteral("Done.")}));
    }
    EXPECT_EQ(results[QStringLiteral("2")].Blocks, results[QStringLiteral("1")].Blocks);
    EXPECT_EQ(results[QStringLiteral("2")].Rows, results[QStringLiteral("1")].Rows);
    EXPECT_EQ(results[QStringLiteral("2")].NotConverted, results[QStringLiteral("1")].NotConverted);
    EXPECT_EQ(results[QStringLiteral("2")].Verdict, results[QStringLiteral("1")].Verdict);
}

// An existing output is asked about while another file goes on converting: one question at a
// time, the clock running meanwhile, and the answers remembered as one at a time.
TEST(ConversionRun, TheOverwriteQuestionComesWhileAnotherFileConverts)
{
    using A = TOverwriteAnswer;
    struct Case {
        const char* name;
        std::vector<A> answers;
        int questions;
        std::vector<std::string> files;  // in out/, "new" for a converted output
        const char* counts;
    };
    const std::vector<Case> cases = {
        {"yes to all",
         {A::YesToAll},
         1,
         {"b.mkv new", "c.mkv new", "first.mkv new"},
         "Converted: 3, failed: 0, skipped: 0"},
        {"keep both, then no",
         {A::KeepBoth, A::No},
         2,
         {"b (1).mkv new", "b.mkv old", "c.mkv old", "first.mkv new"},
         "Converted: 2, failed: 0, skipped: 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string first = CopyTo(Clip(), folder.file("in/first.mp4"));
        const std::string b = CopyTo(Clip(), folder.file("in/b.mp4"));
        const std::string cc = CopyTo(Clip(), folder.file("in/c.mp4"));
        WriteText(folder.file("out/b.mkv"), "old");
        WriteText(folder.file("out/c.mkv"), "old");
        TRunSetup setup = VideoSetup({Row(first), Row(b), Row(cc)}, folder.file("out"), QStringLiteral("MKV"));
        setup.ThreadsText = QStringLiteral("2");
        TConversionRun* running = nullptr;
        int asked = 0;
        bool inQuestion = false;
        bool twoAtOnce = false;
        int activeAtFirst = 0;
        bool clockAtFirst = false;
        setup.AskOverwrite = [&](const QString&) {
            twoAtOnce = twoAtOnce || inQuestion;
            inQuestion = true;
            if (asked == 0) {
                activeAtFirst = running->ActiveFiles();
                clockAtFirst = running->ClockRunning();
            }
            QEventLoop wait;  // the answer takes a while: events go on meanwhile
            QTimer::singleShot(200, &wait, &QEventLoop::quit);
            wait.exec();
            inQuestion = false;
            return c.answers.at(std::min<size_t>(c.answers.size() - 1, size_t(asked++)));
        };
        TRecordingView view;
        TConversionRun run(std::move(setup), view);
        running = &run;
        // The first file stays under way until b was asked about, however fast it converts:
        // its final event waits for the first answer.
        const auto forward = run.EncoderOf(0).OnTerminate;
        std::function<void(TCustomEncoder*, const TTerminateInfo&)> hold = [&](TCustomEncoder* sender,
                                                                               const TTerminateInfo& info) {
            if (info.TaskIndex < 0 && asked == 0)
                QTimer::singleShot(20, &run, [&hold, sender, info] { hold(sender, info); });
            else
                forward(sender, info);
        };
        run.EncoderOf(0).OnTerminate = [&](TCustomEncoder* sender, const TTerminateInfo& info) { hold(sender, info); };
        ASSERT_TRUE(RunToEnd(run));

        EXPECT_EQ(asked, c.questions);
        EXPECT_FALSE(twoAtOnce);
        EXPECT_EQ(activeAtFirst, 2);  // the first file converts while b is asked about
        EXPECT_TRUE(clockAtFirst);
        std::vector<std::string> files;
        for (const std::string& name : Names(folder.file("out")))
            files.push_back(name + (ReadAll(folder.file("out/" + name)) == "old" ? " old" : " new"));
        EXPECT_EQ(files, c.files);
        for (const std::string& file : files)
            if (file.ends_with(" new")) {
                EXPECT_TRUE(DecodesCompletely(folder.file("out/" + file.substr(0, file.size() - 4)))) << file;
            }
        const QStringList lines = run.Log().PlainLines();
        EXPECT_TRUE(lines.contains(QString::fromLatin1(c.counts))) << lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(FileBlocks(LinesAfterLoading(run.Log())).size(), 3u);
    }
}

// Pause and Stop with two files converting: both pause and resume, both stop, neither leaves
// a file behind, and every row not converted is named "stopped".
TEST(ConversionRun, PauseAndStopActOnEveryFileConverting)
{
    TempFolder folder;
    const std::string first = CopyTo(LongClip(), folder.file("first.mkv"));
    const std::string second = CopyTo(LongClip(), folder.file("second.mkv"));
    const std::string after = CopyTo(Clip(), folder.file("after.mp4"));
    TRunSetup setup = VideoSetup({Row(first), Row(second), Row(after)}, folder.file("out"), QStringLiteral("MP4"));
    setup.ThreadsText = QStringLiteral("2");
    TRecordingView view;
    TConversionRun run(std::move(setup), view);
    bool stopped = false;
    TRunDisplay display;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (stopped || run.FileAt(0).LastCurrentDuration <= 0 || run.FileAt(1).LastCurrentDuration <= 0)
            return;
        display = run.Display();
        run.btn_PauseClick();
        EXPECT_TRUE(run.EncoderOf(0).Paused());
        EXPECT_TRUE(run.EncoderOf(1).Paused());
        EXPECT_FALSE(run.ClockRunning());
        run.btn_PauseClick();
        EXPECT_FALSE(run.EncoderOf(0).Paused());
        EXPECT_FALSE(run.EncoderOf(1).Paused());
        stopped = true;
        run.btn_StopClick();
    });
    driver.start();
    ASSERT_TRUE(RunToEnd(run));
    driver.stop();

    ASSERT_TRUE(stopped);
    // While both converted, the window named both, and the title both rows.
    EXPECT_EQ(display.FileLabel, QStringLiteral("2 files converting: first.mp4, second.mp4"));
    EXPECT_EQ(display.Caption, QStringLiteral("Saving... [1-2/3]"));
    EXPECT_FALSE(run.EncoderOf(0).Working() && !run.EncoderOf(0).Terminated());
    const QStringList lines = run.Log().PlainLines();
    EXPECT_EQ(WithoutRunTime(lines.mid(lines.indexOf(QStringLiteral("Not converted:")) - 1)),
              Verdict(QStringLiteral("Converted: 0, failed: 0, skipped: 3"),
                      {QString::fromStdString(first) + QStringLiteral(": stopped"),
                       QString::fromStdString(second) + QStringLiteral(": stopped"),
                       QString::fromStdString(after) + QStringLiteral(": stopped")},
                      "Stopped."));
    const int paused = int(lines.indexOf(QStringLiteral("Paused!")));
    ASSERT_GE(paused, 0);
    EXPECT_EQ(lines.mid(paused, 3), QStringList({QStringLiteral("Paused!"), QStringLiteral("Resumed!"),
                                                 QStringLiteral("Cancelled by user!")}));
    const std::map<int, QStringList> blocks = FileBlocks(LinesAfterLoading(run.Log()));
    EXPECT_EQ(blocks.size(), 2u);
    EXPECT_EQ(CountOf(lines, QStringLiteral("Success!")), 0);
    EXPECT_EQ(run.Display().Caption, QStringLiteral("Stopped"));
    EXPECT_EQ(Names(folder.file("out")), std::vector<std::string>{});
    for (const TRowStatus& row : run.Tally().Rows())
        EXPECT_EQ(row.Outcome, TRowOutcome::Stopped);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
