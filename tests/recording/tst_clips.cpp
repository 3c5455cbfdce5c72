#include "FakeClock.h"
#include "FakeDialogs.h"
#include "VideoTools.h"
#include "core/AppContext.h"
#include "core/DeletionGuard.h"
#include "events/EventLog.h"
#include "events/EventTracker.h"
#include "recording/ClipRecorder.h"
#include "recording/ClipWriter.h"
#include "recording/EventClips.h"
#include "recording/FileRotation.h"
#include "recording/PreRollBuffer.h"
#include "video/VideoDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace vigilux;
using recording::ClipOptions;
using recording::ClipRecorder;
using recording::ClipWriter;
using recording::PreRollBuffer;
using video::FrameLayout;
using Pixel = FrameLayout::Pixel;

namespace {

// A frame whose brightness tells which one it is, with a moving square so
// the encoder has some motion to code.
struct TestFrame {
    std::vector<uchar> bytes;
    FrameLayout layout;
};

int levelOf(int index) {
    return 16 + (index * 4) % 200;
}

TestFrame yuvFrame(QSize size, int index) {
    const int w = size.width();
    const int h = size.height();
    TestFrame f;
    f.layout.size = size;
    f.layout.pixel = Pixel::Yuv420p;
    f.layout.planeCount = 3;
    const int cw = (w + 1) / 2;
    const int ch = (h + 1) / 2;
    f.layout.stride = {w, cw, cw};
    f.layout.offset = {0, qsizetype{w} * h, qsizetype{w} * h + qsizetype{cw} * ch};
    f.layout.bytes = qsizetype{w} * h + 2 * qsizetype{cw} * ch;
    f.bytes.assign(static_cast<std::size_t>(f.layout.bytes), 128);
    std::fill_n(f.bytes.begin(), w * h, static_cast<uchar>(levelOf(index)));
    const int x0 = (index * 3) % std::max(1, w - 8);
    for (int y = 0; y < std::min(8, h); ++y)
        for (int x = x0; x < x0 + 8 && x < w; ++x)
            f.bytes[static_cast<std::size_t>(y * w + x)] = 235;
    return f;
}

TestFrame rgbFrame(QSize size, int index) {
    TestFrame f;
    f.layout = FrameLayout::rgb24(size);
    f.bytes.resize(static_cast<std::size_t>(f.layout.bytes));
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            uchar* p = f.bytes.data() + (y * size.width() + x) * 3;
            p[0] = static_cast<uchar>(levelOf(index));
            p[1] = static_cast<uchar>(x * 255 / size.width());
            p[2] = static_cast<uchar>(y * 255 / size.height());
        }
    return f;
}

// ffprobe's view of a file.
QMap<QString, QString> probe(const QString& file) {
    return test::probeVideo(file);
}

// Average red level of the first frame, as our own decoder reads it.
double firstFrameLevel(const QString& file) {
    video::VideoDecoder decoder;
    if (!decoder.open(file) || !decoder.next())
        return -1;
    const std::uint8_t* rgb = decoder.rgb24();
    if (!rgb)
        return -1;
    // Below the moving square (top 8 rows).
    double sum = 0;
    int n = 0;
    for (int y = 12; y < decoder.height(); ++y)
        for (int x = 0; x < decoder.width(); ++x, ++n)
            sum += rgb[(y * decoder.width() + x) * 3];
    return n ? sum / n : -1;
}

// The red level a yuv level decodes to (limited range).
double expectedRed(int index) {
    return (levelOf(index) - 16) * 255.0 / 219.0;
}

struct Fixture {
    QTemporaryDir dir;
    test::FakeClock clock{QDateTime(QDate(2026, 12, 6), QTime(21, 30, 5, 70))};
    test::FakeDialogs dialogs;
    AppContext context{clock, dialogs, dir.path()};
    ClipRecorder recorder{context};
    QSignalSpy started{&recorder, &ClipRecorder::clipStarted};
    QSignalSpy finished{&recorder, &ClipRecorder::clipFinished};
    QSignalSpy status{&recorder, &ClipRecorder::status};
    double clockMs = 0; // where the fake clock stands on the frames' timeline

