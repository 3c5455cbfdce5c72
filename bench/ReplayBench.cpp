// replay: throughput of "vigilux --replay" on a 768 x 576 clip with a 100 ms
// detector interval, where the time goes (decoding, packing the sampled
// frames, detection, saving), and a replay without alarms next to ffmpeg
// decoding the same file single-threaded into nothing, run by turns so both
// see the same machine load (goal: at most 1.25 times ffmpeg).
#include "Bench.h"

#include "replay/Replay.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using vigilux::replay::Replay;
using vigilux::replay::ReplayOptions;

constexpr int kRuns = 3;

bool runFfmpeg(const QString& ffmpeg, const QStringList& args, QString* errText = nullptr) {
    QProcess process;
    process.start(ffmpeg, args);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    if (errText)
        *errText = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// A camera-like scene: a noisy still room, a box crossing it now and then.
bool makeClip(const QString& ffmpeg, const QString& codec, const QString& file) {
    QStringList args{
        QStringLiteral("-y"),
        QStringLiteral("-loglevel"),
        QStringLiteral("error"),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("smptebars=s=768x576:r=25:d=20,noise=alls=3:allf=t"),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("color=c=red:s=160x160:r=25:d=20"),
        QStringLiteral("-filter_complex"),
        QStringLiteral("[0][1]overlay=x='mod(t*600,930)-160':y=220:enable='lt(mod(t,5),2)'"),
        QStringLiteral("-c:v"),
        codec};
    if (codec == QLatin1String("mpeg4"))
        args << QStringLiteral("-q:v") << QStringLiteral("4");
    args << file;
    return runFfmpeg(ffmpeg, args);
}

// ffmpeg's own decoding loop time for the file, one thread, no output.
double ffmpegDecodeSeconds(const QString& ffmpeg, const QString& file) {
    QString err;
    if (!runFfmpeg(ffmpeg,
                   {QStringLiteral("-hide_banner"), QStringLiteral("-benchmark"),
                    QStringLiteral("-threads"), QStringLiteral("1"), QStringLiteral("-i"), file,
                    QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
                   &err))
        return -1.0;
    static const QRegularExpression rtime(QStringLiteral("rtime=([0-9.]+)s"));
    const auto m = rtime.match(err);
    return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
}

void runReplayBench() {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QTemporaryDir dir;
    if (ffmpeg.isEmpty() || !dir.isValid()) {
        std::fprintf(stderr, "replay: needs ffmpeg and a temporary folder\n");
        return;
    }
    const QString ini = dir.filePath(QStringLiteral("options.ini"));
    const QString quietIni = dir.filePath(QStringLiteral("quiet.ini"));
    {
        QFile f(ini);
        QFile quiet(quietIni);
        if (!f.open(QIODevice::WriteOnly) || !quiet.open(QIODevice::WriteOnly))
            return;
        // The program's defaults, except no day folders: JPEG at quality 75,
        // alarms on more than 1 % of changed bytes.
        f.write("[Files]\nCreateSubFolders=False\nMaxFiles=True\nMaxFilesCount=1000\n"
                "[Image]\nConvert2JPG=True\nInPrintDate=True\nJPGq=75\n"
                "[MotionDetector]\nSaveAlarm=True\n"
                "[Sensor]\nTimer=100\nNoise=10\nPercent=1\n");
        // Every step runs, none alarms: the replay's own cost.
        quiet.write("[MotionDetector]\nSaveAlarm=False\n"
                    "[Sensor]\nTimer=100\nNoise=10\nPercent=100\n");
    }
    const auto quietLine = [](const QString&) {};

    for (const QString& codec : {QStringLiteral("mpeg4"), QStringLiteral("libx264")}) {
        const QString clip = dir.filePath(codec + QStringLiteral(".mkv"));
        if (!makeClip(ffmpeg, codec, clip)) {
            std::printf("replay codec=%s skipped (no encoder)\n", qPrintable(codec));
            continue;
        }
        // Side by side: replay without alarms and ffmpeg, by turns.
        std::vector<double> replaySeconds;
        std::vector<double> ffmpegSeconds;
        std::int64_t quietSteps = 0;
        std::int64_t quietAlarms = 0;
        for (int run = 0; run < kRuns; ++run) {
            Replay replay(dir.path(), quietLine, quietLine);
            if (replay.run(ReplayOptions{
                    clip, dir.filePath(QStringLiteral("quiet-out")), quietIni, {}}) != Replay::Ok)
                return;
            replaySeconds.push_back(replay.stats().totalSeconds);
            quietSteps = replay.stats().steps;
            quietAlarms = replay.stats().alarms;
            ffmpegSeconds.push_back(ffmpegDecodeSeconds(ffmpeg, clip));
        }
        const double replayMedian = vigilux::bench::median(replaySeconds);
        const double ffmpegMedian = vigilux::bench::median(ffmpegSeconds);
        std::printf("replay codec=%s 768x576 timer=100 no-alarm steps=%lld alarms=%lld "
                    "replay_s=%.3f ffmpeg_decode_s=%.3f (medians of %d, by turns) "
                    "ratio=%.2f (goal <= 1.25)\n",
                    qPrintable(codec), static_cast<long long>(quietSteps),
                    static_cast<long long>(quietAlarms), replayMedian, ffmpegMedian, kRuns,
                    ffmpegMedian > 0.0 ? replayMedian / ffmpegMedian : 0.0);

        std::vector<double> fps;
        Replay::Stats best;
        double bestFps = 0.0;
        for (int run = 0; run < kRuns; ++run) {
            const QString out = dir.filePath(QStringLiteral("out-%1-%2").arg(codec).arg(run));
            Replay replay(dir.path(), {}, [](const QString& line) {
                if (!line.startsWith(QLatin1String("vigilux: replay "))) // progress
                    std::fprintf(stderr, "%s\n", qPrintable(line));
            });
            if (replay.run(ReplayOptions{clip, out, ini, {}}) != Replay::Ok)
                return;
            const Replay::Stats& s = replay.stats();
            const double f = static_cast<double>(s.frames) / s.totalSeconds;
            fps.push_back(f);
            if (f > bestFps) {
                bestFps = f;
                best = s;
            }
        }
        const double medianFps = vigilux::bench::median(fps);
        const double t = best.totalSeconds;
        const double other =
            t - best.decodeSeconds - best.convertSeconds - best.detectSeconds - best.saveSeconds;
        const double ffmpegFps =
            ffmpegMedian > 0.0 ? static_cast<double>(best.frames) / ffmpegMedian : 0.0;
        std::printf("replay codec=%s 768x576 timer=100 frames=%lld steps=%lld alarms=%lld "
                    "throughput_fps=%.0f (median of %d) decode=%.0f%% pack=%.1f%% "
                    "detect=%.1f%% save=%.0f%% other=%.1f%% step_us_median=%.1f "
                    "ffmpeg_speed_over_replay_with_alarms=%.2f\n",
                    qPrintable(codec), static_cast<long long>(best.frames),
                    static_cast<long long>(best.steps), static_cast<long long>(best.alarms),
                    medianFps, kRuns, 100.0 * best.decodeSeconds / t,
                    100.0 * best.convertSeconds / t, 100.0 * best.detectSeconds / t,
                    100.0 * best.saveSeconds / t, 100.0 * other / t, best.stepUsMedian(),
                    medianFps > 0.0 ? ffmpegFps / medianFps : 0.0);
    }
}

const bool registered = vigilux::bench::add("replay", &runReplayBench);

} // namespace
