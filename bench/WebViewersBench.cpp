// web: what remote viewers cost the program. A 1280 x 720 camera at 25 fps
// is published from the UI thread for 10 s with no viewer, then with four
// curl processes pulling the live picture; prints the program's CPU time per
// second and the 95th percentile gap between camera ticks for both.
#include "Bench.h"

#include "web/PasswordHash.h"
#include "web/PublishedRemoteViewSource.h"
#include "web/RemoteViewServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

using namespace vigilux::web;

class BenchSource final : public PublishedRemoteViewSource {
public:
    void setWatching(bool) override {}
    void mute(MuteChoice) override {}
    void takeSnapshot() override {}
};

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Run {
    double cpuMsPerSecond = 0;
    double gapP95 = 0;
    qint64 bytes = 0;
};

Run measure(BenchSource& source, int viewers, quint16 port, const QString& jar) {
    std::vector<QProcess*> curls;
    for (int i = 0; i < viewers; ++i) {
        auto* curl = new QProcess;
        curl->start(QStringLiteral("curl"),
                    {QStringLiteral("-sk"), QStringLiteral("-b"), jar, QStringLiteral("-o"),
                     QStringLiteral("/dev/null"), QStringLiteral("-w"),
                     QStringLiteral("%{size_download}"), QStringLiteral("--max-time"),
                     QStringLiteral("10"),
                     QStringLiteral("https://127.0.0.1:%1/live.mjpg").arg(port)});
        curls.push_back(curl);
    }
    QImage frame(1280, 720, QImage::Format_RGB32);
    std::mt19937 noise(1);
    std::vector<double> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    int tick = 0;
    QTimer camera;
    QObject::connect(&camera, &QTimer::timeout, [&] {
        gaps.push_back(static_cast<double>(clock.elapsed() - last));
        last = clock.elapsed();
        // A scene with some texture and a moving box, like a camera's.
        frame.fill(QColor(90, 100, 110));
        QPainter painter(&frame);
        for (int i = 0; i < 200; ++i)
            painter.fillRect(static_cast<int>(noise() % 1280), static_cast<int>(noise() % 720), 8,
                             8, QColor::fromRgb(noise()));
        painter.fillRect((tick++ * 10) % 1200, 300, 80, 80, Qt::white);
        painter.end();
        source.publishFrame(frame.copy());
    });
    const double cpu0 = processCpuSeconds();
    camera.start(40);
    QTest::qWait(10000);
    camera.stop();
    Run run;
    run.cpuMsPerSecond = (processCpuSeconds() - cpu0) * 100.0;
    std::sort(gaps.begin(), gaps.end());
    run.gapP95 = gaps.empty() ? 0 : gaps[gaps.size() * 95 / 100];
    for (QProcess* curl : curls) {
        curl->waitForFinished(15000);
        run.bytes += curl->readAllStandardOutput().toLongLong();
        delete curl;
    }
    return run;
}

void runWebViewers() {
    QTemporaryDir dir;
    BenchSource source;
    source.publishPaths(dir.path(), dir.filePath(QStringLiteral("events.csv")));
    RemoteViewSettings settings;
    settings.enabled = true;
    settings.port = 0;
    settings.passwordHash = PasswordHash::make(QStringLiteral("bench"));
    RemoteViewServer server(source);
    if (!server.start(settings, dir.path(), QHostAddress::LocalHost)) {
        std::printf("web: the server did not start: %s\n", qPrintable(server.error()));
        return;
    }
    const QString jar = dir.filePath(QStringLiteral("cookies"));
    QProcess login;
    login.start(QStringLiteral("curl"),
                {QStringLiteral("-sk"), QStringLiteral("-c"), jar, QStringLiteral("-o"),
                 QStringLiteral("/dev/null"), QStringLiteral("-d"),
                 QStringLiteral("password=bench"),
                 QStringLiteral("https://127.0.0.1:%1/login").arg(server.port())});
    while (login.state() != QProcess::NotRunning)
        QTest::qWait(20);
    const Run idle = measure(source, 0, server.port(), jar);
    const Run watched = measure(source, 4, server.port(), jar);
    std::printf("web: cpu_ms_per_s idle=%.0f viewers4=%.0f ratio=%.2f; camera gap p95 idle=%.0f "
                "viewers4=%.0f ms; viewers got %.1f MB\n",
                idle.cpuMsPerSecond, watched.cpuMsPerSecond,
                watched.cpuMsPerSecond / std::max(idle.cpuMsPerSecond, 1.0), idle.gapP95,
                watched.gapP95, static_cast<double>(watched.bytes) / 1e6);
}

const bool registered = vigilux::bench::add("web", &runWebViewers);

} // namespace