    Fixture() {
        auto& s = context.settings;
        s.savePath = dir.path();
        s.createSubfolders = false;
        s.limitFiles = false;
        s.singleFile = false;
    }

    void at(std::int64_t ms) {
        clock.advance(static_cast<double>(ms) - clockMs);
        clockMs = static_cast<double>(ms);
    }
    // Frames `from` to `to` (inclusive) every `stepMs`, alarm steps at the
    // times listed.
    void run(std::int64_t from, std::int64_t to, std::int64_t stepMs,
             const QList<std::int64_t>& alarms = {}, QSize size = {160, 120}, bool rgb = false) {
        for (std::int64_t ms = from; ms <= to; ms += stepMs) {
            at(ms);
            const int index = static_cast<int>(ms / 100);
            const TestFrame f = rgb ? rgbFrame(size, index) : yuvFrame(size, index);
            recorder.addFrame(f.bytes.data(), f.layout, ms);
            if (alarms.contains(ms))
                recorder.alarmStep(ms);
        }
    }
    QString clip(int i) const { return finished.at(i).at(0).toString(); }
};

ClipOptions clipOptions(int preRoll, int postRoll, int maxFps = 10, int maxClipMinutes = 10) {
    ClipOptions o;
    o.preRollSeconds = preRoll;
    o.postRollSeconds = postRoll;
    o.maxFps = maxFps;
    o.maxClipMinutes = maxClipMinutes;
    return o;
}

ClipWriter::Options writerOptions() {
    ClipWriter::Options o;
    o.fps = 10;
    return o;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestClips : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clipHoldsThePreRollTheEventAndThePostRoll();
    void laterAlarmsExtendAndLongEventsSplit();
    void clipsFollowMotionEvents();
    void capsTheFrameRateAndCropsOddSizes();
    void replayedInputGivesIdenticalBytes();
    void killedWriterLeavesAPlayableFile();
    void killedProgramLeavesAPlayableClip();
    void missingFolderGivesOneMessage();
    void fullDiskEndsTheClipAndKeepsIt();
    void fullDiskMarksTheEventsClipCut_data();
    void fullDiskMarksTheEventsClipCut();
    void clipsCountAgainstTheFileLimit();
    void sharedRotationSparesTheClipBeingWritten();
    void preRollStaysBoundedAndConvertsOnce();
};

void TestClips::initTestCase() {
    if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
        QSKIP("ffprobe is needed to check the clips");
    QVERIFY2(ClipWriter::accepts(Pixel::Yuv420p), "libx264 must be available");
}

void TestClips::clipHoldsThePreRollTheEventAndThePostRoll() {
    Fixture f;
    f.recorder.setOptions(clipOptions(2, 2));
    // 10 fps; one alarm step at 3 s: the clip runs from 1 s to 5 s.
    f.run(0, 6000, 100, {3000});

    QCOMPARE(f.started.size(), 1);
    QCOMPARE(f.finished.size(), 1);
    QCOMPARE(f.status.size(), 0);
    // Named after the wall clock at the first alarm step, in the save folder.
    QCOMPARE(f.clip(0), f.dir.path() + QStringLiteral("/2026_12_06_(21-30-08-07).mp4"));

    const auto info = probe(f.clip(0));
    QCOMPARE(info.value(QStringLiteral("codec_name")), QStringLiteral("h264"));
    QCOMPARE(info.value(QStringLiteral("pix_fmt")), QStringLiteral("yuv420p"));
    QCOMPARE(info.value(QStringLiteral("nb_read_frames")), QStringLiteral("41"));
    QVERIFY2(qAbs(info.value(QStringLiteral("duration")).toDouble() - 4.1) < 0.05,
             qPrintable(info.value(QStringLiteral("duration"))));
    // The first picture is from two seconds before the alarm (frame 10).
    QVERIFY(qAbs(firstFrameLevel(f.clip(0)) - expectedRed(10)) < 3);
}

