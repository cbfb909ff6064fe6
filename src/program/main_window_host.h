#pragma once
// The main window as each subsystem's windows see it: one adapter for every host interface,
// so those windows never depend on the main window itself.
#include "burn/ui/burn_hooks.h"
#include "intake/ui/intake_hooks.h"
#include "media/ui/media_hooks.h"
#include "runs/ui/run_hooks.h"
#include "settings/ui/settings_dialog_hooks.h"
#include "update/ui/update_hooks.h"

namespace reelsmith {

class Tfrm_Main;

class TMainWindowHost final : public IIntakeHost,
                              public IRunHost,
                              public IMediaHost,
                              public IBurnHost,
                              public IUpdateHost,
                              public ISettingsDialogHost {
public:
    explicit TMainWindowHost(Tfrm_Main& main) : m_Main(main) {}

    QWidget* Window() override;
    const QStringList& Params() const override;
    TFileListModel& Files() override;
    const TFileListModel& Files() const override;
    QStringList& PendingPaths() override;
    TRejectedInputs& NotAddedInputs() override;
    QString& AddFilesFolder() override;
    QString& LastDestination() override;
    int& AddFilesView() override;
    void AddFiles() override;
    void AskForFiles() override;

    TOutputChoices Choices() const override;
    void SetChoices(const TOutputChoices& choices) override;
    void SelectVideoFormat(int position) override;
    QString Options() const override;
    void SetOptions(const QString& options) override;
    // Through the settings dialogs' FFMPEG command dialog.
    bool AskCommand() override;
    QString LastCommand() const override;
    void SetLastCommand(const QString& command) override;

    TDestinationChoice DestinationChoice() const override;
    QString OutputFolderText() const override;
    void SetOutputFolderText(const QString& folder) override;
    void ShowOutputTab() override;

    bool DarkTheme() const override;
    QColor ButtonCaptionColour() const override;
    QObject* TaskbarProgress() const override;
    void StopParamTimer() override;
    void StopUpdateTimer() override;
    void RunStarted(TRunWindow& window) override;

private:
    Tfrm_Main& m_Main;
};

}  // namespace reelsmith
