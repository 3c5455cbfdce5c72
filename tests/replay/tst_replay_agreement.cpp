#include "core/AppContext.h"
#include "detection/MotionDetector.h"
#include "pipeline/WatchPipeline.h"
#include "platform/SystemClock.h"
#include "replay/Replay.h"
#include "support/FakeDialogs.h"
#include "video/VideoFileCaptureDevice.h"

#include <QElapsedTimer>
#include <QFile>
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
    QString makeClip(const QString& codec) {
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        const QString clip = m_dir.filePath(codec + QStringLiteral(".mp4"));
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
        platform::SystemClock clock;
        test::FakeDialogs dialogs;
        AppContext context(clock, dialogs, m_dir.path());
        context.settings.saveOnAlarm = false;
        context.watching = true;
        detection::MotionDetector detector(context);
        detector.setDetectorInterval(kTimer);
        detector.setNoiseTolerance(kNoise);
        detector.setSimilarityThreshold(100 - 3);

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
        const QString ini = m_dir.filePath(QStringLiteral("options.ini"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("[MotionDetector]\nSaveAlarm=False\n"
                                   "[Sensor]\nTimer=%1\nNoise=%2\nPercent=3\n")
                        .arg(kTimer)
                        .arg(kNoise)
                        .toUtf8());
        }
        QList<Step> replayed;
        QStringList err;
        replay::Replay replay(
            m_dir.path(),
            [&](const QString& line) {
                static const QRegularExpression re(
                    QStringLiteral(R"(^t_ms=(\d+) similarity=(\d+))"));
                const auto m = re.match(line);
                if (m.hasMatch() && m.captured(1).toLongLong() < spanMs)
                    replayed << Step{m.captured(1).toLongLong(), m.captured(2).toInt(), false};
            },
            [&](const QString& line) { err << line; });
        QCOMPARE(replay.run(replay::ReplayOptions{clip, QString(), ini, {}}), 0);

        // The live detector raised exactly the alarms its rule gives.
        for (qsizetype i = 0; i < live.size(); ++i)
            QCOMPARE(live[i].alarm, i > 0 && live[i].similarity < 100 - 3);

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
