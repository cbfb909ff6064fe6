#include "base/ui/taskbar_progress.h"

#include <QDBusMessage>
#include <QWidget>
#include <algorithm>

namespace reelsmith {

namespace {

const QString kObjectPath = QStringLiteral("/com/reelsmith/LauncherEntry");
const QString kInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");

bool ShowsBar(TTaskBarProgressStyle state)
{
    // The protocol has no moving bar: an indeterminate state shows none rather than a stale value.
    return state != TTaskBarProgressStyle::tbpsNone && state != TTaskBarProgressStyle::tbpsIndeterminate;
}

}  // namespace

TLauncherEntrySink::TLauncherEntrySink(Sender send) : m_Send(std::move(send)) {}

void TLauncherEntrySink::SetProgressState(TTaskBarProgressStyle style)
{
    m_State = style;
    m_Send({{QStringLiteral("progress-visible"), ShowsBar(style)},
            {QStringLiteral("urgent"), style == TTaskBarProgressStyle::tbpsError}});
}

void TLauncherEntrySink::SetProgressValue(int completed, int total)
{
    const double fraction = total > 0 ? std::clamp(double(completed) / double(total), 0.0, 1.0) : 0.0;
    QVariantMap properties{{QStringLiteral("progress"), fraction}};
    // A value brings the bar back unless an error or pause state holds it.
    if (!ShowsBar(m_State)) {
        m_State = TTaskBarProgressStyle::tbpsNormal;
        properties.insert(QStringLiteral("progress-visible"), true);
        properties.insert(QStringLiteral("urgent"), false);
    }
    m_Send(properties);
}

TLauncherEntrySink::Sender TLauncherEntrySink::BusSender(QDBusConnection bus)
{
    return [bus](const QVariantMap& properties) {
        QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kInterface, QStringLiteral("Update"));
        signal << AppUri() << properties;
        QDBusConnection(bus).send(signal);
    };
}

QString TLauncherEntrySink::AppUri() { return QStringLiteral("application://reelsmith.desktop"); }

namespace {

std::unique_ptr<TTaskbarSink> SessionBusSink(QWidget* window)
{
    if (!window)
        return nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return nullptr;
    return std::make_unique<TLauncherEntrySink>(TLauncherEntrySink::BusSender(bus));
}

}  // namespace

TWin7TaskProgressBar::TWin7TaskProgressBar(QWidget* window) : TWin7TaskProgressBar(window, SessionBusSink(window)) {}

TWin7TaskProgressBar::TWin7TaskProgressBar(QWidget* window, std::unique_ptr<TTaskbarSink> sink)
{
    if (!window)
        return;
    glHandle = window;
    glTaskBarInterface = std::move(sink);
    if (HasTaskbar())
        glTaskBarInterface->SetProgressState(TTaskBarProgressStyle::tbpsNone);
    glMin = 0;
    glMax = 100;
    glValue = 10;
    SetStyle(TTaskBarProgressStyle::tbpsNormal);
    SetVisible(glVisible);
}

TWin7TaskProgressBar::~TWin7TaskProgressBar()
{
    if (HasTaskbar())
        glTaskBarInterface->SetProgressState(TTaskBarProgressStyle::tbpsNone);
}

void TWin7TaskProgressBar::SetMin(int value) { glMin = value; }

void TWin7TaskProgressBar::SetMax(int value)
{
    glMax = value;
    SetProgress(glValue);
}

void TWin7TaskProgressBar::SetProgress(int value)
{
    if (!HasTaskbar())
        return;
    glValue = value;
    if (!glMarquee)
        glTaskBarInterface->SetProgressValue(glValue, glMax);
}

void TWin7TaskProgressBar::SetMarquee(bool value)
{
    glMarquee = value;
    if (value) {
        SetStyle(TTaskBarProgressStyle::tbpsIndeterminate);
        return;
    }
    SetStyle(TTaskBarProgressStyle::tbpsNone);
    if (glVisible) {
        SetProgress(glValue);
        SetStyle(TTaskBarProgressStyle::tbpsNormal);
    }
}

void TWin7TaskProgressBar::SetStyle(TTaskBarProgressStyle value)
{
    if (HasTaskbar())
        glTaskBarInterface->SetProgressState(value);
    glStyle = value;
}

void TWin7TaskProgressBar::SetVisible(bool value)
{
    glVisible = value;
    if (!value)
        SetStyle(TTaskBarProgressStyle::tbpsNone);
    else if (glStyle != TTaskBarProgressStyle::tbpsNormal)
        SetStyle(TTaskBarProgressStyle::tbpsNormal);
}

}  // namespace reelsmith
