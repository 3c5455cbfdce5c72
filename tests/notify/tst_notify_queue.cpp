#include "FakeClock.h"
#include "NetTestHelpers.h"
#include "core/LineJournal.h"
#include "core/NotifySettings.h"
#include "notify/NotifyQueue.h"

#include "support/ScriptedHttpServer.h"
#include "support/SmtpServerProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using vigilux::core::NotifySettings;
using vigilux::notify::Notification;
using vigilux::notify::NotifyChannel;
using vigilux::notify::NotifyQueue;
using vigilux::test::FakeClock;
using vigilux::test::ScriptedHttpServer;
using vigilux::test::SmtpServerProcess;

namespace {

const QByteArray ApiOk = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                         "11\r\nConnection: close\r\n\r\n{\"ok\":true}";

QByteArray tooManyRequests(int seconds) {
    const QByteArray json =
        R"({"ok":false,"error_code":429,"description":"Too Many Requests","parameters":{"retry_after":)" +
        QByteArray::number(seconds) + "}}";
    return "HTTP/1.1 429 Too Many Requests\r\nContent-Length: " + QByteArray::number(json.size()) +
           "\r\nConnection: close\r\n\r\n" + json;
}

Notification telegramText(const QString& text) {
    Notification m;
    m.channel = NotifyChannel::Telegram;
    m.text = text;
    return m;
}

// The text a request to the scripted Bot API carried (JSON or form).
bool carries(const QByteArray& request, const QString& text) {
    return request.contains(text.toUtf8());
}

} // namespace

