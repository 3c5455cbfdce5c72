// The object detector replays clips made at test time from real footage
// (a frame of OpenCV's pedestrian video, a person cut from it, leaves from
// its tree video) with light, noise and motion added by ffmpeg filters, and
// must alarm on objects only.
#include "VideoTools.h"

#include "detection/DetectionMask.h"
#include "detection/ObjectDetector.h"
#include "video/VideoDecoder.h"

#include <QTemporaryDir>
#include <QTest>

#include <opencv2/core/utility.hpp>

using namespace vigilux;
using detection::ObjectDetector;

namespace {

const QString kSamples = QStringLiteral(VIGILUX_OPENCV_SAMPLES);

struct Replay {
    int steps = 0;
    int alarmSteps = 0;
    QList<qint64> eventStarts; // alarm steps 10 s or more after the last one
    QStringList lines;         // everything a step reports, for comparisons
};

Replay replay(const QString& file, const QImage& mask = {}) {
    Replay r;
    video::VideoDecoder decoder;
    if (!decoder.open(file))
        return r;
    ObjectDetector detector;
    detector.setMask(mask);
    qint64 lastAlarm = -1;
    while (decoder.next()) {
        const qint64 t = decoder.time().floorMs();
        const auto s =
            detector.step(decoder.picture(), decoder.layout().bytes, decoder.layout(), t);
        ++r.steps;
        QString line = QStringLiteral("%1 %2 %3 %4")
                           .arg(t)
                           .arg(s.changedPercent)
                           .arg(s.alarm)
                           .arg(s.largestHundredths);
        for (const auto& o : s.objects)
            line += QStringLiteral(" %1,%2,%3,%4")
                        .arg(o.box.x())
                        .arg(o.box.y())
                        .arg(o.box.width())
                        .arg(o.box.height());
        r.lines << line;
        if (!s.alarm)
            continue;
        ++r.alarmSteps;
        if (lastAlarm < 0 || t - lastAlarm > 10000)
            r.eventStarts << t;
        lastAlarm = t;
    }
    return r;
}

} // namespace

class TestObjectDetector : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A clip of `seconds` at `fps` from the still [0], the person [1] and the
    // leaves [2] through `graph`, cached by name.
    QString clip(const QString& name, const QString& graph, int seconds, int fps = 10) {
        const QString out = path(name + QStringLiteral(".mp4"));
        if (QFile::exists(out))
            return out;
        QStringList args;
        for (const char* input : {"still.png", "person.png", "leaves.png"})
            args << QStringLiteral("-loop") << QStringLiteral("1") << QStringLiteral("-framerate")
                 << QString::number(fps) << QStringLiteral("-i") << path(QLatin1String(input));
        args << QStringLiteral("-filter_complex") << graph + QStringLiteral(",format=yuv420p[v]")
             << QStringLiteral("-map") << QStringLiteral("[v]") << QStringLiteral("-t")
             << QString::number(seconds) << QStringLiteral("-c:v") << QStringLiteral("mpeg4")
             << QStringLiteral("-q:v") << QStringLiteral("3") << out;
        return test::runFfmpeg(args) ? out : QString();
    }

    QString crossing() {
        return clip(QStringLiteral("crossing"),
                    QStringLiteral("[0][1]overlay=x='-22+60*(t-5)':y=150:enable='gte(t,5)'"), 14);
    }

