#pragma once
// The "Saving..." windows of a conversion (Tfrm_Video) and an audio extraction (Tfrm_Audio):
// a coloured log, percent, output size, elapsed and remaining time, and the Pause/Resume,
// Stop and Close buttons, over the GUI-free run in runs/conversion_run.h. They are not modal:
// the main window stays usable for looking while the run goes on.
#include <QDialog>
#include <QPointer>
#include <memory>

#include "runs/conversion_run.h"

class QEventLoop;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QVBoxLayout;

namespace reelsmith {

// How the log is coloured: the dark theme replaces some colours, and its neutral colour is
// the main window's button font colour.
struct TRunLook {
    bool Dark = false;
    TRgb DarkNeutral{255, 255, 255};
};

struct TRunWindowOptions {
    TRunLook Look;
    QObject* Taskbar = nullptr;  // the main window's indicator (prg_Win7), or null
    // Nobody is there to answer or to close the window (a command-line run ending in "x",
    // or no display): an existing output is skipped, the log is echoed to stdout, and the
    // program ends when the run is over, with status 1 when a row failed or was skipped.
    bool Unattended = false;
};

class TRunWindow : public QDialog, public IRunView {
    Q_OBJECT
public:
    TRunWindow(QWidget* owner, TRunSetup setup, TRunWindowOptions options);
    ~TRunWindow() override;

    TConversionRun& Run() { return *m_Run; }

    QTextEdit* log_Main = nullptr;
    QLabel* lbl_File = nullptr;
    QProgressBar* prg_Process = nullptr;
    QLabel* lbl_Percent = nullptr;
    QLabel* lbl_FPS = nullptr;
    QLabel* lbl_Elapsed = nullptr;
    QLabel* lbl_ElapsedValue = nullptr;
    QLabel* lbl_Remaining = nullptr;
    QLabel* lbl_RemainingValue = nullptr;
    QPushButton* btn_Pause = nullptr;
    QPushButton* btn_Stop = nullptr;
    QPushButton* btn_Close = nullptr;
    // The whole run: its bar, percent and time left; the size figure's caption.
    QProgressBar* prg_Batch = nullptr;
    QLabel* lbl_BatchPercent = nullptr;
    QLabel* lbl_TotalRemaining = nullptr;
    QLabel* lbl_TotalRemainingValue = nullptr;
    QLabel* lbl_Size = nullptr;
    QPushButton* btn_OpenFolder = nullptr;
    // The overwrite question, inside the window so that Stop stays usable while it shows.
    QFrame* pnl_Overwrite = nullptr;
    QLabel* lbl_Overwrite = nullptr;

    // IRunView
    void LogAdded(const TLogLine& line) override;
    void DisplayChanged() override;
    void ErrorBeep() override;
    void DefaultBeep() override;
    void Terminate() override;

    // The window closes only while Close is enabled (also for Escape and the title bar).
    void done(int result) override;

    // "Stop the run?" during a run (the title bar's close, Escape, or the main window's
    // close). True when the user wants the run stopped: it stops, and the window closes once
    // it is over (or it ended while the question showed).
    bool AskToStop();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void ApplyTaskbar();
    void RunOver();
    TOverwriteAnswer AskOverwrite(const QString& fileName);
    void BuildOverwritePanel(QVBoxLayout* layout);
    void AnswerOverwrite(TOverwriteAnswer answer);
    void OpenFolder();
    void Notify();

    TRunWindowOptions m_Options;
    QPointer<QObject> m_Taskbar;
    std::unique_ptr<TConversionRun> m_Run;
    bool m_Shown = false;
    bool m_FirstLine = true;
    bool m_Terminated = false;
    bool m_CloseWhenOver = false;
    QEventLoop* m_Question = nullptr;  // the overwrite question's loop while it shows
    TOverwriteAnswer m_Answer = TOverwriteAnswer::No;
};

class Tfrm_Video : public TRunWindow {
    Q_OBJECT
public:
    Tfrm_Video(QWidget* owner, TRunSetup setup, TRunWindowOptions options = {});
};

class Tfrm_Audio : public TRunWindow {
    Q_OBJECT
public:
    Tfrm_Audio(QWidget* owner, TRunSetup setup, TRunWindowOptions options = {});
};

}  // namespace reelsmith
