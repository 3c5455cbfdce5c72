#include "FakeServices.h"
#include "app/LastCheckStore.h"
#include "app/UpdateChecker.h"

#include "platform/UrlOpener.h"
#include <algorithm>

#include "support/FakeClock.h"
#include "support/FakeDialogs.h"
#include "support/PythonHttpServer.h"
#include "support/ScriptedHttpServer.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using vigilux::app::UpdateChecker;
using vigilux::platform::Dialogs;
using vigilux::test::FakeClock;
using vigilux::test::FakeDialogs;
using vigilux::test::PythonHttpServer;
using vigilux::test::ScriptedHttpServer;

namespace {

const QString kWaiting = QStringLiteral("Подождите, идет проверка обновления...");
const QString kNetwork = QStringLiteral("Ошибка сети!");
const QString kCheck = QStringLiteral("Ошибка проверки!");
const QString kNewest = QStringLiteral("Ваша версия самая новая");

class FakeStore final : public vigilux::app::LastCheckStore {
public:
    QString text;
    int reads = 0;
    QList<QDate> writes;
    QString readLastCheck() override {
        ++reads;
        return text;
    }
    void writeLastCheck(const QDate& date) override { writes.append(date); }
};

using FakeOpener = vigilux::test::FakeUrlOpener;

QStringList texts(const QSignalSpy& spy) {
    QStringList out;
    for (const auto& args : spy)
        out.append(args.first().toString());
    return out;
}

QByteArray version(const QByteArray& v,
                   const QByteArray& page = "https://www.vigilux.ru/download") {
    return ScriptedHttpServer::ok("#version info\r\n" + v + "\r\n" + page + "\r\n");
}

} // namespace

class TestUpdateChecker : public QObject {
    Q_OBJECT

    // A checker wired to fakes, a temporary program folder and a scripted
    // server.
    struct Rig {
        QTemporaryDir folder;
        FakeStore store;
        FakeClock clock;
        FakeDialogs dialogs;
        FakeOpener opener;
        ScriptedHttpServer server;
        std::unique_ptr<UpdateChecker> checker;
        std::unique_ptr<QSignalSpy> status, caption, finished;

        Rig() {
            server.listen();
            checker = std::make_unique<UpdateChecker>(
                store, clock, dialogs, opener, folder.path(),
                QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.port())));
            status = std::make_unique<QSignalSpy>(checker.get(), &UpdateChecker::statusText);
            caption = std::make_unique<QSignalSpy>(checker.get(), &UpdateChecker::aboutCaption);
            finished = std::make_unique<QSignalSpy>(checker.get(), &UpdateChecker::finished);
        }
        QDate today() const { return clock.now().date(); }
        QString versionFile() const { return folder.filePath(QStringLiteral("version.tmp")); }
        bool waitFinished() { return finished->size() > 0 || finished->wait(10000); }
    };

