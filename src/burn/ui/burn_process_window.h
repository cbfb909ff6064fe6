#pragma once
// Tfrm_BurnProcess ("Burning..."): progress, written megabytes and the elapsed time while a
// burn runs. It starts the burn 10 ms after show and closes on the burn-done event; Cancel
// (also Esc) asks the library to abort and keeps waiting for that event.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace reelsmith {

class Tfrm_Burn;

class Tfrm_BurnProcess : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_BurnProcess(Tfrm_Burn& burn);

    QLabel* lbl_Burn = nullptr;
    QLabel* lbl_Percent = nullptr;
    QLabel* lbl_Written = nullptr;
    QLabel* lbl_Elapsed = nullptr;
    QProgressBar* prg_Extract = nullptr;
    QPushButton* btn_Cancel = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* tmr_Burn = nullptr;
    QTimer* tmr_Elapsed = nullptr;
    bool bool_Done = false;
    // "hh:nn:ss" for a number of seconds.
    static QString ClockText(int seconds);

    void btn_CancelClick();
    // Closes the window now; the burn has ended.
    void Finish();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc acts as Cancel
    void done(int result) override;

private:
    void tmr_BurnTimer();
    void tmr_ElapsedTimer();
    void Timer1Timer();

    Tfrm_Burn& m_Burn;
    int m_Seconds = 0;
};

}  // namespace reelsmith
