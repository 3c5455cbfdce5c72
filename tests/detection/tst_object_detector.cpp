// The object detector replays clips made at test time from real footage
// (a frame of OpenCV's pedestrian video, a person cut from it, its video of
// a tree in wind) with light, noise and motion added by ffmpeg filters, and
// must alarm on objects only.
#include "VideoTools.h"

#include "detection/DetectionMask.h"
#include "detection/LumaScaler.h"
#include "detection/ObjectCalibration.h"
#include "detection/ObjectDetector.h"
#include "video/VideoDecoder.h"

#include <QTemporaryDir>

#include <QTest>
#include <algorithm>

#include <opencv2/core/utility.hpp>

using namespace vigilux;
using detection::ObjectDetector;

namespace {

const QString kSamples = QStringLiteral(VIGILUX_OPENCV_SAMPLES);

struct Replay {
    int steps = 0;
    int alarmSteps = 0;
    int personSteps = 0;       // steps with an object confirmed as a person
    QList<qint64> eventStarts; // alarm steps 10 s or more after the last one
    QStringList lines;         // everything a step reports, for comparisons
};

Replay replay(const QString& file, const QImage& mask = {},
              const detection::ObjectDetectorSettings& settings = {}, int maxSteps = 1 << 30) {
    Replay r;
    video::VideoDecoder decoder;
    if (!decoder.open(file))
        return r;
    ObjectDetector detector(settings);
    detector.setMask(mask);
    qint64 lastAlarm = -1;
    while (r.steps < maxSteps && decoder.next()) {
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
        r.personSteps += std::any_of(s.objects.begin(), s.objects.end(),
                                     [](const detection::DetectedObject& o) { return o.person; });
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
    // tree in wind [2] through `graph`, cached by name.
    QString clip(const QString& name, const QString& graph, int seconds, int fps = 10) {
        const QString out = path(name + QStringLiteral(".mp4"));
        if (QFile::exists(out))
            return out;
        QStringList args;
        for (const char* input : {"still.png", "person.png"})
            args << QStringLiteral("-loop") << QStringLiteral("1") << QStringLiteral("-framerate")
                 << QString::number(fps) << QStringLiteral("-i") << path(QLatin1String(input));
        // The tree video until a hand comes into the picture.
        args << QStringLiteral("-t") << QStringLiteral("22") << QStringLiteral("-i")
             << kSamples + QStringLiteral("/tree.avi");
        args << QStringLiteral("-filter_complex") << graph + QStringLiteral(",format=yuv420p[v]")
             << QStringLiteral("-map") << QStringLiteral("[v]") << QStringLiteral("-t")
             << QString::number(seconds) << QStringLiteral("-c:v") << QStringLiteral("mpeg4")
             << QStringLiteral("-q:v") << QStringLiteral("3") << out;
        return test::runFfmpeg(args) ? out : QString();
    }

    static QString crossingGraph() {
        return QStringLiteral("[0][1]overlay=x='-22+60*(t-5)':y=150:enable='gte(t,5)'");
    }
    QString crossing() { return clip(QStringLiteral("person, still scene"), crossingGraph(), 14); }

private slots:
    void initTestCase() {
        const QString vtest = kSamples + QStringLiteral("/vtest.avi");
        QVERIFY2(QFile::exists(vtest), "needs the opencv-doc package");
        // A still of the pedestrian scene (people frozen in it) and a walker
        // cut from it (0.9 % of the picture).
        QVERIFY(test::runFfmpeg({QStringLiteral("-ss"), QStringLiteral("2"), QStringLiteral("-i"),
                                 vtest, QStringLiteral("-frames:v"), QStringLiteral("1"),
                                 QStringLiteral("-vf"), QStringLiteral("scale=384:288"),
                                 path(QStringLiteral("still.png"))}));
        QVERIFY(test::runFfmpeg({QStringLiteral("-ss"), QStringLiteral("2"), QStringLiteral("-i"),
                                 vtest, QStringLiteral("-frames:v"), QStringLiteral("1"),
                                 QStringLiteral("-vf"),
                                 QStringLiteral("crop=44:90:438:230,scale=22:45"),
                                 path(QStringLiteral("person.png"))}));
    }

    // Every layout a camera gives yields the same luma: a red of 200 is 60
    // (BT.601) whatever the channel order, the Y plane is read as is.
    void lumaOfEveryLayout_data() {
        using P = video::FrameLayout::Pixel;
        QTest::addColumn<P>("pixel");
        QTest::addColumn<QByteArray>("pattern"); // repeated along each line
        QTest::newRow("gray") << P::Gray8 << QByteArray("\x3c");
        QTest::newRow("yuv420p") << P::Yuv420p << QByteArray("\x3c");
        QTest::newRow("nv12") << P::Nv12 << QByteArray("\x3c");
        QTest::newRow("yuyv") << P::Yuyv << QByteArray("\x3c\x80\x3c\x80");
        QTest::newRow("uyvy") << P::Uyvy << QByteArray("\x80\x3c\x80\x3c");
        QTest::newRow("rgb24") << P::Rgb24 << QByteArray("\xc8\0\0", 3);
        QTest::newRow("bgr24") << P::Bgr24 << QByteArray("\0\0\xc8", 3);
        QTest::newRow("bgrx32") << P::Bgrx32 << QByteArray("\0\0\xc8\xff", 4);
        QTest::newRow("rgbx32") << P::Rgbx32 << QByteArray("\xc8\0\0\xff", 4);
        QTest::newRow("xrgb32") << P::Xrgb32 << QByteArray("\xff\xc8\0\0", 4);
        QTest::newRow("xbgr32") << P::Xbgr32 << QByteArray("\xff\0\0\xc8", 4);
    }

    void lumaOfEveryLayout() {
        QFETCH(video::FrameLayout::Pixel, pixel);
        QFETCH(QByteArray, pattern);
        const auto layout = video::FrameLayout::packed(pixel, QSize(1280, 720));
        std::vector<std::uint8_t> frame(std::size_t(layout.bytes), 0x80);
        for (int i = 0; i < layout.stride[0] * 720; ++i)
            frame[std::size_t(i)] = std::uint8_t(pattern[i % pattern.size()]);
        detection::LumaScaler scaler;
        detection::LumaImage luma;
        QVERIFY(scaler.scale(frame.data(), layout.bytes, layout, luma));
        QCOMPARE(luma.width, 320);
        QVERIFY(std::all_of(luma.pixels.begin(), luma.pixels.end(),
                            [](std::uint8_t v) { return v == 60; }));
        QVERIFY(!scaler.scale(frame.data(), layout.bytes - 1, layout, luma)); // a short frame
    }

    void clips_data() {
        QTest::addColumn<QString>("graph");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("fps");
        QTest::addColumn<int>("enterMs");  // -1: nothing enters, no event allowed
        QTest::addColumn<int>("withinMs"); // the event must start this soon after
        QTest::addColumn<int>("maxEvents");
        QTest::addColumn<int>("maxAlarmPercent");

        // The tree's 22 s forth and back, for two minutes.
        const QString tree =
            QStringLiteral("[2]split[a][b];[b]reverse[r];[a][r]concat,loop=2:size=660,fps=5");
        const QString dark =
            QStringLiteral(",eq=brightness=-0.35:contrast=0.4,noise=alls=35:allf=t");
        QTest::newRow("light on and off")
            << QStringLiteral("[0]eq=brightness='0.2*gte(mod(t,10),5)':eval=frame") << 20 << 10
            << -1 << 0 << 0 << 0;
        QTest::newRow("sunset")
            << QStringLiteral("[0]eq=brightness='-0.35*t/40':contrast='1-0.3*t/40':eval=frame")
            << 40 << 10 << -1 << 0 << 0 << 0;
        QTest::newRow("dark noisy room")
            << QStringLiteral("[0]null") + dark << 20 << 10 << -1 << 0 << 0 << 0;
        QTest::newRow("auto-exposure flicker")
            << QStringLiteral("[0]format=yuv420p,geq=lum='lum(X,Y)*(1+0.06*sin(2*PI*T))':"
                              "cb='cb(X,Y)':cr='cr(X,Y)'")
            << 20 << 10 << -1 << 0 << 0 << 0;
        QTest::newRow("tree in wind") << tree << 120 << 5 << -1 << 0 << 1 << 5;
        QTest::newRow("person, still scene")
            << crossingGraph() << 14 << 10 << 5000 << 2000 << 1 << 100;
        QTest::newRow("person, dark noisy room")
            << crossingGraph() + dark << 14 << 10 << 5000 << 2000 << 1 << 100;
        QTest::newRow("person, in front of the tree")
            << QStringLiteral("[2]fps=10[t];[1]scale=16:33[p];[t][p]overlay=x='-16+50*(t-8)':"
                              "y=120:enable='gte(t,8)'")
            << 18 << 10 << 8000 << 2000 << 1 << 100;
        QTest::newRow("person, as the light switches")
            << crossingGraph() +
                   QStringLiteral(",eq=brightness='0.25*gte(t,5)':contrast='1-0.3*gte(t,5)':"
                                  "eval=frame")
            << 14 << 10 << 5000 << 2000 << 1 << 100;
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

    // Person-only mode: the walkers of the pedestrian video are confirmed,
    // a grey box as large as a person, crossing the lawn, is not.
    void personOnly() {
        detection::ObjectDetectorSettings settings;
        settings.personOnly = true;
        const Replay walkers = replay(kSamples + QStringLiteral("/vtest.avi"), {}, settings, 150);
        qInfo("person steps %d alarms %d", walkers.personSteps, walkers.alarmSteps);
        QVERIFY(walkers.alarmSteps > 0 && walkers.personSteps > 0);
        const Replay box =
            replay(clip(QStringLiteral("grey box"),
                        QStringLiteral("[1]scale=30:60,drawbox=c=0x404040:t=fill[b];"
                                       "[0][b]overlay=x='-30+30*(t-3)':y=205:enable='gte(t,3)'"),
                        10),
                   {}, settings);
        QCOMPARE(box.alarmSteps, 0);
        QVERIFY(replay(path(QStringLiteral("grey box.mp4"))).alarmSteps > 0);
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

    // Calibration on a still, a noisy and a busy scene: the noise floor it
    // proposes follows the noise, and the tree shows as a busy place.
    void calibrationMeasuresTheScene() {
        const auto calibrate = [this](const QString& tag) {
            detection::ObjectCalibration calibration;
            video::VideoDecoder decoder;
            if (decoder.open(path(tag + QStringLiteral(".mp4"))))
                while (decoder.next() &&
                       !calibration.addFrame(decoder.picture(), decoder.layout().bytes,
                                             decoder.layout(), decoder.time().floorMs())) {
                }
            return calibration.result();
        };
        const auto still = calibrate(QStringLiteral("light on and off")); // its first 5 s
        const auto noisy = calibrate(QStringLiteral("dark noisy room"));
        const auto tree = calibrate(QStringLiteral("tree in wind"));
        QVERIFY(noisy.settings.noiseFloor > still.settings.noiseFloor);
        QVERIFY(tree.busyHundredths > 100 && still.busyHundredths < 20);
        QVERIFY(!still.sceneMoved && !noisy.sceneMoved);
        QVERIFY(tree.summary.contains(QStringLiteral("Постоянно движется")));
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
