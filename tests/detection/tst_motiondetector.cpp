#include "core/AppContext.h"
#include "detection/LevelIndicator.h"
#include "detection/MotionDetector.h"
#include "detection/PreviewRateTarget.h"

#include "support/FakeClock.h"
#include "support/FakeDialogs.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vigilux;
using detection::MotionDetector;
using Frame = std::vector<uchar>;

namespace {

// Records every call the detector makes to the outside, in one log, so the
// tests can check the order of events, indicator calls and saves.
struct Recorder final : detection::LevelIndicator, detection::PreviewRateTarget {
    QStringList log;
    QList<qint16> rates;
    bool visible = false;
    void showLevel(qint32 value) override { log << QStringLiteral("Ind:%1").arg(value); }
    void showThreshold(qint32 threshold, bool reset) override {
        log << QStringLiteral("threshold:%1:%2").arg(threshold).arg(reset);
    }
    void setIndicatorVisible(bool v) override { visible = v; }
    void setPreviewRate(qint16 ms) override { rates << ms; }
};

struct Fixture {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    Recorder recorder;
    MotionDetector detector{context};

    Fixture() {
        context.watching = true;
        detector.setIndicator(&recorder);
        detector.setPreviewRateTarget(&recorder);
        detector.setSaveFrame([this] { recorder.log << QStringLiteral("Save"); });
        QObject::connect(&detector, &MotionDetector::speedChanged,
                         [this](qint16) { recorder.log << QStringLiteral("FPS"); });
        QObject::connect(&detector, &MotionDetector::similarityChanged,
                         [this](qint32 p) { recorder.log << QStringLiteral("Percent:%1").arg(p); });
        QObject::connect(&detector, &MotionDetector::alarm, [this](bool motion) {
            recorder.log << QStringLiteral("Alarm:%1").arg(motion);
        });
    }

    // One tick and one frame from the device; returns what the step logged.
    QStringList step(const Frame& frame) {
        recorder.log.clear();
        detector.onDetectorTick();
        deliver(frame);
        return recorder.log;
    }

    void deliver(const Frame& frame) {
        video::FrameHeader header;
        header.data = frame.data();
        header.bufferLength = static_cast<quint32>(frame.size());
        header.bytesUsed = static_cast<quint32>(frame.size());
        QCOMPARE(detector.onFrame(header), 0);
    }
};

Frame bytes(const detection::FrameBytes& b) {
    return Frame(b.begin(), b.end());
}

// `changed` of `n` bytes moved by `delta` away from `base`.
Frame frameWith(std::size_t n, uchar base, std::size_t changed, int delta) {
    Frame f(n, base);
    for (std::size_t i = 0; i < changed; ++i)
        f[i * n / std::max<std::size_t>(changed, 1)] = static_cast<uchar>(base + delta);
    return f;
}

} // namespace

class TestMotionDetector : public QObject {
    Q_OBJECT

private slots:
    void stepAfterPriming_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<Frame>("next");
        QTest::addColumn<int>("noise");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("similarity");
        QTest::addColumn<bool>("motion");