void TestClips::laterAlarmsExtendAndLongEventsSplit() {
    Fixture f;
    f.recorder.setOptions(clipOptions(0, 1, 10, 1));
    // Alarm steps every 500 ms from 1 s to 70 s keep one event going; it
    // ends 1 s after the last. At one minute the clip is cut.
    QList<std::int64_t> alarms;
    for (std::int64_t ms = 1000; ms <= 70000; ms += 500)
        alarms << ms;
    f.run(0, 75000, 100, alarms, {64, 48});

    QCOMPARE(f.status.size(), 0);
    QCOMPARE(f.finished.size(), 2);
    QCOMPARE(probe(f.clip(0)).value(QStringLiteral("nb_read_frames")), QStringLiteral("600"));
    // 61 s to 71 s inclusive.
    QCOMPARE(probe(f.clip(1)).value(QStringLiteral("nb_read_frames")), QStringLiteral("101"));
    QVERIFY(qAbs(firstFrameLevel(f.clip(1)) - expectedRed(610)) < 3);

    // stop() ends a clip at once, before its post-roll.
    f.recorder.setOptions(clipOptions(0, 60));
    f.run(80000, 81000, 100, {80000}, {64, 48});
    QVERIFY(f.recorder.isRecording());
    f.recorder.stop();
    QVERIFY(!f.recorder.isRecording());
    QCOMPARE(f.finished.size(), 3);
    QCOMPARE(probe(f.clip(2)).value(QStringLiteral("nb_read_frames")), QStringLiteral("11"));
}

void TestClips::clipsFollowMotionEvents() {
    Fixture f;
    events::EventTracker tracker(f.clock);
    tracker.setGapSeconds(3);
    recording::EventClips clips(f.recorder, tracker);
    clips.setEnabled(true);
    QStringList order; // what happened, in turn
    QStringList logged;
    // Where the event recorder writes the log line: before this object hears
    // of the end.
    connect(&tracker, &events::EventTracker::eventEnding, this, [&](const events::MotionEvent& e) {
        order << QStringLiteral("ended");
        logged << e.clips;
    });
    connect(&clips, &recording::EventClips::clipSaved, this,
            [&](const QString& path) { order << QFileInfo(path).fileName(); });
    // As the capture control and the detector do: the frame goes to the
    // recorder first, then the detector's step may raise an alarm.
    const auto run = [&](std::int64_t from, std::int64_t to, const QList<std::int64_t>& alarms) {
        for (std::int64_t ms = from; ms <= to; ms += 100) {
            f.at(ms);
            const TestFrame frame = yuvFrame({64, 48}, static_cast<int>(ms / 100));
            f.recorder.addFrame(frame.bytes.data(), frame.layout, ms);
            tracker.poll();
            if (alarms.contains(ms)) {
                tracker.alarmStep(50);
                clips.onAlarm(true);
            }
        }
    };

    // Post-roll shorter than the gap: the quiet second and a half inside
    // the event is left out but for the pre-roll before its next step, and
    // the clip is announced only once the event has ended.
    f.recorder.setOptions(clipOptions(1, 1));
    run(0, 8000, {2000, 4500});
    QCOMPARE(f.finished.size(), 1);
    QCOMPARE(order, (QStringList{QStringLiteral("ended"),
                                 QStringLiteral("2026_12_06_(21-30-07-07).mp4")}));
    QCOMPARE(logged, QStringList{f.clip(0)});
    // 1 s to 3 s, then 3.5 s to 5.5 s.
    QCOMPARE(probe(f.clip(0)).value(QStringLiteral("nb_read_frames")), QStringLiteral("42"));

    // Post-roll longer than the gap: the clip runs on after its event until
    // the next event starts, which gets its own clip with its pre-roll.
    order.clear();
    logged.clear();
    f.recorder.setOptions(clipOptions(1, 5));
    run(8100, 20000, {10000, 14000});
    QCOMPARE(f.finished.size(), 3);
    QCOMPARE(logged, (QStringList{f.clip(1), f.clip(2)}));
    QCOMPARE(order.size(), 4);
    QCOMPARE(order.at(3), QFileInfo(f.clip(2)).fileName());
    QCOMPARE(probe(f.clip(1)).value(QStringLiteral("nb_read_frames")), QStringLiteral("51"));
    QCOMPARE(probe(f.clip(2)).value(QStringLiteral("nb_read_frames")), QStringLiteral("61"));
    QVERIFY(qAbs(firstFrameLevel(f.clip(2)) - expectedRed(130)) < 3);
    QCOMPARE(f.status.size(), 0);
}

