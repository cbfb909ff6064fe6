#pragma once
// Tfrm_Adding: the small modal window that runs the adding routine with a Cancel button.
// Work starts from a one-shot timer after the window has been shown, so it paints first.
#include <QDialog>
#include <QStringList>

#include "intake/file_list_target.h"
#include "intake/media_probe.h"

class QLabel;
class QPushButton;
class QTimer;

class Tfrm_Adding : public QDialog {
    Q_OBJECT
public:
    Tfrm_Adding(QWidget* owner, const QStringList& droppedFiles, reelsmith::IFileListTarget& list,
                reelsmith::IMediaProbe& probe);

    int AddedCount() const { return int_Added; }
    bool Cancelled() const { return bool_Cancel; }

    QLabel* lbl_Path = nullptr;
    QPushButton* btn_Cancel = nullptr;
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

    QStringList fDroppedFiles;
    reelsmith::IFileListTarget& fList;
    reelsmith::IMediaProbe& fProbe;
    bool bool_Cancel = false;
    bool bool_Finished = false;
    int int_Added = 0;
};
