#include "FakeCaptureCommands.h"
#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "FakeServices.h"
#include "NetTestHelpers.h"
#include "controls/CheckBox.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/IniFile.h"
#include "core/SettingsStorage.h"
#include "core/SettingsTable.h"
#include "ui/MainWindow.h"
#include "ui/ProgramOptionsWindow.h"
#include "ui/RemoteViewWiring.h"
#include "web/PasswordHash.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSpinBox>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;
using controls::PushButton;

namespace {

const QString Password = QStringLiteral("кот в сапогах 7");

class NoTarget final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(core::DetectorValue, qint32) override {}
};

// The program over fakes, its settings in a temporary folder, its remote
// view on loopback only.
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
    QStringList status;

    Rig() {
        context.ini.setFileName(dir.filePath(QStringLiteral("options.ini")));
        context.settingsFolder = dir.path();
        context.settings.savePath = dir.path();
        main = std::make_unique<ui::MainWindow>(
            context,
            ui::MainWindow::Services{tray, sound, processes, urls, video::CaptureSource::demo(),
                                     [this](const video::CaptureSource&) {
                                         auto d = std::make_unique<test::FakeCaptureDevice>();
                                         device = d.get();
                                         return std::unique_ptr<video::CaptureDevice>(std::move(d));
                                     },
                                     [] { return QStringList(); }, [] { return 6; },
                                     QUrl(QStringLiteral("http://127.0.0.1:1"))});
        remote().setListenAddress(QHostAddress::LocalHost);
    }
    ui::RemoteViewWiring& remote() { return main->remoteView(); }
    void switchOn(quint16 port) {
        context.settings.remoteOn = true;
        context.settings.remotePort = port;
        context.settings.remotePasswordHash =
            QString::fromLatin1(web::PasswordHash::make(Password));
    }
    QString statusText() { return main->findChild<QLabel*>(QStringLiteral("statusLine"))->text(); }
};

// An HTTPS client that trusts exactly the certificate the program shows as
// its fingerprint, as the user comparing it on the phone would.
struct Client {
    QNetworkAccessManager nam;
    QString fingerprint;
    QByteArray cookie;

    explicit Client(QString pinned)
        : fingerprint(std::move(pinned)) {
        QObject::connect(&nam, &QNetworkAccessManager::sslErrors, &nam,
                         [this](QNetworkReply* reply, const QList<QSslError>& errors) {
                             const QSslCertificate peer =
                                 reply->sslConfiguration().peerCertificate();
                             if (peer.digest(QCryptographicHash::Sha256).toHex(':').toUpper() ==
                                 fingerprint.toLatin1())
                                 reply->ignoreSslErrors(errors);
                         });
    }
    QNetworkReply* send(quint16 port, const QByteArray& path, const QByteArray& body = {}) {
        QNetworkRequest request(
            QUrl(QStringLiteral("https://127.0.0.1:%1").arg(port) + QString::fromLatin1(path)));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        if (!cookie.isEmpty())
            request.setRawHeader("Cookie", cookie);
        if (body.isNull())
            return nam.get(request);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        return nam.post(request, body);
    }
    // The status of a finished request, or 0 when it failed to connect.
    int status(quint16 port, const QByteArray& path, const QByteArray& body = {}) {
        std::unique_ptr<QNetworkReply> reply(send(port, path, body));
        if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 60000))
            return -1;
        if (path == "/login" && !body.isNull())
            cookie = reply->rawHeader("Set-Cookie").split(';').first();
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
};

// The centre colour of the next whole picture in a multipart stream after
// `from`, or an invalid colour while none has arrived.
QColor pictureIn(const QByteArray& stream, qsizetype& from) {
    const qsizetype head = stream.indexOf("Content-Length: ", from);
    const qsizetype end = head < 0 ? -1 : stream.indexOf("\r\n\r\n", head);
    if (end < 0)
        return {};
    const qsizetype size = stream.mid(head + 16, end - head - 16).toLongLong();
    if (stream.size() < end + 4 + size)
        return {};
    const QImage picture = QImage::fromData(stream.mid(end + 4, size), "JPG");
    from = end + 4 + size;
    return picture.isNull() ? QColor() : picture.pixelColor(picture.rect().center());
}

bool near(const QColor& a, const QColor& b) {
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 &&
           qAbs(a.blue() - b.blue()) < 40;
}

} // namespace

