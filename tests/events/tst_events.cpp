#include "FakeClock.h"
#include "events/EventFramePolicy.h"
#include "events/EventLog.h"
#include "events/EventTracker.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;
using events::EventFramePolicy;
using events::EventLog;
using events::EventTracker;
using events::MotionEvent;

namespace {

using Decision = EventFramePolicy::Decision;

// Feeds the tracker one detector step every 500 ms for `seconds`, each an
// alarm step when `motion`, polling on every step as the watcher does.
void run(test::FakeClock& clock, EventTracker& tracker, double seconds, bool motion,
         int change = 30) {
    for (int i = 0; i < static_cast<int>(seconds * 2); ++i) {
        clock.advance(500);
        tracker.poll();
        if (motion)
            tracker.alarmStep(change);
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

MotionEvent sampleEvent(int number) {
    MotionEvent e;
    e.number = number;
    e.startTime = QDateTime(QDate(2026, 12, 6), QTime(21, 30, 5, 70));
    e.endTime = e.startTime.addMSecs(12500);
    e.startMs = 1000.0;
    e.endMs = 13500.0;
    e.steps = 26;
    e.peakChange = 43;
    e.files = {QStringLiteral("/s/2026.12.06/a.jpg"), QStringLiteral("/s/2026.12.06/b.jpg")};
    return e;
}

} // namespace

class TestEvents final : public QObject {
    Q_OBJECT

private slots:
    void burstsBecomeEvents_data();
    void burstsBecomeEvents();
    void endingAndRestart();
    void firstThenEvery();
    void largestOnly();
    void logLinesAndHeader();
    void logCutsTornTail();
    void logKeepsWholeRecordsAndLineEnds_data();
    void logKeepsWholeRecordsAndLineEnds();
    void logFailureIsReportedOnce();
    void killedWriterLeavesWholeLines();
};

void TestEvents::burstsBecomeEvents_data() {
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("events");
    QTest::newRow("gap 10 s") << 10 << 3;
    QTest::newRow("gap 20 s") << 20 << 1;
}

// Three 5 s bursts of motion, 15 s of stillness between them.
void TestEvents::burstsBecomeEvents() {
    QFETCH(int, gap);
    QFETCH(int, events);
    test::FakeClock clock;
    EventTracker tracker(clock);
    tracker.setGapSeconds(gap);
    QSignalSpy started(&tracker, &EventTracker::eventStarted);
    QList<MotionEvent> ended;
    connect(&tracker, &EventTracker::eventEnded, this, [&](const MotionEvent& e) { ended << e; });

    for (int burst = 0; burst < 3; ++burst) {
        run(clock, tracker, 5, true, 20 + burst * 10);
        run(clock, tracker, 15, false);
    }
    run(clock, tracker, 30, false); // long enough for the last one to end

    QCOMPARE(started.count(), events);
    QCOMPARE(ended.size(), events);
    QCOMPARE(tracker.eventCount(), events);
    QVERIFY(!tracker.isOpen());
    if (events == 3) {
        for (int i = 0; i < 3; ++i) {
            const MotionEvent& e = ended.at(i);
            QCOMPARE(e.number, i + 1);
            // Steps at 0.5 .. 5.0 s of each 20 s cycle.
            QCOMPARE(e.startMs, i * 20000.0 + 500.0);
            QCOMPARE(e.endMs, i * 20000.0 + 5000.0);
            QCOMPARE(e.startTime, clock.now().addMSecs(qint64(e.startMs - clock.steadyMs())));
            QCOMPARE(e.steps, 10);
            QCOMPARE(e.peakChange, 20 + i * 10);
        }
    } else {
        QCOMPARE(ended.first().startMs, 500.0);
        QCOMPARE(ended.first().endMs, 45000.0);
        QCOMPARE(ended.first().steps, 30);
        QCOMPARE(ended.first().peakChange, 40);
    }
}

void TestEvents::endingAndRestart() {
    test::FakeClock clock;
    EventTracker tracker(clock);
    tracker.setGapSeconds(0); // clamped to 1 s
    QCOMPARE(tracker.gapSeconds(), 1);
    QStringList endedFiles;
    connect(&tracker, &EventTracker::eventEnding, this,
            [&] { tracker.addSavedFile(QStringLiteral("largest.jpg")); });
    connect(&tracker, &EventTracker::eventEnded, this,
            [&](const MotionEvent& e) { endedFiles = e.files; });

    tracker.alarmStep(50);
    tracker.addSavedFile(QStringLiteral("first.jpg"));
    clock.advance(999);
    QVERIFY(!tracker.poll());
    QCOMPARE(tracker.msUntilEnd(), 1.0);
    // A step exactly one gap after the last one starts a new event.
    clock.advance(1);
    tracker.alarmStep(10);
    QCOMPARE(endedFiles, (QStringList{QStringLiteral("first.jpg"), QStringLiteral("largest.jpg")}));
    QCOMPARE(tracker.current().number, 2);

    // Watching stops: the open event ends at once; files after it are dropped.
    QSignalSpy ended(&tracker, &EventTracker::eventEnded);
    tracker.finish();
    QCOMPARE(ended.count(), 1);
    tracker.addSavedFile(QStringLiteral("late.jpg"));
    QCOMPARE(tracker.current().files, QStringList{QStringLiteral("largest.jpg")});
    tracker.finish();
    QCOMPARE(ended.count(), 1);

    // Switching watching on again numbers from 1.
    tracker.alarmStep(10);
    tracker.restart();
    QCOMPARE(ended.count(), 2);
    QCOMPARE(tracker.eventCount(), 0);
    tracker.alarmStep(10);
    QCOMPARE(tracker.current().number, 1);
}

void TestEvents::firstThenEvery() {
    EventFramePolicy policy;
    policy.setMode(1);
    QCOMPARE(policy.firstFrames(), 3);
    QCOMPARE(policy.everySeconds(), 5);
    policy.beginEvent();
    // Steps every 500 ms for 12 s: the first three, then one per 5 s.
    QList<double> saved;
    for (int i = 0; i < 24; ++i) {
        const double t = i * 500.0;
        if (policy.step(t, 30) == Decision::Save)
            saved << t;
    }
    QCOMPARE(saved, (QList<double>{0, 500, 1000, 6000, 11000}));
    // The next event starts its count afresh.
    policy.beginEvent();
    QCOMPARE(policy.step(20000, 30), Decision::Save);
    QCOMPARE(policy.step(20500, 30), Decision::Save);

    // Out-of-range values from a hand-edited file.
    policy.setFirstFrames(0);
    policy.setEverySeconds(100000);
    QCOMPARE(policy.firstFrames(), EventFramePolicy::MinFirstFrames);
    QCOMPARE(policy.everySeconds(), EventFramePolicy::MaxEverySeconds);
    policy.setMode(7);
    QCOMPARE(policy.mode(), EventFramePolicy::Mode::EveryStep);
    QCOMPARE(policy.step(0, 0), Decision::Save);
}

void TestEvents::largestOnly() {
    EventFramePolicy policy;
    policy.setMode(EventFramePolicy::Mode::LargestOnly);
    QVERIFY(policy.writesAtEnd());
    policy.beginEvent();
    QList<Decision> got;
    for (int change : {12, 30, 30, 8, 55, 54})
        got << policy.step(0, change);
    QCOMPARE(got, (QList<Decision>{Decision::KeepAsLargest, Decision::KeepAsLargest, Decision::Skip,
                                   Decision::Skip, Decision::KeepAsLargest, Decision::Skip}));
    policy.beginEvent();
    QCOMPARE(policy.step(0, 0), Decision::KeepAsLargest);
}

void TestEvents::logLinesAndHeader() {
    QTemporaryDir dir;
    EventLog log;
    log.setPath(dir.filePath(EventLog::FileName));
    MotionEvent second = sampleEvent(2);
    second.files = {QStringLiteral("/s/a,b \"x\".jpg")};
    second.clips = {QStringLiteral("/s/20261206213003070.mp4"),
                    QStringLiteral("/s/20261206214003070.mp4")};
    QVERIFY(log.append(sampleEvent(1)));
    QVERIFY(log.append(second));
    MotionEvent none = sampleEvent(3);
    none.files.clear();
    QVERIFY(log.append(none));
    QCOMPARE(QString::fromUtf8(readFile(log.path())),
             EventLog::Header +
                 QStringLiteral("\n1,2026-12-06T21:30:05.070,2026-12-06T21:30:17.570,12.500,26,43,"
                                "/s/2026.12.06/a.jpg,/s/2026.12.06/b.jpg,2,\n"
                                "2,2026-12-06T21:30:05.070,2026-12-06T21:30:17.570,12.500,26,43,"
                                "\"/s/a,b \"\"x\"\".jpg\",\"/s/a,b \"\"x\"\".jpg\",1,"
                                "/s/20261206213003070.mp4;/s/20261206214003070.mp4\n"
                                "3,2026-12-06T21:30:05.070,2026-12-06T21:30:17.570,12.500,26,43,"
                                ",,0,\n"));
    // Another run appends below what is there, without a second header.
    EventLog again;
    again.setPath(log.path());
    QVERIFY(again.append(sampleEvent(1)));
    QCOMPARE(readFile(log.path()).count(EventLog::Header.toUtf8()), 1);
    QCOMPARE(readFile(log.path()).count('\n'), 5);
}

void TestEvents::logCutsTornTail() {
    QTemporaryDir dir;
    const QString path = dir.filePath(EventLog::FileName);
    const QByteArray whole =
        EventLog::Header.toUtf8() + "\n" + EventLog::line(sampleEvent(1)).toUtf8() + "\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(whole + "2,2026-12-06T21:3");
    }
    EventLog log;
    log.setPath(path);
    QVERIFY(log.append(sampleEvent(2)));
    QCOMPARE(readFile(path), whole + EventLog::line(sampleEvent(2)).toUtf8() + "\n");

    // A file holding only a torn header is started afresh.
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("numb");
    }
    QVERIFY(log.append(sampleEvent(3)));
    QCOMPARE(readFile(path),
             EventLog::Header.toUtf8() + "\n" + EventLog::line(sampleEvent(3)).toUtf8() + "\n");
}

