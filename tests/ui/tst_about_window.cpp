#include "FakeServices.h"
#include "app/LastCheckStore.h"
#include "app/UpdateChecker.h"
#include "controls/PushButton.h"
#include "controls/TitleBarButton.h"
#include "core/AppContext.h"
#include "platform/UrlOpener.h"
#include "ui/AboutWindow.h"

#include "WindowInput.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/ScriptedHttpServer.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using vigilux::AppContext;
using vigilux::app::UpdateChecker;
using vigilux::controls::PushButton;
using vigilux::controls::TitleBarButton;
using vigilux::platform::Dialogs;
using vigilux::test::FakeClock;
using vigilux::test::FakeDialogs;
using vigilux::test::ScriptedHttpServer;
using vigilux::ui::AboutWindow;

namespace {

using vigilux::test::click;

constexpr int Bound = 10000; // ms; every wait is bounded

class FakeStore final : public vigilux::app::LastCheckStore {
public:
    int reads = 0;
    int writes = 0;
    QString readLastCheck() override {
        ++reads;
        return {};
    }
    void writeLastCheck(const QDate&) override { ++writes; }
};

using FakeOpener = vigilux::test::FakeUrlOpener;

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT

    // The window with an update checker pointed at a scripted server.
    struct Rig {
        QTemporaryDir folder;
        FakeClock clock;
        FakeDialogs dialogs;
        FakeStore store;
        FakeOpener opener;
        AppContext context{clock, dialogs, folder.path()};
        ScriptedHttpServer server;
        UpdateChecker checker;
        std::unique_ptr<AboutWindow> window;

        Rig()
            : checker(store, clock, dialogs, opener, folder.path(),
                      QUrl(QStringLiteral("http://127.0.0.1:%1").arg(serverPort()))) {
            window = std::make_unique<AboutWindow>(context, checker, opener);
            window->show();
        }
        quint16 serverPort() {
            server.listen();
            return server.port();
        }
        template <class T>
        T* child(const char* name) const {
            return window->findChild<T*>(QLatin1String(name));
        }
        QString text(const char* name) const { return child<QLabel>(name)->text(); }
    };

private slots:
    void showsItsTexts() {
        Rig rig;
        QVERIFY(rig.window->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(rig.window->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(rig.text("Label7"), QStringLiteral("Версия 2.0 beta"));
        QCOMPARE(rig.text("Label5"), QStringLiteral("Официальный сайт:"));
        QCOMPARE(rig.text("Label6"), QStringLiteral("www.vigilux.ru"));
        QCOMPARE(rig.text("Label3"), QStringLiteral("E-mail:"));
        QCOMPARE(rig.text("Label4"), QStringLiteral("support@vigilux.ru"));
        QCOMPARE(rig.text("Label1"), QStringLiteral("Автор:"));
        QVERIFY(!rig.text("Label2").isEmpty());
        QCOMPARE(rig.child<PushButton>("okButton")->caption(), QStringLiteral("OK"));
        QCOMPARE(rig.child<PushButton>("updateButton")->caption(),
                 QStringLiteral("Проверить обновление"));
        QVERIFY(rig.child<TitleBarButton>("tb11"));
        QCOMPARE(rig.child<QLabel>("Head")->width(), rig.window->width());

        QVERIFY(rig.window->blinkTimer().isActive());
        QCOMPARE(rig.window->blinkTimer().interval(), 800);
        QVERIFY(rig.window->blinkLabel()->isVisible());
        rig.window->onBlinkTick();
        QVERIFY(!rig.window->blinkLabel()->isVisible());
        rig.window->onBlinkTick();
        QVERIFY(rig.window->blinkLabel()->isVisible());
    }

    void manualCheckWritesOnTheButton_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("questions");
        QTest::newRow("newest") << ScriptedHttpServer::ok("#version info\r\n2.0 beta\r\nx\r\n")
                                << QStringLiteral("Ваша версия самая новая") << 0;
        QTest::newRow("newer") << ScriptedHttpServer::ok(
                                      "#version info\r\n2.1\r\nhttp://www.vigilux.ru/\r\n")
                               << QStringLiteral("Найдена версия 2.1") << 1;
        QTest::newRow("no marker")
            << ScriptedHttpServer::ok("<html></html>") << QStringLiteral("Ошибка проверки!") << 0;
        QTest::newRow("no answer") << QByteArray() << QStringLiteral("Ошибка сети!") << 0;
    }
    void manualCheckWritesOnTheButton() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, caption);
        QFETCH(int, questions);
        Rig rig;
        if (!answer.isEmpty())
            rig.server.replies.enqueue({answer, true});
        QSignalSpy finished(&rig.checker, &UpdateChecker::finished);
        PushButton* button = rig.child<PushButton>("updateButton");
        click(button);
        QCOMPARE(button->caption(), QStringLiteral("Проверка обновления..."));
        QVERIFY(finished.wait(Bound));
        QCOMPARE(button->caption(), caption);
        // A connection closed without an answer is tried once more by Qt.
        QVERIFY(rig.server.connections() >= 1);
        QCOMPARE(rig.dialogs.messages.size(), questions);
        // The manual check leaves the automatic check's date alone.
        QCOMPARE(rig.store.reads + rig.store.writes, 0);
        QVERIFY(rig.opener.opened.isEmpty());
        QVERIFY(rig.window->isVisible());
    }

    void linksOpenSiteAndMail_data() {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QByteArray>("url");
        QTest::newRow("site") << QByteArray("Label6") << QByteArray("http://www.vigilux.ru");
        QTest::newRow("mail") << QByteArray("Label4")
                              << QByteArray("mailto:support@vigilux.ru?subject=Vigilux%202.0");
    }
    void linksOpenSiteAndMail() {
        QFETCH(QByteArray, label);
        QFETCH(QByteArray, url);
        Rig rig;
        click(rig.child<QLabel>(label.constData()));
        QCOMPARE(rig.opener.opened.size(), 1);
        QCOMPARE(rig.opener.opened.first().toEncoded(), url);
        QVERIFY(rig.window->isVisible());
    }

    void mailSubjectSurvivesDecoding() {
        const QUrl mail = AboutWindow::mailTo();
        QCOMPARE(mail.scheme(), QStringLiteral("mailto"));
        QCOMPARE(mail.path(), QStringLiteral("support@vigilux.ru"));
        QCOMPARE(QUrlQuery(mail).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
                 QStringLiteral("Vigilux 2.0"));
    }

    void closesByOkAndByTitleButton_data() {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << QByteArray("okButton") << int(QDialog::Accepted);
        QTest::newRow("tb11") << QByteArray("tb11") << int(QDialog::Rejected);
    }
    void closesByOkAndByTitleButton() {
        QFETCH(QByteArray, control);
        QFETCH(int, result);
        Rig rig;
        rig.window->setResult(-1);
        click(rig.child<QWidget>(control.constData()));
        QVERIFY(!rig.window->isVisible());
        QCOMPARE(rig.window->result(), result);
    }

    void checkOutlivesTheWindow() {
        Rig rig;
        rig.server.replies.enqueue(
            {ScriptedHttpServer::ok("#version info\r\n2.0 beta\r\nx\r\n"), true});
        QSignalSpy finished(&rig.checker, &UpdateChecker::finished);
        click(rig.child<PushButton>("updateButton"));
        click(rig.child<PushButton>("okButton"));
        rig.window.reset();
        // The answer may already be in by now: count it, do not wait for another.
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), Bound);
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
