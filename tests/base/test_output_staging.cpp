// Staged outputs: a hidden temporary file beside the final name, created exclusively, given
// its final name only by Commit; and the same-file test that guards the inputs.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "base/output_staging.h"
#include "base/same_file.h"
#include "support/test_media.h"

using namespace reelsmith;
using namespace reelsmith::test;
namespace fs = std::filesystem;

namespace {

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Names in folder other than the ones given.
std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

}  // namespace

TEST(OutputStaging, TemporaryNameIsHiddenBesideTheOutputAndKeepsTheExtension)
{
    struct Case {
        std::string final, expected;
    };
    const std::vector<Case> cases = {
        {"/out/clip.mp4", "/out/.clip.partial-1a2b3c.mp4"},
        {"clip.tar.mkv", ".clip.tar.partial-1a2b3c.mkv"},
        {"/out/noext", "/out/.noext.partial-1a2b3c"},
        {"/out/.hidden", "/out/..hidden.partial-1a2b3c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StagingNameFor(c.final, "1a2b3c"), c.expected) << c.final;
    // A name at the file-name limit is cut in its stem, never inside a UTF-8 character.
    std::string stem;
    while (stem.size() < 250)
        stem += "\xC3\xA9";  // é
    const std::string name = fs::path(StagingNameFor("/out/" + stem + ".mp4", "1a2b3c")).filename().string();
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(name.ends_with(".partial-1a2b3c.mp4")) << name;
    EXPECT_EQ(name.substr(1, 2), "\xC3\xA9");
    EXPECT_NE(name[name.size() - std::string(".partial-1a2b3c.mp4").size() - 1], '\xC3');
}

TEST(OutputStaging, TheOutputAppearsOnlyWhenCommitted)
{
    TempFolder folder;
    const std::string final = folder.file("clip.mp4");
    {
        TStagedOutput staged;
        ASSERT_TRUE(staged.Begin(final)) << staged.Error();
        EXPECT_FALSE(fs::exists(final));
        EXPECT_EQ(fs::path(staged.TempPath()).parent_path(), fs::path(folder.path()));
        WriteText(staged.TempPath(), "complete");
        const std::string temp = staged.TempPath();
        ASSERT_TRUE(staged.Commit(TCommitMode::KeepExisting)) << staged.Error();
        EXPECT_EQ(staged.FinalPath(), final);
        EXPECT_FALSE(fs::exists(temp));
    }
    EXPECT_EQ(ReadText(final), "complete");
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"clip.mp4"});

    // Discarded, or dropped unfinished: nothing is left, and nothing appears.
    for (const bool explicitly : {true, false}) {
        TStagedOutput staged;
        ASSERT_TRUE(staged.Begin(folder.file("other.mkv")));
        WriteText(staged.TempPath(), "part");
        if (explicitly)
            staged.Discard();
        else
            RemoveStagedFilesNow();  // what a second termination signal does
        staged.Discard();
    }
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"clip.mp4"});
}

