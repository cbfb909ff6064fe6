#include "runs/conversion_run.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/program_paths.h"
#include "base/qt/file_name.h"
#include "media/ff_logger.h"
#include "runs/output_naming.h"
#include "runs/termination_notifier.h"
#include "runs/run_progress.h"

namespace reelsmith {

namespace {

constexpr int kStartDelayMs = 100;
constexpr int kClockMs = 1000;
// The next row starts from the event loop, as soon as the row's events have been handled.
constexpr int kNextRowDelayMs = 0;
constexpr int kFinalEventWaitMs = 10000;  // without the final terminate event, go on after this
constexpr int kMaxEngineLinesPerFile = 20;

// How a row's failure starts, by the step of StartFile that failed.
constexpr char kLoadingError[] = "Loading file... Error! ";
constexpr char kAddingError[] = "Adding task... Error! ";
constexpr char kApplyingError[] = "Applying parameters... Error! ";

// Engine texts may carry a name's bytes: shown like the names themselves.
QString Text(const std::string& text) { return DisplayedFileName(FileNameText(text)); }

QString RunCaption(int number, int count) { return QStringLiteral("Saving... [%1/%2]").arg(number).arg(count); }

}  // namespace

TConversionRun::TConversionRun(TRunSetup setup, IRunView& view, QObject* parent)
    : QObject(parent), m_Setup(std::move(setup)), m_View(view)
{
    std::vector<int64_t> durations;
    for (const TRunRow& row : m_Setup.Rows) {
        m_Sources.append(row.SourcePath);
        durations.push_back(row.Duration);
    }
    m_Batch = TBatchEstimate(std::move(durations));
    m_Tally.Reset(static_cast<int>(m_Setup.Rows.size()));
    m_Display.FileLabel =
        m_Setup.Kind == TRunKind::Audio ? QStringLiteral("Saving audio...") : QStringLiteral("Saving video...");

    m_Start.setInterval(kStartDelayMs);
    m_Start.setSingleShot(true);
    m_Elapsed.setInterval(kClockMs);
    m_Process.setInterval(kNextRowDelayMs);
    m_Process.setSingleShot(true);
    connect(&m_Start, &QTimer::timeout, this, &TConversionRun::tmr_StartTimer);
    connect(&m_Elapsed, &QTimer::timeout, this, &TConversionRun::tmr_ElapsedTimer);
    connect(&m_Process, &QTimer::timeout, this, &TConversionRun::tmr_ProcessTimer);
    if (TTerminationNotifier* notifier = TTerminationNotifier::Instance())
        connect(notifier, &TTerminationNotifier::Received, this, &TConversionRun::StopForSignal);

    m_Encoder.SetDispatcher(&m_Dispatcher);
    m_Encoder.FinishOnStop = false;  // a stopped row's output is removed anyway
    m_Encoder.OnProgress = [this](TCustomEncoder*, const TProgressInfo* info) {
        if (!m_Closing && info)
            FFEncoderProgress(*info);
    };
    m_Encoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& info) {
        if (!m_Closing)
            FFEncoderTerminate(info);
    };
    TFFLogger& logger = FFLogger();
    logger.SetDispatcher(&m_Dispatcher);
    logger.SetTriggerEventInMainThread(true);
    logger.SetOnLog([this](const void*, int, TLogLevel level, const std::string& line) {
        if (!m_Closing)
            EngineLine(level, line);
    });
}

TConversionRun::~TConversionRun()
{
    // The encoder's destructor still serves pending hand-overs: nothing may reach this
    // half-destroyed run any more.
    m_Closing = true;
    FFLogger().SetOnLog(nullptr);
    FFLogger().SetDispatcher(nullptr);
    m_Start.stop();
    m_Elapsed.stop();
    m_Process.stop();
    if (m_Encoder.Working())
        m_Encoder.Stop(true);
}

