#include "update/ui/update_hooks.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "app/ui/main_window.h"
#include "update/ui/about_window.h"
#include "update/update_address.h"
#include "update/update_check.h"
#include "update/version_compare.h"

namespace reelsmith {

namespace {

// Owns the check as a child of the main window, so closing the window stops the download
// and waits for its thread; answers reach the main thread through this object.
class TUpdateCheckOwner : public QObject {
public:
    explicit TUpdateCheckOwner(Tfrm_Main& main) : QObject(&main), m_Main(main)
    {
        setObjectName(QStringLiteral("tmr_UpdateCheck"));
        m_Check = std::make_unique<TUpdateCheck>(UpdateFileUrl(), [this](const std::string& data) {
            const QString text = QString::fromLatin1(data.data(), static_cast<qsizetype>(data.size()));
            QMetaObject::invokeMethod(this, [this, text] { UpdateDataArrived(m_Main, text); }, Qt::QueuedConnection);
        });
        m_Check->Start();
    }
    // The check goes first: its thread may still be posting to this object.
    ~TUpdateCheckOwner() override { m_Check.reset(); }

private:
    Tfrm_Main& m_Main;
    std::unique_ptr<TUpdateCheck> m_Check;
};

bool CommandLineRun(const Tfrm_Main& main)
{
    return main.Params().size() > 1 && !main.Params().at(1).isEmpty();
}

}  // namespace

void InstallUpdateHooks(TMainWindowHooks& hooks)
{
    hooks.UpdateTimer = [](Tfrm_Main& main) { tmr_UpdateTimer(main); };
    hooks.About = [](Tfrm_Main& main) { About1Click(&main); };
}

void tmr_UpdateTimer(Tfrm_Main& main)
{
    main.tmr_UpdateTimer->stop();
    if (CommandLineRun(main) || main.findChild<QObject*>(QStringLiteral("tmr_UpdateCheck"), Qt::FindDirectChildrenOnly))
        return;
    new TUpdateCheckOwner(main);
}

void UpdateDataArrived(Tfrm_Main& main, const QString& data)
{
    if (!IsNewerVersion(kOwnVersion, data.toStdString()))
        return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Update"),
                    QStringLiteral("A new version is available: %1\n\nDo you want to visit the download page now?")
                        .arg(data),
                    QMessageBox::Yes | QMessageBox::No, &main);
    if (box.exec() == QMessageBox::Yes)
        QDesktopServices::openUrl(QUrl(QString::fromStdString(MakerWebSite())));
}

}  // namespace reelsmith