void TestClips::capsTheFrameRateAndCropsOddSizes() {
    Fixture f;
    f.recorder.setOptions(clipOptions(1, 3, 10));
    // 25 fps in, packed RGB of an odd size; alarm at 2 s, clip 1 s to 5 s.
    f.run(0, 6000, 40, {2000}, {161, 121}, true);
    QCOMPARE(f.finished.size(), 1);
    const auto info = probe(f.clip(0));
    QCOMPARE(info.value(QStringLiteral("width")), QStringLiteral("160"));
    QCOMPARE(info.value(QStringLiteral("height")), QStringLiteral("120"));
    QCOMPARE(info.value(QStringLiteral("pix_fmt")), QStringLiteral("yuv420p"));
    const int frames = info.value(QStringLiteral("nb_read_frames")).toInt();
    QVERIFY2(frames >= 39 && frames <= 41, qPrintable(QString::number(frames)));
    QVERIFY(qAbs(info.value(QStringLiteral("duration")).toDouble() - 4.1) < 0.15);
}

void TestClips::replayedInputGivesIdenticalBytes() {
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        Fixture f;
        f.recorder.setOptions(clipOptions(1, 1));
        f.run(0, 4000, 100, {1500, 2000}, {96, 64}, true);
        QCOMPARE(f.finished.size(), 1);
        const QByteArray bytes = readAll(f.clip(0));
        QVERIFY(bytes.size() > 1000);
        if (run == 0)
            first = bytes;
        else
            QVERIFY2(bytes == first, "two runs over the same frames gave different files");
    }
}

void TestClips::killedWriterLeavesAPlayableFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.mp4"));
    ClipWriter writer;
    const core::Status opened = writer.open(path, {160, 120}, Pixel::Yuv420p, writerOptions());
    QVERIFY2(opened, qPrintable(opened.error()));
    for (int i = 0; i < 35; ++i) {
        const TestFrame t = yuvFrame({160, 120}, i);
        QVERIFY(writer.write(t.bytes.data(), t.layout, i * 100));
    }
    // What the disk holds if the program were killed now: every finished
    // fragment (a key frame a second) is there and plays.
    const QString killed = dir.filePath(QStringLiteral("killed.mp4"));
    QVERIFY(QFile::copy(path, killed));
    const int kept = probe(killed).value(QStringLiteral("nb_read_frames")).toInt();
    QVERIFY2(kept >= 25 && kept <= 35, qPrintable(QString::number(kept)));
    QVERIFY(writer.close());
    QCOMPARE(writer.framesWritten(), 35);
    QCOMPARE(writer.durationMs(), 3500);

    // Cut inside a fragment: the frames before it still play.
    const QByteArray whole = readAll(path);
    const QString cut = dir.filePath(QStringLiteral("cut.mp4"));
    QFile out(cut);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(whole.left(whole.size() * 6 / 10));
    out.close();
    const int partial = probe(cut).value(QStringLiteral("nb_read_frames")).toInt();
    QVERIFY2(partial >= 10 && partial < 35, qPrintable(QString::number(partial)));
}

