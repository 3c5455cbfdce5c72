#include "NetTestHelpers.h"
#include "core/Cp1251.h"
#include "notify/SmsClient.h"

#include "support/PythonHttpServer.h"
#include "support/ScriptedHttpServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using vigilux::core::Cp1251;
using vigilux::notify::SmsClient;
using vigilux::test::PythonHttpServer;
using vigilux::test::ScriptedHttpServer;

using vigilux::test::closedPort;

namespace {

const QString kUnknown = QStringLiteral("Неизвестный ответ от relay.vigilux.ru");

enum class Op { Send, Balance, Cost };

void run(SmsClient& sms, Op op, const QString& a = QStringLiteral("KEY"),
         const QString& b = QStringLiteral("79001234567"),
         const QString& text = QStringLiteral("abc")) {
    switch (op) {
    case Op::Send:
        sms.sendSms(b, text, a);
        break;
    case Op::Balance:
        sms.requestBalance(a);
        break;
    case Op::Cost:
        sms.requestCost(b);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Op)

class TestSmsClient : public QObject {
    Q_OBJECT

    struct Rig {
        ScriptedHttpServer server;
        SmsClient sms;
        QSignalSpy balance{&sms, &SmsClient::balance};
        QSignalSpy cost{&sms, &SmsClient::cost};
        QSignalSpy err{&sms, &SmsClient::failed};
        QSignalSpy states{&sms, &SmsClient::stateChanged};
        Rig() {
            server.listen();
            sms.setGatewayHost(QStringLiteral("127.0.0.1"));
            sms.setGatewayPort(server.port());
        }
        int events() const { return int(balance.size() + cost.size() + err.size()); }
        bool waitIdle() {
            return QTest::qWaitFor([this] { return sms.mode() == 0; }, 10000);
        }
    };

private slots:
    void requestsAreByteExactOnTheWire_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("send") << Op::Send << QStringLiteral("abc")
                              << QByteArray("/sms/send?api_id=KEY&to=79001234567&text=abc&test=1");
        // Windows-1251 bytes go as they are; the space is encoded.
        QTest::newRow("send russian")
            << Op::Send << QStringLiteral("Тест 1")
            << QByteArray("/sms/send?api_id=KEY&to=79001234567&text=\xD2\xE5\xF1\xF2%201&test=1");
        // A text cannot add or change parameters, nor end the query.
        QTest::newRow("send forging a parameter")
            << Op::Send << QStringLiteral("a&to=666 b=c#d%e+f?g\th")
            << QByteArray("/sms/"
                          "send?api_id=KEY&to=79001234567&text=a%26to%3D666%20b%3Dc%23d%25e%2Bf%"
                          "3Fg%09h&test=1");
        QTest::newRow("balance") << Op::Balance << QString()
                                 << QByteArray("/my/balance?api_id=KEY");
        QTest::newRow("cost") << Op::Cost << QString() << QByteArray("/cost.php?tel=79001234567");
    }
    void requestsAreByteExactOnTheWire() {
        QFETCH(Op, op);
        QFETCH(QString, text);
        QFETCH(QByteArray, path);
        Rig rig;
        rig.server.replies.enqueue({ScriptedHttpServer::ok("OK"), true});
        run(rig.sms, op, QStringLiteral("KEY"), QStringLiteral("79001234567"), text);
        QCOMPARE(rig.sms.requestPath(), Cp1251::decode(path));
        QVERIFY(rig.sms.delayTimer().isActive());
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.server.connections(), 1);
        QCOMPARE(rig.server.requests.first(), vigilux::test::expectedSmsRequest(path));
    }

