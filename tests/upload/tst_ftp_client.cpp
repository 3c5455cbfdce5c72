#include "NetTestHelpers.h"
#include "upload/FtpClient.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

using vigilux::upload::FtpClient;

using vigilux::test::closedPort;

namespace {
// An upload's result as the tests compare it: "ok", or why it failed.
QString resultText(const QVariant& result) {
    const auto status = result.value<vigilux::core::Status>();
    return status ? QStringLiteral("ok") : status.error();
}

const QString kUser = QStringLiteral("bob");
const QString kPassword = QStringLiteral("secret");
constexpr int kResultWaitMs = 20000;

QByteArray pattern(qint64 size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A bounded start: bounds short enough that a broken client fails the test
// quickly, long enough for a loaded sanitizer build.
void prepare(FtpClient& ftp, quint16 port) {
    ftp.setControlPort(port);
    ftp.setStartDelayMs(0);
    ftp.setBounds({5000, 10000, 10000, 10000});
}

// A control peer that follows a script: each reply is a list of packets,
// sent a little apart so that the client sees them split.
class ScriptedServer : public QObject {
public:
    QList<QByteArray> greeting{"220 scripted\r\n"};
    QHash<QByteArray, QList<QByteArray>> replies{
        {"USER", {"331 password please\r\n"}}, {"PASS", {"230 logged in\r\n"}},
        {"TYPE", {"200 binary\r\n"}},          {"PORT", {"200 port ok\r\n"}},
        {"STOR", {"150 go ahead\r\n"}},
    };
    QByteArray closeOn;         // verb on which the control connection is dropped
    bool openData = true;       // connect to the address of PORT
    bool answer226 = true;      // once the data connection has ended
    QByteArray secondTypeReply; // a kept connection's TYPE gets this, then the server hangs up
    // Called with the port of each PORT command instead of connecting to it.
    std::function<void(quint16)> onPort;
    QList<QByteArray> commands;
    QByteArray received;
    bool dataEnded = false;
    int connections = 0;

    ScriptedServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_control = m_server.nextPendingConnection();
            ++connections;
            m_types = 0;
            m_inbox.clear(); // what the last connection left unread is gone with it
            connect(m_control, &QTcpSocket::readyRead, this, &ScriptedServer::onCommandBytes);
            send(greeting);
        });
        connect(&m_data, &QTcpSocket::readyRead, this, [this] { received += m_data.readAll(); });
        connect(&m_data, &QTcpSocket::disconnected, this, [this] {
            received += m_data.readAll();
            dataEnded = true;
            if (answer226)
                send({"226 done\r\n"});
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    void connectData(const QHostAddress& address, quint16 port) {
        m_data.connectToHost(address, port);
    }
    void hangUp() {
        if (!m_control.isNull())
            m_control->close();
    }
    QList<QByteArray> verbs() const {
        QList<QByteArray> out;
        for (const QByteArray& c : commands)
            out << c.left(c.indexOf(' ') < 0 ? c.size() : c.indexOf(' '));
        return out;
    }

private:
    void onCommandBytes() {
        m_inbox += m_control->readAll();
        for (qsizetype end = m_inbox.indexOf("\r\n"); end >= 0; end = m_inbox.indexOf("\r\n")) {
            const QByteArray line = m_inbox.left(end);
            m_inbox.remove(0, end + 2);
            commands << line;
            const QByteArray verb = line.split(' ').first();
            if (verb == closeOn) {
                m_control->close();
                return;
            }
            if (verb == "TYPE" && ++m_types == 2 && !secondTypeReply.isEmpty()) {
                m_control->write(secondTypeReply);
                m_control->disconnectFromHost();
                return;
            }
            if (verb == "PORT" && (openData || onPort)) {
                const QList<QByteArray> n = line.mid(5).split(',');
                const auto port =
                    static_cast<quint16>(n.value(4).toInt() * 256 + n.value(5).toInt());
                if (onPort)
                    onPort(port);
                else if (n.size() == 6)
                    m_data.connectToHost(QHostAddress(QString::fromLatin1(n.mid(0, 4).join('.'))),
                                         port);
            }
            if (verb == "STOR")
                m_storedFrom = received.size();
            if (verb == "SIZE" && !replies.contains(verb)) {
                send({"213 " + QByteArray::number(received.size() - m_storedFrom) + "\r\n"});
                continue;
            }
            send(replies.value(verb));
        }
    }
    void send(const QList<QByteArray>& packets) {
        m_queue.insert(m_queue.end(), packets.begin(), packets.end());
        if (!m_sending)
            sendOne();
    }
    void sendOne() {
        if (m_queue.empty() || m_control.isNull()) {
            m_sending = false;
            return;
        }
        m_sending = true;
        m_control->write(m_queue.front());
        m_control->flush();
        m_queue.pop_front();
        QTimer::singleShot(40, this, &ScriptedServer::sendOne);
    }

    QTcpServer m_server;
    QPointer<QTcpSocket> m_control;
    QTcpSocket m_data;
    QByteArray m_inbox;
    std::deque<QByteArray> m_queue;
    bool m_sending = false;
    int m_types = 0;
    qsizetype m_storedFrom = 0; // the current file's first byte in `received`
};

} // namespace

class TestFtpClient : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void portCommandAndRange();
    void uploadReturnsAtOnceAndStartsLater();
    void uploadsArriveIntact_data();
    void uploadsArriveIntact();
    void wrongPasswordGivesServerReply();
    void refusedConnectionReportsOnce();
    void finishedHandlerMayStartNextUpload();
    void takenListenPortIsReplaced();
    void scriptedDialogues_data();
    void scriptedDialogues();
    void sizeAfter226Decides_data();
    void sizeAfter226Decides();
    void failuresEndTheJobOnce_data();
    void failuresEndTheJobOnce();
    void lineBreaksInArgumentsAreRefused_data();
    void lineBreaksInArgumentsAreRefused();
    void missingLocalFileFails();
    void statusBlinksWhileRunningThenShowsResult();
    void nextFilesGoOnTheKeptConnection();
    void keptConnectionThatWentAwayIsReplaced_data();
    void keptConnectionThatWentAwayIsReplaced();
    void dataConnectionOnlyFromTheServer();
    void slowLinkThatKeepsMovingIsNotCutOff();
    void linkAtAStandstillIsCutOffAfterTheReplyBound();

private:
    QString localFile(const QString& name, const QByteArray& bytes);