// The whole way a watching program records: killed (SIGKILL) in the middle
// of an event, it leaves a clip that plays up to its last whole fragment.
void TestClips::killedProgramLeavesAPlayableClip() {
    QTemporaryDir dir;
    QProcess child;
    child.start(QStringLiteral(VIGILUX_CLIP_EVENT_CHILD), {dir.path()});
    QVERIFY(child.waitForStarted(10000));
    QByteArray line;
    while (!line.endsWith('\n') && child.waitForReadyRead(60000))
        line += child.readLine();
    QVERIFY2(line.startsWith("recording "), line.constData());
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    // 4 s of frames from 0 s (a second of pre-roll before the event):
    // the fragments of the first three seconds are complete on disk.
    const QString clip = QString::fromLocal8Bit(line.mid(10).trimmed());
    const auto info = probe(clip);
    QCOMPARE(info.value(QStringLiteral("codec_name")), QStringLiteral("h264"));
    const int frames = info.value(QStringLiteral("nb_read_frames")).toInt();
    QVERIFY2(frames >= 30 && frames <= 41, qPrintable(QString::number(frames)));
}

void TestClips::missingFolderGivesOneMessage() {
    Fixture f;
    f.context.settings.savePath = f.dir.filePath(QStringLiteral("gone"));
    f.recorder.setOptions(clipOptions(1, 1));
    f.run(0, 3000, 100, {1000, 1500, 2000});
    // One message for the whole event, however many steps and frames.
    QCOMPARE(f.status.size(), 1);
    QVERIFY(f.status.at(0).at(0).toString().contains(QStringLiteral("gone")));
    QCOMPARE(f.finished.size(), 0);

    // The next event, with the folder back, records again.
    QVERIFY(QDir().mkpath(f.context.settings.savePath));
    f.run(3100, 6000, 100, {4000});
    QCOMPARE(f.status.size(), 1);
    QCOMPARE(f.finished.size(), 1);

    // A writer that cannot make its file says why.
    ClipWriter writer;
    const core::Status opened = writer.open(f.dir.filePath(QStringLiteral("none/clip.mp4")),
                                            {64, 48}, Pixel::Yuv420p, writerOptions());
    QVERIFY(!opened);
    QVERIFY(!opened.error().isEmpty());
    const TestFrame t = yuvFrame({64, 48}, 0);
    QVERIFY(!writer.write(t.bytes.data(), t.layout, 0));
    QVERIFY(!writer.open(f.dir.filePath(QStringLiteral("x.mp4")), {64, 48}, Pixel::Yuyv,
                         writerOptions()));
}

void TestClips::fullDiskEndsTheClipAndKeepsIt() {
    Fixture f;
    f.recorder.setOptions(clipOptions(0, 10));
    f.run(0, 2500, 100, {0});
    QVERIFY(f.recorder.isRecording());
    const QString path = f.recorder.clipPath();

    // The disk fills up: writes past the file's present size (and a little) fail.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limit = old;
    limit.rlim_cur = static_cast<rlim_t>(QFileInfo(path).size() + 100);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
    f.run(2600, 6000, 100, {3000, 4000});
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    QCOMPARE(f.status.size(), 1);
    QCOMPARE(f.finished.size(), 1);
    QCOMPARE(f.clip(0), path);
    const int kept = probe(path).value(QStringLiteral("nb_read_frames")).toInt();
    QVERIFY2(kept >= 20, qPrintable(QString::number(kept)));

    // A full disk at the very start: the clip's name is taken by /dev/full.
    Fixture g;
    g.recorder.setOptions(clipOptions(0, 1));
    const QString full = g.dir.path() + QStringLiteral("/2026_12_06_(21-30-05-07).mp4");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), full));
    g.run(0, 1500, 100, {0, 500});
    QCOMPARE(g.status.size(), 1);
    QCOMPARE(g.finished.size(), 0);
}

