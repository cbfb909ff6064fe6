#include "intake/ui/adding_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/qt/file_name.h"

namespace reelsmith {

Tfrm_Adding::Tfrm_Adding(QWidget* owner, const QStringList& droppedFiles, reelsmith::IFileListTarget& list,
                         reelsmith::IMediaProbe& probe)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), fDroppedFiles(droppedFiles),
      fList(list), fProbe(probe)
{
    setWindowTitle(QStringLiteral("Adding files..."));
    setModal(true);
    setFixedSize(396, 120);

    lbl_Path = new QLabel(QStringLiteral("Loading AV components..."), this);
    lbl_Path->setAlignment(Qt::AlignCenter);
    lbl_Path->setWordWrap(true);
    lbl_Path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    btn_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_Cancel->setObjectName(QStringLiteral("btn_Cancel"));
    connect(btn_Cancel, &QPushButton::clicked, this, &Tfrm_Adding::btn_CancelClick);

    log_Rejected = new QPlainTextEdit(this);
    log_Rejected->setObjectName(QStringLiteral("log_Rejected"));
    log_Rejected->setReadOnly(true);
    log_Rejected->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_Rejected->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_Cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbl_Path, 1);
    layout->addWidget(log_Rejected, 3);
    layout->addLayout(buttons);

    tmr_Start = new QTimer(this);
    tmr_Start->setSingleShot(true);
    tmr_Start->setInterval(100);
    connect(tmr_Start, &QTimer::timeout, this, &Tfrm_Adding::tmr_StartTimer);
}

void Tfrm_Adding::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!bool_Finished)
        tmr_Start->start();
}

void Tfrm_Adding::closeEvent(QCloseEvent* event)
{
    if (!bool_Finished)
        event->ignore();  // progress windows cannot be closed while their work runs
}

void Tfrm_Adding::reject()
{
    if (bool_Finished)
        QDialog::reject();
}

void Tfrm_Adding::btn_CancelClick()
{
    if (bool_Finished) {  // the button reads "Close" under the list of files not added
        accept();
        return;
    }
    btn_Cancel->setEnabled(false);
    bool_Cancel = true;
}

bool Tfrm_Adding::EnsureLibraries()
{
    if (fProbe.LibrariesLoaded())
        return true;
    std::string error;
    if (fProbe.LoadLibraries(error))
        return true;
    QApplication::beep();
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromStdString(error));
    for (const QString& path : fDroppedFiles)
        fRejected.push_back({path, QStringLiteral("the libraries could not be loaded")});
    return false;
}

void Tfrm_Adding::tmr_StartTimer()
{
    tmr_Start->stop();
    const bool loaded = EnsureLibraries();
    if (loaded) {
        reelsmith::TAddingHooks hooks;
        hooks.ShowStatus = [this](const QString& text) { SetPathText(text); };
        hooks.ProcessMessages = [] { QCoreApplication::processEvents(); };
        hooks.Cancelled = [this] { return bool_Cancel; };
        reelsmith::TAddingRoutine routine(fProbe, fList, hooks);
        int_Added = routine.Run(fDroppedFiles);
        fRejected = routine.Rejected();
    }
    bool_Finished = true;
    // Without the libraries the error box has said why nothing was added.
    if (fRejected.empty() || !bool_ShowRejected || !loaded)
        accept();
    else
        ShowRejected();
}

void Tfrm_Adding::ShowRejected()
{
    setWindowTitle(QStringLiteral("Adding files"));
    lbl_Path->setText(QStringLiteral("%1 file(s) added. Not added:").arg(int_Added));
    QStringList lines;
    for (const reelsmith::TRejectedInput& file : fRejected)
        lines.append(reelsmith::DisplayedFileName(file.Path) + QStringLiteral(": ") + file.Reason);
    log_Rejected->setPlainText(lines.join(QLatin1Char('\n')));
    log_Rejected->show();
    lbl_Path->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFixedSize(560, 280);
    btn_Cancel->setText(QStringLiteral("Close"));
    btn_Cancel->setEnabled(true);
    btn_Cancel->setFocus();
}

void Tfrm_Adding::SetPathText(const QString& text)
{
    // Paths carry no blanks to wrap at; a zero-width space after each "/" lets long ones wrap.
    QString wrappable = text;
    wrappable.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    lbl_Path->setText(wrappable);
}

}  // namespace reelsmith