void TConversionRun::Show()
{
    m_RunFileCount = static_cast<int>(m_Setup.Rows.size());
    m_Display.Caption = RunCaption(1, m_RunFileCount);
    m_Display.RemainingText = QString::fromLatin1(kCalculationText);
    Changed();
    ProcessMessages();
    m_RunSeconds = 0;
    m_FileSeconds = 0;
    m_Cancelled = false;
    m_Clock.start();
    // A run that saves its log removes the previous one first: a log.txt left by a killed
    // run could otherwise be taken for this run's.
    if (m_Setup.ExitAtEnd)
        QFile::remove(LogPath());
    m_FolderError.clear();
    if (!m_Setup.OutputPath.isEmpty() && !PathExists(m_Setup.OutputPath)) {
        std::error_code error;
        std::filesystem::create_directories(FileNameString(m_Setup.OutputPath), error);
        if (error)  // said on each row, instead of the engine's "No such file or directory"
            m_FolderError = QStringLiteral("Cannot create folder \"%1\". %2")
                                .arg(DisplayedFileName(m_Setup.OutputPath), QString::fromLocal8Bit(error.message()));
    }
    m_Display.TotalRemainingText = QString::fromLatin1(kCalculationText);
    m_Elapsed.start();
    m_Start.start();
}

void TConversionRun::tmr_StartTimer()
{
    m_Start.stop();
    m_Taskbar.Visible = true;
    Changed();
    AddLog(QStringLiteral("Loading AV components..."), TLogColour::Neutral);
    ProcessMessages();
    if (!TCustomEncoder::AVLibLoaded()) {
        const std::string folder = m_Setup.LibraryFolder.empty() ? ProgramFolder() : m_Setup.LibraryFolder;
        if (!m_Encoder.LoadAVLib(folder)) {
            AddLog(Text(m_Encoder.LastErrMsg()), TLogColour::Red);
            m_View.ErrorBeep();
            m_Over = true;
            emit RunOver();
            return;
        }
        TFFBaseComponent::DisableFPUExceptions();
        AddLog(QStringLiteral("Success!"), TLogColour::Green);
    }
    m_Display.CloseEnabled = false;
    Changed();
    NameNotAdded();
    ProcessFile(m_NextFileIndex);
}

QString TConversionRun::Extension() const
{
    return m_Setup.Kind == TRunKind::Audio ? AudioExtension(m_Setup.AudioFormatIndex)
                                           : VideoExtension(m_Setup.VideoFormatText);
}

QString TConversionRun::OutputPathOf(const TRunRow& row) const
{
    return OutputPathFor(row.SourcePath, row.Caption, m_Setup.OutputPath, Extension(), m_Sources + m_Written);
}

void TConversionRun::ProcessFile(int index)
{
    if (index >= m_RunFileCount) {
        EndRun();
        return;
    }
    m_FileSeconds = 0;
    m_Display.RemainingText = QString::fromLatin1(kCalculationText);
    m_Display.Caption = RunCaption(m_NextFileIndex + 1, m_RunFileCount);
    ShowBatch();
    const TRunRow& row = m_Setup.Rows[static_cast<size_t>(index)];
    AddLog(QString(), TLogColour::Neutral);
    m_Display.FileLabel = DisplayedFileName(row.Caption);
    Changed();
    AddLog(QStringLiteral("File #%1").arg(index + 1), TLogColour::Neutral, true);
    AddLog(DisplayedFileName(row.SourcePath), TLogColour::Neutral);
    if (!IsExistingFile(row.SourcePath)) {
        // Deleted or moved since it was added: said, and counted as failed.
        ++m_FailedRows;
        AddLog(QStringLiteral("File not found!"), TLogColour::Red);
        m_Batch.FinishRow(index, ClockSeconds(), false);
        RecordRowNotConverted(QStringLiteral("the source is gone (deleted or moved during the run)"));
        EnableProcessTimer();
        return;
    }

    const QString outputPath = OutputPathOf(row);
    m_Overwrite = false;
    m_KeepBoth = false;
    if (!NameTaken(outputPath)) {
        StartFile(row.SourcePath, outputPath);
        return;
    }
    const QString fileName = DisplayedFileName(QFileInfo(outputPath).fileName());
    const bool start = AskToReplace(fileName);
    if (m_Over || m_Closing)
        return;
    if (m_Cancelled)  // Stop while the question was shown: btn_StopClick moves on
        return;
    if (start) {
        StartFile(row.SourcePath, outputPath);
        return;
    }
    ++m_FailedRows;
    AddLog(QStringLiteral("Skipped!"), TLogColour::Red);
    m_Batch.FinishRow(index, ClockSeconds(), false);
    RecordRowNotConverted(QStringLiteral("the output \"%1\" already exists").arg(fileName), TRowOutcome::Skipped);
    EnableProcessTimer();
}

