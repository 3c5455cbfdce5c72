// replay: "vigilux --replay" without alarms next to `ffmpeg -threads 1 -i
// FILE -f null -` decoding the same file into nothing, both as whole
// processes (start-up and the end included), run by turns so both see the
// same machine load: wall and CPU time, min and median of three runs each, on
// an MPEG-4 and an H.264 clip of one 768 x 576 scene (goal: at most 1.15
// times ffmpeg). Then, in process, where the time of a replay that saves its
// alarms goes (decoding, packing the sampled frames, detection, saving).
// The "loop" line leaves start-up and the end out: the replay run in process
// against ffmpeg's own "-benchmark" time.
#include "Bench.h"

#include "replay/Replay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <tuple>
#include <vector>

extern char** environ;

namespace {

using vigilux::replay::Replay;
using vigilux::replay::ReplayOptions;

// Runs of each side: 3, or VIGILUX_BENCH_REPLAY_RUNS on a machine too busy
// for three to say much.
int runCount() {
    bool ok = false;
    const int runs = qEnvironmentVariableIntValue("VIGILUX_BENCH_REPLAY_RUNS", &ok);
    return ok && runs > 0 ? runs : 3;
}

bool runFfmpeg(const QString& ffmpeg, const QStringList& args) {
    QProcess process;
    process.start(ffmpeg, args);
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
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

// Wall and CPU (user + system) seconds of one whole process, its standard
// output thrown away, its standard error into `errFile` (or thrown away);
// negative when it could not run or failed.
struct Times {
    double wall = -1.0;
    double cpu = -1.0;
};

Times timeProcess(const QString& program, const QStringList& args,
                  const QString& errFile = QString()) {
    QList<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString& arg : args)
        bytes << arg.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const QByteArray errName =
        errFile.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(errFile);
    posix_spawn_file_actions_addopen(&actions, 2, errName.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    QElapsedTimer wall;
    wall.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Times t;
    if (spawned != 0)
        return t;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return t;
    t.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    t.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return t;
}

// ffmpeg's own time from the start of decoding to its end ("-benchmark").
double rtimeSeconds(const QString& errFile) {
    QFile f(errFile);
    if (!f.open(QIODevice::ReadOnly))
        return -1.0;
    static const QRegularExpression rtime(QStringLiteral("rtime=([0-9.]+)s"));
    const auto m = rtime.match(QString::fromUtf8(f.readAll()));
    return m.hasMatch() ? m.captured(1).toDouble() : -1.0;
}

double minimum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void runReplayBench() {
    const int kRuns = runCount();
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QTemporaryDir dir;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/vigilux");
    if (ffmpeg.isEmpty() || !dir.isValid() || !QFile::exists(program)) {
        std::fprintf(stderr, "replay: needs ffmpeg, a temporary folder and the program\n");
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

    for (const QString& codec : {QStringLiteral("mpeg4"), QStringLiteral("libx264")}) {
        const QString clip = dir.filePath(codec + QStringLiteral(".mkv"));
        if (!makeClip(ffmpeg, codec, clip)) {
            std::printf("replay codec=%s skipped (no encoder)\n", qPrintable(codec));
            continue;
        }
        // Side by side: the program replaying without alarms and ffmpeg, by turns.
        const QStringList replayArgs{
            QStringLiteral("--replay"),   clip,
            QStringLiteral("--settings"), quietIni,
            QStringLiteral("--out"),      dir.filePath(QStringLiteral("quiet-out"))};
        const QStringList ffmpegArgs{QStringLiteral("-nostdin"),
                                     QStringLiteral("-threads"),
                                     QStringLiteral("1"),
                                     QStringLiteral("-i"),
                                     clip,
                                     QStringLiteral("-f"),
                                     QStringLiteral("null"),
                                     QStringLiteral("-")};
        // The loops alone, start-up and the end left out: the replay run in
        // this process, and ffmpeg's own time from decoding start to end.
        const QString ffmpegErr = dir.filePath(QStringLiteral("ffmpeg-err.txt"));
        std::vector<double> replayWall, replayCpu, ffmpegWall, ffmpegCpu, replayLoop, ffmpegLoop;
        for (int run = 0; run < kRuns; ++run) {
            const Times r = timeProcess(program, replayArgs);
            const Times f = timeProcess(
                ffmpeg, QStringList{QStringLiteral("-benchmark")} + ffmpegArgs, ffmpegErr);
            Replay replay(dir.path(), {}, {});
            const int code = replay.run(
                ReplayOptions{clip, dir.filePath(QStringLiteral("quiet-out")), quietIni, {}});
            const double fLoop = rtimeSeconds(ffmpegErr);
            if (r.wall < 0.0 || f.wall < 0.0 || code != Replay::Ok || fLoop <= 0.0) {
                std::printf("replay codec=%s: a run failed\n", qPrintable(codec));
                return;
            }
            replayWall.push_back(r.wall);
            replayCpu.push_back(r.cpu);
            ffmpegWall.push_back(f.wall);
            ffmpegCpu.push_back(f.cpu);
            replayLoop.push_back(replay.stats().totalSeconds);
            ffmpegLoop.push_back(fLoop);
        }
        for (const auto& [what, replayTimes, ffmpegTimes] :
             {std::tuple{"wall", &replayWall, &ffmpegWall},
              std::tuple{"cpu", &replayCpu, &ffmpegCpu},
              std::tuple{"loop", &replayLoop, &ffmpegLoop}}) {
            const double rMin = minimum(*replayTimes);
            const double fMin = minimum(*ffmpegTimes);
            const double rMedian = vigilux::bench::median(*replayTimes);
            const double fMedian = vigilux::bench::median(*ffmpegTimes);
            std::printf("replay codec=%s 768x576 timer=100 no-alarm %s: replay_s min=%.3f "
                        "median=%.3f ffmpeg_s min=%.3f median=%.3f (%d runs each, by turns) "
                        "ratio=%.2f ratio_min=%.2f (goal <= 1.15)\n",
                        qPrintable(codec), what, rMin, rMedian, fMin, fMedian, kRuns,
                        fMedian > 0.0 ? rMedian / fMedian : 0.0, fMin > 0.0 ? rMin / fMin : 0.0);
        }
        std::fflush(stdout);
        const double ffmpegMedian = vigilux::bench::median(ffmpegWall);

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
