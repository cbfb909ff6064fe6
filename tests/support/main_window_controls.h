#pragma once
// The main window's controls as a user-level test reaches them: by their object names.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace reelsmith::test {

// The child of `parent` of type T named `name`. A missing one ends the test program at once,
// naming it, rather than failing later on a null pointer.
template <typename T>
T* Named(const QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no %s named \"%s\"", T::staticMetaObject.className(), name);
    return child;
}

// Every control of a main window, found once, before any dialog of the window opens (some
// dialogs reuse a control's name).
struct TMainControls {
    explicit TMainControls(const QObject& window) : Window(window) {}

    const QObject& Window;
    QToolButton* btn_Convert = Named<QToolButton>(Window, "btn_Convert");
    QToolButton* btn_Command = Named<QToolButton>(Window, "btn_Command");
    QToolButton* btn_Extract = Named<QToolButton>(Window, "btn_Extract");
    QToolButton* btn_Burn = Named<QToolButton>(Window, "btn_Burn");
    QToolButton* btn_Add = Named<QToolButton>(Window, "btn_Add");
    QToolButton* btn_Paste = Named<QToolButton>(Window, "btn_Paste");
    QToolButton* btn_Play = Named<QToolButton>(Window, "btn_Play");
    QToolButton* btn_Properties = Named<QToolButton>(Window, "btn_Properties");
    QToolButton* btn_Remove = Named<QToolButton>(Window, "btn_Remove");
    QTreeView* lw_Files = Named<QTreeView>(Window, "lw_Files");
    QWidget* pnl_Note = Named<QWidget>(Window, "pnl_Note");
    QLabel* lbl_Note = Named<QLabel>(Window, "lbl_Note");
    QTabWidget* tab_Settings = Named<QTabWidget>(Window, "tab_Settings");
    QLabel* sts_0 = Named<QLabel>(Window, "sts_0");
    QLabel* sts_1 = Named<QLabel>(Window, "sts_1");
    QTimer* tmr_ParamTimer = Named<QTimer>(Window, "tmr_ParamTimer");
    QTimer* tmr_UpdateTimer = Named<QTimer>(Window, "tmr_UpdateTimer");

    QComboBox* cb_Type = Named<QComboBox>(Window, "cb_Type");
    QComboBox* cb_Format = Named<QComboBox>(Window, "cb_Format");
    QCheckBox* chk_OriginalSettings = Named<QCheckBox>(Window, "chk_OriginalSettings");
    QPushButton* btn_Apply = Named<QPushButton>(Window, "btn_Apply");
    QComboBox* cb_VideoFormat = Named<QComboBox>(Window, "cb_VideoFormat");
    QComboBox* cb_VideoEncoder = Named<QComboBox>(Window, "cb_VideoEncoder");
    QComboBox* cb_VideoAspect = Named<QComboBox>(Window, "cb_VideoAspect");
    QComboBox* cb_VideoFrameSize = Named<QComboBox>(Window, "cb_VideoFrameSize");
    QComboBox* cb_VideoFrameRate = Named<QComboBox>(Window, "cb_VideoFrameRate");
    QComboBox* cb_VideoBitrate = Named<QComboBox>(Window, "cb_VideoBitrate");
    QToolButton* btn_Custom = Named<QToolButton>(Window, "btn_Custom");
    QComboBox* cb_AudioFormat = Named<QComboBox>(Window, "cb_AudioFormat");
    QComboBox* cb_AudioEncoder = Named<QComboBox>(Window, "cb_AudioEncoder");
    QComboBox* cb_AudioSampleRate = Named<QComboBox>(Window, "cb_AudioSampleRate");
    QComboBox* cb_AudioChannel = Named<QComboBox>(Window, "cb_AudioChannel");
    QComboBox* cb_AudioBitrate = Named<QComboBox>(Window, "cb_AudioBitrate");
    QComboBox* cb_Threads = Named<QComboBox>(Window, "cb_Threads");
    QComboBox* cb_CPUUsage = Named<QComboBox>(Window, "cb_CPUUsage");
    QRadioButton* chk_Specify = Named<QRadioButton>(Window, "chk_Specify");
    QRadioButton* chk_Original = Named<QRadioButton>(Window, "chk_Original");
    QRadioButton* chk_Path = Named<QRadioButton>(Window, "chk_Path");
    QLineEdit* txt_Path = Named<QLineEdit>(Window, "txt_Path");
    QToolButton* btn_Browse = Named<QToolButton>(Window, "btn_Browse");

    // The menu entries go by their menu names.
    QAction* act_New = Named<QAction>(Window, "New1");
    QAction* act_Open = Named<QAction>(Window, "Open1");
    QAction* act_Save = Named<QAction>(Window, "Save1");
    QAction* act_Convert = Named<QAction>(Window, "Convert1");
    QAction* act_Command = Named<QAction>(Window, "FFMpegcommand1");
    QAction* act_Extract = Named<QAction>(Window, "Extractaudio1");
    QAction* act_Burn = Named<QAction>(Window, "Burndisc1");
    QAction* act_Defaults = Named<QAction>(Window, "Defaultsettings1");
    QAction* act_Exit = Named<QAction>(Window, "Exit1");
    QAction* act_AddFiles = Named<QAction>(Window, "Addfiles1");
    QAction* act_Paste = Named<QAction>(Window, "Paste1");
    QAction* act_SelectAll = Named<QAction>(Window, "Selectall1");
    QAction* act_Effects = Named<QAction>(Window, "Effects1");
    QAction* act_Play = Named<QAction>(Window, "Play1");
    QAction* act_Preview = Named<QAction>(Window, "Preview1");
    QAction* act_Properties = Named<QAction>(Window, "Properties1");
    QAction* act_Remove = Named<QAction>(Window, "Remove1");
    QAction* act_Dark = Named<QAction>(Window, "Darktheme1");
    QAction* act_Help = Named<QAction>(Window, "Help2");
    QAction* act_Update = Named<QAction>(Window, "Checkforupdate1");
    QAction* act_About = Named<QAction>(Window, "About1");
    QMenu* mnu_List = Named<QMenu>(Window, "mnu_List");
};

}  // namespace reelsmith::test
