// The update check as the main window runs it (local server on 127.0.0.1, question on the
// main thread, no check in a command-line run) and the About box, on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "app/ui/main_window.h"
#include "program/program_hooks.h"
#include "support/local_http_server.h"
#include "support/main_window_controls.h"
#include "support/test_media.h"
#include "update/ui/about_window.h"
#include "update/update_address.h"

using namespace reelsmith;
using reelsmith::test::LocalHttpServer;
using reelsmith::test::THttpReply;

namespace {

// Receives the URLs the program asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

struct TSeenBox {
    bool seen = false;
    bool onMainThread = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box with `answer` once it shows, noting what it said.
void AnswerBox(TSeenBox* seen, QMessageBox::StandardButton answer)
{
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        seen->seen = true;
        seen->onMainThread = QThread::currentThread() == qApp->thread();
        seen->caption = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        box->button(answer)->click();
    });
    poll->start();
}

class UpdateWindowTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path())); }
    void TearDown() override { qunsetenv("REELSMITH_UPDATE_URL"); }

    std::unique_ptr<Tfrm_Main> MainWindow(const LocalHttpServer& server, QStringList params = {})
    {
        qputenv("REELSMITH_UPDATE_URL", QByteArray::fromStdString(server.Url()));
        TMainWindowHooks hooks;
        InstallUpdateHooks(hooks);
        return std::make_unique<Tfrm_Main>(std::move(params), std::move(hooks));
    }

    reelsmith::test::TempFolder config;
};

TEST_F(UpdateWindowTest, NewerVersionAsksOnTheMainThreadAndYesOpensTheSite)
{
    // As the file may be saved: a line end, blanks, a byte-order mark; the question shows the version alone.
    for (const char* body : {"7.0", "7.0\n",
                             "\xEF\xBB\xBF"
                             "7.0\r\n",
                             " 7.0 \r\n\r\n"}) {
        SCOPED_TRACE(body);
        LocalHttpServer server({200, body});
        UrlCatcher urls;
        auto main = MainWindow(server);
        TSeenBox box;
        AnswerBox(&box, QMessageBox::Yes);
        main->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return box.seen; }, 10000));
        EXPECT_TRUE(box.onMainThread);
        EXPECT_EQ(box.caption, "Update");
        EXPECT_EQ(box.icon, QMessageBox::Information);
        EXPECT_EQ(box.text, "A new version is available: 7.0\n\nDo you want to visit the download page now?");
        ASSERT_EQ(urls.opened.size(), 1);
        EXPECT_EQ(urls.opened.first(), QUrl(QString::fromStdString(MakerWebSite())));
        EXPECT_EQ(server.Requests(), 1);
        main->close();
    }
}

TEST_F(UpdateWindowTest, NoAnswerOpensNothingAndTheCheckRunsOncePerStart)
{
    LocalHttpServer server({200, "6.1"});
    UrlCatcher urls;
    auto main = MainWindow(server);
    TSeenBox box;
    AnswerBox(&box, QMessageBox::No);
    main->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.seen; }, 10000));
    main->Hooks().UpdateTimer(*main);  // a second tick, as if the timer fired again
    QTest::qWait(300);
    EXPECT_EQ(server.Requests(), 1);
    EXPECT_TRUE(urls.opened.isEmpty());
    main->close();
}

TEST_F(UpdateWindowTest, SameVersionOrErrorAsksNothing)
{
    for (const THttpReply& reply :
         {THttpReply{200, "6.0"}, THttpReply{500, "7.0"}, THttpReply{404, "7.0"}, THttpReply{200, "7.-1"}}) {
        LocalHttpServer server(reply);
        auto main = MainWindow(server);
        main->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.Requests() == 1; }, 10000));
        QTest::qWait(300);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << reply.Status;
        main->close();
    }
}

TEST_F(UpdateWindowTest, CommandLineRunNeverChecks)
{
    LocalHttpServer server({200, "7.0"});
    auto main = MainWindow(server, {QStringLiteral("-x"), QString::fromStdString(config.path())});
    main->show();
    main->Hooks().UpdateTimer(*main);
    QTest::qWait(500);
    EXPECT_EQ(server.Requests(), 0);
    main->close();
}

TEST_F(UpdateWindowTest, SwitchedOffChecksNothing)
{
    LocalHttpServer server({200, "7.0"});
    auto main = MainWindow(server);
    const test::TMainControls ui(*main);
    ui.act_Update->setChecked(false);
    main->show();
    QTest::qWait(500);
    EXPECT_EQ(server.Requests(), 0);
    main->close();
}

TEST(AboutWindow, ShowsNameVersionDateAndLink)
{
    Tfrm_About about(nullptr);
    about.show();
    QApplication::processEvents();
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(494, 295));
    EXPECT_EQ(about.lbl_BA->text(), "Reelsmith");
    EXPECT_TRUE(about.lbl_BA->font().bold());
    EXPECT_EQ(about.lbl_VersionNumber->text(), "Version 6.0 (64-bit)");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$")).match(BuildDate()).hasMatch());
    EXPECT_TRUE(about.lbl_Version->text().contains(BuildDate()));
    EXPECT_EQ(about.Label1->text(), QString::fromStdString(MakerWebSite()));
    EXPECT_TRUE(about.Label1->font().underline());
    EXPECT_EQ(about.Label1->palette().color(QPalette::WindowText), QColor(132, 183, 234));
    EXPECT_EQ(about.Panel3->grab().toImage().pixelColor(about.width() - 2, 2), QColor(28, 38, 62));
    EXPECT_EQ(about.Label1->y(), about.lbl_Version->geometry().bottom() + 1 + about.Label1->height());
    EXPECT_FALSE(about.Image1->pixmap().isNull());
    const QString folder = qEnvironmentVariable("REELSMITH_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        about.grab().save(folder + QStringLiteral("/about.png"));
}

TEST(AboutWindow, LinkOpensTheSiteOtherClicksAndKeysClose)
{
    UrlCatcher urls;
    {
        Tfrm_About about(nullptr);
        about.show();
        QTest::mouseClick(about.Label1, Qt::LeftButton);
        EXPECT_TRUE(about.isVisible());
        ASSERT_EQ(urls.opened.size(), 1);
        EXPECT_EQ(urls.opened.first(), QUrl(QString::fromStdString(MakerWebSite())));
        QTest::mouseClick(about.lbl_BA, Qt::LeftButton);
        EXPECT_FALSE(about.isVisible());
    }
    for (QWidget* (*target)(Tfrm_About&) :
         {+[](Tfrm_About& a) -> QWidget* { return a.Panel3; }, +[](Tfrm_About& a) -> QWidget* { return a.Image1; }}) {
        Tfrm_About about(nullptr);
        about.show();
        QTest::mouseClick(target(about), Qt::LeftButton);
        EXPECT_FALSE(about.isVisible());
    }
    Tfrm_About about(nullptr);
    about.show();
    QTest::keyClick(&about, Qt::Key_Space);
    EXPECT_FALSE(about.isVisible());
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "test_update_windows.moc"
