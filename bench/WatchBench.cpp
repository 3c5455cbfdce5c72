// watch: the real program watching an H.264 file as its camera (watch mode
// on, the object detector, saving and clips on; the window hidden in the
// tray or shown, on a display of the bench's own) against
// `ffmpeg -re -threads 1` decoding the same file in real time, by turns, three
// runs each: the ratio of CPU times (goal: little more than 1) and the
// program's peak memory. A still, noisy scene made from a frame of real
// footage gives watching outside events; the real footage of people walking
// gives a run full of events (clip encoding running).
//
// VIGILUX_BENCH_WATCH_SECONDS sets the measured seconds of each run
// (default 60).
#include "Bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 3;
constexpr int kWarmUpMs = 8000; // the splash (4 s), the first frames, the background's start
const QString kFootage = QStringLiteral("/usr/share/doc/opencv-doc/examples/data/vtest.avi");

int measuredSeconds() {
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("VIGILUX_BENCH_WATCH_SECONDS", &ok);
    return ok && s > 0 ? s : 60;
}

bool ffmpegRun(const QString& ffmpeg, const QStringList& args) {
    QProcess p;
    p.start(ffmpeg, QStringList{QStringLiteral("-y"), QStringLiteral("-loglevel"),
                                QStringLiteral("error")} +
                        args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The clips, at `size` ("1280x720"), 25 frames a second, H.264 as cameras
// send it (a key frame every two seconds).
bool makeClips(const QString& ffmpeg, const QString& dir, const QString& size, QString& quiet,
               QString& busy) {
    const QString frame = dir + QStringLiteral("/frame.png");
    quiet = dir + QStringLiteral("/quiet-%1.mp4").arg(size);
    busy = dir + QStringLiteral("/busy-%1.mp4").arg(size);
    const QString scale = QStringLiteral("scale=%1,").arg(QString(size).replace('x', ':'));
    const QStringList h264{QStringLiteral("-c:v"),     QStringLiteral("libx264"),
                           QStringLiteral("-preset"),  QStringLiteral("veryfast"),
                           QStringLiteral("-g"),       QStringLiteral("50"),
                           QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
    return (QFile::exists(frame) ||
            ffmpegRun(ffmpeg, {QStringLiteral("-i"), kFootage, QStringLiteral("-frames:v"),
                               QStringLiteral("1"), frame})) &&
           ffmpegRun(ffmpeg, QStringList{QStringLiteral("-loop"), QStringLiteral("1"),
                                         QStringLiteral("-framerate"), QStringLiteral("25"),
                                         QStringLiteral("-t"), QStringLiteral("30"),
                                         QStringLiteral("-i"), frame, QStringLiteral("-vf"),
                                         scale + QStringLiteral("noise=alls=4:allf=t")} +
                                 h264 + QStringList{quiet}) &&
           ffmpegRun(ffmpeg, QStringList{QStringLiteral("-i"), kFootage, QStringLiteral("-vf"),
                                         scale + QStringLiteral("fps=25")} +
                                 h264 + QStringList{busy});
}

// CPU seconds a process has used so far (user + system), from /proc.
double cpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1.0;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which may hold spaces, in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1.0;
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Peak resident memory of a process, in MB.
double peakRssMb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1.0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1.0;
}

struct Sample {
    double cpu = -1.0;
    double rssMb = -1.0;
};

// Starts `program`, lets it warm up, and measures CPU over `seconds`.
Sample measure(const QString& program, const QStringList& args, int warmUpMs, int seconds,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    Sample s;
    if (!p.waitForStarted(10000))
        return s;
    QThread::msleep(static_cast<unsigned long>(warmUpMs));
    const double before = cpuSeconds(p.processId());
    QThread::msleep(static_cast<unsigned long>(seconds) * 1000UL);
    const double after = cpuSeconds(p.processId());
    s.rssMb = peakRssMb(p.processId());
    if (before >= 0 && after >= 0 && p.state() == QProcess::Running)
        s.cpu = after - before;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
    return s;
}

// A program folder of its own (options.ini beside the executable): watch
// mode at start, the object detector, pictures and clips saved; `hidden`:
// the window goes to the tray at start.
QString prepareProgram(const QString& dir, bool hidden) {
    const QString folder = dir + (hidden ? QStringLiteral("/hidden") : QStringLiteral("/shown"));
    QDir().mkpath(folder + QStringLiteral("/pictures"));
    const QString exe = folder + QStringLiteral("/vigilux");
    QFile::remove(exe);
    if (!QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/vigilux"), exe))
        return {};
    QFile ini(folder + QStringLiteral("/options.ini"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    ini.write(QStringLiteral("[Interface]\nAutoStart=True\nAutoCheckUpdates=False\nMinStart=%2\n"
                             "FirstRun=False\n"
                             "[Files]\nSavePath=%1/pictures\n"
                             "[MotionDetector]\nSaveAlarm=True\n"
                             "[Events]\nEventClips=True\nPreRoll=2\n"
                             "[Detector]\nKind=Objects\n"
                             "[Sensor]\nTimer=500\nNoise=5\nPercent=10\n")
                  .arg(folder, hidden ? QStringLiteral("True") : QStringLiteral("False"))
                  .toUtf8());
    return exe;
}

// A display of the bench's own (Xvfb) with a notification area, so the
// program runs in a real window and can hide it in the tray. The tray is a
// small script that owns the notification area's selection and accepts
// icons without drawing them.
class TrayDisplay final {
public:
    ~TrayDisplay() {
        for (QProcess* p : {&m_tray, &m_server}) {
            p->terminate();
            if (!p->waitForFinished(5000))
                p->kill();
            p->waitForFinished(2000);
        }
    }

    bool start() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString script = QStringLiteral(VIGILUX_BENCH_TRAY_SCRIPT);
        if (xvfb.isEmpty() || !QFile::exists(script))
            return false;
        int number = 90 + static_cast<int>(QCoreApplication::applicationPid() % 100);
        while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            ++number;
        m_display = QStringLiteral(":%1").arg(number);
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(xvfb, {m_display, QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp")});
        if (!m_server.waitForStarted(10000))
            return false;
        QElapsedTimer wait;
        wait.start();
        while (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number))) {
            if (wait.elapsed() > 10000 || m_server.state() != QProcess::Running)
                return false;
            QThread::msleep(50);
        }
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), m_display);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // the X11 tray, not a desktop's
        m_tray.setProcessEnvironment(m_env);
        m_tray.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_tray.start(script, {});
        return m_tray.waitForReadyRead(10000) && m_tray.readLine().startsWith("ready");
    }

    const QProcessEnvironment& environment() const { return m_env; }

private:
    QProcess m_server;
    QProcess m_tray;
    QString m_display;
    QProcessEnvironment m_env;
};

struct Case {
    const char* name;
    bool events;
    bool hidden;
};

void runWatchBench() {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty() || !QFile::exists(kFootage)) {
        std::printf("watch: needs ffmpeg and opencv-doc's footage; skipped\n");
        return;
    }
    TrayDisplay display;
    if (!display.start()) {
        std::printf("watch: needs Xvfb and python3-xlib for a display with a tray; skipped\n");
        return;
    }
    QTemporaryDir dir;
    const QString hiddenProgram = prepareProgram(dir.path(), true);
    const QString shownProgram = prepareProgram(dir.path(), false);
    if (hiddenProgram.isEmpty() || shownProgram.isEmpty()) {
        std::printf("watch: the program could not be copied beside its settings; skipped\n");
        return;
    }
    const int seconds = measuredSeconds();
    std::printf("watch: %d s measured per run after %d s of warm-up, %d runs each by turns\n",
                seconds, kWarmUpMs / 1000, kRuns);
    const Case cases[] = {{"outside events", false, true},
                          {"outside events", false, false},
                          {"with events", true, true}};
    for (const QString& size : {QStringLiteral("1280x720"), QStringLiteral("640x480")}) {
        QString quiet;
        QString busy;
        if (!makeClips(ffmpeg, dir.path(), size, quiet, busy)) {
            std::printf("watch %s: ffmpeg could not make the clips\n", qPrintable(size));
            continue;
        }
        double quietOverhead = -1.0; // program minus decoding, hidden, outside events
        for (const Case& c : cases) {
            const QString& clip = c.events ? busy : quiet;
            std::vector<double> watching;
            std::vector<double> decoding;
            std::vector<double> ratios;
            double rss = 0.0;
            for (int run = 0; run < kRuns; ++run) {
                const Sample w = measure(c.hidden ? hiddenProgram : shownProgram,
                                         {QStringLiteral("--video"), clip}, kWarmUpMs, seconds,
                                         display.environment());
                const Sample d = measure(
                    ffmpeg,
                    {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-re"),
                     QStringLiteral("-stream_loop"), QStringLiteral("-1"),
                     QStringLiteral("-threads"), QStringLiteral("1"), QStringLiteral("-i"), clip,
                     QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
                    1000, seconds);
                if (w.cpu < 0 || d.cpu <= 0) {
                    std::printf("watch %s %s: a run failed\n", qPrintable(size), c.name);
                    return;
                }
                watching.push_back(w.cpu);
                decoding.push_back(d.cpu);
                ratios.push_back(w.cpu / d.cpu);
                rss = std::max(rss, w.rssMb);
            }
            const double a = vigilux::bench::median(watching);
            const double b = vigilux::bench::median(decoding);
            std::printf("watch %s %s, window %s: program %.1f %% of a core, decode only %.1f "
                        "%%, ratio=%.2f (runs min %.2f), peak RSS %.0f MB",
                        qPrintable(size), c.name, c.hidden ? "hidden in the tray" : "shown",
                        100.0 * a / seconds, 100.0 * b / seconds, a / b,
                        *std::min_element(ratios.begin(), ratios.end()), rss);
            if (!c.events && c.hidden)
                quietOverhead = (a - b) / seconds;
            if (c.events && quietOverhead >= 0)
                std::printf(", beyond decoding %.3f s of CPU per second more than outside "
                            "events",
                            (a - b) / seconds - quietOverhead);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
}

const bool registered = vigilux::bench::add("watch", &runWatchBench);

} // namespace
