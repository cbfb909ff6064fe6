// The Add Files dialog and the Adding window on the offscreen platform, driven as a user
// would: selecting, clicking, switching views, cancelling. With REELSMITH_SCREENSHOT_DIR
// set, the windows are also saved as pictures for a look by eye.
#include <gtest/gtest.h>

#include <cstring>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeView>

#include "intake/ui/add_files_dialog.h"
#include "app/ui/main_window.h"
#include "intake/intake_fakes.h"
#include "base/qt/file_name.h"
#include "intake/ui/adding_window.h"
#include "intake/typed_path.h"
#include "program/program_hooks.h"
#include "support/main_window_controls.h"
#include "support/test_media.h"

using namespace reelsmith;
using reelsmith::test::FakeProbe;
using reelsmith::test::RowList;
using reelsmith::test::Touch;

namespace {

void SaveShot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("REELSMITH_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QApplication::processEvents();
    widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

int ItemNamed(TShellFolderView* view, const QString& name)
{
    for (int i = 0; i < view->ItemCount(); ++i)
        if (view->DisplayName(i) == name)
            return i;
    return -1;
}

class AddFilesDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name :
             {"clips/a.avi", "clips/B.MKV", "clips/notes.txt", "clips/sub/c.mp4", "clips/.hidden.ts"})
            Touch(folder.file(name));
        addPath = QString::fromStdString(folder.file("clips"));
        host.DroppedFiles = &dropped;
        host.str_AddPath = &addPath;
        host.int_AddView = &addView;
        host.AddFiles = [this] {
            ++addFilesCalls;
            addedBatches << dropped;
            return static_cast<int>(dropped.size()) - 1;  // one of them was in the list already
        };
    }

    reelsmith::test::TempFolder folder;
    QStringList dropped{QStringLiteral("left over")};
    QString addPath;
    int addView = 0;
    TAddFilesHost host;
    int addFilesCalls = 0;
    QList<QStringList> addedBatches;
};

TEST_F(AddFilesDialogTest, ShowsFoldersAndMediaFilesOfTheRememberedFolder)
{
    Tfrm_AddFiles dialog(nullptr, host);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Add files");
    EXPECT_EQ(dialog.btn_Add->text(), "Add");
    EXPECT_EQ(dialog.btn_Close->text(), "Close");
    EXPECT_EQ(dialog.lw_Data->CurrentFolder(), addPath);
    QStringList names;
    for (int i = 0; i < dialog.lw_Data->ItemCount(); ++i)
        names << dialog.lw_Data->DisplayName(i);
    EXPECT_EQ(names, (QStringList{"..", "sub", ".hidden.ts", "a.avi", "B.MKV"}));
    EXPECT_EQ(dialog.cb_View->currentText(), "Details");
    EXPECT_EQ(dialog.JamShellBreadCrumbBar1->Path(), addPath);
    SaveShot(&dialog, "add_files_details");
    dialog.cb_View->setCurrentIndex(0);
    emit dialog.cb_View->activated(0);
    SaveShot(&dialog, "add_files_icons");
    dialog.cb_View->setCurrentIndex(1);
    emit dialog.cb_View->activated(1);
    SaveShot(&dialog, "add_files_list");
}

