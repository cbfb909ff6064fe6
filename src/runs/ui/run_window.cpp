#include "runs/ui/run_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFrame>
#include <QUrl>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <cstdio>

#include "intake/rejected_input.h"
#include "base/ui/system_sound.h"
#include "base/ui/taskbar_progress.h"
#include "runs/ui/run_notification.h"

namespace reelsmith {

namespace {

TRunSetup WithKind(TRunSetup setup, TRunKind kind)
{
    setup.Kind = kind;
    return setup;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TRunWindow::TRunWindow(QWidget* owner, TRunSetup setup, TRunWindowOptions options)
    : QDialog(owner), m_Options(options), m_Taskbar(options.Taskbar)
{
    setObjectName(setup.Kind == TRunKind::Audio ? QStringLiteral("frm_Audio") : QStringLiteral("frm_Video"));
    setFont(QApplication::font());
    setWindowTitle(QStringLiteral("Saving..."));
    BuildLayout();
    if (m_Options.Unattended) {
        setup.AskOverwrite = nullptr;
        setup.ReportNotConverted = PrintNotConverted;
    } else if (!setup.AskOverwrite) {
        setup.AskOverwrite = [this](const QString& fileName) { return AskOverwrite(fileName); };
    }
    m_Run = std::make_unique<TConversionRun>(std::move(setup), *this);
    connect(m_Run.get(), &TConversionRun::RunOver, this, &TRunWindow::RunOver, Qt::QueuedConnection);
    lbl_File->setText(m_Run->Display().FileLabel);
    connect(btn_Pause, &QPushButton::clicked, m_Run.get(), &TConversionRun::btn_PauseClick);
    connect(btn_Stop, &QPushButton::clicked, m_Run.get(), &TConversionRun::btn_StopClick);
    connect(btn_Close, &QPushButton::clicked, this, &QDialog::close);
    connect(btn_OpenFolder, &QPushButton::clicked, this, &TRunWindow::OpenFolder);
    // Stop also ends the overwrite question (as "No"); the run then stops.
    connect(btn_Stop, &QPushButton::clicked, this, [this] { AnswerOverwrite(TOverwriteAnswer::No); });
}

TRunWindow::~TRunWindow() = default;

void TRunWindow::BuildLayout()
{
    resize(560, 400);
    auto* layout = new QVBoxLayout(this);

    lbl_File = MakeLabel(this, "lbl_File", QString());
    layout->addWidget(lbl_File);

    log_Main = new QTextEdit(this);
    log_Main->setObjectName(QStringLiteral("log_Main"));
    log_Main->setReadOnly(true);
    log_Main->setFrameShape(QFrame::NoFrame);
    log_Main->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_Main->setFont(QApplication::font());
    layout->addWidget(log_Main, 1);

    auto* progressRow = new QHBoxLayout;
    prg_Process = new QProgressBar(this);
    prg_Process->setObjectName(QStringLiteral("prg_Process"));
    prg_Process->setRange(0, 100);
    prg_Process->setValue(0);
    prg_Process->setTextVisible(false);
    lbl_Percent = MakeLabel(this, "lbl_Percent", QString(), Qt::AlignRight);
    lbl_Percent->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 8);
    progressRow->addWidget(prg_Process, 1);
    progressRow->addWidget(lbl_Percent);
    layout->addLayout(progressRow);

    auto* batchRow = new QHBoxLayout;
    prg_Batch = new QProgressBar(this);
    prg_Batch->setObjectName(QStringLiteral("prg_Batch"));
    prg_Batch->setRange(0, 100);
    prg_Batch->setValue(0);
    prg_Batch->setTextVisible(false);
    lbl_BatchPercent = MakeLabel(this, "lbl_BatchPercent", QString(), Qt::AlignRight);
    lbl_BatchPercent->setMinimumWidth(lbl_Percent->minimumWidth());
    batchRow->addWidget(MakeLabel(this, "lbl_Batch", QStringLiteral("All files:")));
    batchRow->addWidget(prg_Batch, 1);
    batchRow->addWidget(lbl_BatchPercent);
    layout->addLayout(batchRow);

    auto* times = new QGridLayout;
    lbl_Elapsed = MakeLabel(this, "lbl_Elapsed", QStringLiteral("Time elapsed:"));
    lbl_ElapsedValue = MakeLabel(this, "lbl_ElapsedValue", QStringLiteral("00:00:00"));
    lbl_Remaining = MakeLabel(this, "lbl_Remaining", QStringLiteral("Time remaining:"));
    lbl_RemainingValue = MakeLabel(this, "lbl_RemainingValue", QString());
    lbl_TotalRemaining = MakeLabel(this, "lbl_TotalRemaining", QStringLiteral("Total remaining:"));
    lbl_TotalRemainingValue = MakeLabel(this, "lbl_TotalRemainingValue", QString());
    lbl_Size = MakeLabel(this, "lbl_Size", QStringLiteral("Output size:"), Qt::AlignRight);
    lbl_FPS = MakeLabel(this, "lbl_FPS", QString(), Qt::AlignRight);
    times->addWidget(lbl_Elapsed, 0, 0);
    times->addWidget(lbl_ElapsedValue, 0, 1);
    times->addWidget(lbl_Remaining, 1, 0);
    times->addWidget(lbl_RemainingValue, 1, 1);
    times->addWidget(lbl_TotalRemaining, 2, 0);
    times->addWidget(lbl_TotalRemainingValue, 2, 1);
    times->addWidget(lbl_Size, 0, 2);
    times->addWidget(lbl_FPS, 0, 3);
    times->setColumnStretch(2, 1);
    layout->addLayout(times);

    auto* buttons = new QHBoxLayout;
    btn_Pause = MakeButton(this, "btn_Pause", QStringLiteral("Pause"));
    btn_Stop = MakeButton(this, "btn_Stop", QStringLiteral("Stop"));
    btn_Close = MakeButton(this, "btn_Close", QStringLiteral("Close"));
    btn_OpenFolder = MakeButton(this, "btn_OpenFolder", QStringLiteral("Open folder"));
    btn_Pause->setEnabled(false);
    btn_Stop->setEnabled(false);
    btn_OpenFolder->setVisible(false);
    buttons->addWidget(btn_Pause);
    buttons->addWidget(btn_Stop);
    buttons->addStretch(1);
    buttons->addWidget(btn_OpenFolder);
    buttons->addWidget(btn_Close);
    BuildOverwritePanel(layout);
    layout->addLayout(buttons);
}

void TRunWindow::BuildOverwritePanel(QVBoxLayout* layout)
{
    pnl_Overwrite = new QFrame(this);
    pnl_Overwrite->setObjectName(QStringLiteral("pnl_Overwrite"));
    pnl_Overwrite->setFrameShape(QFrame::StyledPanel);
    auto* panel = new QVBoxLayout(pnl_Overwrite);
    lbl_Overwrite = MakeLabel(pnl_Overwrite, "lbl_Overwrite", QString());
    lbl_Overwrite->setWordWrap(true);
    panel->addWidget(lbl_Overwrite);
    auto* answers = new QHBoxLayout;
    struct TAnswerButton {
        const char* Name;
        const char* Text;
        TOverwriteAnswer Answer;
    };
    static const TAnswerButton kAnswers[] = {
        {"btn_OverwriteYes", "&Yes", TOverwriteAnswer::Yes},
        {"btn_OverwriteYesToAll", "Yes to &all", TOverwriteAnswer::YesToAll},
        {"btn_OverwriteNo", "&No", TOverwriteAnswer::No},
        {"btn_OverwriteNoToAll", "N&o to all", TOverwriteAnswer::NoToAll},
        {"btn_OverwriteKeepBoth", "&Keep both", TOverwriteAnswer::KeepBoth},
    };
    for (const TAnswerButton& answer : kAnswers) {
        QPushButton* button = MakeButton(pnl_Overwrite, answer.Name, QString::fromLatin1(answer.Text));
        const TOverwriteAnswer value = answer.Answer;
        connect(button, &QPushButton::clicked, this, [this, value] { AnswerOverwrite(value); });
        answers->addWidget(button);
    }
    answers->addStretch(1);
    panel->addLayout(answers);
    pnl_Overwrite->setVisible(false);
    layout->addWidget(pnl_Overwrite);
}

void TRunWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_Shown)
        return;
    m_Shown = true;
    m_Run->Show();
}

