#include "settings/ui/effects_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/ui/push_button.h"

namespace reelsmith {

namespace {

QCheckBox* MakeCheck(QWidget* parent, const QString& caption, const char* name)
{
    auto* check = new QCheckBox(caption, parent);
    check->setObjectName(QString::fromLatin1(name));
    return check;
}

}  // namespace

Tfrm_Effects::Tfrm_Effects(reelsmith::TEffects& effects, QWidget* parent) : QDialog(parent), m_Effects(effects)
{
    setObjectName(QStringLiteral("frm_Effects"));
    setWindowTitle(QStringLiteral("Effects"));
    setFont(QApplication::font());
    BuildLayout();
    ShowEffects();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

bool Tfrm_Effects::Execute(QWidget* parent, reelsmith::TEffects& effects)
{
    Tfrm_Effects dialog(effects, parent);
    return dialog.exec() == QDialog::Accepted;
}

void Tfrm_Effects::BuildLayout()
{
    chk_VFlip = MakeCheck(this, QStringLiteral("Vertically flip"), "chk_VFlip");
    chk_HFlip = MakeCheck(this, QStringLiteral("Horizontally flip"), "chk_HFlip");
    chk_Negate = MakeCheck(this, QStringLiteral("Negate"), "chk_Negate");
    chk_Dein = MakeCheck(this, QStringLiteral("Deinterlace"), "chk_Dein");
    chk_Rotate = MakeCheck(this, QStringLiteral("Rotate"), "chk_Rotate");
    cb_Rotate = new QComboBox(this);
    cb_Rotate->setObjectName(QStringLiteral("cb_Rotate"));
    cb_Rotate->addItems({QStringLiteral("90 degrees"), QStringLiteral("180 degrees"), QStringLiteral("270 degrees")});
    cb_Rotate->setEnabled(false);
    connect(chk_Rotate, &QCheckBox::toggled, cb_Rotate, &QWidget::setEnabled);

    const TOkCancelButtons okCancel = MakeOkCancelButtons(this);
    btn_OK = okCancel.OK;
    btn_Cancel = okCancel.Cancel;
    connect(btn_OK, &QPushButton::clicked, this, &Tfrm_Effects::btn_OKClick);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(6);
    for (QWidget* check : {chk_VFlip, chk_HFlip, chk_Negate, chk_Dein, chk_Rotate})
        column->addWidget(check);
    auto* rotateRow = new QHBoxLayout;
    rotateRow->setContentsMargins(20, 0, 0, 0);  // indented under "Rotate"
    rotateRow->addWidget(cb_Rotate, 1);
    column->addLayout(rotateRow);
    column->addSpacing(8);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btn_OK);
    buttons->addWidget(btn_Cancel);
    column->addLayout(buttons);
}

void Tfrm_Effects::ShowEffects()
{
    chk_VFlip->setChecked(m_Effects.ef_VFlip);
    chk_HFlip->setChecked(m_Effects.ef_HFlip);
    chk_Negate->setChecked(m_Effects.ef_Negate);
    chk_Dein->setChecked(m_Effects.ef_Dein);
    chk_Rotate->setChecked(m_Effects.ef_Rotate);
    // A position the list does not have would leave it empty and be written back on "OK".
    const int degrees = m_Effects.ef_Degrees;
    cb_Rotate->setCurrentIndex(degrees >= 0 && degrees < cb_Rotate->count() ? degrees : 0);
}

void Tfrm_Effects::btn_OKClick()
{
    m_Effects.ef_VFlip = chk_VFlip->isChecked();
    m_Effects.ef_HFlip = chk_HFlip->isChecked();
    m_Effects.ef_Negate = chk_Negate->isChecked();
    m_Effects.ef_Dein = chk_Dein->isChecked();
    m_Effects.ef_Rotate = chk_Rotate->isChecked();
    m_Effects.ef_Degrees = cb_Rotate->currentIndex();  // kept even with rotation off
    accept();
}

}  // namespace reelsmith
