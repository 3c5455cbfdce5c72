#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "VideoTools.h"
#include "core/AppContext.h"
#include "events/EventLog.h"
#include "platform/SystemClock.h"
#include "ui/CaptureControl.h"
#include "ui/CaptureControlHost.h"
#include "video/VideoDecoder.h"
#include "video/VideoFileCaptureDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace vigilux;

namespace {

struct Host final : ui::CaptureControlHost {
    QStringList statuses;
    void setCaptureButtonsEnabled(bool) override {}
    void showStatus(const QString& text) override { statuses << text; }
    void showBlackPicture() override {}
};

struct Rig {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    Host host;
    test::FakeCaptureDevice* device = nullptr;
    ui::CaptureControl control{context, host, video::CaptureSource::demo(),
                               [this](const video::CaptureSource&) {
                                   auto d = std::make_unique<test::FakeCaptureDevice>();
                                   device = d.get();
                                   return std::unique_ptr<video::CaptureDevice>(std::move(d));
                               },
                               [] { return QStringList(); }};

    Rig() {
        context.settings.savePath = dir.path();
        QObject::connect(&control.pipeline(), &pipeline::WatchPipeline::status,
                         [this](const QString& text) { host.statuses << text; });
        control.startCapture();
    }
    // Watch mode switched on again with these clip settings.
    void watchWithClips(bool on, int maxFps) {
        control.pipeline().stop();
        context.settings.eventClips = on;
        context.settings.clipFrameRate = maxFps;
        control.pipeline().start();
    }
};

// The brightest red value of a video's first frame.
int firstFramePeak(const QString& file) {
    video::VideoDecoder decoder;
    if (!decoder.open(file) || !decoder.next() || !decoder.rgb24())
        return -1;
    const std::uint8_t* rgb = decoder.rgb24();
    const int n = decoder.width() * decoder.height();
    int peak = 0;
    for (int i = 0; i < n; ++i)
        peak = std::max<int>(peak, rgb[i * 3]);
    return peak;
}

} // namespace

class TestClipCapture : public QObject {
    Q_OBJECT
private slots:
    void clipsRaiseThePreviewRateTheDetectorLowers() {
        Rig r;
        r.context.settings.syncPreviewRate = true;
        r.control.setDetectorInterval(500);
        QCOMPARE(r.device->previewRate(), 500);

        // One frame every 500 ms would make a slide show of the clip.
        r.watchWithClips(true, 10);
        QCOMPARE(r.device->previewRate(), 100);
        r.control.setDetectorInterval(40); // faster than the clips need: kept
        QCOMPARE(r.device->previewRate(), 40);
        r.control.setDetectorInterval(1000);
        QCOMPARE(r.device->previewRate(), 100);
        r.watchWithClips(true, 25);
        QCOMPARE(r.device->previewRate(), 40);

        // Off again: the detector's own rate, also after a restart.
        r.watchWithClips(false, 25);
        QCOMPARE(r.device->previewRate(), 1000);
        r.watchWithClips(true, 5);
        r.control.stopCapture();
        r.control.startCapture();
        QCOMPARE(r.device->previewRate(), 50); // the start rate is faster already
    }

    void framesReachTheClipsOnlyWhileWatching() {
        Rig r;
        auto& clips = r.control.pipeline().clips();
        r.watchWithClips(false, 10);
        QVERIFY(r.device->pushFilled(10));
        QCOMPARE(clips.preRoll().size(), 0); // clips off

        r.watchWithClips(true, 10);
        QVERIFY(r.device->pushFilled(20));
        QCOMPARE(clips.preRoll().size(), 1);
        // The recorder keeps the device's frame as delivered.
        QCOMPARE(clips.preRoll().since(0).front()->layout.size, QSize(640, 480));

        // Watching stops: the pre-roll goes, it belonged to that watch.
        r.control.pipeline().stop();
        QVERIFY(r.device->pushFilled(30));
        QCOMPARE(clips.preRoll().size(), 0);

        r.control.pipeline().start();
        QVERIFY(r.device->pushFilled(40));
        QCOMPARE(clips.preRoll().size(), 1);
        // A capture restart (a resize, the window shown again) is no end of
        // watching: what the clips hold stays.
        r.control.stopCapture();
        r.control.startCapture();
        QCOMPARE(clips.preRoll().size(), 1);
        r.control.pipeline().stop();
        QCOMPARE(clips.preRoll().size(), 0);
        QVERIFY(r.host.statuses.isEmpty());
    }

