#include "burn/ui/erase_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

#include "burn/ui/burn_window.h"
#include "burn/ui/small_window_look.h"

namespace reelsmith {

Tfrm_Erase::Tfrm_Erase(Tfrm_Burn& burn) : QDialog(&burn), m_Burn(burn)
{
    setObjectName(QStringLiteral("frm_Erase"));
    pnl_Erase =
        MakePanelWindow(*this, "pnl_Erase", QStringLiteral("Erasing..."), QStringLiteral("Erasing disc...  00:00"));
    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    tmr_Erase = new QTimer(this);
    tmr_Erase->setSingleShot(true);
    tmr_Erase->setInterval(10);
    tmr_Elapsed = new QTimer(this);
    tmr_Elapsed->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Tfrm_Erase::Timer1Timer);
    connect(tmr_Erase, &QTimer::timeout, this, &Tfrm_Erase::tmr_EraseTimer);
    connect(tmr_Elapsed, &QTimer::timeout, this, &Tfrm_Erase::tmr_ElapsedTimer);
    Timer1->start();
}

QString Tfrm_Erase::ClockText(int seconds)
{
    const int inHour = seconds % 3600;
    return QStringLiteral("%1:%2").arg(inHour / 60, 2, 10, QLatin1Char('0')).arg(inHour % 60, 2, 10, QLatin1Char('0'));
}

void Tfrm_Erase::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnOwner(*this);
    str_Erasing = QStringLiteral("Erasing disc... ");
    pnl_Erase->setText(str_Erasing + QStringLiteral("00:00"));
    m_Seconds = 0;
    tmr_Elapsed->start();
    tmr_Erase->start();
}

void Tfrm_Erase::tmr_EraseTimer()
{
    try {
        m_Burn.Burner.Erase(true, false);
    } catch (const EBurnerSDK&) {
    }
    // An erase that did not start raises no event: end as on one that carries the reason.
    if (m_Burn.Burner.LastError() != 0)
        m_Burn.BurnerEraseDone(QString::fromStdString(m_Burn.Burner.LastErrorText()));
}

void Tfrm_Erase::tmr_ElapsedTimer()
{
    ++m_Seconds;
    pnl_Erase->setText(str_Erasing + ClockText(m_Seconds));
}

void Tfrm_Erase::Timer1Timer()
{
    if (!bool_Done)
        return;
    Timer1->stop();
    tmr_Elapsed->stop();
    QDialog::done(Accepted);
}

void Tfrm_Erase::done(int result)
{
    if (bool_Done)
        QDialog::done(result);
}

}  // namespace reelsmith
