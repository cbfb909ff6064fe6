#include "runs/conversion_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

#include <algorithm>
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
constexpr int kMostFilesAtOnce = 8;  // the Threads list's last entry

// How a row's failure starts, by the step of StartFile that failed.
constexpr char kLoadingError[] = "Loading file... Error! ";
constexpr char kAddingError[] = "Adding task... Error! ";
constexpr char kApplyingError[] = "Applying parameters... Error! ";

// Engine texts may carry a name's bytes: shown like the names themselves.
QString Text(const std::string& text) { return DisplayedFileName(FileNameText(text)); }

QString RunCaption(int number, int count) { return QStringLiteral("Saving... [%1/%2]").arg(number).arg(count); }

QString FileNameOf(const QString& path) { return DisplayedFileName(QFileInfo(path).fileName()); }

}  // namespace

int FilesAtOnceFor(const QString& threadsText)
{
    bool number = false;
    const int count = threadsText.trimmed().toInt(&number);
    return number && count >= 1 && count <= kMostFilesAtOnce ? count : 1;
}

// Rows are taken only outside every handler that lets the event loop run: a row started
// inside one would interleave with the rest of it. The outermost one takes them at its end.
class TConversionRun::TBusy {
public:
    explicit TBusy(TConversionRun& run) : m_Run(run) { ++m_Run.m_Busy; }
    ~TBusy()
    {
        if (--m_Run.m_Busy == 0 && std::exchange(m_Run.m_FillPending, false))
            m_Run.EnableProcessTimer();
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TConversionRun& m_Run;
};

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

    m_MainThreadId = static_cast<int>(::gettid());
    const int count = FilesAtOnceFor(m_Setup.ThreadsText);
    m_Blocks = count > 1;
    for (int i = 0; i < count; ++i) {
        auto file = std::make_unique<TActiveFile>();
        TActiveFile* own = file.get();
        own->Encoder.SetDispatcher(&m_Dispatcher);
        own->Encoder.FinishOnStop = false;  // a stopped row's output is removed anyway
        own->Encoder.OnProgress = [this, own](TCustomEncoder*, const TProgressInfo* info) {
            if (!m_Closing && info)
                FileProgress(*own, *info);
        };
        own->Encoder.OnTerminate = [this, own](TCustomEncoder*, const TTerminateInfo& info) {
            if (!m_Closing)
                FileTerminate(*own, info);
        };
        m_Files.push_back(std::move(file));
    }
    TFFLogger& logger = FFLogger();
    logger.SetDispatcher(&m_Dispatcher);
    logger.SetTriggerEventInMainThread(true);
    logger.SetOnLog([this](const void* sender, int threadId, TLogLevel level, const std::string& line) {
        if (!m_Closing)
            EngineLine(sender, threadId, level, line);
    });
}

TConversionRun::~TConversionRun()
{
    // The encoders' destructors still serve pending hand-overs: nothing may reach this
    // half-destroyed run any more.
    m_Closing = true;
    FFLogger().SetOnLog(nullptr);
    FFLogger().SetDispatcher(nullptr);
    m_Start.stop();
    m_Elapsed.stop();
    m_Process.stop();
    for (auto& file : m_Files)
        if (file->Encoder.Working())
            file->Encoder.Stop(true);
}

