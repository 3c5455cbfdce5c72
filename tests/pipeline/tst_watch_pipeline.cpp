#include "FakeClock.h"
#include "FakeDialogs.h"
#include "core/AppContext.h"
#include "events/EventLog.h"
#include "pipeline/WatchPipeline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace vigilux;
using events::EventLog;
using events::EventTracker;
using events::MotionEvent;
using Frame = std::vector<uchar>;

namespace {

constexpr std::size_t FrameSize = 1000;

// Frames are 40 x 25 grey pixels; the last one carries a level per step, so
// a test can tell which step's frame was written.
const video::FrameLayout Layout =
    video::FrameLayout::packed(video::FrameLayout::Pixel::Gray8, QSize(40, 25));

// A pipeline watching, saving into a temporary folder, driven one step per
// 500 ms of fake time.
struct Watch {
    QTemporaryDir dir;
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    pipeline::WatchPipeline pipeline{context};
    detection::MotionDetector& detector = pipeline.detector();
    recording::FrameSaver& saving = pipeline.saver();
    QStringList status;
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
        QObject::connect(&pipeline.tracker(), &EventTracker::eventEnded,
                         [this](const MotionEvent& e) { ended << e; });
        QObject::connect(&pipeline, &pipeline::WatchPipeline::status,
                         [this](const QString& text) { status << text; });
        pipeline.start();
        step(0); // primes the detector
    }

    // One step 500 ms after the last, `changed` percent of the bytes moved.
    void step(int changed) {
        clock.advance(500);
        Frame next = last;
        for (std::size_t i = 0; i < FrameSize * static_cast<std::size_t>(changed) / 100; ++i)
            next[i] = next[i] == 100 ? 200 : 100;
        last = next;
        next.back() = static_cast<uchar>(changed);
        video::FrameHeader header;
        header.data = next.data();
        header.bufferLength = static_cast<quint32>(next.size());
        header.bytesUsed = header.bufferLength;
        pipeline.step(header, Layout);
        // The saver writes on its own thread; between two steps the window's
        // event loop hears of the pictures written meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(saving.pendingCount(), 0, 20000);
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
        QStringList files = recording::FrameSaver::listFiles(dir.path());
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

class TestWatchPipeline final : public QObject {
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

void TestWatchPipeline::burstsAreLoggedWithTheirFrames_data() {
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("events");
    QTest::newRow("gap 10 s") << 10 << 3;
    QTest::newRow("gap 20 s") << 20 << 1;
}

void TestWatchPipeline::burstsAreLoggedWithTheirFrames() {
    QFETCH(int, gap);
    QFETCH(int, events);
    Watch w(gap);
    w.threeBursts();
    w.pipeline.stop();

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
    QVERIFY(w.status.isEmpty());
}

void TestWatchPipeline::firstFramesThenEvery() {
    Watch w(10, 1);
    w.context.settings.eventFirstFrames = 2;
    w.context.settings.eventFrameInterval = 2;
    w.pipeline.stop(); // the settings are read when watching starts
    w.pipeline.start();
    w.threeBursts();
    w.pipeline.stop();
    QCOMPARE(w.ended.size(), 3);
    // Ten steps 500 ms apart: the first two, then one per 2 s (steps 6 and 10).
    for (const MotionEvent& e : w.ended)
        QCOMPARE(e.files.size(), 4);
    QCOMPARE(w.pictures().size(), 12);
}

void TestWatchPipeline::largestFrameWrittenAtTheEnd() {
    Watch w(10, 2);
    QSignalSpy saved(&w.saving, &recording::FrameSaver::frameSaved);
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
             recording::FrameSaver::timeStampedName(peakTime));
    QCOMPARE(QImage(e.files.first()).pixelColor(39, 24), QColor(50, 50, 50));
    QVERIFY(w.logLines().at(1).endsWith(QStringLiteral(",1,"))); // one file, no clip
}

void TestWatchPipeline::stopEndsTheOpenEvent() {
    Watch w(10, 2);
    w.step(40);
    w.step(40);
    w.pipeline.stop(); // watching stops in the middle of an event
    QCOMPARE(w.ended.size(), 1);
    QCOMPARE(w.ended.first().files.size(), 1);
    QCOMPARE(w.logLines().size(), 2);
    // The next watch numbers from 1 and appends below.
    w.pipeline.start();
    w.step(40);
    w.pipeline.stop();
    QCOMPARE(w.ended.last().number, 1);
    QCOMPARE(w.logLines().size(), 3);
}

void TestWatchPipeline::uncountedStepsMakeNoEvent() {
    Watch w(10);
    w.context.detectorWindowShown = true;
    w.step(40);
    w.context.detectorWindowShown = false;
    w.context.calibrationPhase = core::CalibrationPhase::Noise;
    w.step(40);
    w.pipeline.stop();
    QVERIFY(w.ended.isEmpty());
    QVERIFY(!QFile::exists(w.dir.filePath(EventLog::FileName)));
}

void TestWatchPipeline::rotationSparesTheLog() {
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
    w.pipeline.stop();
    QCOMPARE(w.ended.size(), 4);
    QCOMPARE(w.pictures(),
             (QStringList{QStringLiteral("a00003.bmp"), QStringLiteral("a00004.bmp")}));
    QCOMPARE(w.logLines().size(), 5);
}

QTEST_GUILESS_MAIN(TestWatchPipeline)
#include "tst_watch_pipeline.moc"
