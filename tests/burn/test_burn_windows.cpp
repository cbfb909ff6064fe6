// The Burn window and its progress windows on the image recorder, offscreen.
#include "support/screenshot.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <sys/stat.h>

#include <filesystem>

#include "app/ui/main_window.h"
#include "base/qt/file_name.h"
#include "burn/burn_library.h"
#include "program/program_hooks.h"
#include "burn/ui/burn_process_window.h"
#include "burn/ui/burn_window.h"
#include "burn/ui/erase_window.h"
#include "burn_test_support.h"
#include "base/ui/taskbar_progress.h"
#include "support/main_window_controls.h"
#include "support/test_media.h"

using namespace reelsmith;

namespace {

struct TSinkCalls {
    QList<TTaskBarProgressStyle> States;
    QList<int> Values;
};

class TRecordingSink : public TTaskbarSink {
public:
    explicit TRecordingSink(TSinkCalls& calls) : m_Calls(calls) {}
    void SetProgressState(TTaskBarProgressStyle style) override { m_Calls.States.push_back(style); }
    void SetProgressValue(int completed, int /*total*/) override { m_Calls.Values.push_back(completed); }

private:
    TSinkCalls& m_Calls;
};

struct TAsked {
    QStringList Texts;
    QList<QMessageBox::Icon> Icons;
};

// Texts of the log without their time stamps ("[hh:mm:ss] ").
QStringList Unstamped(const TRunLog& log)
{
    QStringList lines;
    for (const TLogLine& line : log.Lines()) {
        QString text = line.Text;
        if (text.startsWith(QLatin1Char('[')) && text.indexOf(QStringLiteral("] ")) == 9)
            text = text.mid(11);
        lines.append(text);
    }
    return lines;
}

TLogColour ColourOf(const TRunLog& log, const QString& unstamped)
{
    const QStringList lines = Unstamped(log);
    const int at = lines.indexOf(unstamped);
    return at < 0 ? TLogColour::Grey : log.Lines()[static_cast<std::size_t>(at)].Colour;
}

}  // namespace