// A disk that fills up in the middle of an event: the event's log line says
// its clip was cut; a clip without one whole second on disk is removed and
// never announced.
void TestClips::fullDiskMarksTheEventsClipCut_data() {
    QTest::addColumn<int>("fullAt"); // ms of frames on disk before it fills
    QTest::addColumn<bool>("kept");
    QTest::newRow("after two whole seconds") << 2500 << true;
    QTest::newRow("before the first whole second") << 300 << false;
}

void TestClips::fullDiskMarksTheEventsClipCut() {
    QFETCH(int, fullAt);
    QFETCH(bool, kept);
    Fixture f;
    events::EventTracker tracker(f.clock);
    tracker.setGapSeconds(2);
    recording::EventClips clips(f.recorder, tracker);
    clips.setEnabled(true);
    f.recorder.setOptions(clipOptions(0, 1));
    QList<events::MotionEvent> ended;
    QStringList saved;
    connect(&tracker, &events::EventTracker::eventEnded, this,
            [&](const events::MotionEvent& e) { ended << e; });
    connect(&clips, &recording::EventClips::clipSaved, this,
            [&](const QString& path) { saved << path; });
    QString path;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    for (std::int64_t ms = 0; ms <= 8000; ms += 100) {
        f.at(ms);
        const TestFrame frame = yuvFrame({160, 120}, static_cast<int>(ms / 100));
        f.recorder.addFrame(frame.bytes.data(), frame.layout, ms);
        tracker.poll();
        if (ms <= 5000 && ms % 500 == 0) {
            tracker.alarmStep(50);
            clips.onAlarm(true);
        }
        if (ms == fullAt) {
            // Not a byte more fits on the disk.
            path = f.recorder.clipPath();
            rlimit limit = old;
            limit.rlim_cur = static_cast<rlim_t>(QFileInfo(path).size());
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        }
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    QCOMPARE(ended.size(), 1);
    QVERIFY(ended[0].clipCut);
    QVERIFY(events::EventLog::line(ended[0]).endsWith(QStringLiteral(",cut")));
    QCOMPARE(f.status.size(), 1);
    QCOMPARE(QFileInfo::exists(path), kept);
    QCOMPARE(ended[0].clips, kept ? QStringList{path} : QStringList{});
    QCOMPARE(saved, kept ? QStringList{path} : QStringList{});
    if (kept)
        QVERIFY(probe(path).value(QStringLiteral("nb_read_frames")).toInt() >= 10);
}

void TestClips::clipsCountAgainstTheFileLimit() {
    Fixture f;
    auto& s = f.context.settings;
    s.limitFiles = true;
    s.maxFileCount = 3;
    s.createSubfolders = true;
    const QString day = f.dir.path() + QStringLiteral("/2026.12.06/");
    QVERIFY(QDir().mkpath(day));
    for (const char* name : {"2026_12_06_(10-00-00-00).jpg", "2026_12_06_(11-00-00-00).jpg",
                             "2026_12_06_(12-00-00-00).jpg"}) {
        QFile file(day + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    f.recorder.setOptions(clipOptions(0, 1));
    f.run(0, 2000, 100, {0});
    QCOMPARE(f.finished.size(), 1);
    QVERIFY(f.clip(0).startsWith(day));
    const QStringList left = QDir(day).entryList(QDir::Files, QDir::Name);
    QCOMPARE(left.size(), 3);
    QCOMPARE(left.first(), QStringLiteral("2026_12_06_(11-00-00-00).jpg"));
}

void TestClips::sharedRotationSparesTheClipBeingWritten() {
    // The upload queue keeps clips that have not gone out yet.
    struct UploadGuard final : core::DeletionGuard {
        QStringList kept;
        bool deferDeletion(const QString& path) override {
            if (!path.endsWith(QLatin1String(".mp4")))
                return false;
            kept << path;
            return true;
        }
    };
    Fixture f;
    recording::FileRotation rotation;
    f.recorder.setRotation(&rotation);
    f.recorder.setOptions(clipOptions(0, 60));
    f.run(0, 1500, 100, {0});
    QVERIFY(f.recorder.isRecording());
    const QString clip = f.recorder.clipPath();
    const QString folder = f.dir.path() + QLatin1Char('/');
    // Frames saved during the event have later names than the clip, so
    // their rotation would take the clip first.
    for (const char* name : {"2026_12_06_(21-30-06-00).jpg", "2026_12_06_(21-30-07-00).jpg"}) {
        QFile file(folder + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    rotation.makeRoom(folder, 1, {});
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(clip).fileName()});

    f.run(1600, 2500, 100);
    f.recorder.stop();
    QCOMPARE(probe(clip).value(QStringLiteral("nb_read_frames")), QStringLiteral("26"));
    // Closed, it is a file like the others; the guard may keep it for upload.
    UploadGuard guard;
    rotation.setDeletionGuard(&guard);
    QCOMPARE(rotation.rotate(folder, 1, {}), 1);
    QCOMPARE(guard.kept, QStringList{clip});
    QVERIFY(QFileInfo::exists(clip));
    rotation.setDeletionGuard(nullptr);
    QCOMPARE(rotation.rotate(folder, 5, {}), 1);
    QVERIFY(!QFileInfo::exists(clip));
}

void TestClips::preRollStaysBoundedAndConvertsOnce() {
    PreRollBuffer ring;
    ring.configure(2000, 10);
    // A long run of 720p frames from a camera that sends BGRX: memory stops
    // growing at the ring's size, and frames are kept as 4:2:0.
    const QSize hd(1280, 720);
    FrameLayout bgrx;
    bgrx.size = hd;
    bgrx.pixel = Pixel::Bgrx32;
    bgrx.planeCount = 1;
    bgrx.stride[0] = hd.width() * 4;
    bgrx.bytes = qsizetype{bgrx.stride[0]} * hd.height();
    std::vector<uchar> pixels(static_cast<std::size_t>(bgrx.bytes), 90);
    for (int i = 0; i < 60; ++i)
        QVERIFY(ring.push(pixels.data(), bgrx, i * 100));
    QCOMPARE(ring.size(), 22);
    QCOMPARE(ring.since(0).front()->layout.pixel, Pixel::Yuv420p);
    QCOMPARE(ring.since(0).front()->ms, 3800);
    QCOMPARE(ring.since(4000).size(), 20u);
    QVERIFY(ring.peakBytes() < qsizetype{64} << 20);

    // YV12 is stored as yuv420p with its chroma planes put in order.
    const QSize small(8, 4);
    FrameLayout yv12;
    yv12.size = small;
    yv12.pixel = Pixel::Yv12;
    yv12.planeCount = 3;
    yv12.stride = {8, 4, 4};
    yv12.offset = {0, 32, 40};
    yv12.bytes = 48;
    std::vector<uchar> planes(48, 100);
    std::fill_n(planes.begin() + 32, 8, 200); // V
    std::fill_n(planes.begin() + 40, 8, 50);  // U
    const PreRollBuffer::Frame* kept = ring.push(planes.data(), yv12, 0);
    QVERIFY(kept);
    QCOMPARE(ring.size(), 1); // a new format starts afresh
    QCOMPARE(kept->layout.pixel, Pixel::Yuv420p);
    QCOMPARE(int(kept->bytes[32]), 50);  // U first
    QCOMPARE(int(kept->bytes[40]), 200); // then V

    QString error;
    FrameLayout unknown = yv12;
    unknown.pixel = Pixel::Unknown;
    QVERIFY(!ring.push(planes.data(), unknown, 100, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestClips)
#include "tst_clips.moc"
