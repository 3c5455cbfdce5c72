#include "FakeCaptureDevice.h"
#include "FakeDialogs.h"
#include "ui/FormatDialog.h"
#include "ui/SourceDialog.h"

#include "NetTestHelpers.h"
#include "VideoTools.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using vigilux::test::FakeCaptureDevice;
using vigilux::test::FakeDialogs;
using vigilux::ui::FormatDialog;
using vigilux::ui::SourceDialog;
using vigilux::video::CaptureDevice;
using vigilux::video::CaptureSource;

Q_DECLARE_METATYPE(CaptureSource)

namespace {

void click(QDialog& d, const char* button) {
    auto* b = d.findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY(b);
    QTest::mouseClick(b, Qt::LeftButton);
}

QListWidget* list(QDialog& d, const char* name) {
    return d.findChild<QListWidget*>(QString::fromLatin1(name));
}

QLineEdit* edit(QDialog& d, const char* name) {
    return d.findChild<QLineEdit*>(QString::fromLatin1(name));
}

constexpr int NetworkRow = 4; // after two cameras, the demo and the file

} // namespace

class TestCaptureDialogs : public QObject {
    Q_OBJECT
private slots:
    void formatTexts_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("pixel");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole rate")
            << QSize(640, 480) << "NV12" << 30.0 << QStringLiteral("640 x 480, NV12, 30 fps");
        QTest::newRow("NTSC rate")
            << QSize(1280, 720) << "YUYV" << 29.97 << QStringLiteral("1280 x 720, YUYV, 29.97 fps");
        QTest::newRow("slow") << QSize(160, 120) << "MJPEG" << 7.5
                              << QStringLiteral("160 x 120, MJPEG, 7.5 fps");
    }
    void formatTexts() {
        QFETCH(QSize, size);
        QFETCH(QString, pixel);
        QFETCH(double, rate);
        QFETCH(QString, text);
        QCOMPARE(FormatDialog::formatText({size, pixel, rate}), text);
    }

    void formatDialogAppliesTheChosenFormat() {
        FakeCaptureDevice device;
        FakeDialogs dialogs;
        device.acceptedSizes = {QSize(320, 240), QSize(640, 480), QSize(800, 600)};
        FormatDialog d(device, dialogs);
        QCOMPARE(d.windowTitle(), QStringLiteral("Формат видео"));
        QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("cancelButton"))->text(),
                 QStringLiteral("Отмена"));
        QListWidget* l = list(d, "formatList");
        QCOMPARE(l->count(), 3);
        QCOMPARE(l->item(0)->text(), QStringLiteral("320 x 240, RGB24, 25 fps"));
        QCOMPARE(l->currentRow(), 1); // the size in force is preselected
        d.show();
        l->setCurrentRow(2);
        click(d, "okButton");
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(device.videoSize(), QSize(800, 600));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void formatDialogCancelChangesNothing() {
        FakeCaptureDevice device;
        FakeDialogs dialogs;
        FormatDialog d(device, dialogs);
        d.show();
        list(d, "formatList")->setCurrentRow(1);
        click(d, "cancelButton");
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(device.setVideoFormatCalls.isEmpty());
        QCOMPARE(device.videoSize(), QSize(640, 480));
    }

    void refusedFormatKeepsDialogOpenWithMessage() {
        FakeCaptureDevice device;
        FakeDialogs dialogs;
        device.listedSizes = {QSize(640, 480), QSize(1920, 1080)};
        FormatDialog d(device, dialogs);
        d.show();
        list(d, "formatList")->setCurrentRow(1);
        click(d, "okButton");
        QVERIFY(d.isVisible());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Ошибка"));
        QCOMPARE(device.videoSize(), QSize(640, 480));
    }

    void sourceDialogChoices_data() {
        QTest::addColumn<CaptureSource>("current");
        QTest::addColumn<int>("preselected");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("picked"); // file picker answer
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<CaptureSource>("chosen");
        const CaptureSource demo = CaptureSource::demo();
        QTest::newRow("second camera")
            << demo << 2 << 1 << QString() << true << CaptureSource::camera(1);
        QTest::newRow("demo") << CaptureSource::camera(0) << 0 << 2 << QString() << true << demo;
        QTest::newRow("video file") << demo << 2 << 3 << QStringLiteral("/v/walk.mp4") << true
                                    << CaptureSource::videoFile(QStringLiteral("/v/walk.mp4"));
        QTest::newRow("file picker cancelled") << demo << 2 << 3 << QString() << false << demo;
        QTest::newRow("missing camera not preselected")
            << CaptureSource::camera(5) << -1 << 0 << QString() << true << CaptureSource::camera(0);
    }
    void sourceDialogChoices() {
        QFETCH(CaptureSource, current);
        QFETCH(int, preselected);
        QFETCH(int, row);
        QFETCH(QString, picked);
        QFETCH(bool, accepted);
        QFETCH(CaptureSource, chosen);
        FakeDialogs dialogs;
        dialogs.fileAnswers.enqueue(picked);
        SourceDialog d(dialogs, {QStringLiteral("Камера A"), QStringLiteral("Камера B")}, current);
        QCOMPARE(d.windowTitle(), QStringLiteral("Источник видео"));
        QListWidget* l = list(d, "sourceList");
        QCOMPARE(l->count(), 5);
        QCOMPARE(l->item(2)->text(), QStringLiteral("Демонстрационная сцена"));
        QCOMPARE(l->item(3)->text(), QStringLiteral("Видеофайл..."));
        QCOMPARE(l->item(4)->text(), QStringLiteral("Сетевая камера"));
        QCOMPARE(l->currentRow(), preselected);
        d.show();
        l->setCurrentRow(row);
        click(d, "okButton");
        QCOMPARE(d.isVisible(), !accepted);
        QCOMPARE(dialogs.pickers.size(), row == 3 ? 1 : 0);
        QVERIFY(d.chosen() == chosen);
    }

    // The network camera's fields make the source; credentials in the
    // address move out of it; a bad address keeps the dialog open.
    void sourceDialogNetworkCamera_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<CaptureSource>("chosen");
        auto net = [](const char* address, const char* user, const char* password,
                      CaptureSource::Transport transport, int snapshotMs) {
            CaptureSource s = CaptureSource::network(
                QString::fromUtf8(address), QString::fromUtf8(user), QString::fromUtf8(password));
            s.transport = transport;
            s.snapshotIntervalMs = snapshotMs;
            return s;
        };
        using T = CaptureSource::Transport;
        QTest::newRow("rtsp, login in the address")
            << "rtsp://bob:pw@cam/live" << true << net("rtsp://cam/live", "bob", "pw", T::Udp, 0);
        QTest::newRow("snapshot address")
            << "http://cam/snap.jpg" << true << net("http://cam/snap.jpg", "", "", T::Tcp, 250);
        QTest::newRow("no scheme") << "cam.local/live" << false << CaptureSource::demo();
    }
    void sourceDialogNetworkCamera() {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        QFETCH(CaptureSource, chosen);
        FakeDialogs dialogs;
        SourceDialog d(dialogs, {QStringLiteral("Камера A"), QStringLiteral("Камера B")},
                       CaptureSource::demo());
        d.show();
        list(d, "sourceList")->setCurrentRow(NetworkRow);
        edit(d, "networkAddress")->setText(address);
        QCOMPARE(edit(d, "networkPassword")->echoMode(), QLineEdit::Password);
        d.findChild<QComboBox*>(QStringLiteral("networkTransport"))->setCurrentIndex(1); // UDP
        d.findChild<QSpinBox*>(QStringLiteral("networkSnapshotMs"))->setValue(250);
        click(d, "okButton");
        QCOMPARE(d.isVisible(), !accepted);
        QCOMPARE(dialogs.messages.size(), accepted ? 0 : 1);
        QVERIFY(d.chosen() == chosen);
    }

    // "Проверить" against a real snapshot camera on loopback: one picture,
    // or the Russian reason there is none, while the dialog stays usable.
    void sourceDialogCheck_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        QTest::newRow("picture") << QStringLiteral("right") << QString();
        QTest::newRow("wrong password")
            << QStringLiteral("wrong")
            << QStringLiteral("Неверное имя пользователя или пароль камеры");
    }
    void sourceDialogCheck() {
        QFETCH(QString, password);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(vigilux::test::runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=5",
                                          "-frames:v", "2", dir.filePath("f%03d.jpg")}));
        QProcess server;
        QString why;
        const quint16 port = vigilux::test::startPythonServer(
            server,
            {QStringLiteral(VIGILUX_VIDEO_TESTS "/mjpeg_server.py"), "--frames", dir.path(),
             "--mode", "snapshot", "--user", "cam", "--password", "right"},
            QStringLiteral("python3"), why);
        QVERIFY2(port != 0, qPrintable(why));
        FakeDialogs dialogs;
        SourceDialog d(dialogs, {}, CaptureSource::demo());
        d.show();
        list(d, "sourceList")->setCurrentRow(2);
        edit(d, "networkAddress")->setText(QStringLiteral("http://127.0.0.1:%1/snap").arg(port));
        edit(d, "networkUser")->setText(QStringLiteral("cam"));
        edit(d, "networkPassword")->setText(password);
        auto* result = d.findChild<QLabel*>(QStringLiteral("networkCheckResult"));
        click(d, "networkCheck");
        QCOMPARE(result->text(), QStringLiteral("Проверка..."));
        QTRY_VERIFY_WITH_TIMEOUT(result->text() != QStringLiteral("Проверка..."), 20000);
        QCOMPARE(result->text(), error);
        QCOMPARE(result->pixmap().isNull(), !error.isEmpty());
        vigilux::test::stopPythonServer(server);
    }
};

QTEST_MAIN(TestCaptureDialogs)
#include "tst_capture_dialogs.moc"
