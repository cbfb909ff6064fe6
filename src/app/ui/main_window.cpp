#include "app/ui/main_window.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

#include "base/qt/window_fit.h"

namespace reelsmith {

namespace {

constexpr int kDesignWidth = 800;
constexpr int kDesignHeight = 600;
constexpr int kTimerIntervalMs = 100;

QTimer* MakeOneShotTimer(QObject* owner, const QString& name)
{
    auto* timer = new QTimer(owner);
    timer->setObjectName(name);
    timer->setInterval(kTimerIntervalMs);
    timer->setSingleShot(true);
    return timer;
}

}  // namespace

Tfrm_Main::Tfrm_Main(QStringList params, TMainWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent), m_Params(std::move(params)), m_Hooks(std::move(hooks))
{
    setFont(QApplication::font());
    setMinimumSize(400, 400);
    m_Files = new reelsmith::TFileListModel(this);
    BuildLayout();
    BuildMenus();
    BuildContextMenu();
    ConnectCommands();
    FillChoiceLists();
    tmr_ParamTimer = MakeOneShotTimer(this, QStringLiteral("tmr_ParamTimer"));
    tmr_UpdateTimer = MakeOneShotTimer(this, QStringLiteral("tmr_UpdateTimer"));
    connect(tmr_ParamTimer, &QTimer::timeout, this, [this] { RunHook(m_Hooks.ParamTimer); });
    connect(tmr_UpdateTimer, &QTimer::timeout, this, [this] { RunHook(m_Hooks.UpdateTimer); });

    resize(kDesignWidth, kDesignHeight);
    m_DefaultWidth = width();
    m_DefaultHeight = height();
    SetToolbarImages();
    LoadSettings();
    if (act_Dark->isChecked() && m_Hooks.ApplyTheme)
        m_Hooks.ApplyTheme(*this, true);
    setWindowTitle(QStringLiteral("Reelsmith"));
    FitOnScreen();
}

void Tfrm_Main::FitOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || isMaximized())
        return;
    const QMargins frame =
        isVisible() && windowHandle() ? windowHandle()->frameMargins() : reelsmith::kAssumedWindowFrame;
    const QSize minimum = minimumSizeHint().expandedTo(minimumSize());
    const reelsmith::TWindowPlace place =
        reelsmith::FittedWindowPlace(size(), minimum, screen->availableGeometry(), frame);
    resize(place.ClientSize);
    move(place.FrameTopLeft);
}

Tfrm_Main::~Tfrm_Main() = default;

void Tfrm_Main::BuildLayout()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(BuildToolbar());

    auto* divider = new QFrame(central);
    divider->setObjectName(QStringLiteral("divider"));
    divider->setFixedHeight(1);
    divider->setStyleSheet(QStringLiteral("background-color: #D9D9D9; border: none;"));
    column->addWidget(divider);

    BuildFileList(central);
    column->addWidget(lw_Files, 1);
    BuildNotePanel();

    auto* tabsPanel = new QWidget(central);
    auto* tabsLayout = new QVBoxLayout(tabsPanel);
    tabsLayout->setContentsMargins(4, 4, 4, 2);
    tabsLayout->addWidget(BuildSettingsTabs());
    tabsPanel->setFixedHeight(tabsPanel->sizeHint().height());
    column->addWidget(tabsPanel);
    setCentralWidget(central);

    sts_0 = new QLabel(this);
    sts_1 = new QLabel(this);
    sts_0->setObjectName(QStringLiteral("sts_0"));
    sts_1->setObjectName(QStringLiteral("sts_1"));
    statusBar()->addWidget(sts_0);
    statusBar()->addWidget(sts_1, 1);
    BuildEffectsPanel();
    statusBar()->addPermanentWidget(pnl_Effects);
    statusBar()->setSizeGripEnabled(true);
}

void Tfrm_Main::BuildEffectsPanel()
{
    pnl_Effects = new QWidget(this);
    pnl_Effects->setObjectName(QStringLiteral("pnl_Effects"));
    auto* row = new QHBoxLayout(pnl_Effects);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    lbl_Effects = new QLabel(pnl_Effects);
    lbl_Effects->setObjectName(QStringLiteral("lbl_Effects"));
    btn_ClearEffects = new QToolButton(pnl_Effects);
    btn_ClearEffects->setObjectName(QStringLiteral("btn_ClearEffects"));
    btn_ClearEffects->setText(QStringLiteral("Clear"));
    btn_ClearEffects->setToolTip(QStringLiteral("Turn every effect off"));
    btn_ClearEffects->setAutoRaise(true);
    row->addWidget(lbl_Effects);
    row->addWidget(btn_ClearEffects);
    connect(btn_ClearEffects, &QToolButton::clicked, this, &Tfrm_Main::ClearEffects);
    pnl_Effects->hide();
}

void Tfrm_Main::BuildNotePanel()
{
    pnl_Note = new QWidget(lw_Files);
    pnl_Note->setObjectName(QStringLiteral("pnl_Note"));
    auto* layout = new QHBoxLayout(pnl_Note);
    layout->setContentsMargins(8, 8, 8, 8);
    lbl_Note = new QLabel(QStringLiteral("Click here to add files"), pnl_Note);
    lbl_Note->setObjectName(QStringLiteral("lbl_Note"));
    lbl_Note->setAlignment(Qt::AlignCenter);
    QFont font = lbl_Note->font();
    font.setUnderline(true);
    lbl_Note->setFont(font);
    lbl_Note->setStyleSheet(QStringLiteral("color: #808080;"));
    lbl_Note->setCursor(Qt::PointingHandCursor);
    lbl_Note->installEventFilter(this);
    layout->addWidget(lbl_Note);
    pnl_Note->adjustSize();
    pnl_Note->setCursor(Qt::PointingHandCursor);
    pnl_Note->installEventFilter(this);
}

void Tfrm_Main::CentreNotePanel()
{
    pnl_Note->adjustSize();
    // The panel is a child of the list, so the list's own origin is (0, 0).
    pnl_Note->move(lw_Files->width() / 2 - pnl_Note->width() / 2, lw_Files->height() / 2 - pnl_Note->height() / 2);
    pnl_Note->raise();
}

void Tfrm_Main::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    sts_0->setFixedWidth(width() / 2);
    CentreNotePanel();
}

bool Tfrm_Main::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == lbl_Note || watched == pnl_Note) && event->type() == QEvent::MouseButtonRelease) {
        btn_AddClick();
        return true;
    }
    if (watched == lw_Files && event->type() == QEvent::Resize)
        CentreNotePanel();
    if (watched == lw_Files && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Play1Click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Tfrm_Main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!bool_Shown)
        FirstShow();
}

void Tfrm_Main::FirstShow()
{
    bool_Shown = true;
    if (m_Hooks.CreateTaskbarProgress)
        prg_Win7 = m_Hooks.CreateTaskbarProgress(*this);
    ShowSortArrow(0, false);
    UpdateSize();
    QCoreApplication::processEvents();
    if (m_Params.size() > 1 && !m_Params.at(1).isEmpty())
        tmr_ParamTimer->start();
    else if (act_Update->isChecked())
        tmr_UpdateTimer->start();
}

void Tfrm_Main::StopParamTimer() { tmr_ParamTimer->stop(); }

void Tfrm_Main::StopUpdateTimer() { tmr_UpdateTimer->stop(); }

void Tfrm_Main::RunHook(const TMainWindowHooks::Command& hook)
{
    if (hook)
        hook(*this);
}

}  // namespace reelsmith
