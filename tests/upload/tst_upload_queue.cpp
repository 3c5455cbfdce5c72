#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FtpServerProcess.h"
#include "core/AppContext.h"
#include "core/LineJournal.h"
#include "upload/FtpClient.h"
#include "upload/UploadQueue.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

constexpr int kArrivalWaitMs = 60000;

QByteArray picture(int size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = static_cast<quint32>(seed) * 2654435761u + 7;
    for (int i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A settings folder with a queue on a real server, and pictures to send.
struct Fixture {
    QTemporaryDir settingsDir;
    QTemporaryDir pictures;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, settingsDir.path()};
    test::FtpServerProcess server;
    upload::FtpClient ftp;
    QStringList status;
    std::unique_ptr<upload::UploadQueue> queue;

    bool start() {
        if (!server.start() || !QDir(server.folder()).mkdir(QStringLiteral("photos")))
            return false;
        auto& s = context.settings;
        s.ftpUpload = true;
        s.ftpServer = QStringLiteral("127.0.0.1");
        s.ftpLogin = server.user();
        s.ftpPassword = server.password();
        s.ftpFolder = QStringLiteral("photos");
        ftp.setControlPort(server.port());
        ftp.setStartDelayMs(10);
        newQueue();
        return true;
    }
    void newQueue() {
        queue.reset();
        queue = std::make_unique<upload::UploadQueue>(context, ftp,
                                                      [this](const QString& t) { status << t; });
        queue->setRetryDelay([](int) { return 300; });
    }
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = pictures.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }
    QString served(const QString& name) const {
        return server.folder() + QStringLiteral("/photos/") + name;
    }
    int servedCount() const {
        return static_cast<int>(
            QDir(server.folder() + QStringLiteral("/photos")).entryList(QDir::Files).size());
    }
    bool statusSays(const QString& start) const {
        return std::any_of(status.cbegin(), status.cend(),
                           [&start](const QString& t) { return t.startsWith(start); });
    }
};

} // namespace

