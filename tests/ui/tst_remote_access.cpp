#include "FakeCaptureCommands.h"
#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeServices.h"
#include "NetTestHelpers.h"
#include "controls/CheckBox.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "core/SettingsTable.h"
#include "ui/MainWindow.h"
#include "ui/ProgramOptionsWindow.h"
#include "web/PasswordHash.h"

#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

const QString Password = QStringLiteral("кот в сапогах 7");

// The program over fakes in a temporary folder, its remote view on loopback.
struct Rig {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    test::FakeTrayBackend tray;
    test::FakeSoundOutput sound;
    test::FakeProcesses processes;
    test::FakeUrlOpener urls;
    test::FakeCaptureDevice* device = nullptr;
    std::unique_ptr<ui::MainWindow> main;

    Rig() {
        context.ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        context.settings.savePath = dir.path();
        auto factory =
            [this](const video::CaptureSource&) -> std::unique_ptr<video::CaptureDevice> {
            auto d = std::make_unique<test::FakeCaptureDevice>();
            device = d.get();
            return d;
        };
        main = std::make_unique<ui::MainWindow>(
            context,
            ui::MainWindow::Services{tray, sound, processes, urls, video::CaptureSource::demo(),
                                     factory, [] { return QStringList(); }, [] { return 6; },
                                     QUrl(QStringLiteral("http://127.0.0.1:1"))});
        main->remoteView().setListenAddress(QHostAddress::LocalHost);
    }
    void switchOn(quint16 port) {
        context.settings.remoteOn = true;
        context.settings.remotePort = port;
        context.settings.remotePasswordHash =
            QString::fromLatin1(web::PasswordHash::make(Password));
    }
};

// A request over HTTPS trusting exactly the certificate whose fingerprint
// the program shows, as the user comparing it on the phone would.
QNetworkReply* send(QNetworkAccessManager& nam, const QString& pinned, quint16 port,
                    const QByteArray& path, const QByteArray& cookie, const QByteArray& body = {}) {
    QNetworkRequest request(QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port).arg(path)));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Cookie", cookie);
    QNetworkReply* reply = body.isNull() ? nam.get(request) : nam.post(request, body);
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply, pinned](const auto& errors) {
        const QSslCertificate peer = reply->sslConfiguration().peerCertificate();
        if (peer.digest(QCryptographicHash::Sha256).toHex(':').toUpper() == pinned.toLatin1())
            reply->ignoreSslErrors(errors);
    });
    return reply;
}

// The centre's lightness in the next whole picture of a stream after `from`.
int pictureIn(const QByteArray& stream, qsizetype& from) {
    const qsizetype head = stream.indexOf("Content-Length: ", from);
    const qsizetype end = head < 0 ? -1 : stream.indexOf("\r\n\r\n", head);
    const qsizetype size = end < 0 ? 0 : stream.mid(head + 16, end - head - 16).toLongLong();
    if (end < 0 || stream.size() < end + 4 + size)
        return -1;
    from = end + 4 + size;
    const QImage picture = QImage::fromData(stream.mid(end + 4, size), "JPG");
    return picture.isNull() ? -1 : picture.pixelColor(picture.rect().center()).lightness();
}

} // namespace

