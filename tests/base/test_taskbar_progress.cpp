#include <QApplication>
#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <gtest/gtest.h>

#include "base/ui/taskbar_progress.h"

using reelsmith::TLauncherEntrySink;
using reelsmith::TTaskBarProgressStyle;
using reelsmith::TTaskbarSink;
using reelsmith::TWin7TaskProgressBar;

using Style = TTaskBarProgressStyle;

namespace {

// Writes every taskbar call as a short line ("state 2", "value 42/100") into a shared list.
class TRecordingSink : public TTaskbarSink {
public:
    explicit TRecordingSink(QStringList& calls) : m_Calls(calls) {}
    void SetProgressState(Style style) override { m_Calls << QStringLiteral("state %1").arg(int(style)); }
    void SetProgressValue(int completed, int total) override
    {
        m_Calls << QStringLiteral("value %1/%2").arg(completed).arg(total);
    }

private:
    QStringList& m_Calls;
};

const QString kNone = QStringLiteral("state 0");
const QString kIndeterminate = QStringLiteral("state 1");
const QString kNormal = QStringLiteral("state 2");
const QString kError = QStringLiteral("state 3");

class TaskbarProgress : public ::testing::Test {
protected:
    std::unique_ptr<TWin7TaskProgressBar> Make(QWidget* window)
    {
        auto bar = std::make_unique<TWin7TaskProgressBar>(window, std::make_unique<TRecordingSink>(calls));
        calls.clear();
        return bar;
    }

    QWidget window;
    QStringList calls;
};

}  // namespace

TEST_F(TaskbarProgress, CreationClearsTheButtonAndStartsHidden)
{
    TWin7TaskProgressBar bar(&window, std::make_unique<TRecordingSink>(calls));
    // No progress, then the normal style, then the current (hidden) visibility.
    EXPECT_EQ(calls, QStringList({kNone, kNormal, kNone}));
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Progress(), 10);
    EXPECT_FALSE(bar.Visible());
    EXPECT_FALSE(bar.Marquee());
    EXPECT_EQ(bar.Style(), Style::tbpsNone);
    EXPECT_TRUE(bar.HasTaskbar());
}

TEST_F(TaskbarProgress, DestructionClearsTheButton)
{
    auto bar = Make(&window);
    bar->SetVisible(true);
    calls.clear();
    bar.reset();
    EXPECT_EQ(calls, QStringList({kNone}));
}

TEST_F(TaskbarProgress, RunSequence)
{
    auto bar = Make(&window);
    bar->SetVisible(true);
    bar->SetStyle(Style::tbpsNormal);
    bar->SetProgress(42);
    bar->SetMax(3);  // resends the stored value against the new maximum
    bar->SetProgress(1);
    bar->SetVisible(false);
    EXPECT_EQ(calls, QStringList({kNormal, kNormal, QStringLiteral("value 42/100"), QStringLiteral("value 42/3"),
                                  QStringLiteral("value 1/3"), kNone}));
    EXPECT_EQ(bar->Progress(), 1);
    EXPECT_EQ(bar->Max(), 3);
    EXPECT_EQ(bar->Style(), Style::tbpsNone);
}

TEST_F(TaskbarProgress, VisibleKeepsAnAlreadyNormalStyle)
{
    auto bar = Make(&window);
    bar->SetStyle(Style::tbpsNormal);
    bar->SetVisible(true);
    bar->SetStyle(Style::tbpsError);
    bar->SetVisible(true);  // error is not normal: back to normal
    EXPECT_EQ(calls, QStringList({kNormal, kError, kNormal}));
    EXPECT_EQ(bar->Style(), Style::tbpsNormal);
}

TEST_F(TaskbarProgress, MarqueeHoldsValuesBackUntilItEnds)
{
    auto bar = Make(&window);
    bar->SetVisible(true);
    calls.clear();
    bar->SetMarquee(true);
    bar->SetProgress(55);  // kept, not shown
    bar->SetMarquee(false);
    EXPECT_EQ(calls, QStringList({kIndeterminate, kNone, QStringLiteral("value 55/100"), kNormal}));
    EXPECT_EQ(bar->Progress(), 55);

    // Hidden: ending the marquee only clears the button.
    bar->SetVisible(false);
    bar->SetMarquee(true);
    calls.clear();
    bar->SetMarquee(false);
    EXPECT_EQ(calls, QStringList({kNone}));
    EXPECT_EQ(bar->Style(), Style::tbpsNone);
}

TEST_F(TaskbarProgress, WithoutTaskbarOnlyFieldsChange)
{
    // A window without a session bus: fields start as usual, nothing is sent, and the value
    // is kept only where there is a taskbar to show it.
    TWin7TaskProgressBar bar(&window, nullptr);
    EXPECT_FALSE(bar.HasTaskbar());
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Progress(), 10);
    bar.SetVisible(true);
    bar.SetProgress(70);
    bar.SetMax(5);
    bar.SetMin(1);
    EXPECT_EQ(bar.Progress(), 10);
    EXPECT_EQ(bar.Max(), 5);
    EXPECT_EQ(bar.Min(), 1);
    EXPECT_TRUE(bar.Visible());
    EXPECT_EQ(bar.Style(), Style::tbpsNormal);
}

TEST_F(TaskbarProgress, NullWindowHasNoTaskbarAndZeroFields)
{
    TWin7TaskProgressBar bar(nullptr, std::make_unique<TRecordingSink>(calls));
    bar.SetVisible(true);
    bar.SetProgress(50);
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_FALSE(bar.HasTaskbar());
    EXPECT_EQ(bar.Max(), 0);
    EXPECT_EQ(bar.Progress(), 0);
    EXPECT_EQ(bar.Style(), Style::tbpsNormal);

    TWin7TaskProgressBar unbound(nullptr);  // the session-bus constructor
    EXPECT_FALSE(unbound.HasTaskbar());
}

