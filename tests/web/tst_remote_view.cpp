#include "VideoTools.h"
#include "web/EventIndex.h"
#include "web/LocalAddress.h"
#include "web/PasswordHash.h"
#include "web/PublishedRemoteViewSource.h"
#include "web/RemoteViewServer.h"
#include "web/RemoteViewSource.h"
#include "web/ServerCertificate.h"
#include "web/SessionStore.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

#include <algorithm>
#include <atomic>

using namespace vigilux::web;

namespace {

const QString Password = QStringLiteral("кот в сапогах 7");

// The program as the server sees it: frames and state published from the
// test's thread, actions recorded there. `hold` makes the next picture
// request wait until released, to show that a stuck server never stops the
// test's thread.
class FakeSource final : public PublishedRemoteViewSource {
public:
    QMutex mutex;
    QWaitCondition released;
    bool hold = false;
    int held = 0;
    std::atomic<bool> wrongThread = false; // a getter on the UI thread or an action off it
    RemoteViewState s;
    QList<MuteChoice> mutes;
    int snapshots = 0;
    QList<bool> watchCalls;

    QByteArray latestJpeg() override {
        wrongThread =
            wrongThread || QThread::currentThread() == QCoreApplication::instance()->thread();
        QMutexLocker lock(&mutex);
        if (hold) {
            ++held;
            while (hold)
                released.wait(&mutex);
        }
        lock.unlock();
        return PublishedRemoteViewSource::latestJpeg();
    }
    void setWatching(bool on) override {
        watchCalls << on;
        s.watching = on;
        published();
    }
    void mute(MuteChoice choice) override {
        mutes << choice;
        s.mutedForever = choice == MuteChoice::UntilUnmuted;
        s.mutedUntil = choice == MuteChoice::Hour1 ? QDateTime::currentDateTime().addSecs(3600)
                       : choice == MuteChoice::Minutes15 ? QDateTime::currentDateTime().addSecs(900)
                                                         : QDateTime();
        published();
    }
    void takeSnapshot() override {
        ++snapshots;
        published();
    }
    void published() {
        wrongThread =
            wrongThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        publishState(s);
    }
    void setHold(bool on) {
        QMutexLocker lock(&mutex);
        hold = on;
        released.wakeAll();
    }
};

bool refuseEveryone(const QHostAddress&) {
    return false;
}

} // namespace

class RemoteViewTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void localAddresses_data();
    void localAddresses();
    void passwordLockout_data();
    void passwordLockout();
    void sessionsEnd();
    void filesStayInsideTheFolder_data();
    void filesStayInsideTheFolder();
    void certificateIsMadeOnceAndKeptPrivate();
    void attackerRequests();
    void manyViewersNeverHoldUpTheDetector();
    void browser();

private:
    // Runs the client script in `phase` while this thread's event loop goes
    // on; its output, or a failure.
    bool runClient(const QString& phase, QByteArray& output);

    QTemporaryDir m_dir;
    QString m_saves;
    FakeSource m_source;
    QTimer m_camera;
    std::unique_ptr<RemoteViewServer> m_server;
    std::unique_ptr<RemoteViewServer> m_strict;
};