    QTemporaryDir m_local;
    QTemporaryDir m_served;
    QProcess m_server;
    quint16 m_serverPort = 0;
};

void TestFtpClient::initTestCase() {
    QVERIFY(m_local.isValid() && m_served.isValid());
    QVERIFY(QDir(m_served.path()).mkdir(QStringLiteral("cam")));
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(VIGILUX_FTP_SERVER_SCRIPT), QStringLiteral("0"), m_served.path(),
                    kUser, kPassword});
    QVERIFY2(m_server.waitForStarted(10000), "python3 with pyftpdlib is needed");
    QByteArray line;
    while (!line.endsWith('\n') && m_server.waitForReadyRead(15000))
        line += m_server.readLine();
    QVERIFY2(line.startsWith("port "), line.constData());
    m_serverPort = static_cast<quint16>(line.mid(5).trimmed().toUInt());
    QVERIFY(m_serverPort != 0);
}

void TestFtpClient::cleanupTestCase() {
    m_server.closeWriteChannel();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

QString TestFtpClient::localFile(const QString& name, const QByteArray& bytes) {
    const QString path = m_local.filePath(name);
    writeFile(path, bytes);
    return path;
}

void TestFtpClient::portCommandAndRange() {
    QCOMPARE(FtpClient::drawPort(0.0, 0.0), quint16(1281));
    QCOMPARE(FtpClient::drawPort(0.999999, 0.999999), quint16(4350));
    QCOMPARE(FtpClient::drawPort(1.0, 1.0),
             quint16(4350)); // a source that reaches 1 stays in range
    QCOMPARE(FtpClient::drawPort(4.0 / 12, 100.0 / 254), quint16(9 * 256 + 101));
    QCOMPARE(FtpClient::portCommand(QHostAddress(QStringLiteral("10.0.0.7")), 1281),
             QStringLiteral("PORT 10,0,0,7,5,1"));
    QCOMPARE(FtpClient::portCommand(QHostAddress(QStringLiteral("192.168.0.5")), 2381),
             QStringLiteral("PORT 192,168,0,5,9,77"));
}

void TestFtpClient::uploadReturnsAtOnceAndStartsLater() {
    {
        // Nothing happens until the event loop runs, so no packet leaves.
        FtpClient ftp;
        ftp.upload(QStringLiteral("10.0.0.9"), kUser, kPassword, QStringLiteral("/nonexistent"),
                   QStringLiteral("cam/a.jpg"));
        QCOMPARE(ftp.address(), QStringLiteral("bob.10.0.0.9/cam/a.jpg"));
        QVERIFY(ftp.isBusy());
        QCOMPARE(ftp.state(), FtpClient::State::Queued);
    }

    ScriptedServer server;
    FtpClient ftp;
    ftp.setControlPort(server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("later.bin"), pattern(10, 1)), QStringLiteral("later.bin"));
    QVERIFY(ftp.isBusy());
    QCOMPARE(ftp.state(), FtpClient::State::Queued);
    QTest::qWait(300); // well inside the start delay
    QCOMPARE(server.connections, 0);
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), QStringLiteral("ok"));
    QCOMPARE(server.received, pattern(10, 1));
}

