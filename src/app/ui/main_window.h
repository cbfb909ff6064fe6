#pragma once
// The program's one main window: toolbar, file list, settings tabs and status line.
// Its implementation is split by topic: layout (main_window.cpp), commands and menus
// (main_window_commands.cpp), the file list (main_window_list.cpp), the settings tabs
// (main_window_tabs.cpp), the settings file (main_window_settings.cpp) and a run going on
// beside the window (main_window_run.cpp).
#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "intake/file_list_model.h"
#include "app/ui/main_window_hooks.h"
#include "intake/rejected_input.h"
#include "runs/destination.h"
#include "settings/output_choices.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QItemSelection;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeView;

namespace reelsmith {

struct TButtonColours;

class Tfrm_Main : public QMainWindow {
    Q_OBJECT
public:
    // The command line without the program name; position 2 (index 1) is the output folder.
    explicit Tfrm_Main(QStringList params = {}, TMainWindowHooks hooks = {}, QWidget* parent = nullptr);
    ~Tfrm_Main() override;

    TMainWindowHooks& Hooks() { return m_Hooks; }
    reelsmith::TFileListModel& Files() { return *m_Files; }
    const QStringList& Params() const { return m_Params; }

    // Shows the Adding window for DroppedFiles, then updates the totals.
    void AddFiles();
    void UpdateSize();
    void LoadSettings();
    // False (after telling the user) when the file could not be written.
    bool SaveSettings();
    void RestoreDefaultSettings();
    // Yes/No over the window ("Confirm"), No the default; true for Yes.
    bool Confirmed(const QString& question);
    // True when the list is empty or the user agrees to "Discard the current list?".
    bool ConfirmDiscardList();
    // Cuts the window to the screen's available area and centres it, frame included.
    void FitOnScreen();

    // Rows of the list that are selected, in list order.
    std::vector<int> SelectedRows() const;
    void SelectRow(int row, bool selected);

    // Commands of the menus, the toolbar and the keys.
    void btn_AddClick();
    void btn_RemoveClick();
    void btn_PlayClick();  // Preview
    void btn_PropertiesClick();
    void btn_BurnClick();
    void New1Click();
    void SelectAll1Click();
    void Play1Click();
    void HeaderClick(int column);
    // The arrow on the sort column's header: up for ascending order.
    void ShowSortArrow(int column, bool descending);
    bool SortArrowUp() const;

    // The pending-paths list every intake path fills before AddFiles().
    QStringList& PendingPaths() { return DroppedFiles; }
    // Pending paths that gave no row, with the reason (named by command-line runs).
    reelsmith::TRejectedInputs& NotAddedInputs() { return NotAdded; }
    // The Add Files dialog's last folder and view (0 details, 1 list, 2 icons).
    QString& AddFilesFolder() { return str_AddPath; }
    // The folder last chosen as a run's destination (kept in the settings file).
    QString& LastDestination() { return m_LastDestination; }
    int& AddFilesView() { return int_AddView; }
    // The option string of the next run.
    const QString& Options() const { return str_Options; }
    void SetOptions(const QString& options) { str_Options = options; }
    // The last command the FFMPEG command dialog accepted (kept in the settings file).
    QString& LastCommand() { return str_LastCommand; }

    // The " Output " tab: the destination choice, the folder typed for "Use following path",
    // and bringing the tab to the front.
    reelsmith::TDestinationChoice DestinationChoice() const;
    QString OutputFolderText() const;
    void SetOutputFolderText(const QString& folder);
    void ShowOutputTab();

    // The look other windows take over: the dark theme, the toolbar's caption colour (their
    // neutral colour in it) and the taskbar progress indicator (null before the first show).
    bool DarkTheme() const;
    QColor ButtonCaptionColour() const;
    QObject* TaskbarProgress() const { return prg_Win7.get(); }
    // Colours the toolbar buttons and the "Click here to add files" note.
    void SetColors(const reelsmith::TButtonColours& colours);
    // Files and folders dropped on the list replace the pending paths and are added.
    void AcceptFileDrops();

    // The start-up timers' commands stop their timer first.
    void StopParamTimer();
    void StopUpdateTimer();

    // Type selection (refills the profile list) and format change (refills both encoder lists).
    void cb_TypeSelect();
    void cb_VideoFormatChange();
    void btn_ApplyClick();

    // The lists' positions, the custom-size text and the effects as one value (for the option
    // builders and the dialogs), and back. SetChoices refills the encoder lists only when they
    // do not hold the entries of the chosen format.
    reelsmith::TOutputChoices Choices() const;
    void SetChoices(const reelsmith::TOutputChoices& choices);
    // Selects the video format as code does: unlike the user's choice, it leaves the encoder
    // lists as they are.
    void SelectVideoFormat(int position);
    void chk_SpecifyClick();

    int DefaultWidth() const { return m_DefaultWidth; }
    int DefaultHeight() const { return m_DefaultHeight; }

