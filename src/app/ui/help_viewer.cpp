#include "app/ui/help_viewer.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/ui/open_external.h"
#include "base/ui/push_button.h"

namespace reelsmith {

Tfrm_HelpViewer::Tfrm_HelpViewer(const QString& page, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_HelpViewer"));
    setWindowTitle(QStringLiteral("Reelsmith Help"));
    txt_Help = new QTextBrowser(this);
    txt_Help->setObjectName(QStringLiteral("txt_Help"));
    // Pages of the manual open here; addresses outside it go to the desktop (or say why not).
    txt_Help->setOpenLinks(false);
    connect(txt_Help, &QTextBrowser::anchorClicked, this, &Tfrm_HelpViewer::FollowLink);
    txt_Help->setSource(QUrl::fromLocalFile(page));

    btn_Back = MakePushButton(this, QStringLiteral("Back"), "btn_Back");
    btn_Forward = MakePushButton(this, QStringLiteral("Forward"), "btn_Forward");
    btn_Close = MakePushButton(this, QStringLiteral("Close"), "btn_Close");
    btn_Back->setEnabled(false);
    btn_Forward->setEnabled(false);
    connect(btn_Back, &QPushButton::clicked, txt_Help, &QTextBrowser::backward);
    connect(btn_Forward, &QPushButton::clicked, txt_Help, &QTextBrowser::forward);
    connect(txt_Help, &QTextBrowser::backwardAvailable, btn_Back, &QWidget::setEnabled);
    connect(txt_Help, &QTextBrowser::forwardAvailable, btn_Forward, &QWidget::setEnabled);
    connect(btn_Close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_Back);
    buttons->addWidget(btn_Forward);
    buttons->addStretch(1);
    buttons->addWidget(btn_Close);
    auto* column = new QVBoxLayout(this);
    column->addWidget(txt_Help, 1);
    column->addLayout(buttons);
    resize(760, 560);
}

void Tfrm_HelpViewer::FollowLink(const QUrl& url)
{
    const QUrl target = txt_Help->source().resolved(url);
    if (target.isLocalFile() || target.isRelative())
        txt_Help->setSource(target);
    else
        OpenExternally(this, target, QStringLiteral("web page"), DesktopOpener());
}

void ShowHelpViewer(QWidget* parent, const QString& page)
{
    auto* viewer = parent ? parent->findChild<Tfrm_HelpViewer*>() : nullptr;
    if (viewer) {
        viewer->txt_Help->setSource(QUrl::fromLocalFile(page));
    } else {
        viewer = new Tfrm_HelpViewer(page, parent);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace reelsmith