TEST_F(AddFilesDialogTest, AddSendsTheSelectedPathsAndStaysOpen)
{
    Tfrm_AddFiles dialog(nullptr, host);
    dialog.show();
    TShellFolderView* view = dialog.lw_Data;
    EXPECT_FALSE(dialog.btn_Add->isEnabled());

    view->SetSelected(ItemNamed(view, ".."), true);
    view->SetSelected(ItemNamed(view, "sub"), true);
    view->SetSelected(ItemNamed(view, "B.MKV"), true);
    EXPECT_TRUE(dialog.btn_Add->isEnabled());
    QTest::mouseClick(dialog.btn_Add, Qt::LeftButton);
    EXPECT_EQ(addFilesCalls, 1);
    EXPECT_EQ(addedBatches.value(0), (QStringList{addPath + "/sub", addPath + "/B.MKV"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.lbl_Result->text(), "1 file added");
    SaveShot(&dialog, "add_files_added");

    // Only ".." selected: the pending list is emptied and nothing is started.
    view->SetSelected(ItemNamed(view, "sub"), false);
    view->SetSelected(ItemNamed(view, "B.MKV"), false);
    QTest::mouseClick(dialog.btn_Add, Qt::LeftButton);
    EXPECT_EQ(addFilesCalls, 1);
    EXPECT_TRUE(dropped.isEmpty());

    // Ctrl+A on key release selects every item.
    view->SetSelected(ItemNamed(view, ".."), false);
    EXPECT_FALSE(dialog.btn_Add->isEnabled());
    QTest::keyRelease(view->ActiveView(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->SelectedCount(), view->ItemCount());
}

TEST_F(AddFilesDialogTest, AudioFilesAreTypedAsAudio)
{
    for (const char* name : {"clips/song.mp3", "clips/take.WAV"})
        Touch(folder.file(name));
    addView = 0;  // details, with the Type column
    Tfrm_AddFiles dialog(nullptr, host);
    const QAbstractItemModel* items = dialog.lw_Data->ActiveView()->model();
    for (const char* name : {"song.mp3", "take.WAV", "a.avi"}) {
        const int row = ItemNamed(dialog.lw_Data, name);
        ASSERT_GE(row, 0) << name;
        const QString type = items->index(row, 2).data().toString();
        EXPECT_TRUE(type.endsWith(QString::fromLatin1(name).endsWith("avi") ? "video" : "audio", Qt::CaseInsensitive))
            << name << " " << type.toStdString();
    }
    SaveShot(&dialog, "add_files_audio_types");
}

TEST_F(AddFilesDialogTest, TypedPathsOpenFoldersAndSelectFiles)
{
    const QString home = QDir::homePath();
    struct TCase {
        QString Typed;
        QString Folder;
        QString FileName;
        const char* Problem;  // how the problem starts
    };
    const TCase cases[] = {
        {"sub", addPath + "/sub", "", ""},
        {"  " + addPath + "/sub/../a.avi ", addPath, "a.avi", ""},
        {"~", home, "", ""},
        {"gone/x.avi", "", "", "No such folder or file: "},
        {"notes.txt", "", "", "notes.txt is not a media file type"},
        {"   ", "", "", "Type a folder or file path"},
    };
    for (const TCase& c : cases) {
        const TTypedPath target = ResolveTypedPath(c.Typed, addPath);
        EXPECT_EQ(target.Folder, c.Folder) << c.Typed.toStdString();
        EXPECT_EQ(target.FileName, c.FileName) << c.Typed.toStdString();
        EXPECT_EQ(target.Problem.left(static_cast<qsizetype>(std::strlen(c.Problem))).toStdString(), c.Problem);
    }

    // In the dialog: Ctrl+L, a file path, Enter; Esc leaves the field without closing.
    Tfrm_AddFiles dialog(nullptr, host);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QApplication::setActiveWindow(&dialog);  // shortcuts need an active window, also without a window manager
    QTest::keyClick(&dialog, Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(dialog.txt_Location->isVisible());
    EXPECT_EQ(dialog.txt_Location->text(), addPath);
    SaveShot(&dialog, "add_files_path_field");
    dialog.txt_Location->setText(addPath + "/sub/c.mp4");
    QTest::keyClick(dialog.txt_Location, Qt::Key_Return);
    EXPECT_FALSE(dialog.txt_Location->isVisible());
    EXPECT_EQ(dialog.lw_Data->CurrentFolder(), addPath + "/sub");
    EXPECT_EQ(dialog.lw_Data->SelectedCount(), 1);
    EXPECT_TRUE(dialog.btn_Add->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_L, Qt::ControlModifier);
    dialog.txt_Location->setText("nowhere");
    QTest::keyClick(dialog.txt_Location, Qt::Key_Return);
    EXPECT_TRUE(dialog.txt_Location->isVisible());
    EXPECT_TRUE(dialog.lbl_Result->text().startsWith("No such folder or file: "));
    QTest::keyClick(dialog.txt_Location, Qt::Key_Escape);
    EXPECT_FALSE(dialog.txt_Location->isVisible());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(AddFilesDialogTest, NavigatesByFolderActivationBackspaceAndBreadcrumb)
{
    Tfrm_AddFiles dialog(nullptr, host);
    dialog.show();
    TShellFolderView* view = dialog.lw_Data;
    emit view->ActiveView()->activated(view->ActiveView()->model()->index(ItemNamed(view, "sub"), 0));
    EXPECT_EQ(view->CurrentFolder(), addPath + "/sub");
    EXPECT_EQ(dialog.JamShellBreadCrumbBar1->Path(), addPath + "/sub");
    QTest::keyClick(view->ActiveView(), Qt::Key_Backspace);
    EXPECT_EQ(view->CurrentFolder(), addPath);
    emit dialog.JamShellBreadCrumbBar1->FolderClicked(QString::fromStdString(folder.path()));
    EXPECT_EQ(view->CurrentFolder(), QString::fromStdString(folder.path()));
    EXPECT_EQ(dialog.JamShellBreadCrumbBar1->Crumbs().last(), QString::fromStdString(folder.path()));
}

TEST_F(AddFilesDialogTest, ClosingRemembersFolderAndView)
{
    struct Case {
        int startView;
        int comboChoice;  // -1: leave
        QString expectedCombo;
        int expectedView;
    };
    for (const Case& c :
         {Case{0, -1, "Details", 0}, Case{1, 0, "List", 2}, Case{2, 2, "Icons", 0}, Case{7, -1, "List", 1}}) {
        addView = c.startView;
        Tfrm_AddFiles dialog(nullptr, host);
        dialog.show();
        EXPECT_EQ(dialog.cb_View->currentText(), c.expectedCombo) << c.startView;
        if (c.comboChoice >= 0) {
            dialog.cb_View->setCurrentIndex(c.comboChoice);
            emit dialog.cb_View->activated(c.comboChoice);
        }
        dialog.lw_Data->Navigate(addPath + "/sub");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(addView, c.expectedView) << c.startView;
        EXPECT_EQ(addPath, QString::fromStdString(folder.file("clips/sub")));
        addPath = QString::fromStdString(folder.file("clips"));
    }
}

TEST_F(AddFilesDialogTest, MissingRememberedFolderOpensTheDefault)
{
    addPath = QString::fromStdString(folder.file("gone"));
    Tfrm_AddFiles dialog(nullptr, host);
    EXPECT_EQ(dialog.lw_Data->CurrentFolder(), TShellFolderView::DefaultFolder());
}

class AddingWindowTest : public ::testing::Test {
protected:
    QString At(const std::string& name) const { return QString::fromStdString(folder.file(name)); }
    reelsmith::test::TempFolder folder;
    void SetUp() override { probe.loaded = false; }  // the window loads them, as at program start

    FakeProbe probe;
    RowList list;
};

TEST_F(AddingWindowTest, LoadsLibrariesOnceAddsAndClosesItself)
{
    Touch(folder.file("in/one.avi"));
    Touch(folder.file("in/two.mkv"));
    QString labelDuringProbe;
    Tfrm_Adding window(nullptr, {At("in")}, list, probe);
    EXPECT_EQ(window.windowTitle(), "Adding files...");
    EXPECT_EQ(window.lbl_Path->text(), "Loading AV components...");
    EXPECT_EQ(window.btn_Cancel->text(), "Cancel");
    probe.onProbe = [&] {
        labelDuringProbe = window.lbl_Path->text().remove(QChar(0x200B));
        SaveShot(&window, "adding");
    };
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_EQ(probe.loadCalls, 1);
    EXPECT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.resorts, 1);
    EXPECT_EQ(labelDuringProbe, "2 of 2\n\n" + At("in/two.mkv"));
}

TEST_F(AddingWindowTest, CancelStopsBeforeTheNextFile)
{
    for (const char* name : {"c/1.avi", "c/2.avi", "c/3.avi"})
        Touch(folder.file(name));
    probe.loaded = true;
    Tfrm_Adding window(nullptr, {At("c")}, list, probe);
    probe.onProbe = [&] {
        if (window.btn_Cancel->isEnabled())
            QTest::mouseClick(window.btn_Cancel, Qt::LeftButton);
    };
    window.exec();
    EXPECT_TRUE(window.Cancelled());
    EXPECT_FALSE(window.btn_Cancel->isEnabled());
    EXPECT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.resorts, 1);
    EXPECT_EQ(probe.loadCalls, 0);
}

TEST_F(AddingWindowTest, LibraryFailureShowsTheErrorAndAddsNothing)
{
    Touch(folder.file("x.avi"));
    probe.loadError = "Library libavutil.so.57 not found";
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            SaveShot(box, "adding_error");
            box->accept();
        }
    });
    poll.start(20);
    Tfrm_Adding window(nullptr, {At("x.avi")}, list, probe);
    window.exec();
    EXPECT_EQ(title, "Error");
    EXPECT_EQ(text, "Library libavutil.so.57 not found");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_TRUE(list.rows.empty());
    EXPECT_TRUE(probe.probed.empty());
}