class TestBurnWindows : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_Folder;
    QString Path(const QString& name) const { return m_Folder.path() + QLatin1Char('/') + name; }

    TBurnWindowOptions Options(const QString& image, TAsked* asked, QObject* taskbar = nullptr)
    {
        TBurnWindowOptions options;
        options.Taskbar = taskbar;
        options.AskImagePath = [image](QWidget*, const QString&) { return image; };
        options.AskImageToErase = [image](QWidget*, const QString&) { return image; };
        options.Message = [asked](QMessageBox::Icon icon, const QString&, const QString& text,
                                  QMessageBox::StandardButtons) {
            asked->Texts.append(text);
            asked->Icons.append(icon);
            return QMessageBox::Yes;
        };
        return options;
    }

    static std::vector<TBurnRow> Rows(const std::vector<test::TBurnSource>& sources)
    {
        std::vector<TBurnRow> rows;
        for (const auto& source : sources)
            rows.push_back({source.Name, source.Path});
        return rows;
    }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_Folder.path().toLocal8Bit()); }

    // Initialization to "Success!", then Erase, with the log of the burn flow.
    void wholeFlowOnTheImageRecorder()
    {
        const auto sources = test::ThreeMediaFiles();
        const QString image = Path(QStringLiteral("My Videos.iso"));
        TAsked asked;
        QWidget owner;
        TSinkCalls calls;
        TWin7TaskProgressBar taskbar(&owner, std::make_unique<TRecordingSink>(calls));
        Tfrm_Burn window(&owner, Rows(sources), Options(image, &asked, &taskbar));
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.cb_WriteSpeed->count(), 5, 10000);
        QCOMPARE(window.cb_Device_Burn->currentText(), QStringLiteral("Z: Image Recorder"));
        QCOMPARE(window.cb_WriteSpeed->itemText(0), QStringLiteral("16x"));
        QCOMPARE(window.Burner.BurnSpeed(), 16 * 1385);
        QVERIFY(asked.Texts.isEmpty());
        // A file is neither ejected nor written at a disc speed.
        QVERIFY(!window.chk_Eject->isEnabled());
        QVERIFY(!window.chk_Eject->isChecked());
        QVERIFY(!window.cb_WriteSpeed->isEnabled());

        // The progress window is looked at right after each event has been drawn into it: it
        // closes on the done event, so a timer could miss it altogether.
        QList<int> bars;
        QString written;
        bool cancelDisabledAtFinalize = false;
        const auto look = [&] {
            if (Tfrm_BurnProcess* progress = window.ProgressWindow()) {
                bars.append(progress->prg_Extract->value());
                if (progress->lbl_Burn->text() == QStringLiteral("Closing track... "))
                    cancelDisabledAtFinalize = !progress->btn_Cancel->isEnabled();
                if (progress->lbl_Written->text().startsWith(QStringLiteral("Written: ")))
                    written = progress->lbl_Written->text();
                if (bars.size() == 2)
                    SaveScreenshot(*progress, QStringLiteral("burn_progress.png"));
            }
        };
        const auto process = window.Burner.OnProcess;
        window.Burner.OnProcess = [&, process](float percent, float buffer, float cache, double done, double size) {
            process(percent, buffer, cache, done, size);
            look();
        };
        const auto finalize = window.Burner.OnFinalize;
        window.Burner.OnFinalize = [&, finalize] {
            finalize();
            look();
        };
        QTest::mouseClick(window.btn_Burn, Qt::LeftButton);  // returns when the progress window has closed
        SaveScreenshot(window, QStringLiteral("burn_window.png"));

        const QStringList lines = Unstamped(window.Log());
        QStringList expected = {QStringLiteral("Initialization..."), QStringLiteral("Devices found:")};
        for (int i = 1; i <= window.Burner.DeviceCount(); ++i)  // drives of this machine come first
            expected.append(QString::fromStdString(window.Burner.Devices(i)));
        expected += QStringList{QString(), QStringLiteral("Adding files..."), QString()};
        QCOMPARE(lines.mid(0, expected.size()), expected);
        QVERIFY(lines.at(lines.size() - 8).startsWith(QStringLiteral("Data: 3 files, ")));
        QVERIFY(lines.at(lines.size() - 7).startsWith(QStringLiteral("Disc: ISO image, ")));
        // The log names the image it wrote.
        QCOMPARE(lines.mid(lines.size() - 6),
                 (QStringList{QString(), QStringLiteral("Burning disc..."), QStringLiteral("Closing track..."),
                              QStringLiteral("Success!"), QStringLiteral("Image saved: ") + image, QString()}));
        QCOMPARE(ColourOf(window.Log(), QStringLiteral("Adding files...")), TLogColour::Green);
        QCOMPARE(ColourOf(window.Log(), QStringLiteral("Success!")), TLogColour::Green);
        QVERIFY(!bars.isEmpty());
        QCOMPARE(bars.last(), 100);
        QVERIFY(std::is_sorted(bars.begin(), bars.end()));
        QVERIFY(cancelDisabledAtFinalize);
        QVERIFY2(written.endsWith(QStringLiteral(" MB")), qPrintable(written));
        QVERIFY(!calls.Values.isEmpty());
        QCOMPARE(calls.Values.last(), 100);
        QVERIFY(calls.States.contains(TTaskBarProgressStyle::tbpsNormal));
        QVERIFY(!calls.States.contains(TTaskBarProgressStyle::tbpsError));

        const std::string imagePath = image.toStdString();
        std::vector<std::string> names;
        for (const auto& source : sources)
            names.push_back("/" + source.Name);
        std::sort(names.begin(), names.end());
        QCOMPARE(test::ImageFiles(imagePath, false), names);
        QCOMPARE(test::VolumeLabel(imagePath), std::string("My Videos"));

        // Erase: the question naming the image, the erase window, "Success!" and an empty image.
        QTest::mouseClick(window.btn_Erase_Burn, Qt::LeftButton);
        QCOMPARE(asked.Texts.last(), QStringLiteral("Are you sure you want to erase the disc?\nErasing will remove all "
                                                    "information from the disc.\n\nThe image file ") +
                                         image + QStringLiteral(" will be emptied."));
        QCOMPARE(Unstamped(window.Log()).mid(Unstamped(window.Log()).size() - 4),
                 (QStringList{QStringLiteral("Erasing disc..."), QStringLiteral("Image: ") + image,
                              QStringLiteral("Success!"), QString()}));
        QCOMPARE(std::filesystem::file_size(imagePath), std::uintmax_t{0});

        QTest::mouseClick(window.Button1, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QVERIFY(!taskbar.Visible());
    }

    // Erase on the image recorder asks which image to empty before anything else: no image
    // chosen, no question and nothing erased; the image chosen is never one to save.
    void eraseOnTheImageRecorderNamesTheFile()
    {
        const QString kept = Path(QStringLiteral("kept.iso"));
        test::WriteRandomFile(kept.toStdString(), 4096);
        const struct {
            QString Answer;
            bool Asked;
            std::uintmax_t SizeAfter;
        } cases[] = {{QString(), false, 4096}, {kept, true, 0}};
        for (const auto& c : cases) {
            TAsked asked;
            TBurnWindowOptions options = Options(c.Answer, &asked);
            QString suggested;
            options.AskImagePath = [](QWidget*, const QString&) -> QString {
                qFatal("Erase asked for an image to save");
                return {};
            };
            options.AskImageToErase = [&](QWidget*, const QString& proposed) {
                suggested = proposed;
                return c.Answer;
            };
            Tfrm_Burn window(nullptr, {}, options);
            window.show();
            QTRY_VERIFY_WITH_TIMEOUT(window.cb_WriteSpeed->count() > 0, 10000);
            SaveScreenshot(window, QStringLiteral("burn_window_image_recorder.png"));
            QTest::mouseClick(window.btn_Erase_Burn, Qt::LeftButton);
            QVERIFY(!suggested.isEmpty());
            QCOMPARE(!asked.Texts.isEmpty(), c.Asked);
            if (c.Asked)
                QVERIFY2(asked.Texts.last().contains(kept), qPrintable(asked.Texts.last()));
            QCOMPARE(std::filesystem::file_size(kept.toStdString()), c.SizeAfter);
        }
    }

    // Esc in the progress window acts as Cancel: the button is disabled at once, the burn
    // ends with a red line and the taskbar in its error state, and no image is left. The
    // writer is held in the middle of the image until Esc, so the burn cannot end first on a
    // fast machine, and it must not read on once cancelled: the window closes on the abort,
    // not at the end of the image.
    void escapeCancelsTheBurn()
    {
        const QString big = Path(QStringLiteral("big.bin"));
        test::WriteRandomFile(big.toStdString(), 8LL << 20);
        const QString image = Path(QStringLiteral("cancelled.iso"));
        TAsked asked;
        QWidget owner;
        TSinkCalls calls;
        TWin7TaskProgressBar taskbar(&owner, std::make_unique<TRecordingSink>(calls));
        test::TWriterGate gate([](std::int64_t offset, std::int64_t size) { return offset >= size / 2; });
        TBurnWindowOptions options = Options(image, &asked, &taskbar);
        options.Library = [&gate] {
            auto library = std::make_unique<TBurnLibrary>();
            library->SetImageReadHook(gate.Hook());
            return library;
        };
        Tfrm_Burn window(&owner, {{"big.bin", big.toStdString()}}, options);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.cb_WriteSpeed->count() > 0, 10000);
        bool disabledAtOnce = false;
        bool pressed = false;
        QTimer watch;
        watch.setInterval(5);
        connect(&watch, &QTimer::timeout, this, [&] {
            Tfrm_BurnProcess* progress = window.ProgressWindow();
            if (!progress || !gate.Held())
                return;
            watch.stop();
            QTest::keyClick(progress, Qt::Key_Escape);
            pressed = true;
            disabledAtOnce = !progress->btn_Cancel->isEnabled();
            gate.Release();
        });
        watch.start();
        QTest::mouseClick(window.btn_Burn, Qt::LeftButton);  // returns when the progress window has closed
        watch.stop();
        gate.Release();
        QVERIFY(pressed);
        QVERIFY(disabledAtOnce);
        QCOMPARE(gate.Highest(), gate.HeldAt());
        QVERIFY(!window.ProgressWindow());
        const TLogLine& last = window.Log().Lines()[window.Log().Lines().size() - 2];
        QCOMPARE(last.Colour, TLogColour::Red);
        QVERIFY2(last.Text.endsWith(QStringLiteral("Burning was aborted by the user")), qPrintable(last.Text));
        QVERIFY(!Unstamped(window.Log()).contains(QStringLiteral("Success!")));
        QVERIFY(calls.States.contains(TTaskBarProgressStyle::tbpsError));
        QVERIFY(!QFile::exists(image));
        QVERIFY(test::HiddenFiles(m_Folder.path().toStdString()).empty());
    }

    // A library that cannot be activated ends the initialization with its error and closes.
    void failedActivationClosesTheWindow()
    {
        TAsked asked;
        TBurnWindowOptions options = Options(Path(QStringLiteral("x.iso")), &asked);
        options.Library = [] { return std::unique_ptr<TBurnLibrary>(); };
        Tfrm_Burn window(nullptr, {}, options);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
        QCOMPARE(asked.Texts, QStringList{QStringLiteral("SDK DLL file not found")});
        QCOMPARE(asked.Icons.value(0), QMessageBox::Critical);
    }

    // A source deleted since it was listed and an unreadable one each give a red line with
    // the reason, then the continue question; No stops before anything is prepared.
    void sourcesThatCannotBeAddedAskToContinue()
    {
        const auto sources = test::ThreeMediaFiles();
        TAsked asked;
        TBurnWindowOptions options = Options(Path(QStringLiteral("never.iso")), &asked);
        options.Message = [&asked](QMessageBox::Icon icon, const QString&, const QString& text,
                                   QMessageBox::StandardButtons) {
            asked.Texts.append(text);
            asked.Icons.append(icon);
            return QMessageBox::No;
        };
        const QString fifo = Path(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        const QString gone = Path(QStringLiteral("gone.avi"));
        Tfrm_Burn window(
            nullptr,
            {{sources[0].Name, sources[0].Path}, {"gone.avi", gone.toStdString()}, {"pipe", fifo.toStdString()}},
            options);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.cb_WriteSpeed->count() > 0, 10000);
        QTest::mouseClick(window.btn_Burn, Qt::LeftButton);
        QCOMPARE(asked.Texts,
                 QStringList{QStringLiteral("Some files were not added. Would you like to continue with burning?")});
        QCOMPARE(asked.Icons.value(0), QMessageBox::Warning);
        const QStringList lines = Unstamped(window.Log());
        QCOMPARE(lines.mid(lines.size() - 3),
                 (QStringList{QStringLiteral("Adding files..."), QStringLiteral("No such file or directory... ") + gone,
                              QStringLiteral("Not a regular file... ") + fifo}));
        QCOMPARE(ColourOf(window.Log(), QStringLiteral("No such file or directory... ") + gone), TLogColour::Red);
        QCOMPARE(ColourOf(window.Log(), QStringLiteral("Not a regular file... ") + fifo), TLogColour::Red);
        QVERIFY(!QFile::exists(Path(QStringLiteral("never.iso"))));
    }

    // A listed file whose name is not UTF-8 goes from the main window's list onto the disc
    // under its bytes.
    void nonUtf8NameFromTheListIsBurned()
    {
        const QByteArray name("vid\xe9o \xe9t\xe9.bin");
        const QByteArray source = QFile::encodeName(m_Folder.path()) + '/' + name;
        test::WriteRandomFile(source.toStdString(), 200000);
        const QString image = Path(QStringLiteral("latin.iso"));
        TMainWindowHooks hooks;
        TAsked asked;
        InstallBurnHooks(hooks, Options(image, &asked));
        QStringList log;
        const auto burn = hooks.Burn;
        hooks.Burn = [&](Tfrm_Main& main) {
            QTimer::singleShot(0, &main, [&] {
                QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<Tfrm_Burn*>(QApplication::activeModalWidget()), 5000);
                auto* window = qobject_cast<Tfrm_Burn*>(QApplication::activeModalWidget());
                QTRY_VERIFY_WITH_TIMEOUT(window->cb_WriteSpeed->count() > 0, 10000);
                window->btn_Burn->click();  // returns when the burn is over
                log = Unstamped(window->Log());
                window->Button1->click();
            });
            burn(main);
        };
        Tfrm_Main main({}, std::move(hooks));
        TFileListRow row;
        row.Caption = FileNameText(name);
        row.cell(FileCell::SourcePath) = FileNameText(source);
        main.Files().Append(row);
        main.show();
        test::TMainControls(main).act_Burn->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QStringLiteral("Success!")), 30000);
        QVERIFY2(log.join(QLatin1Char('|')).contains(QStringLiteral("Data: 1 file, ")), qPrintable(log.join('|')));
        QVERIFY(asked.Texts.isEmpty());
        QCOMPARE(test::ImageFiles(image.toStdString(), false), std::vector<std::string>{"/" + name.toStdString()});
    }

    void clocks()
    {
        const struct {
            int Seconds;
            const char* Erase;
            const char* Burn;
        } cases[] = {{0, "00:00", "00:00:00"},
                     {61, "01:01", "00:01:01"},
                     {3599, "59:59", "00:59:59"},
                     {3600, "00:00", "01:00:00"},
                     {3661, "01:01", "01:01:01"}};
        for (const auto& c : cases) {
            QCOMPARE(Tfrm_Erase::ClockText(c.Seconds), QString::fromLatin1(c.Erase));
            QCOMPARE(Tfrm_BurnProcess::ClockText(c.Seconds), QString::fromLatin1(c.Burn));
        }
        // The erase window's panel ticks once a second while its erase runs.
        Tfrm_Burn owner(nullptr, {});
        Tfrm_Erase erase(owner);
        erase.tmr_Erase->disconnect();  // no erase: only the clock runs
        erase.show();
        QCOMPARE(erase.pnl_Erase->text(), QStringLiteral("Erasing disc... 00:00"));
        QTRY_COMPARE_WITH_TIMEOUT(erase.pnl_Erase->text(), QStringLiteral("Erasing disc... 00:01"), 3000);
        erase.bool_Done = true;
        QTRY_VERIFY_WITH_TIMEOUT(!erase.isVisible(), 2000);
    }

    // Ctrl+B in the main window opens the Burn window over the list's rows.
    void mainWindowBurnCommand()
    {
        const auto sources = test::ThreeMediaFiles();
        TMainWindowHooks hooks;
        TAsked asked;
        TBurnWindowOptions options = Options(Path(QStringLiteral("main.iso")), &asked);
        InstallBurnHooks(hooks, options);
        bool opened = false;
        const auto burn = hooks.Burn;
        hooks.Burn = [&](Tfrm_Main& main) {
            // Closed as soon as it is ready, by pressing its Close button.
            QTimer::singleShot(0, &main, [&] {
                QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() != nullptr, 5000);
                auto* window = qobject_cast<Tfrm_Burn*>(QApplication::activeModalWidget());
                QVERIFY(window);
                QTRY_VERIFY_WITH_TIMEOUT(window->cb_WriteSpeed->count() > 0, 10000);
                opened = true;
                window->Button1->click();
            });
            burn(main);
        };
        Tfrm_Main main({}, std::move(hooks));
        for (const auto& source : sources) {
            TFileListRow row;
            row.Caption = QString::fromStdString(source.Name);
            row.cell(FileCell::SourcePath) = QString::fromStdString(source.Path);
            main.Files().Append(row);
        }
        main.show();
        const test::TMainControls ui(main);
        QCOMPARE(ui.act_Burn->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
        ui.act_Burn->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(opened, 15000);
    }
};

QTEST_MAIN(TestBurnWindows)
#include "test_burn_windows.moc"
