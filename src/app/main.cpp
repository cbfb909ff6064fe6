#include <QApplication>
#include <QTimer>

#include "app/ui/main_window.h"
#include "app/ui/settings_dialog_hooks.h"
#include "intake/decoder_probe.h"
#include "intake/ui/intake_hooks.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reelsmith"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    QStringList params = QApplication::arguments();
    params.removeFirst();  // the program itself
    TMainWindowHooks hooks;
    reelsmith::InstallIntakeHooks(hooks, [] { return std::make_unique<reelsmith::TDecoderProbe>(); });
    reelsmith::InstallSettingsDialogHooks(hooks);
    Tfrm_Main window(params, std::move(hooks));
    window.show();
    // Offscreen without work to do: show once and end cleanly (closing saves the settings).
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QTimer::singleShot(0, &window, &QWidget::close);
    return app.exec();
}