class TestNotifyQueue : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_journals = 0;

    struct Rig {
        NotifySettings settings;
        FakeClock clock;
        ScriptedHttpServer api;
        QString journal;
        std::unique_ptr<NotifyQueue> queue;
        std::unique_ptr<QSignalSpy> status;
        std::unique_ptr<QSignalSpy> delivered;

        explicit Rig(const QString& journalPath)
            : journal(journalPath) {
            api.listen();
            settings.telegramOn = true;
            settings.telegramApi = QStringLiteral("http://127.0.0.1:%1").arg(api.port());
            settings.telegramToken = QStringLiteral("777:secretToken");
            settings.telegramChat = QStringLiteral("42");
        }
        void open() {
            queue = std::make_unique<NotifyQueue>(journal, settings, clock);
            queue->telegram().setBounds({5000, 10000});
            status = std::make_unique<QSignalSpy>(queue.get(), &NotifyQueue::statusText);
            delivered = std::make_unique<QSignalSpy>(queue.get(), &NotifyQueue::delivered);
        }
        bool waitStatus(int count) {
            return QTest::qWaitFor([&] { return status->size() >= count; }, 30000);
        }
        bool waitDelivered(int count) {
            return QTest::qWaitFor([&] { return delivered->size() >= count; }, 60000);
        }
    };

    QString freshJournal() {
        return m_dir.filePath(QStringLiteral("queue%1.journal").arg(++m_journals));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Each channel keeps its order, and a channel that is down holds up only
    // itself.
    void channelsDeliverInOrderIndependently() {
        Rig rig(freshJournal());
        SmtpServerProcess smtp;
        QVERIFY2(smtp.start(), qPrintable(smtp.error()));
        rig.settings.mailOn = true;
        rig.settings.smtpServer = QStringLiteral("127.0.0.1");
        rig.settings.smtpPort = smtp.port();
        rig.settings.smtpSecurity = NotifySettings::SecurityNone;
        rig.settings.mailFrom = QStringLiteral("cam@home.test");
        rig.settings.mailTo = QStringLiteral("me@home.test");
        const QString picture = m_dir.filePath(QStringLiteral("p.jpg"));
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\xFF\xD8 picture", 10));
        file.close();

        rig.api.replies.enqueue({ApiOk});
        rig.api.replies.enqueue({ApiOk});
        rig.api.replies.enqueue({ApiOk});
        rig.open();
        rig.queue->start();
        Notification start = telegramText(QStringLiteral("Событие №1 началось"));
        start.kind = Notification::Kind::Picture;
        start.file = picture;
        rig.queue->enqueue(start);
        rig.queue->enqueue(telegramText(QStringLiteral("Событие №1 закончилось")));
        rig.queue->enqueue(telegramText(QStringLiteral("Событие №2 началось")));
        for (int i = 1; i <= 2; ++i) {
            Notification mail;
            mail.channel = NotifyChannel::Mail;
            mail.subject = QStringLiteral("Событие №%1").arg(i);
            mail.text = QStringLiteral("текст %1").arg(i);
            mail.file = i == 1 ? picture : QString();
            rig.queue->enqueue(mail);
        }
        QCOMPARE(rig.queue->pendingCount(), 5);
        QVERIFY(rig.waitDelivered(5));
        QCOMPARE(rig.status->size(), 0);

        QCOMPARE(rig.api.connections(), 3);
        QVERIFY(rig.api.requests.at(0).contains("/sendPhoto"));
        QVERIFY(carries(rig.api.requests.at(0), QStringLiteral("Событие №1 началось")));
        QVERIFY(carries(rig.api.requests.at(1), QStringLiteral("Событие №1 закончилось")));
        QVERIFY(carries(rig.api.requests.at(2), QStringLiteral("Событие №2 началось")));
        const QList<QJsonObject> mails = smtp.messages();
        QCOMPARE(mails.size(), 2);
        QCOMPARE(mails.at(0).value(QStringLiteral("subject")).toString(),
                 QStringLiteral("Событие №1"));
        QCOMPARE(mails.at(0).value(QStringLiteral("attachments")).toArray().size(), 1);
        QCOMPARE(mails.at(1).value(QStringLiteral("subject")).toString(),
                 QStringLiteral("Событие №2"));

        // Nothing is left for the next start.
        rig.queue.reset();
        NotifyQueue again(rig.journal, rig.settings, rig.clock);
        QCOMPARE(again.pendingCount(), 0);
    }

    // One status line per failed attempt; the message waits 10 s, then 30 s,
    // and goes out once the server is back.
    void failuresWaitAndRetry() {
        Rig rig(freshJournal());
        const QString liveApi = rig.settings.telegramApi;
        rig.settings.telegramApi =
            QStringLiteral("http://127.0.0.1:%1").arg(vigilux::test::closedPort());
        rig.open();
        rig.queue->start();
        rig.queue->enqueue(telegramText(QStringLiteral("a")));
        QVERIFY(rig.waitStatus(1));
        QCOMPARE(rig.status->at(0).at(0).toString(),
                 QStringLiteral("Telegram: сервер отказал в соединении. Повтор через 10 с"));
        QCOMPARE(rig.queue->retryDelayMs(NotifyChannel::Telegram), qint64(10000));
        QCOMPARE(rig.queue->lastError(NotifyChannel::Telegram),
                 QStringLiteral("06.12.2026 21:30:05 Telegram: сервер отказал в соединении"));
        QCOMPARE(rig.queue->lastError(NotifyChannel::Mail), QString());

        rig.queue->retryNow();
        QVERIFY(rig.waitStatus(2));
        QVERIFY(rig.status->at(1).at(0).toString().endsWith(QStringLiteral("Повтор через 30 с")));
        QCOMPARE(rig.queue->waiting(NotifyChannel::Telegram).size(), 1);

        rig.api.replies.enqueue({ApiOk});
        rig.settings.telegramApi = liveApi; // read at each attempt
        rig.queue->retryNow();
        QVERIFY(rig.waitDelivered(1));
        QCOMPARE(rig.status->size(), 2);
        QCOMPARE(rig.queue->retryDelayMs(NotifyChannel::Telegram), qint64(0));
        QCOMPARE(rig.queue->pendingCount(), 0);
    }

    // The Bot API's flood control: the next attempt waits at least as long
    // as the server asked.
    void retryAfterIsHonoured() {
        Rig rig(freshJournal());
        rig.api.replies.enqueue({tooManyRequests(42)});
        rig.api.replies.enqueue({tooManyRequests(3)});
        rig.api.replies.enqueue({ApiOk});
        rig.open();
        rig.queue->start();
        rig.queue->enqueue(telegramText(QStringLiteral("a")));
        QVERIFY(rig.waitStatus(1));
        QCOMPARE(rig.queue->retryDelayMs(NotifyChannel::Telegram), qint64(42000));
        QVERIFY(rig.status->at(0).at(0).toString().endsWith(QStringLiteral("Повтор через 42 с")));
        rig.queue->retryNow();
        QVERIFY(rig.waitStatus(2));
        QCOMPARE(rig.queue->retryDelayMs(NotifyChannel::Telegram),
                 qint64(30000)); // the schedule is longer
        rig.queue->retryNow();
        QVERIFY(rig.waitDelivered(1));
    }

    void givenUpAfterADayOrWhenHopeless() {
        Rig rig(freshJournal());
        rig.settings.telegramApi =
            QStringLiteral("http://127.0.0.1:%1").arg(vigilux::test::closedPort());
        rig.open();
        rig.queue->start();
        rig.queue->enqueue(telegramText(QStringLiteral("old")));
        QVERIFY(rig.waitStatus(1));
        rig.clock.advance(24.0 * 60 * 60 * 1000);
        rig.queue->retryNow();
        QVERIFY(rig.waitStatus(2));
        QCOMPARE(rig.status->at(1).at(0).toString(),
                 QStringLiteral("Telegram: сервер отказал в соединении. Сообщение не отправлено за "
                                "сутки попыток и удалено"));
        QCOMPARE(rig.queue->pendingCount(), 0);

        // A picture that is gone cannot be sent later either; the next
        // message does not wait behind it.
        rig.settings.telegramApi = QStringLiteral("http://127.0.0.1:%1").arg(rig.api.port());
        rig.api.replies.enqueue({ApiOk});
        Notification gone = telegramText(QStringLiteral("x"));
        gone.kind = Notification::Kind::Picture;
        gone.file = m_dir.filePath(QStringLiteral("deleted.jpg"));
        rig.queue->enqueue(gone);
        rig.queue->enqueue(telegramText(QStringLiteral("next")));
        QVERIFY(rig.waitDelivered(1));
        QCOMPARE(rig.status->at(2).at(0).toString(),
                 QStringLiteral("Telegram: не удалось открыть файл deleted.jpg. Сообщение не будет "
                                "отправлено"));
        QVERIFY(carries(rig.api.requests.at(0), QStringLiteral("next")));
    }

    void switchedOffChannelsTakeNothing() {
        Rig rig(freshJournal());
        rig.settings.telegramApi =
            QStringLiteral("http://127.0.0.1:%1").arg(vigilux::test::closedPort());
        rig.open();
        rig.queue->start();
        Notification mail;
        mail.channel = NotifyChannel::Mail;
        QCOMPARE(rig.queue->enqueue(mail), qint64(0));
        QVERIFY(rig.queue->enqueue(telegramText(QStringLiteral("a"))) > 0);
        QVERIFY(rig.waitStatus(1));
        rig.settings.telegramOn = false;
        rig.queue->retryNow();
        QCOMPARE(rig.queue->pendingCount(), 0);
        QCOMPARE(rig.status->size(), 1);
    }

    // Killed outright with messages waiting, the program sends them all after
    // the next start, in order, each once.
    void waitingMessagesSurviveAKill() {
        const QString journal = freshJournal();
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/notify_queue_child"),
                    {journal, QString::number(vigilux::test::closedPort()), QStringLiteral("5")});
        QVERIFY(child.waitForStarted(10000));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return child.readAllStandardOutput().contains("queued") ||
                       child.state() == QProcess::NotRunning;
            },
            30000));
        child.kill(); // SIGKILL: no chance to tidy up
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        Rig rig(journal);
        for (int i = 0; i < 5; ++i)
            rig.api.replies.enqueue({ApiOk});
        rig.open();
        QCOMPARE(rig.queue->pendingCount(), 5);
        rig.queue->start();
        QVERIFY(rig.waitDelivered(5));
        QCOMPARE(rig.api.connections(), 5);
        for (int i = 0; i < 5; ++i)
            QVERIFY(carries(rig.api.requests.at(i), QStringLiteral("сообщение %1").arg(i + 1)));
    }

    // A journal whose last line was cut by the kill mid-write still gives
    // every complete message.
    void tornJournalLineIsSkipped() {
        const QString journal = freshJournal();
        {
            Rig rig(journal);
            rig.settings.telegramApi =
                QStringLiteral("http://127.0.0.1:%1").arg(vigilux::test::closedPort());
            rig.open();
            rig.queue->enqueue(telegramText(QStringLiteral("one")));
            rig.queue->enqueue(telegramText(QStringLiteral("two")));
        }
        QFile file(journal);
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"add\":9,\"channel\":0,\"kind\":0,\"te");
        file.close();
        Rig rig(journal);
        rig.open();
        QCOMPARE(rig.queue->pendingCount(), 2);
        QCOMPARE(rig.queue->waiting(NotifyChannel::Telegram).at(1).text, QStringLiteral("two"));
    }
};

QTEST_GUILESS_MAIN(TestNotifyQueue)
#include "tst_notify_queue.moc"