void TestFtpClient::uploadsArriveIntact_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("remote");
    QTest::newRow("empty") << qint64(0) << QStringLiteral("empty.bin");
    QTest::newRow("one byte") << qint64(1) << QStringLiteral("one.bin");
    QTest::newRow("one whole chunk") << qint64(2920) << QStringLiteral("chunk.bin");
    QTest::newRow("chunk and a part") << qint64(5000) << QStringLiteral("cam/a.jpg");
    QTest::newRow("two whole chunks") << qint64(5840) << QStringLiteral("two.bin");
    QTest::newRow("megabytes") << qint64(4 * 1024 * 1024 + 7) << QStringLiteral("big.bin");
}

void TestFtpClient::uploadsArriveIntact() {
    QFETCH(qint64, size);
    QFETCH(QString, remote);
    const QByteArray bytes = pattern(size, static_cast<quint32>(size));
    FtpClient ftp;
    prepare(ftp, m_serverPort);
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("up-%1").arg(size), bytes), remote);
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), QStringLiteral("ok"));
    QCOMPARE(readAll(m_served.filePath(remote)), bytes);
    QVERIFY(!ftp.isBusy());
    QCOMPARE(ftp.state(), FtpClient::State::Done);
    QCOMPARE(ftp.steps()[3].command,
             FtpClient::portCommand(QHostAddress::LocalHost, ftp.listenPort()));
    QCOMPARE(ftp.chunkSize(), 2920);
    QTest::qWait(50);
    QCOMPARE(res.count(), 1);
}

void TestFtpClient::wrongPasswordGivesServerReply() {
    FtpClient ftp;
    prepare(ftp, m_serverPort);
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, QStringLiteral("wrong"),
               localFile(QStringLiteral("pw.bin"), "x"), QStringLiteral("pw.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    const QString text = resultText(res.first().first());
    QVERIFY2(text.startsWith(QStringLiteral("Ответ сервера: 530 ")), qPrintable(text));
    QVERIFY(!text.endsWith(QLatin1Char('\n')) && !text.endsWith(QLatin1Char('\r')));
    QCOMPARE(ftp.lastFailure(), FtpClient::Failure::Login);
    QVERIFY(!ftp.isBusy());
    QCOMPARE(ftp.state(), FtpClient::State::Failed);
    QVERIFY(!QFile::exists(m_served.filePath(QStringLiteral("pw.bin"))));
}

void TestFtpClient::refusedConnectionReportsOnce() {
    FtpClient ftp;
    prepare(ftp, closedPort());
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("refused.bin"), "x"), QStringLiteral("refused.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    QVERIFY(!ftp.isBusy());
    QVERIFY(!res.wait(300));
    QCOMPARE(res.count(), 1);
    QCOMPARE(resultText(res.first().first()),
             QStringLiteral("Ошибка сокета #10061 (сервер отклонил подключение)"));
    QCOMPARE(ftp.lastFailure(), FtpClient::Failure::Server);
}

// A queue that starts the next file from inside finished must find the
// component idle and must not have its new job clobbered afterwards.
void TestFtpClient::finishedHandlerMayStartNextUpload() {
    FtpClient ftp;
    prepare(ftp, m_serverPort);
    QStringList results;
    const QString second = localFile(QStringLiteral("second.bin"), pattern(3000, 2));
    connect(&ftp, &FtpClient::finished, this, [&](const vigilux::core::Status& result) {
        results << resultText(QVariant::fromValue(result));
        if (results.size() == 1) {
            QVERIFY(!ftp.isBusy());
            ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword, second,
                       QStringLiteral("second.bin"));
        }
    });
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("first.bin"), pattern(100, 1)),
               QStringLiteral("first.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, kResultWaitMs);
    QCOMPARE(results, QStringList({QStringLiteral("ok"), QStringLiteral("ok")}));
    QCOMPARE(readAll(m_served.filePath(QStringLiteral("second.bin"))), pattern(3000, 2));
    QCOMPARE(ftp.state(), FtpClient::State::Done);
}

