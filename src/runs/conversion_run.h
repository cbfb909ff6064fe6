#pragma once
// One conversion or audio extraction run: the rows taken in list order, each probed,
// handed to an encoder as one task and converted, up to "Threads" files at once, with the
// coloured log, progress, clock and remaining time, Pause/Resume, Stop and the end of the
// run. The run windows are thin views over it; everything here runs on the thread that
// created the run.
#include <QObject>
#include <QString>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/custom_encoder.h"
#include "base/output_staging.h"
#include "intake/rejected_input.h"
#include "media/ff_decoder.h"
#include "media/ff_logger.h"
#include "base/qt/qt_dispatcher.h"
#include "runs/active_file.h"
#include "runs/batch_estimate.h"
#include "runs/run_log.h"
#include "runs/run_verdict.h"

namespace reelsmith {

enum class TRunKind { Video, Audio };

// How many files a run converts at once for a "Threads" text: 1 to 8, else 1.
int FilesAtOnceFor(const QString& threadsText);

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
    // cb_Threads text: how many files convert at once (1 to 8; anything else counts as 1).
    QString ThreadsText = QStringLiteral("1");
    bool ExitAtEnd = false;     // the last command-line parameter is "x"
    QString LogPath;            // where "log.txt" goes; empty: LogFilePath()
    std::string LibraryFolder;  // where the libraries are looked for first; empty: the program folder
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
    // The row taken last (the row converting, one file at a time); the row count at the end.
    int NextFileIndex() const;
    int RunSeconds() const { return m_RunSeconds; }
    // The clock of the file taken longest ago among those converting.
    int FileSeconds() const;
    int64_t LastTotalDuration() const { return m_Files.front()->LastTotalDuration; }
    int64_t LastCurrentDuration() const { return m_Files.front()->LastCurrentDuration; }
    int64_t SourceDuration() const { return m_Files.front()->SourceDuration; }
    // How many files may convert at once ("Threads"), and how many are taken now.
    int FilesAtOnce() const { return static_cast<int>(m_Files.size()); }
    int ActiveFiles() const;
    // The first file's encoder (the only one when files convert one at a time).
    TFFEncoder& Encoder() { return m_Files.front()->Encoder; }
    TFFEncoder& EncoderOf(int file) { return m_Files.at(static_cast<size_t>(file))->Encoder; }
    const TActiveFile& FileAt(int file) const { return *m_Files.at(static_cast<size_t>(file)); }

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
    class TBusy;
    // Run lines go straight to the log; a file's lines (Say) go to its block when several
    // files convert at once.
    void AddLog(const QString& text, TLogColour colour, bool bold = false);
    void Say(TActiveFile& file, const QString& text, TLogColour colour, bool bold = false);
    TRunLog& LogOf(TActiveFile& file) { return m_Blocks ? file.Block : m_Log; }
    void AddEngineLine(TActiveFile& file, const QString& line, TLogColour colour);
    void Changed();
    void ProcessMessages();
    bool Paused() const { return m_Display.PauseCaption == QLatin1String("Resume"); }
    void FailFile(TActiveFile& file, const QString& line);
    void NameNotAdded();
    void RecordNotConverted(const QString& path, const QString& reason);
    void RecordRowNotConverted(TActiveFile& file, const QString& reason, TRowOutcome outcome = TRowOutcome::Failed);
    void SetRowOutcome(int row, TRowOutcome outcome, const QString& reason);
    void WriteVerdict();
    void ShowBatch();
    double ClockSeconds() const;
    bool AskToReplace(TActiveFile& file, const QString& fileName);
    void EngineLine(const void* sender, int threadId, TLogLevel level, const std::string& line);
    TActiveFile* FileOfEngineLine(const void* sender, int threadId);
    void ShowEngineLines(TActiveFile& file, const QString& except);
    void WriteLooseEngineLines();
    void EnableProcessTimer();
    void ShowDone();
    void EndRun();
    void CancelledEnd();
    QString Extension() const;
    QString LogPath() const;

    // Taking rows: up to FilesAtOnce() at a time, in list order.
    void FillFiles();
    TActiveFile* FreeFile();
    void ProcessFile(TActiveFile& file, int index);
    void StartFile(TActiveFile& file, const QString& sourcePath, const QString& outputPath);
    // The steps of StartFile; each false (negative task) after logging why the row failed.
    void ResetFileProgress(TActiveFile& file);
    bool LoadSource(TActiveFile& file, const QString& sourcePath);
    int AddSourceTask(TActiveFile& file, const QString& sourcePath);
    bool ApplyParameters(TActiveFile& file, int task, const QString& outputPath);
    // False when the run was stopped meanwhile: the engine must not start.
    bool ShowProcessing(TActiveFile& file, const QString& outputPath);
    void StartEncoder(TActiveFile& file);
    bool StageOutput(TActiveFile& file, const QString& outputPath, QString* error);
    void FinishOutput(TActiveFile& file, const TTerminateInfo& info);
    void FileProgress(TActiveFile& file, const TProgressInfo& info);
    void FileTerminate(TActiveFile& file, const TTerminateInfo& info);
    void CloseRow(TActiveFile& file);
    // The row is over: its block written, the file free for the next row.
    void EndFile(TActiveFile& file);
    // Files whose encoder's final event did not come in time are closed without it.
    void EndOverdueFiles();
    void AwaitFinalEvents();
    // The window's file line, bar, size and title while several files convert.
    void ShowActiveFiles();

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
    int m_NextFileIndex = 0;  // the next row to take
    int m_RunSeconds = 0;
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
    // Several files at once: each file's lines are written as a block when it ends.
    bool m_Blocks = false;
    // Handlers that log let the event loop run; rows are taken only outside them.
    int m_Busy = 0;
    bool m_FillPending = false;
    // Engine lines no file could be told by, while several converted: written before the next block.
    QStringList m_LooseEngineLines;
    TActiveFile* m_Preparing = nullptr;  // the file being opened on this thread
    int m_MainThreadId = 0;

    // The dispatcher outlives the encoders, whose destructors still hand deliveries over.
    TQtDispatcher m_Dispatcher;
    TFFDecoder m_Decoder;
    std::vector<std::unique_ptr<TActiveFile>> m_Files;
};

}  // namespace reelsmith
