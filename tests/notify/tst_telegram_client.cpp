#include "NetTestHelpers.h"
#include "notify/TelegramClient.h"

#include "support/ScriptedHttpServer.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using vigilux::notify::NotifyResult;
using vigilux::notify::TelegramClient;
using vigilux::test::ScriptedHttpServer;

namespace {

const QString Token = QStringLiteral("123456:AAbb-CC_dd");

// One request as the Bot API sees it: the request line, the headers, and the
// form fields (name -> filename, type, bytes).
struct Request {
    QByteArray line;
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;
    struct Field {
        QByteArray fileName;
        QByteArray type;
        QByteArray data;
    };
    QMap<QByteArray, Field> fields;
};

Request parse(const QByteArray& raw) {
    Request r;
    const qsizetype headerEnd = raw.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = raw.left(headerEnd).split('\n');
    r.line = lines.value(0).trimmed();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        r.headers.insert(lines[i].left(colon).trimmed().toLower(),
                         lines[i].mid(colon + 1).trimmed());
    }
    r.body = raw.mid(headerEnd + 4);
    static const QRegularExpression boundaryForm(QStringLiteral("boundary=\"?([^\";]+)\"?"));
    const auto match = boundaryForm.match(QString::fromLatin1(r.headers.value("content-type")));
    if (!match.hasMatch())
        return r;
    const QByteArray delimiter = "--" + match.captured(1).toLatin1();
    qsizetype at = r.body.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype start = at + delimiter.size() + 2; // past CRLF
        const qsizetype next = r.body.indexOf(QByteArray("\r\n" + delimiter), start);
        if (next < 0)
            break;
        const QByteArray part = r.body.mid(start, next - start);
        const qsizetype partHeaderEnd = part.indexOf("\r\n\r\n");
        const QByteArray partHeaders = part.left(partHeaderEnd);
        static const QRegularExpression name(QStringLiteral("name=\"([^\"]*)\""));
        static const QRegularExpression file(QStringLiteral("filename=\"([^\"]*)\""));
        static const QRegularExpression type(QStringLiteral("content-type: *([^\\r\\n]+)"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QString h = QString::fromUtf8(partHeaders);
        Request::Field field;
        field.fileName = file.match(h).captured(1).toUtf8();
        field.type = type.match(h).captured(1).toLatin1();
        field.data = part.mid(partHeaderEnd + 4);
        r.fields.insert(name.match(h).captured(1).toLatin1(), field);
        at = next + 2;
    }
    return r;
}

QByteArray answer(int status, const QByteArray& reason, const QByteArray& json) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(json.size()) + "\r\nConnection: close\r\n\r\n" + json;
}

const QByteArray Ok = answer(200, "OK", R"({"ok":true,"result":{"message_id":7}})");

QByteArray pictureBytes() {
    QByteArray bytes("\xFF\xD8\xFF\xE0", 4);
    for (int i = 0; i < 70000; ++i)
        bytes += char(i * 7 % 256); // every byte value, CR and LF included
    return bytes;
}

} // namespace

class TestTelegram : public QObject {
    Q_OBJECT

    struct Rig {
        ScriptedHttpServer server;
        TelegramClient client;
        QSignalSpy done{&client, &TelegramClient::finished};
        Rig() { server.listen(); }
        TelegramClient::Target target() const {
            return {QStringLiteral("http://127.0.0.1:%1/").arg(server.port()), Token,
                    QStringLiteral("-100200300")};
        }
        NotifyResult result() {
            if (!done.wait(20000) && done.isEmpty())
                return NotifyResult::failure(QStringLiteral("no result"));
            return done.takeFirst().at(0).value<NotifyResult>();
        }
    };

private slots:
    void initTestCase() { qRegisterMetaType<NotifyResult>(); }