void TestFtpClient::takenListenPortIsReplaced() {
    QTcpServer squatter;
    quint16 taken = 0;
    for (quint16 p = 1281; p <= 4350 && taken == 0; ++p) {
        const int low = p & 0xFF;
        if (low >= 1 && low <= 254 && squatter.listen(QHostAddress::AnyIPv4, p))
            taken = p;
    }
    QVERIFY(taken != 0);
    // The first draw hits the taken port, later draws give another.
    auto draws = std::make_shared<std::deque<double>>(
        std::deque<double>{((taken >> 8) - 5 + 0.5) / 12, ((taken & 0xFF) - 1 + 0.5) / 254});
    QCOMPARE(FtpClient::drawPort((*draws)[0], (*draws)[1]), taken);

    FtpClient ftp;
    prepare(ftp, m_serverPort);
    ftp.setRandomSource([draws]() {
        if (draws->empty())
            return QRandomGenerator::global()->generateDouble();
        const double d = draws->front();
        draws->pop_front();
        return d;
    });
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("port.bin"), pattern(7, 7)), QStringLiteral("port.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), QStringLiteral("ok"));
    QVERIFY(draws->empty());
    QVERIFY(ftp.listenPort() != taken);
    QCOMPARE(readAll(m_served.filePath(QStringLiteral("port.bin"))), pattern(7, 7));
}

using Packets = QList<QByteArray>;
using Script = QHash<QByteArray, Packets>;

void TestFtpClient::scriptedDialogues_data() {
    QTest::addColumn<Packets>("greeting");
    QTest::addColumn<Script>("overrides");
    QTest::addColumn<QByteArrayList>("verbs");
    const QByteArrayList all{"USER", "PASS", "TYPE", "PORT", "STOR", "SIZE"};
    QTest::newRow("greeting split inside the code")
        << Packets{"22", "0 hel", "lo\r\n"} << Script{} << all;
    QTest::newRow("multi-line greeting")
        << Packets{"220-Welcome\r\n220-rules apply\r\n220 ready\r\n"} << Script{} << all;
    QTest::newRow("multi-line reply over three packets")
        << Packets{"220 hi\r\n"}
        << Script{{"PASS", {"230-Welcome\r\n230-", "second line\r\n", "230 logged in\r\n"}}} << all;
    QTest::newRow("line starting with the code inside a multi-line reply")
        << Packets{"220 hi\r\n"} << Script{{"PASS", {"230-Note\r\n230-230 is fine\r\n230 in\r\n"}}}
        << all;
    QTest::newRow("two replies in one packet")
        << Packets{"220 hi\r\n"} << Script{{"PASS", {"230 in\r\n200 binary\r\n"}}, {"TYPE", {}}}
        << all;
    QTest::newRow("230 straight after USER skips PASS")
        << Packets{"220 hi\r\n"} << Script{{"USER", {"230 no password needed\r\n"}}}
        << QByteArrayList{"USER", "TYPE", "PORT", "STOR", "SIZE"};
    QTest::newRow("125 announces the transfer")
        << Packets{"220 hi\r\n"} << Script{{"STOR", {"125 already open\r\n"}}} << all;
    QTest::newRow("bare line feeds")
        << Packets{"220 hi\n"} << Script{{"USER", {"331 pw\n"}}, {"PASS", {"230 in\n"}}} << all;
}

