#include "runs/ui/run_hooks.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <utility>

#include "app/command_line.h"
#include "runs/destination.h"
#include "app/file_list_io.h"
#include "app/ui/main_window.h"
#include "settings/ui/settings_dialog_hooks.h"
#include "intake/rejected_input.h"
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

void NameNotAdded(Tfrm_Main& main)
{
    for (const TRejectedInput& input : std::exchange(main.NotAdded, {}))
        PrintNotConverted(input);
}

// Step 1 of the run commands: a list that is still empty after the Add Files dialog stops.
bool HaveRows(Tfrm_Main& main)
{
    if (main.Files().Count() > 0)
        return true;
    if (UnattendedRun(main)) {
        NameNotAdded(main);
        EndUnattended(QStringLiteral("nothing to convert: no media file was added."), kNothingToConvertStatus);
        return false;
    }
    if (main.Hooks().AddFilesDialog)
        main.Hooks().AddFilesDialog(main);
    return main.Files().Count() > 0;
}

void ShowOutputTab(Tfrm_Main& main)
{
    for (int i = 0; i < main.tab_Settings->count(); ++i)
        if (main.tab_Settings->tabText(i) == QLatin1String(" Output "))
            main.tab_Settings->setCurrentIndex(i);
}

bool BrowseFolder(Tfrm_Main& main, QString* folder)
{
    *folder = QFileDialog::getExistingDirectory(&main, QStringLiteral("Specify destination folder."), QString(),
                                                QFileDialog::ShowDirsOnly);
    return !folder->isEmpty();
}

// Steps 2 to 5: the destination, or false after telling the user why not.
bool ChooseOutput(Tfrm_Main& main, bool consultCommandLine, QString* outputPath)
{
    TDestinationRequest request;
    request.Choice = main.chk_Original->isChecked() ? TDestinationChoice::Original
                     : main.chk_Path->isChecked()   ? TDestinationChoice::Path
                                                    : TDestinationChoice::Specify;
    if (consultCommandLine && main.Params().size() > 1)
        request.CommandLineFolder = main.Params().at(1);
    request.PathText = main.txt_Path->text();
    request.Browse = [&main](QString* folder) { return BrowseFolder(main, folder); };
    const TDestination destination = ChooseDestination(request);
    if (!destination.Ok) {
        if (!destination.Error.isEmpty()) {
            if (UnattendedRun(main)) {
                EndUnattended(destination.Error, 1);
                return false;
            }
            QMessageBox::critical(&main, QStringLiteral("Error"), destination.Error);
        }
        if (destination.ShowOutputTab)
            ShowOutputTab(main);
        return false;
    }
    *outputPath = destination.OutputPath;
    return true;
}

TRunSetup SetupFrom(Tfrm_Main& main, const QString& outputPath)
{
    TRunSetup setup;
    const TFileListModel& files = main.Files();
    for (int i = 0; i < files.Count(); ++i)
        setup.Rows.push_back({files.Row(i).Caption, files.Row(i).cell(FileCell::SourcePath)});
    setup.OutputPath = outputPath;
    setup.VideoFormatText = main.cb_VideoFormat->currentText();
    setup.AudioFormatIndex = main.cb_AudioFormat->currentIndex();
    setup.Options = main.str_Options;
    setup.CPUUsage = main.cb_CPUUsage->currentIndex();
    setup.ThreadsText = main.cb_Threads->currentText();
    setup.ExitAtEnd = LastParameterIsExit(main.Params());
    // Only a command-line run answers for its inputs; later runs start afresh.
    if (UnattendedRun(main))
        setup.NotAdded = main.NotAdded;
    main.NotAdded.clear();
    return setup;
}

TRunWindowOptions WindowOptions(Tfrm_Main& main)
{
    TRunWindowOptions options;
    options.Look.Dark = main.act_Dark->isChecked();
    const QColor neutral = main.btn_Convert->palette().color(QPalette::ButtonText);
    options.Look.DarkNeutral = {neutral.red(), neutral.green(), neutral.blue()};
    options.Taskbar = main.prg_Win7.get();
    options.Unattended = UnattendedRun(main);
    return options;
}

template <typename Window>
void OpenRunWindow(Tfrm_Main& main, const QString& outputPath)
{
    Window window(&main, SetupFrom(main, outputPath), WindowOptions(main));
    window.exec();
}

}  // namespace

bool UnattendedRun(const Tfrm_Main& main)
{
    const bool automatic = main.Params().size() > 1 && !main.Params().at(1).isEmpty();
    return LastParameterIsExit(main.Params()) || (automatic && Headless());
}

namespace {

// Convert and Extract audio differ only in the option builder and the run window.
template <typename TWindow, typename TBuild>
void RunWithBuiltOptions(Tfrm_Main& main, TBuild buildOptions)
{
    if (!HaveRows(main))
        return;
    QString outputPath;
    if (!ChooseOutput(main, true, &outputPath))
        return;
    main.str_Options = QString::fromStdString(buildOptions(main.Choices()));
    OpenRunWindow<TWindow>(main, outputPath);
}

}  // namespace

void btn_ConvertClick(Tfrm_Main& main)
{
    RunWithBuiltOptions<Tfrm_Video>(main, BuildVideoOptions);
}

void btn_ExtractClick(Tfrm_Main& main)
{
    RunWithBuiltOptions<Tfrm_Audio>(main, BuildAudioOptions);
}

void btn_CommandClick(Tfrm_Main& main)
{
    if (!HaveRows(main))
        return;
    if (!RunCommandDialog(main))
        return;
    QString outputPath;
    if (!ChooseOutput(main, false, &outputPath))
        return;
    OpenRunWindow<Tfrm_Video>(main, outputPath);
}

void btn_BrowseClick(Tfrm_Main& main)
{
    QString folder;
    if (BrowseFolder(main, &folder) && QDir(folder).exists())
        main.txt_Path->setText(folder);
}

void tmr_ParamTimer(Tfrm_Main& main)
{
    main.tmr_ParamTimer->stop();
    const TCommandLine line = ParseCommandLine(main.Params());
    main.NotAdded = line.Ignored;
    if (!line.FileList.isEmpty()) {
        QStringList paths;
        QString error;
        if (!ReadFileList(line.FileList, &paths, &error)) {
            if (UnattendedRun(main))
                EndUnattended(error, 1);
            else
                QMessageBox::critical(&main, QStringLiteral("Error"), error);
            return;
        }
        main.DroppedFiles.append(paths);
    } else {
        main.DroppedFiles.append(ExistingFiles(line.Files, &main.NotAdded));
    }
    main.AddFiles();
    if (line.Mode == TRunMode::ExtractAudio)
        btn_ExtractClick(main);
    else if (line.Mode == TRunMode::Convert)
        btn_ConvertClick(main);
    else if (Headless())
        main.close();  // files added, no run asked for, and no one to look at them
}

void InstallRunHooks(TMainWindowHooks& hooks)
{
    hooks.Convert = btn_ConvertClick;
    hooks.ExtractAudio = btn_ExtractClick;
    hooks.FfmpegCommand = btn_CommandClick;
    hooks.BrowseOutput = btn_BrowseClick;
    hooks.ParamTimer = tmr_ParamTimer;
}

}  // namespace reelsmith