    void picturesAndVideosGoAsMultipartForms_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("video");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("jpeg photo") << "20261208-033000.jpg" << false << QByteArray("sendPhoto")
                                    << QByteArray("photo") << QByteArray("image/jpeg");
        // The API would recompress or refuse a BMP photo; as a document the
        // bytes arrive unchanged.
        QTest::newRow("bmp document") << "frame.bmp" << false << QByteArray("sendDocument")
                                      << QByteArray("document") << QByteArray("image/bmp");
        QTest::newRow("clip") << "event-12.mp4" << true << QByteArray("sendVideo")
                              << QByteArray("video") << QByteArray("video/mp4");
    }
    void picturesAndVideosGoAsMultipartForms() {
        QFETCH(QString, fileName);
        QFETCH(bool, video);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, type);
        QTemporaryDir dir;
        const QString path = dir.filePath(fileName);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(pictureBytes());
        file.close();

        Rig rig;
        rig.server.replies.enqueue({Ok});
        const QString caption = QStringLiteral("Событие №12, 03:30:00, изменение 17%");
        if (video)
            rig.client.sendVideo(rig.target(), caption, path);
        else
            rig.client.sendPhoto(rig.target(), caption, path);
        QVERIFY(rig.client.isBusy());
        QCOMPARE(rig.done.size(), 0); // never inside the call
        const NotifyResult result = rig.result();
        QVERIFY2(result.ok, qPrintable(result.error));
        QVERIFY(!rig.client.isBusy());

        QCOMPARE(rig.server.connections(), 1);
        const Request r = parse(rig.server.requests.at(0));
        QCOMPARE(r.line, "POST /bot" + Token.toLatin1() + '/' + method + " HTTP/1.1");
        QVERIFY(r.headers.value("content-type").startsWith("multipart/form-data"));
        QCOMPARE(r.fields.value("chat_id").data, QByteArray("-100200300"));
        QCOMPARE(QString::fromUtf8(r.fields.value("caption").data), caption);
        QVERIFY(r.fields.contains(field));
        QCOMPARE(r.fields.value(field).fileName, fileName.toUtf8());
        QCOMPARE(r.fields.value(field).type, type);
        QCOMPARE(r.fields.value(field).data, pictureBytes());
    }

    void messagesGoAsJson() {
        Rig rig;
        rig.server.replies.enqueue({Ok});
        rig.client.sendMessage(rig.target(), QStringLiteral("Событие №3 закончилось: 1 мин 5 с"));
        QVERIFY(rig.result().ok);
        const Request r = parse(rig.server.requests.at(0));
        QCOMPARE(r.line, "POST /bot" + Token.toLatin1() + "/sendMessage HTTP/1.1");
        const QJsonObject body = QJsonDocument::fromJson(r.body).object();
        QCOMPARE(body.value(QStringLiteral("chat_id")).toString(), QStringLiteral("-100200300"));
        QCOMPARE(body.value(QStringLiteral("text")).toString(),
                 QStringLiteral("Событие №3 закончилось: 1 мин 5 с"));
    }

    void failuresAreRussianAndNeverShowTheToken_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("hold");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<qint64>("retryAfterMs");
        QTest::newRow("flood control")
            << answer(
                   429, "Too Many Requests",
                   R"({"ok":false,"error_code":429,"description":"Too Many Requests: retry after 5","parameters":{"retry_after":5}})")
            << false << QStringLiteral("Telegram: ошибка 429 (Too Many Requests: retry after 5)")
            << qint64(5000);
        QTest::newRow("wrong token")
            << answer(401, "Unauthorized",
                      R"({"ok":false,"error_code":401,"description":"Unauthorized"})")
            << false << QStringLiteral("Telegram: ошибка 401 (Unauthorized)") << qint64(0);
        // A server that echoes the request path must not leak the token.
        QTest::newRow("echoing proxy")
            << answer(404, "Not Found",
                      "{\"ok\":false,\"error_code\":404,\"description\":\"no /bot" +
                          Token.toLatin1() + "/sendMessage\"}")
            << false << QStringLiteral("Telegram: ошибка 404 (no /bot***/sendMessage)")
            << qint64(0);
        QTest::newRow("not the api")
            << QByteArray("HTTP/1.1 502 Bad Gateway\r\nContent-Length: "
                          "5\r\nConnection: close\r\n\r\n<h1/>")
            << false << QStringLiteral("Telegram: ошибка 502 (ответ не от Bot API)") << qint64(0);
        QTest::newRow("silent server")
            << QByteArray() << true << QStringLiteral("Telegram: истекло время ожидания ответа")
            << qint64(0);
    }
    void failuresAreRussianAndNeverShowTheToken() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, hold);
        QFETCH(QString, expected);
        QFETCH(qint64, retryAfterMs);
        Rig rig;
        rig.client.setBounds({1000, 1500});
        rig.server.replies.enqueue({reply, !hold});
        rig.client.sendMessage(rig.target(), QStringLiteral("x"));
        const NotifyResult result = rig.result();
        QVERIFY(!result.ok);
        QCOMPARE(result.error, expected);
        QCOMPARE(result.retryAfterMs, retryAfterMs);
        QVERIFY(!result.error.contains(Token));
    }

    void refusedConnection() {
        Rig rig;
        TelegramClient::Target target = rig.target();
        target.apiBase = QStringLiteral("http://127.0.0.1:%1").arg(vigilux::test::closedPort());
        rig.client.sendMessage(target, QStringLiteral("x"));
        const NotifyResult result = rig.result();
        QCOMPARE(result.error, QStringLiteral("Telegram: сервер отказал в соединении"));
        QVERIFY(!result.permanent);
    }

    void badInputNeverReachesTheServer_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("chat");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("permanent");
        QTest::newRow("no token") << QString() << "1" << QString()
                                  << "Telegram: не указан токен бота" << false;
        // A token with a slash or query would address another path.
        QTest::newRow("token with a path")
            << "1:a/../../x"
            << "1" << QString() << "Telegram: токен бота имеет неверный вид" << false;
        QTest::newRow("no chat") << Token << " " << QString() << "Telegram: не указан чат" << false;
        QTest::newRow("picture gone") << Token << "1"
                                      << "/nonexistent/a.jpg"
                                      << "Telegram: не удалось открыть файл a.jpg" << true;
    }
    void badInputNeverReachesTheServer() {
        QFETCH(QString, token);
        QFETCH(QString, chat);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QFETCH(bool, permanent);
        Rig rig;
        TelegramClient::Target target = rig.target();
        target.token = token;
        target.chatId = chat;
        if (file.isEmpty())
            rig.client.sendMessage(target, QStringLiteral("x"));
        else
            rig.client.sendPhoto(target, QStringLiteral("x"), file);
        QCOMPARE(rig.done.size(), 0);
        const NotifyResult result = rig.result();
        QCOMPARE(result.error, expected);
        QCOMPARE(result.permanent, permanent);
        QCOMPARE(rig.server.connections(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTelegram)
#include "tst_telegram_client.moc"
