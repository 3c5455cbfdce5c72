#include "FakeClock.h"
#include "FakeDialogs.h"
#include "capture/EventLog.h"
#include "capture/EventRecorder.h"
#include "capture/FrameSaver.h"
#include "capture/MotionDetector.h"
#include "core/AppContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace vigilux;
using capture::EventLog;
using capture::EventRecorder;
using capture::EventTracker;
using capture::MotionEvent;
using Frame = std::vector<uchar>;

namespace {

constexpr std::size_t FrameSize = 1000;

// The picture saving gets: one grey level per step, so a test can tell
// which step's frame was written.
class Host final : public capture::FrameSaverHost {
public:
    int level = 0;
    QStringList status;
    QImage currentFrame() override {
        QImage image(8, 8, QImage::Format_RGB888);
        image.fill(QColor(level, level, level));
        return image;
    }
    void showSavingIndicator() override {}
    void startIndicatorHideTimer() override {}
    void toggleWatching() override {}
    void playSound(const QString&) override {}
    void showStatus(const QString& text) override { status << text; }
};

// A detector watching, its saving into a temporary folder, and the recorder
// on both, driven one step per 500 ms of fake time.
struct Watch {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    Host host;
    capture::MotionDetector detector{context};
    capture::FrameSaver saving{context, host};
    EventRecorder recorder{context, detector, saving, host};
    QList<MotionEvent> ended;
    Frame last = Frame(FrameSize, 100);

    explicit Watch(int gap, int framesMode = 0) {
        auto& s = context.settings;
        s.savePath = dir.path();
        s.createSubfolders = false;
        s.limitFiles = false;
        s.saveAsJpeg = false;
        s.imprintDate = false;
        s.eventGap = gap;
        s.eventFrames = framesMode;
        detector.setNoiseTolerance(5);
        detector.setSimilarityThreshold(90); // more than 10 % changed is motion
        detector.setSaveFrame([this] { recorder.saveAlarmFrame(); });
        QObject::connect(&recorder.tracker(), &EventTracker::eventEnded,
                         [this](const MotionEvent& e) { ended << e; });
        context.watching = true;
        recorder.start();
        step(0); // primes the detector
    }