TEST(LauncherEntrySink, StatesAndValuesBecomeProperties)
{
    QList<QVariantMap> sent;
    TLauncherEntrySink sink([&](const QVariantMap& properties) { sent << properties; });
    const QVariantMap shown{{"progress-visible", true}, {"urgent", false}};
    const QVariantMap hidden{{"progress-visible", false}, {"urgent", false}};

    sink.SetProgressState(Style::tbpsNormal);
    sink.SetProgressState(Style::tbpsError);
    sink.SetProgressState(Style::tbpsPaused);
    sink.SetProgressState(Style::tbpsIndeterminate);
    sink.SetProgressState(Style::tbpsNone);
    ASSERT_EQ(sent.size(), 5);
    EXPECT_EQ(sent[0], shown);
    EXPECT_EQ(sent[1], QVariantMap({{"progress-visible", true}, {"urgent", true}}));
    EXPECT_EQ(sent[2], shown);
    EXPECT_EQ(sent[3], hidden);
    EXPECT_EQ(sent[4], hidden);

    // With no bar shown a value brings it back; an error keeps its state.
    sent.clear();
    sink.SetProgressValue(1, 4);
    sink.SetProgressValue(3, 4);
    sink.SetProgressState(Style::tbpsError);
    sink.SetProgressValue(4, 4);
    ASSERT_EQ(sent.size(), 4);
    EXPECT_EQ(sent[0], QVariantMap({{"progress", 0.25}, {"progress-visible", true}, {"urgent", false}}));
    EXPECT_EQ(sent[1], QVariantMap({{"progress", 0.75}}));
    EXPECT_EQ(sent[3], QVariantMap({{"progress", 1.0}}));
}

TEST(LauncherEntrySink, FractionStaysWithinTheBar)
{
    struct Case {
        int completed, total;
        double fraction;
    };
    const Case cases[] = {{5, 0, 0.0}, {5, -3, 0.0}, {-1, 10, 0.0}, {150, 100, 1.0}, {2, 3, 2.0 / 3.0}};
    for (const Case& c : cases) {
        double got = -1;
        TLauncherEntrySink sink([&](const QVariantMap& p) { got = p.value("progress").toDouble(); });
        sink.SetProgressValue(c.completed, c.total);
        EXPECT_DOUBLE_EQ(got, c.fraction) << c.completed << "/" << c.total;
    }
}

namespace {

// A private session bus for the length of one test.
class TPrivateBus {
public:
    TPrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_Process.start(daemon,
                        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_Process.waitForStarted(5000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (!m_Process.canReadLine() && clock.elapsed() < 5000)
            m_Process.waitForReadyRead(100);
        Address = QString::fromUtf8(m_Process.readLine()).trimmed();
    }
    ~TPrivateBus()
    {
        m_Process.kill();
        m_Process.waitForFinished(5000);
    }

    QString Address;

private:
    QProcess m_Process;
};

// Keeps the launcher-entry signals that reach it.
class TUpdateListener : public QObject {
    Q_OBJECT
public:
    QList<QDBusMessage> Received;
public slots:
    void OnUpdate(const QDBusMessage& message) { Received << message; }
};

}  // namespace

TEST(LauncherEntryBus, UpdateSignalReachesAListener)
{
    TPrivateBus bus;
    if (bus.Address.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not available";
    QDBusConnection sender = QDBusConnection::connectToBus(bus.Address, QStringLiteral("taskbar-sender"));
    QDBusConnection receiver = QDBusConnection::connectToBus(bus.Address, QStringLiteral("taskbar-receiver"));
    ASSERT_TRUE(sender.isConnected());
    ASSERT_TRUE(receiver.isConnected());
    TUpdateListener listener;
    ASSERT_TRUE(receiver.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                 QStringLiteral("Update"), &listener, SLOT(OnUpdate(QDBusMessage))));
    {
        QWidget window;
        TWin7TaskProgressBar bar(&window, std::make_unique<TLauncherEntrySink>(TLauncherEntrySink::BusSender(sender)));
        bar.SetVisible(true);
        bar.SetProgress(30);
    }  // destruction hides the bar
    QElapsedTimer clock;
    clock.start();
    while (listener.Received.size() < 6 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    // none, normal, none at creation; normal; the value; none at destruction.
    ASSERT_EQ(listener.Received.size(), 6);
    const QDBusMessage& value = listener.Received[4];
    EXPECT_EQ(value.path(), QStringLiteral("/com/reelsmith/LauncherEntry"));
    EXPECT_EQ(value.signature(), QStringLiteral("sa{sv}"));
    ASSERT_EQ(value.arguments().size(), 2);
    EXPECT_EQ(value.arguments()[0].toString(), QStringLiteral("application://reelsmith.desktop"));
    const QVariantMap properties = qdbus_cast<QVariantMap>(value.arguments()[1]);
    EXPECT_DOUBLE_EQ(properties.value(QStringLiteral("progress")).toDouble(), 0.3);
    EXPECT_EQ(qdbus_cast<QVariantMap>(listener.Received[5].arguments()[1]).value(QStringLiteral("progress-visible")),
              QVariant(false));
    QDBusConnection::disconnectFromBus(QStringLiteral("taskbar-sender"));
    QDBusConnection::disconnectFromBus(QStringLiteral("taskbar-receiver"));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "test_taskbar_progress.moc"