        QTest::newRow("equal frames")
            << 100 << frameWith(1000, 100, 0, 0) << 5 << 70 << 100 << false;
        QTest::newRow("all differ by the tolerance")
            << 100 << frameWith(1000, 100, 1000, 5) << 5 << 70 << 100 << false;
        QTest::newRow("all differ by tolerance + 1")
            << 100 << frameWith(1000, 100, 1000, 6) << 5 << 70 << 0 << true;
        QTest::newRow("300 of 1000, threshold 70")
            << 100 << frameWith(1000, 100, 300, 50) << 5 << 70 << 70 << false;
        QTest::newRow("300 of 1000, threshold 71")
            << 100 << frameWith(1000, 100, 300, 50) << 5 << 71 << 70 << true;
        QTest::newRow("62.5 rounds to 62")
            << 100 << frameWith(1000, 100, 375, -50) << 0 << 63 << 62 << true;
        QTest::newRow("63.5 rounds to 64")
            << 100 << frameWith(1000, 100, 365, -50) << 0 << 64 << 64 << false;
        QTest::newRow("99.5 rounds to 100: threshold 100 quiet")
            << 100 << frameWith(1000, 100, 5, 1) << 0 << 100 << 100 << false;
        QTest::newRow("99.4 alarms at threshold 100")
            << 100 << frameWith(1000, 100, 6, 1) << 0 << 100 << 99 << true;
        QTest::newRow("threshold 0 never alarms")
            << 100 << frameWith(1000, 100, 1000, 100) << 0 << 0 << 0 << false;
        QTest::newRow("noise 255 sees nothing")
            << 0 << frameWith(1000, 0, 1000, 255) << 255 << 100 << 100 << false;
        QTest::newRow("noise 254 sees the largest difference")
            << 0 << frameWith(1000, 0, 1000, 255) << 254 << 100 << 0 << true;
        QTest::newRow("noise 0 counts every change")
            << 100 << frameWith(1000, 100, 1000, 1) << 0 << 1 << 0 << true;
        QTest::newRow("odd length")
            << 100 << frameWith(1001, 100, 1, 9) << 0 << 100 << 100 << false;
    }

    // The detector is primed on a plain frame, then compares the next one:
    // events in order, the indicator before them, the save after the alarm.
    void stepAfterPriming() {
        QFETCH(int, base);
        QFETCH(Frame, next);
        QFETCH(int, noise);
        QFETCH(int, threshold);
        QFETCH(int, similarity);
        QFETCH(bool, motion);

        Fixture f;
        f.detector.setNoiseTolerance(qint16(noise));
        f.detector.setSimilarityThreshold(qint16(threshold));
        f.step(Frame(next.size(), uchar(base)));
        QVERIFY(f.detector.primed());

        QStringList expected{QStringLiteral("Ind:%1").arg(similarity), "FPS",
                             QStringLiteral("Percent:%1").arg(similarity),
                             QStringLiteral("Alarm:%1").arg(motion)};
        if (motion)
            expected << "Save";
        QCOMPARE(f.step(next), expected);
        QCOMPARE(f.detector.similarity(), similarity);
        QCOMPARE(bytes(f.detector.frameBuffer()), next);
    }

    // The first step after capture start or a dialog compares against
    // whatever came before but never alarms and leaves the bar alone.
    void firstStepNeverAlarms() {
        Fixture f;
        f.detector.setSimilarityThreshold(70);
        const QStringList quietFirst{"FPS", "Percent:0", "Alarm:0"};
        QCOMPARE(f.step(Frame(1000, 200)), quietFirst); // against the all-zero start

        f.step(Frame(1000, 200));
        f.detector.clearPrimed();
        QCOMPARE(f.step(Frame(1000, 0)), quietFirst);
        QCOMPARE(f.step(Frame(1000, 200)),
                 (QStringList{"Ind:0", "FPS", "Percent:0", "Alarm:1", "Save"}));
    }

    void alarmWithoutSave_data() {
        QTest::addColumn<bool>("saveAlarm");
        QTest::addColumn<bool>("windowLoaded");
        QTest::addColumn<bool>("dialogOpen");
        QTest::newRow("SaveAlarm off") << false << false << false;
        QTest::newRow("detector window loaded") << true << true << false;
        QTest::newRow("opened from the main window") << true << false << true;
    }

    void alarmWithoutSave() {
        QFETCH(bool, saveAlarm);
        QFETCH(bool, windowLoaded);
        QFETCH(bool, dialogOpen);
        Fixture f;
        f.context.settings.saveOnAlarm = saveAlarm;
        f.context.detectorWindowOpen = windowLoaded;
        f.context.detectorWindowShown = dialogOpen;
        f.detector.setSimilarityThreshold(70);
        f.step(Frame(100, 0));
        QCOMPARE(f.step(Frame(100, 255)).mid(1), (QStringList{"FPS", "Percent:0", "Alarm:1"}));
    }

    // The save runs after every alarm handler has returned.
    void saveFollowsAlarmHandlers() {
        Fixture f;
        QObject::connect(&f.detector, &MotionDetector::alarm,
                         [&f] { f.recorder.log << QStringLiteral("late handler"); });
        f.detector.setSimilarityThreshold(70);
        f.step(Frame(10, 0));
        QCOMPARE(f.step(Frame(10, 9)).mid(3), (QStringList{"Alarm:1", "late handler", "Save"}));
    }

    // A handler that lets events through (a program run and waited for) must
    // not start a second step inside the first: the frame waits.
    void noStepInsideAStep() {
        Fixture f;
        const Frame inner(10, 50);
        QObject::connect(&f.detector, &MotionDetector::alarm, [&f, &inner] {
            f.detector.onDetectorTick();
            f.deliver(inner);
            f.detector.startDetector();
        });
        f.step(Frame(10, 0));
        QCOMPARE(f.recorder.log.count(QStringLiteral("FPS")), 1);
        QVERIFY(f.detector.grabRequest());
        QCOMPARE(bytes(f.detector.frameBuffer()), Frame(10, 0));
    }

    void detectionOffRaisesNoAlarm() {
        Fixture f;
        f.context.watching = false;
        f.detector.setSimilarityThreshold(70);
        f.step(Frame(10, 0));
        QCOMPARE(f.step(Frame(10, 9)), (QStringList{"Ind:0", "FPS", "Percent:0"}));
    }

    // Switching detection off and on keeps the last sample and the primed
    // flag: the first new step may alarm at once.
    void restartKeepsPrimedAndLastFrame() {
        Fixture f;
        f.detector.setSimilarityThreshold(70);
        f.step(Frame(10, 1));
        f.detector.setDetecting(false);
        f.detector.setDetecting(true);
        QCOMPARE(f.step(Frame(10, 99)).at(3), QStringLiteral("Alarm:1"));
    }

    void framesAreTakenOnlyWhenAsked() {
        Fixture f;
        f.deliver(Frame(10, 1));
        QVERIFY(f.recorder.log.isEmpty());
        QVERIFY(!f.detector.bufferSized());

        f.detector.onDetectorTick();
        QVERIFY(f.detector.grabRequest());
        f.deliver(Frame(10, 1));
        QVERIFY(!f.detector.grabRequest());
        QCOMPARE(f.recorder.log.count(QStringLiteral("FPS")), 1);
        f.deliver(Frame(10, 2)); // a second preview frame in the same tick is dropped
        QCOMPARE(f.recorder.log.count(QStringLiteral("FPS")), 1);
        QCOMPARE(bytes(f.detector.frameBuffer()), Frame(10, 1));
        QCOMPARE(f.detector.videoHeader().bytesUsed, 10u);
    }

    // A frame with no bytes is no sample: nothing runs and the request stays
    // for the next frame. startDetector before any frame does nothing either.
    void emptyFramesAreNotSamples() {
        Fixture f;
        f.detector.startDetector();
        QVERIFY(f.recorder.log.isEmpty());

        f.detector.onDetectorTick();
        f.deliver(Frame());
        video::FrameHeader noData;
        noData.bytesUsed = noData.bufferLength = 64;
        QCOMPARE(f.detector.onFrame(noData), 0);
        QVERIFY(f.recorder.log.isEmpty());
        QVERIFY(f.detector.grabRequest());
        QVERIFY(!f.detector.bufferSized());
        f.deliver(Frame(8, 3));
        QCOMPARE(f.detector.frameLength(), 8u);
    }

    // Never read past the device's buffer, whatever bytesUsed claims.
    void bytesUsedBeyondBufferIsClamped() {
        Fixture f;
        const Frame frame(16, 5);
        video::FrameHeader header;
        header.data = frame.data();
        header.bufferLength = 16;
        header.bytesUsed = 4096;
        f.detector.onDetectorTick();
        f.detector.onFrame(header);
        QCOMPARE(bytes(f.detector.frameBuffer()), frame);
    }

    // A frame of another size re-sizes the buffer, restarts the comparison
    // from an all-zero frame and does not alarm on that step.
    void frameOfAnotherSize() {
        Fixture f;
        f.detector.setSimilarityThreshold(70);
        f.step(Frame(100, 7));
        f.step(Frame(100, 7));
        QCOMPARE(f.step(Frame(250, 9)), (QStringList{"FPS", "Percent:0", "Alarm:0"}));
        QCOMPARE(f.detector.frameLength(), 250u);
        QCOMPARE(f.step(Frame(250, 9)).at(2), QStringLiteral("Percent:100"));
        QCOMPARE(f.step(Frame(40, 9)).at(1), QStringLiteral("Percent:0"));
        QCOMPARE(bytes(f.detector.frameBuffer()), Frame(40, 9));
    }

    // A frame handed over in pieces (the rows of a decoder's planes) is
    // judged exactly as a copied one and ends in the frame buffer, whatever
    // came before it: copied frames, other sizes, a change of format.
    void piecesStepLikeACopy_data() {
        QTest::addColumn<QList<Frame>>("frames");
        // Per frame: p = in pieces, c = copied, f = formatChanged first.
        QTest::addColumn<QString>("how");
        const QList<Frame> same{Frame(64, 7), frameWith(64, 7, 20, 9), frameWith(64, 7, 3, 30),
                                Frame(64, 7)};
        QTest::newRow("pieces only") << same << "pppp";
        QTest::newRow("pieces and copies") << same << "pccp";
        QTest::newRow("copies then pieces") << same << "ccpp";
        QTest::newRow("format changed") << same << "ppfp";
        QTest::newRow("size changes")
            << QList<Frame>{Frame(64, 7), Frame(96, 9), frameWith(96, 9, 50, 40), Frame(64, 7)}
            << "pppc";
    }
    void piecesStepLikeACopy() {
        QFETCH(QList<Frame>, frames);
        QFETCH(QString, how);
        Fixture copied;
        Fixture given;
        for (Fixture* f : {&copied, &given}) {
            f->detector.setNoiseTolerance(5);
            f->detector.setSimilarityThreshold(80);
        }
        for (qsizetype i = 0; i < frames.size(); ++i) {
            const Frame& frame = frames[i];
            if (how[i] == QLatin1Char('f')) {
                copied.detector.formatChanged();
                given.detector.formatChanged();
            }
            if (how[i] == QLatin1Char('c')) {
                given.step(frame);
            } else {
                // Uneven pieces, as rows of planes of different widths.
                const std::size_t cut = frame.size() / 3;
                const MotionDetector::Piece pieces[] = {
                    {frame.data(), cut},
                    {frame.data() + cut, 1},
                    {frame.data() + cut + 1, frame.size() - cut - 1}};
                video::FrameHeader header;
                header.bufferLength = header.bytesUsed = static_cast<quint32>(frame.size());
                given.recorder.log.clear();
                given.detector.onDetectorTick();
                given.detector.onFrame(header, pieces);
            }
            QCOMPARE(given.recorder.log, copied.step(frame));
            QCOMPARE(bytes(given.detector.frameBuffer()), frame);
        }
        // A step without a new frame compares the last one with itself.
        given.recorder.log.clear();
        given.detector.startDetector();
        QVERIFY(given.recorder.log.contains(QStringLiteral("Percent:100")));
        // Pieces that do not add up to the bytes the header counts are no frame.
        const Frame other(frames.last().size(), 200);
        const MotionDetector::Piece half[] = {{other.data(), other.size() / 2}};
        video::FrameHeader header;
        header.bufferLength = header.bytesUsed = static_cast<quint32>(other.size());
        given.detector.onDetectorTick();
        given.detector.onFrame(header, half);
        QVERIFY(given.detector.grabRequest());
        QCOMPARE(bytes(given.detector.frameBuffer()), frames.last());
    }

    // formatChanged compares the next frame with zeros; primed stays as it was.
    void newFormatRestartsFromZeros() {
        Fixture f;
        f.detector.setSimilarityThreshold(70);
        f.step(Frame(10, 4));
        f.detector.formatChanged();
        QCOMPARE(f.detector.frameLength(), 0u);
        QCOMPARE(f.step(Frame(10, 4)).mid(2), (QStringList{"Percent:0", "Alarm:1", "Save"}));
    }

    // With the clock standing still a step takes no time: the speed saturates
    // instead of dividing by zero.
    void fpsOfInstantStepsSaturates() {
        Fixture f;
        qint16 fps = 0;
        QObject::connect(&f.detector, &MotionDetector::speedChanged, [&fps](qint16 v) { fps = v; });
        f.step(Frame(10, 4));
        QCOMPARE(fps, qint16(32767));
    }

    void settingsReachTimerIndicatorAndPreview() {
        Fixture f;
        f.context.alarmCount = 12;
        f.detector.setSimilarityThreshold(80);
        f.detector.setLevelMaximum(80);
        QCOMPARE(f.recorder.log, (QStringList{"Ind:80", "threshold:80:0"}));
        QCOMPARE(f.detector.similarityThreshold(), qint16(80));

        f.detector.setDetectorInterval(250);
        QCOMPARE(f.detector.detectorTimer().interval(), 250);
        QVERIFY(!f.detector.detectorTimer().isActive());
        QCOMPARE(f.recorder.rates, QList<qint16>{250});

        f.detector.setDetecting(true);
        QVERIFY(f.detector.detectorTimer().isActive());
        QVERIFY(f.recorder.visible);
        QCOMPARE(f.context.alarmCount, qint16(0));
        QCOMPARE(f.recorder.rates.last(), qint16(250));

        f.detector.setDetectorInterval(400);
        QVERIFY(f.detector.detectorTimer().isActive());
        QCOMPARE(f.detector.detectorTimer().interval(), 400);

        f.detector.setDetecting(false);
        QVERIFY(!f.detector.detectorTimer().isActive());
        QVERIFY(!f.recorder.visible);
        QCOMPARE(f.recorder.rates.last(), MotionDetector::kIdlePreviewRate);

        f.context.settings.syncPreviewRate = false;
        f.recorder.rates.clear();
        f.detector.setDetectorInterval(300);
        f.detector.setDetecting(true);
        QCOMPARE(f.recorder.rates, QList<qint16>{MotionDetector::kIdlePreviewRate});
        f.detector.setPreviewRate(77);
        QCOMPARE(f.recorder.rates.last(), qint16(77));
    }

    // A real tick of the detector timer only asks for a frame.
    void timerTickSetsGrabRequest() {
        Fixture f;
        f.detector.setDetectorInterval(1);
        f.detector.setDetecting(true);
        QTRY_VERIFY_WITH_TIMEOUT(f.detector.grabRequest(), 5000);
        QVERIFY(f.recorder.log.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMotionDetector)
#include "tst_motiondetector.moc"