// The write-back started while the file grows (several chunks, written by another descriptor
// as the engine does, some of it rewritten at the end) leaves the bytes exactly as written.
TEST(OutputStaging, AFileWrittenInChunksWhileStagedIsCommittedWhole)
{
    TempFolder folder;
    TStagedOutput staged;
    ASSERT_TRUE(staged.Begin(folder.file("big.mkv"))) << staged.Error();
    std::string expected;
    {
        std::ofstream out(staged.TempPath(), std::ios::binary);
        std::string piece(1 << 20, '\0');
        for (int i = 0; i < 20; ++i) {
            piece.assign(piece.size(), static_cast<char>('a' + i));
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            out.flush();
            expected += piece;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        out.seekp(0);
        out << "header";
        expected.replace(0, 6, "header");
    }
    ASSERT_TRUE(staged.Commit(TCommitMode::KeepExisting)) << staged.Error();
    EXPECT_TRUE(ReadText(folder.file("big.mkv")) == expected);
    EXPECT_EQ(Names(folder.path()), std::set<std::string>{"big.mkv"});
}

TEST(OutputStaging, AnExistingFinalNameIsNeverWrittenThrough)
{
    struct Case {
        const char* name;
        TCommitMode mode;
        bool dangling;          // a link to a missing file, else an existing file
        const char* finalName;  // where the output lands
    };
    const std::vector<Case> cases = {
        {"replace a file", TCommitMode::Replace, false, "clip.mp4"},
        {"replace a dangling link", TCommitMode::Replace, true, "clip.mp4"},
        {"keep a file", TCommitMode::KeepExisting, false, "clip (1).mp4"},
        {"keep a dangling link", TCommitMode::KeepExisting, true, "clip (1).mp4"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string final = folder.file("clip.mp4");
        const std::string outside = folder.file("outside.txt");
        if (c.dangling)
            fs::create_symlink(outside, final);
        else
            WriteText(final, "theirs");
        TStagedOutput staged;
        ASSERT_TRUE(staged.Begin(final)) << c.name << ": " << staged.Error();
        WriteText(staged.TempPath(), "ours");
        ASSERT_TRUE(staged.Commit(c.mode)) << c.name << ": " << staged.Error();
        EXPECT_EQ(staged.FinalPath(), folder.file(c.finalName)) << c.name;
        EXPECT_EQ(ReadText(folder.file(c.finalName)), "ours") << c.name;
        EXPECT_FALSE(fs::exists(outside)) << c.name << ": written through the link";
        EXPECT_FALSE(fs::is_symlink(folder.file(c.finalName))) << c.name;
        if (c.mode == TCommitMode::KeepExisting && !c.dangling) {
            EXPECT_EQ(ReadText(final), "theirs") << c.name;
        }
    }
}

TEST(OutputStaging, AFinalNameThatIsNoFileIsRefused)
{
    TempFolder folder;
    fs::create_directory(folder.file("dir.mp4"));
    ASSERT_EQ(::mkfifo(folder.file("fifo.mp4").c_str(), 0600), 0);
    fs::create_symlink(folder.file("fifo.mp4"), folder.file("link.mp4"));
    for (const char* name : {"dir.mp4", "fifo.mp4", "link.mp4"}) {
        TStagedOutput staged;
        EXPECT_FALSE(staged.Begin(folder.file(name))) << name;
        EXPECT_NE(staged.Error().find("not a regular file"), std::string::npos) << staged.Error();
    }
    TStagedOutput staged;
    EXPECT_FALSE(staged.Begin(folder.file("missing/clip.mp4")));
    EXPECT_FALSE(staged.Error().empty());
    EXPECT_EQ(Names(folder.path()), (std::set<std::string>{"dir.mp4", "fifo.mp4", "link.mp4"}));
}

// Several writers of one name at once (two runs into one folder): every output is complete
// under a name of its own, and no temporary file is left.
TEST(OutputStaging, WritersOfOneNameAtOnceKeepEveryOutputWhole)
{
    TempFolder folder;
    const std::string final = folder.file("clip.mkv");
    constexpr int kWriters = 6;
    std::vector<std::thread> writers;
    std::vector<std::string> placed(kWriters);
    for (int i = 0; i < kWriters; ++i)
        writers.emplace_back([&, i] {
            TStagedOutput staged;
            if (!staged.Begin(final))
                return;
            WriteText(staged.TempPath(), std::string(100000, char('a' + i)));
            if (staged.Commit(TCommitMode::KeepExisting))
                placed[static_cast<size_t>(i)] = staged.FinalPath();
        });
    for (std::thread& writer : writers)
        writer.join();
    std::set<std::string> names;
    for (int i = 0; i < kWriters; ++i) {
        ASSERT_FALSE(placed[static_cast<size_t>(i)].empty()) << i;
        names.insert(placed[static_cast<size_t>(i)]);
        EXPECT_EQ(ReadText(placed[static_cast<size_t>(i)]), std::string(100000, char('a' + i))) << i;
    }
    EXPECT_EQ(names.size(), size_t(kWriters));
    EXPECT_EQ(Names(folder.path()).size(), size_t(kWriters));
    EXPECT_TRUE(names.count(final));
    EXPECT_TRUE(names.count(folder.file("clip (5).mkv")));
}

// The hidden files a killed run leaves (SIGKILL gives no chance to remove them) are removed
// by the next output staged into that folder, but only those no process holds: never the
// file another run is writing, nor anything that only looks like one.
TEST(OutputStaging, LeftoversOfKilledRunsGoWithTheNextOutputIntoTheirFolder)
{
    TempFolder folder;
    TStagedOutput running;  // another run's output, being written: its lock is held
    ASSERT_TRUE(running.Begin(folder.file("busy.mp4"))) << running.Error();
    WriteText(running.TempPath(), "being written");
    const std::string busy = fs::path(running.TempPath()).filename().string();
    struct Case {
        std::string name;
        bool removed;
    };
    const std::vector<Case> cases = {
        {".clip.partial-1a2b3c.mp4", true},  // no process holds it: a leftover
        {".noext.partial-abcdef", true},
        {".partial-0f0f0f.mkv", true},  // the form of a cut name
        {busy, false},
        {"clip.partial-1a2b3c.mp4", false},  // not hidden: not ours
        {".clip.partial-1A2B3C.mp4", false},
        {".clip.partial-1a2b.mp4", false},
        {".clip.partial-1a2b3cd.mp4", false},
        {".fifo.partial-123456.mp4", false},  // a pipe is never a staged file
        {"clip.mp4", false},
    };
    for (const Case& c : cases)
        if (c.name != busy && c.name.find("fifo") == std::string::npos)
            WriteText(folder.file(c.name), "part");
    ASSERT_EQ(::mkfifo(folder.file(".fifo.partial-123456.mp4").c_str(), 0600), 0);

    TStagedOutput next;
    ASSERT_TRUE(next.Begin(folder.file("next.mp4"))) << next.Error();
    const std::set<std::string> left = Names(folder.path());
    for (const Case& c : cases)
        EXPECT_EQ(left.count(c.name) == 0, c.removed) << c.name;
    EXPECT_EQ(ReadText(running.TempPath()), "being written");
    EXPECT_TRUE(left.count(fs::path(next.TempPath()).filename().string()));
    WriteText(running.TempPath(), "done");
    EXPECT_TRUE(running.Commit(TCommitMode::KeepExisting)) << running.Error();
}

TEST(SameFile, RealFilesAreComparedNotTheirNames)
{
    TempFolder folder;
    const std::string input = folder.file("in.mp4");
    WriteText(input, "source");
    fs::create_hard_link(input, folder.file("hard.mp4"));
    fs::create_symlink(input, folder.file("soft.mp4"));
    fs::create_directory(folder.file("sub"));
    WriteText(folder.file("other.mp4"), "other");
    struct Case {
        std::string output, input;
        bool same;
    };
    const std::vector<Case> cases = {
        {folder.file("hard.mp4"), input, true},
        {folder.file("soft.mp4"), input, true},
        {"file:" + input, input, true},
        {folder.file("sub/../in.mp4"), "file:" + input, true},
        {"file://" + input, input, true},
        {folder.file("new.mp4"), folder.file("sub/../new.mp4"), true},
        {folder.file("other.mp4"), input, false},
        {folder.file("new.mp4"), input, false},
        {"pipe:1", input, false},
        {"http://localhost/" + input, input, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SameFile(c.output, c.input), c.same) << c.output << " / " << c.input;
    EXPECT_EQ(InputWrittenBy(folder.file("soft.mp4"), {folder.file("other.mp4"), input}), input);
    EXPECT_EQ(InputWrittenBy(folder.file("new.mp4"), {folder.file("other.mp4"), input}), "");
    EXPECT_EQ(LocalPathOf("file:a:b.mp4"), std::optional<std::string>("a:b.mp4"));
    EXPECT_EQ(LocalPathOf("concat:a|b"), std::nullopt);
    EXPECT_EQ(LocalPathOf("/a:b/c.mp4"), std::optional<std::string>("/a:b/c.mp4"));
}
