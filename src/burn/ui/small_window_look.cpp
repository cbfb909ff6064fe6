#include "burn/ui/small_window_look.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

namespace reelsmith {

QLabel* MakePanelWindow(QDialog& window, const char* panelName, const QString& caption, const QString& text)
{
    window.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    window.setWindowTitle(caption);
    window.setModal(true);
    window.setFont(QApplication::font());
    window.setAutoFillBackground(true);
    QPalette grey = window.palette();
    grey.setColor(QPalette::Window, QColor(230, 230, 230));
    window.setPalette(grey);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* panel = new QLabel(text, &window);
    panel->setObjectName(QString::fromLatin1(panelName));
    panel->setAlignment(Qt::AlignCenter);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    panel->setPalette(white);
    panel->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(panel);
    window.resize(320, 80);
    return panel;
}

void CentreOnOwner(QDialog& window)
{
    if (QWidget* owner = window.parentWidget())
        window.move(owner->geometry().center() - window.rect().center());
}

}  // namespace reelsmith
