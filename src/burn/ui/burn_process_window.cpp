#include "burn/ui/burn_process_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "burn/ui/burn_window.h"
#include "burn/ui/small_window_look.h"

namespace reelsmith {

Tfrm_BurnProcess::Tfrm_BurnProcess(Tfrm_Burn& burn) : QDialog(&burn), m_Burn(burn)
{
    setObjectName(QStringLiteral("frm_BurnProcess"));
    // A tool window without system buttons: it closes only through its done flag.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Burning..."));
    setModal(true);
    setFont(QApplication::font());
    auto* layout = new QGridLayout(this);
    lbl_Burn = new QLabel(QStringLiteral("Burning disc..."), this);
    lbl_Burn->setObjectName(QStringLiteral("lbl_Burn"));
    lbl_Percent = new QLabel(QStringLiteral("0%"), this);
    lbl_Percent->setObjectName(QStringLiteral("lbl_Percent"));
    lbl_Percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    prg_Extract = new QProgressBar(this);
    prg_Extract->setObjectName(QStringLiteral("prg_Extract"));
    prg_Extract->setRange(0, 100);
    prg_Extract->setValue(0);
    prg_Extract->setTextVisible(false);
    lbl_Written = new QLabel(QStringLiteral("Written:"), this);
    lbl_Written->setObjectName(QStringLiteral("lbl_Written"));
    lbl_Elapsed = new QLabel(QStringLiteral("00:00"), this);
    lbl_Elapsed->setObjectName(QStringLiteral("lbl_Elapsed"));
    lbl_Elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    btn_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
    btn_Cancel->setAutoDefault(false);
    layout->addWidget(lbl_Burn, 0, 0);
    layout->addWidget(lbl_Percent, 0, 1);
    layout->addWidget(prg_Extract, 1, 0, 1, 2);
    layout->addWidget(lbl_Written, 2, 0);
    layout->addWidget(lbl_Elapsed, 2, 1);
    layout->addWidget(btn_Cancel, 3, 1, Qt::AlignRight);
    layout->setColumnStretch(0, 1);
    resize(380, 130);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    tmr_Burn = new QTimer(this);
    tmr_Burn->setSingleShot(true);
    tmr_Burn->setInterval(10);
    tmr_Elapsed = new QTimer(this);
    tmr_Elapsed->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Tfrm_BurnProcess::Timer1Timer);
    connect(tmr_Burn, &QTimer::timeout, this, &Tfrm_BurnProcess::tmr_BurnTimer);
    connect(tmr_Elapsed, &QTimer::timeout, this, &Tfrm_BurnProcess::tmr_ElapsedTimer);
    connect(btn_Cancel, &QPushButton::clicked, this, &Tfrm_BurnProcess::btn_CancelClick);
    Timer1->start();
}

QString Tfrm_BurnProcess::ClockText(int seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void Tfrm_BurnProcess::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOnOwner(*this);
    lbl_Burn->setText(QStringLiteral("Burning disc... "));
    m_Seconds = 0;
    tmr_Elapsed->start();
    tmr_Burn->start();
}

void Tfrm_BurnProcess::tmr_BurnTimer()
{
    try {
        m_Burn.Burner.Burn();
    } catch (const EBurnerSDK&) {
    }
    // A burn that did not start raises no event: end as on one that carries the reason.
    if (m_Burn.Burner.LastError() != 0)
        m_Burn.BurnerBurnDone(QString::fromStdString(m_Burn.Burner.LastErrorText()));
}

void Tfrm_BurnProcess::tmr_ElapsedTimer()
{
    ++m_Seconds;
    lbl_Elapsed->setText(ClockText(m_Seconds));
}

void Tfrm_BurnProcess::Timer1Timer()
{
    if (bool_Done)
        Finish();
}

void Tfrm_BurnProcess::Finish()
{
    bool_Done = true;
    Timer1->stop();
    tmr_Elapsed->stop();
    QDialog::done(Accepted);
}

void Tfrm_BurnProcess::btn_CancelClick()
{
    if (!btn_Cancel->isEnabled())
        return;
    btn_Cancel->setEnabled(false);
    try {
        m_Burn.Burner.Abort();
    } catch (const EBurnerSDK&) {
    }
}

void Tfrm_BurnProcess::reject() { btn_CancelClick(); }

void Tfrm_BurnProcess::closeEvent(QCloseEvent* event)
{
    if (!bool_Done)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void Tfrm_BurnProcess::done(int result)
{
    if (bool_Done)
        QDialog::done(result);
}

}  // namespace reelsmith
