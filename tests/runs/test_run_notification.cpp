// The end-of-run notification against a private session bus with a fake notification
// server, and silence without a bus.
#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>
#include <QtTest>

#include "runs/ui/run_notification.h"

using namespace reelsmith;

class TFakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList Received;  // "summary|body"
    QString AppName;

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        AppName = appName;
        Received.append(summary + QLatin1Char('|') + body);
        return static_cast<uint>(Received.size());
    }
};

class TestRunNotification : public QObject {
    Q_OBJECT
private slots:
    void textsSayHowTheRunEnded()
    {
        TRunTally tally;
        tally.Reset(14);
        for (int i = 0; i < 12; ++i)
            tally.SetRow(i, TRowOutcome::Converted);
        QCOMPARE(RunNotificationSummary(tally, false), QStringLiteral("Conversion finished"));
        tally.SetRow(12, TRowOutcome::Failed, QStringLiteral("no audio track"));
        tally.SetRow(13, TRowOutcome::Failed, QStringLiteral("no audio track"));
        QCOMPARE(RunNotificationSummary(tally, false), QStringLiteral("Conversion finished with errors"));
        QCOMPARE(RunNotificationBody(tally), QStringLiteral("12 converted, 2 failed"));
        tally.Reset(3);
        tally.SetRow(0, TRowOutcome::Converted);
        tally.StopRemaining();
        QCOMPARE(RunNotificationSummary(tally, true), QStringLiteral("Conversion stopped"));
        QCOMPARE(RunNotificationBody(tally), QStringLiteral("1 converted, 2 skipped"));
    }

    void reachesTheNotificationServerOnThePrivateBus()
    {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(10000))
            QSKIP("dbus-daemon is not installed");
        QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 20000));
        const QString address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
        {
            QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("notification-server"));
            QVERIFY(server.isConnected());
            TFakeNotifications fake;
            QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                          QDBusConnection::ExportAllSlots));
            QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));

            QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("notification-client"));
            QVERIFY(SendDesktopNotification(client, QStringLiteral("Conversion finished with errors"),
                                            QStringLiteral("12 converted, 2 failed")));
            QVERIFY(QTest::qWaitFor([&] { return !fake.Received.isEmpty(); }, 20000));
            QCOMPARE(fake.Received,
                     QStringList{QStringLiteral("Conversion finished with errors|12 converted, 2 failed")});
            QCOMPARE(fake.AppName, QStringLiteral("Reelsmith"));
            server.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("notification-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
        daemon.terminate();
        daemon.waitForFinished(10000);
    }

    void silentWithoutASessionBus()
    {
        QDBusConnection none =
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
        QVERIFY(!none.isConnected());
        QVERIFY(!SendDesktopNotification(none, QStringLiteral("Conversion finished"), QStringLiteral("1 converted")));
        QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
        // The program's own path: no session bus address at all.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        SendDesktopNotification(QStringLiteral("Conversion finished"), QStringLiteral("1 converted"));
    }
};

QTEST_GUILESS_MAIN(TestRunNotification)
#include "test_run_notification.moc"