    // A run goes on in runWindow, which does not block this one: until EndRun() the commands
    // that would change the list it walks or the settings it uses, or start another run or a
    // burn, are disabled; looking (selecting, sorting, Preview, Properties, help) stays.
    // Closing this window meanwhile calls askToStop ("Stop the run?"): true when the user wants
    // the run stopped; this window and the run's then close once the run is over.
    void BeginRun(QWidget* runWindow, std::function<bool()> askToStop);
    // The run is over: the commands are as they were before it.
    void EndRun();
    bool RunGoing() const { return m_RunGoing; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    QWidget* BuildToolbar();
    void BuildFileList(QWidget* parent);
    void BuildNotePanel();
    void BuildEffectsPanel();
    QWidget* BuildSettingsTabs();
    QWidget* BuildProfilesTab();
    QWidget* BuildVideoTab();
    QWidget* BuildAudioTab();
    QWidget* BuildCpuTab();
    QWidget* BuildOutputTab();
    void FillChoiceLists();
    void BuildMenus();
    void BuildContextMenu();
    void SetToolbarImages();
    void ConnectCommands();
    void RunHook(const TMainWindowHooks::Command& hook);

    void FirstShow();
    void CentreNotePanel();
    void OnSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void EnableRowCommands(bool enabled);
    // The effects that are on, beside the status line, with the button that clears them.
    void ShowEffects();
    void ClearEffects();
    void DisableRowButtons();
    int ListWidth();
    void LockForRun(bool locked);
    // During a run: says in the status bar why the list cannot change now, and returns true.
    bool RefusedDuringRun();

    // The pending-paths list every intake path fills before AddFiles().
    QStringList DroppedFiles;
    // Pending paths that gave no row, with the reason (named by command-line runs).
    reelsmith::TRejectedInputs NotAdded;

    // Fields of the running program (effects, option string, Add Files dialog state).
    QString str_Options;
    bool ef_VFlip = false;
    bool ef_HFlip = false;
    bool ef_Negate = false;
    bool ef_Dein = false;
    bool ef_Rotate = false;
    int ef_Degrees = 0;
    QString str_AddPath;
    QString m_LastDestination;
    int int_AddView = 0;
    QString str_LastCommand;
    bool bool_Shown = false;
    std::unique_ptr<QObject> prg_Win7;

    // Controls.
    QToolButton* btn_Convert = nullptr;
    QToolButton* btn_Command = nullptr;
    QToolButton* btn_Extract = nullptr;
    QToolButton* btn_Burn = nullptr;
    QToolButton* btn_Add = nullptr;
    QToolButton* btn_Paste = nullptr;
    QToolButton* btn_Play = nullptr;
    QToolButton* btn_Properties = nullptr;
    QToolButton* btn_Remove = nullptr;
    QTreeView* lw_Files = nullptr;
    QWidget* pnl_Note = nullptr;
    QLabel* lbl_Note = nullptr;
    QTabWidget* tab_Settings = nullptr;
    QLabel* sts_0 = nullptr;
    QLabel* sts_1 = nullptr;
    QWidget* pnl_Effects = nullptr;
    QLabel* lbl_Effects = nullptr;
    QToolButton* btn_ClearEffects = nullptr;
    QTimer* tmr_ParamTimer = nullptr;
    QTimer* tmr_UpdateTimer = nullptr;

    // " Profiles "
    QComboBox* cb_Type = nullptr;
    QComboBox* cb_Format = nullptr;
    QCheckBox* chk_OriginalSettings = nullptr;
    QPushButton* btn_Apply = nullptr;
    // " Video settings "
    QComboBox* cb_VideoFormat = nullptr;
    QComboBox* cb_VideoEncoder = nullptr;
    QComboBox* cb_VideoAspect = nullptr;
    QComboBox* cb_VideoFrameSize = nullptr;
    QComboBox* cb_VideoFrameRate = nullptr;
    QComboBox* cb_VideoBitrate = nullptr;
    QToolButton* btn_Custom = nullptr;
    // " Audio settings "
    QComboBox* cb_AudioFormat = nullptr;
    QComboBox* cb_AudioEncoder = nullptr;
    QComboBox* cb_AudioSampleRate = nullptr;
    QComboBox* cb_AudioChannel = nullptr;
    QComboBox* cb_AudioBitrate = nullptr;
    // " CPU usage "
    QComboBox* cb_Threads = nullptr;
    QComboBox* cb_CPUUsage = nullptr;
    // " Output "
    QRadioButton* chk_Specify = nullptr;
    QRadioButton* chk_Original = nullptr;
    QRadioButton* chk_Path = nullptr;
    QLineEdit* txt_Path = nullptr;
    QToolButton* btn_Browse = nullptr;

    // Menu entries (the list's context menu shares the Edit entries).
    QAction* act_New = nullptr;
    QAction* act_Open = nullptr;
    QAction* act_Save = nullptr;
    QAction* act_Convert = nullptr;
    QAction* act_Command = nullptr;
    QAction* act_Extract = nullptr;
    QAction* act_Burn = nullptr;
    QAction* act_Defaults = nullptr;
    QAction* act_Exit = nullptr;
    QAction* act_AddFiles = nullptr;
    QAction* act_Paste = nullptr;
    QAction* act_SelectAll = nullptr;
    QAction* act_Effects = nullptr;
    QAction* act_Play = nullptr;
    QAction* act_Preview = nullptr;
    QAction* act_Properties = nullptr;
    QAction* act_Remove = nullptr;
    QAction* act_Dark = nullptr;
    QAction* act_Help = nullptr;
    QAction* act_Update = nullptr;
    QAction* act_About = nullptr;
    QMenu* mnu_List = nullptr;

    QStringList m_Params;
    TMainWindowHooks m_Hooks;
    reelsmith::TFileListModel* m_Files = nullptr;
    int m_DefaultWidth = 0;
    int m_DefaultHeight = 0;

    // The run beside the window and the commands it holds back, with their states before it.
    QPointer<QWidget> m_RunWindow;
    std::function<bool()> m_AskToStopRun;
    bool m_RunGoing = false;
    bool m_CloseAfterRun = false;
    std::vector<std::pair<QPointer<QAction>, bool>> m_LockedActions;
    std::vector<std::pair<QPointer<QWidget>, bool>> m_LockedWidgets;
};

}  // namespace reelsmith
