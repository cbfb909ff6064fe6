#include <QApplication>
#include <QTimer>

#include "app/command_line.h"
#include "app/program_help.h"
#include "app/ui/main_window.h"
#include "base/ui/product_picture.h"
#include "app/ui/shell_hooks.h"
#include "base/qt/file_name.h"
#include "program/program_hooks.h"
#include "runs/termination_notifier.h"

int main(int argc, char* argv[])
{
    if (const int status = reelsmith::AnswerInfoOption(argc, argv); status >= 0)
        return status;
    // Without a display the program still does its command-line work, offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