TEST_F(AddingWindowTest, FilesNotAddedAreListedUntilClosed)
{
    Touch(folder.file("r/good.avi"));
    Touch(folder.file("r/bad.mkv"));
    Touch(folder.file("notes.txt"));
    Touch(folder.file("caf\xE9.txt"));  // a Latin-1 name is shown escaped
    probe.loaded = true;
    probe.rejected.insert(folder.file("r/bad.mkv"));
    Tfrm_Adding window(nullptr, {At("r"), At("notes.txt"), reelsmith::FileNameText(folder.file("caf\xE9.txt"))}, list,
                       probe);
    QString listed;
    QTimer::singleShot(0, &window, [&] { window.show(); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.log_Rejected->isVisible() && listed.isEmpty()) {
            listed = window.log_Rejected->toPlainText();
            SaveShot(&window, "adding_rejected");
            QTest::mouseClick(window.btn_Cancel, Qt::LeftButton);
        }
    });
    poll.start(20);
    EXPECT_EQ(window.exec(), QDialog::Accepted);
    EXPECT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(window.btn_Cancel->text(), "Close");
    EXPECT_EQ(window.lbl_Path->text(), "1 file(s) added. Not added:");
    EXPECT_EQ(listed, At("notes.txt") + ": not a media file type that can be added\n" + At("caf\\xE9.txt") +
                          ": not a media file type that can be added\n" + At("r/bad.mkv") +
                          ": cannot be read as audio or video");

    // Unattended, the window closes by itself and keeps the list for the caller.
    list.rows.clear();
    Tfrm_Adding quiet(nullptr, {At("r"), At("notes.txt")}, list, probe);
    quiet.SetShowRejected(false);
    EXPECT_EQ(quiet.exec(), QDialog::Accepted);
    EXPECT_EQ(quiet.Rejected().size(), 2u);
}

