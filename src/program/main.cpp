#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/command_line.h"
#include "app/program_help.h"
#include "app/ui/main_window.h"
#include "base/ui/product_picture.h"
#include "app/ui/shell_hooks.h"
#include "base/qt/file_name.h"
#include "program/program_hooks.h"
#include "runs/termination_notifier.h"

namespace {

// An unattended run's stderr names the inputs not converted and the program's own errors; the
// toolkit's notes about the missing display or runtime folder are no business of its user.
void QuietQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// As the run commands decide it (UnattendedRun), before the toolkit starts and speaks.
bool UnattendedCommandLine(const QStringList& params)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool headless = platform == "offscreen" || platform == "minimal";
    const bool automatic = params.size() > 1 && !params.at(1).isEmpty();
    return reelsmith::LastParameterIsExit(params) || (automatic && headless);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (const int status = reelsmith::AnswerInfoOption(argc, argv); status >= 0)
        return status;
    // Without a display the program still does its command-line work, offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    {
        QStringList params;
        for (int i = 1; i < argc; ++i)
            params.append(reelsmith::FileNameText(QByteArray(argv[i])));
        if (reelsmith::OpenWithPaths(params).isEmpty() && UnattendedCommandLine(params) &&
            qEnvironmentVariableIsEmpty("REELSMITH_VERBOSE"))
            qInstallMessageHandler(QuietQtMessage);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reelsmith"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QGuiApplication::setDesktopFileName(QStringLiteral("reelsmith"));
    QApplication::setWindowIcon(reelsmith::ProductIcon());
    // A termination signal stops a running conversion and removes its part before the end.
    reelsmith::TTerminationNotifier terminationNotifier;
    // From argv itself: arguments() would read a name that is not UTF-8 as another name.
    QStringList params;
    for (int i = 1; i < argc; ++i)
        params.append(reelsmith::FileNameText(QByteArray(argv[i])));
    reelsmith::TMainWindowHooks hooks = reelsmith::ProgramHooks();
    // "Open with": the paths are added through the Adding window and nothing is run; the
    // window then starts as without parameters.
    const QStringList openPaths = reelsmith::OpenWithPaths(params);
    if (!openPaths.isEmpty())
        params.clear();
    const bool automatic = params.size() > 1 && !params.at(1).isEmpty();
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
    reelsmith::Tfrm_Main window(params, std::move(hooks));
    reelsmith::AttachShell(window);
    window.show();
    if (!openPaths.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, openPaths, offscreen] {
            window.PendingPaths() = openPaths;
            window.AddFiles();
            if (offscreen)
                window.close();
        });
    } else if (offscreen && !automatic) {
        // Offscreen without work to do: show once and end cleanly (closing saves the settings).
        QTimer::singleShot(0, &window, &QWidget::close);
    }
    return app.exec();
}
