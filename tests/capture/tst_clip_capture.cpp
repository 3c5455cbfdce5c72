#include "FakeCaptureDevice.h"
#include "FakeClock.h"
#include "FakeDialogs.h"
#include "capture/CaptureControl.h"
#include "capture/CaptureControlHost.h"
#include "settings/AppContext.h"

#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;

namespace {

struct Host final : capture::CaptureControlHost {
    QStringList statuses;
    void setCaptureButtonsEnabled(bool) override {}
    void showSavingIndicator() override {}
    void startIndicatorHideTimer() override {}
    void toggleWatching() override {}
    void playSound(const QString&) override {}
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
    capture::CaptureControl control{context, host, platform::CaptureSource::demo(),
                                    [this](const platform::CaptureSource&) {
                                        auto d = std::make_unique<test::FakeCaptureDevice>();
                                        device = d.get();
                                        return std::unique_ptr<platform::CaptureDevice>(
                                            std::move(d));
                                    },
                                    [] { return QStringList(); }};

    Rig() {
        context.settings.savePath = dir.path();
        control.startCapture();
    }
};

capture::ClipOptions fps(int maxFps) {
    capture::ClipOptions o;
    o.maxFps = maxFps;
    return o;
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
        r.control.setClips(true, fps(10));
        QCOMPARE(r.device->previewRate(), 100);
        r.control.setDetectorInterval(40); // faster than the clips need: kept
        QCOMPARE(r.device->previewRate(), 40);
        r.control.setDetectorInterval(1000);
        QCOMPARE(r.device->previewRate(), 100);
        r.control.setClips(true, fps(25));
        QCOMPARE(r.device->previewRate(), 40);

        // Off again: the detector's own rate, also after a restart.
        r.control.setClips(false, fps(25));
        QCOMPARE(r.device->previewRate(), 1000);
        r.control.setClips(true, fps(5));
        r.control.stopCapture();
        r.control.startCapture();
        QCOMPARE(r.device->previewRate(), 50); // the start rate is faster already
    }

    void framesReachTheClipsOnlyWhileWatching() {
        Rig r;
        auto& clips = r.control.clips();
        r.context.watching = true;
        QVERIFY(r.device->pushFilled(10));
        QCOMPARE(clips.preRoll().size(), 0); // clips off

        r.control.setClips(true, fps(10));
        QVERIFY(r.device->pushFilled(20));
        QCOMPARE(clips.preRoll().size(), 1);
        // The recorder keeps the device's frame as delivered.
        QCOMPARE(clips.preRoll().since(0).front()->layout.size, QSize(640, 480));

        // Watching stops: the pre-roll goes, it belonged to that watch.
        r.context.watching = false;
        QVERIFY(r.device->pushFilled(30));
        QCOMPARE(clips.preRoll().size(), 0);

        r.context.watching = true;
        QVERIFY(r.device->pushFilled(40));
        QCOMPARE(clips.preRoll().size(), 1);
        r.control.stopCapture();
        QCOMPARE(clips.preRoll().size(), 0);
        QVERIFY(r.host.statuses.isEmpty());
    }
};

QTEST_MAIN(TestClipCapture)
#include "tst_clip_capture.moc"
