#include "FakeServices.h"
#include "NetTestHelpers.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/Cp1251.h"
#include "platform/UrlOpener.h"
#include "ui/FtpStatusIcon.h"
#include "ui/SmsSettingsWindow.h"
#include "upload/FtpClient.h"
#include "video/CaptureCommands.h"

#include "WindowInput.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/ScriptedHttpServer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using vigilux::AppContext;
using vigilux::controls::PushButton;
using vigilux::core::Cp1251;
using vigilux::platform::Dialogs;
using vigilux::test::FakeClock;
using vigilux::test::FakeDialogs;
using vigilux::test::ScriptedHttpServer;
using vigilux::ui::FtpStatusIcon;
using vigilux::ui::SmsSettingsWindow;
using vigilux::upload::FtpClient;

using vigilux::test::closedPort;

namespace {

using vigilux::test::click;

constexpr int Bound = 10000; // ms; every wait is bounded

class FakeCapture final : public vigilux::video::CaptureCommands {
public:
    QList<bool> pauses;
    void chooseFormat() override {}
    void chooseSource() override {}
    bool setResolution(qint16, qint16, bool) override { return true; }
    void pausePreview(bool paused) override { pauses.append(paused); }
};

using FakeOpener = vigilux::test::FakeUrlOpener;

const QString kErrHead = QStringLiteral("Ошибка при работе с сайтом 127.0.0.1\r\n\r\n");

} // namespace

class TestSmsSettingsWindow : public QObject {
    Q_OBJECT

    // The window on a temporary program folder, its gateway a scripted
    // server on loopback.
    struct Rig {
        QTemporaryDir folder;
        FakeClock clock;
        FakeDialogs dialogs;
        FakeCapture capture;
        FakeOpener opener;
        AppContext context{clock, dialogs, folder.path()};
        ScriptedHttpServer server;
        std::unique_ptr<SmsSettingsWindow> window;

        Rig() {
            server.listen();
            window = std::make_unique<SmsSettingsWindow>(context, capture, opener);
            window->sms().setGatewayHost(QStringLiteral("127.0.0.1"));
            window->sms().setGatewayPort(server.port());
            window->show();
        }
        template <class T>
        T* child(const QString& name) const {
            return window->findChild<T*>(name);
        }
        PushButton* button(int i) const {
            const QStringList names{"okButton", "cancelButton", "testButton", "balanceButton"};
            return child<PushButton>(names.at(i));
        }
        QLabel* link(int i) const { return child<QLabel>(QStringLiteral("L_%1").arg(i)); }
        QString label(const char* name) const { return child<QLabel>(QLatin1String(name))->text(); }
        void setFields(const QString& key, const QString& phone) {
            child<QLineEdit>(QStringLiteral("Text_0"))->setText(key);
            child<QLineEdit>(QStringLiteral("Text_1"))->setText(phone);
        }
        bool waitIdle() {
            return QTest::qWaitFor([this] { return window->sms().mode() == 0; }, Bound);
        }
        bool waitMessages(int n) {
            return QTest::qWaitFor([this, n] { return dialogs.messages.size() >= n; }, Bound);
        }
    };

private slots:
    void startsWithItsDesignTexts() {
        Rig rig;
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("СМС-уведомления"));
        static const QRegularExpression key(
            QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
        QVERIFY(key.match(rig.child<QLineEdit>(QStringLiteral("Text_0"))->text()).hasMatch());
        static const QRegularExpression phone(QStringLiteral("^\\d{11}$"));
        QVERIFY(phone.match(rig.child<QLineEdit>(QStringLiteral("Text_1"))->text()).hasMatch());
        QCOMPARE(
            rig.child<QPlainTextEdit>(QStringLiteral("Text_2"))->toPlainText(),
            QStringLiteral("Vigilux:обнаружено движение.Интенсивность:#%#%.Всего тревог:#n#.\n"));
        // The counter shows the real count from the start, the line break as
        // CR LF.
        QCOMPARE(rig.link(2)->text(), QStringLiteral("66 символов (1смс)"));
        QCOMPARE(rig.button(0)->caption(), QStringLiteral("OK"));
        QCOMPARE(rig.button(1)->caption(), QStringLiteral("Отмена"));
        QCOMPARE(rig.button(2)->caption(), QStringLiteral("Отправить тестовое смс-сообщение"));
        QCOMPARE(rig.button(3)->caption(), QStringLiteral("Запросить баланс и остаток"));
        QCOMPARE(rig.link(0)->text(), QStringLiteral("почем смс?"));
        QCOMPARE(rig.link(1)->text(), QStringLiteral("какой ключ?"));
        QVERIFY(rig.label("Label3").isEmpty());
        QVERIFY(rig.label("Label5").isEmpty());
    }