// The existing output of a row: replaced, kept beside a numbered new one, or kept and the
// row skipped. The clock stands while the question is shown.
bool TConversionRun::AskToReplace(const QString& fileName)
{
    std::optional<TOverwriteAction> action = m_OverwriteMemory.Remembered();
    if (!action && m_Setup.AskOverwrite) {
        m_Elapsed.stop();
        m_Display.StopEnabled = true;  // Stop answers the question too
        Changed();
        action = m_OverwriteMemory.Answer(m_Setup.AskOverwrite(fileName));
        if (m_Over || m_Closing || m_Cancelled)
            return false;
        m_Batch.Idle(ClockSeconds());
        m_Elapsed.start();
    } else if (!action) {
        AddLog(QStringLiteral("File \"%1\" already exists!").arg(fileName), TLogColour::Red);
        action = TOverwriteAction::Skip;
    } else if (*action == TOverwriteAction::Skip) {
        AddLog(QStringLiteral("File \"%1\" already exists!").arg(fileName), TLogColour::Red);
    }
    m_Overwrite = *action == TOverwriteAction::Replace;
    m_KeepBoth = *action == TOverwriteAction::KeepBoth;
    return *action != TOverwriteAction::Skip;
}

void TConversionRun::StartFile(const QString& sourcePath, const QString& outputPath)
{
    ResetFileProgress();
    if (!m_FolderError.isEmpty()) {
        FailFile(m_FolderError);
        return;
    }
    // Caller errors of the components (an operation while working) must not stall the run.
    const char* step = kLoadingError;
    try {
        if (!LoadSource(sourcePath))
            return;
        step = kAddingError;
        const int task = AddSourceTask(sourcePath);
        if (task < 0)
            return;
        step = kApplyingError;
        if (!ApplyParameters(task, outputPath))
            return;
        if (!ShowProcessing(outputPath)) {
            m_Staged.Discard();
            return;
        }
        StartEncoder();
    } catch (const std::exception& error) {
        m_Staged.Discard();
        FailFile(QString::fromLatin1(step) + QString::fromUtf8(error.what()));
    }
}

void TConversionRun::ResetFileProgress()
{
    m_Display.Percent = 0;
    Changed();
    if (m_Setup.Kind == TRunKind::Audio) {
        m_SourceDuration = 0;
    } else {
        m_LastTotalDuration = 0;
        m_LastCurrentDuration = 0;
    }
}

// Opening the source once tells whether the engine can read it, before any task exists.
bool TConversionRun::LoadSource(const QString& sourcePath)
{
    if (!m_Decoder.LoadFile(FileNameString(sourcePath))) {
        FailFile(QString::fromLatin1(kLoadingError) + Text(m_Decoder.LastErrMsg()));
        return false;
    }
    if (m_Setup.Kind == TRunKind::Audio)
        m_SourceDuration = m_Decoder.FileStreamInfo().Duration;
    m_Decoder.CloseFile();
    AddLog(QStringLiteral("Loading file... OK"), TLogColour::Green);
    m_Display.StopEnabled = true;
    m_Display.PauseEnabled = true;
    Changed();
    return true;
}