class RemoteAccessTest final : public QObject {
    Q_OBJECT

private slots:
    // The page keeps only the password's hash, and refuses what would lock
    // the user out or leave the page open to anyone.
    void passwordOnThePage_data() {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("before"); // the password whose hash is kept already
        QTest::addColumn<QString>("refusal");
        QTest::newRow("new password") << true << Password << Password << QString() << QString();
        QTest::newRow("empty fields keep it") << true << ""
                                              << "" << Password << QString();
        QTest::newRow("changed") << false << "другой пароль"
                                 << "другой пароль" << Password << QString();
        QTest::newRow("repeat differs")
            << true << Password << "кот в сапогах 8" << QString() << "не совпадают";
        QTest::newRow("too short") << true << "1234567"
                                   << "1234567" << QString() << "не короче";
        QTest::newRow("on, no password") << true << ""
                                         << "" << QString() << "Задайте пароль";
    }
    void passwordOnThePage() {
        QFETCH(bool, on);
        QFETCH(QString, typed);
        QFETCH(QString, repeat);
        QFETCH(QString, before);
        QFETCH(QString, refusal);
        Rig rig;
        NoTarget target;
        core::SettingsStorage storage(rig.context, target);
        test::FakeCaptureCommands capture;
        if (!before.isEmpty())
            rig.switchOn(test::closedPort());
        rig.context.settings.remotePort = test::closedPort();
        QPointer<ui::ProgramOptionsWindow> window =
            new ui::ProgramOptionsWindow(rig.context, storage, capture, {});
        rig.remote().addPageTo(*window);
        window->show();
        window->findChild<controls::CheckBox*>(QStringLiteral("RemoteOn"))->setValue(on);
        window->findChild<QLineEdit*>(QStringLiteral("RemotePassword"))->setText(typed);
        window->findChild<QLineEdit*>(QStringLiteral("RemotePasswordRepeat"))->setText(repeat);
        QTest::mouseClick(window->findChild<PushButton*>(QStringLiteral("okButton")),
                          Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(window->isVisible(), !refusal.isEmpty());
        delete window.data();

        QFile file(rig.context.ini.fileName());
        const QByteArray written = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QVERIFY(!written.contains(typed.toUtf8()) || typed.isEmpty());
        if (!refusal.isEmpty()) {
            QCOMPARE(rig.dialogs.messages.size(), 1);
            QVERIFY(rig.dialogs.messages.first().text.contains(refusal));
            QVERIFY(!written.contains("[Remote]"));
            return;
        }
        // What the next start reads back.
        core::Settings loaded;
        core::SettingsTable<core::Settings>::load(rig.context.ini, loaded);
        QCOMPARE(loaded.remoteOn, on);
        const QString expected = typed.isEmpty() ? before : typed;
        QVERIFY(web::PasswordHash::matches(loaded.remotePasswordHash.toLatin1(), expected));
        QVERIFY(loaded.remotePasswordHash.startsWith(QLatin1String("$argon2id$")));
        QCOMPARE(rig.remote().isRunning(), on);
    }

    // A setting the server cannot start with is one line in the status
    // line; the program goes on.
    void startFailures_data() {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("status");
        QTest::newRow("off by default") << "off" << QString();
        QTest::newRow("port in use") << "port"
                                     << "Не удалось открыть порт";
        QTest::newRow("broken certificate") << "certificate"
                                            << "Сертификат или ключ повреждён";
        QTest::newRow("no password") << "password"
                                     << "Не задан пароль";
    }
    void startFailures() {
        QFETCH(QString, problem);
        QFETCH(QString, status);
        Rig rig;
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        if (problem != QLatin1String("off"))
            rig.switchOn(problem == QLatin1String("port") ? taken.serverPort() : 0);
        if (problem == QLatin1String("certificate")) {
            QFile junk(rig.dir.filePath(QStringLiteral("mine.pem")));
            QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a certificate") > 0);
            rig.context.settings.remoteCertificate = junk.fileName();
            rig.context.settings.remoteKey = junk.fileName();
        }
        if (problem == QLatin1String("password"))
            rig.context.settings.remotePasswordHash.clear();
        rig.main->startCapture();
        QVERIFY(!rig.remote().isRunning());
        if (status.isEmpty()) {
            QVERIFY(!rig.statusText().contains(QStringLiteral("Удалённый")));
            QVERIFY(!QFile::exists(rig.dir.filePath(QStringLiteral("remote-view.crt"))));
        } else {
            QVERIFY2(
                rig.statusText().contains(QStringLiteral("Удалённый доступ не запущен: ") + status),
                qPrintable(rig.statusText()));
        }
    }

    // Switched on, the program serves its live picture to a logged-in phone;
    // switched off, nothing listens.
    void livePictureFollowsTheSettings() {
        Rig rig;
        rig.switchOn(0);
        rig.main->startCapture();
        QVERIFY2(rig.remote().isRunning(), qPrintable(rig.remote().error()));
        const quint16 port = rig.remote().port();
        Client client(rig.remote().fingerprint());
        QCOMPARE(client.status(port, "/live.mjpg"), 401);
        QCOMPARE(client.status(port, "/login", "password=" + QUrl::toPercentEncoding(Password)),
                 303);

        QColor colour(Qt::red);
        QTimer camera;
        connect(&camera, &QTimer::timeout, this, [&] {
            QImage frame(320, 240, QImage::Format_RGB888);
            frame.fill(colour);
            rig.device->pushFrame(frame);
        });
        camera.start(50);
        std::unique_ptr<QNetworkReply> live(client.send(port, "/live.mjpg"));
        QByteArray stream;
        qsizetype read = 0;
        // Each picture is read once: the stream repeats none.
        const auto arrives = [&](const QColor& wanted) {
            return QTest::qWaitFor(
                [&] {
                    stream += live->readAll();
                    return near(pictureIn(stream, read), wanted);
                },
                30000);
        };
        QVERIFY(arrives(Qt::red));
        colour = Qt::blue; // the picture is live, not one kept from before
        QVERIFY(arrives(Qt::blue));
        live->abort();

        rig.context.settings.remoteOn = false;
        rig.remote().apply();
        QVERIFY(!rig.remote().isRunning());
        QCOMPARE(client.status(port, "/login"), 0);
    }
};

QTEST_MAIN(RemoteAccessTest)
#include "tst_remote_access.moc"
