#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

// Window tests grab what they show into REELSMITH_SCREENSHOT_DIR when it is set, so the
// windows can be looked at after an offscreen run.
inline void SaveScreenshot(QWidget& window, const QString& name)
{
    const QByteArray folder = qgetenv("REELSMITH_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        window.grab().save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + name);
}
