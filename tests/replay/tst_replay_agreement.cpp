#include "NetTestHelpers.h"
#include "core/AppContext.h"
#include "detection/MotionDetector.h"
#include "pipeline/WatchPipeline.h"
#include "platform/SystemClock.h"
#include "replay/Replay.h"
#include "support/FakeDialogs.h"
#include "video/NetworkCaptureDevice.h"
#include "video/VideoDecoder.h"
#include "video/VideoFileCaptureDevice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

constexpr int kTimer = 250;
constexpr int kNoise = 5;
constexpr int kSeconds = 12;
// Steps this close to the clip's end are not compared: the live device
// loops the file, and the last step may see its first frame again.
constexpr int kTailMs = 600;

struct Step {
    qint64 tMs = 0;
    int similarity = 0;
    bool alarm = false; // as the detector signalled it
};

// Alarms the detector's rule gives at `percent`: below 100 - percent,
// never on the first step.
int alarmsAt(const QList<Step>& steps, int percent) {
    int alarms = 0;
    for (qsizetype i = 1; i < steps.size(); ++i)
        alarms += steps[i].similarity < 100 - percent ? 1 : 0;
    return alarms;
}

// The byte compare watching live with the values replay is given: on the
// system clock, sampling every kTimer ms once started.
struct LiveDetector {
    explicit LiveDetector(const QString& dir)
        : context(clock, dialogs, dir)
        , detector(context) {
        context.settings.saveOnAlarm = false;
        context.watching = true;
        detector.setDetectorInterval(kTimer);
        detector.setNoiseTolerance(kNoise);
        detector.setSimilarityThreshold(100 - 3);
    }
    platform::SystemClock clock;
    test::FakeDialogs dialogs;
    AppContext context;
    detection::MotionDetector detector;
};

} // namespace

