// The run windows over real conversions, and the main window's run commands, offscreen.
#include "support/screenshot.h"
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QStatusBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTime>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <map>

#include "app/ui/dark_theme.h"
#include "app/settings_store.h"
#include "app/ui/main_window.h"
#include "program/program_hooks.h"
#include "runs/ui/run_window.h"
#include "base/ui/taskbar_progress.h"
#include "settings/ui/command_dialog.h"
#include "support/main_window_controls.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

QString Clip()
{
    return QString::fromStdString(
        test::MakeMedia("window_clip.mp4",
                        "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                        "-f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac -shortest"));
}

QString LongClip()
{
    return QString::fromStdString(
        test::MakeMedia("window_long.mkv",
                        "-f lavfi -i testsrc=size=320x240:rate=25:duration=40 "
                        "-f lavfi -i sine=frequency=440:duration=40 -c:v mpeg4 -q:v 5 -c:a aac -shortest"));
}

QString CopyInto(const QString& source, const QString& folder, const QString& name)
{
    QDir().mkpath(folder);
    const QString target = folder + QLatin1Char('/') + name;
    QFile::remove(target);
    QFile::copy(source, target);
    return target;
}

TRunSetup Setup(const QStringList& sources, const QString& outputFolder)
{
    TRunSetup setup;
    for (const QString& source : sources)
        setup.Rows.push_back({QFileInfo(source).fileName(), source});
    setup.OutputPath = outputFolder + QLatin1Char('/');
    setup.VideoFormatText = QStringLiteral("MKV");
    setup.AudioFormatIndex = 1;
    setup.Options = QStringLiteral("-c:v mpeg4 -c:a aac -sn ");
    return setup;
}

// Serves events until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int ms = 120000) { return QTest::qWaitFor(condition, ms); }

QColor LineColour(QTextEdit* log, const QString& text)
{
    for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next())
        if (block.text() == text && block.begin() != block.end())
            return block.begin().fragment().charFormat().foreground().color();
    return {};
}

struct TNullSink : TTaskbarSink {
    void SetProgressState(TTaskBarProgressStyle) override {}
    void SetProgressValue(int, int) override {}
};

// Calls `act` with the next modal window of type T once `ready` holds for it.
template <typename T>
void WhenModal(const std::function<bool(T&)>& ready, const std::function<void(T&)>& act)
{
    QTimer::singleShot(50, [=] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window || !ready(*window)) {
            WhenModal(ready, act);
            return;
        }
        act(*window);
    });
}

// Lists copies of the clips under the given names, in that order.
void ListFiles(Tfrm_Main& main, const QString& folder, const std::vector<std::pair<const char*, QString>>& files)
{
    for (const auto& [name, clip] : files) {
        TFileListRow row;
        row.Caption = QString::fromLatin1(name);
        row.cell(FileCell::SourcePath) = CopyInto(clip, folder, row.Caption);
        main.Files().Append(row);
    }
}

// The " Output " tab's "Use following path" with an existing folder.
void ConvertInto(const test::TMainControls& ui, const QString& folder)
{
    QDir().mkpath(folder);
    ui.chk_Path->setChecked(true);
    ui.txt_Path->setText(folder);
}

// Both windows as they stand beside each other, in one picture.
void SaveSideBySide(QWidget& left, QWidget& right, const QString& name)
{
    const QByteArray folder = qgetenv("REELSMITH_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    const QPixmap a = left.grab();
    const QPixmap b = right.grab();
    QImage picture(a.width() + 16 + b.width(), std::max(a.height(), b.height()), QImage::Format_RGB32);
    picture.fill(QColor(90, 90, 90));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, a);
    painter.drawPixmap(a.width() + 16, 0, b);
    painter.end();
    picture.save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + name);
}

// The run window a main-window command opened (it does not block the command): waits for its
// end, reads it with `read`, closes it and waits until it is gone.
QString FinishRun(const QWidget& main, const std::function<QString(TRunWindow&)>& read)
{
    const QPointer<TRunWindow> window = main.findChild<TRunWindow*>();
    if (!window || !WaitFor([&] { return window->Run().Over(); }))
        return QStringLiteral("no run window, or its run did not end");
    const QString result = read(*window);
    window->btn_Close->click();
    WaitFor([&] { return !window; });
    return result;
}

// Calls `act` once `ready` holds, from a timer: the overwrite question waits in a loop of its
// own, where a timer still fires but a waiting test's condition is not looked at.
void WhenReady(const std::function<bool()>& ready, const std::function<void()>& act)
{
    QTimer::singleShot(50, [=] {
        if (!ready()) {
            WhenReady(ready, act);
            return;
        }
        act();
    });
}

// Answers the next message box with the given button and records its caption and text.
void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* caption, QString* text)
{
    QTimer::singleShot(50, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            AnswerNextMessageBox(button, caption, text);
            return;
        }
        *caption = box->windowTitle();
        *text = box->text();
        box->button(button)->click();
    });
}

}  // namespace