// The row's one task; negative after the failure was logged.
int TConversionRun::AddSourceTask(const QString& sourcePath)
{
    m_Encoder.ClearTasks();
    TInputOptions input;
    input.Reset();
    input.FileName = FileNameString(sourcePath);
    const int task = m_Encoder.AddTask(input.FileName, &input);
    if (task < 0) {
        FailFile(QString::fromLatin1(kAddingError) + Text(m_Encoder.LastErrMsg()));
        return task;
    }
    AddLog(QStringLiteral("Adding task... OK"), TLogColour::Green);
    return task;
}

// The run's options on the task, writing to a temporary file beside the output.
bool TConversionRun::ApplyParameters(int task, const QString& outputPath)
{
    const QString step = QString::fromLatin1(kApplyingError);
    TOutputOptions output;
    output.Reset();
    AddLog(QStringLiteral("Parameters ") + m_Setup.Options, TLogColour::Grey);
    output.Options = m_Setup.Options.toStdString();
    QString stagingError;
    if (!StageOutput(outputPath, &stagingError)) {
        m_Encoder.RemoveTask(task);
        FailFile(step + stagingError);
        return false;
    }
    // "file:" keeps a colon in the name from reading as a protocol.
    if (m_Encoder.SetOutput(task, "file:" + m_Staged.TempPath(), &output) < 0) {
        const QString message = Text(m_Encoder.LastErrMsg());
        m_Staged.Discard();
        m_Encoder.RemoveTask(task);
        FailFile(step + message);
        return false;
    }
    // A muxer that writes its own files (an image sequence, null) is not staged.
    if (!m_Encoder.FFmpegs(task)->OutputWritesFile(0))
        m_Staged.Discard();
    AddLog(QStringLiteral("Applying parameters... OK"), TLogColour::Green);
    return true;
}

bool TConversionRun::ShowProcessing(const QString& outputPath)
{
    AddLog(QStringLiteral("Processing file..."), TLogColour::Green);
    m_Display.FileLabel = DisplayedFileName(QFileInfo(outputPath).fileName());
    Changed();
    ProcessMessages();
    // Stop or a termination signal may come while the window catches up: the unstarted task
    // is ended then, and starting it would write into a staged file about to be discarded.
    if (m_Cancelled || m_Closing)
        return false;
    AddLog(DisplayedFileName(outputPath), TLogColour::Neutral);
    return true;
}

void TConversionRun::StartEncoder()
{
    switch (m_Setup.CPUUsage) {
    case 0: m_Encoder.ThreadPriority = tpIdle; break;
    case 1: m_Encoder.ThreadPriority = tpLowest; break;
    case 2: m_Encoder.ThreadPriority = tpNormal; break;
    case 3: m_Encoder.ThreadPriority = tpHighest; break;
    default: break;
    }
    m_FinalEventWaits = 0;
    m_AwaitingFinalEvent = true;
    m_FileDone = false;
    m_RowError.clear();
    m_EngineLines.clear();
    m_EngineLinesDropped = 0;
    m_CollectEngineLines = true;
    m_Encoder.Start(m_Setup.ThreadsText.toInt());
}

bool TConversionRun::StageOutput(const QString& outputPath, QString* error)
{
    if (m_Staged.Begin(FileNameString(outputPath))) {
        m_Log.ShowNameAs(Text(m_Staged.TempPath()), DisplayedFileName(outputPath));
        return true;
    }
    *error = Text(m_Staged.Error());
    return false;
}

