// Folder search: order of reports and the criteria the adding routine relies on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/accepted_extensions.h"
#include "intake/find_file.h"
#include "intake/intake_fakes.h"
#include "support/test_media.h"

namespace fs = std::filesystem;
using namespace reelsmith;
using reelsmith::test::Touch;

namespace {

// root/ a.avi B.MKV c.txt .hidden.avi z.Mp4 clip.avi/inner.mp4 sub/b.avi sub/deeper/d.ts
//       .hid/x.avi loop -> root  sub/up -> ..  sub/pipe.avi (fifo)  sub/gone.mkv -> missing
class FindFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.avi", "B.MKV", "c.txt", ".hidden.avi", "z.Mp4", "clip.avi/inner.mp4", "sub/b.avi",
                                 "sub/deeper/d.ts", ".hid/x.avi"})
            Touch(At(name));
        fs::create_directory_symlink(folder.path(), At("loop"));
        fs::create_directory_symlink("..", At("sub/up"));
        fs::create_symlink(At("missing.mkv"), At("sub/gone.mkv"));
        ASSERT_EQ(mkfifo(At("sub/pipe.avi").c_str(), 0600), 0);
    }

    std::string At(const std::string& name) const { return folder.path() + "/" + name; }

    std::vector<std::string> Search(const std::function<void(TSearchCriteria&)>& adjust)
    {
        TFindFile find;
        find.Criteria().Files.FileName = std::string(kAcceptedMediaMasks);
        find.Criteria().Files.Location = {folder.path()};
        adjust(find.Criteria());
        std::vector<std::string> found;
        find.OnFileMatch = [&](TFindFile&, const TFileDetails& file) {
            EXPECT_EQ(file.Location.back(), '/');
            found.push_back(file.Location.substr(folder.path().size() + 1) + file.Name);
        };
        find.Execute();
        return found;
    }

    reelsmith::test::TempFolder folder;
};

struct SearchCase {
    const char* name;
    std::function<void(TSearchCriteria&)> adjust;
    std::vector<std::string> expected;
};

TEST_F(FindFileTest, ReportsAsTheCriteriaSay)
{
    const std::vector<SearchCase> cases = {
        // Own files first, mask by mask (AVI, MKV, MP4), then the subfolders in name order;
        // hidden entries, folders, pipes, dangling links and loops are passed over.
        {"defaults",
         [](TSearchCriteria&) {},
         {"a.avi", "B.MKV", "z.Mp4", "clip.avi/inner.mp4", "sub/b.avi", "sub/deeper/d.ts"}},
        {"no subfolders", [](TSearchCriteria& c) { c.Files.Subfolders = false; }, {"a.avi", "B.MKV", "z.Mp4"}},
        {"max level 2",
         [](TSearchCriteria& c) { c.Files.MaxLevel = 2; },
         {"a.avi", "B.MKV", "z.Mp4", "clip.avi/inner.mp4", "sub/b.avi"}},
        {"min level 3", [](TSearchCriteria& c) { c.Files.MinLevel = 3; }, {"sub/deeper/d.ts"}},
        {"one mask, any case", [](TSearchCriteria& c) { c.Files.FileName = " *.mkv ;;*.MKV"; }, {"B.MKV"}},
        {"empty location", [](TSearchCriteria& c) { c.Files.Location = {""}; }, {}},
        {"missing location", [](TSearchCriteria& c) { c.Files.Location = {"/nonexistent/folder"}; }, {}},
        {"hidden allowed",
         [](TSearchCriteria& c) { c.Attributes.OffAttributes = faDirectory; },
         {".hidden.avi", "a.avi", "B.MKV", "z.Mp4", ".hid/x.avi", "clip.avi/inner.mp4", "sub/b.avi",
          "sub/deeper/d.ts"}},
    };
    for (const SearchCase& c : cases)
        EXPECT_EQ(Search(c.adjust), c.expected) << c.name;
}

TEST_F(FindFileTest, HiddenStartFolderIsSearched)
{
    TFindFile find;
    find.Criteria().Files.FileName = "*.avi";
    find.Criteria().Files.Location = {At(".hid")};
    int matches = 0;
    find.OnFileMatch = [&](TFindFile&, const TFileDetails& file) {
        EXPECT_EQ(file.Location, At(".hid") + "/");
        ++matches;
    };
    find.Execute();
    EXPECT_EQ(matches, 1);
}

TEST_F(FindFileTest, SecondExecuteInsideAMatchIsIgnoredAndAbortStops)
{
    TFindFile find;
    find.Criteria().Files.Location = {folder.path()};
    int matches = 0;
    find.OnFileMatch = [&](TFindFile& sender, const TFileDetails&) {
        ++matches;
        EXPECT_TRUE(sender.Busy());
        sender.Execute();  // must not recurse into a second search
        sender.Abort();
    };
    int finished = 0;
    find.OnSearchFinish = [&](TFindFile& sender) {
        EXPECT_FALSE(sender.Busy());
        ++finished;
    };
    find.Execute();
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(find.Aborted());
}

TEST_F(FindFileTest, FolderChangeCanSkipFilesOrSubfolders)
{
    TFindFile find;
    find.Criteria().Files.FileName = "*.avi;*.ts";
    find.Criteria().Files.Location = {folder.path()};
    find.OnFolderChange = [&](TFindFile&, const std::string& f, TFolderIgnore& ignore) {
        if (f == folder.path() + "/")
            ignore = TFolderIgnore::fiJustThis;
        else if (f == folder.path() + "/sub/")
            ignore = TFolderIgnore::fiJustSubfolders;
    };
    std::vector<std::string> names;
    find.OnFileMatch = [&](TFindFile&, const TFileDetails& file) { names.push_back(file.Name); };
    find.Execute();
    EXPECT_EQ(names, std::vector<std::string>{"b.avi"});
}

TEST(AcceptedExtensions, UpperCasedLastExtensionDecides)
{
    const std::vector<std::pair<const char*, bool>> cases = {
        {"/v/a.MKV", true},  {"/v/a.mkv", true},     {"/v/a.Rmvb", true},  {"/v/a.tar.ts", true}, {"/v/a.mp", false},
        {"/v/a.m", false},   {"/v/a.mp3", true},     {"/v/a.WAV", true},   {"/v/a.png", false},   {"/v/mkv", false},
        {"/v/a.", false},    {"/v.avi/file", false}, {"/v/a.mp4 ", false}, {"/v/A.3gp", true},    {"/v/x.DaT", true},
        {"/v/a.webm", true}, {"/v/a.m2ts", true},    {"/v/a.Opus", true},  {"/v/a.mka", true},    {"/v/a.srt", false},
    };
    for (const auto& [path, accepted] : cases)
        EXPECT_EQ(HasAcceptedMediaExtension(path), accepted) << path;
    EXPECT_EQ(AcceptedMediaMaskList().size(), 41u);
    // Audio files are named as audio in the Add Files dialog.
    const std::vector<std::pair<const char*, bool>> audio = {
        {"/v/a.mp3", true},  {"/v/a.WAV", true}, {"/v/a.wma", true},  {"/v/a.aac", true},
        {"/v/a.wmv", false}, {"/v/a.mka", true}, {"/v/a.mkv", false}, {"/v/a.txt", false},
    };
    for (const auto& [path, isAudio] : audio)
        EXPECT_EQ(HasAudioExtension(path), isAudio) << path;
    EXPECT_EQ(SplitMasks(std::string(kAcceptedMediaMasks)), AcceptedMediaMaskList());
}

}  // namespace
