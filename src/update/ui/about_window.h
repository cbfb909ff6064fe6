#pragma once
// The About box: product picture, name, version, build date, copyright, a line against
// illegal copies and the maker's web address. A click on the address opens it; any other
// click or any key closes the box.
#include <QDialog>

class QFrame;
class QLabel;

namespace reelsmith {

// "Version 6.0 (64-bit)".
QString VersionCaption();
// The date the program was built, as "YYYY-MM-DD".
QString BuildDate();

class Tfrm_About : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_About(QWidget* owner);

    QFrame* Panel3 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* lbl_BA = nullptr;
    QLabel* lbl_Edition = nullptr;
    QLabel* lbl_VersionNumber = nullptr;
    QLabel* lbl_Version = nullptr;
    QLabel* Label1 = nullptr;  // the maker's web address

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildLayout();
    void PlaceLink();
};

// Help > About: the box, modal over the main window.
void About1Click(QWidget* owner);

}  // namespace reelsmith
