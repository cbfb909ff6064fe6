#pragma once
// Tfrm_Adding: the small modal window that runs the adding routine with a Cancel button.
// Work starts from a one-shot timer after the window has been shown, so it paints first.
// Files that could not be added are listed in the window with their reasons; it then stays
// open until Close, unless nobody can look (an unattended run keeps only Rejected()).
#include <QDialog>
#include <QStringList>

#include "intake/adding_routine.h"
#include "intake/file_list_target.h"
#include "intake/media_probe.h"
#include "intake/rejected_input.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace reelsmith {

class Tfrm_Adding : public QDialog {
    Q_OBJECT
public:
    Tfrm_Adding(QWidget* owner, const QStringList& droppedFiles, reelsmith::IFileListTarget& list,
                reelsmith::IMediaProbe& probe);

    int AddedCount() const { return int_Added; }
    bool Cancelled() const { return bool_Cancel; }
    const reelsmith::TRejectedInputs& Rejected() const { return fRejected; }
    // False: the window closes at once also when some files were not added.
    void SetShowRejected(bool show) { bool_ShowRejected = show; }

    QLabel* lbl_Path = nullptr;
    QPushButton* btn_Cancel = nullptr;
    QPlainTextEdit* log_Rejected = nullptr;
    QTimer* tmr_Start = nullptr;

public slots:
    void reject() override;  // Esc: the window closes itself when the routine ends

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void tmr_StartTimer();
    void btn_CancelClick();
    bool EnsureLibraries();
    void SetPathText(const QString& text);
    void ShowRejected();

    QStringList fDroppedFiles;
    reelsmith::IFileListTarget& fList;
    reelsmith::IMediaProbe& fProbe;
    bool bool_Cancel = false;
    bool bool_Finished = false;
    bool bool_ShowRejected = true;
    reelsmith::TRejectedInputs fRejected;
    int int_Added = 0;
};

}  // namespace reelsmith
