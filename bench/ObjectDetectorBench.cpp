// detector (objects): the object detector's CPU time per frame of a
// 1280 x 720, 25 fps H.264 video as a ratio to decoding that video (FFmpeg,
// one thread), next to the byte compare's on the same frames, in the same
// run; person-only mode's ratio; and the memory each detector keeps at
// 1920 x 1080. Registered under "detector", beside the byte compare's own
// memcpy ratios.
#include "Bench.h"

#include "detection/FrameCompare.h"
#include "detection/ObjectDetector.h"
#include "video/VideoDecoder.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

// CPU time of the process, not the wall clock: on a loaded machine the wall
// clock also counts the time other programs ran.
struct Clock {
    using time_point = double;
    static time_point now() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    }
};
using vigilux::detection::ObjectDetector;
using vigilux::detection::ObjectDetectorSettings;
using vigilux::video::VideoDecoder;

constexpr int kRuns = 3;

double seconds(Clock::time_point from, Clock::time_point to) {
    return to - from;
}

// A camera-like scene: a noisy picture, a person-sized box crossing it.
bool makeClip(const QString& file, const QString& size, int secondsLong) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return false;
    QProcess p;
    p.start(
        ffmpeg,
        {QStringLiteral("-y"),
         QStringLiteral("-loglevel"),
         QStringLiteral("error"),
         QStringLiteral("-f"),
         QStringLiteral("lavfi"),
         QStringLiteral("-i"),
         QStringLiteral("smptebars=s=%1:r=25:d=%2,noise=alls=6:allf=t").arg(size).arg(secondsLong),
         QStringLiteral("-f"),
         QStringLiteral("lavfi"),
         QStringLiteral("-i"),
         QStringLiteral("color=c=0x303030:s=80x200:r=25:d=%1").arg(secondsLong),
         QStringLiteral("-filter_complex"),
         QStringLiteral("[0][1]overlay=x='mod(t*200,1400)-80':y=300"),
         QStringLiteral("-c:v"),
         QStringLiteral("libx264"),
         QStringLiteral("-preset"),
         QStringLiteral("veryfast"),
         QStringLiteral("-pix_fmt"),
         QStringLiteral("yuv420p"),
         file});
    return p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Times {
    double decode = 0, objects = 0, everyFrame = 0, person = 0, compare = 0;
    int frames = 0, alarms = 0;
};

// One pass over the file: each frame is decoded, then given to both
// detectors and to person-only mode, each timed on its own.
bool pass(const QString& file, Times& t) {
    VideoDecoder decoder;
    if (!decoder.open(file))
        return false;
    ObjectDetector objects;
    ObjectDetectorSettings personOnly;
    personOnly.personOnly = true;
    ObjectDetector persons(personOnly);
    ObjectDetectorSettings allFrames;
    allFrames.minIntervalMs = 0; // what an analysed frame costs
    ObjectDetector every(allFrames);
    std::vector<uchar> previous;
    volatile std::uint64_t sink = 0;
    for (;;) {
        const auto t0 = Clock::now();
        if (!decoder.next())
            break;
        const auto t1 = Clock::now();
        const std::uint8_t* picture = decoder.picture();
        const auto& layout = decoder.layout();
        const std::int64_t ms = decoder.time().floorMs();
        const auto t2 = Clock::now();
        t.alarms += objects.step(picture, layout.bytes, layout, ms).alarm;
        const auto t3 = Clock::now();
        persons.step(picture, layout.bytes, layout, ms);
        const auto t4 = Clock::now();
        previous.resize(std::size_t(layout.bytes));
        sink = sink + vigilux::detection::FrameCompare::compareCopy(picture, previous.data(),
                                                                    previous.size(), 10);
        const auto t5 = Clock::now();
        every.step(picture, layout.bytes, layout, ms);
        const auto t6 = Clock::now();
        t.everyFrame += seconds(t5, t6);
        t.decode += seconds(t0, t1);
        t.objects += seconds(t2, t3);
        t.person += seconds(t3, t4);
        t.compare += seconds(t4, t5);
        ++t.frames;
    }
    return t.frames > 0;
}

void runObjectDetectorBench() {
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("720p.mkv"));
    if (!dir.isValid() || !makeClip(clip, QStringLiteral("1280x720"), 10)) {
        std::printf("object_detector skipped (needs ffmpeg with libx264)\n");
        return;
    }
    std::vector<double> objects, every, person, compare;
    for (int run = 0; run < kRuns; ++run) {
        Times t;
        if (!pass(clip, t))
            return;
        objects.push_back(t.objects / t.decode);
        every.push_back(t.everyFrame / t.decode);
        person.push_back(t.person / t.decode);
        compare.push_back(t.compare / t.decode);
        std::printf("object_detector run=%d frames=%d alarms=%d decode_ms=%.3f objects_ms=%.3f "
                    "person_only_ms=%.3f byte_compare_ms=%.3f\n",
                    run + 1, t.frames, t.alarms, 1000 * t.decode / t.frames,
                    1000 * t.objects / t.frames, 1000 * t.person / t.frames,
                    1000 * t.compare / t.frames);
    }
    std::printf("object_detector 1280x720 25fps ratio_vs_decode=%.3f (goal <= 0.25) "
                "every_frame=%.3f person_only=%.3f byte_compare=%.3f\n",
                vigilux::bench::median(objects), vigilux::bench::median(every),
                vigilux::bench::median(person), vigilux::bench::median(compare));

    // Memory kept between frames at 1920 x 1080: the byte compare keeps the
    // sampled frame and the previous one.
    const QString full = dir.filePath(QStringLiteral("1080p.mkv"));
    VideoDecoder decoder;
    if (!makeClip(full, QStringLiteral("1920x1080"), 1) || !decoder.open(full) || !decoder.next())
        return;
    ObjectDetector detector;
    for (int i = 0; i < 5 && decoder.next(); ++i)
        detector.step(decoder.picture(), decoder.layout().bytes, decoder.layout(),
                      decoder.time().floorMs());
    const double mb = 1024.0 * 1024.0;
    std::printf("object_detector 1920x1080 memory_mb=%.2f byte_compare_memory_mb=%.2f "
                "extra_mb=%.2f (goal < 64)\n",
                double(detector.memoryBytes()) / mb, 2.0 * double(decoder.layout().bytes) / mb,
                (double(detector.memoryBytes()) - 2.0 * double(decoder.layout().bytes)) / mb);
}

const bool registered = vigilux::bench::add("detector", &runObjectDetectorBench);

} // namespace
