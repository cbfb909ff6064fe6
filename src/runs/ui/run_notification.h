#pragma once
// The desktop notification at the end of a run whose window is not in front, over the
// freedesktop notifications interface of the session bus; nothing without a session bus.
#include <QString>

#include "runs/run_verdict.h"

class QDBusConnection;

namespace reelsmith {

// "Conversion finished", "Conversion finished with errors", "Conversion stopped"
QString RunNotificationSummary(const TRunTally& tally, bool stopped);
// "12 converted", "10 converted, 2 failed", with ", N skipped" when any were.
QString RunNotificationBody(const TRunTally& tally);

// Sends without waiting for an answer; false when the bus is not there.
bool SendDesktopNotification(QDBusConnection& bus, const QString& summary, const QString& body);
bool SendDesktopNotification(const QString& summary, const QString& body);

}  // namespace reelsmith