// The task's own terminate event: a converted output gets its final name, anything else
// (an exception, Stop) loses its temporary file.
void TConversionRun::FinishOutput(const TTerminateInfo& info)
{
    if (m_Cancelled || !info.Finished || info.Exception) {
        m_Staged.Discard();
        return;
    }
    if (!m_Staged.Staged()) {  // not staged: written under its own name
        m_FileDone = true;
        return;
    }
    const TCommitMode mode = m_Overwrite ? TCommitMode::Replace : TCommitMode::KeepExisting;
    const QString wanted = FileNameText(m_Staged.FinalPath());
    if (!m_Staged.Commit(mode)) {
        m_RowError = Text(m_Staged.Error());
        AddLog(m_RowError, TLogColour::Red);
        return;
    }
    const QString final = FileNameText(m_Staged.FinalPath());
    m_Written.append(final);
    m_FileDone = true;
    if (final != wanted && m_KeepBoth)
        AddLog(QStringLiteral("Saved as \"%1\"").arg(DisplayedFileName(QFileInfo(final).fileName())),
               TLogColour::Neutral);
    else if (final != wanted)
        AddLog(
            QStringLiteral("\"%1\" appeared meanwhile; saved as \"%2\"")
                .arg(DisplayedFileName(QFileInfo(wanted).fileName()), DisplayedFileName(QFileInfo(final).fileName())),
            TLogColour::Neutral);
}

void TConversionRun::FFEncoderProgress(const TProgressInfo& info)
{
    if (m_Setup.Kind == TRunKind::Audio)
        m_LastTotalDuration = m_SourceDuration;
    else
        m_LastTotalDuration = info.TotalDuration;
    m_LastCurrentDuration = info.CurrentDuration;
    m_Batch.Progress(m_NextFileIndex, m_LastCurrentDuration, ClockSeconds());
    ShowBatch();
    if (const std::optional<int> percent = ProgressPercent(m_LastCurrentDuration, m_LastTotalDuration)) {
        m_Display.Percent = *percent;
        m_Display.PercentText = QStringLiteral("%1%").arg(*percent);
    }
    m_Display.SizeText = FormatOutputSize(info.CurrentSize);
    Changed();
}

void TConversionRun::FFEncoderTerminate(const TTerminateInfo& info)
{
    if (m_Over)
        return;  // a late delivery after the run ended
    // Enabled again at the end: the timer must not fire from the log's event processing in
    // between and start the next row inside this event.
    m_Process.stop();
    // Stopped: the bars stay where the run was.
    if (!m_Cancelled) {
        m_Display.Percent = 100;
        m_Display.PercentText = QStringLiteral("100%");
        m_Display.RemainingText = QString::fromLatin1(kClockZero);
    }
    Changed();
    // The exception is logged below in red: the engine's own line of it is not repeated.
    ShowEngineLines(info.Exception ? Text(info.ExceptionMsg).trimmed() : QString());
    if (info.TaskIndex < 0) {
        m_AwaitingFinalEvent = false;
        m_CollectEngineLines = false;
    } else {
        FinishOutput(info);
    }
    if (!m_Cancelled) {
        if (info.Exception) {
            m_RowError = Text(info.ExceptionMsg);
            AddEngineLine(m_RowError, TLogColour::Red);
        }
        // The final event closes the row: "Success!" only for an output that is in place.
        if (info.TaskIndex < 0 && m_FileDone) {
            AddLog(QStringLiteral("Success!"), TLogColour::Green);
            SetRowOutcome(TRowOutcome::Converted, QString());
        } else if (info.TaskIndex < 0) {
            ++m_FailedRows;
            AddLog(QStringLiteral("Error!"), TLogColour::Red);
            m_View.ErrorBeep();
            RecordRowNotConverted(m_RowError.isEmpty() ? QStringLiteral("the conversion did not finish") : m_RowError);
        }
    }
    if (info.TaskIndex < 0 && !m_Cancelled) {
        m_Batch.FinishRow(m_NextFileIndex, ClockSeconds(), m_FileDone);
        ShowBatch();
    }
    EnableProcessTimer();
}

void TConversionRun::tmr_ElapsedTimer()
{
    ++m_FileSeconds;
    ++m_RunSeconds;
    m_Display.ElapsedText = FormatClock(m_RunSeconds);
    if (const std::optional<QString> remaining =
            RemainingText(m_FileSeconds, m_LastTotalDuration, m_LastCurrentDuration))
        m_Display.RemainingText = *remaining;
    Changed();
}

