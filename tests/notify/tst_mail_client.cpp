#include "NetTestHelpers.h"
#include "notify/MailClient.h"

#include "support/SmtpServerProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using vigilux::notify::MailClient;
using vigilux::notify::NotifyResult;
using vigilux::test::SmtpServerProcess;

namespace {

QByteArray pictureBytes() {
    QByteArray bytes("\xFF\xD8\xFF\xE0", 4);
    for (int i = 0; i < 50000; ++i)
        bytes += char(i * 13 % 256);
    return bytes;
}

NotifyResult waitResult(QSignalSpy& spy) {
    if (spy.isEmpty() && !spy.wait(60000))
        return NotifyResult::failure(QStringLiteral("no result"));
    return spy.takeFirst().at(0).value<NotifyResult>();
}

} // namespace

class TestMail : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_picture;
    QString m_cert;
    QString m_key;

    MailClient::Message message() const {
        MailClient::Message m;
        m.from = QStringLiteral("camera@home.test");
        m.to = {QStringLiteral("me@home.test"), QStringLiteral("wife@home.test")};
        m.subject = QStringLiteral("Vigilux: движение, событие №4");
        m.text = QStringLiteral("Событие №4 началось в 03:30:00, изменение 17%.");
        m.attachments = {m_picture};
        return m;
    }