void TestFtpClient::scriptedDialogues() {
    QFETCH(Packets, greeting);
    QFETCH(Script, overrides);
    QFETCH(QByteArrayList, verbs);
    ScriptedServer server;
    server.greeting = greeting;
    server.replies.insert(overrides);
    FtpClient ftp;
    prepare(ftp, server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    const QByteArray bytes = pattern(5000, 5);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("scripted.bin"), bytes), QStringLiteral("dir/x.jpg"));
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), QStringLiteral("ok"));
    QCOMPARE(server.verbs(), verbs);
    QCOMPARE(server.commands.first(), QByteArray("USER bob"));
    QCOMPARE(server.commands.last(), QByteArray("SIZE dir/x.jpg"));
    QCOMPARE(server.received, bytes);
}

// A "226" is believed only as far as SIZE confirms it; a server that does
// not know SIZE is believed as before.
void TestFtpClient::sizeAfter226Decides_data() {
    QTest::addColumn<QByteArray>("sizeReply");
    QTest::addColumn<QString>("expected");
    QTest::newRow("kept 1000 of 4000 bytes")
        << QByteArray("213 1000\r\n") << "Сервер сохранил не весь файл (байт: 1000 из 4000)";
    QTest::newRow("file gone") << QByteArray("550 No such file\r\n")
                               << "Ответ сервера на SIZE: 550 No such file";
    QTest::newRow("SIZE unknown") << QByteArray("502 Not implemented\r\n") << "ok";
}

void TestFtpClient::sizeAfter226Decides() {
    QFETCH(QByteArray, sizeReply);
    QFETCH(QString, expected);
    ScriptedServer server;
    server.replies.insert("SIZE", {sizeReply});
    FtpClient ftp;
    prepare(ftp, server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("size.bin"), pattern(4000, 9)), QStringLiteral("s.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), expected);
    // A short file is the file's failure: it waits alone and goes again.
    QCOMPARE(ftp.lastFailure() == FtpClient::Failure::File, expected != QLatin1String("ok"));
}

void TestFtpClient::failuresEndTheJobOnce_data() {
    QTest::addColumn<Packets>("greeting");
    QTest::addColumn<Script>("overrides");
    QTest::addColumn<bool>("openData");
    QTest::addColumn<bool>("answer226");
    QTest::addColumn<QByteArray>("closeOn");
    QTest::addColumn<QString>("expected"); // exact, or a prefix ending in "#"
    const Packets hi{"220 hi\r\n"};
    QTest::newRow("user rejected over several lines")
        << hi << Script{{"USER", {"530-No such user\r\n", "530 Bye\r\n"}}} << true << true
        << QByteArray() << QStringLiteral("Ответ сервера: 530-No such user 530 Bye");
    QTest::newRow("reply out of order")
        << hi << Script{{"TYPE", {"331 what\r\n"}}} << true << true << QByteArray()
        << QStringLiteral("Ответ сервера: 331 what");
    QTest::newRow("silent server") << Packets{} << Script{} << true << true << QByteArray()
                                   << QStringLiteral("Сервер не ответил за 0.5 с");
    QTest::newRow("greeting never completed")
        << Packets{"220 hal"} << Script{} << true << true << QByteArray()
        << QStringLiteral("Сервер не ответил за 0.5 с");
    QTest::newRow("data connection never comes")
        << hi << Script{} << false << true << QByteArray()
        << QStringLiteral("Сервер не открыл соединение для данных за 0.5 с");
    QTest::newRow("no 226 after the data") << hi << Script{} << true << false << QByteArray()
                                           << QStringLiteral("Сервер не ответил за 0.5 с");
    QTest::newRow("226 before any data")
        << hi << Script{{"STOR", {"150 go\r\n226 done\r\n"}}} << false << true << QByteArray()
        << QStringLiteral("Ответ сервера: 226 done");
    QTest::newRow("server hangs up")
        << hi << Script{} << true << true << QByteArray("PASS")
        << QStringLiteral("Ошибка сокета #10054 (сервер разорвал соединение)");
}

void TestFtpClient::failuresEndTheJobOnce() {
    QFETCH(Packets, greeting);
    QFETCH(Script, overrides);
    QFETCH(bool, openData);
    QFETCH(bool, answer226);
    QFETCH(QByteArray, closeOn);
    QFETCH(QString, expected);
    ScriptedServer server;
    server.greeting = greeting;
    server.replies.insert(overrides);
    server.openData = openData;
    server.answer226 = answer226;
    server.closeOn = closeOn;
    FtpClient ftp;
    prepare(ftp, server.port());
    ftp.setBounds({500, 500, 500, 500});
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("fail.bin"), pattern(4000, 4)), QStringLiteral("f.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    const QString text = resultText(res.first().first());
    if (expected.endsWith(QLatin1Char('#')))
        QVERIFY2(text.startsWith(expected), qPrintable(text));
    else
        QCOMPARE(text, expected);
    QVERIFY(!ftp.isBusy());
    QCOMPARE(ftp.state(), FtpClient::State::Failed);
    QVERIFY(!res.wait(700)); // past every bound: nothing more arrives
    QCOMPARE(res.count(), 1);
}

void TestFtpClient::lineBreaksInArgumentsAreRefused_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("expected");
    QTest::newRow("user name") << QStringLiteral("bob\r\nDELE x") << kPassword
                               << QStringLiteral("a.jpg")
                               << QStringLiteral(
                                      "Недопустимый символ перевода строки в имени пользователя");
    QTest::newRow("password") << kUser << QStringLiteral("pw\nSITE x") << QStringLiteral("a.jpg")
                              << QStringLiteral("Недопустимый символ перевода строки в пароле");
    QTest::newRow("remote file")
        << kUser << kPassword << QStringLiteral("a.jpg\rDELE b")
        << QStringLiteral("Недопустимый символ перевода строки в имени файла на сервере");
}