void TConversionRun::tmr_ProcessTimer()
{
    m_Process.stop();
    if (m_Over)
        return;
    // The final terminate event follows the task's own from another delivery thread. On a
    // busy machine it may take longer than this timer; moving on before it came would let
    // it land in the next row (a stray "Success!", and a second step forward).
    if (m_AwaitingFinalEvent && m_FinalEventWaits++ == 0) {
        m_Process.start(kFinalEventWaitMs);  // the final event cuts this short
        return;
    }
    m_AwaitingFinalEvent = false;
    if (m_Cancelled) {
        CancelledEnd();
        return;
    }
    ++m_NextFileIndex;
    m_Display.StopEnabled = false;
    m_Display.PauseEnabled = false;
    Changed();
    ProcessMessages();
    ProcessFile(m_NextFileIndex);
}

void TConversionRun::btn_PauseClick()
{
    if (m_Display.PauseCaption == QLatin1String("Pause")) {
        m_Display.PauseCaption = QStringLiteral("Resume");
        Changed();
        AddLog(QStringLiteral("Paused!"), TLogColour::Maroon);
        m_Elapsed.stop();
        ProcessMessages();
        m_Encoder.Pause();
    } else {
        m_Display.PauseCaption = QStringLiteral("Pause");
        Changed();
        AddLog(QStringLiteral("Resumed!"), TLogColour::Maroon);
        m_Batch.Idle(ClockSeconds());
        m_Elapsed.start();
        ProcessMessages();
        m_Encoder.Resume();
    }
}

void TConversionRun::btn_StopClick()
{
    m_Display.StopEnabled = false;
    m_Display.PauseEnabled = false;
    Changed();
    m_Cancelled = true;
    AddLog(QStringLiteral("Cancelled by user!"), TLogColour::Red);
    m_View.ErrorBeep();
    ProcessMessages();
    if (m_Encoder.Working())
        m_Encoder.Stop(true);
    else  // between rows or while the overwrite question is shown: nothing to wait for
        EnableProcessTimer();
}

void TConversionRun::FormClose()
{
    m_Taskbar.Progress = 0;
    m_Taskbar.Visible = false;
    Changed();
}

// Both ends of a run: the verdict, then "Done." (blue only when every input was converted)
// or "Stopped.", the title, and the clock stopped.
void TConversionRun::ShowDone()
{
    WriteVerdict();
    const TRunEnding ending = m_Tally.Ending(m_Cancelled);
    const QString last = ending == TRunEnding::Stopped ? QStringLiteral("Stopped.") : QStringLiteral("Done.");
    const TLogColour colour = m_Tally.AllConverted() && !m_Cancelled ? TLogColour::Blue
                              : m_Tally.Failed() > 0                 ? TLogColour::Red
                                                                     : TLogColour::Neutral;
    AddLog(last, colour);
    m_Display.FileLabel = last;
    m_Display.Ending = ending;
    m_Display.Caption = EndingTitle(ending);
    m_Display.OpenFolderEnabled = !OutputFolder().isEmpty();
    m_Elapsed.stop();
    if (!m_Cancelled)
        m_Display.RemainingText = QString::fromLatin1(kClockZero);
    m_Display.TotalRemainingText = m_Cancelled ? QString() : QString::fromLatin1(kClockZero);
}