// The file as the user's tools left it: its line ends are kept, a whole
// last record without a line end gets one, only a torn record goes.
void TestEvents::logKeepsWholeRecordsAndLineEnds_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("kept"); // what stays in front of the new line
    QTest::addColumn<QByteArray>("eol");
    const QByteArray h = EventLog::Header.toUtf8();
    const QByteArray one = EventLog::line(sampleEvent(1)).toUtf8();
    QTest::newRow("LF, last record without its line end") << h + "\n" + one << h + "\n" + one + "\n"
                                                          << QByteArray("\n");
    QTest::newRow("CR only, last record without its line end")
        << h + "\r" + one << h + "\r" + one + "\r" << QByteArray("\r");
    QTest::newRow("CRLF, last record without its line end")
        << h + "\r\n" + one << h + "\r\n" + one + "\r\n"
        << QByteArray("\r\n");
    QTest::newRow("CRLF cut between CR and LF")
        << h + "\r\n" + one + "\r" << h + "\r\n" + one + "\r\n"
        << QByteArray("\r\n");
    MotionEvent interrupted = sampleEvent(1);
    interrupted.interrupted = true;
    const QByteArray noted = EventLog::line(interrupted).toUtf8();
    QTest::newRow("record with a note, without its line end")
        << h + "\n" + noted << h + "\n" + noted + "\n"
        << QByteArray("\n");
    QTest::newRow("torn inside a quoted file name")
        << h + "\n" + one + "\n" + one.left(one.indexOf(',') + 1) + "\"/s/a,b"
        << h + "\n" + one + "\n"
        << QByteArray("\n");
}

