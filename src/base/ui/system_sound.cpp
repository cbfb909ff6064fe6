#include "base/ui/system_sound.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace reelsmith {

void PlaySystemSound(TSystemSound sound)
{
    // Without a display there is nobody to hear it, and nothing to beep with.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    static const QString player = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    const QString event =
        sound == TSystemSound::CriticalStop ? QStringLiteral("dialog-error") : QStringLiteral("complete");
    if (player.isEmpty() || !QProcess::startDetached(player, {QStringLiteral("-i"), event}))
        QApplication::beep();
}

}  // namespace reelsmith
