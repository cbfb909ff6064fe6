#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include "base/qt/number_format.h"
#include "app/settings_store.h"
#include "app/ui/main_window.h"
#include "settings/ui/settings_dialog_hooks.h"
#include "settings/ui/effects_dialog.h"

using reelsmith::FileCell;
using reelsmith::TFileListRow;

namespace {

TFileListRow MakeRow(const QString& name, qint64 micros, qint64 bytes)
{
    TFileListRow row;
    row.Caption = name;
    row.cell(FileCell::DurationText) = reelsmith::FormatDuration(micros);
    row.cell(FileCell::SizeText) = QString::number(bytes);
    row.cell(FileCell::SourcePath) = QStringLiteral("/videos/") + name;
    row.cell(FileCell::DurationMicros) = QString::number(micros);
    row.cell(FileCell::SizeBytes) = QString::number(bytes);
    return row;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Captions(QMenu* menu)
{
    QStringList captions;
    for (QAction* action : menu->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_Config;
    QString IniPath() const { return QString::fromStdString(reelsmith::SettingsFilePath()); }
    void SaveShot(QWidget& window, const QString& name)
    {
        const QByteArray folder = qgetenv("REELSMITH_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            window.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + name);
    }

private slots:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", m_Config.path().toLocal8Bit());
        QFile::remove(IniPath());
    }

    void firstStartShowsDefaults()
    {
        Tfrm_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Reelsmith"));
        QVERIFY(window.chk_Specify->isChecked());
        QVERIFY(!window.txt_Path->isEnabled());
        QVERIFY(window.act_Update->isChecked());
        QVERIFY(!window.act_Dark->isChecked());
        QVERIFY(window.chk_OriginalSettings->isChecked());
        QCOMPARE(window.tab_Settings->currentIndex(), 0);
        QCOMPARE(window.tab_Settings->tabText(4), QStringLiteral(" Output "));
        QVERIFY(window.pnl_Note->isVisible());
        QCOMPARE(window.lbl_Note->text(), QStringLiteral("Click here to add files"));
        QCOMPARE(window.sts_0->text(), QStringLiteral("Files: 0 (Size: 0 MB, Duration: 00:00:00)"));
        QVERIFY(window.sts_1->text().isEmpty());
        // The note sits in the middle of the list.
        const QPoint noteCentre = window.pnl_Note->geometry().center();
        QVERIFY(qAbs(noteCentre.x() - window.lw_Files->width() / 2) <= 1);
        QVERIFY(qAbs(noteCentre.y() - window.lw_Files->height() / 2) <= 1);
        // The output choices of a first start.
        QCOMPARE(window.cb_Type->currentText(), QStringLiteral("General"));
        QCOMPARE(window.cb_Format->currentText(), QStringLiteral("AVI (*.avi)"));
        QCOMPARE(window.cb_VideoFormat->currentText(), QStringLiteral("AVI"));
        QCOMPARE(window.cb_VideoEncoder->currentText(), QStringLiteral("MPEG4"));
        QCOMPARE(window.cb_AudioEncoder->currentText(), QStringLiteral("MP3"));
        for (QComboBox* list : {window.cb_VideoAspect, window.cb_VideoFrameSize, window.cb_VideoFrameRate,
                                window.cb_VideoBitrate, window.cb_AudioFormat, window.cb_AudioSampleRate,
                                window.cb_AudioChannel, window.cb_AudioBitrate, window.cb_Threads})
            QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(window.cb_AudioBitrate->currentText(), QStringLiteral("32"));
        QCOMPARE(window.cb_CPUUsage->currentText(), QStringLiteral("Normal"));
        QCOMPARE(window.cb_Threads->currentText(), QStringLiteral("1"));
        QCOMPARE(window.cb_VideoFrameSize->itemText(window.cb_VideoFrameSize->count() - 1),
                 QStringLiteral("7680x4800"));
        SaveShot(window, QStringLiteral("main-default.png"));
        for (int tab = 1; tab < 5; ++tab) {
            window.tab_Settings->setCurrentIndex(tab);
            SaveShot(window, QStringLiteral("main-tab%1.png").arg(tab));
        }
        window.tab_Settings->setCurrentIndex(0);
        window.resize(1024, 700);
        QTest::qWait(50);
        SaveShot(window, QStringLiteral("main-1024x700.png"));
        window.resize(400, 400);
        QTest::qWait(50);
        QCOMPARE(window.size(), QSize(400, 400));
        SaveShot(window, QStringLiteral("main-400x400.png"));
        window.resize(100, 100);
        QCOMPARE(window.size(), QSize(400, 400));
    }

    void toolbarAndMenusStartRight()
    {
        Tfrm_Main window;
        const struct {
            QToolButton* button;
            const char* hint;
            bool enabled;
        } buttons[] = {
            {window.btn_Convert, "Convert files (F9)", true}, {window.btn_Command, "Send FFMPEG command", true},
            {window.btn_Extract, "Extract audio (Ctrl+E)", true}, {window.btn_Burn, "Burn disc (Ctrl+B)", true},
            {window.btn_Add, "Add files (Ctrl+D)", true}, {window.btn_Paste, "Paste (Ctrl+V)", true},
            {window.btn_Play, "Preview (F3)", false}, {window.btn_Properties, "Properties (F4)", false},
            {window.btn_Remove, "Remove (Del)", false},
        };
        for (const auto& b : buttons) {
            QCOMPARE(b.button->toolTip(), QString::fromLatin1(b.hint));
            QCOMPARE(b.button->isEnabled(), b.enabled);
            QVERIFY2(!b.button->icon().isNull(), b.hint);
        }
        QCOMPARE(window.btn_Convert->text(), QStringLiteral(" Convert"));

        const QList<QAction*> menus = window.menuBar()->actions();
        QCOMPARE(menus.size(), 4);
        QCOMPARE(Captions(menus[0]->menu()),
                 QStringList({"New", "Open", "Save", "-", "Convert", "FFMpeg command", "Extract audio", "Burn disc",
                              "-", "Restore default settings", "-", "Exit"}));
        QCOMPARE(Captions(menus[1]->menu()), QStringList({"Add files", "Paste", "Select all", "-", "Effects", "-",
                                                          "Play", "Preview", "Properties", "-", "Remove"}));
        QCOMPARE(Captions(menus[3]->menu()), QStringList({"Help", "-", "Check for update on startup", "-", "About"}));
        QCOMPARE(Captions(window.mnu_List), QStringList({"Add files", "Paste", "Select all", "-", "Play", "Preview",
                                                         "Properties", "-", "Remove"}));
        QCOMPARE(window.act_Remove->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(window.act_Convert->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(window.act_Extract->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        for (QAction* action : {window.act_Play, window.act_Preview, window.act_Properties, window.act_Remove})
            QVERIFY(!action->isEnabled());
    }

    void selectionSortingAndRemoval()
    {
        Tfrm_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto& files = window.Files();
        files.Append(MakeRow(QStringLiteral("b.avi"), 3'000'000, 3 * 1048576));
        files.Append(MakeRow(QStringLiteral("a.avi"), 1'000'000, 1 * 1048576));
        files.Append(MakeRow(QStringLiteral("c.avi"), 2'000'000, 2 * 1048576));
        window.UpdateSize();
        QVERIFY(!window.pnl_Note->isVisible());
        window.SelectRow(1, true);
        SaveShot(window, QStringLiteral("main-rows.png"));
        window.SelectRow(1, false);
        QCOMPARE(window.sts_0->text(), QStringLiteral("Files: 3 (Size: 6 MB, Duration: 00:00:06)"));

        // First click on "Name" turns the initial ascending order round.
        window.HeaderClick(0);
        QVERIFY(!window.SortArrowUp());
        QCOMPARE(files.Row(0).Caption, QStringLiteral("c.avi"));
        window.HeaderClick(1);
        QCOMPARE(window.lw_Files->header()->sortIndicatorSection(), 1);
        QVERIFY(window.SortArrowUp());
        QCOMPARE(files.Row(0).Caption, QStringLiteral("a.avi"));

        window.SelectRow(0, true);
        window.SelectRow(2, true);
        QCOMPARE(window.sts_1->text(), QStringLiteral("Selected: 2 files, 4 MB"));
        QVERIFY(window.btn_Remove->isEnabled());
        QVERIFY(window.act_Preview->isEnabled());
        window.SelectRow(2, false);
        QVERIFY(window.sts_1->text().isEmpty());
        QVERIFY(window.btn_Properties->isEnabled());

        // Sorting keeps the selection on the same rows.
        window.HeaderClick(1);
        QCOMPARE(window.SelectedRows(), std::vector<int>({2}));
        QCOMPARE(files.Row(2).Caption, QStringLiteral("a.avi"));

        window.SelectAll1Click();
        QCOMPARE(window.sts_1->text(), QStringLiteral("Selected: 3 files, 6 MB"));
        window.SelectRow(1, false);  // b.avi and a.avi stay selected
        window.lw_Files->setFocus();
        QTest::keyClick(window.lw_Files, Qt::Key_Delete);
        QCOMPARE(files.Count(), 1);
        QCOMPARE(files.Row(0).Caption, QStringLiteral("c.avi"));
        QVERIFY(!window.btn_Remove->isEnabled());
        QVERIFY(!window.act_Remove->isEnabled());
        QCOMPARE(window.sts_0->text(), QStringLiteral("Files: 1 (Size: 2 MB, Duration: 00:00:02)"));

        window.New1Click();
        QCOMPARE(files.Count(), 0);
        QVERIFY(window.pnl_Note->isVisible());
    }

    void rowCommandsWithoutSelectionOnlyDisableButtons()
    {
        int previews = 0;
        TMainWindowHooks hooks;
        hooks.Preview = [&](Tfrm_Main&, const QString& path) {
            ++previews;
            QCOMPARE(path, QStringLiteral("/videos/x.avi"));
        };
        Tfrm_Main window({}, hooks);
        window.Files().Append(MakeRow(QStringLiteral("x.avi"), 0, 10));
        window.SelectRow(0, true);
        window.btn_PlayClick();
        QCOMPARE(previews, 1);
        window.SelectRow(0, false);
        window.btn_Play->setEnabled(true);
        window.act_Preview->setEnabled(true);
        window.btn_PlayClick();
        QCOMPARE(previews, 1);
        QVERIFY(!window.btn_Play->isEnabled());
        QVERIFY(window.act_Preview->isEnabled());  // menus follow the selection events only
    }

    void noteClickAndAddFilesReachTheirWindows()
    {
        QStringList consumed;
        int dialogs = 0;
        TMainWindowHooks hooks;
        hooks.AddFilesDialog = [&](Tfrm_Main&) { ++dialogs; };
        hooks.AddingWindow = [&](Tfrm_Main& w) {
            consumed = w.DroppedFiles;
            w.DroppedFiles.clear();
            w.Files().Append(MakeRow(QStringLiteral("z.avi"), 5'000'000, 1048576));
        };
        Tfrm_Main window({}, hooks);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.lbl_Note, Qt::LeftButton);
        QCOMPARE(dialogs, 1);
        window.DroppedFiles = QStringList({QStringLiteral("/videos/z.avi")});
        window.AddFiles();
        QCOMPARE(consumed, QStringList({QStringLiteral("/videos/z.avi")}));
        QVERIFY(!window.pnl_Note->isVisible());
        QCOMPARE(window.sts_0->text(), QStringLiteral("Files: 1 (Size: 1 MB, Duration: 00:00:05)"));
    }

    void firstShowStartsOneTimer_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("paramTicks");
        QTest::addColumn<int>("updateTicks");
        QTest::newRow("no parameters") << QStringList() << QByteArray() << 0 << 1;
        QTest::newRow("mode only") << QStringList({"-v"}) << QByteArray() << 0 << 1;
        QTest::newRow("output folder") << QStringList({"-v", "/tmp", "a.avi"}) << QByteArray() << 1 << 0;
        QTest::newRow("update off") << QStringList() << QByteArray("[Reelsmith]\nUpdate=0\n") << 0 << 0;
    }

    void firstShowStartsOneTimer()
    {
        QFETCH(QStringList, params);
        QFETCH(QByteArray, ini);
        QFETCH(int, paramTicks);
        QFETCH(int, updateTicks);
        if (!ini.isEmpty())
            WriteFile(IniPath(), ini);
        int params_ = 0;
        int updates = 0;
        TMainWindowHooks hooks;
        hooks.ParamTimer = [&](Tfrm_Main&) { ++params_; };
        hooks.UpdateTimer = [&](Tfrm_Main&) { ++updates; };
        Tfrm_Main window(params, hooks);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.hide();
        window.show();  // a second showing starts nothing more
        QTest::qWait(300);
        QCOMPARE(params_, paramTicks);
        QCOMPARE(updates, updateTicks);
        QVERIFY(window.lw_Files->header()->isSortIndicatorShown());
        QCOMPARE(window.lw_Files->header()->sortIndicatorSection(), 0);
        QVERIFY(window.SortArrowUp());
    }

    void burnAsksForFilesFirst()
    {
        int dialogs = 0;
        int burns = 0;
        TMainWindowHooks hooks;
        hooks.AddFilesDialog = [&](Tfrm_Main&) { ++dialogs; };
        hooks.Burn = [&](Tfrm_Main&) { ++burns; };
        Tfrm_Main window({}, hooks);
        window.btn_BurnClick();
        QCOMPARE(dialogs, 1);
        QCOMPARE(burns, 0);
        window.Hooks().AddFilesDialog = [&](Tfrm_Main& w) {
            ++dialogs;
            w.Files().Append(MakeRow(QStringLiteral("y.avi"), 0, 1));
        };
        window.btn_BurnClick();
        QCOMPARE(burns, 1);
        window.btn_BurnClick();
        QCOMPARE(dialogs, 2);
        QCOMPARE(burns, 2);
    }

    void closeWritesSettingsAndKeepsUnknownKeys()
    {
        WriteFile(IniPath(), "; mine\n[Reelsmith]\nTab=4\nLocOption=3\nLocation=/srv/out\nWidth=700\nHeight=500\n"
                             "Column2=123\nMystery=1\n[Other]\nk=v\n");
        {
            Tfrm_Main window;
            QCOMPARE(window.tab_Settings->currentIndex(), 4);
            QVERIFY(window.chk_Path->isChecked());
            QVERIFY(window.txt_Path->isEnabled());
            QCOMPARE(window.txt_Path->text(), QStringLiteral("/srv/out"));
            QCOMPARE(window.size(), QSize(700, 500));
            QCOMPARE(window.lw_Files->header()->sectionSize(1), 123);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.tab_Settings->setCurrentIndex(2);
            window.chk_Original->setChecked(true);
            window.act_Dark->setChecked(true);
            window.close();
        }
        const QByteArray text = ReadFile(IniPath());
        QVERIFY(text.startsWith("; mine\n[Reelsmith]\n"));
        QVERIFY(text.contains("Tab=2\n"));
        QVERIFY(text.contains("LocOption=2\n"));
        QVERIFY(text.contains("Mystery=1\n"));
        QVERIFY(text.contains("[Other]\nk=v\n"));
        QVERIFY(text.contains("Dark=1\n"));
        QVERIFY(text.contains("Width=700\n"));
    }

    void storedPositionsSelectExactlyThoseEntries()
    {
        WriteFile(IniPath(), "[Reelsmith]\nCustom=1000x500\n[Settings]\nProfileType=4\nProfileFormat=2\n"
                             "CPUusage=0\nThreads=7\nVideoFormat2=8\nVideoEncoder2=0\nVideoAspect2=2\n"
                             "VideoFrameSize2=29\nVideoFrameRate2=3\nVideoBitRate2=9\nAudioFormat2=3\n"
                             "AudioEncoder2=0\nAudioChannel2=2\nAudioSampleRate2=4\nAudioBitRate2=13\n");
        {
            Tfrm_Main window;
            QCOMPARE(window.cb_Type->currentText(), QStringLiteral("iPad"));
            QCOMPARE(window.cb_Format->count(), 3);
            QCOMPARE(window.cb_Format->currentText(), QStringLiteral("iPad 4/Pro/Air 720p (*.mp4)"));
            QCOMPARE(window.cb_CPUUsage->currentText(), QStringLiteral("Idle"));
            QCOMPARE(window.cb_Threads->currentText(), QStringLiteral("8"));
            QCOMPARE(window.cb_VideoFormat->currentText(), QStringLiteral("WebM"));
            QCOMPARE(window.cb_VideoEncoder->currentText(), QStringLiteral("VP8"));
            QCOMPARE(window.cb_AudioEncoder->currentText(), QStringLiteral("OGG"));
            QCOMPARE(window.cb_VideoAspect->currentText(), QStringLiteral("16:9"));
            QCOMPARE(window.cb_VideoFrameSize->currentText(), QStringLiteral("1000x500"));
            QCOMPARE(window.cb_VideoFrameRate->currentText(), QStringLiteral("25"));
            QCOMPARE(window.cb_VideoBitrate->currentText(), QStringLiteral("1500"));
            QCOMPARE(window.cb_AudioFormat->currentText(), QStringLiteral("FLAC"));
            QCOMPARE(window.cb_AudioChannel->currentText(), QStringLiteral("Stereo"));
            QCOMPARE(window.cb_AudioSampleRate->currentText(), QStringLiteral("44100"));
            QCOMPARE(window.cb_AudioBitrate->currentText(), QStringLiteral("384"));
            window.cb_VideoBitrate->setCurrentIndex(4);
            window.close();
        }
        const QByteArray text = ReadFile(IniPath());
        for (const char* line : {"ProfileType=4\n", "ProfileFormat=2\n", "CPUusage=0\n", "Threads=7\n",
                                 "VideoFormat2=8\n", "VideoFrameSize2=29\n", "VideoBitRate2=4\n",
                                 "AudioBitRate2=13\n", "Custom=1000x500\n"})
            QVERIFY2(text.contains(line), line);
    }

    void positionsBeyondTheListsLeaveNoSelection()
    {
        WriteFile(IniPath(), "[Settings]\nVideoFormat2=8\nVideoEncoder2=3\nAudioBitRate2=14\nProfileType=9\n");
        Tfrm_Main window;
        QCOMPARE(window.cb_VideoFormat->currentText(), QStringLiteral("WebM"));
        QCOMPARE(window.cb_VideoEncoder->currentIndex(), -1);
        QCOMPARE(window.cb_AudioEncoder->currentText(), QStringLiteral("OGG"));
        QCOMPARE(window.cb_AudioBitrate->currentIndex(), -1);
        QCOMPARE(window.cb_Type->currentIndex(), -1);
        QCOMPARE(window.cb_Format->count(), 0);
        window.close();
        QVERIFY(ReadFile(IniPath()).contains("VideoEncoder2=-1\n"));
    }

    void applyProfileAndFormatChange()
    {
        Tfrm_Main window;
        window.cb_Type->setCurrentIndex(1);  // HD Video
        window.cb_TypeSelect();
        window.cb_Format->setCurrentIndex(1);  // HD XviD (*.avi)
        window.chk_OriginalSettings->setChecked(false);
        window.btn_ApplyClick();
        QCOMPARE(window.cb_VideoFormat->currentText(), QStringLiteral("AVI"));
        QCOMPARE(window.cb_VideoEncoder->currentIndex(), 3);
        QCOMPARE(window.cb_VideoFrameSize->currentText(), QStringLiteral("1920x1080"));
        QCOMPARE(window.cb_VideoBitrate->currentText(), QStringLiteral("9000"));
        QCOMPARE(window.Choices().VideoEncoderText(), std::string("xVid"));

        window.cb_VideoFormat->setCurrentIndex(4);  // MP4, as the user picks it
        window.cb_VideoFormatChange();
        QCOMPARE(window.cb_VideoEncoder->count(), 3);
        QCOMPARE(window.cb_AudioEncoder->currentText(), QStringLiteral("AAC"));
    }

    void dialogsChangeTheWindowThroughItsChoices()
    {
        TMainWindowHooks hooks;
        reelsmith::InstallSettingsDialogHooks(hooks);
        Tfrm_Main window({}, hooks);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTimer::singleShot(100, [] {
            auto* dialog = qobject_cast<Tfrm_Effects*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->chk_Rotate->setChecked(true);
            dialog->cb_Rotate->setCurrentIndex(1);
            dialog->chk_Negate->setChecked(true);
            dialog->btn_OK->click();
        });
        window.act_Effects->trigger();
        QVERIFY(window.ef_Rotate);
        QCOMPARE(window.ef_Degrees, 1);
        QVERIFY(window.ef_Negate);

        reelsmith::TOutputChoices choices = window.Choices();
        reelsmith::SelectCustomFrameSize(choices, "1000x500");
        window.SetChoices(choices);
        const int last = window.cb_VideoFrameSize->count() - 1;
        QCOMPARE(window.cb_VideoFrameSize->currentIndex(), last);
        QCOMPARE(window.cb_VideoFrameSize->currentText(), QStringLiteral("1000x500"));
        QVERIFY(window.Choices() == choices);
    }

    void maximizedKeepsTheNormalSize()
    {
        WriteFile(IniPath(), "[Reelsmith]\nWidth=640\nHeight=480\nMaximized=1\n");
        {
            Tfrm_Main window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(window.isMaximized());
            window.close();
        }
        const QByteArray text = ReadFile(IniPath());
        QVERIFY(text.contains("Maximized=1\n"));
        QVERIFY(text.contains("Width=640\n"));
        Tfrm_Main again;
        again.showNormal();
        again.setWindowState(Qt::WindowNoState);
        QCOMPARE(again.normalGeometry().size(), QSize(640, 480));
    }

    void garbageFileFallsBackToDefaults()
    {
        QByteArray garbage;
        for (int i = 0; i < 5000; ++i)
            garbage.append(static_cast<char>((i * 131) % 256));
        garbage.append("\n[Reelsmith]\nWidth=99999999999999\nHeight=-5\nTab=77\nColumn1=2147483647\n"
                       "Maximized=\xff\n[Settings]\nCPUusage=12\nVideoFormat2=-3\n");
        WriteFile(IniPath(), garbage);
        Tfrm_Main window;
        QCOMPARE(window.tab_Settings->currentIndex(), 0);
        QVERIFY(!window.isMaximized());
        QCOMPARE(window.height(), window.minimumHeight());
        QVERIFY(window.lw_Files->header()->sectionSize(0) <= 4096);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.close();
        QVERIFY(ReadFile(IniPath()).startsWith(garbage.left(100)));
    }

    void unwritableFileReportsAndStillCloses()
    {
        // A folder in the file's place cannot be replaced, whatever rights the test runs with.
        QDir().mkpath(IniPath());
        Tfrm_Main window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTimer::singleShot(200, [] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            QVERIFY(box->findChildren<QLabel*>().size() > 0);
            bool named = false;
            for (QLabel* label : box->findChildren<QLabel*>())
                named = named || label->text().startsWith(QStringLiteral("Unable to write to "));
            QVERIFY(named);
            box->close();
        });
        window.close();
        QVERIFY(!window.isVisible());
        QDir(IniPath()).removeRecursively();
    }

    void restoreDefaultsKeepsRotation()
    {
        WriteFile(IniPath(), "[Reelsmith]\nTab=3\nUpdate=0\n");
        Tfrm_Main window;
        QVERIFY(!window.act_Update->isChecked());
        window.ef_Rotate = true;
        window.ef_Degrees = 1;
        window.ef_VFlip = window.ef_HFlip = window.ef_Negate = window.ef_Dein = true;
        window.resize(900, 650);
        window.RestoreDefaultSettings();
        QVERIFY(!QFile::exists(IniPath()));
        QVERIFY(window.act_Update->isChecked());
        QCOMPARE(window.tab_Settings->currentIndex(), 0);
        QCOMPARE(window.cb_Type->currentText(), QStringLiteral("General"));
        QCOMPARE(window.cb_Format->currentText(), QStringLiteral("AVI (*.avi)"));
        QVERIFY(window.ef_Rotate);
        QCOMPARE(window.ef_Degrees, 1);
        QVERIFY(!window.ef_VFlip && !window.ef_HFlip && !window.ef_Negate && !window.ef_Dein);
        QCOMPARE(window.size(), QSize(window.DefaultWidth(), window.DefaultHeight()));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