void TestFtpClient::lineBreaksInArgumentsAreRefused() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, remote);
    QFETCH(QString, expected);
    ScriptedServer server;
    FtpClient ftp;
    prepare(ftp, server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), user, password,
               localFile(QStringLiteral("inject.bin"), "x"), remote);
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), expected);
    QVERIFY(!ftp.isBusy());
    QTest::qWait(100);
    QCOMPARE(res.count(), 1);
    QCOMPARE(server.connections, 0);
}

void TestFtpClient::missingLocalFileFails() {
    ScriptedServer server;
    FtpClient ftp;
    prepare(ftp, server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    const QString path = m_local.filePath(QStringLiteral("no-such.jpg"));
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword, path, QStringLiteral("n.jpg"));
    QVERIFY(res.wait(kResultWaitMs));
    const QString text = resultText(res.first().first());
    QVERIFY2(text.startsWith(QStringLiteral("Не удалось открыть файл ") + path), qPrintable(text));
    QVERIFY(!ftp.isBusy());
    QVERIFY(!server.commands.contains("STOR n.jpg"));
    QTest::qWait(100);
    QCOMPARE(res.count(), 1);
}

void TestFtpClient::statusBlinksWhileRunningThenShowsResult() {
    ScriptedServer server;
    server.greeting = {};
    FtpClient ftp;
    prepare(ftp, server.port());
    ftp.setBounds({1000, 1000, 1000, 1000});
    QList<FtpClient::State> states;
    connect(&ftp, &FtpClient::stateChanged, this, [&](FtpClient::State s) { states << s; });
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("blink.bin"), "x"), QStringLiteral("b.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    QVERIFY2(states.size() >= 4, qPrintable(QString::number(states.size())));
    QCOMPARE(states.mid(0, 2),
             QList<FtpClient::State>({FtpClient::State::Queued, FtpClient::State::Working}));
    for (qsizetype i = 1; i + 1 < states.size(); ++i)
        QVERIFY(states[i] == FtpClient::State::Queued || states[i] == FtpClient::State::Working);
    QCOMPARE(states.last(), FtpClient::State::Failed);
    const qsizetype finalCount = states.size();
    QTest::qWait(500); // the blink has stopped
    QCOMPARE(states.size(), finalCount);
}