void TRunWindow::closeEvent(QCloseEvent* event)
{
    if (!m_Run->CanClose()) {
        event->ignore();
        AskToStop();
        return;
    }
    QDialog::closeEvent(event);
}

void TRunWindow::done(int result)
{
    if (!m_Run->CanClose()) {
        AskToStop();
        return;
    }
    m_Run->FormClose();
    QDialog::done(result);
}

void TRunWindow::LogAdded(const TLogLine& line)
{
    if (m_Options.Unattended) {
        std::fprintf(stdout, "%s\n", line.Text.toLocal8Bit().constData());
        std::fflush(stdout);
    }
    if (line.Detail)
        return;  // for log.txt: the window shows the plain line before it
    // Any failure while drawing must not stop the run.
    try {
        const TRgb rgb = LogColourRgb(line.Colour, m_Options.Look.Dark, m_Options.Look.DarkNeutral);
        QTextCharFormat format;
        format.setForeground(QColor(rgb.R, rgb.G, rgb.B));
        format.setFontWeight(line.Bold ? QFont::Bold : QFont::Normal);
        QTextCursor cursor(log_Main->document());
        cursor.movePosition(QTextCursor::End);
        if (!m_FirstLine)
            cursor.insertBlock();
        m_FirstLine = false;
        cursor.setCharFormat(format);
        cursor.insertText(line.Text, format);
        log_Main->verticalScrollBar()->setValue(log_Main->verticalScrollBar()->maximum());
    } catch (...) {
    }
}

