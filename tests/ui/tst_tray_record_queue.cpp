#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeServices.h"
#include "FtpServerProcess.h"
#include "NetTestHelpers.h"
#include "app/TrayIcon.h"
#include "core/AppContext.h"
#include "platform/TrayBackend.h"
#include "ui/RecordingIndicator.h"
#include "upload/FtpClient.h"
#include "upload/UploadQueue.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

// An upload's result as the tests compare it: "ok", or why it failed.
QString resultText(const QVariant& result) {
    const auto status = result.value<vigilux::core::Status>();
    return status ? QStringLiteral("ok") : status.error();
}

using FakeTray = test::FakeTrayBackend;

QIcon coloured(Qt::GlobalColor c) {
    QPixmap p(16, 16);
    p.fill(c);
    return QIcon(p);
}

struct Context {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    // The pictures are saved here; the queue sends nothing from elsewhere.
    Context() { context.settings.savePath = dir.path(); }
};

} // namespace

class TestTrayRecordQueue : public QObject {
    Q_OBJECT
private slots:
    void recordSizeFollowsTheShellGeneration() {
        QCOMPARE(app::TrayIcon::notifyDataSizeFor(6), 504);
        QCOMPARE(app::TrayIcon::notifyDataSizeFor(10), 504);
        QCOMPARE(app::TrayIcon::notifyDataSizeFor(5), 488);
        QCOMPARE(app::TrayIcon::notifyDataSizeFor(4), 88);
        QCOMPARE(app::TrayIcon::notifyDataSizeFor(0), 88);
        FakeTray backend;
        app::TrayIcon tray(backend, [] { return 5; });
        QCOMPARE(tray.notifyDataSize(), 0);
        tray.add();
        QCOMPARE(tray.notifyDataSize(), 488);
    }

    void tipIsCutAndAppliedOnlyWhileShown() {
        FakeTray backend;
        app::TrayIcon tray(backend, [] { return 6; });
        tray.setToolTipText(QString(70, QLatin1Char('x')));
        tray.modify(); // no icon yet: nothing reaches the desktop
        QVERIFY(backend.calls.isEmpty());
        tray.add();
        QCOMPARE(backend.tip.size(), 63);
        tray.setToolTipText(ui::RecordingIndicator::RecordingTip);
        tray.modify();
        QCOMPARE(backend.tip, QStringLiteral("Vigilux [>] включена автосъемка."));
        tray.remove();
        tray.showBalloon(QStringLiteral("t"), QStringLiteral("x"), 1);
        QCOMPARE(backend.calls, (QStringList{QStringLiteral("add"), QStringLiteral("modify"),
                                             QStringLiteral("remove")}));
        QVERIFY(backend.balloons.isEmpty());
    }

    void iconMessagesBecomeCodes_data() {
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("code");
        QTest::newRow("left press") << int(platform::TrayBackend::LeftButtonDown) << 1;
        QTest::newRow("left double") << int(platform::TrayBackend::LeftDoubleClick) << 3;
        QTest::newRow("right release") << int(platform::TrayBackend::RightButtonUp) << 5;
        QTest::newRow("keyboard") << int(platform::TrayBackend::KeySelect) << 1;
        QTest::newRow("balloon click") << int(platform::TrayBackend::BalloonClick) << 5;
        QTest::newRow("move") << int(platform::TrayBackend::MouseMove) << 0;
    }
    void iconMessagesBecomeCodes() {
        QFETCH(int, message);
        QFETCH(int, code);
        FakeTray backend;
        app::TrayIcon tray(backend, [] { return 6; });
        QSignalSpy onIcon(&tray, &app::TrayIcon::activated);
        backend.send(message);
        QCOMPARE(onIcon.size(), 1);
        QCOMPARE(onIcon.at(0).at(0).value<qint16>(), qint16(code));
        tray.dispatchMessage(message, 3); // not an icon message
        QCOMPARE(onIcon.size(), 1);
    }

    void recordBlinksDotAndTrayIcon() {
        Context c;
        FakeTray backend;
        app::TrayIcon tray(backend, [] { return 6; });
        tray.registerIcon(1, coloured(Qt::blue));
        tray.registerIcon(2, coloured(Qt::red));
        ui::RecordingIndicator record(c.context, tray, 1, 2);

        record.start();
        QVERIFY(record.blinkTimer().isActive());
        QCOMPARE(record.blinkTimer().interval(), 1000);
        QVERIFY(record.dotVisible());
        QCOMPARE(tray.toolTipText(), ui::RecordingIndicator::RecordingTip);

        // Shown window: the dot blinks, the tray (absent) is left alone.
        record.onBlinkTick();
        QVERIFY(!record.dotVisible());
        QCOMPARE(tray.icon(), 0);

        // In the tray the icon swaps between idle (1) and watching (2) with the
        // dot.
        c.context.inTray = true;
        tray.setIcon(1);
        tray.add();
        record.onBlinkTick();
        QCOMPARE(tray.icon(), 2);
        record.onBlinkTick();
        QCOMPARE(tray.icon(), 1);
        record.onBlinkTick();
        QCOMPARE(tray.icon(), 2);

        // Paused: steady dot, icon untouched.
        record.stopLit();
        QVERIFY(!record.blinkTimer().isActive());
        QVERIFY(record.dotVisible());
        QCOMPARE(tray.icon(), 2);

        // Off: the idle icon and the plain tip come back.
        record.stop();
        QVERIFY(!record.dotVisible());
        QCOMPARE(tray.icon(), 1);
        QCOMPARE(backend.tip, QStringLiteral("Vigilux"));
    }

