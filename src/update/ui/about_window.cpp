#include "update/ui/about_window.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "base/ui/open_external.h"
#include "base/ui/product_picture.h"
#include "update/update_address.h"
#include "update/version_compare.h"

#ifndef REELSMITH_BUILD_DATE
#define REELSMITH_BUILD_DATE "unknown"
#endif

namespace reelsmith {

namespace {

constexpr int kClientWidth = 494;
constexpr int kClientHeight = 295;
constexpr int kPictureSide = 160;
constexpr int kHighDpi = 120;
const QColor kPanelColour(28, 38, 62);
const QColor kFontColour(23, 23, 23);
const QColor kLinkColour(132, 183, 234);
// The window's own font colour would vanish on the dark panel; the plain lines are light grey.
const QColor kTextColour(200, 208, 220);

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int pointsLarger, bool bold,
                  const QColor& colour)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() + pointsLarger);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    // The dark theme's style sheet must not recolour the box.
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
    return label;
}

}  // namespace

QString VersionCaption() { return QStringLiteral("Version %1 (64-bit)").arg(QString::fromLatin1(kOwnVersion)); }

QString BuildDate() { return QStringLiteral(REELSMITH_BUILD_DATE); }

Tfrm_About::Tfrm_About(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frm_About"));
    setFont(QApplication::font());
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(kClientWidth, kClientHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, kFontColour);
    setPalette(palette);
    BuildLayout();
}

void Tfrm_About::BuildLayout()
{
    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(0, 0, kClientWidth, kClientHeight);
    Panel3->setStyleSheet(
        QStringLiteral("QFrame#Panel3 { background-color: %1; border: none; }").arg(kPanelColour.name()));

    Image1 = new QLabel(Panel3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image2 = new QLabel(Panel3);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(ProductPicture(kPictureSide, 2.0));
    Image2->hide();
    const QScreen* screen = QApplication::primaryScreen();
    const bool highDpi = screen && screen->logicalDotsPerInch() > kHighDpi;
    Image1->setPixmap(highDpi ? Image2->pixmap() : ProductPicture(kPictureSide, devicePixelRatioF()));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setFixedWidth(kPictureSide + 40);

    lbl_BA = MakeLabel(Panel3, "lbl_BA", QStringLiteral("Reelsmith"), 7, true, Qt::white);
    lbl_Edition = MakeLabel(Panel3, "lbl_Edition", QStringLiteral("Batch video converter"), 0, false, kTextColour);
    lbl_VersionNumber = MakeLabel(Panel3, "lbl_VersionNumber", VersionCaption(), 2, true, Qt::white);
    lbl_Version = MakeLabel(Panel3, "lbl_Version",
                            QStringLiteral("Build date: %1\n"
                                           "Copyright \u00A9 Tarnwick. All rights reserved.\n"
                                           "Unauthorised copying or distribution of this program is prohibited.")
                                .arg(BuildDate()),
                            0, false, kTextColour);
    lbl_Version->setWordWrap(true);
    Label1 = MakeLabel(Panel3, "Label1", QString::fromStdString(MakerWebSite()), 0, false, kLinkColour);
    QFont linkFont = Label1->font();
    linkFont.setUnderline(true);
    Label1->setFont(linkFont);
    Label1->setCursor(Qt::PointingHandCursor);

    auto* row = new QHBoxLayout(Panel3);
    row->setContentsMargins(8, 8, 16, 8);
    row->addWidget(Image1, 0, Qt::AlignVCenter);
    auto* text = new QVBoxLayout;
    text->addStretch(1);
    text->addWidget(lbl_BA);
    text->addWidget(lbl_Edition);
    text->addSpacing(10);
    text->addWidget(lbl_VersionNumber);
    text->addSpacing(4);
    text->addWidget(lbl_Version);
    // Room for the link, which sits below the text by its own height (PlaceLink).
    text->addSpacing(2 * Label1->sizeHint().height());
    text->addStretch(1);
    row->addLayout(text, 1);

    for (QWidget* widget :
         std::initializer_list<QWidget*>{Panel3, Image1, lbl_BA, lbl_Edition, lbl_VersionNumber, lbl_Version, Label1})
        widget->installEventFilter(this);
}

void Tfrm_About::PlaceLink()
{
    Label1->adjustSize();
    Label1->move(lbl_Version->x(), lbl_Version->geometry().bottom() + 1 + Label1->height());
}

void Tfrm_About::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Panel3->layout()->activate();
    PlaceLink();
    if (parentWidget())
        move(parentWidget()->geometry().center() - rect().center());
}

bool Tfrm_About::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Label1)
            OpenExternally(this, QUrl(Label1->text()), QStringLiteral("web page"), DesktopOpener());
        else
            accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tfrm_About::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    accept();
}

void About1Click(QWidget* owner)
{
    Tfrm_About about(owner);
    about.exec();
}

}  // namespace reelsmith
