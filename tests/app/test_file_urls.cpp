#include <gtest/gtest.h>

#include "app/file_urls.h"

using namespace reelsmith;

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

TEST(FileUrls, OneUrl)
{
    const struct {
        const char* url;
        QString path;  // empty: not a local file
    } cases[] = {
        {"file:///home/me/clip.mp4", QStringLiteral("/home/me/clip.mp4")},
        {"file://localhost/home/me/clip.mp4", QStringLiteral("/home/me/clip.mp4")},
        {"FILE:///v/a.avi", QStringLiteral("/v/a.avi")},
        {"file:/v/short.avi", QStringLiteral("/v/short.avi")},
        {"file:///v/two%20words%23%3F.mkv", QStringLiteral("/v/two words#?.mkv")},
        {"file:///v/Gr%C3%BC%C3%9Fe.mp4", QStringLiteral("/v/Grüße.mp4")},
        {"file:///v/clip.mp4#fragment", QStringLiteral("/v/clip.mp4")},
        {"file:///v/folder/", QStringLiteral("/v/folder/")},
        {"file://otherhost/v/a.avi", {}},
        {"file://", {}},
        {"file:relative/a.avi", {}},
        {"file:///v/nul%00byte.avi", {}},
        {"http://example.com/a.avi", {}},
        {"smb://server/share/a.avi", {}},
        {"/v/a.avi", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocalPathFromFileUrl(c.url), c.path) << c.url;
}

TEST(FileUrls, UriListKeepsOrderAndSkipsCommentsAndOtherSchemes)
{
    const QByteArray list =
        "# copied by a file manager\r\n"
        "file:///v/b.mkv\r\n"
        "http://example.com/x.avi\r\n"
        "\r\n"
        "file:///v/a.avi\n"
        "file:///v/folder";
    EXPECT_EQ(LocalPathsFromUriList(list), QStringList({"/v/b.mkv", "/v/a.avi", "/v/folder"}));
}

TEST(FileUrls, GnomeCopiedFilesNeedsCopyOrCutFirst)
{
    EXPECT_EQ(LocalPathsFromGnomeCopiedFiles("copy\nfile:///v/a.avi\nfile:///v/b.mkv"),
              QStringList({"/v/a.avi", "/v/b.mkv"}));
    EXPECT_EQ(LocalPathsFromGnomeCopiedFiles("cut\nfile:///v/a.avi\n"), QStringList({"/v/a.avi"}));
    EXPECT_TRUE(LocalPathsFromGnomeCopiedFiles("file:///v/a.avi\nfile:///v/b.mkv").isEmpty());
    EXPECT_TRUE(LocalPathsFromGnomeCopiedFiles("").isEmpty());
}

TEST(FileUrls, MimePrefersTheUriListAndIgnoresText)
{
    EXPECT_EQ(LocalPathsFromMime("file:///v/a.avi", "copy\nfile:///v/b.avi"), QStringList({"/v/a.avi"}));
    EXPECT_EQ(LocalPathsFromMime("", "copy\nfile:///v/b.avi"), QStringList({"/v/b.avi"}));
    EXPECT_EQ(LocalPathsFromMime("just some text", "copy\nfile:///v/b.avi"), QStringList({"/v/b.avi"}));
    EXPECT_TRUE(LocalPathsFromMime("/v/a.avi\n", "").isEmpty());
}