class RemoteAccessTest final : public QObject {
    Q_OBJECT

private slots:
    // The page keeps only the password's hash, and refuses what would lock
    // the user out or leave the page open to a guess.
    void passwordOnThePage_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("before"); // the password whose hash is kept already
        QTest::addColumn<QString>("refusal");
        QTest::newRow("new") << true << Password << Password << QString() << QString();
        QTest::newRow("empty fields keep it")
            << true << QString() << QString() << Password << QString();
        QTest::newRow("repeat differs")
            << true << Password << "кот в сапогах 8" << QString() << "не совпадают";
        QTest::newRow("too short")
            << true << QStringLiteral("1234567") << "1234567" << QString() << "не короче";
        QTest::newRow("on, no password")
            << true << QString() << QString() << QString() << "Задайте пароль";
    }
    void passwordOnThePage() {
        QFETCH(bool, on);
        QFETCH(QString, typed);
        QFETCH(QString, repeat);
        QFETCH(QString, before);
        QFETCH(QString, refusal);
        Rig rig;
        core::SettingsStorage storage(rig.context, *rig.main);
        test::FakeCaptureCommands capture;
        if (!before.isEmpty())
            rig.switchOn(0);
        rig.context.settings.remotePort = test::closedPort();
        auto* window = new ui::ProgramOptionsWindow(rig.context, storage, capture, {});
        rig.main->remoteView().addPageTo(*window);
        window->show();
        window->findChild<controls::CheckBox*>(QStringLiteral("RemoteOn"))->setValue(on);
        window->findChild<QLineEdit*>(QStringLiteral("RemotePassword"))->setText(typed);
        window->findChild<QLineEdit*>(QStringLiteral("RemotePasswordRepeat"))->setText(repeat);
        QTest::mouseClick(window->findChild<QWidget*>(QStringLiteral("okButton")), Qt::LeftButton,
                          {}, QPoint(4, 4));
        QCOMPARE(window->isVisible(), !refusal.isEmpty());
        delete window;

        QFile file(rig.context.ini.fileName());
        const QByteArray written = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QVERIFY(typed.isEmpty() || !written.contains(typed.toUtf8()));
        if (!refusal.isEmpty()) {
            QCOMPARE(rig.dialogs.messages.size(), 1);
            QVERIFY(rig.dialogs.messages.first().text.contains(refusal));
            QVERIFY(!written.contains("[Remote]"));
            return;
        }
        core::Settings loaded; // what the next start reads
        core::SettingsTable<core::Settings>::load(rig.context.ini, loaded);
        QCOMPARE(loaded.remoteOn, on);
        QVERIFY(web::PasswordHash::matches(loaded.remotePasswordHash.toLatin1(),
                                           typed.isEmpty() ? before : typed));
        QCOMPARE(rig.main->remoteView().isRunning(), on);
    }

    // Off, nothing runs and nothing is made; a port in use is one status
    // line, and the program goes on.
    void offOrPortInUse_data() {
        QTest::addColumn<bool>("on");
        QTest::newRow("off by default") << false;
        QTest::newRow("port in use") << true;
    }
    void offOrPortInUse() {
        QFETCH(bool, on);
        Rig rig;
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        if (on)
            rig.switchOn(taken.serverPort());
        rig.main->startCapture();
        QVERIFY(!rig.main->remoteView().isRunning());
        const QString line = rig.main->findChild<QLabel*>(QStringLiteral("statusLine"))->text();
        QCOMPARE(
            line.contains(QStringLiteral("Удалённый доступ не запущен: Не удалось открыть порт")),
            on);
        QCOMPARE(QFile::exists(rig.dir.filePath(QStringLiteral("remote-view.crt"))), on);
    }

    // Switched on, the program serves its live picture to a logged-in phone;
    // switched off, nothing listens.
    void livePictureFollowsTheSettings() {
        Rig rig;
        rig.switchOn(0);
        rig.main->startCapture();
        ui::RemoteViewWiring& remote = rig.main->remoteView();
        QVERIFY2(remote.isRunning(), qPrintable(remote.error()));
        const quint16 port = remote.port();
        QNetworkAccessManager nam;
        const auto finished = [&](QNetworkReply* reply) {
            static_cast<void>(QTest::qWaitFor([reply] { return reply->isFinished(); }, 60000));
            reply->deleteLater();
            return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        };
        QNetworkReply* login = send(nam, remote.fingerprint(), port, "/login", {},
                                    "password=" + QUrl::toPercentEncoding(Password));
        QCOMPARE(finished(login), 303);
        const QByteArray cookie = login->rawHeader("Set-Cookie").split(';').first();

        std::unique_ptr<QNetworkReply> live(
            send(nam, remote.fingerprint(), port, "/live.mjpg", cookie));
        QByteArray stream;
        qsizetype read = 0;
        const auto arrives = [&](int lightness) { // the camera's frames, each picture read once
            QImage frame(320, 240, QImage::Format_Grayscale8);
            frame.fill(QColor::fromHsl(0, 0, lightness));
            return QTest::qWaitFor(
                [&] {
                    rig.device->pushFrame(frame);
                    return qAbs(pictureIn(stream += live->readAll(), read) - lightness) < 30;
                },
                30000);
        };
        QVERIFY(arrives(230));
        QVERIFY(arrives(20)); // live, not a picture kept from before
        live->abort();

        rig.context.settings.remoteOn = false;
        remote.apply();
        QVERIFY(!remote.isRunning());
        QCOMPARE(finished(send(nam, remote.fingerprint(), port, "/login", {})), 0);
    }
};

QTEST_MAIN(RemoteAccessTest)
#include "tst_remote_access.moc"
