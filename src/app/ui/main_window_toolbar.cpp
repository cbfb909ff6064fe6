// The toolbar: nine image buttons, the convert button wide enough for its caption.
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include "app/ui/dark_theme.h"
#include "app/ui/main_window.h"
#include "base/ui/toolbar_icons.h"

namespace reelsmith {

namespace {

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setAccessibleName(caption.isEmpty() ? hint : caption.trimmed());
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return button;
}

}  // namespace

QWidget* Tfrm_Main::BuildToolbar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pnl_Toolbar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    btn_Convert = MakeButton(bar, "btn_Convert", QStringLiteral(" Convert"), QStringLiteral("Convert files (F9)"));
    btn_Convert->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btn_Command =
        MakeButton(bar, "btn_Command", QStringLiteral("FFMPEG command"), QStringLiteral("Send FFMPEG command"));
    btn_Extract = MakeButton(bar, "btn_Extract", {}, QStringLiteral("Extract audio (Ctrl+E)"));
    btn_Burn = MakeButton(bar, "btn_Burn", {}, QStringLiteral("Burn disc (Ctrl+B)"));
    btn_Add = MakeButton(bar, "btn_Add", {}, QStringLiteral("Add files (Ctrl+D)"));
    btn_Paste = MakeButton(bar, "btn_Paste", {}, QStringLiteral("Paste (Ctrl+V)"));
    btn_Play = MakeButton(bar, "btn_Play", {}, QStringLiteral("Preview (F3)"));
    btn_Properties = MakeButton(bar, "btn_Properties", {}, QStringLiteral("Properties (F4)"));
    btn_Remove = MakeButton(bar, "btn_Remove", {}, QStringLiteral("Remove (Del)"));
    for (QToolButton* button :
         {btn_Convert, btn_Command, btn_Extract, btn_Burn, btn_Add, btn_Paste, btn_Play, btn_Properties, btn_Remove})
        row->addWidget(button);
    row->addStretch(1);
    btn_Play->setEnabled(false);
    btn_Properties->setEnabled(false);
    btn_Remove->setEnabled(false);
    return bar;
}

void Tfrm_Main::SetToolbarImages()
{
    const int image = reelsmith::ToolbarImageSize(this);
    // The button keeps the design proportions (36 high for 24-pixel images); the image is
    // centred vertically by the same offset on every button.
    const int height = image + 12;
    const int offset = (height - image) / 2;
    const struct {
        QToolButton* button;
        ToolbarImage image;
    } buttons[] = {
        {btn_Convert, ToolbarImage::Convert}, {btn_Command, ToolbarImage::Command},
        {btn_Extract, ToolbarImage::Extract}, {btn_Burn, ToolbarImage::Burn},
        {btn_Add, ToolbarImage::Add},         {btn_Paste, ToolbarImage::Paste},
        {btn_Play, ToolbarImage::Preview},    {btn_Properties, ToolbarImage::Properties},
        {btn_Remove, ToolbarImage::Remove},
    };
    for (const auto& entry : buttons) {
        entry.button->setIcon(reelsmith::ToolbarIcon(entry.image, this));
        entry.button->setIconSize(QSize(image, image));
        entry.button->setFixedSize(height, height);
        entry.button->setContentsMargins(0, offset, 0, offset);
    }
    btn_Convert->setFixedSize(height * 84 / 36, height);
}

void Tfrm_Main::SetColors(const reelsmith::TButtonColours& colours)
{
    const QString sheet = reelsmith::ButtonSheet(colours);
    for (QToolButton* button :
         {btn_Convert, btn_Command, btn_Extract, btn_Burn, btn_Add, btn_Paste, btn_Play, btn_Properties, btn_Remove}) {
        button->setStyleSheet(sheet);
        // The run windows take their neutral log colour from this palette.
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, colours.Caption);
        palette.setColor(QPalette::WindowText, colours.Caption);
        button->setPalette(palette);
    }
    QString note = QStringLiteral("color: #808080;");
    if (colours.NoteBackground.isValid())
        note += QStringLiteral(" background-color: %1;").arg(colours.NoteBackground.name());
    lbl_Note->setStyleSheet(note);
    lbl_Note->setAutoFillBackground(colours.NoteBackground.isValid());
}

QColor Tfrm_Main::ButtonCaptionColour() const { return btn_Convert->palette().color(QPalette::ButtonText); }

}  // namespace reelsmith
