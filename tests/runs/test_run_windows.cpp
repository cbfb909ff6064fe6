// The run windows over real conversions, and the main window's run commands, offscreen.
#include "support/screenshot.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>
#include <filesystem>
#include <functional>

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
        QVERIFY(WaitFor([&] { return !window.btn_Close->isEnabled(); }));
        QVERIFY(!window.close());  // refused while the run goes on
        QVERIFY(window.isVisible());
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));

        QCOMPARE(window.lbl_File->text(), QStringLiteral("Done."));
        QCOMPARE(window.lbl_Percent->text(), QStringLiteral("100%"));
        QCOMPARE(window.lbl_RemainingValue->text(), QStringLiteral("00:00:00"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Saving... [1/1]"));
        QVERIFY(window.btn_Close->isEnabled());
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
        QString caption;
        QString text;
        AnswerNextMessageBox(QMessageBox::No, &caption, &text);
        window.show();
        QVERIFY(WaitFor([&] { return window.Run().Over(); }));
        QCOMPARE(caption, QStringLiteral("Warning"));
        QCOMPARE(text, QStringLiteral("File \"a.mkv\" already exists!\n\nOverwrite existing file?"));
        QVERIFY(window.Run().Log().PlainLines().contains(QStringLiteral("Skipped!")));
        QCOMPARE(LineColour(window.log_Main, QStringLiteral("Skipped!")), QColor(255, 0, 0));
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
        QCOMPARE(lines.last(), QStringLiteral("Done."));
        QCOMPARE(lines.at(lines.size() - 2).isEmpty(), audio);
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
        QString log;
        if (accept)
            WhenModal<TRunWindow>([](TRunWindow& window) { return window.Run().Over(); },
                                  [&log](TRunWindow& window) {
                                      log = window.Run().Log().PlainLines().join(QLatin1Char('\n'));
                                      window.btn_Close->click();
                                  });
        ui.act_Command->trigger();
        QCOMPARE(QFileInfo::exists(out + QStringLiteral("/a.mkv")), accept);
        if (accept) {
            QVERIFY(log.contains(QStringLiteral("Parameters ") + command));
            QVERIFY(log.endsWith(QStringLiteral("Done.")));
            QCOMPARE(main.Options(), command);
        } else {
            QVERIFY(main.Options().isEmpty());
        }
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
};

QTEST_MAIN(TestRunWindows)
#include "test_run_windows.moc"
