#include <QApplication>
#include <QTimer>

#include "app/ui/main_window.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reelsmith"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
    Tfrm_Main window;
    window.show();
    // Offscreen without work to do: show once and end cleanly.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