// After "226" the next file goes on the same connection (TYPE I, PORT,
// STOR), and a connection nobody uses ends with QUIT.
void TestFtpClient::nextFilesGoOnTheKeptConnection() {
    ScriptedServer server;
    FtpClient ftp;
    prepare(ftp, server.port());
    ftp.setIdleCloseMs(300);
    const QByteArray first = pattern(5000, 11);
    const QByteArray second = pattern(3000, 12);
    const QString secondPath = localFile(QStringLiteral("kept2.bin"), second);
    QStringList results;
    connect(&ftp, &FtpClient::finished, this, [&](const vigilux::core::Status& result) {
        results << resultText(QVariant::fromValue(result));
        if (results.size() == 1)
            ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword, secondPath,
                       QStringLiteral("b.bin"), FtpClient::Start::Promptly);
    });
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("kept1.bin"), first), QStringLiteral("a.bin"));
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, kResultWaitMs);
    QCOMPARE(results, QStringList({QStringLiteral("ok"), QStringLiteral("ok")}));
    QCOMPARE(server.received, first + second);
    QVERIFY(ftp.hasIdleConnection());
    QTRY_VERIFY2_WITH_TIMEOUT(server.verbs().size() >= 11, server.commands.join(" | ").constData(),
                              kResultWaitMs);
    QCOMPARE(server.verbs(), (QByteArrayList{"USER", "PASS", "TYPE", "PORT", "STOR", "SIZE", "TYPE",
                                             "PORT", "STOR", "SIZE", "QUIT"}));
    QCOMPARE(server.commands.at(8), QByteArray("STOR b.bin"));
    QCOMPARE(server.connections, 1);
    QVERIFY(!ftp.hasIdleConnection());
}

void TestFtpClient::keptConnectionThatWentAwayIsReplaced_data() {
    QTest::addColumn<bool>("hangUpWhileIdle");
    QTest::newRow("closed while idle") << true;
    QTest::newRow("421 to the next command") << false;
}

void TestFtpClient::keptConnectionThatWentAwayIsReplaced() {
    QFETCH(bool, hangUpWhileIdle);
    ScriptedServer server;
    if (!hangUpWhileIdle)
        server.secondTypeReply = "421 Timeout\r\n";
    FtpClient ftp;
    prepare(ftp, server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("gone1.bin"), pattern(100, 21)), QStringLiteral("a.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    QVERIFY(ftp.hasIdleConnection());
    if (hangUpWhileIdle) {
        server.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!ftp.hasIdleConnection(), kResultWaitMs);
    }
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("gone2.bin"), pattern(200, 22)), QStringLiteral("b.bin"),
               FtpClient::Start::Promptly);
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(res.count(), 2);
    QCOMPARE(resultText(res.last().first()), QStringLiteral("ok"));
    QCOMPARE(server.connections, 2);
    QCOMPARE(server.received, pattern(100, 21) + pattern(200, 22));
    QCOMPARE(server.commands.first(), QByteArray("USER bob"));
    QCOMPARE(server.commands.last(), QByteArray("SIZE b.bin"));
}