void TConversionRun::Show()
{
    m_RunFileCount = static_cast<int>(m_Setup.Rows.size());
    m_Display.Caption = RunCaption(1, m_RunFileCount);
    m_Display.RemainingText = QString::fromLatin1(kCalculationText);
    Changed();
    ProcessMessages();
    m_RunSeconds = 0;
    for (auto& file : m_Files)
        file->Seconds = 0;
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
        if (!Encoder().LoadAVLib(folder)) {
            AddLog(Text(Encoder().LastErrMsg()), TLogColour::Red);
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
    FillFiles();
}

QString TConversionRun::Extension() const
{
    return m_Setup.Kind == TRunKind::Audio ? AudioExtension(m_Setup.AudioFormatIndex)
                                           : VideoExtension(m_Setup.VideoFormatText);
}

// The names of files converting now count as taken: two sources of one name never race to
// one output, and each gets the name it would get one file at a time.
QString TConversionRun::OutputPathOf(const TRunRow& row) const
{
    QSet<QString> converting;
    for (const auto& file : m_Files)
        if (file->Taken() && !file->OutputPath.isEmpty())
            converting.insert(QDir::cleanPath(QFileInfo(file->OutputPath).absoluteFilePath()));
    return OutputPathFor(row.SourcePath, row.Caption, m_Setup.OutputPath, Extension(), m_Sources + m_Written,
                         converting);
}

int TConversionRun::ActiveFiles() const
{
    return static_cast<int>(
        std::count_if(m_Files.begin(), m_Files.end(), [](const auto& file) { return file->Taken(); }));
}

int TConversionRun::NextFileIndex() const
{
    if (m_Over || (m_NextFileIndex >= m_RunFileCount && ActiveFiles() == 0))
        return m_NextFileIndex;
    return std::max(0, m_NextFileIndex - 1);
}

int TConversionRun::FileSeconds() const
{
    int seconds = 0;
    for (const auto& file : m_Files)
        if (file->Taken())
            seconds = std::max(seconds, file->Seconds);
    return seconds;
}

TActiveFile* TConversionRun::FreeFile()
{
    for (auto& file : m_Files)
        if (!file->Taken())
            return file.get();
    return nullptr;
}

// Takes rows while a file is free. Rows that end at once (missing, skipped, refused) free
// their file again inside ProcessFile, so the loop goes on with the next.
void TConversionRun::FillFiles()
{
    if (m_Busy > 0) {
        m_FillPending = true;
        return;
    }
    TBusy busy(*this);
    // No row starts while paused: Resume takes them again.
    while (!m_Cancelled && !m_Over && !m_Closing && !Paused() && m_NextFileIndex < m_RunFileCount) {
        TActiveFile* file = FreeFile();
        if (!file)
            break;
        if (m_NextFileIndex > 0 && ActiveFiles() == 0) {  // between rows: nothing to stop or pause
            m_Display.StopEnabled = false;
            m_Display.PauseEnabled = false;
            Changed();
            ProcessMessages();
            if (m_Cancelled || m_Over || m_Closing || file->Taken())
                break;
        }
        ProcessFile(*file, m_NextFileIndex++);
    }
    if (m_NextFileIndex >= m_RunFileCount && ActiveFiles() == 0 && !m_Cancelled && !m_Over && !m_Closing)
        EndRun();
}

void TConversionRun::ProcessFile(TActiveFile& file, int index)
{
    // The logger delivers later: what opening an earlier row said must not reach this one.
    FFLogger().Flush();
    file.Begin(index);
    m_Preparing = &file;
    if (!m_Blocks) {
        m_Display.RemainingText = QString::fromLatin1(kCalculationText);
        m_Display.Caption = RunCaption(index + 1, m_RunFileCount);
    }
    ShowBatch();
    const TRunRow& row = m_Setup.Rows[static_cast<size_t>(index)];
    Say(file, QString(), TLogColour::Neutral);
    if (m_Blocks)
        ShowActiveFiles();
    else
        m_Display.FileLabel = DisplayedFileName(row.Caption);
    Changed();
    Say(file, QStringLiteral("File #%1").arg(index + 1), TLogColour::Neutral, true);
    Say(file, DisplayedFileName(row.SourcePath), TLogColour::Neutral);
    if (!IsExistingFile(row.SourcePath)) {
        // Deleted or moved since it was added: said, and counted as failed.
        ++m_FailedRows;
        Say(file, QStringLiteral("File not found!"), TLogColour::Red);
        m_Batch.FinishRow(index, ClockSeconds(), false);
        RecordRowNotConverted(file, QStringLiteral("the source is gone (deleted or moved during the run)"));
        EndFile(file);
        return;
    }

    const QString outputPath = OutputPathOf(row);
    file.OutputPath = outputPath;
    if (!NameTaken(outputPath)) {
        StartFile(file, row.SourcePath, outputPath);
        return;
    }
    const QString fileName = FileNameOf(outputPath);
    const bool start = AskToReplace(file, fileName);
    if (m_Over || m_Closing)
        return;
    if (m_Cancelled) {  // Stop while the question was shown: the row is stopped
        EndFile(file);
        return;
    }
    if (start) {
        StartFile(file, row.SourcePath, outputPath);
        return;
    }
    ++m_FailedRows;
    Say(file, QStringLiteral("Skipped!"), TLogColour::Red);
    m_Batch.FinishRow(index, ClockSeconds(), false);
    RecordRowNotConverted(file, QStringLiteral("the output \"%1\" already exists").arg(fileName), TRowOutcome::Skipped);
    EndFile(file);
}

// The existing output of a row: replaced, kept beside a numbered new one, or kept and the
// row skipped. One question at a time: no row is taken while it shows. The clock stands
// while it shows, unless other files go on converting.
bool TConversionRun::AskToReplace(TActiveFile& file, const QString& fileName)
{
    std::optional<TOverwriteAction> action = m_OverwriteMemory.Remembered();
    if (!action && m_Setup.AskOverwrite) {
        const bool idle = ActiveFiles() <= 1;
        if (idle)
            m_Elapsed.stop();
        m_Display.StopEnabled = true;  // Stop answers the question too
        Changed();
        action = m_OverwriteMemory.Answer(m_Setup.AskOverwrite(fileName));
        if (m_Over || m_Closing || m_Cancelled)
            return false;
        if (idle) {
            m_Batch.Idle(ClockSeconds());
            m_Elapsed.start();
        }
    } else if (!action) {
        Say(file, QStringLiteral("File \"%1\" already exists!").arg(fileName), TLogColour::Red);
        action = TOverwriteAction::Skip;
    } else if (*action == TOverwriteAction::Skip) {
        Say(file, QStringLiteral("File \"%1\" already exists!").arg(fileName), TLogColour::Red);
    }
    file.Overwrite = *action == TOverwriteAction::Replace;
    file.KeepBoth = *action == TOverwriteAction::KeepBoth;
    return *action != TOverwriteAction::Skip;
}

void TConversionRun::StartFile(TActiveFile& file, const QString& sourcePath, const QString& outputPath)
{
    ResetFileProgress(file);
    if (!m_FolderError.isEmpty()) {
        FailFile(file, m_FolderError);
        return;
    }
    // Caller errors of the components (an operation while working) must not stall the run.
    const char* step = kLoadingError;
    try {
        if (!LoadSource(file, sourcePath))
            return;
        step = kAddingError;
        const int task = AddSourceTask(file, sourcePath);
        if (task < 0)
            return;
        step = kApplyingError;
        if (!ApplyParameters(file, task, outputPath))
            return;
        if (!ShowProcessing(file, outputPath)) {
            file.Staged.Discard();
            if (!m_Closing)
                EndFile(file);
            return;
        }
        StartEncoder(file);
    } catch (const std::exception& error) {
        file.Staged.Discard();
        FailFile(file, QString::fromLatin1(step) + QString::fromUtf8(error.what()));
    }
}

void TConversionRun::ResetFileProgress(TActiveFile& file)
{
    if (!m_Blocks) {
        m_Display.Percent = 0;
        Changed();
    }
    file.SourceDuration = 0;
    file.LastTotalDuration = 0;
    file.LastCurrentDuration = 0;
}

// Opening the source once tells whether the engine can read it, before any task exists.
bool TConversionRun::LoadSource(TActiveFile& file, const QString& sourcePath)
{
    if (!m_Decoder.LoadFile(FileNameString(sourcePath))) {
        FailFile(file, QString::fromLatin1(kLoadingError) + Text(m_Decoder.LastErrMsg()));
        return false;
    }
    if (m_Setup.Kind == TRunKind::Audio)
        file.SourceDuration = m_Decoder.FileStreamInfo().Duration;
    m_Decoder.CloseFile();
    Say(file, QStringLiteral("Loading file... OK"), TLogColour::Green);
    m_Display.StopEnabled = true;
    m_Display.PauseEnabled = true;
    Changed();
    return true;
}

// The row's one task; negative after the failure was logged.
int TConversionRun::AddSourceTask(TActiveFile& file, const QString& sourcePath)
{
    file.Encoder.ClearTasks();
    TInputOptions input;
    input.Reset();
    input.FileName = FileNameString(sourcePath);
    const int task = file.Encoder.AddTask(input.FileName, &input);
    if (task < 0) {
        FailFile(file, QString::fromLatin1(kAddingError) + Text(file.Encoder.LastErrMsg()));
        return task;
    }
    Say(file, QStringLiteral("Adding task... OK"), TLogColour::Green);
    return task;
}

// The run's options on the task, writing to a temporary file beside the output.
bool TConversionRun::ApplyParameters(TActiveFile& file, int task, const QString& outputPath)
{
    const QString step = QString::fromLatin1(kApplyingError);
    TOutputOptions output;
    output.Reset();
    Say(file, QStringLiteral("Parameters ") + m_Setup.Options, TLogColour::Grey);
    output.Options = m_Setup.Options.toStdString();
    QString stagingError;
    if (!StageOutput(file, outputPath, &stagingError)) {
        file.Encoder.RemoveTask(task);
        FailFile(file, step + stagingError);
        return false;
    }
    // "file:" keeps a colon in the name from reading as a protocol.
    if (file.Encoder.SetOutput(task, "file:" + file.Staged.TempPath(), &output) < 0) {
        const QString message = Text(file.Encoder.LastErrMsg());
        file.Staged.Discard();
        file.Encoder.RemoveTask(task);
        FailFile(file, step + message);
        return false;
    }
    // A muxer that writes its own files (an image sequence, null) is not staged.
    if (!file.Encoder.FFmpegs(task)->OutputWritesFile(0))
        file.Staged.Discard();
    Say(file, QStringLiteral("Applying parameters... OK"), TLogColour::Green);
    return true;
}

bool TConversionRun::ShowProcessing(TActiveFile& file, const QString& outputPath)
{
    Say(file, QStringLiteral("Processing file..."), TLogColour::Green);
    if (m_Blocks)
        ShowActiveFiles();
    else
        m_Display.FileLabel = FileNameOf(outputPath);
    Changed();
    ProcessMessages();
    // Stop or a termination signal may come while the window catches up: the unstarted task
    // is ended then, and starting it would write into a staged file about to be discarded.
    if (m_Cancelled || m_Closing)
        return false;
    Say(file, DisplayedFileName(outputPath), TLogColour::Neutral);
    return true;
}

void TConversionRun::StartEncoder(TActiveFile& file)
{
    switch (m_Setup.CPUUsage) {
    case 0: file.Encoder.ThreadPriority = tpIdle; break;
    case 1: file.Encoder.ThreadPriority = tpLowest; break;
    case 2: file.Encoder.ThreadPriority = tpNormal; break;
    case 3: file.Encoder.ThreadPriority = tpHighest; break;
    default: break;
    }
    file.FileDone = false;
    file.RowError.clear();
    file.EngineLines.clear();
    file.EngineLinesDropped = 0;
    file.CollectEngineLines = true;
    file.TakeSenders();
    FFLogger().Flush();  // what opening it said, with its row
    m_Preparing = nullptr;
    file.Stage = TFileStage::Converting;
    // The file's one task on a worker thread of its own.
    file.Encoder.Start(1);
}

bool TConversionRun::StageOutput(TActiveFile& file, const QString& outputPath, QString* error)
{
    if (file.Staged.Begin(FileNameString(outputPath))) {
        LogOf(file).ShowNameAs(Text(file.Staged.TempPath()), DisplayedFileName(outputPath));
        return true;
    }
    *error = Text(file.Staged.Error());
    return false;
}

// The task's own terminate event: a converted output gets its final name, anything else
// (an exception, Stop) loses its temporary file.
void TConversionRun::FinishOutput(TActiveFile& file, const TTerminateInfo& info)
{
    if (m_Cancelled || !info.Finished || info.Exception) {
        file.Staged.Discard();
        return;
    }
    if (!file.Staged.Staged()) {  // not staged: written under its own name
        file.FileDone = true;
        return;
    }
    const TCommitMode mode = file.Overwrite ? TCommitMode::Replace : TCommitMode::KeepExisting;
    const QString wanted = FileNameText(file.Staged.FinalPath());
    if (!file.Staged.Commit(mode)) {
        file.RowError = Text(file.Staged.Error());
        Say(file, file.RowError, TLogColour::Red);
        return;
    }
    const QString final = FileNameText(file.Staged.FinalPath());
    m_Written.append(final);
    file.FileDone = true;
    if (final != wanted && file.KeepBoth)
        Say(file, QStringLiteral("Saved as \"%1\"").arg(FileNameOf(final)), TLogColour::Neutral);
    else if (final != wanted)
        Say(file,
            QStringLiteral("\"%1\" appeared meanwhile; saved as \"%2\"").arg(FileNameOf(wanted), FileNameOf(final)),
            TLogColour::Neutral);
}

void TConversionRun::FFEncoderProgress(const TProgressInfo& info) { FileProgress(*m_Files.front(), info); }

void TConversionRun::FFEncoderTerminate(const TTerminateInfo& info) { FileTerminate(*m_Files.front(), info); }

void TConversionRun::FileProgress(TActiveFile& file, const TProgressInfo& info)
{
    if (m_Setup.Kind == TRunKind::Audio)
        file.LastTotalDuration = file.SourceDuration;
    else
        file.LastTotalDuration = info.TotalDuration;
    file.LastCurrentDuration = info.CurrentDuration;
    file.Size = info.CurrentSize;
    m_Batch.Progress(file.Row, file.LastCurrentDuration, ClockSeconds());
    ShowBatch();
    if (m_Blocks) {
        ShowActiveFiles();
        Changed();
        return;
    }
    if (const std::optional<int> percent = ProgressPercent(file.LastCurrentDuration, file.LastTotalDuration)) {
        m_Display.Percent = *percent;
        m_Display.PercentText = QStringLiteral("%1%").arg(*percent);
    }
    m_Display.SizeText = FormatOutputSize(info.CurrentSize);
    Changed();
}

// Each file's encoder raises two events: the task's own (its output is committed or
// discarded) and then the final one, which closes the row.
void TConversionRun::FileTerminate(TActiveFile& file, const TTerminateInfo& info)
{
    if (m_Over)
        return;  // a late delivery after the run ended
    const bool final = info.TaskIndex < 0;
    if (final && file.Stage != TFileStage::Ending)
        return;  // the final event of a row already closed without it
    TBusy busy(*this);
    // Enabled again at the end: the timer must not fire from the log's event processing in
    // between and start the next row inside this event.
    m_Process.stop();
    // Stopped: the bars stay where the run was.
    if (!m_Cancelled && !m_Blocks) {
        m_Display.Percent = 100;
        m_Display.PercentText = QStringLiteral("100%");
        m_Display.RemainingText = QString::fromLatin1(kClockZero);
    }
    Changed();
    // The exception is logged below in red: the engine's own line of it is not repeated.
    ShowEngineLines(file, info.Exception ? Text(info.ExceptionMsg).trimmed() : QString());
    if (final) {
        file.CollectEngineLines = false;
    } else {
        FinishOutput(file, info);
        file.Stage = TFileStage::Ending;
        file.SinceTaskEnded.start();
    }
    if (!m_Cancelled && info.Exception) {
        file.RowError = Text(info.ExceptionMsg);
        AddEngineLine(file, file.RowError, TLogColour::Red);
    }
    if (final)
        CloseRow(file);
    EnableProcessTimer();
}

// The final event closes the row: "Success!" only for an output that is in place (also one
// committed just before Stop: it is there, complete).
void TConversionRun::CloseRow(TActiveFile& file)
{
    if (file.FileDone) {
        Say(file, QStringLiteral("Success!"), TLogColour::Green);
        SetRowOutcome(file.Row, TRowOutcome::Converted, QString());
    } else if (!m_Cancelled) {
        ++m_FailedRows;
        Say(file, QStringLiteral("Error!"), TLogColour::Red);
        m_View.ErrorBeep();
        RecordRowNotConverted(
            file, file.RowError.isEmpty() ? QStringLiteral("the conversion did not finish") : file.RowError);
    }
    if (!m_Cancelled || file.FileDone) {
        m_Batch.FinishRow(file.Row, ClockSeconds(), file.FileDone);
        ShowBatch();
    }
    EndFile(file);
}

void TConversionRun::EndFile(TActiveFile& file)
{
    if (m_Blocks) {
        WriteLooseEngineLines();
        const std::vector<TLogLine> lines = std::exchange(file.Block, TRunLog()).Lines();
        m_Log.Append(lines);
        for (const TLogLine& line : lines)
            m_View.LogAdded(line);
    }
    if (m_Preparing == &file) {
        // Ended before it converted: what opening it said (its row's error line says it
        // plainly) is delivered now, so that no file converting takes it for its own.
        FFLogger().Flush();
        m_Preparing = nullptr;
    }
    file.End();
    if (m_Blocks) {
        ShowActiveFiles();
        Changed();
    }
    EnableProcessTimer();
}

// One line for the files converting (their output names), one bar over their media, the
// sum of their sizes and, in the title, the rows they are.
void TConversionRun::ShowActiveFiles()
{
    std::vector<const TActiveFile*> taken;
    for (const auto& file : m_Files)
        if (file->Taken())
            taken.push_back(file.get());
    if (taken.empty())
        return;
    std::sort(taken.begin(), taken.end(), [](const TActiveFile* a, const TActiveFile* b) { return a->Row < b->Row; });
    QStringList names;
    int64_t current = 0;
    int64_t total = 0;
    int64_t size = 0;
    for (const TActiveFile* file : taken) {
        const TRunRow& row = m_Setup.Rows[static_cast<size_t>(file->Row)];
        names.append(file->OutputPath.isEmpty() ? DisplayedFileName(row.Caption) : FileNameOf(file->OutputPath));
        if (file->LastTotalDuration > 0) {
            current += std::clamp(file->LastCurrentDuration, int64_t(0), file->LastTotalDuration);
            total += file->LastTotalDuration;
        }
        size += file->Size;
    }
    const int first = taken.front()->Row;
    const int last = taken.back()->Row;
    m_Display.FileLabel =
        names.size() == 1
            ? names.first()
            : QStringLiteral("%1 files converting: %2").arg(names.size()).arg(names.join(QStringLiteral(", ")));
    m_Display.Caption = first == last
                            ? RunCaption(first + 1, m_RunFileCount)
                            : QStringLiteral("Saving... [%1-%2/%3]").arg(first + 1).arg(last + 1).arg(m_RunFileCount);
    if (const std::optional<int> percent = ProgressPercent(current, total)) {
        m_Display.Percent = *percent;
        m_Display.PercentText = QStringLiteral("%1%").arg(*percent);
    }
    m_Display.SizeText = size > 0 ? FormatOutputSize(size) : QString();
}

void TConversionRun::tmr_ElapsedTimer()
{
    ++m_RunSeconds;
    std::vector<TFileClock> clocks;
    for (auto& file : m_Files)
        if (file->Taken()) {
            ++file->Seconds;
            clocks.push_back({file->Seconds, file->LastTotalDuration, file->LastCurrentDuration});
        }
    m_Display.ElapsedText = FormatClock(m_RunSeconds);
    const TActiveFile& first = *m_Files.front();
    const std::optional<QString> remaining =
        m_Blocks ? RemainingTextOfFiles(clocks)
                 : RemainingText(first.Seconds, first.LastTotalDuration, first.LastCurrentDuration);
    if (remaining)
        m_Display.RemainingText = *remaining;
    Changed();
}

void TConversionRun::tmr_ProcessTimer()
{
    m_Process.stop();
    if (m_Over)
        return;
    if (m_Busy > 0) {
        m_FillPending = true;
        return;
    }
    EndOverdueFiles();
    if (m_Cancelled) {
        if (ActiveFiles() == 0)
            CancelledEnd();
        else
            AwaitFinalEvents();
        return;
    }
    FillFiles();
    AwaitFinalEvents();
}

// The final terminate event follows the task's own from another delivery thread. On a busy
// machine it may take longer than this timer; moving on before it came would let it land in
// the file's next row (a stray "Success!", and a second step forward).
void TConversionRun::EndOverdueFiles()
{
    for (auto& file : m_Files)
        if (file->Stage == TFileStage::Ending && file->SinceTaskEnded.hasExpired(kFinalEventWaitMs))
            FileTerminate(*file, TTerminateInfo{-1, true, false, {}});
}

void TConversionRun::AwaitFinalEvents()
{
    if (m_Over || m_Process.isActive())
        return;
    qint64 soonest = -1;
    for (const auto& file : m_Files)
        if (file->Stage == TFileStage::Ending) {
            const qint64 left = std::max<qint64>(0, kFinalEventWaitMs - file->SinceTaskEnded.elapsed());
            soonest = soonest < 0 ? left : std::min(soonest, left);
        }
    if (soonest >= 0)
        m_Process.start(static_cast<int>(soonest) + 1);  // the final event cuts this short
}

void TConversionRun::btn_PauseClick()
{
    if (m_Display.PauseCaption == QLatin1String("Pause")) {
        m_Display.PauseCaption = QStringLiteral("Resume");
        Changed();
        AddLog(QStringLiteral("Paused!"), TLogColour::Maroon);
        m_Elapsed.stop();
        ProcessMessages();
        for (auto& file : m_Files)
            file->Encoder.Pause();
    } else {
        m_Display.PauseCaption = QStringLiteral("Pause");
        Changed();
        AddLog(QStringLiteral("Resumed!"), TLogColour::Maroon);
        m_Batch.Idle(ClockSeconds());
        m_Elapsed.start();
        ProcessMessages();
        for (auto& file : m_Files)
            file->Encoder.Resume();
        EnableProcessTimer();
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
    for (auto& file : m_Files)
        if (file->Encoder.Working())
            file->Encoder.Stop(true);
    // Between rows or while the overwrite question is shown there is nothing to wait for;
    // stopped files end through their final events.
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
    if (m_Blocks && !m_Cancelled) {  // the last block may have ended before its bar reached the end
        m_Display.Percent = 100;
        m_Display.PercentText = QStringLiteral("100%");
    }
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
    for (auto& file : m_Files) {
        if (file->Encoder.Working())
            file->Encoder.Stop(true);
        file->Staged.Discard();
    }
}

void TConversionRun::AddLog(const QString& text, TLogColour colour, bool bold)
{
    m_Log.Add(text, colour, bold);
    m_View.LogAdded(m_Log.Lines().back());
    ProcessMessages();
}

void TConversionRun::Say(TActiveFile& file, const QString& text, TLogColour colour, bool bold)
{
    if (m_Blocks)
        file.Block.Add(text, colour, bold);
    else
        AddLog(text, colour, bold);
}

// The engine's wording where it says nothing to a user: the plain line on screen, the
// engine's own in log.txt.
void TConversionRun::AddEngineLine(TActiveFile& file, const QString& line, TLogColour colour)
{
    const QString plain = PlainEngineLine(line);
    if (plain.isEmpty()) {
        Say(file, line, colour);
        return;
    }
    Say(file, plain, colour);
    TRunLog& log = LogOf(file);
    log.AddDetail(line, colour);
    if (!m_Blocks)
        m_View.LogAdded(log.Lines().back());
}

void TConversionRun::Changed() { m_View.DisplayChanged(); }

void TConversionRun::ProcessMessages() { QCoreApplication::processEvents(); }

void TConversionRun::FailFile(TActiveFile& file, const QString& line)
{
    ++m_FailedRows;
    Say(file, line, TLogColour::Red);
    m_Batch.FinishRow(file.Row, ClockSeconds(), false);
    RecordRowNotConverted(file, line);
    m_View.ErrorBeep();
    EndFile(file);
}

// The file an engine line belongs to. Files are opened on this thread, one at a time, and
// converted on workers: a line of this thread belongs to the file being opened, never to one
// converting, even when its context has the address a finished task's context had. A worker's
// line belongs to the file whose task's contexts sent it; when two files name that address,
// the later row's task allocated it after the earlier one freed it. Else the only file
// converting. Null when none can be told.
TActiveFile* TConversionRun::FileOfEngineLine(const void* sender, int threadId)
{
    if (threadId == m_MainThreadId)
        return m_Preparing && m_Preparing->CollectEngineLines ? m_Preparing : nullptr;
    TActiveFile* owner = nullptr;
    if (sender)
        for (auto& file : m_Files)
            if (file->CollectEngineLines && file->Senders.count(sender) && (!owner || file->Row > owner->Row))
                owner = file.get();
    if (owner)
        return owner;
    TActiveFile* only = nullptr;
    int collecting = 0;
    for (auto& file : m_Files)
        if (file->CollectEngineLines) {
            ++collecting;
            only = file.get();
        }
    return collecting == 1 ? only : nullptr;
}

void TConversionRun::EngineLine(const void* sender, int threadId, TLogLevel level, const std::string& line)
{
    if (level > TLogLevel::llWarning || level == TLogLevel::llQuiet)
        return;
    TActiveFile* file = FileOfEngineLine(sender, threadId);
    const QString text = Text(LogLineMessage(line)).trimmed();
    if (!file) {
        if (!m_Blocks || threadId == m_MainThreadId)
            return;  // opening a file that failed: its error is the row's own line
        QStringList names;
        for (const auto& other : m_Files)
            if (other->CollectEngineLines)
                names.append(FileNameOf(other->OutputPath));
        if (!names.isEmpty() && m_LooseEngineLines.size() < kMaxEngineLinesPerFile)
            m_LooseEngineLines.append(QStringLiteral("(%1) %2").arg(names.join(QStringLiteral(", ")), text));
        return;
    }
    if (file->EngineLines.size() < kMaxEngineLinesPerFile)
        file->EngineLines.append(text);
    else
        ++file->EngineLinesDropped;
}

void TConversionRun::ShowEngineLines(TActiveFile& file, const QString& except)
{
    if (!file.CollectEngineLines)
        return;
    FFLogger().Flush();  // what the conversion logged before it ended
    const QStringList lines = std::exchange(file.EngineLines, {});
    const int dropped = std::exchange(file.EngineLinesDropped, 0);
    if (m_Cancelled)
        return;  // what stopping leaves unfinished is no news after "Cancelled by user!"
    for (const QString& line : lines)
        if (except.isEmpty() || !line.contains(except))
            AddEngineLine(file, line, TLogColour::Maroon);
    if (dropped > 0)
        Say(file, QStringLiteral("(%1 more messages of the engine)").arg(dropped), TLogColour::Maroon);
}

// Engine lines of several files at once that no file could be told by: between the blocks,
// with the names of the files converting when they came.
void TConversionRun::WriteLooseEngineLines()
{
    const QStringList lines = std::exchange(m_LooseEngineLines, {});
    if (m_Cancelled)
        return;
    for (const QString& line : lines) {
        m_Log.Add(line, TLogColour::Maroon);
        m_View.LogAdded(m_Log.Lines().back());
    }
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
    m_NotConverted.push_back({path, reason});
    if (m_Setup.ReportNotConverted)
        m_Setup.ReportNotConverted(m_NotConverted.back());
}

void TConversionRun::RecordRowNotConverted(TActiveFile& file, const QString& reason, TRowOutcome outcome)
{
    if (file.Row >= 0 && file.Row < static_cast<int>(m_Setup.Rows.size()))
        RecordNotConverted(m_Setup.Rows[static_cast<size_t>(file.Row)].SourcePath, LogOf(file).WithShownName(reason));
    SetRowOutcome(file.Row, outcome,
                  outcome == TRowOutcome::Skipped ? QStringLiteral("output exists") : PlainReason(reason));
}

void TConversionRun::SetRowOutcome(int row, TRowOutcome outcome, const QString& reason)
{
    m_Tally.SetRow(row, outcome, reason);
    if (m_Setup.RowStatusChanged && row >= 0 && row < static_cast<int>(m_Tally.Rows().size()))
        m_Setup.RowStatusChanged(row, m_Tally.Rows()[static_cast<size_t>(row)]);
}

void TConversionRun::EnableProcessTimer()
{
    // Enabling it again before it fires changes nothing (both terminate events enable it);
    // a wait for the final terminate event ends.
    if (!m_Process.isActive() || m_Process.interval() != kNextRowDelayMs)
        m_Process.start(kNextRowDelayMs);
}

}  // namespace reelsmith
