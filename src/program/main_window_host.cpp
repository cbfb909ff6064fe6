#include "program/main_window_host.h"

#include <QPointer>

#include "app/ui/main_window.h"
#include "runs/ui/run_window.h"

namespace reelsmith {

QWidget* TMainWindowHost::Window() { return &m_Main; }
const QStringList& TMainWindowHost::Params() const { return m_Main.Params(); }
TFileListModel& TMainWindowHost::Files() { return m_Main.Files(); }
const TFileListModel& TMainWindowHost::Files() const { return m_Main.Files(); }
QStringList& TMainWindowHost::PendingPaths() { return m_Main.PendingPaths(); }
TRejectedInputs& TMainWindowHost::NotAddedInputs() { return m_Main.NotAddedInputs(); }
QString& TMainWindowHost::AddFilesFolder() { return m_Main.AddFilesFolder(); }
QString& TMainWindowHost::LastDestination() { return m_Main.LastDestination(); }
int& TMainWindowHost::AddFilesView() { return m_Main.AddFilesView(); }
void TMainWindowHost::AddFiles() { m_Main.AddFiles(); }
void TMainWindowHost::AskForFiles() { m_Main.btn_AddClick(); }

TOutputChoices TMainWindowHost::Choices() const { return m_Main.Choices(); }
void TMainWindowHost::SetChoices(const TOutputChoices& choices) { m_Main.SetChoices(choices); }
void TMainWindowHost::SelectVideoFormat(int position) { m_Main.SelectVideoFormat(position); }
QString TMainWindowHost::Options() const { return m_Main.Options(); }
void TMainWindowHost::SetOptions(const QString& options) { m_Main.SetOptions(options); }
bool TMainWindowHost::AskCommand() { return RunCommandDialog(*this); }
QString TMainWindowHost::LastCommand() const { return m_Main.LastCommand(); }
void TMainWindowHost::SetLastCommand(const QString& command) { m_Main.LastCommand() = command; }

TDestinationChoice TMainWindowHost::DestinationChoice() const { return m_Main.DestinationChoice(); }
QString TMainWindowHost::OutputFolderText() const { return m_Main.OutputFolderText(); }
void TMainWindowHost::SetOutputFolderText(const QString& folder) { m_Main.SetOutputFolderText(folder); }
void TMainWindowHost::ShowOutputTab() { m_Main.ShowOutputTab(); }

bool TMainWindowHost::DarkTheme() const { return m_Main.DarkTheme(); }
QColor TMainWindowHost::ButtonCaptionColour() const { return m_Main.ButtonCaptionColour(); }
QObject* TMainWindowHost::TaskbarProgress() const { return m_Main.TaskbarProgress(); }
void TMainWindowHost::StopParamTimer() { m_Main.StopParamTimer(); }
void TMainWindowHost::StopUpdateTimer() { m_Main.StopUpdateTimer(); }

void TMainWindowHost::RunStarted(TRunWindow& window)
{
    m_Main.BeginRun(&window, [run = QPointer<TRunWindow>(&window)] { return run && run->AskToStop(); });
    QObject::connect(&window.Run(), &TConversionRun::RunOver, &m_Main, &Tfrm_Main::EndRun);
}

}  // namespace reelsmith