    void queueUploadsEverySavedFileInOrderThroughOutages() {
        test::FtpServerProcess server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(QDir(server.folder()).mkdir(QStringLiteral("photos")));

        Context c;
        auto& s = c.context.settings;
        s.ftpUpload = true;
        s.ftpServer = QStringLiteral("127.0.0.1");
        s.ftpLogin = server.user();
        s.ftpPassword = server.password();
        s.ftpFolder = QStringLiteral("photos");

        upload::FtpClient ftp;
        ftp.setControlPort(server.port());
        ftp.setStartDelayMs(10);
        QStringList status;
        upload::UploadQueue queue(c.context, ftp, [&](const QString& t) { status << t; });
        QSignalSpy results(&ftp, &upload::FtpClient::finished);

        QStringList sent;
        for (int i = 0; i < 3; ++i) {
            const QString path = c.dir.filePath(QStringLiteral("f%1.jpg").arg(i));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(3000 + i, char('a' + i)));
            f.close();
            queue.enqueueSaved(path);
            sent << path;
        }
        // The first starts at once, the others wait their turn.
        QCOMPARE(status.mid(0, 4),
                 (QStringList{QStringLiteral("Загрузка на ftp (изображений в очереди: 1)..."),
                              QStringLiteral("Загрузка на ftp (изображений в очереди: 0)..."),
                              QStringLiteral("Загрузка на ftp (изображений в очереди: 1)..."),
                              QStringLiteral("Загрузка на ftp (изображений в очереди: 2)...")}));
        QCOMPARE(s.ftpFolder, QStringLiteral("photos/"));
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 3, 20000);
        for (const auto& r : results)
            QCOMPARE(resultText(r.at(0)), QStringLiteral("ok"));
        for (int i = 0; i < 3; ++i) {
            QFile up(server.folder() + QStringLiteral("/photos/f%1.jpg").arg(i));
            QVERIFY(up.open(QIODevice::ReadOnly));
            QCOMPARE(up.readAll(), QByteArray(3000 + i, char('a' + i)));
        }
        QCOMPARE(status.last(), QStringLiteral("Загрузка на ftp завершена."));

        // The server goes away: the failure is reported and the file waits
        // in the queue for the server to come back.
        server.stop();
        queue.enqueueSaved(sent.at(0));
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 4, 20000);
        QVERIFY(resultText(results.last().at(0)) != QLatin1String("ok"));
        QCOMPARE(status.last(), QStringLiteral("Ошибка загрузки на ftp!"));
        QVERIFY(!ftp.isBusy());
        QCOMPARE(queue.size(), 1);
        QCOMPARE(queue.waitingCount(), 1);
    }

    void queueNeverStartsWhileBusyAndLosesNothing() {
        Context c;
        c.context.settings.ftpUpload = true;
        c.context.settings.ftpServer = QStringLiteral("127.0.0.1");
        upload::FtpClient ftp;
        ftp.setControlPort(test::closedPort()); // every job fails fast
        ftp.setStartDelayMs(10);
        QStringList status;
        upload::UploadQueue queue(c.context, ftp, [&](const QString& t) { status << t; });
        QSignalSpy results(&ftp, &upload::FtpClient::finished);
        QStringList paths;
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            paths << c.dir.filePath(QString::fromLatin1(name));
            QFile f(paths.last());
            QVERIFY(f.open(QIODevice::WriteOnly));
        }

        queue.enqueueSaved(paths.at(0));
        QVERIFY(ftp.isBusy());
        queue.enqueueSaved(paths.at(1));
        queue.uploadNext(); // a stray call while busy must not start b
        QCOMPARE(queue.size(), 1);
        QCOMPARE(ftp.address(), QStringLiteral(".127.0.0.1//a.jpg"));
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 20000);
        // The server cannot be reached: both wait, a first, and nothing
        // starts before the retry is due.
        QCOMPARE(queue.size(), 2);
        queue.uploadNext();
        QVERIFY(!ftp.isBusy());

        c.context.settings.ftpUpload = false;
        status.clear();
        queue.enqueueSaved(paths.at(2));
        QVERIFY(status.isEmpty());
        QCOMPARE(queue.size(), 2);
    }
};

QTEST_MAIN(TestTrayRecordQueue)
#include "tst_tray_record_queue.moc"
