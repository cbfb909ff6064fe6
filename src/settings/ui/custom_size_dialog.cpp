#include "settings/ui/custom_size_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/ui/push_button.h"

namespace reelsmith {

namespace {

// Digits only, 1 to 99999, no thousands separators, starting at 1.
QSpinBox* MakeSizeBox(QWidget* parent, const char* name)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(1, 99999);
    box->setSingleStep(1);
    box->setGroupSeparatorShown(false);
    box->setValue(1);
    box->setMinimumWidth(80);
    return box;
}

}  // namespace

Tfrm_Custom::Tfrm_Custom(reelsmith::TOutputChoices& choices, QWidget* parent)
    : QDialog(parent, Qt::Tool), m_Choices(choices)
{
    setObjectName(QStringLiteral("frm_Custom"));
    setWindowTitle(QStringLiteral("Custom Frame Size"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    BuildLayout();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

bool Tfrm_Custom::Execute(QWidget* parent, reelsmith::TOutputChoices& choices)
{
    Tfrm_Custom dialog(choices, parent);
    return dialog.exec() == QDialog::Accepted;
}

QString Tfrm_Custom::FrameSizeText() const
{
    return txt_Width->cleanText() + QLatin1Char('x') + txt_Height->cleanText();
}

void Tfrm_Custom::BuildLayout()
{
    txt_Width = MakeSizeBox(this, "txt_Width");
    txt_Height = MakeSizeBox(this, "txt_Height");
    const TOkCancelButtons okCancel = MakeOkCancelButtons(this);
    btn_OK = okCancel.OK;
    btn_Cancel = okCancel.Cancel;
    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_Custom::btn_OKClick);
    // An empty box or a zero would give a size no scaler accepts: "OK" waits for both.
    // The box's own signal stays silent while its text is not a number, so watch the editor.
    for (QSpinBox* box : {txt_Width, txt_Height})
        connect(box->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &Tfrm_Custom::UpdateOK);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    auto* widthLabel = new QLabel(QStringLiteral("Width:"), this);
    widthLabel->setBuddy(txt_Width);
    auto* heightLabel = new QLabel(QStringLiteral("Height:"), this);
    heightLabel->setBuddy(txt_Height);
    grid->addWidget(widthLabel, 0, 0);
    grid->addWidget(heightLabel, 0, 2);
    grid->addWidget(txt_Width, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("x"), this), 1, 1);
    grid->addWidget(txt_Height, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btn_OK);
    buttons->addWidget(btn_Cancel);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(10);
    column->addLayout(grid);
    column->addLayout(buttons);
}

void Tfrm_Custom::UpdateOK()
{
    btn_OK->setEnabled(txt_Width->hasAcceptableInput() && txt_Height->hasAcceptableInput());
}

void Tfrm_Custom::btn_OKClick()
{
    if (!btn_OK->isEnabled())
        return;
    reelsmith::SelectCustomFrameSize(m_Choices, FrameSizeText().toStdString());
    accept();
}

}  // namespace reelsmith
