#pragma once
// Tfrm_Erase: a borderless panel with a minutes:seconds clock while an erase runs. It starts
// the erase 10 ms after show and closes within 100 ms of the erase-done event; there is no
// way to cancel an erase.
#include <QDialog>

class QLabel;
class QTimer;

namespace reelsmith {

class Tfrm_Burn;

class Tfrm_Erase : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Erase(Tfrm_Burn& burn);

    QLabel* pnl_Erase = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* tmr_Erase = nullptr;
    QTimer* tmr_Elapsed = nullptr;
    bool bool_Done = false;
    QString str_Erasing;
    int Seconds() const { return m_Seconds; }
    // The clock's text for a number of seconds: "nn:ss", the hour dropped.
    static QString ClockText(int seconds);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override {}
    void done(int result) override;

private:
    void tmr_EraseTimer();
    void tmr_ElapsedTimer();
    void Timer1Timer();

    Tfrm_Burn& m_Burn;
    int m_Seconds = 0;
};

}  // namespace reelsmith
