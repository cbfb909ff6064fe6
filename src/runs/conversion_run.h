#pragma once
// One conversion or audio extraction run: the rows taken in list order, each probed,
// handed to the encoder as one task and converted, with the coloured log, progress,
// clock and remaining time, Pause/Resume, Stop and the end of the run. The run windows
// are thin views over it; everything here runs on the thread that created the run.
#include <QObject>
#include <QString>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/custom_encoder.h"
#include "base/output_staging.h"
#include "intake/rejected_input.h"
#include "media/ff_decoder.h"
#include "media/ff_logger.h"
#include "base/qt/qt_dispatcher.h"
#include "runs/batch_estimate.h"
#include "runs/run_log.h"
#include "runs/run_verdict.h"

namespace reelsmith {

enum class TRunKind { Video, Audio };

struct TRunRow {
    QString Caption;       // the source's file name with extension
    QString SourcePath;    // its full path
    int64_t Duration = 0;  // microseconds, as the list probed it; 0 when unknown
};

// What the caller hands over when it opens the run.
struct TRunSetup {
    TRunKind Kind = TRunKind::Video;
    std::vector<TRunRow> Rows;
    QString OutputPath;         // str_OutputPath: a folder ending in "/", or empty for beside each source
    QString VideoFormatText;    // cb_VideoFormat text, e.g. "MP4" (video runs)
    int AudioFormatIndex = -1;  // cb_AudioFormat position (audio runs)
    QString Options;            // str_Options
    int CPUUsage = 2;           // cb_CPUUsage position
    QString ThreadsText = QStringLiteral("1");  // cb_Threads text
    bool ExitAtEnd = false;                     // the last command-line parameter is "x"
    QString LogPath;                            // where "log.txt" goes; empty: LogFilePath()
    std::string LibraryFolder;                  // where the libraries are looked for first; empty: the program folder
    // The overwrite question. Empty in an unattended run: nobody can answer, so an existing
    // output is kept and the row skipped with a reason. "… to all" answers are remembered.
    std::function<TOverwriteAnswer(const QString& fileName)> AskOverwrite;
    // Inputs of the command line that gave no row: named in the log before the first row,
    // and counted as failed.
    TRejectedInputs NotAdded;
    // Told of every input that is not converted (a command-line run names them on stderr).
    std::function<void(const TRejectedInput&)> ReportNotConverted;
    // Told of each row's outcome as it is known (the main list's status column).
    std::function<void(int row, const TRowStatus& status)> RowStatusChanged;
};

// The visible state of the window's controls.
struct TRunDisplay {
    QString Caption = QStringLiteral("Saving...");
    QString FileLabel;
    int Percent = 0;
    QString PercentText;
    QString SizeText;
    QString ElapsedText = QStringLiteral("00:00:00");
    QString RemainingText;
    bool StopEnabled = false;
    bool PauseEnabled = false;
    bool StopPauseVisible = true;
    QString PauseCaption = QStringLiteral("Pause");
    bool CloseEnabled = true;
    // The whole run: weighted by the rows' durations, and the time left at the measured speed.
    int BatchPercent = 0;
    QString TotalRemainingText;
    // Set when the run is over: what the window says and offers then.
    std::optional<TRunEnding> Ending;
    bool OpenFolderEnabled = false;
};

// The taskbar indicator's state as the run drives it.
struct TTaskbarDisplay {
    bool Visible = false;
    int Progress = 0;
    int Max = 100;
};

// What a window does for the run.
class IRunView {
public:
    virtual ~IRunView() = default;
    // A line was appended to Log(); show it and let pending events run.
    virtual void LogAdded(const TLogLine& line) = 0;
    // Display() or Taskbar() changed.
    virtual void DisplayChanged() = 0;
    virtual void ErrorBeep() = 0;
    virtual void DefaultBeep() = 0;
    // A command-line run whose last parameter is "x" is over and its log saved: end the program.
    virtual void Terminate() = 0;
};

class TConversionRun : public QObject {
    Q_OBJECT
public:
    TConversionRun(TRunSetup setup, IRunView& view, QObject* parent = nullptr);
    ~TConversionRun() override;

    // The window has been shown (FormShow): resets the run and starts the clock and tmr_Start.
    void Show();
    // Handlers of the timers, the engine events and the buttons.
    void tmr_StartTimer();
    void tmr_ElapsedTimer();
    void tmr_ProcessTimer();
    void FFEncoderProgress(const TProgressInfo& info);
    void FFEncoderTerminate(const TTerminateInfo& info);
    void btn_PauseClick();
    void btn_StopClick();
    // FormCloseQuery: the window may close only while Close is enabled.
    bool CanClose() const { return m_Display.CloseEnabled; }
    // FormClose: the taskbar indicator goes back to 0 and is hidden.
    void FormClose();

    void ProcessFile(int index);
    void StartFile(const QString& sourcePath, const QString& outputPath);