// A value tuned on replay must mean the same when the file is watched: the
// same clip, live through the video-file device in real time and replayed,
// gives the same alarms up to the live timer's jitter.
class TestReplayAgreement : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // Makes the clip: a noisy still scene with three movers of different
    // sizes and quiet stretches between them. An odd chroma width (165)
    // makes the live decoder pad its lines.
    QString makeClip(const QString& codec, const QString& container = QStringLiteral("mp4")) {
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        const QString clip = m_dir.filePath(codec + QLatin1Char('.') + container);
        const QString scene =
            QStringLiteral(
                "color=c=0x607080:s=330x250:r=10:d=%1,noise=alls=5:allf=t+u[bg];"
                "color=c=0xc03020:s=60x60:r=10:d=%1[a];"
                "color=c=0xe0e0d0:s=110x90:r=10:d=%1[b];"
                "color=c=0x203040:s=30x40:r=10:d=%1[c];"
                "[bg][a]overlay=x='mod(t*90,330)':y=40:enable='between(t,1.5,4.5)'[ba];"
                "[ba][b]overlay=x='300-mod(t*70,400)':y=120:enable='between(t,6,8.5)'[bb];"
                "[bb][c]overlay=x='20+(t-9.5)*40':y=190:enable='between(t,9.5,11.5)'")
                .arg(kSeconds);
        QStringList args{QStringLiteral("-y"),
                         QStringLiteral("-v"),
                         QStringLiteral("error"),
                         QStringLiteral("-f"),
                         QStringLiteral("lavfi"),
                         QStringLiteral("-i"),
                         scene,
                         QStringLiteral("-c:v"),
                         codec};
        if (codec == QLatin1String("mpeg4"))
            args << QStringLiteral("-q:v") << QStringLiteral("4");
        else // B-frames, as phones and cameras record
            args << QStringLiteral("-preset") << QStringLiteral("veryfast")
                 << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
        QProcess p;
        p.start(ffmpeg, args << clip);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return QString();
        return clip;
    }

    // The detector's steps replaying `clip` with the live test's settings,
    // up to `spanMs`.
    QList<Step> replaySteps(const QString& clip, qint64 spanMs) {
        const QString ini = m_dir.filePath(QStringLiteral("options.ini"));
        {
            QFile f(ini);
            if (!f.open(QIODevice::WriteOnly))
                return {};
            f.write(QStringLiteral("[MotionDetector]\nSaveAlarm=False\n"
                                   "[Sensor]\nTimer=%1\nNoise=%2\nPercent=3\n")
                        .arg(kTimer)
                        .arg(kNoise)
                        .toUtf8());
        }
        QList<Step> replayed;
        replay::Replay replay(
            m_dir.path(),
            [&](const QString& line) {
                static const QRegularExpression re(
                    QStringLiteral(R"(^t_ms=(\d+) similarity=(\d+))"));
                const auto m = re.match(line);
                if (m.hasMatch() && m.captured(1).toLongLong() < spanMs)
                    replayed << Step{m.captured(1).toLongLong(), m.captured(2).toInt(), false};
            },
            {});
        if (replay.run(replay::ReplayOptions{clip, QString(), ini, {}}) != 0)
            return {};
        return replayed;
    }

    // Live and replayed steps give the same alarms, up to the live timer's
    // jitter, at several thresholds.
    static void compareAlarms(const QList<Step>& live, const QList<Step>& replayed) {
        for (const int percent : {1, 3, 5}) {
            const int a = alarmsAt(live, percent);
            const int b = alarmsAt(replayed, percent);
            qInfo("Percent %d: live %d alarms in %lld steps, replay %d in %lld", percent, a,
                  static_cast<long long>(live.size()), b, static_cast<long long>(replayed.size()));
            QVERIFY2(
                std::abs(a - b) <= std::max(2.0, 0.1 * std::max(a, b)),
                qPrintable(
                    QStringLiteral("Percent %1: live %2, replay %3").arg(percent).arg(a).arg(b)));
        }
        QVERIFY(alarmsAt(replayed, 1) > alarmsAt(replayed, 5)); // the values matter here
        QVERIFY(alarmsAt(replayed, 5) > 0);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed (scripts/deps.sh installs it)");
    }

    void liveAndReplayAgree_data() {
        QTest::addColumn<QString>("codec");
        QTest::newRow("MPEG-4") << QStringLiteral("mpeg4");
        QTest::newRow("H.264") << QStringLiteral("libx264");
    }
    void liveAndReplayAgree() {
        QFETCH(QString, codec);
        const QString clip = makeClip(codec);
        if (clip.isEmpty())
            QSKIP("this ffmpeg cannot make the clip");
        // Live: the device plays the file in real time; a detector on the
        // system clock samples it every kTimer ms from the first frame on.
        LiveDetector watching(m_dir.path());
        detection::MotionDetector& detector = watching.detector;

        QList<Step> live;
        QElapsedTimer sinceFirst;
        quint32 liveBytes = 0;
        connect(&detector, &detection::MotionDetector::similarityChanged, this, [&](qint32 s) {
            live << Step{sinceFirst.elapsed(), s, false};
        });
        connect(&detector, &detection::MotionDetector::alarm, this, [&](bool motion) {
            if (!live.isEmpty())
                live.last().alarm = motion;
        });

        video::VideoFileCaptureDevice device(clip);
        QSignalSpy lost(&device, &video::CaptureDevice::deviceLost);
        device.setFrameCallback([&](const video::FrameHeader& h) {
            if (!sinceFirst.isValid()) {
                // The first frame is the first step, as in replay.
                sinceFirst.start();
                detector.setDetecting(true);
                detector.onDetectorTick();
            }
            liveBytes = h.bytesUsed;
            detector.onFrame(h);
        });
        device.setPreviewRate(1);
        device.setPreview(true);
        QVERIFY(device.connectDriver());
        const qint64 spanMs = kSeconds * 1000 - kTailMs;
        QTRY_VERIFY_WITH_TIMEOUT(
            !lost.isEmpty() || (sinceFirst.isValid() && sinceFirst.elapsed() > spanMs), 40000);
        device.disconnectDriver();
        detector.setDetecting(false);
        QVERIFY(lost.isEmpty());
        while (!live.isEmpty() && live.last().tMs >= spanMs)
            live.removeLast();

        // The live detector compared the picture packed as replay packs it:
        // 4:2:0 planes without the decoder's line padding.
        QCOMPARE(liveBytes, quint32(330 * 250 + 2 * 165 * 125));

        // Replay with the same settings, over the same span.
        const QList<Step> replayed = replaySteps(clip, spanMs);
        QVERIFY(!replayed.isEmpty());

        // The live detector raised exactly the alarms its rule gives.
        for (qsizetype i = 0; i < live.size(); ++i)
            QCOMPARE(live[i].alarm, i > 0 && live[i].similarity < 100 - 3);

        compareAlarms(live, replayed);
    }

    // The same over a network camera: the clip served by an RTSP server,
    // once and in real time from the moment the device connects, watched
    // through the network device. The stream carries the file's pictures
    // byte for byte, so each frame's hash tells its time in the clip: steps
    // are placed on the clip's timeline, whatever the connection's delay.
    void streamAndReplayAgree() {
        const QString clip = makeClip(QStringLiteral("libx264"), QStringLiteral("mkv"));
        if (clip.isEmpty())
            QSKIP("this ffmpeg cannot make the clip");
        QHash<size_t, qint64> clipMs;
        {
            video::VideoDecoder decoder;
            QVERIFY(decoder.open(clip));
            while (decoder.next()) {
                const auto* p = reinterpret_cast<const char*>(decoder.picture());
                clipMs.insert(qHash(QByteArrayView(p, decoder.layout().bytes)),
                              decoder.time().floorMs());
            }
        }
        QProcess server;
        QString error;
        const quint16 port = test::startPythonServer(
            server,
            {QStringLiteral(VIGILUX_VIDEO_TESTS "/rtsp_server.py"), QStringLiteral("--clip"), clip},
            QStringLiteral("python3-gi, gir1.2-gst-rtsp-server-1.0"), error);
        QVERIFY2(port, qPrintable(error));

        LiveDetector watching(m_dir.path());
        detection::MotionDetector& detector = watching.detector;
        QList<Step> live;
        qint64 shownMs = -1; // clip time of the frame the detector holds
        int unknown = 0;
        connect(&detector, &detection::MotionDetector::similarityChanged, this, [&](qint32 s) {
            live << Step{shownMs, s, false};
        });
        video::NetworkCaptureDevice device(
            video::CaptureSource::network(QStringLiteral("rtsp://127.0.0.1:%1/cam").arg(port)));
        device.setFrameCallback([&](const video::FrameHeader& h) {
            const qint64 at = clipMs.value(qHash(QByteArrayView(h.data, h.bytesUsed)), -1);
            unknown += at < 0 ? 1 : 0;
            if (shownMs < 0) { // the first frame is the first step, as in replay
                shownMs = at;
                detector.setDetecting(true);
                detector.onDetectorTick();
            }
            shownMs = at < 0 ? shownMs : at;
            detector.onFrame(h);
        });
        device.setPreview(true);
        QVERIFY(device.connectDriver());
        const qint64 spanMs = kSeconds * 1000 - kTailMs;
        QTRY_VERIFY_WITH_TIMEOUT(
            shownMs >= spanMs || device.state() == video::NetworkCaptureDevice::State::Lost, 40000);
        device.disconnectDriver();
        detector.setDetecting(false);
        test::stopPythonServer(server);
        QCOMPARE(unknown, 0);
        QVERIFY2(shownMs >= spanMs, qPrintable(device.errorText())); // the whole span came
        while (!live.isEmpty() && live.last().tMs >= spanMs)
            live.removeLast();
        // The stream's first second comes at once with the format probe and
        // only its newest frame is shown: replay is compared from there.
        QList<Step> replayed = replaySteps(clip, spanMs);
        QVERIFY(!live.isEmpty());
        replayed.removeIf([&](const Step& s) { return s.tMs < live.first().tMs; });
        QVERIFY(!replayed.isEmpty());
        compareAlarms(live, replayed);
    }

    // The object detector too: the same clip watched live through the whole
    // watch pipeline and replayed gives the same events (one per mover),
    // starting within a second of each other.
    void liveAndReplayAgreeOnObjects() {
        const QString clip = makeClip(QStringLiteral("libx264"));
        if (clip.isEmpty())
            QSKIP("this ffmpeg cannot make the clip");
        platform::SystemClock clock;
        test::FakeDialogs dialogs;
        AppContext context(clock, dialogs, m_dir.path());
        context.settings.saveOnAlarm = false;
        context.settings.eventClips = false;
        context.settings.eventGap = 1;
        context.settings.detectorKind = core::Settings::DetectorKind::Objects;
        pipeline::WatchPipeline watch(context);
        watch.detector().setDetectorInterval(kTimer);
        watch.detector().setNoiseTolerance(kNoise);

        QList<qint64> live;
        QElapsedTimer sinceFirst;
        connect(&watch.tracker(), &events::EventTracker::eventStarted, this,
                [&] { live << sinceFirst.elapsed(); });
        video::VideoFileCaptureDevice device(clip);
        device.setFrameCallback([&](const video::FrameHeader& h) {
            if (!sinceFirst.isValid()) {
                sinceFirst.start();
                watch.start();
            }
            watch.addFrame(h, device.frameLayout());
        });
        device.setPreviewRate(1);
        device.setPreview(true);
        QVERIFY(device.connectDriver());
        const qint64 spanMs = kSeconds * 1000 - kTailMs;
        QTRY_VERIFY_WITH_TIMEOUT(sinceFirst.isValid() && sinceFirst.elapsed() > spanMs, 40000);
        device.disconnectDriver();
        watch.stop();

        const QString ini = m_dir.filePath(QStringLiteral("objects.ini"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("[MotionDetector]\nSaveAlarm=False\n[Events]\nEventGap=1\n"
                                   "[Detector]\nKind=Objects\n"
                                   "[Sensor]\nTimer=%1\nNoise=%2\nPercent=3\n")
                        .arg(kTimer)
                        .arg(kNoise)
                        .toUtf8());
        }
        QList<qint64> replayed;
        replay::Replay replay(m_dir.path(),
                              [&](const QString& line) {
                                  static const QRegularExpression re(
                                      QStringLiteral(R"(^event=\d+ start_ms=(\d+))"));
                                  const auto m = re.match(line);
                                  if (m.hasMatch() && m.captured(1).toLongLong() < spanMs)
                                      replayed << m.captured(1).toLongLong();
                              },
                              {});
        QCOMPARE(replay.run(replay::ReplayOptions{clip, QString(), ini, {}}), 0);
        QCOMPARE(replayed.size(), 3); // one per mover
        QCOMPARE(live.size(), replayed.size());
        for (qsizetype i = 0; i < live.size(); ++i)
            QVERIFY2(std::abs(live[i] - replayed[i]) <= 1000,
                     qPrintable(QStringLiteral("event %1: live %2 ms, replay %3 ms")
                                    .arg(i + 1)
                                    .arg(live[i])
                                    .arg(replayed[i])));
    }
};

QTEST_MAIN(TestReplayAgreement)
#include "tst_replay_agreement.moc"
