#include "runs/conversion_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

#include "app/program_paths.h"
#include "runs/output_naming.h"
#include "runs/termination_notifier.h"
#include "runs/run_progress.h"

namespace reelsmith {

namespace {

constexpr int kStartDelayMs = 100;
constexpr int kClockMs = 1000;
constexpr int kNextRowDelayMs = 100;
constexpr int kFinalEventPolls = 100;  // ten seconds of waiting for the final terminate event

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString RunCaption(int number, int count) { return QStringLiteral("Saving... [%1/%2]").arg(number).arg(count); }

}  // namespace

TConversionRun::TConversionRun(TRunSetup setup, IRunView& view, QObject* parent)
    : QObject(parent), m_Setup(std::move(setup)), m_View(view)
{
    for (const TRunRow& row : m_Setup.Rows)
        m_Sources.append(row.SourcePath);
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
}

TConversionRun::~TConversionRun()
{
    // The encoder's destructor still serves pending hand-overs: nothing may reach this
    // half-destroyed run any more.
    m_Closing = true;
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
    // A run that saves its log removes the previous one first: a log.txt left by a killed
    // run could otherwise be taken for this run's.
    if (m_Setup.ExitAtEnd)
        QFile::remove(LogPath());
    if (!m_Setup.OutputPath.isEmpty() && !QFileInfo::exists(m_Setup.OutputPath))
        QDir().mkpath(m_Setup.OutputPath);
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
    Changed();
    const TRunRow& row = m_Setup.Rows[static_cast<size_t>(index)];
    const QFileInfo source(row.SourcePath);
    if (!source.exists() || source.isDir()) {
        EnableProcessTimer();
        return;
    }
    AddLog(QString(), TLogColour::Neutral);
    m_Display.FileLabel = row.Caption;
    Changed();
    AddLog(QStringLiteral("File #%1").arg(index + 1), TLogColour::Neutral, true);
    AddLog(row.SourcePath, TLogColour::Neutral);

    const QString outputPath = OutputPathOf(row);
    m_Overwrite = false;
    if (!QFileInfo::exists(outputPath) && !QFileInfo(outputPath).isSymLink()) {
        StartFile(row.SourcePath, outputPath);
        return;
    }
    const QString fileName = QFileInfo(outputPath).fileName();
    m_Elapsed.stop();
    bool overwrite = false;
    if (m_Setup.AskOverwrite)
        overwrite = m_Setup.AskOverwrite(fileName);
    else
        AddLog(QStringLiteral("File \"%1\" already exists!").arg(fileName), TLogColour::Red);
    if (m_Over || m_Closing)
        return;
    m_Elapsed.start();
    if (overwrite) {
        m_Overwrite = true;
        StartFile(row.SourcePath, outputPath);
        return;
    }
    ++m_FailedRows;
    AddLog(QStringLiteral("Skipped!"), TLogColour::Red);
    EnableProcessTimer();
}

void TConversionRun::StartFile(const QString& sourcePath, const QString& outputPath)
{
    m_Display.Percent = 0;
    Changed();
    if (m_Setup.Kind == TRunKind::Audio) {
        m_SourceDuration = 0;
    } else {
        m_LastTotalDuration = 0;
        m_LastCurrentDuration = 0;
    }
    // Caller errors of the components (an operation while working) must not stall the run.
    const char* step = "Loading file... Error! ";
    try {
        if (!m_Decoder.LoadFile(sourcePath.toStdString())) {
            FailFile(QString::fromLatin1(step) + Text(m_Decoder.LastErrMsg()));
            return;
        }
        if (m_Setup.Kind == TRunKind::Audio)
            m_SourceDuration = m_Decoder.FileStreamInfo().Duration;
        m_Decoder.CloseFile();
        AddLog(QStringLiteral("Loading file... OK"), TLogColour::Green);
        m_Display.StopEnabled = true;
        m_Display.PauseEnabled = true;
        Changed();

        step = "Adding task... Error! ";
        m_Encoder.ClearTasks();
        TInputOptions input;
        input.Reset();
        input.FileName = sourcePath.toStdString();
        const int task = m_Encoder.AddTask(sourcePath.toStdString(), &input);
        if (task < 0) {
            FailFile(QString::fromLatin1(step) + Text(m_Encoder.LastErrMsg()));
            return;
        }

        step = "Applying parameters... Error! ";
        TOutputOptions output;
        output.Reset();
        AddLog(QStringLiteral("Adding task... OK"), TLogColour::Green);
        AddLog(QStringLiteral("Parameters ") + m_Setup.Options, TLogColour::Grey);
        output.Options = m_Setup.Options.toStdString();
        QString stagingError;
        if (!StageOutput(outputPath, &stagingError)) {
            m_Encoder.RemoveTask(task);
            FailFile(QString::fromLatin1(step) + stagingError);
            return;
        }
        // "file:" keeps a colon in the name from reading as a protocol.
        if (m_Encoder.SetOutput(task, "file:" + m_Staged.TempPath(), &output) < 0) {
            const QString message = Text(m_Encoder.LastErrMsg());
            m_Staged.Discard();
            m_Encoder.RemoveTask(task);
            FailFile(QString::fromLatin1(step) + message);
            return;
        }
        // A muxer that writes its own files (an image sequence, null) is not staged.
        if (!m_Encoder.FFmpegs(task)->OutputWritesFile(0))
            m_Staged.Discard();
        AddLog(QStringLiteral("Applying parameters... OK"), TLogColour::Green);
        AddLog(QStringLiteral("Processing file..."), TLogColour::Green);
        m_Display.FileLabel = QFileInfo(outputPath).fileName();
        Changed();
        ProcessMessages();
        AddLog(outputPath, TLogColour::Neutral);

        switch (m_Setup.CPUUsage) {
        case 0:
            m_Encoder.ThreadPriority = tpIdle;
            break;
        case 1:
            m_Encoder.ThreadPriority = tpLowest;
            break;
        case 2:
            m_Encoder.ThreadPriority = tpNormal;
            break;
        case 3:
            m_Encoder.ThreadPriority = tpHighest;
            break;
        default:
            break;
        }
        m_FinalEventWaits = 0;
        m_AwaitingFinalEvent = true;
        m_FileDone = false;
        m_Encoder.Start(m_Setup.ThreadsText.toInt());
    } catch (const std::exception& error) {
        m_Staged.Discard();
        FailFile(QString::fromLatin1(step) + QString::fromUtf8(error.what()));
    }
}

bool TConversionRun::StageOutput(const QString& outputPath, QString* error)
{
    if (m_Staged.Begin(QFile::encodeName(outputPath).toStdString()))
        return true;
    *error = QFile::decodeName(QByteArray::fromStdString(m_Staged.Error()));
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
    const QString wanted = m_Staged.FinalPath().empty() ? QString() : QFile::decodeName(QByteArray::fromStdString(m_Staged.FinalPath()));
    if (!m_Staged.Commit(mode)) {
        AddLog(QFile::decodeName(QByteArray::fromStdString(m_Staged.Error())), TLogColour::Red);
        return;
    }
    const QString final = QFile::decodeName(QByteArray::fromStdString(m_Staged.FinalPath()));
    m_Written.append(final);
    m_FileDone = true;
    if (final != wanted)
        AddLog(QStringLiteral("\"%1\" appeared meanwhile; saved as \"%2\"")
                   .arg(QFileInfo(wanted).fileName(), QFileInfo(final).fileName()),
               TLogColour::Neutral);
}

void TConversionRun::FFEncoderProgress(const TProgressInfo& info)
{
    if (m_Setup.Kind == TRunKind::Audio)
        m_LastTotalDuration = m_SourceDuration;
    else
        m_LastTotalDuration = info.TotalDuration;
    m_LastCurrentDuration = info.CurrentDuration;
    if (const std::optional<int> percent = ProgressPercent(m_LastCurrentDuration, m_LastTotalDuration)) {
        m_Display.Percent = *percent;
        m_Display.PercentText = QStringLiteral("%1%").arg(*percent);
        if (m_RunFileCount == 1) {
            m_Taskbar.Max = 100;
            m_Taskbar.Progress = *percent;
        }
    }
    m_Display.SizeText = FormatOutputSize(info.CurrentSize);
    Changed();
}

void TConversionRun::FFEncoderTerminate(const TTerminateInfo& info)
{
    if (m_Over)
        return;  // a late delivery after the run ended
    m_Display.Percent = 100;
    m_Display.PercentText = QStringLiteral("100%");
    m_Display.RemainingText = QString::fromLatin1(kClockZero);
    m_Taskbar.Progress = m_Taskbar.Max;
    Changed();
    if (info.TaskIndex < 0)
        m_AwaitingFinalEvent = false;
    else
        FinishOutput(info);
    if (!m_Cancelled) {
        if (info.Exception)
            AddLog(Text(info.ExceptionMsg), TLogColour::Red);
        // The final event closes the row: "Success!" only for an output that is in place.
        if (info.TaskIndex < 0 && m_FileDone) {
            AddLog(QStringLiteral("Success!"), TLogColour::Green);
        } else if (info.TaskIndex < 0) {
            ++m_FailedRows;
            AddLog(QStringLiteral("Error!"), TLogColour::Red);
            m_View.ErrorBeep();
        }
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
    if (m_AwaitingFinalEvent && ++m_FinalEventWaits <= kFinalEventPolls) {
        m_Process.start();
        return;
    }
    m_AwaitingFinalEvent = false;
    if (m_Cancelled) {
        CancelledEnd();
        return;
    }
    ++m_NextFileIndex;
    if (m_RunFileCount == 1) {
        m_Taskbar.Progress = 0;
        m_Taskbar.Max = 100;
    } else {
        m_Taskbar.Progress = m_NextFileIndex;
        m_Taskbar.Max = m_RunFileCount;
    }
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
    m_Encoder.Stop(true);
}

void TConversionRun::FormClose()
{
    m_Taskbar.Progress = 0;
    m_Taskbar.Visible = false;
    Changed();
}

// Both ends of a run: the blue "Done.", the label, and the clock stopped at zero remaining.
void TConversionRun::ShowDone()
{
    AddLog(QStringLiteral("Done."), TLogColour::Blue);
    m_Display.FileLabel = QStringLiteral("Done.");
    m_Elapsed.stop();
    m_Display.RemainingText = QString::fromLatin1(kClockZero);
}

void TConversionRun::EndRun()
{
    AddLog(QString(), TLogColour::Neutral);
    m_Taskbar.Progress = m_Taskbar.Max;
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
        // The program still ends when the log cannot be saved; the last line says so.
        const QString logPath = LogPath();
        PrintLogPlace(logPath, m_Log.SaveToFile(logPath));
        m_View.Terminate();
    }
}

void TConversionRun::CancelledEnd()
{
    m_Taskbar.Progress = m_Taskbar.Max;
    if (m_Setup.Kind == TRunKind::Audio)
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

QString TConversionRun::LogPath() const
{
    return m_Setup.LogPath.isEmpty() ? LogFilePath() : m_Setup.LogPath;
}

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

void TConversionRun::Changed() { m_View.DisplayChanged(); }

void TConversionRun::ProcessMessages() { QCoreApplication::processEvents(); }

void TConversionRun::FailFile(const QString& line)
{
    ++m_FailedRows;
    AddLog(line, TLogColour::Red);
    m_View.ErrorBeep();
    EnableProcessTimer();
}

void TConversionRun::EnableProcessTimer()
{
    // Enabling it again before it fires changes nothing (both terminate events enable it).
    if (!m_Process.isActive())
        m_Process.start();
}

}  // namespace reelsmith
