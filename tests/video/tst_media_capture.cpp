#include "video/CameraCaptureDevice.h"
#include "video/CaptureDeviceFactory.h"
#include "video/DemoCaptureDevice.h"
#include "video/VideoFileCaptureDevice.h"

#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux::video;

namespace {

// Makes a short test-pattern video with ffmpeg; returns "" when ffmpeg is
// missing or fails (the reason goes to the log).
QString makeVideo(const QTemporaryDir& dir, const QString& name, const QStringList& codecArgs,
                  const QString& size = QStringLiteral("640x480"), int seconds = 1) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return {};
    const QString out = dir.filePath(name);
    QProcess p;
    p.start(ffmpeg, QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                                QStringLiteral("testsrc=size=%1:rate=25").arg(size), "-t",
                                QString::number(seconds)} +
                        codecArgs + QStringList{out});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("ffmpeg failed: %s", p.readAllStandardError().constData());
        return {};
    }
    return out;
}

} // namespace

class TestMediaCapture : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void videoFilePlaysAsCamera_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("codec");
        QTest::newRow("H.264 in MP4")
            << QStringLiteral("h264.mp4") << QStringList{"-c:v", "libx264", "-pix_fmt", "yuv420p"};
        QTest::newRow("MJPEG in AVI")
            << QStringLiteral("mjpeg.avi") << QStringList{"-c:v", "mjpeg", "-q:v", "5"};
    }
    void videoFilePlaysAsCamera() {
        QFETCH(QString, file);
        QFETCH(QStringList, codec);
        const QString path = makeVideo(m_dir, file, codec);
        if (path.isEmpty())
            QSKIP("ffmpeg could not make the test video");

        VideoFileCaptureDevice d(path);
        QSignalSpy lost(&d, &CaptureDevice::deviceLost);
        int frames = 0;
        quint32 bytes = 0;
        quint32 lastTime = 0;
        d.setFrameCallback([&](const FrameHeader& h) {
            ++frames;
            bytes = h.bytesUsed;
            lastTime = h.timeCapturedMs;
        });
        d.setPreviewRate(50);
        d.setPreview(true);
        QVERIFY(d.connectDriver());
        QTRY_VERIFY_WITH_TIMEOUT(frames >= 3 || !lost.isEmpty(), 15000);
        QVERIFY(lost.isEmpty());
        QCOMPARE(d.videoSize(), QSize(640, 480));
        QVERIFY(bytes >= 640u * 480u * 3u / 2u); // at least a 4:2:0 frame

        // One format, its own size: that is accepted, anything else refused.
        const auto formats = d.videoFormats();
        QCOMPARE(formats.size(), 1);
        QCOMPARE(formats[0].size, QSize(640, 480));
        QVERIFY(d.setVideoSize(QSize(640, 480)));
        QVERIFY(!d.setVideoSize(QSize(320, 240)));
        QCOMPARE(d.videoSize(), QSize(640, 480));

        // The picture converts and saves.
        const QImage img = d.currentFrame();
        QCOMPARE(img.size(), QSize(640, 480));
        QVERIFY(d.saveBitmap(m_dir.filePath(file + QStringLiteral(".bmp"))));
        QCOMPARE(QImage(m_dir.filePath(file + QStringLiteral(".bmp"))).size(), QSize(640, 480));

        // The one-second file loops: frames keep coming well after its end.
        QTRY_VERIFY_WITH_TIMEOUT(lastTime > 2500 || !lost.isEmpty(), 20000);
        QVERIFY(lost.isEmpty());
        QVERIFY(d.isConnected());

        d.disconnectDriver();
        const int after = frames;
        QTest::qWait(300);
        QCOMPARE(frames, after);
    }

    void reconnectAfterDisconnectDeliversAgain() {
        const QString path = makeVideo(m_dir, QStringLiteral("again.avi"), {"-c:v", "mjpeg"},
                                       QStringLiteral("320x240"));
        if (path.isEmpty())
            QSKIP("ffmpeg could not make the test video");
        VideoFileCaptureDevice d(path);
        int frames = 0;
        d.setFrameCallback([&](const FrameHeader&) { ++frames; });
        d.setPreview(true);
        for (int round = 0; round < 2; ++round) {
            frames = 0;
            QVERIFY(d.connectDriver());
            QTRY_VERIFY_WITH_TIMEOUT(frames >= 2, 15000);
            QCOMPARE(d.videoSize(), QSize(320, 240));
            d.disconnectDriver();
        }
    }

    void unusableFilesDoNotConnect_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QStringLiteral("missing.mp4") << QByteArray();
        QTest::newRow("empty") << QStringLiteral("empty.mp4") << QByteArray("");
        QTest::newRow("folder") << QStringLiteral("folder.mp4") << QByteArray();
    }
    void unusableFilesDoNotConnect() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString path = m_dir.filePath(name);
        if (name.startsWith(QLatin1String("folder")))
            QVERIFY(QDir(m_dir.path()).mkpath(name));
        else if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        VideoFileCaptureDevice d(path);
        QVERIFY(!d.connectDriver());
        QVERIFY(!d.isConnected());
        QVERIFY(d.currentFrame().isNull());
        QVERIFY(d.videoFormats().isEmpty());
    }

    void garbageFileEndsWithoutFrames() {
        // Not a video at all: refused at once or, once the player has looked
        // at it, reported lost; either way no frame and no crash.
        const QString path = m_dir.filePath(QStringLiteral("garbage.mp4"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        VideoFileCaptureDevice d(path);
        QSignalSpy lost(&d, &CaptureDevice::deviceLost);
        int frames = 0;
        d.setFrameCallback([&](const FrameHeader&) { ++frames; });
        d.setPreview(true);
        if (d.connectDriver()) {
            QVERIFY(lost.wait(15000));
            QVERIFY(!d.isConnected());
        }
        QCOMPARE(frames, 0);
    }

    void cameraIndexOutsideTheMachinesCamerasDoesNotConnect() {
        const auto cameras = QMediaDevices::videoInputs();
        for (int index : {-1, int(cameras.size()), int(cameras.size()) + 3}) {
            CameraCaptureDevice d(index);
            QVERIFY(!d.connectDriver());
            QVERIFY(!d.isConnected());
            QVERIFY(d.videoFormats().isEmpty());
            QVERIFY(!d.setVideoSize(QSize(640, 480)));
            QVERIFY(!d.setVideoFormat(0));
        }
        // Without a camera the default is still the first camera (shown
        // offline), never the demo scene.
        QCOMPARE(defaultCaptureSource(), CaptureSource::camera(0));
        if (cameras.isEmpty())
            QVERIFY(cameraDescriptions().isEmpty());
    }

    void factoryMakesTheDeviceOfEachSource() {
        auto demo = createCaptureDevice(CaptureSource::demo());
        QVERIFY(qobject_cast<DemoCaptureDevice*>(demo.get()));
        auto camera = createCaptureDevice(CaptureSource::camera(4));
        QCOMPARE(qobject_cast<CameraCaptureDevice*>(camera.get())->driverIndex(), 4);
        auto file = createCaptureDevice(CaptureSource::videoFile(QStringLiteral("/x/y.avi")));
        QCOMPARE(qobject_cast<VideoFileCaptureDevice*>(file.get())->path(),
                 QStringLiteral("/x/y.avi"));
    }
};

QTEST_MAIN(TestMediaCapture)
#include "tst_media_capture.moc"