private slots:
    void initTestCase() {
        const QString vtest = kSamples + QStringLiteral("/vtest.avi");
        QVERIFY2(QFile::exists(vtest), "needs the opencv-doc package");
        // A still of the pedestrian scene (people frozen in it), a walker
        // cut from it (0.9 % of the picture), and leaves from the tree video.
        QVERIFY(test::runFfmpeg({QStringLiteral("-ss"), QStringLiteral("2"), QStringLiteral("-i"),
                                 vtest, QStringLiteral("-frames:v"), QStringLiteral("1"),
                                 QStringLiteral("-vf"), QStringLiteral("scale=384:288"),
                                 path(QStringLiteral("still.png"))}));
        QVERIFY(test::runFfmpeg({QStringLiteral("-ss"), QStringLiteral("2"), QStringLiteral("-i"),
                                 vtest, QStringLiteral("-frames:v"), QStringLiteral("1"),
                                 QStringLiteral("-vf"),
                                 QStringLiteral("crop=44:90:438:230,scale=22:45"),
                                 path(QStringLiteral("person.png"))}));
        QVERIFY(test::runFfmpeg({QStringLiteral("-i"), kSamples + QStringLiteral("/tree.avi"),
                                 QStringLiteral("-frames:v"), QStringLiteral("1"),
                                 QStringLiteral("-vf"), QStringLiteral("crop=150:150:80:40"),
                                 path(QStringLiteral("leaves.png"))}));
    }

    void clips_data() {
        QTest::addColumn<QString>("graph");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("fps");
        QTest::addColumn<int>("enterMs");  // -1: nothing enters, no event allowed
        QTest::addColumn<int>("withinMs"); // the event must start this soon after
        QTest::addColumn<int>("maxEvents");
        QTest::addColumn<int>("maxAlarmPercent");

        const QString tree =
            QStringLiteral("[0][2]overlay=x='110+5*sin(2*PI*0.6*t)':y='40+3*sin(2*PI*0.9*t)'");
        const QString dark = QStringLiteral("eq=brightness=-0.3:contrast=0.6,noise=alls=20:allf=t");
        QTest::newRow("light on and off")
            << QStringLiteral("[0]eq=brightness='0.2*gte(mod(t,10),5)':eval=frame") << 20 << 10
            << -1 << 0 << 0 << 0;
        QTest::newRow("sunset")
            << QStringLiteral("[0]eq=brightness='-0.35*t/40':contrast='1-0.3*t/40':eval=frame")
            << 40 << 10 << -1 << 0 << 0 << 0;
        QTest::newRow("dark noisy room")
            << QStringLiteral("[0]") + dark << 20 << 10 << -1 << 0 << 0 << 0;
        QTest::newRow("auto-exposure flicker")
            << QStringLiteral("[0]format=yuv420p,geq=lum='lum(X,Y)*(1+0.06*sin(2*PI*T))':"
                              "cb='cb(X,Y)':cr='cr(X,Y)'")
            << 20 << 10 << -1 << 0 << 0 << 0;
        QTest::newRow("tree in wind") << tree << 120 << 5 << -1 << 0 << 1 << 5;
        QTest::newRow("person, still scene")
            << QStringLiteral("[0][1]overlay=x='-22+60*(t-5)':y=150:enable='gte(t,5)'") << 14 << 10
            << 5000 << 2000 << 1 << 100;
        QTest::newRow("person, dark noisy room")
            << QStringLiteral("[0][1]overlay=x='-22+60*(t-5)':y=150:enable='gte(t,5)',") + dark
            << 14 << 10 << 5000 << 2000 << 1 << 100;
        QTest::newRow("person, in front of the tree")
            << tree + QStringLiteral("[s];[s][1]overlay=x='-22+60*(t-10)':y=90:enable='gte(t,10)'")
            << 18 << 10 << 10000 << 2000 << 1 << 100;
        QTest::newRow("large object, fast")
            << QStringLiteral("[1]scale=110:100[big];[0][big]overlay=x='-110+400*(t-4)':y=100:"
                              "enable='gte(t,4)'")
            << 7 << 10 << 4000 << 1000 << 1 << 100;
    }

    void clips() {
        QFETCH(QString, graph);
        QFETCH(int, seconds);
        QFETCH(int, fps);
        QFETCH(int, enterMs);
        QFETCH(int, withinMs);
        QFETCH(int, maxEvents);
        QFETCH(int, maxAlarmPercent);
        const QString file =
            clip(QString::fromLatin1(QTest::currentDataTag()), graph, seconds, fps);
        QVERIFY(!file.isEmpty());
        const Replay r = replay(file);
        qInfo("steps %d alarms %d events %lld first %lld", r.steps, r.alarmSteps,
              qint64(r.eventStarts.size()), r.eventStarts.value(0, -1));
        QVERIFY(r.steps >= seconds * fps - 1);
        QVERIFY(r.eventStarts.size() <= maxEvents);
        QVERIFY(r.alarmSteps * 100 <= r.steps * maxAlarmPercent);
        if (enterMs >= 0) {
            QCOMPARE(r.eventStarts.size(), 1);
            QVERIFY(r.eventStarts[0] >= enterMs);
            QVERIFY(r.eventStarts[0] <= enterMs + withinMs);
        }
    }

    void pedestriansAlarm() {
        const Replay r = replay(kSamples + QStringLiteral("/vtest.avi"));
        qInfo("steps %d alarms %d first %lld", r.steps, r.alarmSteps, r.eventStarts.value(0, -1));
        QVERIFY(!r.eventStarts.isEmpty());
        QVERIFY(r.eventStarts[0] <= 4000); // people walk from the first frame
        QVERIFY(r.alarmSteps * 10 >= r.steps * 8);
    }

    void sameResultWithoutOptimisations() {
        const QString file = crossing();
        const Replay fast = replay(file);
        cv::setUseOptimized(false);
        const Replay plain = replay(file);
        cv::setUseOptimized(true);
        QVERIFY(fast.alarmSteps > 0);
        QCOMPARE(plain.lines, fast.lines);
    }

    void maskSilencesThePath() {
        // The person walks along rows 150..195 of 288; the mask ignores them.
        QImage mask(96, 72, QImage::Format_Grayscale8);
        mask.fill(255);
        const QImage masked = detection::DetectionMask::withIgnoredArea(mask, QSize(384, 288),
                                                                        QRect(0, 140, 384, 64));
        const Replay r = replay(crossing(), masked);
        QCOMPARE(r.alarmSteps, 0);
    }
};

QTEST_GUILESS_MAIN(TestObjectDetector)
#include "tst_object_detector.moc"