// Someone else who finds the data port first gets nothing: the listener is
// on the control connection's address only, and a connection from another
// address is turned away while the wait for the server goes on.
void TestFtpClient::dataConnectionOnlyFromTheServer() {
    ScriptedServer server;
    QTcpSocket thief;
    QTcpSocket outsider;
    QVERIFY(thief.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
    QByteArray stolen;
    bool thiefTurnedAway = false;
    connect(&thief, &QTcpSocket::readyRead, this, [&] { stolen += thief.readAll(); });
    connect(&thief, &QTcpSocket::disconnected, this, [&] { thiefTurnedAway = true; });
    QAbstractSocket::SocketError outsiderError = QAbstractSocket::UnknownSocketError;
    connect(&outsider, &QTcpSocket::errorOccurred, this,
            [&](QAbstractSocket::SocketError e) { outsiderError = e; });
    server.onPort = [&](quint16 port) {
        outsider.connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), port);
        thief.connectToHost(QHostAddress::LocalHost, port);
        // The server comes once the thief has been turned away.
        connect(&thief, &QTcpSocket::disconnected, this,
                [&server, port] { server.connectData(QHostAddress::LocalHost, port); });
    };
    FtpClient ftp;
    prepare(ftp, server.port());
    QSignalSpy res(&ftp, &FtpClient::finished);
    const QByteArray bytes = pattern(9000, 31);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("thief.bin"), bytes), QStringLiteral("t.bin"));
    QVERIFY(res.wait(kResultWaitMs));
    QCOMPARE(resultText(res.first().first()), QStringLiteral("ok"));
    QVERIFY(thiefTurnedAway);
    QVERIFY(stolen.isEmpty());
    QCOMPARE(outsiderError, QAbstractSocket::ConnectionRefusedError);
    QCOMPARE(server.received, bytes);
}

namespace {
// Starts the slow peer script and returns its control port (0 on failure).
quint16 startSlowPeer(QProcess& peer, const QStringList& arguments = {}) {
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QStringLiteral("/usr/bin/python3"),
               QStringList{QStringLiteral(VIGILUX_SLOW_FTP_PEER_SCRIPT)} + arguments);
    if (!peer.waitForStarted(10000))
        return 0;
    QByteArray line;
    while (!line.endsWith('\n') && peer.waitForReadyRead(15000))
        line += peer.readLine();
    return line.startsWith("port ") ? static_cast<quint16>(line.mid(5).trimmed().toUInt()) : 0;
}
} // namespace

// A server that takes the file slower than the reply bound, but steadily:
// the wait for "226" is bounded by a standstill, not by the whole time.
void TestFtpClient::slowLinkThatKeepsMovingIsNotCutOff() {
    QProcess peer;
    const quint16 port = startSlowPeer(peer);
    QVERIFY2(port != 0, "python3 is needed");
    FtpClient ftp;
    prepare(ftp, port);
    ftp.setBounds({5000, 400, 5000, 5000});
    QSignalSpy res(&ftp, &FtpClient::finished);
    const QByteArray bytes = pattern(150 * 1024, 41);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("slow.bin"), bytes), QStringLiteral("slow.bin"));
    QVERIFY(res.wait(60000));
    QCOMPARE(resultText(res.first().first()), QStringLiteral("ok"));
    // The peer prints what it received and ends.
    // It may have ended while the result was awaited.
    QVERIFY(peer.state() == QProcess::NotRunning || peer.waitForFinished(15000));
    QCOMPARE(peer.readAllStandardOutput().trimmed(), QByteArray::number(bytes.size()));
}

// A file small enough to leave our side whole, sent to a server that never
// reads it: the end of the data is announced at once, but without progress
// the job fails after the reply bound instead of waiting for "226" forever.
void TestFtpClient::linkAtAStandstillIsCutOffAfterTheReplyBound() {
    QProcess peer;
    const quint16 port = startSlowPeer(peer, {QStringLiteral("stall")});
    QVERIFY2(port != 0, "python3 is needed");
    FtpClient ftp;
    prepare(ftp, port);
    ftp.setBounds({5000, 400, 5000, 5000});
    QSignalSpy res(&ftp, &FtpClient::finished);
    ftp.upload(QStringLiteral("127.0.0.1"), kUser, kPassword,
               localFile(QStringLiteral("stuck.bin"), pattern(12 * 1024, 7)),
               QStringLiteral("stuck.bin"));
    QVERIFY(res.wait(30000));
    QVERIFY2(
        resultText(res.first().first()).startsWith(QStringLiteral("Сервер не принимал данные")),
        qPrintable(resultText(res.first().first())));
    QCOMPARE(res.count(), 1);
    // It may have ended while the result was awaited.
    QVERIFY(peer.state() == QProcess::NotRunning || peer.waitForFinished(15000));
}

QTEST_GUILESS_MAIN(TestFtpClient)
#include "tst_ftp_client.moc"
