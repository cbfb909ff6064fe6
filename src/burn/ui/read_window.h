#pragma once
// Tfrm_Read: a borderless panel shown while the burn window's library lists the devices
// (mode 0) or reads the selected drive's disc (mode 1). The call starts 10 ms after show so
// that the panel is painted first; the window closes when the call returns.
#include <QDialog>

class QLabel;
class QTimer;

namespace reelsmith {

class Tfrm_Burn;

class Tfrm_Read : public QDialog {
    Q_OBJECT
public:
    Tfrm_Read(Tfrm_Burn& burn, int process);

    QLabel* pnl_Read = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* tmr_Read = nullptr;
    QTimer* tmr_Init = nullptr;
    int int_Process = 0;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override {}  // no way out but the end of the call

private:
    void tmr_InitTimer();
    void tmr_ReadTimer();

    Tfrm_Burn& m_Burn;
};

}  // namespace reelsmith
