#include "base/ui/open_external.h"

#include <QDesktopServices>
#include <QMessageBox>

namespace reelsmith {

TDesktopOpener DesktopOpener()
{
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

QString CouldNotOpenText(const QUrl& url, const QString& what)
{
    const QString where = url.isLocalFile() ? url.toLocalFile() : url.toString();
    return QStringLiteral("Could not open the %1: no program to open it was found on this desktop.\n\n%2")
        .arg(what, where);
}

bool OpenExternally(QWidget* parent, const QUrl& url, const QString& what, const TDesktopOpener& opener)
{
    if (opener(url))
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), CouldNotOpenText(url, what), QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("msg_CouldNotOpen"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
    return false;
}

}  // namespace reelsmith
