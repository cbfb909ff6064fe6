#include "runs/ui/run_notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace reelsmith {

namespace {

constexpr int kExpireMs = -1;  // the server's own default

}  // namespace

QString RunNotificationSummary(const TRunTally& tally, bool stopped)
{
    switch (tally.Ending(stopped)) {
    case TRunEnding::Finished: return QStringLiteral("Conversion finished");
    case TRunEnding::FinishedWithErrors: return QStringLiteral("Conversion finished with errors");
    case TRunEnding::Stopped: return QStringLiteral("Conversion stopped");
    }
    return {};
}

QString RunNotificationBody(const TRunTally& tally)
{
    QStringList parts{QStringLiteral("%1 converted").arg(tally.Converted())};
    if (tally.Failed() > 0)
        parts.append(QStringLiteral("%1 failed").arg(tally.Failed()));
    if (tally.Skipped() > 0)
        parts.append(QStringLiteral("%1 skipped").arg(tally.Skipped()));
    return parts.join(QStringLiteral(", "));
}

bool SendDesktopNotification(QDBusConnection& bus, const QString& summary, const QString& body)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Reelsmith") << 0u << QStringLiteral("reelsmith") << summary << body << QStringList()
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("reelsmith")}} << kExpireMs;
    // No notification server is no error of the run: the answer is not awaited.
    call.setAutoStartService(true);
    return bus.send(call);
}

bool SendDesktopNotification(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return SendDesktopNotification(bus, summary, body);
}

}  // namespace reelsmith