private slots:
    void requestCarriesPathAndRandomQuery() {
        Rig rig;
        rig.server.replies.enqueue({version("2.0 beta"), true});
        rig.checker->checkNow();
        QVERIFY(rig.waitFinished());
        QCOMPARE(rig.server.connections(), 1);
        static const QRegularExpression line(
            QStringLiteral("^GET /version/vigilux\\.php\\?rnd=\\d{7} HTTP/1\\.1\r\n"));
        QVERIFY2(line.match(QString::fromLatin1(rig.server.requests.first())).hasMatch(),
                 rig.server.requests.first().constData());

        for (int s = 0; s < 60; ++s)
            QVERIFY(UpdateChecker::rndValue(s).contains(
                QRegularExpression(QStringLiteral("^\\d{7}$"))));
        QCOMPARE(UpdateChecker::rndValue(5), UpdateChecker::rndValue(5));
        QVERIFY(UpdateChecker::rndValue(5) != UpdateChecker::rndValue(6));

        // A base with a path of its own keeps it.
        FakeStore store;
        FakeClock clock;
        FakeDialogs dialogs;
        FakeOpener opener;
        UpdateChecker other(store, clock, dialogs, opener, QDir::tempPath(),
                            QUrl(QStringLiteral("https://mirror.example:8443/base/")));
        QCOMPARE(
            other.requestUrl(QStringLiteral("1234567")).toString(),
            QStringLiteral("https://mirror.example:8443/base/version/vigilux.php?rnd=1234567"));
    }

    void endpointComesFromTheEnvironment() {
        const QByteArray saved = qgetenv("VIGILUX_UPDATE_URL");
        qunsetenv("VIGILUX_UPDATE_URL");
        QCOMPARE(UpdateChecker::defaultEndpoint(), QUrl(QStringLiteral("http://www.vigilux.ru")));
        qputenv("VIGILUX_UPDATE_URL", "http://127.0.0.1:9");
        QCOMPARE(UpdateChecker::defaultEndpoint(), QUrl(QStringLiteral("http://127.0.0.1:9")));
        // The command line wins over the environment.
        const QString cli = QStringLiteral("http://127.0.0.1:7");
        QCOMPARE(UpdateChecker::endpointFor(
                     {QStringLiteral("vigilux"), QStringLiteral("--update-url"), cli}),
                 QUrl(cli));
        QCOMPARE(UpdateChecker::endpointFor(
                     {QStringLiteral("--demo"), QStringLiteral("--update-url=") + cli}),
                 QUrl(cli));
        QCOMPARE(UpdateChecker::endpointFor({QStringLiteral("vigilux"), QStringLiteral("--demo")}),
                 QUrl(QStringLiteral("http://127.0.0.1:9")));
        if (saved.isEmpty())
            qunsetenv("VIGILUX_UPDATE_URL");
        else
            qputenv("VIGILUX_UPDATE_URL", saved);
    }

    void sevenDayRule_data() {
        QTest::addColumn<QString>("stored"); // "" or "garbage" or a day offset "+N"/"-N"
        QTest::addColumn<bool>("checks");
        QTest::newRow("six days ago") << "-6" << false;
        QTest::newRow("today") << "+0" << false;
        QTest::newRow("seven days ago") << "-7" << true;
        QTest::newRow("a year ago") << "-365" << true;
        QTest::newRow("in the future") << "+30" << false;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("unreadable") << "вчера" << true;
        QTest::newRow("impossible date") << "31.02.2026" << true;
    }
    void sevenDayRule() {
        QFETCH(QString, stored);
        QFETCH(bool, checks);
        Rig rig;
        bool isOffset = false;
        const int offset = stored.toInt(&isOffset);
        rig.store.text = isOffset && !stored.isEmpty()
                             ? QLocale().toString(rig.today().addDays(offset), QLocale::ShortFormat)
                             : stored;
        rig.server.replies.enqueue({version("2.0 beta"), true});
        rig.checker->delayTimer().start();
        rig.checker->checkInBackground();
        QVERIFY(!rig.checker->delayTimer().isActive());
        QCOMPARE(rig.store.reads, 1);
        if (!checks) {
            QVERIFY(!rig.checker->isBusy());
            QVERIFY(rig.status->isEmpty());
            QVERIFY(rig.store.writes.isEmpty());
            QTest::qWait(200);
            QCOMPARE(rig.server.connections(), 0);
            return;
        }
        // Written before the download, so it counts even if the check fails.
        QCOMPARE(rig.store.writes, QList<QDate>{rig.today()});
        QCOMPARE(rig.server.connections(), 0);
        QVERIFY(rig.waitFinished());
        QCOMPARE(texts(*rig.status), (QStringList{kWaiting, kNewest}));
        QVERIFY(rig.caption->isEmpty());
    }

    void futureDateHoldsUntilSevenDaysAfterIt() {
        Rig rig;
        rig.store.text = QLocale().toString(rig.today().addDays(10), QLocale::ShortFormat);
        rig.clock.setNow(rig.clock.now().addDays(16));
        rig.checker->checkInBackground();
        QVERIFY(!rig.checker->isBusy());
        rig.clock.setNow(rig.clock.now().addDays(1));
        rig.server.replies.enqueue({version("2.0 beta"), true});
        rig.checker->checkInBackground();
        QVERIFY(rig.checker->isBusy());
        QVERIFY(rig.waitFinished());
    }

    void storedDatesAreRead_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        QTest::newRow("ru short") << "ru_RU"
                                  << "06.12.2026" << QDate(2026, 12, 6);
        QTest::newRow("us two-digit year") << "en_US"
                                           << "12/6/26" << QDate(2026, 12, 6);
        QTest::newRow("iso") << "en_US"
                             << "2026-12-06" << QDate(2026, 12, 6);
        QTest::newRow("dotted under another locale") << "en_US"
                                                     << "06.12.2026" << QDate(2026, 12, 6);
        QTest::newRow("garbage") << "ru_RU"
                                 << "скоро" << QDate();
    }
    void storedDatesAreRead() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const QDate parsed = UpdateChecker::parseStoredDate(text);
        QLocale::setDefault(saved);
        QCOMPARE(parsed, date);
    }

    void responses_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("close");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("asks");
        QTest::newRow("same version") << version("2.0 beta") << true << kNewest << false;
        QTest::newRow("other version")
            << version("2.1") << true << QStringLiteral("Найдена версия 2.1") << true;
        QTest::newRow("trailing space counts")
            << version("2.0 beta ") << true << QStringLiteral("Найдена версия 2.0 beta ") << true;
        QTest::newRow("case counts")
            << version("2.0 Beta") << true << QStringLiteral("Найдена версия 2.0 Beta") << true;
        QTest::newRow("older counts as other")
            << version("1.9") << true << QStringLiteral("Найдена версия 1.9") << true;
        QTest::newRow("Windows-1251 text") << version("2.1 \xE1\xE5\xF2\xE0") << true
                                           << QStringLiteral("Найдена версия 2.1 бета") << true;
        QTest::newRow("no page line") << ScriptedHttpServer::ok("#version info\r\n2.2") << true
                                      << QStringLiteral("Найдена версия 2.2") << true;
        QTest::newRow("line break inside the version")
            << version("2.1\nЗапустите setup.exe") << true << kCheck << false;
        QTest::newRow("CR inside the version") << version("2.1\rx") << true << kCheck << false;
        QTest::newRow("control character") << version("2.1\x07") << true << kCheck << false;
        QTest::newRow("64 characters")
            << version(QByteArray(64, 'v')) << true
            << QStringLiteral("Найдена версия ") + QString(64, u'v') << true;
        QTest::newRow("65 characters") << version(QByteArray(65, 'v')) << true << kCheck << false;
        QTest::newRow("60 KB version")
            << version(QByteArray(60000, 'v')) << true << kCheck << false;
        QTest::newRow("LF only") << ScriptedHttpServer::ok("#version info\n2.1\nhttp://x/\n")
                                 << true << kCheck << false;
        QTest::newRow("no marker")
            << ScriptedHttpServer::ok("<html>hi</html>") << true << kCheck << false;
        QTest::newRow("empty") << ScriptedHttpServer::ok("") << true << kCheck << false;
        QTest::newRow("marker only")
            << ScriptedHttpServer::ok("#version info") << true << kCheck << false;
        QTest::newRow("marker and empty version")
            << ScriptedHttpServer::ok("#version info\r\n\r\nhttp://x/") << true << kCheck << false;
        QTest::newRow("not found") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n"
                                                 "Connection: close\r\n\r\n")
                                   << true << kNetwork << false;
        QTest::newRow("broken header")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Le") << true << kNetwork << false;
        QTest::newRow("cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"
                                                 "#version info\r\n")
                                   << true << kNetwork << false;
        QTest::newRow("huge") << ScriptedHttpServer::ok("#version info\r\n2.1\r\n" +
                                                        QByteArray(70000, 'x'))
                              << true << kNetwork << false;
        QTest::newRow("huge without length")
            << QByteArray("HTTP/1.0 200 OK\r\n\r\n#version info\r\n2.1\r\n" +
                          QByteArray(200000, 'x'))
            << true << kNetwork << false;
        QTest::newRow("never answers") << QByteArray() << false << kNetwork << false;
    }
    void responses() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, close);
        QFETCH(QString, result);
        QFETCH(bool, asks);
        Rig rig;
        rig.checker->setTimeoutMs(1500);
        rig.server.replies.enqueue({reply, close});
        rig.checker->checkInBackground();
        QVERIFY(rig.waitFinished());
        QCOMPARE(texts(*rig.status), (QStringList{kWaiting, result}));
        QCOMPARE(rig.dialogs.messages.size(), asks ? 1 : 0);
        QVERIFY(rig.opener.opened.isEmpty()); // the fake answers No
        QVERIFY(!QFile::exists(rig.versionFile()));
        QCOMPARE(rig.store.writes, QList<QDate>{rig.today()});
        QVERIFY(!rig.checker->isBusy());
    }

    void newVersionOffersThePage_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("opens");
        QTest::newRow("https") << QByteArray("https://www.vigilux.ru/download?v=2.1") << true;
        QTest::newRow("http") << QByteArray("http://www.vigilux.ru/") << true;
        QTest::newRow("file") << QByteArray("file:///etc/passwd") << false;
        QTest::newRow("program") << QByteArray("/usr/bin/xterm") << false;
        QTest::newRow("other scheme") << QByteArray("javascript:alert(1)") << false;
        QTest::newRow("no host") << QByteArray("http:///x") << false;
        QTest::newRow("space") << QByteArray("http://www.vigilux.ru/a b") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void newVersionOffersThePage() {
        QFETCH(QByteArray, page);
        QFETCH(bool, opens);
        Rig rig;
        rig.server.replies.enqueue({version("2.1", page), true});
        rig.dialogs.answers.enqueue(Dialogs::Answer::Yes);
        rig.checker->checkNow();
        QVERIFY(rig.waitFinished());
        QVERIFY(rig.dialogs.messages.size() >= 1);
        const auto& ask = rig.dialogs.messages.first();
        QCOMPARE(ask.title, QStringLiteral("Новая версия"));
        QCOMPARE(ask.text, QStringLiteral("Найдена более новая версия: 2.1\n\n"
                                          "Открыть страницу скачивания программы?"));
        QCOMPARE(ask.icon, Dialogs::Icon::Question);
        QCOMPARE(ask.buttons, Dialogs::Buttons::YesNo);
        if (opens) {
            QCOMPARE(rig.opener.opened, QList<QUrl>{QUrl(QString::fromLatin1(page))});
            QCOMPARE(rig.dialogs.messages.size(), 1);
        } else {
            QVERIFY(rig.opener.opened.isEmpty());
            QCOMPARE(rig.dialogs.messages.size(), 2);
            QCOMPARE(rig.dialogs.messages.at(1).icon, Dialogs::Icon::Error);
        }
    }

    void manualCheckIgnoresLastCheckAndReportsOnTheButton() {
        Rig rig;
        rig.store.text = QLocale().toString(rig.today(), QLocale::ShortFormat);
        rig.server.replies.enqueue({version("2.0 beta"), true});
        rig.server.replies.enqueue({version("2.1"), true});
        rig.checker->checkNow();
        QVERIFY(rig.waitFinished());
        rig.checker->checkNow();
        QVERIFY(rig.finished->size() == 2 || rig.finished->wait(10000));
        QCOMPARE(rig.server.connections(), 2);
        QCOMPARE(rig.store.reads, 0);
        QVERIFY(rig.store.writes.isEmpty());
        QVERIFY(rig.status->isEmpty());
        const QString busy = QStringLiteral("Проверка обновления...");
        QCOMPARE(texts(*rig.caption),
                 (QStringList{busy, kNewest, busy, QStringLiteral("Найдена версия 2.1")}));
    }

    void versionFileIsKeptOrRemoved_data() {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("remains");
        const QByteArray foreign = ScriptedHttpServer::ok("not a version file");
        const QByteArray notFound("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        QTest::newRow("auto, answered") << false << version("2.0 beta") << false;
        QTest::newRow("auto, check error") << false << foreign << false;
        QTest::newRow("auto, network error") << false << notFound << false;
        QTest::newRow("manual, answered") << true << version("2.0 beta") << false;
        QTest::newRow("manual, check error keeps it") << true << foreign << true;
        QTest::newRow("manual, network error") << true << notFound << false;
    }
    void versionFileIsKeptOrRemoved() {
        QFETCH(bool, manual);
        QFETCH(QByteArray, reply);
        QFETCH(bool, remains);
        Rig rig;
        {
            // A stale file from an earlier run never stands in for an answer.
            QFile stale(rig.versionFile());
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("#version info\r\n9.9\r\n");
        }
        rig.server.replies.enqueue({reply, true});
        if (manual)
            rig.checker->checkNow();
        else
            rig.checker->checkInBackground();
        QVERIFY(rig.waitFinished());
        QCOMPARE(QFile::exists(rig.versionFile()), remains);
        if (remains) {
            QFile kept(rig.versionFile());
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("not a version file"));
        }
        QVERIFY(rig.dialogs.messages.isEmpty());
    }

    void oneCheckAtATime() {
        Rig rig;
        rig.checker->setTimeoutMs(800);
        rig.server.replies.enqueue({QByteArray(), false}); // never answers
        rig.checker->checkInBackground();
        QVERIFY(rig.checker->isBusy());
        rig.checker->checkNow();
        QVERIFY(rig.caption->isEmpty());
        QVERIFY(rig.waitFinished());
        QCOMPARE(rig.finished->size(), 1);
        QCOMPARE(rig.server.connections(), 1);
        QCOMPARE(texts(*rig.status), (QStringList{kWaiting, kNetwork}));
    }

    // A redirect on the update site is followed; one to another host is not
    // even connected to, and the check fails as a network error.
    void redirectsStayOnTheSite() {
        Rig rig;
        const QByteArray moved = "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" +
                                 QByteArray::number(rig.server.port()) +
                                 "/v2/vigilux.php\r\nContent-Length: 0\r\n\r\n";
        rig.server.replies.enqueue({moved, true});
        rig.server.replies.enqueue({version("2.1"), true});
        rig.checker->checkInBackground();
        QVERIFY(rig.waitFinished());
        QCOMPARE(texts(*rig.status), (QStringList{kWaiting, QStringLiteral("Найдена версия 2.1")}));
        // Qt may open a spare connection; one of them asked for the new place.
        QVERIFY(
            std::any_of(rig.server.requests.cbegin(), rig.server.requests.cend(),
                        [](const QByteArray& r) { return r.startsWith("GET /v2/vigilux.php"); }));

        ScriptedHttpServer elsewhere;
        QVERIFY(elsewhere.listen());
        elsewhere.replies.enqueue({version("6.6.6"), true});
        Rig away;
        away.server.replies.enqueue({"HTTP/1.1 302 Found\r\nLocation: http://localhost:" +
                                         QByteArray::number(elsewhere.port()) +
                                         "/\r\nContent-Length: 0\r\n\r\n",
                                     true});
        away.checker->checkInBackground();
        QVERIFY(away.waitFinished());
        QCOMPARE(texts(*away.status), (QStringList{kWaiting, kNetwork}));
        QCOMPARE(elsewhere.connections(), 0);
        QVERIFY(away.dialogs.messages.isEmpty());

        const QUrl site(QStringLiteral("http://www.vigilux.ru"));
        QVERIFY(UpdateChecker::isSameSite(site, QUrl(QStringLiteral("https://WWW.vigilux.ru/x"))));
        QVERIFY(!UpdateChecker::isSameSite(site, QUrl(QStringLiteral("http://vigilux.ru.evil/"))));
        QVERIFY(!UpdateChecker::isSameSite(site, QUrl(QStringLiteral("file:///etc/passwd"))));
        QVERIFY(
            !UpdateChecker::isSameSite(site, QUrl(QStringLiteral("http://www.vigilux.ru:8080/"))));
    }

    void unreachableServerIsANetworkError() {
        Rig rig;
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        UpdateChecker checker(rig.store, rig.clock, rig.dialogs, rig.opener, rig.folder.path(),
                              QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port)));
        QSignalSpy caption(&checker, &UpdateChecker::aboutCaption);
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        checker.checkNow();
        QVERIFY(finished.wait(10000));
        QCOMPARE(caption.last().first().toString(), kNetwork);
    }

    void realHttpServerOffersANewVersion() {
        QTemporaryDir site;
        QVERIFY(QDir(site.path()).mkpath(QStringLiteral("version")));
        QFile php(site.filePath(QStringLiteral("version/vigilux.php")));
        QVERIFY(php.open(QIODevice::WriteOnly));
        php.write("#version info\r\n2.1 final\r\nhttps://www.vigilux.ru/download\r\nextra\r\n");
        php.close();
        PythonHttpServer python;
        QVERIFY(python.start(site.path()));

        Rig rig;
        UpdateChecker checker(rig.store, rig.clock, rig.dialogs, rig.opener, rig.folder.path(),
                              QUrl(QStringLiteral("http://127.0.0.1:%1").arg(python.port())));
        QSignalSpy status(&checker, &UpdateChecker::statusText);
        QSignalSpy finished(&checker, &UpdateChecker::finished);
        rig.dialogs.answers.enqueue(Dialogs::Answer::Yes);
        checker.checkInBackground();
        QVERIFY(finished.wait(10000));
        QCOMPARE(texts(status),
                 (QStringList{kWaiting, QStringLiteral("Найдена версия 2.1 final")}));
        QCOMPARE(rig.opener.opened,
                 QList<QUrl>{QUrl(QStringLiteral("https://www.vigilux.ru/download"))});
    }
};

QTEST_GUILESS_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
