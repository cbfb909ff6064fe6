// Pictures of the real windows for the help manual, made on the offscreen platform:
//   reelsmith-screenshots <output folder> <folder of sample clips> [<Dark.qss>]
// The main window is filled by the real Adding window from the sample clips, and one of
// them is converted by a real run, so the pictures show what a user sees. Given a theme
// file, the windows are also saved in the dark theme (names ending in "_dark").
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QLineEdit>
#include <QAction>
#include <cstdio>
#include <functional>

#include "app/ui/dark_theme.h"
#include "app/ui/main_window.h"
#include "app/ui/shell_hooks.h"
#include "intake/ui/add_files_dialog.h"
#include "program/program_hooks.h"
#include "runs/ui/run_window.h"
#include "settings/ui/command_dialog.h"
#include "settings/ui/effects_dialog.h"
#include "update/ui/about_window.h"

namespace {

QString g_Output;
QString g_Suffix;

void Save(QWidget* widget, const QString& name)
{
    QApplication::processEvents();
    const QString path = g_Output + QLatin1Char('/') + name + g_Suffix + QStringLiteral(".png");
    if (!widget->grab().save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// Runs `open`, which shows a modal window; once the window of type T shows and `ready`
// says so, saves it under `name` and closes it with `close`.
template <typename T>
void GrabModal(const std::function<void()>& open, const QString& name, const std::function<bool(T*)>& ready,
               const std::function<void(T*)>& close)
{
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        T* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window || !ready(window))
            return;
        poll.stop();
        Save(window, name);
        close(window);
    });
    poll.start();
    open();
}

// A control of the main window, by its object name, as a user-level test reaches it.
template <typename T>
T* Control(const reelsmith::Tfrm_Main& main, const char* name)
{
    T* control = main.findChild<T*>(QString::fromLatin1(name));
    if (!control)
        qFatal("the main window has no %s", name);
    return control;
}

void Shoot(reelsmith::Tfrm_Main& main, const QString& samples, const QString& outputFolder)
{
    auto* tab_Settings = Control<QTabWidget>(main, "tab_Settings");
    auto* act_Effects = Control<QAction>(main, "Effects1");
    auto* act_Command = Control<QAction>(main, "FFMpegcommand1");
    auto* act_Convert = Control<QAction>(main, "Convert1");
    auto* chk_Path = Control<QRadioButton>(main, "chk_Path");
    auto* txt_Path = Control<QLineEdit>(main, "txt_Path");
    // A fresh folder, so the run asks no overwrite question.
    QDir(outputFolder).removeRecursively();
    QDir().mkpath(outputFolder);
    Save(&main, QStringLiteral("main_window"));
    const char* tabs[] = {"tab_profiles", "tab_video", "tab_audio", "tab_cpu", "tab_output"};
    for (int i = 0; i < tab_Settings->count(); ++i) {
        tab_Settings->setCurrentIndex(i);
        Save(tab_Settings, QString::fromLatin1(tabs[i]));
    }
    tab_Settings->setCurrentIndex(0);

    main.AddFilesFolder() = samples;
    GrabModal<reelsmith::Tfrm_AddFiles>([&] { main.btn_AddClick(); }, QStringLiteral("add_files"),
                                        [](auto*) { return true; }, [](auto* w) { w->btn_Close->click(); });
    GrabModal<reelsmith::Tfrm_Effects>([&] { act_Effects->trigger(); }, QStringLiteral("effects"),
                                       [](auto*) { return true; }, [](auto* w) { w->btn_Cancel->click(); });
    GrabModal<reelsmith::Tfrm_Command>([&] { act_Command->trigger(); }, QStringLiteral("ffmpeg_command"),
                                       [](auto*) { return true; }, [](auto* w) { w->btn_Cancel->click(); });

    chk_Path->setChecked(true);
    txt_Path->setText(outputFolder);
    // The run is over at "Done."; a run that cannot start is taken as it stands after a minute.
    QElapsedTimer running;
    running.start();
    // The run window is not modal: Convert returns at once and the window is waited for.
    act_Convert->trigger();
    if (auto* run = main.findChild<reelsmith::TRunWindow*>()) {
        QEventLoop wait;
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const bool over =
                run->log_Main->toPlainText().contains(QStringLiteral("Done.")) || running.elapsed() > 60000;
            if (over && run->btn_Close->isEnabled())
                wait.quit();
        });
        poll.start();
        wait.exec();
        Save(run, QStringLiteral("run_window"));
        run->btn_Close->click();
    }

    reelsmith::Tfrm_About about(&main);
    about.show();
    Save(&about, QStringLiteral("about"));
    about.close();
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: reelsmith-screenshots <output folder> <sample folder> [<Dark.qss>]\n");
        return 2;
    }
    g_Output = args.at(1);
    const QString samples = args.at(2);
    QDir().mkpath(g_Output);

    reelsmith::TMainWindowHooks hooks = reelsmith::ProgramHooks();
    hooks.UpdateTimer = nullptr;  // no network while taking pictures
    reelsmith::Tfrm_Main main({}, hooks);
    reelsmith::AttachShell(main);
    main.resize(800, 600);
    main.show();
    QApplication::processEvents();
    for (const QFileInfo& clip : QDir(samples).entryInfoList(QDir::Files, QDir::Name))
        main.PendingPaths() << clip.absoluteFilePath();
    main.AddFiles();

    Shoot(main, samples, QDir::temp().filePath(QStringLiteral("reelsmith-shots-light")));
    if (args.size() > 3) {
        if (!reelsmith::Darktheme1Click(main, true, args.at(3))) {
            std::fprintf(stderr, "the dark theme file was not found\n");
            return 1;
        }
        g_Suffix = QStringLiteral("_dark");
        Control<QAction>(main, "Darktheme1")->setChecked(true);
        Shoot(main, samples, QDir::temp().filePath(QStringLiteral("reelsmith-shots-dark")));
    }
    Control<QAction>(main, "Darktheme1")->setChecked(false);
    main.close();
    return 0;
}