    void lengthCounter_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString ru = QStringLiteral("ж");
        const QString en = QStringLiteral("z");
        QTest::newRow("empty") << QString() << QStringLiteral("0 символов (1смс)");
        QTest::newRow("70 russian") << ru.repeated(70) << QStringLiteral("70 символов (1смс)");
        QTest::newRow("71 russian") << ru.repeated(71) << QStringLiteral("71 символов (2смс)");
        QTest::newRow("134 russian") << ru.repeated(134) << QStringLiteral("134 символов (2смс)");
        QTest::newRow("135 russian") << ru.repeated(135) << QStringLiteral("135 символов (3смс)");
        QTest::newRow("160 latin") << en.repeated(160) << QStringLiteral("160 символов (1смс)");
        QTest::newRow("161 latin") << en.repeated(161) << QStringLiteral("161 символов (2смс)");
        QTest::newRow("306 latin") << en.repeated(306) << QStringLiteral("306 символов (2смс)");
        QTest::newRow("307 latin") << en.repeated(307) << QStringLiteral("307 символов (3смс)");
        QTest::newRow("one russian letter makes it russian")
            << en.repeated(70) + QStringLiteral("я") << QStringLiteral("71 символов (2смс)");
        QTest::newRow("Ё stays latin")
            << en.repeated(159) + QStringLiteral("Ё") << QStringLiteral("160 символов (1смс)");
        QTest::newRow("line break is CR LF")
            << en.repeated(158) + QStringLiteral("\n") << QStringLiteral("160 символов (1смс)");
        QTest::newRow("no cap at five messages")
            << en.repeated(1000) << QStringLiteral("1000 символов (7смс)");
    }
    void lengthCounter() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Rig rig;
        rig.child<QPlainTextEdit>(QStringLiteral("Text_2"))->setPlainText(text);
        QCOMPARE(rig.link(2)->text(), shown);
    }

    void capturePausedWhileOpen_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Отмена") << QStringLiteral("cancel");
        QTest::newRow("window close") << QStringLiteral("close");
        QTest::newRow("Escape") << QStringLiteral("escape");
        QTest::newRow("destroyed while open") << QStringLiteral("destroy");
    }
    void capturePausedWhileOpen() {
        QFETCH(QString, how);
        Rig rig;
        QCOMPARE(rig.capture.pauses, QList<bool>({true}));
        // OK has nothing to do: the window stays, the capture stays paused.
        click(rig.button(0));
        QVERIFY(rig.window->isVisible());
        QCOMPARE(rig.capture.pauses, QList<bool>({true}));

        if (how == QLatin1String("cancel"))
            click(rig.button(1));
        else if (how == QLatin1String("close"))
            rig.window->close();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(rig.window.get(), Qt::Key_Escape);
        else
            rig.window.reset();
        if (rig.window) {
            QVERIFY(!rig.window->isVisible());
            QCOMPARE(rig.window->result(), int(QDialog::Rejected));
        }
        QCOMPARE(rig.capture.pauses, QList<bool>({true, false}));
        rig.window.reset();
        QCOMPARE(rig.capture.pauses, QList<bool>({true, false}));
    }

    void testMessageGoesOutByteExact() {
        Rig rig;
        rig.setFields(QStringLiteral("KEY-1"), QStringLiteral("79001234567"));
        rig.server.replies.enqueue({ScriptedHttpServer::ok("100\n000-111\nbalance=5"), true});
        click(rig.button(2));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.server.connections(), 1);
        const QByteArray path =
            "/sms/send?api_id=KEY-1&to=79001234567&text=" +
            Cp1251::encode(
                QStringLiteral("Vigilux: тестовое смс-оповещение об обнаружении движения в кадре."))
                .replace(' ', "%20") +
            "&test=1";
        QCOMPARE(rig.server.requests.first(), vigilux::test::expectedSmsRequest(path));
        // Success is not reported.
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    void balanceShowsTheAnswerAndKeepsTheButtonWaiting() {
        Rig rig;
        rig.setFields(QStringLiteral("KEY-2"), QStringLiteral("79001234567"));
        rig.child<QLabel>(QStringLiteral("Label3"))->setText(QStringLiteral("old"));
        rig.child<QLabel>(QStringLiteral("Label5"))->setText(QStringLiteral("old"));
        rig.server.replies.enqueue({ScriptedHttpServer::ok("100\n12.50"), true});
        // No picture before anything was asked.
        auto* status = rig.child<FtpStatusIcon>(QStringLiteral("SMS"));
        QCOMPARE(status->state(), FtpClient::State::None);
        click(rig.button(3));
        QCOMPARE(rig.button(3)->caption(), QStringLiteral("Подождите, идет запрос..."));
        QVERIFY(!rig.button(3)->isEnabled());
        QVERIFY(rig.label("Label3").isEmpty());
        QVERIFY(rig.label("Label5").isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(rig.label("Label3"), QStringLiteral("100\n12.50"), Bound);
        QCOMPARE(rig.server.requests.first(),
                 vigilux::test::expectedSmsRequest("/my/balance?api_id=KEY-2"));
        QVERIFY(rig.label("Label5").isEmpty());
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(status->state(), FtpClient::State::Done);
        QCOMPARE(rig.button(3)->caption(), QStringLiteral("Подождите, идет запрос..."));
        QVERIFY(!rig.button(3)->isEnabled());
    }

    void failedRequestShowsErrAndRestoresBalance_data() {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("error");
        QTest::newRow("refused") << true << QByteArray()
                                 << QStringLiteral("Ошибка соединения #10061");
        QTest::newRow("header cut off")
            << false << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: te")
            << QStringLiteral("Неизвестный ответ от relay.vigilux.ru");
        QTest::newRow("no OK") << false << QByteArray("HTTP/1.0 500 Error\r\n\r\nfail")
                               << QStringLiteral("Неизвестный ответ от relay.vigilux.ru");
    }
    void failedRequestShowsErrAndRestoresBalance() {
        QFETCH(bool, refused);
        QFETCH(QByteArray, answer);
        QFETCH(QString, error);
        Rig rig;
        if (refused)
            rig.window->sms().setGatewayPort(closedPort());
        else
            rig.server.replies.enqueue({answer, true});
        click(rig.button(3));
        QVERIFY(!rig.button(3)->isEnabled());
        QVERIFY(rig.waitMessages(1));
        const FakeDialogs::Message m = rig.dialogs.messages.first();
        QCOMPARE(m.icon, Dialogs::Icon::Error);
        QCOMPARE(m.title, QStringLiteral("Ошибка"));
        QCOMPARE(m.text, kErrHead + error);
        QCOMPARE(rig.button(3)->caption(), QStringLiteral("Запросить баланс и остаток"));
        QVERIFY(rig.button(3)->isEnabled());
        QVERIFY(rig.label("Label3").isEmpty());
        QCOMPARE(rig.child<FtpStatusIcon>(QStringLiteral("SMS"))->state(),
                 FtpClient::State::Failed);
    }

    void costAnswerBoxes_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("text");
        QTest::newRow("price") << QByteArray("OK 1.45")
                               << QStringLiteral(
                                      "Стоимость отправки сообщения на этот номер:  1.45 руб");
        QTest::newRow("price, gateway lines") << QByteArray("OK\n0.99")
                                              << QStringLiteral("Стоимость отправки сообщения на "
                                                                "этот номер: \n0.99 руб");
        QTest::newRow("gateway refusal")
            << QByteArray("E:\xed\xe5\xe2\xe5\xf0\xed\xfb\xe9 \xed\xee\xec\xe5\xf0")
            << QStringLiteral("Произошла ошибка: неверный номер");
        QTest::newRow("ok in lower case is no price")
            << QByteArray("ok5") << QStringLiteral("Произошла ошибка: 5");
    }
    void costAnswerBoxes() {
        QFETCH(QByteArray, body);
        QFETCH(QString, text);
        Rig rig;
        rig.setFields(QStringLiteral("KEY"), QStringLiteral("79005554433"));
        // The status line carries the "OK" the client wants even when the
        // body does not.
        rig.server.replies.enqueue({ScriptedHttpServer::ok(body), true});
        click(rig.link(0));
        QVERIFY(rig.waitMessages(1));
        QCOMPARE(rig.server.requests.first(),
                 vigilux::test::expectedSmsRequest("/cost.php?tel=79005554433"));
        const FakeDialogs::Message m = rig.dialogs.messages.first();
        QCOMPARE(m.icon, Dialogs::Icon::Information);
        QCOMPARE(m.title, QStringLiteral("Информация"));
        QCOMPARE(m.text, text);
        QCOMPARE(rig.dialogs.messages.size(), 1);
    }

    // A balance button must not stay waiting for an answer that cannot come.
    void balanceButtonNotLeftWaitingForNothing() {
        Rig rig;
        // Refused while the test message runs.
        rig.server.replies.enqueue({ScriptedHttpServer::ok("100"), true});
        click(rig.button(2));
        click(rig.button(3));
        QCOMPARE(rig.window->sms().mode(), qint16(1));
        QVERIFY(rig.button(3)->isEnabled());
        QCOMPARE(rig.button(3)->caption(), QStringLiteral("Запросить баланс и остаток"));
        QVERIFY(rig.waitIdle());

        // Superseded by a price query.
        rig.server.replies.enqueue({ScriptedHttpServer::ok("OK1"), true});
        click(rig.button(3));
        QVERIFY(!rig.button(3)->isEnabled());
        click(rig.link(0));
        QCOMPARE(rig.window->sms().mode(), qint16(3));
        QVERIFY(rig.button(3)->isEnabled());
        QCOMPARE(rig.button(3)->caption(), QStringLiteral("Запросить баланс и остаток"));
        QVERIFY(rig.waitMessages(1));
    }

    void keyHelpOffersTheKeyPage_data() {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::newRow("yes") << Dialogs::Answer::Yes
                             << QList<QUrl>{QUrl(QStringLiteral(
                                    "http://127.0.0.1/?panel=api&subpanel=method&show=sms/send"))};
        QTest::newRow("no") << Dialogs::Answer::No << QList<QUrl>{};
    }
    void keyHelpOffersTheKeyPage() {
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QList<QUrl>, opened);
        Rig rig;
        rig.dialogs.answers.enqueue(answer);
        click(rig.link(1));
        QCOMPARE(rig.dialogs.messages.size(), 1);
        const FakeDialogs::Message m = rig.dialogs.messages.first();
        QCOMPARE(m.icon, Dialogs::Icon::Information);
        QCOMPARE(m.buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(m.title, QStringLiteral("Информация"));
        QVERIFY(m.text.startsWith(
            QStringLiteral("ID это ваш уникальный идентификатор на сайте 127.0.0.1")));
        QVERIFY(m.text.endsWith(
            QStringLiteral(".\r\n\r\nОткрыть страницу с вашим ID (уникальным ключом)?")));
        QCOMPARE(rig.opener.opened, opened);
        QCOMPARE(rig.server.connections(), 0);
    }

    void lengthHelp() {
        Rig rig;
        click(rig.link(2));
        QCOMPARE(rig.dialogs.messages.size(), 1);
        const FakeDialogs::Message m = rig.dialogs.messages.first();
        QCOMPARE(m.icon, Dialogs::Icon::Information);
        QCOMPARE(m.buttons, Dialogs::Buttons::Ok);
        QCOMPARE(m.title, QStringLiteral("Информация"));
        const QStringList parts = m.text.split(QStringLiteral("\r\n\r\n"));
        QCOMPARE(parts.size(), 2);
        QVERIFY(parts[0].startsWith(QStringLiteral("Длинные сообщения автоматически")));
        QVERIFY(parts[0].endsWith(
            QStringLiteral("Максимальная длина одного текста - 5 смс сообщений.")));
        QVERIFY(parts[1].startsWith(QStringLiteral("Шаблоны для подстановки информации: #n# - ")));
    }
};

QTEST_MAIN(TestSmsSettingsWindow)
#include "tst_sms_settings_window.moc"