    void answersAreParsed_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("cost");
        QTest::addColumn<QString>("err");
        const QString none;
        QTest::newRow("balance body")
            << Op::Balance
            << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n"
                          "Server: x\r\n\r\n100")
            << QStringLiteral("100") << none << none;
        QTest::newRow("cost body") << Op::Cost << QByteArray("HTTP/1.0 200 OK\r\n\r\nOK\n2.45")
                                   << none << QStringLiteral("OK\n2.45") << none;
        QTest::newRow("body after the first empty line only")
            << Op::Balance << QByteArray("HTTP/1.0 200 OK\r\n\r\n1\r\n\r\n2")
            << QStringLiteral("1\r\n\r\n2") << none << none;
        QTest::newRow("body in Windows-1251")
            << Op::Balance << QByteArray("HTTP/1.0 200 OK\r\n\r\n\xEE\xF8\xE8\xE1\xEA\xE0")
            << QStringLiteral("ошибка") << none << none;
        // "OK" anywhere will do, even in the body of a refusal.
        QTest::newRow("OK in the body")
            << Op::Balance << QByteArray("HTTP/1.0 403 Forbidden\r\n\r\nOK?")
            << QStringLiteral("OK?") << none << none;
        QTest::newRow("message sent raises nothing")
            << Op::Send << QByteArray("HTTP/1.0 200 OK\r\n\r\n100") << none << none << none;
        QTest::newRow("header cut off")
            << Op::Balance << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text") << none << none
            << kUnknown;
        QTest::newRow("no OK") << Op::Cost << QByteArray("HTTP/1.0 500 Server Error\r\n\r\nfail")
                               << none << none << kUnknown;
        QTest::newRow("nothing at all") << Op::Balance << QByteArray() << none << none << kUnknown;
    }
    void answersAreParsed() {
        QFETCH(Op, op);
        QFETCH(QByteArray, answer);
        QFETCH(QString, balance);
        QFETCH(QString, cost);
        QFETCH(QString, err);
        Rig rig;
        rig.server.replies.enqueue({answer, true});
        run(rig.sms, op);
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.balance.size(), balance.isNull() ? 0 : 1);
        QCOMPARE(rig.cost.size(), cost.isNull() ? 0 : 1);
        QCOMPARE(rig.err.size(), err.isNull() ? 0 : 1);
        if (!balance.isNull())
            QCOMPARE(rig.balance.first().first().toString(), balance);
        if (!cost.isNull())
            QCOMPARE(rig.cost.first().first().toString(), cost);
        // The status picture says what happened: done after an answer,
        // failed after an error.
        if (!err.isNull()) {
            QCOMPARE(rig.err.first().first().toString(), err);
            QCOMPARE(rig.sms.state(), SmsClient::State::Failed);
        } else {
            QCOMPARE(rig.sms.state(), SmsClient::State::Done);
        }
        QVERIFY(!rig.sms.blinkTimer().isActive());
        QVERIFY(!rig.sms.delayTimer().isActive());
    }

    void secondRequestWaitsForTheFirstToEnd() {
        Rig rig;
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\n1", true});
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\n2", true});
        rig.sms.sendSms(QStringLiteral("1"), QStringLiteral("first"), QStringLiteral("K"));
        rig.sms.sendSms(QStringLiteral("2"), QStringLiteral("second"), QStringLiteral("K"));
        rig.sms.requestBalance(QStringLiteral("K"));
        QVERIFY(rig.sms.requestPath().contains(QStringLiteral("text=first")));
        QCOMPARE(rig.sms.mode(), qint16(1));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.server.connections(), 1);

        rig.sms.requestBalance(QStringLiteral("K"));
        QCOMPARE(rig.sms.mode(), qint16(2));
        QTRY_COMPARE_WITH_TIMEOUT(rig.balance.size(), 1, 10000);
        QCOMPARE(rig.server.connections(), 2);
        QCOMPARE(rig.balance.first().first().toString(), QStringLiteral("2"));
    }

    void handlerMayStartTheNextRequest() {
        Rig rig;
        rig.server.replies.enqueue({"HTTP/1.0 500 Bad\r\n\r\n", true});
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\n7", true});
        bool retried = false;
        connect(&rig.sms, &SmsClient::failed, &rig.sms, [&] {
            if (!retried) {
                retried = true;
                rig.sms.requestBalance(QStringLiteral("K"));
            }
        });
        rig.sms.requestBalance(QStringLiteral("K"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.balance.size(), 1, 10000);
        QCOMPARE(rig.err.size(), 1);
        QCOMPARE(rig.server.connections(), 2);
    }

    void refusedConnectionIsAnError() {
        Rig rig;
        rig.sms.setGatewayPort(closedPort());
        rig.sms.requestBalance(QStringLiteral("K"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.err.size(), 1, 10000);
        QCOMPARE(rig.err.first().first().toString(), QStringLiteral("Ошибка соединения #10061"));
        QCOMPARE(rig.sms.mode(), qint16(0));
        QCOMPARE(rig.sms.state(), SmsClient::State::Failed);
        QVERIFY(!rig.sms.blinkTimer().isActive());
        QCOMPARE(rig.events(), 1);
    }

    void serverThatNeverClosesEndsInAnError() {
        Rig rig;
        rig.sms.setTimeoutMs(400);
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\n100", false});
        rig.sms.requestBalance(QStringLiteral("K"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.err.size(), 1, 10000);
        QCOMPARE(rig.err.first().first().toString(), QStringLiteral("Ошибка соединения #10060"));
        QCOMPARE(rig.balance.size(), 0);
        QCOMPARE(rig.sms.mode(), qint16(0));
        QCOMPARE(rig.sms.state(), SmsClient::State::Failed);
        // And the component is usable again.
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\n5", true});
        rig.sms.requestBalance(QStringLiteral("K"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.balance.size(), 1, 10000);
    }

    void oversizedAnswerIsRefused() {
        Rig rig;
        rig.server.replies.enqueue(
            {"HTTP/1.0 200 OK\r\n\r\n" + QByteArray(SmsClient::MaxResponseBytes + 10, 'x'), false});
        rig.sms.requestBalance(QStringLiteral("K"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.err.size(), 1, 10000);
        QCOMPARE(rig.err.first().first().toString(), kUnknown);
        QCOMPARE(rig.sms.mode(), qint16(0));
        QCOMPARE(rig.balance.size(), 0);
    }

    void lineBreaksNeverReachTheRequest_data() {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("text LF") << Op::Send << "K"
                                 << "1"
                                 << "a\nHost: evil";
        QTest::newRow("number CR") << Op::Send << "K"
                                   << "1\r"
                                   << "a";
        QTest::newRow("key CRLF") << Op::Balance << "K\r\nX: y"
                                  << "1"
                                  << "a";
        QTest::newRow("tel LF") << Op::Cost << "K"
                                << "1\n"
                                << "a";
    }
    void lineBreaksNeverReachTheRequest() {
        QFETCH(Op, op);
        QFETCH(QString, key);
        QFETCH(QString, number);
        QFETCH(QString, text);
        Rig rig;
        run(rig.sms, op, key, number, text);
        QCOMPARE(rig.err.size(), 1);
        QCOMPARE(rig.err.first().first().toString(),
                 QStringLiteral("Запрос не отправлен: перевод строки в параметрах запроса"));
        QCOMPARE(rig.sms.mode(), qint16(0));
        QVERIFY(!rig.sms.delayTimer().isActive());
        // Nothing was started; give a wrongly started request time to show.
        QTest::qWait(700);
        QCOMPARE(rig.server.connections(), 0);
    }

    void costSupersedesARunningRequest() {
        Rig rig;
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\n100", false}); // held open
        rig.server.replies.enqueue({"HTTP/1.0 200 OK\r\n\r\nOK 1.5", true});
        rig.sms.requestBalance(QStringLiteral("K"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.server.connections(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.server.requests.first().endsWith("\r\n\r\n"), 10000);
        rig.sms.requestCost(QStringLiteral("79001234567"));
        QCOMPARE(rig.sms.mode(), qint16(3));
        QTRY_COMPARE_WITH_TIMEOUT(rig.cost.size(), 1, 10000);
        QCOMPARE(rig.cost.first().first().toString(), QStringLiteral("OK 1.5"));
        QCOMPARE(rig.balance.size(), 0);
        QCOMPARE(rig.err.size(), 0);
    }

    void statusBlinksWhileARequestRuns() {
        Rig rig;
        rig.sms.setTimeoutMs(60000);
        rig.server.replies.enqueue({QByteArray(), false}); // never answers
        QCOMPARE(rig.sms.state(), SmsClient::State::None);
        rig.sms.requestBalance(QStringLiteral("K"));
        QVERIFY(rig.sms.delayTimer().isSingleShot());
        QCOMPARE(rig.sms.delayTimer().interval(), 500);
        QVERIFY(!rig.sms.blinkTimer().isActive());
        QTRY_VERIFY_WITH_TIMEOUT(rig.states.size() >= 4, 10000);
        // blinkOn starts false: 2, 1, 2, 1, ...
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.states.at(i).first().toInt(), i % 2 == 0 ? 2 : 1);
        QCOMPARE(rig.sms.blinkTimer().interval(), 150);
    }

    void realHttpServerAnswersABalance() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("my")));
        QFile body(dir.filePath(QStringLiteral("my/balance")));
        QVERIFY(body.open(QIODevice::WriteOnly));
        body.write("250.5");
        body.close();
        PythonHttpServer python;
        QVERIFY(python.start(dir.path()));

        SmsClient sms;
        QSignalSpy balance(&sms, &SmsClient::balance);
        QSignalSpy err(&sms, &SmsClient::failed);
        sms.setGatewayHost(QStringLiteral("127.0.0.1"));
        sms.setGatewayPort(python.port());
        sms.requestBalance(QStringLiteral("KEY"));
        QTRY_COMPARE_WITH_TIMEOUT(balance.size() + err.size(), 1, 10000);
        QCOMPARE(balance.size(), 1);
        QCOMPARE(balance.first().first().toString(), QStringLiteral("250.5"));
    }
};

QTEST_GUILESS_MAIN(TestSmsClient)
#include "tst_sms_client.moc"
