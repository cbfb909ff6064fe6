#include "update/ui/update_hooks.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <QWidget>
#include <memory>

#include "update/update_address.h"
#include "update/update_check.h"
#include "update/version_compare.h"

namespace reelsmith {

namespace {

constexpr char kCheckName[] = "tmr_UpdateCheck";

// Owns the check as a child of the main window, so closing the window stops the download
// and waits for its thread; answers reach the main thread through this object.
class TUpdateCheckOwner : public QObject {
public:
    explicit TUpdateCheckOwner(QWidget& owner) : QObject(&owner), m_Owner(owner)
    {
        setObjectName(QString::fromLatin1(kCheckName));
        m_Check = std::make_unique<TUpdateCheck>(UpdateFileUrl(), [this](const std::string& data) {
            // Trimmed while still bytes: a byte-order mark read as Latin-1 would be three letters.
            const std::string version = PublishedVersionText(data);
            const QString text = QString::fromLatin1(version.data(), static_cast<qsizetype>(version.size()));
            QMetaObject::invokeMethod(
                this, [this, text] { UpdateDataArrived(m_Owner, text); }, Qt::QueuedConnection);
        });
        m_Check->Start();
    }
    // The check goes first: its thread may still be posting to this object.
    ~TUpdateCheckOwner() override { m_Check.reset(); }

private:
    QWidget& m_Owner;
    std::unique_ptr<TUpdateCheck> m_Check;
};

bool CommandLineRun(const IUpdateHost& host) { return host.Params().size() > 1 && !host.Params().at(1).isEmpty(); }

}  // namespace

void tmr_UpdateTimer(IUpdateHost& host)
{
    host.StopUpdateTimer();
    QWidget* owner = host.Window();
    if (CommandLineRun(host) || owner->findChild<QObject*>(QString::fromLatin1(kCheckName), Qt::FindDirectChildrenOnly))
        return;
    new TUpdateCheckOwner(*owner);
}

void UpdateDataArrived(QWidget& owner, const QString& data)
{
    if (!IsNewerVersion(kOwnVersion, data.toStdString()))
        return;
    QMessageBox box(
        QMessageBox::Information, QStringLiteral("Update"),
        QStringLiteral("A new version is available: %1\n\nDo you want to visit the download page now?").arg(data),
        QMessageBox::Yes | QMessageBox::No, &owner);
    if (box.exec() == QMessageBox::Yes)
        QDesktopServices::openUrl(QUrl(QString::fromStdString(MakerWebSite())));
}

}  // namespace reelsmith
