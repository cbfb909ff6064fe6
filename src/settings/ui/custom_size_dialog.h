#pragma once
// The custom frame size dialog: puts a width x height of the user's into the resolution list.
#include <QDialog>

#include "settings/output_choices.h"

class QPushButton;
class QSpinBox;

namespace reelsmith {

class Tfrm_Custom : public QDialog {
    Q_OBJECT
public:
    // "OK" selects the entered size in `choices` (an existing entry, else the custom slot).
    explicit Tfrm_Custom(reelsmith::TOutputChoices& choices, QWidget* parent = nullptr);

    // Opens the dialog modally over `parent`; true when the user pressed "OK".
    static bool Execute(QWidget* parent, reelsmith::TOutputChoices& choices);

    // width + "x" + height as the boxes show them.
    QString FrameSizeText() const;

    QSpinBox* txt_Width = nullptr;
    QSpinBox* txt_Height = nullptr;
    QPushButton* btn_OK = nullptr;
    QPushButton* btn_Cancel = nullptr;

private:
    void BuildLayout();
    void UpdateOK();
    void btn_OKClick();

    reelsmith::TOutputChoices& m_Choices;
};

}  // namespace reelsmith