TEST_F(AddingWindowTest, CannotBeClosedWhileWorking)
{
    Touch(folder.file("w.avi"));
    probe.loaded = true;
    Tfrm_Adding window(nullptr, {At("w.avi")}, list, probe);
    bool stillOpen = false;
    probe.onProbe = [&] {
        window.close();
        QTest::keyClick(&window, Qt::Key_Escape);
        stillOpen = window.isVisible();
    };
    window.exec();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(list.rows.size(), 1u);
}

// The main window's Add files command opens the dialog; its Add runs the Adding window
// through AddFiles, and the rows land in the main list; closing stores folder and view.
TEST_F(AddingWindowTest, MainWindowCommandsOpenTheIntakeWindows)
{
    reelsmith::test::TempFolder config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
    Touch(folder.file("pick/one.avi"));
    Touch(folder.file("pick/deep/two.mp4"));
    TMainWindowHooks hooks;
    InstallIntakeHooks(hooks, [this] {
        auto fake = std::make_unique<FakeProbe>();
        fake->loaded = true;
        return std::unique_ptr<IMediaProbe>(std::move(fake));
    });
    Tfrm_Main main({}, hooks);
    main.AddFilesFolder() = At("pick");
    main.AddFilesView() = 2;
    main.show();
    bool sawDialog = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Tfrm_AddFiles*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        sawDialog = true;
        EXPECT_EQ(dialog->cb_View->currentText(), "Icons");
        dialog->lw_Data->SelectAll();
        QTest::mouseClick(dialog->btn_Add, Qt::LeftButton);
        dialog->lw_Data->Navigate(At("pick/deep"));
        dialog->cb_View->setCurrentIndex(2);
        emit dialog->cb_View->activated(2);
        dialog->btn_Close->click();
    });
    main.btn_AddClick();
    EXPECT_TRUE(sawDialog);
    ASSERT_EQ(main.Files().Count(), 2);
    EXPECT_EQ(main.Files().Row(0).Caption, "one.avi");
    EXPECT_EQ(main.Files().Row(1).Caption, "two.mp4");
    EXPECT_EQ(main.AddFilesFolder(), At("pick/deep"));
    EXPECT_EQ(main.AddFilesView(), 0);
    EXPECT_TRUE(reelsmith::test::Named<QLabel>(main, "sts_0")->text().startsWith("Files: 2 "));
    main.close();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
