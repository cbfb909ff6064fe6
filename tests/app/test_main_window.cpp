#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
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
#include "base/qt/window_fit.h"
#include "program/program_hooks.h"
#include "support/main_window_controls.h"
#include "settings/ui/effects_dialog.h"

using reelsmith::FileCell;
using reelsmith::TFileListRow;
using reelsmith::Tfrm_Effects;
using reelsmith::Tfrm_Main;
using reelsmith::TMainWindowHooks;
using reelsmith::test::TMainControls;

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
        const TMainControls ui(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Reelsmith"));
        // Every control stays usable on a 1024x600 screen with a panel and a title bar.
        const QSize smallest = window.minimumSizeHint().expandedTo(window.minimumSize());
        QVERIFY2(smallest.width() <= 1016 && smallest.height() <= 537,
                 qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
        QVERIFY(window.screen()->availableGeometry().contains(window.frameGeometry()));
        QVERIFY(ui.chk_Specify->isChecked());
        QVERIFY(!ui.txt_Path->isEnabled());
        QVERIFY(ui.act_Update->isChecked());
        QVERIFY(!ui.act_Dark->isChecked());
        QVERIFY(ui.chk_OriginalSettings->isChecked());
        QCOMPARE(ui.tab_Settings->currentIndex(), 0);
        QCOMPARE(ui.tab_Settings->tabText(4), QStringLiteral(" Output "));
        QVERIFY(ui.pnl_Note->isVisible());
        QCOMPARE(ui.lbl_Note->text(), QStringLiteral("Click here to add files"));
        QCOMPARE(ui.sts_0->text(), QStringLiteral("Files: 0 (Size: 0 MB, Duration: 00:00:00)"));
        QVERIFY(ui.sts_1->text().isEmpty());
        // The note sits in the middle of the list.
        const QPoint noteCentre = ui.pnl_Note->geometry().center();
        QVERIFY(qAbs(noteCentre.x() - ui.lw_Files->width() / 2) <= 1);
        QVERIFY(qAbs(noteCentre.y() - ui.lw_Files->height() / 2) <= 1);
        // The output choices of a first start.
        QCOMPARE(ui.cb_Type->currentText(), QStringLiteral("General"));
        QCOMPARE(ui.cb_Format->currentText(), QStringLiteral("AVI (*.avi)"));
        QCOMPARE(ui.cb_VideoFormat->currentText(), QStringLiteral("AVI"));
        QCOMPARE(ui.cb_VideoEncoder->currentText(), QStringLiteral("MPEG4"));
        QCOMPARE(ui.cb_AudioEncoder->currentText(), QStringLiteral("MP3"));
        for (QComboBox* list : {ui.cb_VideoAspect, ui.cb_VideoFrameSize, ui.cb_VideoFrameRate, ui.cb_VideoBitrate,
                                ui.cb_AudioFormat, ui.cb_AudioSampleRate, ui.cb_AudioChannel, ui.cb_Threads})
            QCOMPARE(list->currentIndex(), 0);
        // What the shown profile gives when applied, not the first entry of the list.
        QCOMPARE(ui.cb_AudioBitrate->currentText(), QStringLiteral("128"));
        QCOMPARE(ui.cb_CPUUsage->currentText(), QStringLiteral("Normal"));
        QCOMPARE(ui.cb_Threads->currentText(), QStringLiteral("1"));
        QCOMPARE(ui.cb_VideoFrameSize->itemText(ui.cb_VideoFrameSize->count() - 1), QStringLiteral("7680x4800"));
        SaveShot(window, QStringLiteral("main-default.png"));
        for (int tab = 1; tab < 5; ++tab) {
            ui.tab_Settings->setCurrentIndex(tab);
            SaveShot(window, QStringLiteral("main-tab%1.png").arg(tab));
        }
        ui.tab_Settings->setCurrentIndex(0);
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
        const TMainControls ui(window);
        const struct {
            QToolButton* button;
            const char* hint;
            bool enabled;
        } buttons[] = {
            {ui.btn_Convert, "Convert files (F9)", true},
            {ui.btn_Command, "Send FFMPEG command", true},
            {ui.btn_Extract, "Extract audio (Ctrl+E)", true},
            {ui.btn_Burn, "Burn disc (Ctrl+B)", true},
            {ui.btn_Add, "Add files (Ctrl+D)", true},
            {ui.btn_Paste, "Paste (Ctrl+V)", true},
            {ui.btn_Play, "Preview (F3)", false},
            {ui.btn_Properties, "Properties (F4)", false},
            {ui.btn_Remove, "Remove (Del)", false},
        };
        for (const auto& b : buttons) {
            QCOMPARE(b.button->toolTip(), QString::fromLatin1(b.hint));
            QCOMPARE(b.button->isEnabled(), b.enabled);
            QVERIFY2(!b.button->icon().isNull(), b.hint);
        }
        QCOMPARE(ui.btn_Convert->text(), QStringLiteral(" Convert"));

        const QList<QAction*> menus = window.menuBar()->actions();
        QCOMPARE(menus.size(), 4);
        QCOMPARE(Captions(menus[0]->menu()),
                 QStringList({"New", "Open", "Save", "-", "Convert", "FFMpeg command", "Extract audio", "Burn disc",
                              "-", "Restore default settings", "-", "Exit"}));
        QCOMPARE(Captions(menus[1]->menu()), QStringList({"Add files", "Paste", "Select all", "-", "Effects", "-",
                                                          "Play", "Preview", "Properties", "-", "Remove"}));
        QCOMPARE(Captions(menus[3]->menu()), QStringList({"Help", "-", "Check for update on startup", "-", "About"}));
        QCOMPARE(Captions(ui.mnu_List), QStringList({"Add files", "Paste", "Select all", "-", "Play", "Preview",
                                                     "Properties", "-", "Remove"}));
        QCOMPARE(ui.act_Remove->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(ui.act_Convert->shortcut(), QKeySequence(Qt::Key_F9));
        QCOMPARE(ui.act_Extract->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        for (QAction* action : {ui.act_Play, ui.act_Preview, ui.act_Properties, ui.act_Remove})
            QVERIFY(!action->isEnabled());
    }

    void selectionSortingAndRemoval()
    {
        Tfrm_Main window;
        const TMainControls ui(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto& files = window.Files();
        files.Append(MakeRow(QStringLiteral("b.avi"), 3'000'000, 3 * 1048576));
        files.Append(MakeRow(QStringLiteral("a.avi"), 1'000'000, 1 * 1048576));
        files.Append(MakeRow(QStringLiteral("c.avi"), 2'000'000, 2 * 1048576));
        window.UpdateSize();
        QVERIFY(!ui.pnl_Note->isVisible());
        window.SelectRow(1, true);
        SaveShot(window, QStringLiteral("main-rows.png"));
        window.SelectRow(1, false);
        QCOMPARE(ui.sts_0->text(), QStringLiteral("Files: 3 (Size: 6 MB, Duration: 00:00:06)"));

        // First click on "Name" turns the initial ascending order round.
        window.HeaderClick(0);
        QVERIFY(!window.SortArrowUp());
        QCOMPARE(files.Row(0).Caption, QStringLiteral("c.avi"));
        window.HeaderClick(1);
        QCOMPARE(ui.lw_Files->header()->sortIndicatorSection(), 1);
        QVERIFY(window.SortArrowUp());
        QCOMPARE(files.Row(0).Caption, QStringLiteral("a.avi"));

        window.SelectRow(0, true);
        window.SelectRow(2, true);
        QCOMPARE(ui.sts_1->text(), QStringLiteral("Selected: 2 files, 4 MB"));
        QVERIFY(ui.btn_Remove->isEnabled());
        QVERIFY(ui.act_Preview->isEnabled());
        window.SelectRow(2, false);
        QVERIFY(ui.sts_1->text().isEmpty());
        QVERIFY(ui.btn_Properties->isEnabled());

        // Sorting keeps the selection on the same rows.
        window.HeaderClick(1);
        QCOMPARE(window.SelectedRows(), std::vector<int>({2}));
        QCOMPARE(files.Row(2).Caption, QStringLiteral("a.avi"));

        window.SelectAll1Click();
        QCOMPARE(ui.sts_1->text(), QStringLiteral("Selected: 3 files, 6 MB"));
        window.SelectRow(1, false);  // b.avi and a.avi stay selected
        ui.lw_Files->setFocus();
        QTest::keyClick(ui.lw_Files, Qt::Key_Delete);
        QCOMPARE(files.Count(), 1);
        QCOMPARE(files.Row(0).Caption, QStringLiteral("c.avi"));
        QVERIFY(!ui.btn_Remove->isEnabled());
        QVERIFY(!ui.act_Remove->isEnabled());
        QCOMPARE(ui.sts_0->text(), QStringLiteral("Files: 1 (Size: 2 MB, Duration: 00:00:02)"));

        window.New1Click();
        QCOMPARE(files.Count(), 0);
        QVERIFY(ui.pnl_Note->isVisible());
    }

    void sourceStretchesAndDraggedRowsSetTheRunOrder()
    {
        Tfrm_Main window;
        const TMainControls ui(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto& files = window.Files();
        for (const char* name : {"a.avi", "b.avi", "c.avi"})
            files.Append(MakeRow(QString::fromLatin1(name), 1'000'000, 1048576));
        QHeaderView* header = ui.lw_Files->header();
        // Source is the last column and reaches the list's right edge.
        QCOMPARE(header->logicalIndex(header->count() - 1), static_cast<int>(reelsmith::FileColumn::Source));
        QCOMPARE(header->sectionViewportPosition(3) + header->sectionSize(3), ui.lw_Files->viewport()->width());
        QVERIFY(ui.lw_Files->dragEnabled());

        // A drop as the view makes it: c.avi dragged above a.avi.
        QAbstractItemModel* shown = ui.lw_Files->model();
        std::unique_ptr<QMimeData> drag(shown->mimeData({shown->index(2, 0)}));
        QVERIFY(shown->canDropMimeData(drag.get(), Qt::CopyAction, 0, 0, {}));
        QVERIFY(shown->dropMimeData(drag.get(), Qt::CopyAction, 0, 0, {}));
        QCOMPARE(files.Row(0).Caption, QStringLiteral("c.avi"));
        QCOMPARE(shown->index(0, 0).data().toString(), QStringLiteral("c.avi"));  // what the run takes first
        QVERIFY(!header->isSortIndicatorShown());
        SaveShot(window, QStringLiteral("main-user-order.png"));
        window.HeaderClick(0);
        QVERIFY(header->isSortIndicatorShown());
        QVERIFY(window.SortArrowUp());
        QCOMPARE(files.Row(0).Caption, QStringLiteral("a.avi"));
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
        const TMainControls ui(window);
        window.Files().Append(MakeRow(QStringLiteral("x.avi"), 0, 10));
        window.SelectRow(0, true);
        window.btn_PlayClick();
        QCOMPARE(previews, 1);
        window.SelectRow(0, false);
        ui.btn_Play->setEnabled(true);
        ui.act_Preview->setEnabled(true);
        window.btn_PlayClick();
        QCOMPARE(previews, 1);
        QVERIFY(!ui.btn_Play->isEnabled());
        QVERIFY(ui.act_Preview->isEnabled());  // menus follow the selection events only
    }

    void noteClickAndAddFilesReachTheirWindows()
    {
        QStringList consumed;
        int dialogs = 0;
        TMainWindowHooks hooks;
        hooks.AddFilesDialog = [&](Tfrm_Main&) { ++dialogs; };
        hooks.AddingWindow = [&](Tfrm_Main& w) {
            consumed = w.PendingPaths();
            w.PendingPaths().clear();
            w.Files().Append(MakeRow(QStringLiteral("z.avi"), 5'000'000, 1048576));
        };
        Tfrm_Main window({}, hooks);
        const TMainControls ui(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(ui.lbl_Note, Qt::LeftButton);
        QCOMPARE(dialogs, 1);
        window.PendingPaths() = QStringList({QStringLiteral("/videos/z.avi")});
        window.AddFiles();
        QCOMPARE(consumed, QStringList({QStringLiteral("/videos/z.avi")}));
        QVERIFY(!ui.pnl_Note->isVisible());
        QCOMPARE(ui.sts_0->text(), QStringLiteral("Files: 1 (Size: 1 MB, Duration: 00:00:05)"));
    }

    void totalsFollowTheRowsWhileTheyArrive()
    {
        QStringList seen;
        TMainWindowHooks hooks;
        hooks.AddingWindow = [&](Tfrm_Main& w) {
            for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
                w.Files().Append(MakeRow(QString::fromLatin1(name), 2'000'000, 39936));
                seen << reelsmith::test::Named<QLabel>(w, "sts_0")->text();
            }
        };
        Tfrm_Main window({}, hooks);
        window.AddFiles();
        // The locale's separators do not show in numbers this small.
        QCOMPARE(seen, QStringList({"Files: 1 (Size: 39 KB, Duration: 00:00:02)",
                                    "Files: 2 (Size: 78 KB, Duration: 00:00:04)",
                                    "Files: 3 (Size: 117 KB, Duration: 00:00:06)"}));
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
        const TMainControls ui(window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.hide();
        window.show();  // a second showing starts nothing more
        QTest::qWait(300);
        QCOMPARE(params_, paramTicks);
        QCOMPARE(updates, updateTicks);
        QVERIFY(ui.lw_Files->header()->isSortIndicatorShown());
        QCOMPARE(ui.lw_Files->header()->sortIndicatorSection(), 0);
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
        WriteFile(IniPath(),
                  "; mine\n[Reelsmith]\nTab=4\nLocOption=3\nLocation=/srv/out\nWidth=700\nHeight=500\n"
                  "Column2=123\nMystery=1\n[Other]\nk=v\n");
        {
            Tfrm_Main window;
            const TMainControls ui(window);
            QCOMPARE(ui.tab_Settings->currentIndex(), 4);
            QVERIFY(ui.chk_Path->isChecked());
            QVERIFY(ui.txt_Path->isEnabled());
            QCOMPARE(ui.txt_Path->text(), QStringLiteral("/srv/out"));
            QCOMPARE(window.size(), QSize(700, 500));
            QCOMPARE(ui.lw_Files->header()->sectionSize(1), 123);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            ui.tab_Settings->setCurrentIndex(2);
            ui.chk_Original->setChecked(true);
            ui.act_Dark->setChecked(true);
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
        WriteFile(IniPath(),
                  "[Reelsmith]\nCustom=1000x500\n[Settings]\nProfileType=4\nProfileFormat=2\n"
                  "CPUusage=0\nThreads=7\nVideoFormat2=8\nVideoEncoder2=0\nVideoAspect2=2\n"
                  "VideoFrameSize2=29\nVideoFrameRate2=3\nVideoBitRate2=9\nAudioFormat2=3\n"
                  "AudioEncoder2=0\nAudioChannel2=2\nAudioSampleRate2=4\nAudioBitRate2=13\n");
        {
            Tfrm_Main window;
            const TMainControls ui(window);
            QCOMPARE(ui.cb_Type->currentText(), QStringLiteral("iPad"));
            QCOMPARE(ui.cb_Format->count(), 3);
            QCOMPARE(ui.cb_Format->currentText(), QStringLiteral("iPad 4/Pro/Air 720p (*.mp4)"));
            QCOMPARE(ui.cb_CPUUsage->currentText(), QStringLiteral("Idle"));
            QCOMPARE(ui.cb_Threads->currentText(), QStringLiteral("8"));
            QCOMPARE(ui.cb_VideoFormat->currentText(), QStringLiteral("WebM"));
            QCOMPARE(ui.cb_VideoEncoder->currentText(), QStringLiteral("VP8"));
            QCOMPARE(ui.cb_AudioEncoder->currentText(), QStringLiteral("OGG"));
            QCOMPARE(ui.cb_VideoAspect->currentText(), QStringLiteral("16:9"));
            QCOMPARE(ui.cb_VideoFrameSize->currentText(), QStringLiteral("1000x500"));
            QCOMPARE(ui.cb_VideoFrameRate->currentText(), QStringLiteral("25"));
            QCOMPARE(ui.cb_VideoBitrate->currentText(), QStringLiteral("1500"));
            QCOMPARE(ui.cb_AudioFormat->currentText(), QStringLiteral("FLAC"));
            QCOMPARE(ui.cb_AudioChannel->currentText(), QStringLiteral("Stereo"));
            QCOMPARE(ui.cb_AudioSampleRate->currentText(), QStringLiteral("44100"));
            QCOMPARE(ui.cb_AudioBitrate->currentText(), QStringLiteral("384"));
            ui.cb_VideoBitrate->setCurrentIndex(4);
            window.close();
        }
        const QByteArray text = ReadFile(IniPath());
        for (const char* line :
             {"ProfileType=4\n", "ProfileFormat=2\n", "CPUusage=0\n", "Threads=7\n", "VideoFormat2=8\n",
              "VideoFrameSize2=29\n", "VideoBitRate2=4\n", "AudioBitRate2=13\n", "Custom=1000x500\n"})
            QVERIFY2(text.contains(line), line);
    }

    void positionsBeyondTheListsLeaveNoSelection()
    {
        WriteFile(IniPath(), "[Settings]\nVideoFormat2=8\nVideoEncoder2=3\nAudioBitRate2=14\nProfileType=9\n");
        Tfrm_Main window;
        const TMainControls ui(window);
        QCOMPARE(ui.cb_VideoFormat->currentText(), QStringLiteral("WebM"));
        QCOMPARE(ui.cb_VideoEncoder->currentIndex(), -1);
        QCOMPARE(ui.cb_AudioEncoder->currentText(), QStringLiteral("OGG"));
        QCOMPARE(ui.cb_AudioBitrate->currentIndex(), -1);
        QCOMPARE(ui.cb_Type->currentIndex(), -1);
        QCOMPARE(ui.cb_Format->count(), 0);
        window.close();
        QVERIFY(ReadFile(IniPath()).contains("VideoEncoder2=-1\n"));
    }

    void applyProfileAndFormatChange()
    {
        Tfrm_Main window;
        const TMainControls ui(window);
        ui.cb_Type->setCurrentIndex(1);  // HD Video
        window.cb_TypeSelect();
        ui.cb_Format->setCurrentIndex(1);  // HD XviD (*.avi)
        ui.chk_OriginalSettings->setChecked(false);
        window.btn_ApplyClick();
        QCOMPARE(ui.cb_VideoFormat->currentText(), QStringLiteral("AVI"));
        QCOMPARE(ui.cb_VideoEncoder->currentIndex(), 3);
        QCOMPARE(ui.cb_VideoFrameSize->currentText(), QStringLiteral("1920x1080"));
        QCOMPARE(ui.cb_VideoBitrate->currentText(), QStringLiteral("9000"));
        QCOMPARE(window.Choices().VideoEncoderText(), std::string("xVid"));

        ui.cb_VideoFormat->setCurrentIndex(4);  // MP4, as the user picks it
        window.cb_VideoFormatChange();
        QCOMPARE(ui.cb_VideoEncoder->count(), 3);
        QCOMPARE(ui.cb_AudioEncoder->currentText(), QStringLiteral("AAC"));
    }

    void dialogsChangeTheWindowThroughItsChoices()
    {
        TMainWindowHooks hooks;
        reelsmith::InstallSettingsDialogHooks(hooks);
        Tfrm_Main window({}, hooks);
        const TMainControls ui(window);
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
        ui.act_Effects->trigger();
        const reelsmith::TEffects effects = window.Choices().Effects;
        QVERIFY(effects.ef_Rotate);
        QCOMPARE(effects.ef_Degrees, 1);
        QVERIFY(effects.ef_Negate);
        // The effects that apply to every later run stay in sight, and one click clears them.
        auto* shown = reelsmith::test::Named<QLabel>(window, "lbl_Effects");
        auto* clear = reelsmith::test::Named<QToolButton>(window, "btn_ClearEffects");
        QVERIFY(shown->isVisible());
        QCOMPARE(shown->text(), QStringLiteral("Effects: Negate, Rotate 180 degrees"));
        SaveShot(window, QStringLiteral("main-effects.png"));
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(!shown->isVisible());
        QVERIFY(window.Choices().Effects == reelsmith::WithoutEffects(effects));
        QCOMPARE(window.Choices().Effects.ef_Degrees, 1);

        reelsmith::TOutputChoices choices = window.Choices();
        reelsmith::SelectCustomFrameSize(choices, "1000x500");
        window.SetChoices(choices);
        const int last = ui.cb_VideoFrameSize->count() - 1;
        QCOMPARE(ui.cb_VideoFrameSize->currentIndex(), last);
        QCOMPARE(ui.cb_VideoFrameSize->currentText(), QStringLiteral("1000x500"));
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
        garbage.append(
            "\n[Reelsmith]\nWidth=99999999999999\nHeight=-5\nTab=77\nColumn1=2147483647\n"
            "Maximized=\xff\n[Settings]\nCPUusage=12\nVideoFormat2=-3\n");
        WriteFile(IniPath(), garbage);
        Tfrm_Main window;
        const TMainControls ui(window);
        QCOMPARE(ui.tab_Settings->currentIndex(), 0);
        QVERIFY(!window.isMaximized());
        QCOMPARE(window.height(), window.minimumHeight());
        QVERIFY(ui.lw_Files->header()->sectionSize(0) <= 4096);
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
        const TMainControls ui(window);
        QVERIFY(!ui.act_Update->isChecked());
        reelsmith::TOutputChoices choices = window.Choices();
        choices.Effects.ef_Rotate = true;
        choices.Effects.ef_Degrees = 1;
        choices.Effects.ef_VFlip = choices.Effects.ef_HFlip = choices.Effects.ef_Negate = choices.Effects.ef_Dein =
            true;
        window.SetChoices(choices);
        window.resize(900, 650);
        window.RestoreDefaultSettings();
        QVERIFY(!QFile::exists(IniPath()));
        QVERIFY(ui.act_Update->isChecked());
        QCOMPARE(ui.tab_Settings->currentIndex(), 0);
        QCOMPARE(ui.cb_Type->currentText(), QStringLiteral("General"));
        QCOMPARE(ui.cb_Format->currentText(), QStringLiteral("AVI (*.avi)"));
        const reelsmith::TEffects kept = window.Choices().Effects;
        QVERIFY(kept.ef_Rotate);
        QCOMPARE(kept.ef_Degrees, 1);
        QVERIFY(!kept.ef_VFlip && !kept.ef_HFlip && !kept.ef_Negate && !kept.ef_Dein);
        QCOMPARE(reelsmith::test::Named<QLabel>(window, "lbl_Effects")->text(),
                 QStringLiteral("Effects: Rotate 180 degrees"));
        // The design size, cut to the screen (800x800 here) with room for the frame.
        const QSize roomy = window.screen()->availableGeometry().size().shrunkBy(reelsmith::kAssumedWindowFrame);
        QCOMPARE(window.size(), QSize(window.DefaultWidth(), window.DefaultHeight()).boundedTo(roomy));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
