#include "intake/ui/breadcrumb_bar.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace reelsmith {

TBreadcrumbBar::TBreadcrumbBar(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    fLayout = new QHBoxLayout(this);
    fLayout->setContentsMargins(4, 2, 4, 2);
    fLayout->setSpacing(0);
    fMore = new QToolButton(this);
    fMore->setText(QStringLiteral("«"));
    fMore->setAutoRaise(true);
    fMore->hide();
    fLayout->addWidget(fMore);
    fLayout->addStretch();
    connect(fMore, &QToolButton::clicked, this, [this] {
        for (int i = 0; i < fCrumbs.size(); ++i) {
            if (fParts[i * 2]->isVisible()) {
                emit FolderClicked(fCrumbs[qMax(0, i - 1)]);
                return;
            }
        }
    });
    setMinimumHeight(fMore->sizeHint().height() + 4);
}

void TBreadcrumbBar::SetPath(const QString& folder)
{
    fPath = QDir::cleanPath(folder);
    fCrumbs.clear();
    QString walked;
    fCrumbs << QStringLiteral("/");
    for (const QString& part : fPath.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        walked += QLatin1Char('/') + part;
        fCrumbs << walked;
    }
    Rebuild();
}

void TBreadcrumbBar::Rebuild()
{
    qDeleteAll(fParts);
    fParts.clear();
    for (int i = 0; i < fCrumbs.size(); ++i) {
        auto* separator = new QLabel(i == 0 ? QString() : QStringLiteral("›"), this);
        separator->setContentsMargins(2, 0, 2, 0);
        auto* button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setText(i == 0 ? QStringLiteral("/") : QFileInfo(fCrumbs[i]).fileName());
        button->setToolTip(fCrumbs[i]);
        const QString target = fCrumbs[i];
        connect(button, &QToolButton::clicked, this, [this, target] { emit FolderClicked(target); });
        fLayout->insertWidget(fLayout->count() - 1, separator);
        fLayout->insertWidget(fLayout->count() - 1, button);
        fParts << button << separator;
        if (i == 0)
            separator->hide();
    }
    FitToWidth();
}

void TBreadcrumbBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitToWidth();
}

void TBreadcrumbBar::FitToWidth()
{
    // Show as many trailing crumbs as fit; the last one is always shown.
    const int available = width() - 8 - fMore->sizeHint().width();
    int used = 0;
    int firstShown = static_cast<int>(fCrumbs.size());
    for (int i = static_cast<int>(fCrumbs.size()) - 1; i >= 0; --i) {
        const int need = fParts[i * 2]->sizeHint().width() + (i > 0 ? fParts[i * 2 + 1]->sizeHint().width() : 0);
        if (used + need > available && i != static_cast<int>(fCrumbs.size()) - 1)
            break;
        used += need;
        firstShown = i;
    }
    for (int i = 0; i < fCrumbs.size(); ++i) {
        fParts[i * 2]->setVisible(i >= firstShown);
        fParts[i * 2 + 1]->setVisible(i > firstShown);
    }
    fMore->setVisible(firstShown > 0);
}

}  // namespace reelsmith