class TestRunWindows : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_Folder;
    QString Path(const QString& name) const { return m_Folder.path() + QLatin1Char('/') + name; }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_Folder.path().toLocal8Bit()); }

    void startsWithTheCaptionsOfTheWindow_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video") << false;
        QTest::newRow("audio") << true;
    }
    void startsWithTheCaptionsOfTheWindow()
    {
        QFETCH(bool, audio);
        std::unique_ptr<TRunWindow> window;
        if (audio)
            window = std::make_unique<Tfrm_Audio>(nullptr, TRunSetup{});
        else
            window = std::make_unique<Tfrm_Video>(nullptr, TRunSetup{});
        QCOMPARE(window->windowTitle(), QStringLiteral("Saving..."));
        QCOMPARE(window->lbl_File->text(),
                 audio ? QStringLiteral("Saving audio...") : QStringLiteral("Saving video..."));
        QCOMPARE(window->lbl_Elapsed->text(), QStringLiteral("Time elapsed:"));
        QCOMPARE(window->lbl_Remaining->text(), QStringLiteral("Time remaining:"));
        QCOMPARE(window->lbl_TotalRemaining->text(), QStringLiteral("Total remaining:"));
        QCOMPARE(window->prg_Batch->maximum(), 100);
        QVERIFY(window->btn_OpenFolder->isHidden());
        QVERIFY(window->pnl_Overwrite->isHidden());
        QCOMPARE(window->btn_Pause->text(), QStringLiteral("Pause"));
        QCOMPARE(window->btn_Stop->text(), QStringLiteral("Stop"));
        QCOMPARE(window->btn_Close->text(), QStringLiteral("Close"));
        QVERIFY(!window->btn_Pause->isEnabled());
        QVERIFY(!window->btn_Stop->isEnabled());
        QVERIFY(window->btn_Close->isEnabled());
        QCOMPARE(window->prg_Process->maximum(), 100);
        QVERIFY(window->log_Main->isReadOnly());
    }

    void convertsWithAColouredLogAndClosesOnlyAtTheEnd_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void convertsWithAColouredLogAndClosesOnlyAtTheEnd()
    {
        QFETCH(bool, dark);
        const QString source = CopyInto(Clip(), Path(QStringLiteral("in")), QStringLiteral("a.mp4"));
        const QString out = Path(dark ? QStringLiteral("out-dark") : QStringLiteral("out-light"));
        TRunWindowOptions options;
        options.Look.Dark = dark;
        options.Look.DarkNeutral = {200, 201, 202};
        Tfrm_Video window(nullptr, Setup({source}, out), options);
        window.show();
        QVERIFY(WaitFor([&] { return window.btn_Stop->isEnabled(); }));
        // The title bar's close asks first; "No" lets the run go on.
        QString caption;
        QString text;
        AnswerNextMessageBox(QMessageBox::No, &caption, &text);
        QVERIFY(!window.close());
        QCOMPARE(text, QStringLiteral("Stop the run?"));
        QVERIFY(window.isVisible());
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        QVERIFY(!window.Run().Cancelled());

        QCOMPARE(window.lbl_File->text(), QStringLiteral("Done."));
        QCOMPARE(window.lbl_Percent->text(), QStringLiteral("100%"));
        QCOMPARE(window.lbl_BatchPercent->text(), QStringLiteral("100%"));
        QCOMPARE(window.lbl_RemainingValue->text(), QStringLiteral("00:00:00"));
        QCOMPARE(window.lbl_TotalRemainingValue->text(), QStringLiteral("00:00:00"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Finished"));
        QVERIFY(window.btn_Close->isEnabled());
        QVERIFY(window.btn_OpenFolder->isVisible());
        QVERIFY(QFileInfo::exists(out + QStringLiteral("/a.mkv")));
        const QStringList lines = window.log_Main->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines, window.Run().Log().PlainLines());
        QCOMPARE(LineColour(window.log_Main, QStringLiteral("Loading file... OK")),
                 dark ? QColor(55, 221, 130) : QColor(0, 128, 0));
        QCOMPARE(LineColour(window.log_Main, QStringLiteral("Done.")), dark ? QColor(98, 162, 228) : QColor(0, 0, 255));
        QCOMPARE(LineColour(window.log_Main, source), dark ? QColor(200, 201, 202) : QColor(0, 0, 0));
        QCOMPARE(LineColour(window.log_Main, QStringLiteral("Parameters -c:v mpeg4 -c:a aac -sn ")),
                 QColor(128, 128, 128));
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
    }

    void overwriteQuestionNamesTheFile()
    {
        const QString source = CopyInto(Clip(), Path(QStringLiteral("ask")), QStringLiteral("a.mp4"));
        const QString out = Path(QStringLiteral("ask-out"));
        QDir().mkpath(out);
        QFile existing(out + QStringLiteral("/a.mkv"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("old");
        existing.close();

        Tfrm_Video window(nullptr, Setup({source}, out));
        QString question;
        bool stopUsable = false;
        int buttons = 0;
        WhenReady([&] { return window.pnl_Overwrite->isVisible(); },
                  [&] {
                      question = window.lbl_Overwrite->text();
                      stopUsable = window.btn_Stop->isEnabled();
                      for (const char* name : {"btn_OverwriteYes", "btn_OverwriteYesToAll", "btn_OverwriteNo",
                                               "btn_OverwriteNoToAll", "btn_OverwriteKeepBoth"})
                          buttons += window.findChild<QPushButton*>(QString::fromLatin1(name)) != nullptr;
                      QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btn_OverwriteNo")),
                                        Qt::LeftButton);
                  });
        window.show();
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        QCOMPARE(question, QStringLiteral("File \"a.mkv\" already exists!\nOverwrite existing file?"));
        QVERIFY(stopUsable);
        QCOMPARE(buttons, 5);
        QVERIFY(window.pnl_Overwrite->isHidden());
        QVERIFY(window.Run().Log().PlainLines().contains(QStringLiteral("Skipped!")));
        QCOMPARE(LineColour(window.log_Main, QStringLiteral("Skipped!")), QColor(255, 0, 0));
        // Skipped is no error, but not everything was converted: "Done." is not blue.
        QCOMPARE(LineColour(window.log_Main, QStringLiteral("Done.")), QColor(0, 0, 0));
        QCOMPARE(window.windowTitle(), QStringLiteral("Finished"));
    }

    // Stop while the overwrite question shows: the question goes, the run stops.
    void stopAnswersTheOverwriteQuestion()
    {
        const QString source = CopyInto(Clip(), Path(QStringLiteral("ask-stop")), QStringLiteral("a.mp4"));
        const QString out = Path(QStringLiteral("ask-stop-out"));
        QDir().mkpath(out);
        QFile existing(out + QStringLiteral("/a.mkv"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("old");
        existing.close();
        Tfrm_Video window(nullptr, Setup({source, source}, out));
        WhenReady([&] { return window.pnl_Overwrite->isVisible(); },
                  [&] { QTest::mouseClick(window.btn_Stop, Qt::LeftButton); });
        window.show();
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        QVERIFY(window.pnl_Overwrite->isHidden());
        QCOMPARE(window.windowTitle(), QStringLiteral("Stopped"));
        QCOMPARE(window.Run().Log().PlainLines().last(), QStringLiteral("Stopped."));
        QVERIFY(window.Run().Log().PlainLines().contains(QStringLiteral("Converted: 0, failed: 0, skipped: 2")));
    }

    // The title bar's close during a run, answered "Yes": the run stops and the window closes.
    void closeDuringARunStopsItWhenConfirmed()
    {
        const QString source = CopyInto(LongClip(), Path(QStringLiteral("long")), QStringLiteral("long.mkv"));
        Tfrm_Video window(nullptr, Setup({source}, Path(QStringLiteral("close-out"))));
        window.show();
        QVERIFY(WaitFor([&] { return window.btn_Stop->isEnabled() && window.Run().Encoder().Working(); }));
        QString caption;
        QString text;
        AnswerNextMessageBox(QMessageBox::Yes, &caption, &text);
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(WaitFor([&] { return !window.isVisible(); }));
        QCOMPARE(text, QStringLiteral("Stop the run?"));
        QVERIFY(window.Run().Cancelled());
        QCOMPARE(window.Run().Log().PlainLines().last(), QStringLiteral("Stopped."));
        QVERIFY(QDir(Path(QStringLiteral("close-out"))).isEmpty());
    }

    void stopEndsTheRunAndHidesTheButtons_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video") << false;
        QTest::newRow("audio") << true;
    }
    void stopEndsTheRunAndHidesTheButtons()
    {
        QFETCH(bool, audio);
        const QString source = CopyInto(LongClip(), Path(QStringLiteral("long")), QStringLiteral("long.mkv"));
        const QString out = Path(audio ? QStringLiteral("stop-audio") : QStringLiteral("stop-video"));
        std::unique_ptr<TRunWindow> window;
        if (audio)
            window = std::make_unique<Tfrm_Audio>(nullptr, Setup({source}, out));
        else
            window = std::make_unique<Tfrm_Video>(nullptr, Setup({source}, out));
        window->show();
        QVERIFY(WaitFor([&] { return window->btn_Stop->isEnabled() && window->Run().Encoder().Working(); }));
        QTest::mouseClick(window->btn_Stop, Qt::LeftButton);
        QVERIFY(WaitFor([&] { return window->Run().Over(); }));
        const QStringList lines = window->Run().Log().PlainLines();
        QVERIFY(lines.contains(QStringLiteral("Cancelled by user!")));
        QCOMPARE(lines.last(), QStringLiteral("Stopped."));
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("Converted: 0, failed: 0, skipped: 1"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Stopped"));
        QCOMPARE(window->lbl_File->text(), QStringLiteral("Stopped."));
        // The bars stay where the run was.
        QVERIFY(window->prg_Process->value() < 100);
        QVERIFY(window->prg_Batch->value() < 100);
        // The video window hides Stop and Pause; the audio window only disables them.
        QCOMPARE(window->btn_Stop->isVisible(), audio);
        QVERIFY(!window->btn_Stop->isEnabled());
        QVERIFY(!window->btn_Pause->isEnabled());
        QVERIFY(window->btn_Close->isEnabled());
    }

    void convertCommandChecksTheDestination()
    {
        TMainWindowHooks hooks;
        InstallRunHooks(hooks);
        Tfrm_Main main({}, std::move(hooks));
        const test::TMainControls ui(main);
        TFileListRow row;
        row.Caption = QStringLiteral("a.mp4");
        row.cell(FileCell::SourcePath) = CopyInto(Clip(), Path(QStringLiteral("main")), QStringLiteral("a.mp4"));
        main.Files().Append(row);
        main.show();
        ui.chk_Path->setChecked(true);
        ui.txt_Path->clear();
        ui.tab_Settings->setCurrentIndex(0);
        QString caption;
        QString text;
        AnswerNextMessageBox(QMessageBox::Ok, &caption, &text);
        ui.act_Convert->trigger();
        QCOMPARE(caption, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("Output path is not specified."));
        QCOMPARE(ui.tab_Settings->tabText(ui.tab_Settings->currentIndex()), QStringLiteral(" Output "));
    }

    // Each row's outcome reaches the main list's status column, its reason as the tooltip.
    void runFillsTheStatusColumn()
    {
        TMainWindowHooks hooks;
        InstallRunHooks(hooks);
        Tfrm_Main main({}, std::move(hooks));
        const test::TMainControls ui(main);
        const QString folder = Path(QStringLiteral("status"));
        for (const char* name : {"a.mp4", "gone.mp4"}) {
            TFileListRow row;
            row.Caption = QString::fromLatin1(name);
            row.cell(FileCell::SourcePath) = CopyInto(Clip(), folder, row.Caption);
            main.Files().Append(row);
        }
        main.Files().SetStatus(main.Files().Row(0).cell(FileCell::SourcePath), QStringLiteral("failed"),
                               QStringLiteral("an earlier run"));
        QFile::remove(folder + QStringLiteral("/gone.mp4"));
        main.show();
        ui.chk_Path->setChecked(true);
        ui.txt_Path->setText(Path(QStringLiteral("status-out")));
        // The folder does not exist yet: offered to be created.
        QString caption;
        QString text;
        AnswerNextMessageBox(QMessageBox::Yes, &caption, &text);
        ui.act_Convert->trigger();
        QCOMPARE(caption, QStringLiteral("Create folder"));
        QVERIFY(text.contains(QStringLiteral("does not exist")));
        const QString title = FinishRun(main, [](TRunWindow& window) { return window.windowTitle(); });
        QCOMPARE(title, QStringLiteral("Finished with errors"));
        const QAbstractItemModel& model = *ui.lw_Files->model();
        const int status = static_cast<int>(FileColumn::Status);
        QCOMPARE(model.headerData(status, Qt::Horizontal).toString(), QStringLiteral("Status"));
        QCOMPARE(model.index(0, status).data().toString(), QStringLiteral("converted"));
        QCOMPARE(model.index(1, status).data().toString(), QStringLiteral("failed"));
        QCOMPARE(model.index(1, status).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("the source is gone (deleted or moved during the run)"));
        SaveScreenshot(main, QStringLiteral("main_window_status.png"));
    }

    // While a run goes on the main window can be looked at: the list sorts, Preview and
    // Properties open; what would change the run is disabled and is as before once it is over.
    // The status column follows the files, not their places, after a sort in the middle.
    void mainWindowStaysUsableForLookingDuringARun()
    {
        TMainWindowHooks hooks;
        InstallRunHooks(hooks);
        InstallMediaHooks(hooks);
        Tfrm_Main main({}, std::move(hooks));
        const test::TMainControls ui(main);
        // In the run's order: one that fails at once, the long one, a short one.
        ListFiles(main, Path(QStringLiteral("looking")),
                  {{"c gone.mp4", Clip()}, {"b long.mkv", LongClip()}, {"a short.mp4", Clip()}});
        QFile::remove(Path(QStringLiteral("looking/c gone.mp4")));
        main.show();
        ConvertInto(ui, Path(QStringLiteral("looking-out")));
        main.SelectRow(1, true);

        struct TControl {
            const char* Name;
            QAction* Action;
            QWidget* Widget;
            bool UsableDuringRun;
        };
        const std::vector<TControl> controls = {
            {"Convert", ui.act_Convert, ui.btn_Convert, false},
            {"FFMpeg command", ui.act_Command, ui.btn_Command, false},
            {"Extract audio", ui.act_Extract, ui.btn_Extract, false},
            {"Burn", ui.act_Burn, ui.btn_Burn, false},
            {"Add files", ui.act_AddFiles, ui.btn_Add, false},
            {"Paste", ui.act_Paste, ui.btn_Paste, false},
            {"Remove", ui.act_Remove, ui.btn_Remove, false},
            {"New", ui.act_New, nullptr, false},
            {"Open list", ui.act_Open, nullptr, false},
            {"Defaults", ui.act_Defaults, nullptr, false},
            {"Effects", ui.act_Effects, nullptr, false},
            {"Dark theme", ui.act_Dark, nullptr, false},
            {"profile", nullptr, ui.cb_Type, false},
            {"video format", nullptr, ui.cb_VideoFormat, false},
            {"output folder", nullptr, ui.txt_Path, false},
            {"Preview", ui.act_Preview, ui.btn_Play, true},
            {"Properties", ui.act_Properties, ui.btn_Properties, true},
            {"Play", ui.act_Play, nullptr, true},
            {"Save list", ui.act_Save, nullptr, true},
            {"Select all", ui.act_SelectAll, nullptr, true},
            {"Help", ui.act_Help, nullptr, true},
            {"About", ui.act_About, nullptr, true},
            {"Exit", ui.act_Exit, nullptr, true},
            {"list", nullptr, ui.lw_Files, true},
            {"settings tabs", nullptr, ui.tab_Settings, true},
        };
        const auto enabled = [](const TControl& c) {
            return (!c.Action || c.Action->isEnabled()) && (!c.Widget || c.Widget->isEnabled());
        };
        std::vector<bool> before;
        for (const TControl& c : controls)
            before.push_back(enabled(c));

        ui.act_Convert->trigger();
        const QPointer<TRunWindow> run = main.findChild<TRunWindow*>();
        QVERIFY(run);
        QVERIFY(!run->isModal());
        QVERIFY(WaitFor([&] { return run->Run().NextFileIndex() == 1 && run->Run().Encoder().Working(); }));
        for (const TControl& c : controls)
            QVERIFY2(enabled(c) == c.UsableDuringRun, c.Name);
        // A refused drop or Add says why in the status bar.
        main.btn_AddClick();
        QVERIFY(main.statusBar()->currentMessage().contains(QStringLiteral("A run is going on")));
        QCOMPARE(main.Files().Count(), 3);

        // Sorted by name while "b long" converts: "a short" is converted after it, in another place.
        main.HeaderClick(0);
        if (!main.SortArrowUp())
            main.HeaderClick(0);
        QCOMPARE(main.Files().Row(0).Caption, QStringLiteral("a short.mp4"));
        const std::pair<QAction*, const char*> looks[] = {{ui.act_Properties, "reelsmith::Tfrm_Properties"},
                                                          {ui.act_Preview, "reelsmith::Tfrm_Preview"}};
        for (const auto& [look, windowClass] : looks) {
            QString opened;
            WhenModal<QDialog>([](QDialog&) { return true; },
                               [&opened](QDialog& window) {
                                   opened = QString::fromLatin1(window.metaObject()->className());
                                   window.close();
                               });
            look->trigger();
            QCOMPARE(opened, QString::fromLatin1(windowClass));
        }

        QVERIFY(WaitFor([&] { return run->Run().Over(); }));
        for (size_t i = 0; i < controls.size(); ++i)
            QVERIFY2(enabled(controls[i]) == before[i], controls[i].Name);
        const std::map<QString, QString> statuses = {{QStringLiteral("a short.mp4"), QStringLiteral("converted")},
                                                     {QStringLiteral("b long.mkv"), QStringLiteral("converted")},
                                                     {QStringLiteral("c gone.mp4"), QStringLiteral("failed")}};
        for (int i = 0; i < main.Files().Count(); ++i)
            QCOMPARE(main.Files().Row(i).Status, statuses.at(main.Files().Row(i).Caption));
        // The finished run's window stays until it is closed. The next run closes it first:
        // the engine's log handler is the old run's until that run is gone.
        QVERIFY(run && run->isVisible());
        ConvertInto(ui, Path(QStringLiteral("looking-again")));
        ui.act_Convert->trigger();
        QVERIFY(!run);
        const QPointer<TRunWindow> next = main.findChild<TRunWindow*>();
        QVERIFY(next);
        QVERIFY(main.RunGoing());
        // It goes with the main window once it is over.
        QVERIFY(WaitFor([&] { return next->Run().Over(); }));
        QVERIFY(next->isVisible());
        QVERIFY(main.close());
        QVERIFY(WaitFor([&] { return !next; }));
    }

    // The main window's close during a run asks as the run window does. No: both go on. Yes:
    // the run stops, no output is left under its name, and both windows close once it is
    // over; the settings are saved as on any close.
    void closingTheMainWindowDuringARunAsks_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void closingTheMainWindowDuringARunAsks()
    {
        QFETCH(bool, stop);
        TMainWindowHooks hooks;
        InstallRunHooks(hooks);
        Tfrm_Main main({}, std::move(hooks));
        const test::TMainControls ui(main);
        const QString out = Path(stop ? QStringLiteral("close-main-yes") : QStringLiteral("close-main-no"));
        ListFiles(main, Path(QStringLiteral("close-main")), {{"long.mkv", LongClip()}});
        main.show();
        ConvertInto(ui, out);
        ui.act_Convert->trigger();
        const QPointer<TRunWindow> run = main.findChild<TRunWindow*>();
        QVERIFY(run);
        QVERIFY(WaitFor([&] { return run->btn_Stop->isEnabled() && run->Run().Encoder().Working(); }));
        const QString settings = QString::fromStdString(SettingsFilePath());
        QFile::remove(settings);

        QString caption;
        QString text;
        AnswerNextMessageBox(stop ? QMessageBox::Yes : QMessageBox::No, &caption, &text);
        QVERIFY(!main.close());
        QCOMPARE(text, QStringLiteral("Stop the run?"));
        QCOMPARE(caption, QStringLiteral("Stop"));
        if (!stop) {
            QVERIFY(main.isVisible());
            QVERIFY(run->isVisible());
            QVERIFY(!run->Run().Cancelled());
            QVERIFY(!QFileInfo::exists(settings));
            QVERIFY(WaitFor([&] { return run->Run().Over(); }));
            QVERIFY(main.close());  // nothing to ask once the run is over
        } else {
            QVERIFY(run->Run().Cancelled());
            QVERIFY(WaitFor([&] { return !main.isVisible(); }));
        }
        QVERIFY(WaitFor([&] { return !run; }));
        QVERIFY(QFileInfo::exists(settings));
        // Stopped: neither the output nor its part in the making is left.
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), stop ? QStringList() : QStringList{"long.avi"});
    }

    void taskbarShowsTheFileAndIsHiddenAtClose()
    {
        QWidget owner;
        TWin7TaskProgressBar bar(&owner, std::make_unique<TNullSink>());
        const QString source = CopyInto(Clip(), Path(QStringLiteral("bar")), QStringLiteral("a.mp4"));
        TRunWindowOptions options;
        options.Taskbar = &bar;
        Tfrm_Video window(nullptr, Setup({source}, Path(QStringLiteral("bar-out"))), options);
        window.show();
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        QVERIFY(bar.Visible());
        QCOMPARE(bar.Style(), TTaskBarProgressStyle::tbpsNormal);
        QCOMPARE(bar.Max(), 100);
        QCOMPARE(bar.Progress(), 100);
        QVERIFY(window.close());
        QVERIFY(!bar.Visible());
        QCOMPARE(bar.Progress(), 0);
    }

    void commandFlowRunsTheTypedCommand_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("ok") << true;
        QTest::newRow("cancel") << false;
    }
    void commandFlowRunsTheTypedCommand()
    {
        QFETCH(bool, accept);
        TMainWindowHooks hooks;
        InstallRunHooks(hooks);
        Tfrm_Main main({}, std::move(hooks));
        const test::TMainControls ui(main);
        TFileListRow row;
        row.Caption = QStringLiteral("a.mp4");
        row.cell(FileCell::SourcePath) = CopyInto(Clip(), Path(QStringLiteral("cmd")), QStringLiteral("a.mp4"));
        main.Files().Append(row);
        main.show();
        const QString out = Path(accept ? QStringLiteral("cmd-ok") : QStringLiteral("cmd-cancel"));
        QDir().mkpath(out);
        ui.chk_Path->setChecked(true);
        ui.txt_Path->setText(out);
        const int mkv = ui.cb_VideoFormat->findText(QStringLiteral("MKV"));
        QVERIFY(mkv >= 0);

        const QString command = QStringLiteral("-c:v mpeg4 -c:a mp2");
        WhenModal<Tfrm_Command>([](Tfrm_Command&) { return true; },
                                [=](Tfrm_Command& dialog) {
                                    dialog.txt_Command->setText(command);
                                    dialog.cb_VideoFormat->setCurrentIndex(mkv);
                                    (accept ? dialog.btn_OK : dialog.btn_Cancel)->click();
                                });
        ui.act_Command->trigger();
        QCOMPARE(main.findChild<TRunWindow*>() != nullptr, accept);
        QString log;
        if (accept)
            log = FinishRun(main,
                            [](TRunWindow& window) { return window.Run().Log().PlainLines().join(QLatin1Char('\n')); });
        QCOMPARE(QFileInfo::exists(out + QStringLiteral("/a.mkv")), accept);
        if (accept) {
            QVERIFY(log.contains(QStringLiteral("Parameters ") + command));
            QVERIFY(log.endsWith(QStringLiteral("Done.")));
            QCOMPARE(main.Options(), command);
        } else {
            QVERIFY(main.Options().isEmpty());
        }
    }

    // Only with REELSMITH_SCREENSHOT_DIR: a run of 20 clips of mixed lengths, one of them
    // damaged and one whose output exists, in either theme: the question, the window during
    // the run, and its end. Prints "Total remaining" against the real remaining time.
    void screenshotsOfATwentyFileRun_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void screenshotsOfATwentyFileRun()
    {
        QFETCH(bool, dark);
        if (qEnvironmentVariableIsEmpty("REELSMITH_SCREENSHOT_DIR"))
            QSKIP("no screenshot folder");
        const int lengths[20] = {4, 9, 2, 15, 6, 3, 0, 12, 5, 8, 1, 20, 7, 3, 10, 4, 2, 14, 6, 5};
        const QString folder = Path(dark ? QStringLiteral("twenty-dark") : QStringLiteral("twenty-light"));
        QStringList sources;
        TRunSetup setup;
        for (int i = 0; i < 20; ++i) {
            const QString name = QStringLiteral("clip %1.mkv").arg(i + 1, 2, 10, QLatin1Char('0'));
            if (lengths[i] == 0) {  // a damaged file
                QDir().mkpath(folder);
                QFile bad(folder + QLatin1Char('/') + name);
                QVERIFY(bad.open(QIODevice::WriteOnly));
                bad.write("not a video");
                bad.close();
                setup.Rows.push_back({name, bad.fileName(), 0});
                continue;
            }
            const QString clip = QString::fromStdString(test::MakeMedia(
                QStringLiteral("twenty_%1.mkv").arg(lengths[i]).toStdString(),
                QStringLiteral("-f lavfi -i testsrc2=size=640x360:rate=25:duration=%1 "
                               "-f lavfi -i sine=frequency=440:duration=%1 -c:v mpeg4 -q:v 5 -c:a aac -shortest")
                    .arg(lengths[i])
                    .toStdString()));
            setup.Rows.push_back({name, CopyInto(clip, folder, name), int64_t(lengths[i]) * 1000000});
        }
        const QString out = folder + QStringLiteral("-out");
        QDir().mkpath(out);
        QFile existing(out + QStringLiteral("/clip 03.mkv"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("old");
        existing.close();
        setup.OutputPath = out + QLatin1Char('/');
        setup.VideoFormatText = QStringLiteral("MKV");
        setup.Options = QStringLiteral("-c:v libx264 -preset fast -c:a aac -sn ");
        TRunWindowOptions options;
        options.Look.Dark = dark;
        options.Look.DarkNeutral = {230, 230, 230};
        // The View menu's dark theme, as the program applies it.
        Tfrm_Main themed({}, TMainWindowHooks{});
        const QString qss = DarkThemePath().isEmpty() ? QCoreApplication::applicationDirPath() +
                                                            QStringLiteral("/../../../../resources/Dark.qss")
                                                      : DarkThemePath();
        if (dark)
            QVERIFY(Darktheme1Click(themed, true, qss));
        const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        Tfrm_Video window(nullptr, std::move(setup), options);
        window.resize(640, 560);
        WhenReady([&] { return window.pnl_Overwrite->isVisible(); },
                  [&] {
                      QTimer::singleShot(500, [&] {
                          SaveScreenshot(window, QStringLiteral("run_question_%1.png").arg(theme));
                          QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btn_OverwriteKeepBoth")),
                                            Qt::LeftButton);
                      });
                  });
        window.show();
        QElapsedTimer clock;
        clock.start();
        std::vector<std::pair<double, QString>> estimates;
        bool shot = false;
        while (!window.Run().Over()) {
            QTest::qWait(1000);
            estimates.emplace_back(clock.elapsed() / 1000.0, window.lbl_TotalRemainingValue->text());
            if (!shot && window.prg_Batch->value() >= 45) {
                SaveScreenshot(window, QStringLiteral("run_during_%1.png").arg(theme));
                shot = true;
            }
        }
        const double total = clock.elapsed() / 1000.0;
        QTest::qWait(300);
        SaveScreenshot(window, QStringLiteral("run_after_%1.png").arg(theme));
        for (const auto& [at, text] : estimates) {
            const QTime remaining = QTime::fromString(text, QStringLiteral("hh:mm:ss"));
            if (remaining.isValid())
                qInfo("estimate at %5.1f s of %5.1f s: %s, real %5.1f s, error %5.1f %%", at, total, qPrintable(text),
                      total - at, 100.0 * (remaining.msecsSinceStartOfDay() / 1000.0 - (total - at)) / (total - at));
        }
        if (dark)
            Darktheme1Click(themed, false, qss);
    }

    // Only with REELSMITH_SCREENSHOT_DIR: the main window, sorted during the run, beside the
    // running run window, in either theme; and both after the run.
    void screenshotsOfTheMainWindowBesideARun_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }
    void screenshotsOfTheMainWindowBesideARun()
    {
        QFETCH(bool, dark);
        if (qEnvironmentVariableIsEmpty("REELSMITH_SCREENSHOT_DIR"))
            QSKIP("no screenshot folder");
        TMainWindowHooks hooks;
        InstallRunHooks(hooks);
        Tfrm_Main main({}, std::move(hooks));
        const test::TMainControls ui(main);
        const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        const QString folder = Path(QStringLiteral("beside-") + theme);
        ListFiles(main, folder,
                  {{"holiday 3 (gone).mp4", Clip()},
                   {"holiday 1.mkv", LongClip()},
                   {"interview.mkv", LongClip()},
                   {"garden.mp4", Clip()}});
        QFile::remove(folder + QStringLiteral("/holiday 3 (gone).mp4"));
        const QString qss = DarkThemePath().isEmpty() ? QCoreApplication::applicationDirPath() +
                                                            QStringLiteral("/../../../../resources/Dark.qss")
                                                      : DarkThemePath();
        // As the View menu's entry does it.
        ui.act_Dark->setChecked(dark);
        if (dark)
            QVERIFY(Darktheme1Click(main, true, qss));
        main.resize(720, 520);
        main.move(0, 0);
        main.show();
        ConvertInto(ui, folder + QStringLiteral("-out"));
        ui.act_Convert->trigger();
        const QPointer<TRunWindow> run = main.findChild<TRunWindow*>();
        QVERIFY(run);
        run->resize(560, 480);
        run->move(main.frameGeometry().right() + 8, 0);
        QVERIFY(WaitFor([&] { return run->Run().NextFileIndex() == 1 && run->Run().LastCurrentDuration() > 0; }));
        main.HeaderClick(0);
        main.SelectRow(1, true);
        SaveSideBySide(main, *run, QStringLiteral("main_beside_run_%1.png").arg(theme));
        QVERIFY(WaitFor([&] { return run->Run().Over(); }));
        QTest::qWait(200);
        SaveSideBySide(main, *run, QStringLiteral("main_beside_run_after_%1.png").arg(theme));
        if (dark)
            Darktheme1Click(main, false, qss);
        QVERIFY(main.close());
        QVERIFY(WaitFor([&] { return !run; }));
    }

    // Only with REELSMITH_SCREENSHOT_DIR: a slow conversion shown long enough for the
    // remaining time, grabbed as a picture, then stopped.
    void screenshotDuringAConversion()
    {
        if (qEnvironmentVariableIsEmpty("REELSMITH_SCREENSHOT_DIR"))
            QSKIP("no screenshot folder");
        const QString source =
            QString::fromStdString(test::MakeMedia("window_big.mkv",
                                                   "-f lavfi -i testsrc2=size=1280x720:rate=30:duration=60 "
                                                   "-f lavfi -i sine=frequency=440:duration=60 -c:v mpeg4 -q:v 8 "
                                                   "-c:a aac -shortest"));
        const QString first = CopyInto(Clip(), Path(QStringLiteral("shot")), QStringLiteral("first.mp4"));
        TRunSetup setup = Setup({first, source}, Path(QStringLiteral("shot-out")));
        setup.Options = QStringLiteral("-c:v libx264 -preset slower -c:a aac -sn ");
        Tfrm_Video window(nullptr, std::move(setup));
        window.resize(620, 460);
        window.show();
        QVERIFY(WaitFor([&] { return window.Run().FileSeconds() >= 7 && window.Run().NextFileIndex() == 1; }));
        SaveScreenshot(window, QStringLiteral("run_window.png"));
        QTest::mouseClick(window.btn_Stop, Qt::LeftButton);
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        SaveScreenshot(window, QStringLiteral("run_window_stopped.png"));
    }

    // Only with REELSMITH_SCREENSHOT_DIR: two slow conversions at once (Threads 2) after a
    // short one, grabbed while both convert, then at the end.
    void screenshotOfTwoFilesAtOnce()
    {
        if (qEnvironmentVariableIsEmpty("REELSMITH_SCREENSHOT_DIR"))
            QSKIP("no screenshot folder");
        const QString big =
            QString::fromStdString(test::MakeMedia("window_two20.mkv",
                                                   "-f lavfi -i testsrc2=size=640x360:rate=25:duration=20 "
                                                   "-f lavfi -i sine=frequency=440:duration=20 -c:v mpeg4 -q:v 8 "
                                                   "-c:a aac -shortest"));
        const QString folder = Path(QStringLiteral("two"));
        const QString first = CopyInto(Clip(), folder, QStringLiteral("intro.mp4"));
        const QString second = CopyInto(big, folder, QStringLiteral("interview.mkv"));
        const QString third = CopyInto(big, folder, QStringLiteral("street.mkv"));
        TRunSetup setup = Setup({first, second, third}, Path(QStringLiteral("two-out")));
        for (TRunRow& row : setup.Rows)  // as the list probed them
            row.Duration = row.SourcePath == first ? 1000000 : 20000000;
        setup.Options = QStringLiteral("-c:v libx264 -preset slow -c:a aac -sn ");
        setup.ThreadsText = QStringLiteral("2");
        Tfrm_Video window(nullptr, std::move(setup));
        window.resize(620, 460);
        window.show();
        const bool both = WaitFor([&] {
            return window.Run().Over() ||
                   (window.Run().ActiveFiles() == 2 && window.Run().FileSeconds() >= 6 &&
                    window.Run().FileAt(0).LastCurrentDuration > 0 && window.Run().FileAt(1).LastCurrentDuration > 0);
        });
        QVERIFY2(both && !window.Run().Over(), qPrintable(window.Run().Log().PlainLines().join(QLatin1Char('\n'))));
        SaveScreenshot(window, QStringLiteral("run_two_at_once.png"));
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        QTest::qWait(300);
        SaveScreenshot(window, QStringLiteral("run_two_at_once_after.png"));
    }
};

QTEST_MAIN(TestRunWindows)
#include "test_run_windows.moc"
