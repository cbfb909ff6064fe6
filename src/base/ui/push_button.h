#pragma once
// The windows' push buttons: a caption and the object name tests and style sheets find it by;
// the dialogs' OK/Cancel pair, OK the default and Cancel rejecting.

#include <QString>

class QDialog;
class QPushButton;
class QWidget;

namespace reelsmith {

QPushButton* MakePushButton(QWidget* parent, const QString& caption, const char* objectName);

struct TOkCancelButtons {
    QPushButton* OK;
    QPushButton* Cancel;
};

// "OK" (btn_OK, the default button) and "Cancel" (btn_Cancel, closes the dialog as rejected);
// what OK does is the caller's.
TOkCancelButtons MakeOkCancelButtons(QDialog* dialog);

}  // namespace reelsmith