void TRunWindow::DisplayChanged()
{
    const TRunDisplay& d = m_Run->Display();
    setWindowTitle(d.Caption);
    lbl_File->setText(d.FileLabel);
    prg_Process->setValue(d.Percent);
    lbl_Percent->setText(d.PercentText);
    lbl_FPS->setText(d.SizeText);
    lbl_ElapsedValue->setText(d.ElapsedText);
    lbl_RemainingValue->setText(d.RemainingText);
    btn_Pause->setText(d.PauseCaption);
    btn_Pause->setEnabled(d.PauseEnabled);
    btn_Stop->setEnabled(d.StopEnabled);
    btn_Pause->setVisible(d.StopPauseVisible);
    btn_Stop->setVisible(d.StopPauseVisible);
    btn_Close->setEnabled(d.CloseEnabled);
    prg_Batch->setValue(d.BatchPercent);
    lbl_BatchPercent->setText(QStringLiteral("%1%").arg(d.BatchPercent));
    lbl_TotalRemainingValue->setText(d.TotalRemainingText);
    btn_OpenFolder->setVisible(d.OpenFolderEnabled);
    lbl_Size->setVisible(!d.SizeText.isEmpty());
    ApplyTaskbar();
}

void TRunWindow::ApplyTaskbar()
{
    auto* bar = qobject_cast<TWin7TaskProgressBar*>(m_Taskbar.data());
    if (!bar)
        return;
    // Only changes are passed on: each one may be a message on the session bus.
    const TTaskbarDisplay& taskbar = m_Run->Taskbar();
    if (taskbar.Visible && !bar->Visible()) {
        bar->SetVisible(true);
        bar->SetStyle(TTaskBarProgressStyle::tbpsNormal);
    }
    if (bar->Max() != taskbar.Max)
        bar->SetMax(taskbar.Max);
    if (bar->Progress() != taskbar.Progress)
        bar->SetProgress(taskbar.Progress);
    if (!taskbar.Visible && bar->Visible())
        bar->SetVisible(false);
}

void TRunWindow::ErrorBeep() { PlaySystemSound(TSystemSound::CriticalStop); }

void TRunWindow::DefaultBeep() { PlaySystemSound(TSystemSound::Default); }

void TRunWindow::Terminate()
{
    m_Terminated = true;
    QCoreApplication::exit(m_Run->FailedRows() > 0 || m_Run->LogLost() ? 1 : 0);
}

void TRunWindow::RunOver()
{
    if (m_CloseWhenOver) {
        m_CloseWhenOver = false;
        close();
        return;
    }
    if (!m_Options.Unattended) {
        Notify();
        return;
    }
    if (m_Terminated)
        return;
    // Nobody can close the window: the program ends with the run (without "x", no log file).
    m_Terminated = true;
    QCoreApplication::exit(m_Run->Completed() && m_Run->FailedRows() == 0 ? 0 : 1);
}

TOverwriteAnswer TRunWindow::AskOverwrite(const QString& fileName)
{
    lbl_Overwrite->setText(QStringLiteral("File \"%1\" already exists!\nOverwrite existing file?").arg(fileName));
    pnl_Overwrite->setVisible(true);
    m_Answer = TOverwriteAnswer::No;
    QEventLoop question;
    m_Question = &question;
    question.exec();
    m_Question = nullptr;
    pnl_Overwrite->setVisible(false);
    return m_Answer;
}

void TRunWindow::AnswerOverwrite(TOverwriteAnswer answer)
{
    if (!m_Question)
        return;
    m_Answer = answer;
    m_Question->quit();
}

void TRunWindow::OpenFolder()
{
    const QString folder = m_Run->OutputFolder();
    if (!folder.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool TRunWindow::AskToStop()
{
    if (m_CloseWhenOver)
        return true;
    if (m_Run->Over() || !m_Run->Display().StopEnabled)
        return false;
    // Asked from the main window, the question shows over the run it is about.
    raise();
    activateWindow();
    if (QMessageBox::question(this, QStringLiteral("Stop"), QStringLiteral("Stop the run?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    // The run may have ended while the question showed.
    if (!m_Run->Over() && m_Run->Display().StopEnabled) {
        m_CloseWhenOver = true;
        AnswerOverwrite(TOverwriteAnswer::No);
        m_Run->btn_StopClick();
    }
    return true;
}

// Told only when the user is elsewhere: a window in front needs no notification.
void TRunWindow::Notify()
{
    if (isActiveWindow())
        return;
    const TRunTally& tally = m_Run->Tally();
    SendDesktopNotification(RunNotificationSummary(tally, m_Run->Cancelled()), RunNotificationBody(tally));
}

Tfrm_Video::Tfrm_Video(QWidget* owner, TRunSetup setup, TRunWindowOptions options)
    : TRunWindow(owner, WithKind(std::move(setup), TRunKind::Video), options)
{
}

Tfrm_Audio::Tfrm_Audio(QWidget* owner, TRunSetup setup, TRunWindowOptions options)
    : TRunWindow(owner, WithKind(std::move(setup), TRunKind::Audio), options)
{
}

}  // namespace reelsmith
