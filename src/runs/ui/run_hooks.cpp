#include "runs/ui/run_hooks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <utility>

#include "app/command_line.h"
#include "app/file_list_io.h"
#include "runs/ui/run_window.h"
#include "settings/option_builder.h"

namespace reelsmith {

namespace {

constexpr int kNothingToConvertStatus = 2;

bool Headless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// A failure nobody can see in a dialog: said on stderr, and the program ends with status.
void EndUnattended(const QString& message, int status)
{
    std::fprintf(stderr, "reelsmith: %s\n", message.toLocal8Bit().constData());
    QCoreApplication::exit(status);
}

void NameNotAdded(IRunHost& host)
{
    for (const TRejectedInput& input : std::exchange(host.NotAddedInputs(), {}))
        PrintNotConverted(input);
}

// Step 1 of the run commands: a list that is still empty after the Add Files dialog stops.
bool HaveRows(IRunHost& host)
{
    if (host.Files().Count() > 0)
        return true;
    if (UnattendedRun(host)) {
        NameNotAdded(host);
        EndUnattended(QStringLiteral("nothing to convert: no media file was added."), kNothingToConvertStatus);
        return false;
    }
    host.AskForFiles();
    return host.Files().Count() > 0;
}

bool BrowseFolder(IRunHost& host, QString* folder)
{
    const QString firstSource = host.Files().Count() > 0 ? host.Files().Row(0).cell(FileCell::SourcePath) : QString();
    *folder = QFileDialog::getExistingDirectory(host.Window(), QStringLiteral("Specify destination folder."),
                                                BrowseStartFolder(host.LastDestination(), firstSource),
                                                QFileDialog::ShowDirsOnly);
    return !folder->isEmpty();
}

bool AskCreateFolder(IRunHost& host, const QString& folder)
{
    return QMessageBox::question(host.Window(), QStringLiteral("Create folder"),
                                 QStringLiteral("The folder \"%1\" does not exist.\n\nCreate it?").arg(folder),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

// Steps 2 to 5: the destination, or false after telling the user why not.
bool ChooseOutput(IRunHost& host, bool consultCommandLine, QString* outputPath)
{
    TDestinationRequest request;
    request.Choice = host.DestinationChoice();
    if (consultCommandLine && host.Params().size() > 1)
        request.CommandLineFolder = host.Params().at(1);
    request.PathText = host.OutputFolderText();
    request.Browse = [&host](QString* folder) { return BrowseFolder(host, folder); };
    if (!UnattendedRun(host))
        request.AskCreate = [&host](const QString& folder) { return AskCreateFolder(host, folder); };
    const TDestination destination = ChooseDestination(request);
    if (!destination.Ok) {
        if (!destination.Error.isEmpty()) {
            if (UnattendedRun(host)) {
                EndUnattended(destination.Error, 1);
                return false;
            }
            QMessageBox::critical(host.Window(), QStringLiteral("Error"), destination.Error);
        }
        if (destination.ShowOutputTab)
            host.ShowOutputTab();
        return false;
    }
    *outputPath = destination.OutputPath;
    if (request.Choice == TDestinationChoice::Specify && request.CommandLineFolder.isEmpty())
        host.LastDestination() = destination.OutputPath;
    return true;
}

TRunSetup SetupFrom(IRunHost& host, const QString& outputPath)
{
    TRunSetup setup;
    const TFileListModel& files = host.Files();
    for (int i = 0; i < files.Count(); ++i)
        setup.Rows.push_back({files.Row(i).Caption, files.Row(i).cell(FileCell::SourcePath),
                              TFileListModel::CellNumber(files.Row(i), FileCell::DurationMicros)});
    setup.OutputPath = outputPath;
    const TOutputChoices choices = host.Choices();
    setup.VideoFormatText = QString::fromStdString(choices.VideoFormatText());
    setup.AudioFormatIndex = choices.AudioFormat;
    setup.Options = host.Options();
    setup.CPUUsage = choices.CPUUsage;
    setup.ThreadsText = QString::fromStdString(choices.ThreadsText());
    setup.ExitAtEnd = LastParameterIsExit(host.Params());
    // The status column tells this run's outcomes only.
    host.Files().ClearStatuses();
    QStringList paths;
    for (const TRunRow& row : setup.Rows)
        paths.append(row.SourcePath);
    // By source path: the list may be sorted while the run goes on. The host is gone by then;
    // the list lives as long as the main window.
    setup.RowStatusChanged = [files = QPointer<TFileListModel>(&host.Files()), paths](int row,
                                                                                      const TRowStatus& status) {
        if (files && row >= 0 && row < paths.size())
            files->SetStatus(paths.at(row), OutcomeText(status.Outcome), status.Reason);
    };
    // Only a command-line run answers for its inputs; later runs start afresh.
    if (UnattendedRun(host))
        setup.NotAdded = host.NotAddedInputs();
    host.NotAddedInputs().clear();
    return setup;
}

TRunWindowOptions WindowOptions(IRunHost& host)
{
    TRunWindowOptions options;
    options.Look.Dark = host.DarkTheme();
    const QColor neutral = host.ButtonCaptionColour();
    options.Look.DarkNeutral = {neutral.red(), neutral.green(), neutral.blue()};
    options.Taskbar = host.TaskbarProgress();
    options.Unattended = UnattendedRun(host);
    return options;
}

// A finished run's window still open goes before the next run starts: its run must be gone
// first, since the engine's log handler is one for the whole program.
void CloseFinishedRuns(QWidget* owner)
{
    for (TRunWindow* window : owner->findChildren<TRunWindow*>(Qt::FindDirectChildrenOnly)) {
        window->close();
        QCoreApplication::sendPostedEvents(window, QEvent::DeferredDelete);
    }
}

// The window is owned by the main window and deletes itself when closed; it does not block
// the main window.
template <typename Window>
void OpenRunWindow(IRunHost& host, const QString& outputPath)
{
    CloseFinishedRuns(host.Window());
    auto* window = new Window(host.Window(), SetupFrom(host, outputPath), WindowOptions(host));
    window->setAttribute(Qt::WA_DeleteOnClose);
    host.RunStarted(*window);
    window->show();
}

}  // namespace

bool UnattendedRun(const IRunHost& host)
{
    const bool automatic = host.Params().size() > 1 && !host.Params().at(1).isEmpty();
    return LastParameterIsExit(host.Params()) || (automatic && Headless());
}

namespace {

// Convert and Extract audio differ only in the option builder and the run window.
template <typename TWindow, typename TBuild>
void RunWithBuiltOptions(IRunHost& host, TBuild buildOptions)
{
    if (!HaveRows(host))
        return;
    QString outputPath;
    if (!ChooseOutput(host, true, &outputPath))
        return;
    host.SetOptions(QString::fromStdString(buildOptions(host.Choices())));
    OpenRunWindow<TWindow>(host, outputPath);
}

}  // namespace

void btn_ConvertClick(IRunHost& host) { RunWithBuiltOptions<Tfrm_Video>(host, BuildVideoOptions); }

void btn_ExtractClick(IRunHost& host) { RunWithBuiltOptions<Tfrm_Audio>(host, BuildAudioOptions); }

void btn_CommandClick(IRunHost& host)
{
    if (!HaveRows(host))
        return;
    if (!host.AskCommand())
        return;
    QString outputPath;
    if (!ChooseOutput(host, false, &outputPath))
        return;
    OpenRunWindow<Tfrm_Video>(host, outputPath);
}

void btn_BrowseClick(IRunHost& host)
{
    QString folder;
    if (BrowseFolder(host, &folder) && QDir(folder).exists())
        host.SetOutputFolderText(folder);
}

void tmr_ParamTimer(IRunHost& host)
{
    host.StopParamTimer();
    const TCommandLine line = ParseCommandLine(host.Params());
    host.NotAddedInputs() = line.Ignored;
    if (!line.FileList.isEmpty()) {
        QStringList paths;
        QString error;
        if (!ReadFileList(line.FileList, &paths, &error)) {
            if (UnattendedRun(host))
                EndUnattended(error, 1);
            else
                QMessageBox::critical(host.Window(), QStringLiteral("Error"), error);
            return;
        }
        host.PendingPaths().append(paths);
    } else {
        host.PendingPaths().append(ExistingFiles(line.Files, &host.NotAddedInputs()));
    }
    host.AddFiles();
    if (line.Mode == TRunMode::ExtractAudio)
        btn_ExtractClick(host);
    else if (line.Mode == TRunMode::Convert)
        btn_ConvertClick(host);
    else if (Headless())
        host.Window()->close();  // files added, no run asked for, and no one to look at them
}

}  // namespace reelsmith
