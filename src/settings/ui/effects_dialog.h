#pragma once
// The Effects dialog: flips, negate, deinterlace and rotation of the output picture.
#include <QDialog>

#include "settings/output_choices.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace reelsmith {

class Tfrm_Effects : public QDialog {
    Q_OBJECT
public:
    // Shows `effects`; "OK" writes the dialog's values back into it, "Cancel" leaves it alone.
    explicit Tfrm_Effects(reelsmith::TEffects& effects, QWidget* parent = nullptr);

    // Opens the dialog modally over `parent`; true when the user pressed "OK".
    static bool Execute(QWidget* parent, reelsmith::TEffects& effects);

    QCheckBox* chk_VFlip = nullptr;
    QCheckBox* chk_HFlip = nullptr;
    QCheckBox* chk_Negate = nullptr;
    QCheckBox* chk_Dein = nullptr;
    QCheckBox* chk_Rotate = nullptr;
    QComboBox* cb_Rotate = nullptr;
    QPushButton* btn_OK = nullptr;
    QPushButton* btn_Cancel = nullptr;

private:
    void BuildLayout();
    void ShowEffects();
    void btn_OKClick();

    reelsmith::TEffects& m_Effects;
};

}  // namespace reelsmith
