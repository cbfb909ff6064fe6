// A run going on beside the main window: what stays usable meanwhile, and closing during it.
#include <QAction>
#include <QCloseEvent>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <utility>

#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

constexpr int kRefusalShownMs = 6000;

}  // namespace

void Tfrm_Main::BeginRun(QWidget* runWindow, std::function<bool()> askToStop)
{
    m_RunWindow = runWindow;
    m_AskToStopRun = std::move(askToStop);
    m_CloseAfterRun = false;
    if (std::exchange(m_RunGoing, true))
        return;
    LockForRun(true);
}

void Tfrm_Main::EndRun()
{
    if (!m_RunGoing)
        return;
    m_RunGoing = false;
    m_AskToStopRun = nullptr;
    LockForRun(false);
    // Closed during the run and told to stop it: both windows go, from the event loop rather
    // than from inside the run's last step.
    if (std::exchange(m_CloseAfterRun, false))
        QTimer::singleShot(0, this, &QWidget::close);
}

void Tfrm_Main::LockForRun(bool locked)
{
    if (locked) {
        // Saving the list, selecting, Play, Preview, Properties, help, About and Exit stay.
        m_LockedActions.clear();
        for (QAction* action : {act_New, act_Open, act_Convert, act_Command, act_Extract, act_Burn, act_Defaults,
                                act_AddFiles, act_Paste, act_Effects, act_Dark}) {
            m_LockedActions.emplace_back(action, action->isEnabled());
            action->setEnabled(false);
        }
        m_LockedWidgets.clear();
        std::vector<QWidget*> widgets = {btn_Convert, btn_Command, btn_Extract,     btn_Burn,
                                         btn_Add,     btn_Paste,   btn_ClearEffects};
        // The pages, not the tab bar: the settings of the run can still be looked at.
        for (int i = 0; i < tab_Settings->count(); ++i)
            widgets.push_back(tab_Settings->widget(i));
        for (QWidget* widget : widgets) {
            m_LockedWidgets.emplace_back(widget, widget->isEnabled());
            widget->setEnabled(false);
        }
    } else {
        for (const auto& [action, enabled] : std::exchange(m_LockedActions, {}))
            if (action)
                action->setEnabled(enabled);
        for (const auto& [widget, enabled] : std::exchange(m_LockedWidgets, {}))
            if (widget)
                widget->setEnabled(enabled);
    }
    // Remove follows the selection as well.
    EnableRowCommands(!SelectedRows().empty());
}

bool Tfrm_Main::RefusedDuringRun()
{
    if (!m_RunGoing)
        return false;
    statusBar()->showMessage(QStringLiteral("A run is going on: files can be added or removed when it is over."),
                             kRefusalShownMs);
    return true;
}

void Tfrm_Main::closeEvent(QCloseEvent* event)
{
    if (m_RunGoing) {
        event->ignore();
        // A copy: the run may end while the question shows, and EndRun() lets go of it.
        if (const std::function<bool()> ask = m_AskToStopRun; !m_CloseAfterRun && ask)
            m_CloseAfterRun = ask();
        // The run ended while the question showed.
        if (m_CloseAfterRun && !m_RunGoing) {
            m_CloseAfterRun = false;
            QTimer::singleShot(0, this, &QWidget::close);
        }
        return;
    }
    // A finished run's window goes with the main window.
    if (m_RunWindow)
        m_RunWindow->close();
    // Freed at most once, also when a second close follows a failed save.
    prg_Win7.reset();
    SaveSettings();
    event->accept();
}

}  // namespace reelsmith
