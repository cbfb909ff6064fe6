// Menus, the list's context menu, and the wiring of every command to its handler.
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QToolButton>
#include <QTreeView>

#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

QAction* AddEntry(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {})
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

}  // namespace

void Tfrm_Main::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    act_New = AddEntry(file, "New1", QStringLiteral("New"), QKeySequence(Qt::CTRL | Qt::Key_N));
    act_Open = AddEntry(file, "Open1", QStringLiteral("Open"), QKeySequence(Qt::CTRL | Qt::Key_O));
    act_Save = AddEntry(file, "Save1", QStringLiteral("Save"), QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    act_Convert = AddEntry(file, "Convert1", QStringLiteral("Convert"), QKeySequence(Qt::Key_F9));
    act_Command = AddEntry(file, "FFMpegcommand1", QStringLiteral("FFMpeg command"));
    act_Extract = AddEntry(file, "Extractaudio1", QStringLiteral("Extract audio"), QKeySequence(Qt::CTRL | Qt::Key_E));
    act_Burn = AddEntry(file, "Burndisc1", QStringLiteral("Burn disc"), QKeySequence(Qt::CTRL | Qt::Key_B));
    file->addSeparator();
    act_Defaults = AddEntry(file, "Defaultsettings1", QStringLiteral("Restore default settings"));
    file->addSeparator();
    act_Exit = AddEntry(file, "Exit1", QStringLiteral("Exit"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    act_AddFiles = AddEntry(edit, "Addfiles1", QStringLiteral("Add files"), QKeySequence(Qt::CTRL | Qt::Key_D));
    act_Paste = AddEntry(edit, "Paste1", QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
    act_SelectAll = AddEntry(edit, "Selectall1", QStringLiteral("Select all"), QKeySequence(Qt::CTRL | Qt::Key_A));
    edit->addSeparator();
    act_Effects = AddEntry(edit, "Effects1", QStringLiteral("Effects"));
    edit->addSeparator();
    act_Play = AddEntry(edit, "Play1", QStringLiteral("Play"));
    act_Preview = AddEntry(edit, "Preview1", QStringLiteral("Preview"), QKeySequence(Qt::Key_F3));
    act_Properties = AddEntry(edit, "Properties1", QStringLiteral("Properties"), QKeySequence(Qt::Key_F4));
    edit->addSeparator();
    act_Remove = AddEntry(edit, "Remove1", QStringLiteral("Remove"), QKeySequence(Qt::Key_Delete));
    for (QAction* action : {act_Play, act_Preview, act_Properties, act_Remove})
        action->setEnabled(false);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    act_Dark = AddEntry(view, "Darktheme1", QStringLiteral("Dark theme"));
    act_Dark->setCheckable(true);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    act_Help = AddEntry(help, "Help2", QStringLiteral("Help"), QKeySequence(Qt::Key_F1));
    help->addSeparator();
    act_Update = AddEntry(help, "Checkforupdate1", QStringLiteral("Check for update on startup"));
    act_Update->setCheckable(true);
    act_Update->setChecked(true);
    help->addSeparator();
    act_About = AddEntry(help, "About1", QStringLiteral("About"));
}

void Tfrm_Main::BuildContextMenu()
{
    // The context menu repeats the Edit entries; sharing the actions keeps their states and
    // shortcuts in step without registering any shortcut twice.
    mnu_List = new QMenu(this);
    mnu_List->setObjectName(QStringLiteral("mnu_List"));
    mnu_List->addActions({act_AddFiles, act_Paste, act_SelectAll});
    mnu_List->addSeparator();
    mnu_List->addActions({act_Play, act_Preview, act_Properties});
    mnu_List->addSeparator();
    mnu_List->addAction(act_Remove);
    connect(lw_Files, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { mnu_List->popup(lw_Files->viewport()->mapToGlobal(at)); });
}

void Tfrm_Main::ConnectCommands()
{
    const auto hook = [this](TMainWindowHooks::Command TMainWindowHooks::*member) {
        return [this, member] { RunHook(m_Hooks.*member); };
    };
    connect(act_New, &QAction::triggered, this, [this] {
        if (ConfirmDiscardList())
            New1Click();
    });
    connect(act_Open, &QAction::triggered, this, hook(&TMainWindowHooks::OpenList));
    connect(act_Save, &QAction::triggered, this, hook(&TMainWindowHooks::SaveList));
    connect(act_Convert, &QAction::triggered, this, hook(&TMainWindowHooks::Convert));
    connect(act_Command, &QAction::triggered, this, hook(&TMainWindowHooks::FfmpegCommand));
    connect(act_Extract, &QAction::triggered, this, hook(&TMainWindowHooks::ExtractAudio));
    connect(act_Burn, &QAction::triggered, this, &Tfrm_Main::btn_BurnClick);
    connect(act_Defaults, &QAction::triggered, this, [this] {
        if (Confirmed(QStringLiteral("Restore the default settings? The choices on every tab return to their "
                                     "first-start values.")))
            RestoreDefaultSettings();
    });
    connect(act_Exit, &QAction::triggered, this, &QWidget::close);
    connect(act_AddFiles, &QAction::triggered, this, &Tfrm_Main::btn_AddClick);
    connect(act_Paste, &QAction::triggered, this, hook(&TMainWindowHooks::Paste));
    connect(act_SelectAll, &QAction::triggered, this, &Tfrm_Main::SelectAll1Click);
    connect(act_Effects, &QAction::triggered, this, hook(&TMainWindowHooks::Effects));
    connect(act_Play, &QAction::triggered, this, &Tfrm_Main::Play1Click);
    connect(act_Preview, &QAction::triggered, this, &Tfrm_Main::btn_PlayClick);
    connect(act_Properties, &QAction::triggered, this, &Tfrm_Main::btn_PropertiesClick);
    connect(act_Remove, &QAction::triggered, this, &Tfrm_Main::btn_RemoveClick);
    connect(act_Dark, &QAction::triggered, this, [this](bool dark) {
        if (m_Hooks.ApplyTheme)
            m_Hooks.ApplyTheme(*this, dark);
    });
    connect(act_Help, &QAction::triggered, this, hook(&TMainWindowHooks::Help));
    connect(act_About, &QAction::triggered, this, hook(&TMainWindowHooks::About));

    connect(btn_Convert, &QToolButton::clicked, act_Convert, &QAction::trigger);
    connect(btn_Command, &QToolButton::clicked, act_Command, &QAction::trigger);
    connect(btn_Extract, &QToolButton::clicked, act_Extract, &QAction::trigger);
    connect(btn_Burn, &QToolButton::clicked, this, &Tfrm_Main::btn_BurnClick);
    connect(btn_Add, &QToolButton::clicked, this, &Tfrm_Main::btn_AddClick);
    connect(btn_Paste, &QToolButton::clicked, act_Paste, &QAction::trigger);
    connect(btn_Play, &QToolButton::clicked, this, &Tfrm_Main::btn_PlayClick);
    connect(btn_Properties, &QToolButton::clicked, this, &Tfrm_Main::btn_PropertiesClick);
    connect(btn_Remove, &QToolButton::clicked, this, &Tfrm_Main::btn_RemoveClick);

    connect(btn_Custom, &QToolButton::clicked, this, hook(&TMainWindowHooks::CustomFrameSize));
    connect(btn_Browse, &QToolButton::clicked, this, hook(&TMainWindowHooks::BrowseOutput));
    for (QRadioButton* radio : {chk_Specify, chk_Original, chk_Path})
        connect(radio, &QRadioButton::toggled, this, &Tfrm_Main::chk_SpecifyClick);
    connect(cb_Type, &QComboBox::activated, this, &Tfrm_Main::cb_TypeSelect);
    connect(btn_Apply, &QPushButton::clicked, this, &Tfrm_Main::btn_ApplyClick);
    connect(cb_VideoFormat, &QComboBox::activated, this, &Tfrm_Main::cb_VideoFormatChange);
}

bool Tfrm_Main::Confirmed(const QString& question)
{
    return QMessageBox::question(this, QStringLiteral("Confirm"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool Tfrm_Main::ConfirmDiscardList()
{
    return m_Files->Count() == 0 || Confirmed(QStringLiteral("Discard the current list?"));
}

}  // namespace reelsmith