private slots:
    void initTestCase() {
        qRegisterMetaType<NotifyResult>();
        QVERIFY(m_dir.isValid());
        m_picture = m_dir.filePath(QStringLiteral("20261208-033000.jpg"));
        QFile file(m_picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(pictureBytes());
        file.close();
        QVERIFY(SmtpServerProcess::makeCertificate(m_dir.path(), m_cert, m_key));
    }

    // What the server received, whatever the security: recipients, subject,
    // text, and the picture byte for byte.
    void messageArrivesWhole_data() {
        QTest::addColumn<bool>("startTls");
        QTest::newRow("plain") << false;
        QTest::newRow("starttls with login") << true;
    }
    void messageArrivesWhole() {
        QFETCH(bool, startTls);
        SmtpServerProcess server;
        SmtpServerProcess::Options options;
        MailClient::Server account;
        account.host = QStringLiteral("127.0.0.1");
        account.security = MailClient::Security::None;
        if (startTls) {
            options = {m_cert, m_key, QStringLiteral("camera"), QStringLiteral("пароль 1")};
            account.security = MailClient::Security::StartTls;
            account.login = options.login;
            account.password = options.password;
            account.caFile = m_cert; // the server's own certificate, trusted by this option only
        }
        QVERIFY2(server.start(options), qPrintable(server.error()));
        account.port = server.port();

        MailClient client;
        QSignalSpy done(&client, &MailClient::finished);
        client.send(account, message());
        QVERIFY(client.isBusy());
        const NotifyResult result = waitResult(done);
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(!client.isBusy());

        const QList<QJsonObject> received = server.messages();
        QCOMPARE(received.size(), 1);
        const QJsonObject m = received.first();
        QCOMPARE(m.value(QStringLiteral("from")).toString(), QStringLiteral("camera@home.test"));
        QCOMPARE(m.value(QStringLiteral("to")).toArray().toVariantList(),
                 QVariantList({QStringLiteral("me@home.test"), QStringLiteral("wife@home.test")}));
        QCOMPARE(m.value(QStringLiteral("subject")).toString(), message().subject);
        QCOMPARE(m.value(QStringLiteral("text")).toString().trimmed(), message().text);
        const QJsonArray attachments = m.value(QStringLiteral("attachments")).toArray();
        QCOMPARE(attachments.size(), 1);
        const QJsonObject picture = attachments.at(0).toObject();
        QCOMPARE(picture.value(QStringLiteral("name")).toString(),
                 QStringLiteral("20261208-033000.jpg"));
        QCOMPARE(picture.value(QStringLiteral("type")).toString(), QStringLiteral("image/jpeg"));
        QCOMPARE(
            QByteArray::fromBase64(picture.value(QStringLiteral("data")).toString().toLatin1()),
            pictureBytes());
    }

    void failuresSayWhyWithoutThePassword_data() {
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expectedStart");
        // Certificate checking is on: a certificate nobody vouches for is
        // refused.
        QTest::newRow("unknown certificate")
            << QString() << QStringLiteral("right-pass")
            << QStringLiteral("E-mail: сертификат сервера не прошел проверку");
        QTest::newRow("wrong password")
            << m_cert << QStringLiteral("wrong-pass")
            << QStringLiteral("E-mail: сервер не принял логин или пароль");
    }
    void failuresSayWhyWithoutThePassword() {
        QFETCH(QString, caFile);
        QFETCH(QString, password);
        QFETCH(QString, expectedStart);
        SmtpServerProcess server;
        QVERIFY(
            server.start({m_cert, m_key, QStringLiteral("camera"), QStringLiteral("right-pass")}));
        MailClient client;
        QSignalSpy done(&client, &MailClient::finished);
        client.send({QStringLiteral("127.0.0.1"), server.port(), MailClient::Security::StartTls,
                     QStringLiteral("camera"), password, caFile},
                    message());
        const NotifyResult result = waitResult(done);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.startsWith(expectedStart), qPrintable(result.error));
        QVERIFY(!result.error.contains(password));
        QVERIFY(server.messages().isEmpty());
    }

    void unreachableServer() {
        MailClient client;
        QSignalSpy done(&client, &MailClient::finished);
        client.send({QStringLiteral("127.0.0.1"),
                     vigilux::test::closedPort(),
                     MailClient::Security::None,
                     {},
                     {},
                     {}},
                    message());
        const NotifyResult result = waitResult(done);
        QVERIFY(
            result.error.startsWith(QStringLiteral("E-mail: не удалось подключиться к серверу")));
        QVERIFY(!result.permanent);
    }

    void badInputIsRefusedBeforeConnecting_data() {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("attachment");
        QTest::addColumn<QString>("expected");
        QTest::newRow("header injection")
            << QStringLiteral("hi\r\nBcc: all@else.test") << QStringLiteral("me@home.test")
            << QString() << QStringLiteral("E-mail: перевод строки в теме, логине или пароле");
        QTest::newRow("no recipients") << QStringLiteral("s") << QStringLiteral(" ;, ") << QString()
                                       << QStringLiteral("E-mail: не указаны получатели");
        QTest::newRow("bad recipient")
            << QStringLiteral("s") << QStringLiteral("me@home.test, <x>") << QString()
            << QStringLiteral("E-mail: неверный адрес получателя: <x>");
        QTest::newRow("picture gone")
            << QStringLiteral("s") << QStringLiteral("me@home.test")
            << QStringLiteral("/nonexistent/p.jpg") << QStringLiteral("E-mail: нет файла p.jpg");
    }
    void badInputIsRefusedBeforeConnecting() {
        QFETCH(QString, subject);
        QFETCH(QString, to);
        QFETCH(QString, attachment);
        QFETCH(QString, expected);
        MailClient::Message m = message();
        m.subject = subject;
        m.to = MailClient::splitAddresses(to);
        m.attachments = attachment.isEmpty() ? QStringList{} : QStringList{attachment};
        MailClient client;
        QSignalSpy done(&client, &MailClient::finished);
        client.send({QStringLiteral("127.0.0.1"),
                     vigilux::test::closedPort(),
                     MailClient::Security::None,
                     {},
                     {},
                     {}},
                    m);
        QCOMPARE(done.size(), 0);
        QCOMPARE(waitResult(done).error, expected);
    }

    // Destroying the client mid-transfer neither hangs nor reports.
    void destroyedWhileSending() {
        SmtpServerProcess server;
        QVERIFY(server.start());
        auto client = std::make_unique<MailClient>();
        QSignalSpy done(client.get(), &MailClient::finished);
        client->send(
            {QStringLiteral("127.0.0.1"), server.port(), MailClient::Security::None, {}, {}, {}},
            message());
        client.reset();
        QCoreApplication::processEvents();
        QCOMPARE(done.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail_client.moc"
