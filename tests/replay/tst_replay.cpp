#include "VideoTools.h"
#include "platform/ConsoleDialogs.h"
#include "replay/Replay.h"
#include "video/VideoDecoder.h"

extern "C" {
#include <libavutil/cpu.h>
}

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace vigilux;
using replay::Replay;
using replay::ReplayOptions;

namespace {

// One parsed step line.
struct Step {
    qint64 tMs = -1;
    int similarity = -1;
    int changed = -1;
    bool alarm = false;
    QString saved;
    int objects = -1; // the object detector's count; -1: the byte compare decided
};

Step parseStep(const QString& line) {
    static const QRegularExpression re(QStringLiteral(
        R"(^t_ms=(\d+) similarity=(\d+) changed=(\d+) alarm=([01]) saved=(.+?)(?: objects=(\d+) largest=(\d+)(?: persons=(\d+))?)?$)"));
    const auto m = re.match(line);
    Step s;
    if (!m.hasMatch())
        return s;
    s.tMs = m.captured(1).toLongLong();
    s.similarity = m.captured(2).toInt();
    s.changed = m.captured(3).toInt();
    s.alarm = m.captured(4) == QLatin1String("1");
    s.saved = m.captured(5) == QLatin1String("-") ? QString() : m.captured(5);
    s.objects = m.captured(6).isEmpty() ? -1 : m.captured(6).toInt();
    return s;
}

struct Run {
    int code = -1;
    QStringList out;
    QStringList err;
    QList<Step> steps; // the step lines of `out`
    QString summary;
};

Run replayFile(const QString& file, const QString& outDir, const QString& ini) {
    Run run;
    Replay r(
        QDir::tempPath(), [&](const QString& l) { run.out << l; },
        [&](const QString& l) { run.err << l; });
    run.code = r.run(ReplayOptions{file, outDir, ini, {}});
    for (const QString& line : run.out) {
        if (line.startsWith(QLatin1String("t_ms=")))
            run.steps << parseStep(line);
        else
            run.summary = line;
    }
    return run;
}

// A file relative to `dir` → its bytes, for every file below it.
QMap<QString, QByteArray> tree(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            files.insert(QDir(dir).relativeFilePath(path), f.readAll());
    }
    return files;
}

// The same without the event log: the pictures saved.
QMap<QString, QByteArray> pictures(const QString& dir) {
    QMap<QString, QByteArray> files = tree(dir);
    files.remove(QStringLiteral("events.csv"));
    return files;
}

} // namespace