class TestUploadQueue : public QObject {
    Q_OBJECT
private slots:
    // Many pictures queued at once: every one arrives intact, and the
    // journal no longer holds any of them.
    void everyPictureArrivesAndLeavesTheJournal() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        QSignalSpy changed(f.queue.get(), &upload::UploadQueue::waitingChanged);
        QList<QByteArray> sent;
        for (int i = 0; i < 40; ++i) {
            sent << picture(20000 + i, i);
            f.queue->enqueueSaved(f.write(QStringLiteral("p%1.jpg").arg(i), sent.last()));
        }
        QCOMPARE(f.queue->waitingCount(), 40);
        QCOMPARE(changed.last().first().toInt(), 40);
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 0, kArrivalWaitMs);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(readAll(f.served(QStringLiteral("p%1.jpg").arg(i))), sent.at(i));
        QCOMPARE(f.status.last(), QStringLiteral("Загрузка на ftp завершена."));
        QCOMPARE(changed.last().first().toInt(), 0);
        QVERIFY(!f.queue->deferDeletion(f.pictures.filePath(QStringLiteral("p0.jpg"))));

        f.newQueue();
        QCOMPARE(f.queue->restore(), 0);
        QVERIFY(core::LineJournal(f.queue->journalPath()).readAll().isEmpty());
    }

    // The server goes away in the middle of the queue and comes back 20 s
    // later: the queue waits and then sends the rest; nothing is lost.
    void serverAwayForTwentySecondsLosesNothing() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        const quint16 port = f.server.port();
        QList<QByteArray> sent;
        for (int i = 0; i < 30; ++i) {
            sent << picture(60000, 100 + i);
            f.queue->enqueueSaved(f.write(QStringLiteral("o%1.jpg").arg(i), sent.last()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(f.servedCount() >= 3, kArrivalWaitMs);
        f.server.stop();
        QTest::qWait(20000);
        QVERIFY(f.queue->waitingCount() > 0);
        QVERIFY(f.statusSays(QStringLiteral("Ошибка загрузки на ftp!")));
        QVERIFY(f.queue->lastError().startsWith(QStringLiteral("Ошибка сокета #10061")));
        QVERIFY2(f.server.start(port), qPrintable(f.server.error()));
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 0, kArrivalWaitMs);
        for (int i = 0; i < 30; ++i)
            QCOMPARE(readAll(f.served(QStringLiteral("o%1.jpg").arg(i))), sent.at(i));
    }

    // Killed with files waiting, started again: every file arrives, and
    // none is sent twice except the one that was on its way.
    void killedWithFilesWaitingSendsThemAfterRestart() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        QStringList files;
        QList<QByteArray> sent;
        for (int i = 0; i < 50; ++i) {
            sent << picture(30000, 200 + i);
            files << f.write(QStringLiteral("k%1.jpg").arg(i), sent.last());
        }
        const QStringList base{f.settingsDir.path(), QString::number(f.server.port())};
        auto readQueued = [](QProcess& child) {
            QByteArray line;
            while (!line.endsWith('\n') && child.waitForReadyRead(30000))
                line += child.readLine();
            return line.trimmed().split(' ');
        };

        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(QStringLiteral(VIGILUX_UPLOAD_QUEUE_CHILD), base + files);
        QCOMPARE(readQueued(first), (QList<QByteArray>{"queued", "0", "50"}));
        QTRY_VERIFY_WITH_TIMEOUT(f.servedCount() >= 5, kArrivalWaitMs);
        first.kill(); // SIGKILL: nothing of the program runs any more
        QVERIFY(first.waitForFinished(10000));
        const int presentAtKill = f.servedCount();
        QVERIFY2(presentAtKill < 50, "the kill came too late to leave files waiting");

        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(QStringLiteral(VIGILUX_UPLOAD_QUEUE_CHILD), base);
        const QList<QByteArray> words = readQueued(second);
        QCOMPARE(words.value(0), QByteArray("queued"));
        const int restored = words.value(1).toInt();
        QVERIFY(second.waitForFinished(kArrivalWaitMs));
        QCOMPARE(second.exitCode(), 0);
        // Only the file in flight at the kill may go twice.
        QVERIFY2(restored + presentAtKill >= 50 && restored + presentAtKill <= 51,
                 qPrintable(QStringLiteral("%1 + %2").arg(restored).arg(presentAtKill)));
        for (int i = 0; i < 50; ++i)
            QCOMPARE(readAll(f.served(QStringLiteral("k%1.jpg").arg(i))), sent.at(i));
        f.newQueue();
        QCOMPARE(f.queue->restore(), 0);
    }

    // A refused login stops the queue at the first file instead of running
    // every file into the same refusal; it goes on once the settings change.
    void refusedLoginPausesTheQueue() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        f.context.settings.ftpPassword = QStringLiteral("wrong");
        QSignalSpy results(&f.ftp, &upload::FtpClient::finished);
        for (int i = 0; i < 3; ++i)
            f.queue->enqueueSaved(f.write(QStringLiteral("l%1.jpg").arg(i), picture(1000, i)));
        QTRY_VERIFY_WITH_TIMEOUT(f.queue->paused(), kArrivalWaitMs);
        QCOMPARE(results.size(), 1);
        QCOMPARE(f.queue->size(), 3);
        QCOMPARE(f.status.last(), QStringLiteral("Загрузка на ftp приостановлена: сервер не принял "
                                                 "логин или пароль (изображений в очереди: 3)"));
        QVERIFY(f.queue->lastError().startsWith(QStringLiteral("Ответ сервера: 530")));
        f.queue->uploadNext();
        QVERIFY(!f.ftp.isBusy());

        f.context.settings.ftpPassword = f.server.password();
        f.queue->resume();
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 0, kArrivalWaitMs);
        QCOMPARE(f.servedCount(), 3);
    }

    // Upload switched off with files waiting: the one on its way ends, the
    // rest stay queued until upload is on again.
    void switchedOffKeepsTheRestQueued() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        for (int i = 0; i < 4; ++i)
            f.queue->enqueueSaved(f.write(QStringLiteral("s%1.jpg").arg(i), picture(2000, i)));
        f.context.settings.ftpUpload = false;
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 3, kArrivalWaitMs);
        QTest::qWait(500);
        QCOMPARE(f.queue->waitingCount(), 3);
        QVERIFY(!f.ftp.isBusy());
        QCOMPARE(f.servedCount(), 1);

        // The next start with upload off keeps them aside; switching upload
        // on in the settings sends them.
        f.newQueue();
        QCOMPARE(f.queue->restore(), 0);
        f.queue->settingsSaved(false);
        QCOMPARE(f.queue->waitingCount(), 0);
        f.context.settings.ftpUpload = true;
        f.queue->settingsSaved(false);
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 0, kArrivalWaitMs);
        QCOMPARE(f.servedCount(), 4);
        f.newQueue();
        QCOMPARE(f.queue->restore(), 0);
    }

    // A file the server refuses waits alone while the others go on, and is
    // given up after a day of tries; a file that vanished is dropped with a
    // message.
    void refusedFileWaitsAloneVanishedFileIsDropped() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        // A folder of that name on the server: storing the file must fail.
        QVERIFY(QDir(f.server.folder()).mkpath(QStringLiteral("photos/blocked.jpg")));
        const QString blocked = f.write(QStringLiteral("blocked.jpg"), picture(500, 1));
        const QString vanishing = f.write(QStringLiteral("vanishing.jpg"), picture(500, 2));
        f.queue->enqueueSaved(blocked);
        f.queue->enqueueSaved(vanishing);
        f.queue->enqueueSaved(f.write(QStringLiteral("fine.jpg"), picture(700, 3)));
        QVERIFY(QFile::remove(vanishing));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(f.served(QStringLiteral("fine.jpg"))),
                                 kArrivalWaitMs);
        QVERIFY(f.status.contains(QStringLiteral("Файл для загрузки на ftp не найден: ") +
                                  QDir::toNativeSeparators(vanishing)));
        QTRY_VERIFY_WITH_TIMEOUT(f.ftp.lastFailure() == upload::FtpClient::Failure::File,
                                 kArrivalWaitMs);
        QCOMPARE(f.queue->waitingCount(), 1); // still trying
        f.clock.advance(24.0 * 60 * 60 * 1000);
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 0, kArrivalWaitMs);
        QVERIFY(f.statusSays(QStringLiteral("Изображение не загружено на ftp за сутки")));
        QVERIFY(QFile::exists(blocked)); // given up on, not deleted
        f.newQueue();
        QCOMPARE(f.queue->restore(), 0);
    }

    // The journal of a run that ended anyhow: a torn last line, arrived and
    // missing files. With upload off nothing is sent but nothing is
    // forgotten; with upload on the rest is sent, and a picture rotation
    // wanted gone is deleted once it has arrived.
    void journalOfTheLastRunIsRestored() {
        Fixture f;
        QVERIFY2(f.start(), qPrintable(f.server.error()));
        const QString a = f.write(QStringLiteral("a.jpg"), picture(100, 1));
        const QString b = f.write(QStringLiteral("b.jpg"), picture(200, 2));
        const QString d = f.write(QStringLiteral("d.jpg"), picture(300, 3));
        const QString c = f.pictures.filePath(QStringLiteral("c.jpg")); // never written
        {
            QFile journal(f.queue->journalPath());
            QVERIFY(journal.open(QIODevice::WriteOnly));
            journal.write(("queued\t" + a + "\nqueued\t" + b + "\narrived\t" + a + "\nqueued\t" +
                           c + "\nfailed\t1700000000000\t" + b + "\ndelete\t" + b + "\nqueued\t" +
                           d + "\nqueued\t" + a)
                              .toUtf8()); // the last line torn by the kill
        }
        f.context.settings.ftpUpload = false;
        QCOMPARE(f.queue->restore(), 0);
        QVERIFY(!f.ftp.isBusy());
        QCOMPARE(core::LineJournal(f.queue->journalPath()).readAll(),
                 (QStringList{QStringLiteral("queued\t") + b,
                              QStringLiteral("failed\t1700000000000\t") + b,
                              QStringLiteral("delete\t") + b, QStringLiteral("queued\t") + d}));

        f.context.settings.ftpUpload = true;
        f.newQueue();
        QCOMPARE(f.queue->restore(), 2);
        QVERIFY(f.status.contains(
            QStringLiteral("Восстановлена очередь загрузки на ftp (изображений: 2)")));
        QVERIFY(f.queue->deferDeletion(d));
        QTRY_COMPARE_WITH_TIMEOUT(f.queue->waitingCount(), 0, kArrivalWaitMs);
        QCOMPARE(readAll(f.served(QStringLiteral("b.jpg"))), picture(200, 2));
        QCOMPARE(readAll(f.served(QStringLiteral("d.jpg"))), picture(300, 3));
        QVERIFY(!QFile::exists(b));
        QVERIFY(!QFile::exists(d));
        QVERIFY(QFile::exists(a));
    }
};

QTEST_GUILESS_MAIN(TestUploadQueue)
#include "tst_upload_queue.moc"
