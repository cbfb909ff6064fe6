#include "burn/ui/read_window.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include "burn/ui/burn_window.h"
#include "burn/ui/small_window_look.h"

namespace reelsmith {

namespace {

QTimer* OneShot(QObject* parent, int interval)
{
    auto* timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(interval);
    return timer;
}

}  // namespace

Tfrm_Read::Tfrm_Read(Tfrm_Burn& burn, int process) : QDialog(&burn), int_Process(process), m_Burn(burn)
{
    setObjectName(QStringLiteral("frm_Read"));
    pnl_Read = MakePanelWindow(*this, "pnl_Read", QStringLiteral("Initialization..."),
                               QStringLiteral("Getting disc information..."));
    // Qt keeps the window painted by itself; the timer stays for its place in the window.
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    Timer1->start();
    tmr_Read = OneShot(this, 10);
    tmr_Init = OneShot(this, 10);
    connect(tmr_Init, &QTimer::timeout, this, &Tfrm_Read::tmr_InitTimer);
    connect(tmr_Read, &QTimer::timeout, this, &Tfrm_Read::tmr_ReadTimer);
}

void Tfrm_Read::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnOwner(*this);
    if (int_Process == 0) {
        pnl_Read->setText(QStringLiteral("Initialization, please wait..."));
        tmr_Init->start();
    } else if (int_Process == 1) {
        pnl_Read->setText(QStringLiteral("Getting disc information..."));
        tmr_Read->start();
    }
}

void Tfrm_Read::tmr_InitTimer()
{
    // A library that cannot be activated leaves Burner inactive; the burn window says why.
    try {
        m_Burn.Burner.SetActive(true);
        if (m_Burn.Burner.Active())
            m_Burn.Burner.GetDevices();
    } catch (const EBurnerSDK&) {
    }
    accept();
}

void Tfrm_Read::tmr_ReadTimer()
{
    m_Burn.sdk_NoDisc = true;
    try {
        m_Burn.Burner.SetBurnDevice(m_Burn.cb_Device_Burn->currentIndex() + 1);
        m_Burn.Burner.GetMediumInformation(0);
        if (m_Burn.Burner.LastError() == 0 && m_Burn.Burner.MediumInformation().MediumTypeCode != mtcUnknown)
            m_Burn.sdk_NoDisc = false;
    } catch (const EBurnerSDK&) {
    }
    accept();
}

}  // namespace reelsmith