    // Watching real footage with clips on: the event's line in events.csv
    // names its clip, the clip plays, lasts the event plus the pre-roll and
    // the post-roll, and begins with the picture from before the motion.
    void watchingFootageLogsAClipPerEvent() {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffmpeg and ffprobe are needed (scripts/deps.sh installs them)");
        QTemporaryDir media;
        const QString footage =
            test::makeCrossingFootage(media.filePath(QStringLiteral("footage.mp4")), 10);
        QVERIFY(!footage.isEmpty());

        QTemporaryDir dir;
        platform::SystemClock clock;
        test::FakeDialogs dialogs;
        AppContext context(clock, dialogs, dir.path());
        auto& s = context.settings;
        s.savePath = dir.path();
        s.eventGap = 1;
        s.eventClips = true;
        s.clipPreRoll = 1;
        s.clipPostRoll = 1;
        s.clipFrameRate = 10;
        Host host;
        ui::CaptureControl control(
            context, host, video::CaptureSource::videoFile(footage),
            [](const video::CaptureSource& source) {
                return std::unique_ptr<video::CaptureDevice>(
                    std::make_unique<video::VideoFileCaptureDevice>(source.path));
            },
            [] { return QStringList(); });
        QSignalSpy saved(&control.pipeline(), &pipeline::WatchPipeline::clipSaved);
        QObject::connect(&control.pipeline(), &pipeline::WatchPipeline::status,
                         [&host](const QString& text) { host.statuses << text; });
        control.setDetectorInterval(100);
        control.setNoiseTolerance(8);
        control.setSimilarityThreshold(98);
        control.startCapture();
        QVERIFY(control.running());

        // Watch mode on, as the main window switches it.
        control.pipeline().start();
        QTRY_VERIFY_WITH_TIMEOUT(!saved.isEmpty(), 30000);
        control.pipeline().stop();
        control.stopCapture();

        const QList<QStringList> events =
            test::readEventLog(dir.filePath(events::EventLog::FileName));
        QVERIFY(!events.isEmpty());
        const QStringList& event = events.first();
        QCOMPARE(event.size(), 10);
        const QString clip = QDir(dir.path()).absoluteFilePath(event[9]);
        QCOMPARE(saved.first().first().toString(), clip);
        QVERIFY(QFileInfo(clip).isFile());

        const auto info = test::probeVideo(clip);
        QCOMPARE(info.value(QStringLiteral("codec_name")), QStringLiteral("h264"));
        const double expected = event[3].toDouble() + s.clipPreRoll + s.clipPostRoll;
        const double duration = info.value(QStringLiteral("duration")).toDouble();
        qInfo("event %s s, clip %.3f s, %s frames", qPrintable(event[3]), duration,
              qPrintable(info.value(QStringLiteral("nb_read_frames"))));
        QVERIFY2(std::abs(duration - expected) < 1.0,
                 qPrintable(QStringLiteral("clip %1 s, event %2 s").arg(duration).arg(event[3])));
        // Grey (0x60), not the light box: the first second is the pre-roll.
        const int peak = firstFramePeak(clip);
        QVERIFY2(peak > 0 && peak < 160, qPrintable(QString::number(peak)));
        QVERIFY2(host.statuses.isEmpty(), qPrintable(host.statuses.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestClipCapture)
#include "tst_clip_capture.moc"
