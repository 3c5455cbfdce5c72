#include "platform/DesktopScreenSaverInhibitor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <QThread>

using vigilux::platform::DesktopScreenSaverInhibitor;

namespace {
// Stands in for the desktop's screen-saver service and records each call as
// "Inhibit <app>" / "UnInhibit <cookie>". It lives in its own thread, as a
// real service lives in its own process, so blocking calls reach it.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        QMutexLocker lock(&m_mutex);
        m_calls << QStringLiteral("Inhibit ") + application;
        m_reasons << reason;
        return ++m_lastCookie;
    }
    void UnInhibit(uint cookie) {
        QMutexLocker lock(&m_mutex);
        m_calls << QStringLiteral("UnInhibit %1").arg(cookie);
    }

private:
    mutable QMutex m_mutex;
    QStringList m_calls;
    QStringList m_reasons;
    uint m_lastCookie = 40;
};

// A private session bus for one test, ended with it.
class PrivateBus {
public:
    PrivateBus() {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address")});
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    QString address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

const QString ServiceName = QStringLiteral("org.freedesktop.ScreenSaver");
} // namespace

class TestScreenSaver : public QObject {
    Q_OBJECT
    std::unique_ptr<PrivateBus> m_bus;
    QThread m_serviceThread;
    FakeScreenSaver* m_service = nullptr;
    int m_round = 0;

    // A fresh client connection, so each test starts unconnected to the last.
    QDBusConnection client() {
        return QDBusConnection::connectToBus(m_bus->address(),
                                             QStringLiteral("client%1").arg(++m_round));
    }

private slots:
    void initTestCase() {
        m_bus = std::make_unique<PrivateBus>();
        if (m_bus->address().isEmpty())
            QSKIP("dbus-daemon could not start a private bus (package dbus-daemon)");
        QDBusConnection serviceBus =
            QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("service"));
        QVERIFY(serviceBus.isConnected());
        m_service = new FakeScreenSaver;
        m_service->moveToThread(&m_serviceThread);
        connect(&m_serviceThread, &QThread::finished, m_service, &QObject::deleteLater);
        m_serviceThread.start();
        QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), m_service,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(serviceBus.registerService(ServiceName));
    }
    void cleanupTestCase() {
        m_serviceThread.quit();
        m_serviceThread.wait();
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        for (int i = 1; i <= m_round; ++i)
            QDBusConnection::disconnectFromBus(QStringLiteral("client%1").arg(i));
    }

    void watchingHoldsTheScreenAndEndingGivesItBack() {
        const int before = m_service->calls().size();
        DesktopScreenSaverInhibitor inhibitor(client());
        inhibitor.setInhibited(true);
        inhibitor.setInhibited(true); // a repeat asks nothing more
        QTRY_VERIFY_WITH_TIMEOUT(inhibitor.holding(), 5000);
        QCOMPARE(m_service->calls().mid(before), QStringList{QStringLiteral("Inhibit Vigilux")});

        inhibitor.setInhibited(false);
        QVERIFY(!inhibitor.holding());
        QTRY_COMPARE_WITH_TIMEOUT(m_service->calls().size(), before + 2, 5000);
        QCOMPARE(m_service->calls().last(), QStringLiteral("UnInhibit 41"));
    }

    void offBeforeTheGrantArrivesStillGivesItBack() {
        const int before = m_service->calls().size();
        DesktopScreenSaverInhibitor inhibitor(client());
        inhibitor.setInhibited(true);
        inhibitor.setInhibited(false);
        QTRY_COMPARE_WITH_TIMEOUT(m_service->calls().size(), before + 2, 5000);
        QVERIFY(m_service->calls().last().startsWith(QStringLiteral("UnInhibit ")));
        QVERIFY(!inhibitor.holding());
    }

    void exitWhileWatchingGivesItBack() {
        const int before = m_service->calls().size();
        {
            DesktopScreenSaverInhibitor inhibitor(client());
            inhibitor.setInhibited(true);
        } // destroyed with the request possibly still under way
        const QStringList calls = m_service->calls().mid(before);
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.first(), QStringLiteral("Inhibit Vigilux"));
        QVERIFY(calls.last().startsWith(QStringLiteral("UnInhibit ")));
    }

    void noServiceOrNoBusChangesNothing() {
        // A bus where nobody offers the service: the request fails quietly.
        PrivateBus empty;
        QVERIFY(!empty.address().isEmpty());
        {
            DesktopScreenSaverInhibitor inhibitor(
                QDBusConnection::connectToBus(empty.address(), QStringLiteral("lonely")));
            inhibitor.setInhibited(true);
        } // waits for the refusal
        QDBusConnection::disconnectFromBus(QStringLiteral("lonely"));

        DesktopScreenSaverInhibitor unconnected(QDBusConnection(QStringLiteral("none")));
        unconnected.setInhibited(true);
        QVERIFY(!unconnected.holding());
        unconnected.setInhibited(false);
    }
};

QTEST_GUILESS_MAIN(TestScreenSaver)
#include "tst_screen_saver.moc"