void RemoteViewTest::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_saves = m_dir.filePath(QStringLiteral("saves"));
    QVERIFY(QDir().mkpath(m_saves + QStringLiteral("/day")));
    m_source.publishPaths(m_saves, m_saves + QStringLiteral("/events.csv"));
    m_source.s.watching = true;
    m_source.s.cameraHealth = QStringLiteral("камера работает");
    m_source.published();
    // The camera: a new frame of another colour ten times a second.
    connect(&m_camera, &QTimer::timeout, this, [this, hue = 0]() mutable {
        QImage frame(640, 480, QImage::Format_RGB32);
        frame.fill(QColor::fromHsv(hue = (hue + 37) % 360, 200, 200));
        m_source.publishFrame(frame);
    });
    m_camera.start(100);
    // Event 1 has a picture and a clip; the others name files the server
    // must refuse: leaving the folder, absolute, and a link out of it.
    QFile secret(m_dir.filePath(QStringLiteral("secret.jpg")));
    QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("secret") == 6);
    secret.close();
    QVERIFY(QFile::link(secret.fileName(), m_saves + QStringLiteral("/day/link.jpg")));
    QImage(64, 48, QImage::Format_RGB32).save(m_saves + QStringLiteral("/day/first.jpg"));
    QVERIFY(vigilux::test::runFfmpeg(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc=size=320x240:rate=25:duration=3"), QStringLiteral("-c:v"),
         QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
         m_saves + QStringLiteral("/day/clip.mp4")}));
    const QString day = QDate::currentDate().toString(Qt::ISODate);
    QFile csv(m_source.eventLogPath());
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("number,start,end,duration_s,steps,peak_percent,first_file,last_file,files,clips\n");
    const char* rows[] = {
        "1,%1T10:00:00.000,%1T10:00:04.500,4.500,9,12,day/first.jpg,day/first.jpg,1,day/clip.mp4",
        "2,%1T11:00:00.000,%1T11:00:01.000,1.000,2,5,../secret.jpg,,1,../secret.jpg",
        "3,%1T12:00:00.000,%1T12:00:01.000,1.000,2,5,%2,,1,%2",
        "4,%1T13:00:00.000,%1T13:00:01.000,1.000,2,5,day/link.jpg,,1,day/link.jpg",
        "5,2020-01-02T09:00:00.000,2020-01-02T09:00:01.000,1.000,2,5,,,0,"};
    for (const char* row : rows)
        csv.write(QString::fromLatin1(row)
                      .replace(QStringLiteral("%1"), day)
                      .replace(QStringLiteral("%2"), secret.fileName())
                      .toUtf8() +
                  '\n');
    csv.close();

    RemoteViewSettings settings;
    settings.enabled = true;
    settings.port = 0;
    settings.passwordHash = PasswordHash::make(Password);
    m_server = std::make_unique<RemoteViewServer>(m_source);
    QVERIFY2(m_server->start(settings, m_dir.path(), QHostAddress::LocalHost),
             qPrintable(m_server->error()));
    m_strict = std::make_unique<RemoteViewServer>(m_source);
    m_strict->setAddressCheck(&refuseEveryone);
    QVERIFY(m_strict->start(settings, m_dir.path(), QHostAddress::LocalHost));
}

void RemoteViewTest::localAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("local");
    const std::pair<const char*, bool> rows[] = {
        {"127.0.0.1", true},
        {"127.255.1.2", true},
        {"10.1.2.3", true},
        {"172.16.0.1", true},
        {"172.31.255.254", true},
        {"172.32.0.1", false},
        {"172.15.255.255", false},
        {"192.168.1.20", true},
        {"192.169.0.1", false},
        {"169.254.3.4", true},
        {"8.8.8.8", false},
        {"100.64.0.1", false},
        {"::1", true},
        {"fd12:3456::1", true},
        {"fc00::1", true},
        {"fe80::1", true},
        {"fec0::1", false},
        {"2001:db8::1", false},
        {"::ffff:192.168.0.5", true},
        {"::ffff:8.8.4.4", false},
        {"::", false},
    };
    for (const auto& [address, local] : rows)
        QTest::newRow(address) << QString::fromLatin1(address) << local;
}

void RemoteViewTest::localAddresses() {
    QFETCH(QString, address);
    QFETCH(bool, local);
    QCOMPARE(isLocalAddress(QHostAddress(address)), local);
}

void RemoteViewTest::passwordLockout_data() {
    // Steady times of wrong passwords from one address, and how long it must
    // wait after the last one.
    QTest::addColumn<QList<qint64>>("failures");
    QTest::addColumn<qint64>("waitMs");
    QTest::newRow("four wrong: no wait") << QList<qint64>{0, 1, 2, 3} << qint64(0);
    QTest::newRow("fifth: a minute") << QList<qint64>{0, 1, 2, 3, 4} << qint64(60000);
    QTest::newRow("sixth after the wait: two")
        << QList<qint64>{0, 1, 2, 3, 4, 60004} << qint64(120000);
    QTest::newRow("seventh: four") << QList<qint64>{0, 1, 2, 3, 4, 60004, 180004} << qint64(240000);
}

void RemoteViewTest::passwordLockout() {
    QFETCH(QList<qint64>, failures);
    QFETCH(qint64, waitMs);
    SessionStore store;
    const QHostAddress guesser(QStringLiteral("192.168.1.7"));
    for (qint64 t : failures)
        store.passwordFailed(guesser, t);
    QCOMPARE(store.waitMs(guesser, failures.last()), waitMs);
    // The same address mapped into IPv6 waits too; another does not.
    QCOMPARE(store.waitMs(QHostAddress(QStringLiteral("::ffff:192.168.1.7")), failures.last()),
             waitMs);
    QCOMPARE(store.waitMs(QHostAddress(QStringLiteral("192.168.1.8")), failures.last()), qint64(0));
    store.passwordAccepted(guesser);
    QCOMPARE(store.waitMs(guesser, failures.last()), qint64(0));
}

void RemoteViewTest::sessionsEnd() {
    SessionStore store;
    const QByteArray a = store.open(0);
    const QByteArray b = store.open(0);
    QCOMPARE(a.size(), 64); // 256 bits as hex
    QVERIFY(a != b && store.find(a, 0)->csrf != store.find(b, 0)->csrf);
    QVERIFY(store.find(a, SessionStore::LifetimeMs - 1));
    QVERIFY(!store.find(a, SessionStore::LifetimeMs));
    store.close(b);
    QVERIFY(!store.find(b, 1));
}