void TestEvents::logKeepsWholeRecordsAndLineEnds() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, eol);
    QTemporaryDir dir;
    const QString path = dir.filePath(EventLog::FileName);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(before);
    }
    EventLog log;
    log.setPath(path);
    QVERIFY(log.append(sampleEvent(2)));
    QCOMPARE(readFile(path), kept + EventLog::line(sampleEvent(2)).toUtf8() + eol);
}

void TestEvents::logFailureIsReportedOnce() {
    QTemporaryDir dir;
    QStringList status;
    EventLog log([&](const QString& text) { status << text; });
    log.setPath(dir.filePath(QStringLiteral("missing/events.csv")));
    QVERIFY(!log.append(sampleEvent(1)));
    QVERIFY(!log.append(sampleEvent(2)));
    QCOMPARE(status.size(), 1);
    QVERIFY(status.first().startsWith(QStringLiteral(" Не удалось записать журнал событий ")));
    // A full disk: the short write is taken back (the device cannot be cut,
    // the point is that the failure is reported, not a crash).
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        log.setPath(QStringLiteral("/dev/full"));
        QVERIFY(!log.append(sampleEvent(3)));
        QCOMPARE(status.size(), 1);
    }
    // Once a line is written, the next failure is reported again.
    log.setPath(dir.filePath(EventLog::FileName));
    QVERIFY(log.append(sampleEvent(4)));
    log.setPath(dir.filePath(QStringLiteral("missing/events.csv")));
    QVERIFY(!log.append(sampleEvent(5)));
    QCOMPARE(status.size(), 2);
}

void TestEvents::killedWriterLeavesWholeLines() {
    QTemporaryDir dir;
    const QString path = dir.filePath(EventLog::FileName);
    QProcess writer;
    writer.start(QStringLiteral(VIGILUX_EVENT_LOG_WRITER), {path});
    QVERIFY(writer.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(readFile(path).count('\n') >= 200, 60000);
    writer.kill();
    QVERIFY(writer.waitForFinished(10000));

    // A kill inside a write that crosses a page boundary may cut the last
    // line (the kernel stops between pages); the next append takes it back,
    // so the log holds only whole lines once the program writes again.
    const QByteArray killed = readFile(path);
    const int written = static_cast<int>(killed.count('\n')) - 1;
    EventLog log;
    log.setPath(path);
    const MotionEvent next = sampleEvent(written + 1);
    QVERIFY(log.append(next));

    const QByteArray data = readFile(path);
    QVERIFY(data.endsWith('\n'));
    const QList<QByteArray> lines = data.chopped(1).split('\n');
    QCOMPARE(lines.first(), EventLog::Header.toUtf8());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split(',');
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields.first().toInt(), static_cast<int>(i));
        QCOMPARE(fields.at(8), QByteArray("2"));
    }
}

QTEST_GUILESS_MAIN(TestEvents)
#include "tst_events.moc"