// Counts, run time and every input not converted with its plain reason, once more at the end.
void TConversionRun::WriteVerdict()
{
    if (m_Cancelled) {
        m_Tally.StopRemaining();
        for (size_t i = 0; i < m_Tally.Rows().size(); ++i)
            if (m_Tally.Rows()[i].Outcome == TRowOutcome::Stopped && m_Setup.RowStatusChanged)
                m_Setup.RowStatusChanged(static_cast<int>(i), m_Tally.Rows()[i]);
    }
    QStringList names;
    for (const TRunRow& row : m_Setup.Rows)
        names.append(DisplayedFileName(row.SourcePath));
    const QStringList notConverted = m_Tally.NotConvertedLines(names);
    if (!notConverted.isEmpty()) {
        AddLog(QStringLiteral("Not converted:"), TLogColour::Neutral, true);
        for (const QString& line : notConverted)
            AddLog(line, TLogColour::Red);
    }
    AddLog(RunTimeLine(static_cast<double>(m_Clock.elapsed()) / 1000.0), TLogColour::Neutral);
    AddLog(m_Tally.CountsLine(), TLogColour::Neutral, true);
}

void TConversionRun::ShowBatch()
{
    m_Display.BatchPercent = m_Batch.Percent();
    m_Taskbar.Max = 100;
    m_Taskbar.Progress = m_Display.BatchPercent;
    if (const std::optional<double> remaining = m_Batch.RemainingSeconds())
        m_Display.TotalRemainingText = FormatClock(std::ceil(*remaining));
    else
        m_Display.TotalRemainingText = QString::fromLatin1(kCalculationText);
    Changed();
}

double TConversionRun::ClockSeconds() const { return static_cast<double>(m_Clock.elapsed()) / 1000.0; }

QString TConversionRun::OutputFolder() const
{
    if (!m_Setup.OutputPath.isEmpty())
        return m_Setup.OutputPath;
    return m_Written.isEmpty() ? QString() : QFileInfo(m_Written.first()).absolutePath() + QLatin1Char('/');
}

void TConversionRun::EndRun()
{
    AddLog(QString(), TLogColour::Neutral);
    ShowBatch();  // a last row that was skipped or failed at once did not show itself
    ShowDone();
    Changed();
    ProcessMessages();
    m_Display.StopEnabled = false;
    m_Display.PauseEnabled = false;
    m_Display.CloseEnabled = true;
    m_Over = true;
    Changed();
    m_View.DefaultBeep();
    emit RunOver();
    if (m_Setup.ExitAtEnd) {
        // The program still ends when the log cannot be saved; the last line says so, and
        // the exit status.
        const TSavedLog saved = SaveRunLog(m_Log, m_Setup.LogPath);
        m_LogLost = !saved.Saved;
        PrintLogPlace(saved);
        m_View.Terminate();
    }
}

void TConversionRun::CancelledEnd()
{
    AddLog(QString(), TLogColour::Neutral);
    ShowDone();
    if (m_Setup.Kind == TRunKind::Video)
        m_Display.SizeText.clear();
    m_Display.StopEnabled = false;
    m_Display.PauseEnabled = false;
    if (m_Setup.Kind == TRunKind::Video)
        m_Display.StopPauseVisible = false;
    m_Display.CloseEnabled = true;
    m_Over = true;
    Changed();
    m_View.DefaultBeep();
    emit RunOver();
}

QString TConversionRun::LogPath() const { return m_Setup.LogPath.isEmpty() ? LogFilePath() : m_Setup.LogPath; }

void TConversionRun::StopForSignal()
{
    m_Cancelled = true;
    m_Closing = true;  // the program ends: no more log lines or events
    if (m_Encoder.Working())
        m_Encoder.Stop(true);
    m_Staged.Discard();
}

void TConversionRun::AddLog(const QString& text, TLogColour colour, bool bold)
{
    m_Log.Add(text, colour, bold);
    m_View.LogAdded(m_Log.Lines().back());
    ProcessMessages();
}

// The engine's wording where it says nothing to a user: the plain line on screen, the
// engine's own in log.txt.
void TConversionRun::AddEngineLine(const QString& line, TLogColour colour)
{
    const QString plain = PlainEngineLine(line);
    if (plain.isEmpty()) {
        AddLog(line, colour);
        return;
    }
    AddLog(plain, colour);
    m_Log.AddDetail(line, colour);
    m_View.LogAdded(m_Log.Lines().back());
}

