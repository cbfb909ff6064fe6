#pragma once
// The FFMPEG command dialog: a whole option string of the user's for one conversion, and the
// output container it is written into.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace reelsmith {

class Tfrm_Command : public QDialog {
    Q_OBJECT
public:
    // Starts with `command` (the last one accepted, or empty) and the format list at
    // `formatPosition`.
    explicit Tfrm_Command(int formatPosition, const QString& command = {}, QWidget* parent = nullptr);

    // Opens the dialog modally over `parent`, with `options` as the command. "OK" accepts only
    // a command the engine reads for the chosen format (an empty one or a typing error is
    // named in the dialog, which stays open), writes it exactly as typed into `options` and
    // the chosen format into `formatPosition` and returns true; otherwise neither is touched.
    static bool Execute(QWidget* parent, QString& options, int& formatPosition);

    QString Command() const;
    int FormatPosition() const;

    QLabel* lbl_Command = nullptr;
    QLineEdit* txt_Command = nullptr;
    QLabel* lbl_Example = nullptr;
    QComboBox* cb_VideoFormat = nullptr;
    QPushButton* btn_OK = nullptr;
    QPushButton* btn_Cancel = nullptr;
    QLabel* lbl_Problem = nullptr;  // why OK did not close the dialog

private:
    void BuildLayout();
    void btn_OKClick();
};

}  // namespace reelsmith