    const TRunSetup& Setup() const { return m_Setup; }
    const TRunDisplay& Display() const { return m_Display; }
    const TTaskbarDisplay& Taskbar() const { return m_Taskbar; }
    const TRunLog& Log() const { return m_Log; }
    bool Cancelled() const { return m_Cancelled; }
    bool ClockRunning() const { return m_Elapsed.isActive(); }
    // True once "Done." was written, or the libraries could not be loaded.
    bool Over() const { return m_Over; }
    // True when the run reached its "Done." over every row (not cancelled, libraries loaded).
    bool Completed() const { return m_Over && m_Display.FileLabel == QLatin1String("Done.") && !m_Cancelled; }
    // Rows whose conversion failed or whose existing output was kept, and inputs not added.
    int FailedRows() const { return m_FailedRows; }
    // The run was to save its log and could not.
    bool LogLost() const { return m_LogLost; }
    // Each row's outcome and the counts of the verdict.
    const TRunTally& Tally() const { return m_Tally; }
    const TBatchEstimate& Batch() const { return m_Batch; }
    // Where the outputs went: the destination, or the folder of the first converted source.
    QString OutputFolder() const;
    // Every input not converted so far, with its reason.
    const TRejectedInputs& NotConverted() const { return m_NotConverted; }
    int RunFileCount() const { return m_RunFileCount; }
    int NextFileIndex() const { return m_NextFileIndex; }
    int RunSeconds() const { return m_RunSeconds; }
    int FileSeconds() const { return m_FileSeconds; }
    int64_t LastTotalDuration() const { return m_LastTotalDuration; }
    int64_t LastCurrentDuration() const { return m_LastCurrentDuration; }
    int64_t SourceDuration() const { return m_SourceDuration; }
    TFFEncoder& Encoder() { return m_Encoder; }

    // The output path of a row: the destination (or the source's folder) with the run's
    // extension, numbered so that it never names one of the run's sources nor an output
    // this run has written.
    QString OutputPathOf(const TRunRow& row) const;
    // Outputs this run has written, by their final names.
    const QStringList& WrittenOutputs() const { return m_Written; }

    // A termination signal arrived: the engine is stopped and the part written removed
    // before the program ends.
    void StopForSignal();

signals:
    // The run is over (all rows, after Stop, or the libraries failed to load).
    void RunOver();

private:
    void AddLog(const QString& text, TLogColour colour, bool bold = false);
    void AddEngineLine(const QString& line, TLogColour colour);
    void Changed();
    void ProcessMessages();
    void FailFile(const QString& line);
    void NameNotAdded();
    void RecordNotConverted(const QString& path, const QString& reason);
    void RecordRowNotConverted(const QString& reason, TRowOutcome outcome = TRowOutcome::Failed);
    void SetRowOutcome(TRowOutcome outcome, const QString& reason);
    void WriteVerdict();
    void ShowBatch();
    double ClockSeconds() const;
    bool AskToReplace(const QString& fileName);
    void EngineLine(TLogLevel level, const std::string& line);
    void ShowEngineLines(const QString& except);
    void EnableProcessTimer();
    void ShowDone();
    void EndRun();
    void CancelledEnd();
    QString Extension() const;
    QString LogPath() const;
    // The steps of StartFile; each false (negative task) after logging why the row failed.
    void ResetFileProgress();
    bool LoadSource(const QString& sourcePath);
    int AddSourceTask(const QString& sourcePath);
    bool ApplyParameters(int task, const QString& outputPath);
    // False when the run was stopped meanwhile: the engine must not start.
    bool ShowProcessing(const QString& outputPath);
    void StartEncoder();
    bool StageOutput(const QString& outputPath, QString* error);
    void FinishOutput(const TTerminateInfo& info);

    TRunSetup m_Setup;
    IRunView& m_View;
    QStringList m_Sources;
    QStringList m_Written;
    TRunLog m_Log;
    TRunDisplay m_Display;
    TTaskbarDisplay m_Taskbar;
    QTimer m_Start;
    QTimer m_Elapsed;
    QTimer m_Process;

    int m_RunFileCount = 0;
    int m_NextFileIndex = 0;
    int m_RunSeconds = 0;
    int m_FileSeconds = 0;
    bool m_Cancelled = false;
    bool m_Over = false;
    bool m_Closing = false;
    int m_FailedRows = 0;
    bool m_LogLost = false;
    TRejectedInputs m_NotConverted;
    TRunTally m_Tally;
    TBatchEstimate m_Batch;
    TOverwriteMemory m_OverwriteMemory;
    QElapsedTimer m_Clock;  // wall time of the whole run
    QString m_FolderError;  // the output folder could not be created
    // The engine's warnings and errors while a file converts (a damaged source still
    // "converts"): shown with the row's result, up to a limit.
    bool m_CollectEngineLines = false;
    QStringList m_EngineLines;
    int m_EngineLinesDropped = 0;
    bool m_AwaitingFinalEvent = false;
    int m_FinalEventWaits = 0;
    int64_t m_LastTotalDuration = 0;
    int64_t m_LastCurrentDuration = 0;
    int64_t m_SourceDuration = 0;
    bool m_Overwrite = false;  // the user agreed to replace the existing output of this row
    bool m_KeepBoth = false;   // … or to keep it and save the new one under a numbered name
    bool m_FileDone = false;   // the row's output was converted and is under its final name
    QString m_RowError;        // why the row's output is not there, for the not-converted report

    // The row's output while it is written; removed unless committed, also when the run goes.
    TStagedOutput m_Staged;

    // The dispatcher outlives the encoder, whose destructor still hands deliveries over.
    TQtDispatcher m_Dispatcher;
    TFFDecoder m_Decoder;
    TFFEncoder m_Encoder;
};

}  // namespace reelsmith