void TConversionRun::Changed() { m_View.DisplayChanged(); }

void TConversionRun::ProcessMessages() { QCoreApplication::processEvents(); }

void TConversionRun::FailFile(const QString& line)
{
    ++m_FailedRows;
    AddLog(line, TLogColour::Red);
    m_Batch.FinishRow(m_NextFileIndex, ClockSeconds(), false);
    RecordRowNotConverted(line);
    m_View.ErrorBeep();
    EnableProcessTimer();
}

void TConversionRun::EngineLine(TLogLevel level, const std::string& line)
{
    if (!m_CollectEngineLines || level > TLogLevel::llWarning || level == TLogLevel::llQuiet)
        return;
    if (m_EngineLines.size() < kMaxEngineLinesPerFile)
        m_EngineLines.append(Text(LogLineMessage(line)).trimmed());
    else
        ++m_EngineLinesDropped;
}

void TConversionRun::ShowEngineLines(const QString& except)
{
    if (!m_CollectEngineLines)
        return;
    FFLogger().Flush();  // what the conversion logged before it ended
    const QStringList lines = std::exchange(m_EngineLines, {});
    const int dropped = std::exchange(m_EngineLinesDropped, 0);
    if (m_Cancelled)
        return;  // what stopping leaves unfinished is no news after "Cancelled by user!"
    for (const QString& line : lines)
        if (except.isEmpty() || !line.contains(except))
            AddEngineLine(line, TLogColour::Maroon);
    if (dropped > 0)
        AddLog(QStringLiteral("(%1 more messages of the engine)").arg(dropped), TLogColour::Maroon);
}

void TConversionRun::NameNotAdded()
{
    if (m_Setup.NotAdded.empty())
        return;
    AddLog(QString(), TLogColour::Neutral);
    AddLog(QStringLiteral("Not added: %1").arg(m_Setup.NotAdded.size()), TLogColour::Neutral, true);
    for (const TRejectedInput& input : m_Setup.NotAdded) {
        ++m_FailedRows;
        AddLog(QStringLiteral("%1: %2").arg(DisplayedFileName(input.Path), input.Reason), TLogColour::Red);
        RecordNotConverted(input.Path, input.Reason);
        m_Tally.AddNotAdded({DisplayedFileName(input.Path), input.Reason});
    }
}

void TConversionRun::RecordNotConverted(const QString& path, const QString& reason)
{
    m_NotConverted.push_back({path, m_Log.WithShownName(reason)});
    if (m_Setup.ReportNotConverted)
        m_Setup.ReportNotConverted(m_NotConverted.back());
}

void TConversionRun::RecordRowNotConverted(const QString& reason, TRowOutcome outcome)
{
    if (m_NextFileIndex < static_cast<int>(m_Setup.Rows.size()))
        RecordNotConverted(m_Setup.Rows[static_cast<size_t>(m_NextFileIndex)].SourcePath, reason);
    SetRowOutcome(outcome, outcome == TRowOutcome::Skipped ? QStringLiteral("output exists") : PlainReason(reason));
}

void TConversionRun::SetRowOutcome(TRowOutcome outcome, const QString& reason)
{
    m_Tally.SetRow(m_NextFileIndex, outcome, reason);
    if (m_Setup.RowStatusChanged && m_NextFileIndex < static_cast<int>(m_Tally.Rows().size()))
        m_Setup.RowStatusChanged(m_NextFileIndex, m_Tally.Rows()[static_cast<size_t>(m_NextFileIndex)]);
}

void TConversionRun::EnableProcessTimer()
{
    // Enabling it again before it fires changes nothing (both terminate events enable it);
    // a wait for the final terminate event ends.
    if (!m_Process.isActive() || m_Process.interval() != kNextRowDelayMs)
        m_Process.start(kNextRowDelayMs);
}

}  // namespace reelsmith