class TestReplay : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_ffmpeg;
    QString m_moving; // 320x240, 25 fps, 3 s: still for 1 s, then a box moves

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Makes a clip with ffmpeg; `filter` draws on a grey 320x240 ground.
    bool makeClip(const QString& name, const QString& codec, const QString& rate,
                  const QString& seconds, const QStringList& extra = {}) {
        QStringList args{QStringLiteral("-y"),
                         QStringLiteral("-hide_banner"),
                         QStringLiteral("-loglevel"),
                         QStringLiteral("error"),
                         QStringLiteral("-f"),
                         QStringLiteral("lavfi"),
                         QStringLiteral("-i"),
                         QStringLiteral("color=c=gray:s=320x240:r=%1:d=%2").arg(rate, seconds),
                         QStringLiteral("-f"),
                         QStringLiteral("lavfi"),
                         QStringLiteral("-i"),
                         QStringLiteral("color=c=red:s=80x80:r=%1:d=%2").arg(rate, seconds),
                         QStringLiteral("-filter_complex"),
                         QStringLiteral("[0][1]overlay=x='20+max(0,t-1)*120':y=80"),
                         QStringLiteral("-c:v"),
                         codec};
        if (codec == QLatin1String("mpeg4") || codec == QLatin1String("mjpeg"))
            args << QStringLiteral("-q:v") << QStringLiteral("4");
        if (codec == QLatin1String("mjpeg"))
            args << QStringLiteral("-pix_fmt") << QStringLiteral("yuvj420p");
        args << extra << path(name);
        return runFfmpeg(args);
    }

    bool runFfmpeg(const QStringList& args) const {
        QProcess ffmpeg;
        ffmpeg.start(m_ffmpeg, args);
        if (!ffmpeg.waitForFinished(60000)) {
            ffmpeg.kill();
            ffmpeg.waitForFinished(5000);
            return false;
        }
        return ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
    }

    bool hasEncoder(const QString& name) {
        QProcess ffmpeg;
        ffmpeg.start(m_ffmpeg, {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")});
        if (!ffmpeg.waitForFinished(30000))
            return false;
        return QString::fromUtf8(ffmpeg.readAllStandardOutput())
            .contains(QLatin1Char(' ') + name + QLatin1Char(' '));
    }

    // options.ini with the detector values, saving into JPEG with the
    // imprint, no day folders and no file limit; `overrides` are
    // "Section/Key=Value" items that replace or add keys.
    QString writeIni(const QString& name, int timer, int noise, int percent,
                     const QStringList& overrides = {}) {
        QMap<QString, QMap<QString, QString>> ini;
        ini[QStringLiteral("Files")] = {
            {QStringLiteral("CreateSubFolders"), QStringLiteral("False")},
            {QStringLiteral("MaxFiles"), QStringLiteral("False")}};
        ini[QStringLiteral("Image")] = {{QStringLiteral("Convert2JPG"), QStringLiteral("True")},
                                        {QStringLiteral("InPrintDate"), QStringLiteral("True")}};
        ini[QStringLiteral("MotionDetector")] = {
            {QStringLiteral("SaveAlarm"), QStringLiteral("True")}};
        ini[QStringLiteral("Sensor")] = {{QStringLiteral("Timer"), QString::number(timer)},
                                         {QStringLiteral("Noise"), QString::number(noise)},
                                         {QStringLiteral("Percent"), QString::number(percent)}};
        for (const QString& item : overrides) {
            const qsizetype slash = item.indexOf(QLatin1Char('/'));
            const qsizetype eq = item.indexOf(QLatin1Char('='));
            ini[item.left(slash)][item.mid(slash + 1, eq - slash - 1)] = item.mid(eq + 1);
        }
        QString text;
        for (auto section = ini.cbegin(); section != ini.cend(); ++section) {
            text += QLatin1Char('[') + section.key() + QStringLiteral("]\n");
            for (auto key = section->cbegin(); key != section->cend(); ++key)
                text += key.key() + QLatin1Char('=') + key.value() + QLatin1Char('\n');
        }
        const QString file = path(name);
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        f.write(text.toUtf8());
        return file;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (m_ffmpeg.isEmpty())
            QSKIP("ffmpeg is not installed (scripts/deps.sh installs it)");
        QVERIFY(makeClip(QStringLiteral("moving.mp4"), QStringLiteral("mpeg4"),
                         QStringLiteral("25"), QStringLiteral("3")));
        m_moving = path(QStringLiteral("moving.mp4"));
    }

    // The same file and settings give the same lines and the same files,
    // byte for byte, whatever the codec.
    void deterministic_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("container");
        QTest::newRow("mpeg4") << "mpeg4"
                               << "mp4";
        QTest::newRow("mjpeg") << "mjpeg"
                               << "avi";
        QTest::newRow("h264") << "libx264"
                              << "mkv";
    }
    void deterministic() {
        QFETCH(QString, codec);
        QFETCH(QString, container);
        if (!hasEncoder(codec))
            QSKIP("this ffmpeg has no such encoder");
        const QString clip = codec + QStringLiteral(".") + container;
        QVERIFY(makeClip(clip, codec, QStringLiteral("25"), QStringLiteral("3")));
        const QString ini = writeIni(QStringLiteral("det.ini"), 100, 5, 1);
        const QString outA = path(codec + QStringLiteral("-a"));
        const QString outB = path(codec + QStringLiteral("-b"));

        const Run a = replayFile(path(clip), outA, ini);
        const Run b = replayFile(path(clip), outB, ini);
        QCOMPARE(a.code, 0);
        QCOMPARE(b.code, 0);
        QVERIFY(a.err.isEmpty());
        QCOMPARE(a.steps.size(), 30); // 3 s at one step per 100 ms
        QStringList linesB = b.out.mid(0, b.out.size() - 1);
        linesB.replaceInStrings(outB, outA);
        QCOMPARE(a.out.mid(0, a.out.size() - 1), linesB);

        const auto filesA = tree(outA);
        QVERIFY(!filesA.isEmpty());
        QCOMPARE(filesA, tree(outB));
    }

    // The machine must not matter: with every SIMD path of the decoder and
    // the conversion switched off (as on a CPU without them) the lines and
    // files are the same.
    void sameWithoutSimd_data() { deterministic_data(); }
    void sameWithoutSimd() {
        QFETCH(QString, codec);
        QFETCH(QString, container);
        if (!hasEncoder(codec))
            QSKIP("this ffmpeg has no such encoder");
        const QString clip = codec + QStringLiteral(".") + container;
        if (!QFile::exists(path(clip)))
            QVERIFY(makeClip(clip, codec, QStringLiteral("25"), QStringLiteral("3")));
        const QString ini = writeIni(QStringLiteral("simd.ini"), 100, 0, 1);
        const QString outA = path(codec + QStringLiteral("-simd"));
        const QString outB = path(codec + QStringLiteral("-plain"));
        const Run a = replayFile(path(clip), outA, ini);
        av_force_cpu_flags(0);
        const Run b = replayFile(path(clip), outB, ini);
        av_force_cpu_flags(-1);
        QCOMPARE(a.code, 0);
        QCOMPARE(b.code, 0);
        QStringList linesB = b.out.mid(0, b.out.size() - 1);
        linesB.replaceInStrings(outB, outA);
        QCOMPARE(a.out.mid(0, a.out.size() - 1), linesB);
        QCOMPARE(tree(outA), tree(outB));
    }

    // Each tick takes the first frame at or after it; several ticks before
    // one frame make one step, as the grab request is a single flag.
    void tickRule_data() {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("timer");
        QTest::addColumn<QList<qint64>>("times");
        QTest::newRow("25 fps, 100 ms") << "25" << 100 << QList<qint64>{0, 120, 200, 320, 400, 520};
        QTest::newRow("25 fps, 120 ms: a frame on the tick is taken")
            << "25" << 120 << QList<qint64>{0, 120, 240, 360, 480, 600};
        QTest::newRow("10 fps, 250 ms") << "10" << 250 << QList<qint64>{0, 300, 500, 800, 1000};
        QTest::newRow("5 fps, 100 ms: two ticks, one step")
            << "5" << 100 << QList<qint64>{0, 200, 400, 600, 800};
        QTest::newRow("29.97 fps, 100 ms: 100.1 ms is after 100")
            << "30000/1001" << 100 << QList<qint64>{0, 100, 200, 300, 400};
        QTest::newRow("29.97 fps, 150 ms")
            << "30000/1001" << 150 << QList<qint64>{0, 166, 300, 467, 600, 767};
    }
    void tickRule() {
        QFETCH(QString, rate);
        QFETCH(int, timer);
        QFETCH(QList<qint64>, times);
        const QString clip = QStringLiteral("tick-%1.mp4").arg(QString(rate).replace('/', '_'));
        if (!QFile::exists(path(clip)))
            QVERIFY(makeClip(clip, QStringLiteral("mpeg4"), rate, QStringLiteral("2")));
        const QString ini = writeIni(QStringLiteral("tick.ini"), timer, 5, 10,
                                     {QStringLiteral("MotionDetector/SaveAlarm=False")});
        const Run run = replayFile(path(clip), QString(), ini);
        QCOMPARE(run.code, 0);
        QVERIFY(run.steps.size() >= times.size());
        QList<qint64> got;
        for (qsizetype i = 0; i < times.size(); ++i)
            got << run.steps[i].tMs;
        QCOMPARE(got, times);
    }

    // The alarm follows the detector's rule on every step: motion when the
    // similarity is below 100 - Percent, never on the first step.
    void alarmRule_data() {
        QTest::addColumn<int>("noise");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("anyAlarm");
        QTest::newRow("Percent 1") << 5 << 1 << true;
        QTest::newRow("Percent 1, Noise 0") << 0 << 1 << true;
        QTest::newRow("Percent 2") << 5 << 2 << true;
        QTest::newRow("Percent 30") << 5 << 30 << false;
        QTest::newRow("Percent 100 never alarms") << 0 << 100 << false;
    }
    void alarmRule() {
        QFETCH(int, noise);
        QFETCH(int, percent);
        QFETCH(bool, anyAlarm);
        const QString ini = writeIni(QStringLiteral("rule.ini"), 100, noise, percent);
        const QString out = path(QStringLiteral("rule-%1-%2").arg(noise).arg(percent));
        const Run run = replayFile(m_moving, out, ini);
        QCOMPARE(run.code, 0);
        int alarms = 0;
        for (qsizetype i = 0; i < run.steps.size(); ++i) {
            const Step& s = run.steps[i];
            QCOMPARE(s.changed, 100 - s.similarity);
            const bool expected = i > 0 && s.similarity < 100 - percent;
            QVERIFY2(s.alarm == expected, qPrintable(run.out[i]));
            // Every alarm saves (SaveAlarm on), nothing else does.
            QCOMPARE(!s.saved.isEmpty(), s.alarm);
            if (s.alarm) {
                QVERIFY(QFile::exists(s.saved));
                ++alarms;
            }
        }
        QCOMPARE(alarms > 0, anyAlarm);
        QCOMPARE(pictures(out).size(), alarms);
    }

    // A wider tolerance only ever raises the similarity; a higher Percent
    // only ever removes alarms.
    void settingsMoveResultsOneWay() {
        QList<int> previous;
        for (int noise : {0, 3, 8, 15}) {
            const Run run =
                replayFile(m_moving, QString(),
                           writeIni(QStringLiteral("mono.ini"), 100, noise, 1,
                                    {QStringLiteral("MotionDetector/SaveAlarm=False")}));
            QCOMPARE(run.code, 0);
            QList<int> similarities;
            for (const Step& s : run.steps)
                similarities << s.similarity;
            if (!previous.isEmpty()) {
                QCOMPARE(similarities.size(), previous.size());
                for (qsizetype i = 0; i < previous.size(); ++i)
                    QVERIFY(similarities[i] >= previous[i]);
            }
            previous = similarities;
        }
        qint64 lastAlarms = std::numeric_limits<qint64>::max();
        for (int percent : {0, 1, 2, 3, 5, 50}) {
            const Run run =
                replayFile(m_moving, QString(),
                           writeIni(QStringLiteral("mono.ini"), 100, 5, percent,
                                    {QStringLiteral("MotionDetector/SaveAlarm=False")}));
            qint64 alarms = 0;
            for (const Step& s : run.steps)
                alarms += s.alarm ? 1 : 0;
            QVERIFY(alarms <= lastAlarms);
            lastAlarms = alarms;
        }
    }

    // The summary counts what the step lines and the folder show.
    void summaryIsHonest() {
        const QString out = path(QStringLiteral("summary"));
        const Run run = replayFile(m_moving, out, writeIni(QStringLiteral("sum.ini"), 100, 5, 1));
        QCOMPARE(run.code, 0);
        static const QRegularExpression re(QStringLiteral(
            R"(^steps=(\d+) alarms=(\d+) saved=(\d+) damaged=0 decode_fps=(\d+\.\d) )"
            R"(step_us_median=(\d+\.\d) events=(\d+)$)"));
        const auto m = re.match(run.summary);
        QVERIFY2(m.hasMatch(), qPrintable(run.summary));
        qint64 alarms = 0;
        qint64 saved = 0;
        for (const Step& s : run.steps) {
            alarms += s.alarm ? 1 : 0;
            saved += s.saved.isEmpty() ? 0 : 1;
        }
        QCOMPARE(m.captured(1).toLongLong(), qint64(run.steps.size()));
        QCOMPARE(m.captured(2).toLongLong(), alarms);
        QCOMPARE(m.captured(3).toLongLong(), saved);
        QCOMPARE(qint64(pictures(out).size()), saved);
        QVERIFY(tree(out).contains(QStringLiteral("events.csv")));
        QVERIFY(m.captured(4).toDouble() > 0.0);
        QVERIFY(m.captured(5).toDouble() > 0.0);
    }

    // --plot draws the run: a 1600 x 600 PNG, the alarm marks in red. A
    // folder that cannot take it fails the run after the step lines.
    void plotPicture() {
        const QString png = path(QStringLiteral("run.png"));
        Run run;
        Replay r(
            QDir::tempPath(), [&](const QString& l) { run.out << l; },
            [&](const QString& l) { run.err << l; });
        ReplayOptions options{
            m_moving,
            QString(),
            writeIni(QStringLiteral("plot.ini"), 100, 5, 1, {"MotionDetector/SaveAlarm=False"}),
            {}};
        options.plotPath = png;
        QCOMPARE(r.run(options), 0);
        const QImage image(png);
        QCOMPARE(image.size(), QSize(1600, 600));
        int red = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                red += image.pixelColor(x, y) == QColor(210, 30, 30) ? 1 : 0;
        QVERIFY(red > 0);
        // The box's motion is one event, shaded behind the steps.
        QCOMPARE(run.out.filter(QRegularExpression(QStringLiteral("^event="))).size(), 1);
        int shaded = 0;
        for (int x = 0; x < image.width(); x += 2)
            shaded += image.pixelColor(x, image.height() / 2) == QColor(255, 214, 150) ? 1 : 0;
        QVERIFY(shaded > 0);

        // The same as a drawing, with its Russian labels as text.
        options.plotPath = path(QStringLiteral("run.svg"));
        QCOMPARE(r.run(options), 0);
        QFile svg(options.plotPath);
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QString drawing = QString::fromUtf8(svg.readAll());
        QVERIFY(drawing.contains(QLatin1String("<svg")));
        QVERIFY(drawing.contains(QStringLiteral("Время от начала записи, с")));

        options.plotPath = path(QStringLiteral("no/such/folder/run.png"));
        QCOMPARE(r.run(options), int(Replay::SaveFailed));
        QVERIFY(!run.err.isEmpty());
        QVERIFY(run.err.last().startsWith(QLatin1String("vigilux: ")));
    }

    // Three bursts of motion, 15 s of stillness after each: the event gap
    // decides whether they are three events or one. The step lines do not
    // change with it; the event lines, the summary and events.csv agree.
    void eventsFollowTheGap() {
        const QString clip = path(QStringLiteral("bursts.mp4"));
        // A red box moves during 1.05-3.05 s, 18.05-20.05 s and 35.05-37.05 s.
        const QStringList args{
            QStringLiteral("-y"),
            QStringLiteral("-hide_banner"),
            QStringLiteral("-loglevel"),
            QStringLiteral("error"),
            QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            QStringLiteral("color=c=gray:s=160x120:r=10:d=40"),
            QStringLiteral("-f"),
            QStringLiteral("lavfi"),
            QStringLiteral("-i"),
            QStringLiteral("color=c=red:s=30x30:r=10:d=40"),
            QStringLiteral("-filter_complex"),
            QStringLiteral("[0][1]overlay=x='10+40*mod(t,17)':y=40:enable='between(t,1.05,3.05)+"
                           "between(t,18.05,20.05)+between(t,35.05,37.05)'"),
            QStringLiteral("-c:v"),
            QStringLiteral("mpeg4"),
            QStringLiteral("-q:v"),
            QStringLiteral("2"),
            clip};
        QVERIFY(runFfmpeg(args));

        static const QRegularExpression eventRe(
            QStringLiteral(R"(^event=(\d+) start_ms=(\d+) end_ms=(\d+) steps=(\d+) peak=(\d+)$)"));
        QList<QStringList> stepLines;
        for (const int gap : {10, 20}) {
            const QString out = path(QStringLiteral("events-%1").arg(gap));
            const QString ini = writeIni(QStringLiteral("events.ini"), 500, 5, 2,
                                         {QStringLiteral("Events/EventGap=%1").arg(gap)});
            const Run run = replayFile(clip, out, ini);
            QCOMPARE(run.code, 0);
            QStringList events;
            QStringList steps;
            for (const QString& line : run.out) {
                if (line.startsWith(QLatin1String("event=")))
                    events << line;
                else if (line.startsWith(QLatin1String("t_ms=")))
                    steps << line;
            }
            stepLines << steps;
            // Alarm steps at 1.5-3.5 s (the box gone at 3.5 s is a change too),
            // 18.5-20.5 s and 35.5-37.5 s.
            QStringList expected;
            if (gap == 10) {
                expected = {QStringLiteral("1 1500 3500 5"), QStringLiteral("2 18500 20500 5"),
                            QStringLiteral("3 35500 37500 5")};
            } else {
                expected = {QStringLiteral("1 1500 37500 15")};
            }
            QCOMPARE(events.size(), expected.size());
            QFile csv(QDir(out).filePath(QStringLiteral("events.csv")));
            QVERIFY(csv.open(QIODevice::ReadOnly));
            const QStringList log =
                QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(log.size(), expected.size() + 1);
            for (int i = 0; i < events.size(); ++i) {
                const auto m = eventRe.match(events[i]);
                QVERIFY2(m.hasMatch(), qPrintable(events[i]));
                QCOMPARE(QStringList({m.captured(1), m.captured(2), m.captured(3), m.captured(4)})
                             .join(QLatin1Char(' ')),
                         expected[i]);
                QVERIFY(m.captured(5).toInt() > 2);
                // number, start, end, duration, steps, peak, first, last, files, clips
                const QStringList f = log[i + 1].split(QLatin1Char(','));
                QCOMPARE(f.size(), 10);
                QCOMPARE(f[0], m.captured(1));
                QCOMPARE(f[3].toDouble() * 1000.0,
                         m.captured(3).toDouble() - m.captured(2).toDouble());
                QCOMPARE(f[4], m.captured(4));
                QCOMPARE(f[5], m.captured(5));
                QCOMPARE(f[8], m.captured(4)); // every alarm step saved
            }
            QVERIFY(run.summary.endsWith(QStringLiteral(" events=%1").arg(expected.size())));
        }
        QCOMPARE(stepLines[0].size(), 80);
        QStringList other = stepLines[1];
        other.replaceInStrings(QStringLiteral("events-20"), QStringLiteral("events-10"));
        QCOMPARE(stepLines[0], other);
    }

    // With EventClips on, each event gets its clip from the file's frames:
    // named on the file's timeline, the same bytes on every run, as long as
    // the event plus the pre-roll and the post-roll, and named in the log.
    void clipsOfEvents() {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffprobe is not installed (scripts/deps.sh installs it)");
        const QString clip = path(QStringLiteral("crossing.mp4"));
        // 25 fps, above the clips' 10: a light box crosses during 1.5-3 s.
        QCOMPARE(test::makeCrossingFootage(clip, 25), clip);
        const QString ini =
            writeIni(QStringLiteral("clips.ini"), 100, 5, 2,
                     {QStringLiteral("Events/EventGap=1"), QStringLiteral("Events/EventClips=1"),
                      QStringLiteral("Events/PreRoll=1"), QStringLiteral("Events/PostRoll=1"),
                      QStringLiteral("Files/CreateSubFolders=True")});
        const QString outA = path(QStringLiteral("clips-a"));
        const QString outB = path(QStringLiteral("clips-b"));
        const Run a = replayFile(clip, outA, ini);
        const Run b = replayFile(clip, outB, ini);
        QCOMPARE(a.code, 0);
        QCOMPARE(b.code, 0);
        // Progress only: no clip went wrong.
        for (const QString& line : a.err)
            QVERIFY2(line.startsWith(QLatin1String("vigilux: replay ")), qPrintable(line));

        // Named after the file's timeline, so both runs wrote the same
        // names, and the same bytes.
        const QMap<QString, QByteArray> files = tree(outA);
        QCOMPARE(files, tree(outB));
        QStringList videos;
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            if (it.key().endsWith(QLatin1String(".mp4")))
                videos << it.key();
        QCOMPARE(videos.size(), 1);
        const QList<QStringList> log =
            test::readEventLog(QDir(outA).filePath(QStringLiteral("events.csv")));
        QCOMPARE(log.size(), 1);
        // The event's first frame and its clip share the name: the moment
        // of the first alarm step.
        QCOMPARE(
            videos.first(),
            QString(log.first().value(6)).replace(QStringLiteral(".jpg"), QStringLiteral(".mp4")));
        QCOMPARE(log.first().value(9), videos.first());
        QVERIFY(a.out.contains(QStringLiteral("clip=") + QDir(outA).filePath(videos.first())));

        // From a second before the first alarm step to a second after the
        // last, at most ten frames a second.
        const auto info = test::probeVideo(QDir(outA).filePath(videos.first()));
        QCOMPARE(info.value(QStringLiteral("codec_name")), QStringLiteral("h264"));
        const double duration = info.value(QStringLiteral("duration")).toDouble();
        const double expected = log.first().value(3).toDouble() + 2.0;
        QVERIFY2(
            std::abs(duration - expected) < 0.3,
            qPrintable(
                QStringLiteral("clip %1 s, event %2 s").arg(duration).arg(log.first().value(3))));
        const int frames = info.value(QStringLiteral("nb_read_frames")).toInt();
        QVERIFY2(frames >= duration * 9 && frames <= duration * 10 + 1,
                 qPrintable(QString::number(frames)));
    }

    // Recordings joined end to end: time jumps back at each join (and the
    // first part's clock restarts from far ahead, like a camera's). Every
    // frame is replayed on one continuous timeline, and standard error says
    // so once.
    void joinedRecordingsGoOn() {
        QByteArray joined;
        for (const QString& offset :
             {QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0")}) {
            const QString part = QStringLiteral("part.ts");
            QVERIFY(makeClip(part, QStringLiteral("mpeg4"), QStringLiteral("10"),
                             QStringLiteral("3"), {QStringLiteral("-output_ts_offset"), offset}));
            QFile f(path(part));
            QVERIFY(f.open(QIODevice::ReadOnly));
            joined += f.readAll(); // as `cat` joins them
        }
        const QString file = path(QStringLiteral("joined.ts"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(joined);
        }
        const Run run = replayFile(file, QString(),
                                   writeIni(QStringLiteral("joined.ini"), 100, 5, 1,
                                            {QStringLiteral("MotionDetector/SaveAlarm=False")}));
        QCOMPARE(run.code, 0);
        QCOMPARE(run.steps.size(), 90); // 9 s of frames, one step per 100 ms
        for (qsizetype i = 1; i < run.steps.size(); ++i)
            QVERIFY(run.steps[i].tMs > run.steps[i - 1].tMs);
        QVERIFY(run.steps.last().tMs >= 8800 && run.steps.last().tMs < 9000);
        const QStringList said = run.err.filter(QStringLiteral("timestamps"));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QLatin1String("2 time")), qPrintable(said[0]));
    }

    // Flipped bits: the damage is counted and reported, and the frames the
    // decoder marks corrupt are never compared, so made-up pictures raise no
    // alarms of their own. The same damaged file replays the same each time.
    void damagedVideoIsReported() {
        QVERIFY(makeClip(QStringLiteral("clean.ts"), QStringLiteral("mpeg4"), QStringLiteral("25"),
                         QStringLiteral("10")));
        QFile clean(path(QStringLiteral("clean.ts")));
        QVERIFY(clean.open(QIODevice::ReadOnly));
        QByteArray bytes = clean.readAll();
        std::mt19937 random(7);
        for (int i = 0; i < 400; ++i) {
            const auto at =
                qsizetype(random() % quint32(bytes.size() * 9 / 10)) + bytes.size() / 20;
            bytes[at] = char(bytes[at] ^ (1 << (random() % 8)));
        }
        QFile damaged(path(QStringLiteral("damaged.ts")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(bytes);
        damaged.close();

        const QString ini = writeIni(QStringLiteral("damaged.ini"), 100, 5, 1,
                                     {QStringLiteral("MotionDetector/SaveAlarm=False")});
        const auto alarms = [](const Run& run) {
            return std::count_if(run.steps.cbegin(), run.steps.cend(),
                                 [](const Step& s) { return s.alarm; });
        };
        const Run good = replayFile(clean.fileName(), QString(), ini);
        const Run bad = replayFile(damaged.fileName(), QString(), ini);
        QCOMPARE(good.code, 0);
        QCOMPARE(bad.code, 0);
        QVERIFY(good.summary.contains(QLatin1String(" damaged=0 ")));
        QVERIFY(good.err.filter(QStringLiteral("damaged")).isEmpty());

        static const QRegularExpression count(QStringLiteral(R"( damaged=(\d+) )"));
        const auto m = count.match(bad.summary);
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() > 0, qPrintable(bad.summary));
        QCOMPARE(bad.err.filter(QStringLiteral("damaged")).size(), 1);
        QVERIFY(bad.steps.size() < good.steps.size() + 5);
        // Frames predicted from a damaged one are left out up to the next key
        // frame, so damage adds no alarm of its own.
        QVERIFY2(
            alarms(bad) <= alarms(good),
            qPrintable(QStringLiteral("%1 alarms, clean %2").arg(alarms(bad)).arg(alarms(good))));

        const Run again = replayFile(damaged.fileName(), QString(), ini);
        QCOMPARE(again.out.mid(0, again.out.size() - 1), bad.out.mid(0, bad.out.size() - 1));
    }

    // With Kind=Objects the object detector decides: nothing while the
    // scene is still, an event once the box moves, the objects at the end
    // of every step line, the same lines on every run.
    void objectDetectorDecides() {
        const QString ini = writeIni(QStringLiteral("objects.ini"), 100, 5, 10,
                                     {QStringLiteral("Detector/Kind=Objects"),
                                      QStringLiteral("Detector/MinObject=20"),
                                      QStringLiteral("MotionDetector/SaveAlarm=False")});
        const Run a = replayFile(m_moving, QString(), ini);
        const Run b = replayFile(m_moving, QString(), ini);
        QCOMPARE(a.code, 0);
        QCOMPARE(a.out.mid(0, a.out.size() - 1), b.out.mid(0, b.out.size() - 1));
        QVERIFY(!a.steps.isEmpty());
        bool moved = false;
        for (const Step& step : a.steps) {
            QVERIFY(step.objects >= 0);
            QVERIFY2(!step.alarm || step.tMs >= 1000, qPrintable(QString::number(step.tMs)));
            moved = moved || (step.alarm && step.objects > 0);
        }
        QVERIFY(moved);
        // The event carries what was found, as the phone's message does.
        QCOMPARE(a.out
                     .filter(QRegularExpression(
                         QStringLiteral(R"(^event=1 .* objects=[1-9]\d* largest=[1-9]\d*$)")))
                     .size(),
                 1);

        // The plot shows the mask in a corner: the same run with a mask
        // differs there, and only when a mask is set.
        QImage mask(32, 24, QImage::Format_Grayscale8);
        mask.fill(255);
        for (int y = 0; y < 12; ++y)
            std::fill_n(mask.scanLine(y), 16, uchar(0));
        QVERIFY(mask.save(path(QStringLiteral("plotmask.png"))));
        const auto plotted = [&](const QString& iniFile, const QString& png) {
            Replay r(QDir::tempPath(), {}, {});
            return r.run(ReplayOptions{m_moving, {}, iniFile, path(png)}) == 0
                       ? QImage(path(png)).copy(0, 0, 320, 220)
                       : QImage();
        };
        const QImage plain = plotted(ini, QStringLiteral("objects.png"));
        const QImage masked = plotted(writeIni(QStringLiteral("objects-mask.ini"), 100, 5, 10,
                                               {QStringLiteral("Detector/Kind=Objects"),
                                                QStringLiteral("Detector/Mask=plotmask.png"),
                                                QStringLiteral("MotionDetector/SaveAlarm=False")}),
                                      QStringLiteral("objects-mask.png"));
        QVERIFY(!plain.isNull() && !masked.isNull());
        QVERIFY(plain != masked);
    }

    // Saved files follow the saving keys; their names come from the media
    // time, counted from the recording time the file states.
    void savingFollowsSettings_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("firstName");
        QTest::newRow("time-stamped JPEG with imprint")
            << QStringList{} << "2024_05_06_(07-08-10-12).jpg";
        QTest::newRow("plain BMP")
            << QStringList{"Image/Convert2JPG=False", "Image/InPrintDate=False"}
            << "2024_05_06_(07-08-10-12).bmp";
        QTest::newRow("numbered") << QStringList{"Files/StaticFile=True",
                                                 "Files/StaticFilePath=cam",
                                                 "Files/MaxFilesCount=50"}
                                  << "cam00001.jpg";
        QTest::newRow("day folder") << QStringList{"Files/CreateSubFolders=True"}
                                    << "2024.05.06/2024_05_06_(07-08-10-12).jpg";
    }
    void savingFollowsSettings() {
        QFETCH(QStringList, keys);
        QFETCH(QString, firstName);
        const QString clip = QStringLiteral("stamped.mp4");
        if (!QFile::exists(path(clip)))
            QVERIFY(makeClip(clip, QStringLiteral("mpeg4"), QStringLiteral("25"),
                             QStringLiteral("3"),
                             {QStringLiteral("-metadata"),
                              QStringLiteral("creation_time=2024-05-06T07:08:09Z")}));
        // The first step that moves is at 1120 ms: 07:08:09 + 1.12 s.
        const QString out = path(QStringLiteral("saving-%1").arg(QTest::currentDataTag()));
        const QString ini = writeIni(QStringLiteral("save.ini"), 100, 5, 1, keys);
        const Run run = replayFile(path(clip), out, ini);
        QCOMPARE(run.code, 0);
        const auto files = pictures(out);
        QVERIFY(!files.isEmpty());
        QCOMPARE(files.firstKey(), firstName);
        QCOMPARE(run.steps.size(), 30);
        QCOMPARE(qint64(files.size()),
                 qint64(std::count_if(run.steps.cbegin(), run.steps.cend(),
                                      [](const Step& s) { return s.alarm; })));
    }

    // Bad input: a non-zero exit, one clear line, nothing written.
    void badInput_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content"); // written first unless empty
        QTest::addColumn<QString>("settings");   // "" = a good settings file
        QTest::addColumn<int>("code");
        QTest::newRow("missing file") << "missing.mp4" << QByteArray() << "" << 1;
        QTest::newRow("a folder") << "." << QByteArray() << "" << 1;
        QTest::newRow("text") << "notes.txt" << QByteArray("just some words\n") << "" << 1;
        QTest::newRow("garbage named .mp4") << "fake.mp4" << QByteArray(4096, 'x') << "" << 1;
        QTest::newRow("empty file") << "empty.avi" << QByteArray() << "" << 1;
        QTest::newRow("missing settings") << "moving.mp4" << QByteArray() << "none.ini" << 2;
    }
    void badInput() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, settings);
        QFETCH(int, code);
        const QString target = file == QLatin1String(".") ? m_dir.path() : path(file);
        if (!content.isEmpty() || file.startsWith(QLatin1String("empty"))) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(content);
        }
        const QString ini =
            settings.isEmpty() ? writeIni(QStringLiteral("bad.ini"), 100, 5, 1) : path(settings);
        const QString out = path(QStringLiteral("bad-out"));
        const Run run = replayFile(target, out, ini);
        QCOMPARE(run.code, code);
        QCOMPARE(run.err.size(), 1);
        QVERIFY(run.err[0].startsWith(QLatin1String("vigilux: ")));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFileInfo::exists(out));
        if (!settings.isEmpty())
            QVERIFY(!QFileInfo::exists(ini)); // never created with defaults
    }

    void nonVideoMedia() {
        // Sound only, and a still picture: both are media, neither is video.
        QProcess ffmpeg;
        for (const QStringList& args : {QStringList{"-y", "-loglevel", "error", "-f", "lavfi", "-i",
                                                    "sine=d=1", path(QStringLiteral("sound.wav"))},
                                        QStringList{"-y", "-loglevel", "error", "-f", "lavfi", "-i",
                                                    "color=c=blue:s=64x48:d=1", "-frames:v", "1",
                                                    path(QStringLiteral("still.png"))}}) {
            ffmpeg.start(m_ffmpeg, args);
            QVERIFY(ffmpeg.waitForFinished(30000));
            QCOMPARE(ffmpeg.exitCode(), 0);
        }
        const QString ini = writeIni(QStringLiteral("nv.ini"), 100, 5, 1);
        for (const QString& name : {QStringLiteral("sound.wav"), QStringLiteral("still.png")}) {
            const Run run = replayFile(path(name), path(QStringLiteral("nv-out")), ini);
            QCOMPARE(run.code, 1);
            QCOMPARE(run.err.size(), 1);
            QVERIFY(run.out.isEmpty());
            QVERIFY(!QFileInfo::exists(path(QStringLiteral("nv-out"))));
        }
    }

    void unreadableFile() {
        const QString file = path(QStringLiteral("locked.mp4"));
        QVERIFY(QFile::copy(m_moving, file));
        QFile::setPermissions(file, QFileDevice::Permissions());
        QFile probe(file);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("running with rights that read any file");
        const Run run = replayFile(file, path(QStringLiteral("locked-out")),
                                   writeIni(QStringLiteral("l.ini"), 100, 5, 1));
        QCOMPARE(run.code, 1);
        QCOMPARE(run.err.size(), 1);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("locked-out"))));
    }

    // Without --out the SavePath setting must name an existing folder.
    void missingSaveFolder() {
        const QString ini =
            writeIni(QStringLiteral("nofolder.ini"), 100, 5, 1,
                     {QStringLiteral("Files/SavePath=") + path(QStringLiteral("no/such/folder"))});
        const Run run = replayFile(m_moving, QString(), ini);
        QCOMPARE(run.code, int(Replay::SaveFailed));
        QCOMPARE(run.err.size(), 1);
        QVERIFY(run.out.isEmpty());
    }

    void arguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("settings");
        QTest::newRow("file only") << QStringList{"--replay", "a.mp4"} << true << "a.mp4"
                                   << ""
                                   << "";
        QTest::newRow("all") << QStringList{"--replay", "a.mp4",      "--out",
                                            "d",        "--settings", "s.ini"}
                             << true << "a.mp4"
                             << "d"
                             << "s.ini";
        QTest::newRow("= forms") << QStringList{"--replay", "a.mp4", "--settings=s.ini", "--out=d"}
                                 << true << "a.mp4"
                                 << "d"
                                 << "s.ini";
        QTest::newRow("no file") << QStringList{"--replay"} << false << ""
                                 << ""
                                 << "";
        QTest::newRow("option as file") << QStringList{"--replay", "--out", "d"} << false << ""
                                        << ""
                                        << "";
        QTest::newRow("out without value")
            << QStringList{"--replay", "a.mp4", "--out"} << false << ""
            << ""
            << "";
        QTest::newRow("empty value") << QStringList{"--replay", "a.mp4", "--out="} << false << ""
                                     << ""
                                     << "";
        QTest::newRow("plot") << QStringList{"--replay", "a.mp4", "--plot", "p.png"} << true
                              << "a.mp4"
                              << ""
                              << "";
        QTest::newRow("plot not PNG")
            << QStringList{"--replay", "a.mp4", "--plot=p.jpg"} << false << ""
            << ""
            << "";
        QTest::newRow("unknown") << QStringList{"--replay", "a.mp4", "-x"} << false << ""
                                 << ""
                                 << "";
    }
    void arguments() {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        ReplayOptions options;
        QString error;
        QCOMPARE(Replay::parseArguments(args, options, error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (ok) {
            QTEST(options.file, "file");
            QTEST(options.outDir, "out");
            QTEST(options.settingsPath, "settings");
        }
    }

    // The tick comparison is exact on any time base.
    void mediaTime_data() {
        QTest::addColumn<qint64>("ticks");
        QTest::addColumn<int>("num");
        QTest::addColumn<int>("den");
        QTest::addColumn<qint64>("tickMs");
        QTest::addColumn<bool>("atOrAfter");
        QTest::addColumn<qint64>("floorMs");
        QTest::newRow("exactly on the tick")
            << qint64(3) << 1 << 30 << qint64(100) << true << qint64(100);
        QTest::newRow("100.1 ms after 100")
            << qint64(3003) << 1 << 30000 << qint64(100) << true << qint64(100);
        QTest::newRow("99.99 ms before 100")
            << qint64(2999700) << 1 << 30000000 << qint64(100) << false << qint64(99);
        QTest::newRow("one tick short")
            << qint64(1279) << 1 << 12800 << qint64(100) << false << qint64(99);
    }
    void mediaTime() {
        QFETCH(qint64, ticks);
        QFETCH(int, num);
        QFETCH(int, den);
        QFETCH(qint64, tickMs);
        const video::MediaTime t{ticks, num, den};
        QTEST(t.atOrAfter(tickMs), "atOrAfter");
        QTEST(qint64(t.floorMs()), "floorMs");
        QCOMPARE(t.periodsPassed(tickMs), t.atOrAfter(tickMs) ? 1 : 0);
    }

    // The planes the decoder hands out hold exactly picture()'s rows, and
    // only while the frame needs no conversion: a frame of another size
    // than the first has none to give.
    void decoderPlanesHoldThePicture_data() {
        QTest::addColumn<QStringList>("sizes");
        QTest::newRow("one size") << QStringList{QStringLiteral("320x240")};
        QTest::newRow("size changes")
            << QStringList{QStringLiteral("320x240"), QStringLiteral("176x144")};
    }
    void decoderPlanesHoldThePicture() {
        QFETCH(QStringList, sizes);
        QFile joined(path(QStringLiteral("sizes.ts")));
        QVERIFY(joined.open(QIODevice::WriteOnly));
        for (const QString& size : sizes) { // the parts joined end to end, as `cat` does
            QVERIFY(runFfmpeg(QStringLiteral("-y -loglevel error -f lavfi -i testsrc=s=%1:r=25:d=1 "
                                             "-c:v mpeg4 %2")
                                  .arg(size, path(QStringLiteral("size.ts")))
                                  .split(QLatin1Char(' '))));
            QFile part(path(QStringLiteral("size.ts")));
            QVERIFY(part.open(QIODevice::ReadOnly) && joined.write(part.readAll()) > 0);
        }
        joined.close();

        video::VideoDecoder decoder;
        QVERIFY(decoder.open(joined.fileName()));
        const auto n = static_cast<qsizetype>(decoder.layout().bytes);
        QByteArray rows(n, '\0');
        int withPlanes = 0;
        while (decoder.next()) {
            std::array<const std::uint8_t*, 3> planes{};
            std::array<int, 3> lineBytes{};
            const std::uint8_t* picture = decoder.picture();
            QVERIFY(picture);
            if (!decoder.planes(planes, lineBytes))
                continue;
            ++withPlanes;
            QVERIFY(
                decoder.layout().pack(planes, lineBytes, reinterpret_cast<uchar*>(rows.data())));
            QCOMPARE(rows, QByteArray(reinterpret_cast<const char*>(picture), n));
        }
        QCOMPARE(decoder.frameCount(), 25 * sizes.size());
        QCOMPARE(withPlanes, 25); // the first size's frames only
    }

    void consoleDialogsAnswerWithoutAsking() {
        QStringList lines;
        platform::ConsoleDialogs dialogs([&](const QString& l) { lines << l; });
        using D = platform::Dialogs;
        QCOMPARE(dialogs.message(D::Icon::Error, QStringLiteral("Ошибка"),
                                 QStringLiteral("Каталог недоступен!\r\n\r\nПроверьте путь")),
                 D::Answer::Ok);
        QCOMPARE(dialogs.message(D::Icon::Question, QStringLiteral("?"), QStringLiteral("x"),
                                 D::Buttons::YesNo),
                 D::Answer::No);
        QCOMPARE(dialogs.message(D::Icon::Question, QStringLiteral("?"), QStringLiteral("x"),
                                 D::Buttons::OkCancel),
                 D::Answer::Cancel);
        QVERIFY(dialogs.browseFolder(QStringLiteral("Папка")).isEmpty());
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("Ошибка: Каталог недоступен! Проверьте путь"));
    }
};

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
