#include <gtest/gtest.h>

#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

#include "runs/destination.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

TDestinationRequest Browsing(TDestinationChoice choice, const QString& folder, bool* asked = nullptr)
{
    TDestinationRequest request;
    request.Choice = choice;
    request.Browse = [folder, asked](QString* chosen) {
        if (asked)
            *asked = true;
        *chosen = folder;
        return !folder.isNull();
    };
    return request;
}

int EntriesIn(const std::string& folder)
{
    return static_cast<int>(
        QDir(QString::fromStdString(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size());
}

}  // namespace

TEST(Destination, WriteAccessLeavesNothingBehind)
{
    test::TempFolder folder;
    EXPECT_TRUE(TestWriteAccess(QString::fromStdString(folder.path())));
    EXPECT_EQ(EntriesIn(folder.path()), 0);
    EXPECT_FALSE(TestWriteAccess(QStringLiteral("/nonexistent/folder")));
}

TEST(Destination, FolderWithoutWriteRightIsRefused)
{
    // Nobody, root included, creates files in /proc.
    EXPECT_FALSE(TestWriteAccess(QStringLiteral("/proc")));
    EXPECT_EQ(ChooseDestination(Browsing(TDestinationChoice::Specify, QStringLiteral("/proc"))).Error,
              "Access is denied. Unable to save to the selected directory.");
}

TEST(Destination, ReadOnlyFolderIsRefusedWithoutATemporaryFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    test::TempFolder folder;
    ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    const TDestination result =
        ChooseDestination(Browsing(TDestinationChoice::Specify, QString::fromStdString(folder.path())));
    chmod(folder.path().c_str(), 0755);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, "Access is denied. Unable to save to the selected directory.");
    EXPECT_EQ(EntriesIn(folder.path()), 0);
}

TEST(Destination, Choices)
{
    test::TempFolder folder;
    const QString dir = QString::fromStdString(folder.path());

    TDestination chosen = ChooseDestination(Browsing(TDestinationChoice::Specify, dir));
    EXPECT_TRUE(chosen.Ok);
    EXPECT_EQ(chosen.OutputPath, dir + "/");

    TDestination cancelled = ChooseDestination(Browsing(TDestinationChoice::Specify, QString()));
    EXPECT_FALSE(cancelled.Ok);
    EXPECT_TRUE(cancelled.Error.isEmpty());

    TDestination original = ChooseDestination(Browsing(TDestinationChoice::Original, dir));
    EXPECT_TRUE(original.Ok);
    EXPECT_TRUE(original.OutputPath.isEmpty());

    TDestinationRequest path;
    path.Choice = TDestinationChoice::Path;
    path.PathText = QStringLiteral("/media/Out");
    EXPECT_EQ(ChooseDestination(path).OutputPath, "/media/Out/");

    path.PathText.clear();
    const TDestination empty = ChooseDestination(path);
    EXPECT_FALSE(empty.Ok);
    EXPECT_EQ(empty.Error, "Output path is not specified.");
    EXPECT_TRUE(empty.ShowOutputTab);
}

TEST(Destination, CommandLineFolderWinsWithoutAsking)
{
    bool asked = false;
    TDestinationRequest request = Browsing(TDestinationChoice::Specify, QStringLiteral("/elsewhere"), &asked);
    request.CommandLineFolder = QStringLiteral("/out");
    const TDestination result = ChooseDestination(request);
    EXPECT_TRUE(result.Ok);
    EXPECT_EQ(result.OutputPath, "/out/");
    EXPECT_FALSE(asked);
}

TEST(Destination, TheFixedPathIsCheckedBeforeARun)
{
    const std::pair<const char*, bool> cases[] = {
        {"/home/me/Videos", true},        {"/home/me/Videos/new folder", true},
        {"file:///home/me/a.mp4", false}, {"file:///home/me/a.mp4\nfile:///home/me/b.mp4", false},
        {"/home/me/Videos\n", false},     {"Videos", false},
        {"smb://server/share", false},
    };
    for (const auto& [text, ok] : cases) {
        const QString path = QString::fromLatin1(text);
        EXPECT_EQ(FixedPathError(path).isEmpty(), ok) << text;
        TDestinationRequest request;
        request.Choice = TDestinationChoice::Path;
        request.PathText = path;
        request.AskCreate = [](const QString&) { return false; };
        const TDestination destination = ChooseDestination(request);
        if (!ok) {
            EXPECT_FALSE(destination.Ok) << text;
            EXPECT_EQ(destination.Error, FixedPathError(path)) << text;
            EXPECT_TRUE(destination.ShowOutputTab) << text;
        }
    }
}

TEST(Destination, AMissingFolderIsOfferedToBeCreated)
{
    test::TempFolder folder;
    const QString missing = QString::fromStdString(folder.file("new/deeper"));
    struct Case {
        const char* name;
        bool ask;     // someone can answer
        bool answer;  // "Yes"
        bool ok;
        bool created;
    };
    const Case cases[] = {
        {"yes", true, true, true, true},
        {"no", true, false, false, false},
        {"nobody to ask: the run creates it", false, false, true, false},
    };
    for (const Case& c : cases) {
        QDir(QString::fromStdString(folder.file("new"))).removeRecursively();
        for (const TDestinationChoice choice : {TDestinationChoice::Path, TDestinationChoice::Specify}) {
            if (!c.ask && choice == TDestinationChoice::Specify)
                continue;  // the browser is always someone to ask
            TDestinationRequest request = Browsing(choice, missing);
            request.PathText = missing;
            QString asked;
            if (c.ask)
                request.AskCreate = [&](const QString& name) {
                    asked = name;
                    return c.answer;
                };
            const TDestination destination = ChooseDestination(request);
            EXPECT_EQ(destination.Ok, c.ok) << c.name;
            EXPECT_TRUE(destination.Error.isEmpty()) << c.name;
            EXPECT_EQ(asked, c.ask ? missing : QString()) << c.name;
            if (choice == TDestinationChoice::Path) {
                EXPECT_EQ(QDir(missing).exists(), c.created) << c.name;
            }
            QDir(QString::fromStdString(folder.file("new"))).removeRecursively();
        }
    }
}

TEST(Destination, TheBrowserStartsAtTheLastDestinationOrBesideTheFirstSource)
{
    test::TempFolder folder;
    const QString last = QString::fromStdString(folder.path());
    EXPECT_EQ(BrowseStartFolder(last, QStringLiteral("/media/clips/a.mp4")), last);
    EXPECT_EQ(BrowseStartFolder(QStringLiteral("/nonexistent/gone"), QStringLiteral("/media/clips/a.mp4")),
              QStringLiteral("/media/clips"));
    EXPECT_EQ(BrowseStartFolder(QString(), QString()), QString());
}
