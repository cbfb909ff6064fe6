// File lists, paste, drop, help and the dark theme on the main window, offscreen, driven
// through its commands as a user would. With REELSMITH_SCREENSHOT_DIR set, the main window
// is saved in both themes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "app/settings_store.h"
#include "app/ui/dark_theme.h"
#include "app/ui/file_list_commands.h"
#include "app/ui/help_command.h"
#include "app/ui/help_viewer.h"
#include "app/ui/main_window.h"
#include "app/ui/shell_hooks.h"
#include "intake/intake_fakes.h"
#include "program/program_hooks.h"
#include "support/main_window_controls.h"
#include "support/test_media.h"

using namespace reelsmith;
using reelsmith::test::TempFolder;
using reelsmith::test::TMainControls;
using reelsmith::test::Touch;

namespace {

TFileListRow RowFor(const QString& path)
{
    TFileListRow row;
    row.Caption = QFileInfo(path).fileName();
    row.cell(FileCell::SourcePath) = path;
    row.cell(FileCell::DurationMicros) = QStringLiteral("0");
    row.cell(FileCell::SizeBytes) = QStringLiteral("0");
    return row;
}

QStringList SourcePaths(Tfrm_Main& main)
{
    QStringList paths;
    for (int i = 0; i < main.Files().Count(); ++i)
        paths << main.Files().Row(i).cell(FileCell::SourcePath);
    return paths;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray UriList(const QStringList& paths)
{
    QByteArray list;
    for (const QString& path : paths)
        list += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    return list;
}

struct TSeenBox {
    bool seen = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box with `answer` (NoButton: closes it) once it shows, noting
// what it said.
void AnswerNextBox(TSeenBox* seen, QMessageBox::StandardButton answer)
{
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        *seen = {true, box->windowTitle(), box->text(), box->icon()};
        if (answer == QMessageBox::NoButton)
            box->close();
        else
            box->button(answer)->click();
    });
    poll->start();
}

// Closes the next message box once it shows, noting what it said.
void CloseNextBox(TSeenBox* seen) { AnswerNextBox(seen, QMessageBox::NoButton); }

void SaveShot(QWidget& widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("REELSMITH_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QApplication::processEvents();
    widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

class ShellCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
        InstallShellHooks(hooks);
        // The Adding window's part: every pending path becomes a row, in order.
        hooks.AddingWindow = [this](Tfrm_Main& main) {
            ++addFilesCalls;
            for (const QString& path : main.PendingPaths())
                main.Files().Append(RowFor(path));
            main.PendingPaths().clear();
        };
    }

    std::unique_ptr<Tfrm_Main> MainWindow(const QStringList& rows = {})
    {
        auto main = std::make_unique<Tfrm_Main>(QStringList(), hooks);
        AttachShell(*main);
        for (const QString& path : rows)
            main->Files().Append(RowFor(path));
        main->UpdateSize();
        return main;
    }

    QString At(const char* name) const { return QString::fromStdString(folder.file(name)); }

    TempFolder config;
    TempFolder folder;
    TMainWindowHooks hooks;
    int addFilesCalls = 0;
};

TEST_F(ShellCommandsTest, SaveWritesTheRowsInListOrderWithCrLf)
{
    auto main = MainWindow({"/v/c.mp4", "/v/a.avi", "/v/b c.mkv"});
    SaveFileList(*main, At("list.fls"));
    EXPECT_EQ(ReadAll(At("list.fls")), "/v/c.mp4\r\n/v/a.avi\r\n/v/b c.mkv\r\n");
    EXPECT_TRUE(main->PendingPaths().isEmpty());
    EXPECT_EQ(main->Files().Count(), 3);
}

TEST_F(ShellCommandsTest, SavingAnEmptyListWritesNoFile)
{
    auto main = MainWindow();
    SaveFileList(*main, At("empty.fls"));
    EXPECT_FALSE(QFileInfo::exists(At("empty.fls")));
    EXPECT_EQ(addFilesCalls, 0);
}

TEST_F(ShellCommandsTest, OpenReplacesTheRows)
{
    Touch(folder.file("list.fls"));
    QFile list(At("list.fls"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write("/w/new one.mp4\r\n/w/new two.avi\r\n");
    list.close();
    auto main = MainWindow({"/v/old.mp4"});
    const TMainControls ui(*main);
    main->PendingPaths() = QStringList({"/stale"});
    OpenFileList(*main, At("list.fls"));
    EXPECT_EQ(SourcePaths(*main), QStringList({"/w/new one.mp4", "/w/new two.avi"}));
    EXPECT_EQ(addFilesCalls, 1);
    EXPECT_TRUE(ui.sts_0->text().startsWith("Files: 2 "));
}

TEST_F(ShellCommandsTest, AListThatCannotBeReadKeepsTheRowsAndShowsTheError)
{
    // Far beyond any list of paths: refused before it is read.
    Touch(folder.file("huge.fls"));
    std::filesystem::resize_file(folder.file("huge.fls"), 65 * 1024 * 1024);
    auto main = MainWindow({"/v/keep.mp4", "/v/also.avi"});
    TSeenBox box;
    CloseNextBox(&box);
    OpenFileList(*main, At("huge.fls"));
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(box.text.contains(At("huge.fls")));
    EXPECT_EQ(SourcePaths(*main), QStringList({"/v/keep.mp4", "/v/also.avi"}));
    EXPECT_EQ(addFilesCalls, 0);
}

// New and Restore default settings ask before they throw the list or the choices away.
TEST_F(ShellCommandsTest, NewAndRestoreDefaultsAskFirst)
{
    struct Case {
        bool restore;  // Restore default settings, else New
        int rows;
        QMessageBox::StandardButton answer;
        bool asked;
        bool done;
    };
    const Case cases[] = {
        {false, 2, QMessageBox::No, true, false},  {false, 2, QMessageBox::Yes, true, true},
        {false, 0, QMessageBox::Yes, false, true}, {true, 1, QMessageBox::No, true, false},
        {true, 1, QMessageBox::Yes, true, true},
    };
    for (const Case& c : cases) {
        QStringList rows;
        for (int i = 0; i < c.rows; ++i)
            rows << At("clip") + QString::number(i) + QStringLiteral(".mp4");
        auto main = MainWindow(rows);
        const TMainControls ui(*main);
        ui.tab_Settings->setCurrentIndex(3);
        TSeenBox box;
        if (c.asked)
            AnswerNextBox(&box, c.answer);
        (c.restore ? ui.act_Defaults : ui.act_New)->trigger();
        EXPECT_EQ(box.seen, c.asked) << c.restore << c.rows;
        if (c.asked && !c.restore) {
            EXPECT_EQ(box.text, "Discard the current list?");
        }
        if (c.restore)
            EXPECT_EQ(ui.tab_Settings->currentIndex(), c.done ? 0 : 3);
        else
            EXPECT_EQ(main->Files().Count(), c.done ? 0 : c.rows);
    }
}

// File > Open of something that is no list file says why it was not read (it used to do
// nothing at all), and File > Save that cannot write says so and keeps the list there.
TEST_F(ShellCommandsTest, OpenAndSaveThatCannotBeDoneSayWhy)
{
    ASSERT_EQ(mkfifo(folder.file("pipe.fls").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", folder.file("zero.fls"));
    std::filesystem::create_directories(folder.file("folder.fls"));
    std::filesystem::create_directories(folder.file("kept"));
    Touch(folder.file("kept/list.fls"));
    std::filesystem::permissions(folder.file("kept"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool writable = ::access(folder.file("kept").c_str(), W_OK) == 0;  // root writes anyway
    struct Case {
        const char* name;
        bool open;
        const char* says;
    };
    const Case cases[] = {
        {"pipe.fls", true, "It is not a regular file."},   {"zero.fls", true, "It is not a regular file."},
        {"folder.fls", true, "It is not a regular file."}, {"folder.fls", false, "Is a directory"},
        {"pipe.fls", false, "It is not a regular file."},  {"kept/list.fls", false, "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.open ? " open" : " save"));
        if (!c.open && std::string(c.name) == "kept/list.fls" && writable)
            continue;
        // Never opened here unless a regular file: a pipe would block the test.
        const auto contents = [&] {
            return std::filesystem::is_regular_file(folder.file(c.name)) ? ReadAll(At(c.name)) : QByteArray("none");
        };
        const QByteArray before = contents();
        auto main = MainWindow({"/v/keep.mp4"});
        TSeenBox box;
        CloseNextBox(&box);
        if (c.open)
            OpenFileList(*main, At(c.name));
        else
            SaveFileList(*main, At(c.name));
        EXPECT_TRUE(box.seen);
        EXPECT_EQ(box.caption, "Error");
        EXPECT_TRUE(box.text.contains(At(c.name))) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QString::fromLatin1(c.says))) << box.text.toStdString();
        EXPECT_EQ(SourcePaths(*main), QStringList({"/v/keep.mp4"}));
        EXPECT_EQ(contents(), before);
    }
    std::filesystem::permissions(folder.file("kept"), std::filesystem::perms::owner_all);
}

TEST_F(ShellCommandsTest, OpeningAMissingListChangesNothing)
{
    auto main = MainWindow({"/v/keep.mp4"});
    OpenFileList(*main, At("missing.fls"));
    EXPECT_EQ(SourcePaths(*main), QStringList({"/v/keep.mp4"}));
    EXPECT_EQ(addFilesCalls, 0);
}

TEST_F(ShellCommandsTest, PasteButtonAddsCopiedFilesAndIgnoresText)
{
    auto main = MainWindow();
    const TMainControls ui(*main);
    main->show();
    QGuiApplication::clipboard()->setText(QStringLiteral("/v/typed path.mp4"));
    QTest::mouseClick(ui.btn_Paste, Qt::LeftButton);
    EXPECT_EQ(main->Files().Count(), 0);
    EXPECT_EQ(addFilesCalls, 0);

    auto* copied = new QMimeData;
    copied->setData(QStringLiteral("text/uri-list"), UriList({"/v/b.mkv", "/v/a b.avi"}));
    copied->setText(QStringLiteral("/v/b.mkv\n/v/a b.avi"));
    QGuiApplication::clipboard()->setMimeData(copied);
    QTest::mouseClick(ui.btn_Paste, Qt::LeftButton);
    EXPECT_EQ(SourcePaths(*main), QStringList({"/v/b.mkv", "/v/a b.avi"}));

    auto* gnome = new QMimeData;
    gnome->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\nfile:///v/c.mp4");
    QGuiApplication::clipboard()->setMimeData(gnome);
    ui.act_Paste->trigger();
    EXPECT_EQ(SourcePaths(*main), QStringList({"/v/b.mkv", "/v/a b.avi", "/v/c.mp4"}));
    EXPECT_EQ(addFilesCalls, 2);
    main->close();
}

// A folder dropped from a file manager, through Qt's drag-and-drop events, adds the media
// files inside it by the real Adding window (with a probe that needs no libraries).
TEST_F(ShellCommandsTest, DroppingAFolderAddsTheMediaInsideIt)
{
    for (const char* name : {"drop/a.avi", "drop/sub/b.mp4", "drop/notes.txt"})
        Touch(folder.file(name));
    InstallIntakeHooks(hooks, [] { return std::unique_ptr<IMediaProbe>(std::make_unique<test::FakeProbe>()); });
    auto main = MainWindow();
    const TMainControls ui(*main);
    main->show();
    QWidget* target = ui.lw_Files->viewport();
    const QPoint at = target->rect().center();

    QMimeData text;
    text.setText(At("drop"));
    QDragEnterEvent textEnter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &textEnter);
    EXPECT_FALSE(textEnter.isAccepted());

    QMimeData files;
    files.setData(QStringLiteral("text/uri-list"), UriList({At("drop")}));
    QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->Files().Count() == 2; }, 5000));
    QStringList captions;
    for (int i = 0; i < main->Files().Count(); ++i)
        captions << main->Files().Row(i).Caption;
    EXPECT_EQ(captions, QStringList({"a.avi", "b.mp4"}));
    main->close();
}

// Receives the file URLs the program asks the desktop to open.
class FileUrlCatcher : public QObject {
    Q_OBJECT
public:
    FileUrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~FileUrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

TEST_F(ShellCommandsTest, HelpOpensTheManualOrWarnsWhenItIsMissing)
{
    auto main = MainWindow();
    FileUrlCatcher urls;
    Touch(folder.file("help/index.html"));
    OpenHelp(*main, At("help/index.html"));
    ASSERT_EQ(urls.opened.size(), 1);
    EXPECT_EQ(urls.opened.first(), QUrl::fromLocalFile(At("help/index.html")));

    for (const QString& missing : {QString(), At("nothing/index.html")}) {
        TSeenBox box;
        CloseNextBox(&box);
        OpenHelp(*main, missing);
        EXPECT_TRUE(box.seen);
        EXPECT_EQ(box.caption, "Warning");
        EXPECT_EQ(box.icon, QMessageBox::Warning);
        EXPECT_EQ(box.text, "The help file is not found. Please re-install the program.");
    }
    EXPECT_EQ(urls.opened.size(), 1);
}

// Without a browser the manual still opens, in the program's own viewer, and its links work.
TEST_F(ShellCommandsTest, HelpWithoutABrowserShowsTheManualInside)
{
    auto main = MainWindow();
    std::filesystem::create_directories(folder.file("help"));
    std::ofstream(folder.file("help/index.html")) << "<h1>Start</h1><a href=\"files.html\">Files</a>";
    std::ofstream(folder.file("help/files.html")) << "<h1>Files</h1>";
    QList<QUrl> asked;
    OpenHelp(*main, At("help/index.html"), [&asked](const QUrl& url) {
        asked << url;
        return false;
    });
    ASSERT_EQ(asked.size(), 1);
    auto* viewer = main->findChild<reelsmith::Tfrm_HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->txt_Help->source(), QUrl::fromLocalFile(At("help/index.html")));
    EXPECT_TRUE(viewer->txt_Help->toPlainText().contains("Start"));
    emit viewer->txt_Help->anchorClicked(QUrl(QStringLiteral("files.html")));
    EXPECT_EQ(viewer->txt_Help->source(), QUrl::fromLocalFile(At("help/files.html")));
    EXPECT_TRUE(viewer->btn_Back->isEnabled());
    // F1 again brings the same viewer back rather than a second one.
    OpenHelp(*main, At("help/index.html"), [](const QUrl&) { return false; });
    EXPECT_EQ(main->findChildren<reelsmith::Tfrm_HelpViewer*>().size(), 1);
}

// Play and links without a program for them say so, with the path to copy.
TEST_F(ShellCommandsTest, NothingToOpenWithIsSaidWithThePath)
{
    auto main = MainWindow();
    const QUrl file = QUrl::fromLocalFile(At("clip.mp4"));
    TSeenBox box;
    CloseNextBox(&box);
    EXPECT_FALSE(
        reelsmith::OpenExternally(main.get(), file, QStringLiteral("file"), [](const QUrl&) { return false; }));
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_TRUE(box.text.startsWith("Could not open the file:")) << box.text.toStdString();
    EXPECT_TRUE(box.text.endsWith(At("clip.mp4"))) << box.text.toStdString();
    EXPECT_TRUE(reelsmith::OpenExternally(main.get(), file, QStringLiteral("file"), [](const QUrl&) { return true; }));
}

TEST_F(ShellCommandsTest, DarkThemeWithoutItsFileChangesNothingButIsSaved)
{
    hooks.ApplyTheme = [this](Tfrm_Main& main, bool dark) { Darktheme1Click(main, dark, At("missing/Dark.qss")); };
    auto main = MainWindow();
    const TMainControls ui(*main);
    const QColor window = QApplication::palette().color(QPalette::Window);
    const QString buttonSheet = ui.btn_Convert->styleSheet();
    ui.act_Dark->trigger();
    EXPECT_TRUE(ui.act_Dark->isChecked());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), window);
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(ui.btn_Convert->styleSheet(), buttonSheet);
    main->close();
    EXPECT_TRUE(QString::fromUtf8(ReadAll(QString::fromStdString(SettingsFilePath()))).contains("Dark=1"));
}