    // One step 500 ms after the last, `changed` percent of the bytes moved.
    void step(int changed) {
        clock.advance(500);
        Frame next = last;
        for (std::size_t i = 0; i < FrameSize * static_cast<std::size_t>(changed) / 100; ++i)
            next[i] = next[i] == 100 ? 200 : 100;
        last = next;
        host.level = changed;
        platform::FrameHeader header;
        header.data = next.data();
        header.bufferLength = static_cast<quint32>(next.size());
        header.bytesUsed = header.bufferLength;
        detector.onDetectorTick();
        detector.onFrame(header);
    }
    void still(double seconds) {
        for (int i = 0; i < seconds * 2; ++i)
            step(0);
    }
    // Three 5 s bursts, 15 s of stillness after each.
    void threeBursts(const QList<int>& changes = {30}) {
        for (int burst = 0; burst < 3; ++burst) {
            for (int i = 0; i < 10; ++i)
                step(changes.at(i % changes.size()));
            still(15);
        }
    }
    QStringList pictures() const {
        QStringList files = capture::FrameSaver::listFiles(dir.path());
        files.removeAll(EventLog::FileName);
        return files;
    }
    QStringList logLines() const {
        QFile file(dir.filePath(EventLog::FileName));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace

class TestEventRecorder final : public QObject {
    Q_OBJECT

private slots:
    void burstsAreLoggedWithTheirFrames_data();
    void burstsAreLoggedWithTheirFrames();
    void firstFramesThenEvery();
    void largestFrameWrittenAtTheEnd();
    void stopEndsTheOpenEvent();
    void uncountedStepsMakeNoEvent();
    void rotationSparesTheLog();
};

void TestEventRecorder::burstsAreLoggedWithTheirFrames_data() {
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("events");
    QTest::newRow("gap 10 s") << 10 << 3;
    QTest::newRow("gap 20 s") << 20 << 1;
}

void TestEventRecorder::burstsAreLoggedWithTheirFrames() {
    QFETCH(int, gap);
    QFETCH(int, events);
    Watch w(gap);
    w.threeBursts();
    w.recorder.stop();

    QCOMPARE(w.ended.size(), events);
    // Every alarm step saved a frame, as without events.
    QCOMPARE(w.pictures().size(), 30);
    int files = 0;
    for (const MotionEvent& e : w.ended) {
        QCOMPARE(e.files.size(), e.steps);
        files += int(e.files.size());
    }
    QCOMPARE(files, 30);
    const QStringList lines = w.logLines();
    QCOMPARE(lines.size(), events + 1);
    QCOMPARE(lines.first(), EventLog::Header);
    // Listeners get full paths; the log names files from its own folder.
    for (int i = 0; i < events; ++i) {
        MotionEvent logged = w.ended.at(i);
        for (QString& file : logged.files) {
            QVERIFY(QFileInfo(file).isAbsolute());
            file = QFileInfo(file).fileName();
        }
        QCOMPARE(lines.at(i + 1), EventLog::line(logged));
    }
    if (events == 3) {
        // The bursts start 1 s, 21 s and 41 s after the first (priming) step.
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w.ended.at(i).startMs, 1000.0 + i * 20000.0);
            QCOMPARE(w.ended.at(i).endMs, 5500.0 + i * 20000.0);
            QCOMPARE(w.ended.at(i).steps, 10);
        }
    }
    QVERIFY(w.host.status.isEmpty());
}

void TestEventRecorder::firstFramesThenEvery() {
    Watch w(10, 1);
    w.context.settings.eventFirstFrames = 2;
    w.context.settings.eventFrameInterval = 2;
    w.recorder.start();
    w.threeBursts();
    w.recorder.stop();
    QCOMPARE(w.ended.size(), 3);
    // Ten steps 500 ms apart: the first two, then one per 2 s (steps 6 and 10).
    for (const MotionEvent& e : w.ended)
        QCOMPARE(e.files.size(), 4);
    QCOMPARE(w.pictures().size(), 12);
}

void TestEventRecorder::largestFrameWrittenAtTheEnd() {
    Watch w(10, 2);
    QSignalSpy saved(&w.saving, &capture::FrameSaver::frameSaved);
    for (int change : {20, 50, 30, 50})
        w.step(change);
    QCOMPARE(saved.count(), 0); // nothing while the event runs
    const QDateTime peakTime = w.clock.now().addMSecs(-1000);
    w.still(15);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(w.ended.size(), 1);
    const MotionEvent& e = w.ended.first();
    QCOMPARE(e.peakChange, 50);
    QCOMPARE(e.files.size(), 1);
    // The first step with the largest change, under its own time.
    QCOMPARE(QFileInfo(e.files.first()).completeBaseName(),
             capture::FrameSaver::timeStampedName(peakTime));
    QCOMPARE(QImage(e.files.first()).pixelColor(0, 0), QColor(50, 50, 50));
    QVERIFY(w.logLines().at(1).endsWith(QStringLiteral(",1,"))); // one file, no clip
}

void TestEventRecorder::stopEndsTheOpenEvent() {
    Watch w(10, 2);
    w.step(40);
    w.step(40);
    w.recorder.stop(); // watching stops in the middle of an event
    QCOMPARE(w.ended.size(), 1);
    QCOMPARE(w.ended.first().files.size(), 1);
    QCOMPARE(w.logLines().size(), 2);
    // The next watch numbers from 1 and appends below.
    w.recorder.start();
    w.step(40);
    w.recorder.stop();
    QCOMPARE(w.ended.last().number, 1);
    QCOMPARE(w.logLines().size(), 3);
}

void TestEventRecorder::uncountedStepsMakeNoEvent() {
    Watch w(10);
    w.context.detectorWindowShown = true;
    w.step(40);
    w.context.detectorWindowShown = false;
    w.context.calibrationPhase = 2;
    w.step(40);
    w.recorder.stop();
    QVERIFY(w.ended.isEmpty());
    QVERIFY(!QFile::exists(w.dir.filePath(EventLog::FileName)));
}

void TestEventRecorder::rotationSparesTheLog() {
    // Numbered names sort after "events.csv" or before it ("a00001"); either
    // way the limit never deletes the log, and numbering never starts from it.
    Watch w(1);
    w.context.settings.limitFiles = true;
    w.context.settings.maxFileCount = 2;
    w.context.settings.singleFile = true;
    w.context.settings.singleFileName = QStringLiteral("a");
    for (int i = 0; i < 4; ++i) {
        w.step(40);
        w.still(2);
    }
    w.recorder.stop();
    QCOMPARE(w.ended.size(), 4);
    QCOMPARE(w.pictures(),
             (QStringList{QStringLiteral("a00003.bmp"), QStringLiteral("a00004.bmp")}));
    QCOMPARE(w.logLines().size(), 5);
}

QTEST_GUILESS_MAIN(TestEventRecorder)
#include "tst_event_recorder.moc"