void RemoteViewTest::filesStayInsideTheFolder_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("served");
    QTest::newRow("plain") << "day/first.jpg" << true;
    QTest::newRow("dot-dot back in") << "day/../day/first.jpg" << true;
    QTest::newRow("dot-dot out") << "../secret.jpg" << false;
    QTest::newRow("absolute") << m_dir.filePath(QStringLiteral("secret.jpg")) << false;
    QTest::newRow("link out") << "day/link.jpg" << false;
    QTest::newRow("folder") << "day" << false;
    QTest::newRow("missing") << "day/none.jpg" << false;
    QTest::newRow("backslash") << "day\\first.jpg" << false;
}

void RemoteViewTest::filesStayInsideTheFolder() {
    QFETCH(QString, name);
    QFETCH(bool, served);
    QCOMPARE(!EventIndex::resolveInside(m_saves, name).isEmpty(), served);
}

void RemoteViewTest::certificateIsMadeOnceAndKeptPrivate() {
    QTemporaryDir dir;
    ServerCertificate first;
    QVERIFY2(first.load(dir.path()), qPrintable(first.error()));
    const auto perms = QFile::permissions(dir.filePath(QStringLiteral("remote-view.key")));
    QCOMPARE(perms & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
             QFile::Permissions());
    QVERIFY(first.certificate()
                .subjectAlternativeNames()
                .values(QSsl::DnsEntry)
                .contains(QStringLiteral("localhost")));
    QCOMPARE(first.fingerprint().size(), 32 * 3 - 1);
    ServerCertificate again;
    QVERIFY(again.load(dir.path()));
    QCOMPARE(again.fingerprint(), first.fingerprint());
}

bool RemoteViewTest::runClient(const QString& phase, QByteArray& output) {
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VIGILUX_WEB_CLIENT_SCRIPT), phase,
                  QString::number(m_server->port()), QString::number(m_strict->port()), Password,
                  m_saves});
    // The actions reach the fake on this thread, so its loop must run.
    QElapsedTimer waited;
    waited.start();
    while (client.state() != QProcess::NotRunning && waited.elapsed() < 240000)
        QTest::qWait(50);
    output = client.readAll();
    qInfo().noquote() << output;
    return client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
}

void RemoteViewTest::attackerRequests() {
    QByteArray output;
    QVERIFY2(runClient(QStringLiteral("attacker"), output), output.constData());
    // Nothing the attacker sent reached the program.
    QVERIFY(m_source.watchCalls.isEmpty() && m_source.mutes.isEmpty() && !m_source.snapshots);
}

void RemoteViewTest::manyViewersNeverHoldUpTheDetector() {
    // A "detector" ticking on this thread every 50 ms. The server is held
    // inside the source while 20 clients connect: the ticks go on, since
    // the server's work is on its own thread.
    QList<qint64> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer detector;
    detector.setInterval(50);
    connect(&detector, &QTimer::timeout, this, [&] {
        gaps << clock.elapsed() - last;
        last = clock.elapsed();
    });
    m_source.setHold(true);
    detector.start();
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VIGILUX_WEB_CLIENT_SCRIPT), QStringLiteral("viewers"),
                  QString::number(m_server->port()), QString::number(m_strict->port()), Password,
                  m_saves});
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QMutexLocker l(&m_source.mutex);
            return m_source.held > 0;
        }(),
        60000);
    const qsizetype before = gaps.size();
    QTRY_VERIFY_WITH_TIMEOUT(gaps.size() >= before + 20, 30000);
    m_source.setHold(false);
    QTRY_VERIFY_WITH_TIMEOUT(client.state() == QProcess::NotRunning, 120000);
    const QByteArray output = client.readAll();
    QVERIFY2(client.exitCode() == 0, output.constData());
    std::sort(gaps.begin(), gaps.end());
    qInfo("detector steps: %lld, gap median %lld ms, 95th %lld ms", qint64(gaps.size()),
          gaps[gaps.size() / 2], gaps[gaps.size() * 95 / 100]);
}

void RemoteViewTest::browser() {
    QByteArray output;
    QVERIFY2(runClient(QStringLiteral("browser"), output), output.constData());
    QVERIFY(!m_source.wrongThread);
    QCOMPARE(m_source.mutes, (QList<MuteChoice>{MuteChoice::Hour1, MuteChoice::Unmute}));
    QCOMPARE(m_source.watchCalls, QList<bool>{false});
    QCOMPARE(m_source.snapshots, 1);
}

QTEST_GUILESS_MAIN(RemoteViewTest)
#include "tst_remote_view.moc"