TEST_F(ShellCommandsTest, DarkThemeColoursEveryWindowAndTheButtonsAndGoesBack)
{
    const QString theme = QStringLiteral(REELSMITH_DARK_QSS);
    hooks.ApplyTheme = [theme](Tfrm_Main& main, bool dark) { Darktheme1Click(main, dark, theme); };
    auto main = MainWindow({"/v/one.mp4"});
    const TMainControls ui(*main);
    EXPECT_TRUE(ui.btn_Convert->styleSheet().contains("#a4cef9"));  // the design colours
    main->show();
    SaveShot(*main, QStringLiteral("main_light"));

    ui.act_Dark->trigger();
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#2d2f33"));
    EXPECT_EQ(QApplication::palette().color(QPalette::Disabled, QPalette::Text), QColor("#7a7d82"));
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    // The run windows take their neutral log colour from the convert button.
    EXPECT_EQ(ui.btn_Convert->palette().color(QPalette::ButtonText), QColor("#e6e6e6"));
    for (const char* colour : {"#3b4a5e", "#62a2e4", "#2b5580"})
        EXPECT_TRUE(ui.btn_Remove->styleSheet().contains(colour)) << colour;
    EXPECT_TRUE(ui.lbl_Note->autoFillBackground());
    EXPECT_TRUE(ui.lbl_Note->styleSheet().contains("#2d2f33"));
    // The list is drawn dark.
    const QImage list = ui.lw_Files->viewport()->grab().toImage();
    EXPECT_LT(list.pixelColor(list.width() - 3, list.height() - 3).lightness(), 80);
    SaveShot(*main, QStringLiteral("main_dark"));

    ui.act_Dark->trigger();
    EXPECT_FALSE(ui.act_Dark->isChecked());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette(), QApplication::style()->standardPalette());
    for (const char* colour : {"#e8eff7", "#62a2e4", "#c9e0f7"})
        EXPECT_TRUE(ui.btn_Remove->styleSheet().contains(colour)) << colour;
    EXPECT_FALSE(ui.lbl_Note->autoFillBackground());
    main->close();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "test_shell_commands.moc"
