// network: a network camera on loopback. The latency from the moment the
// MJPEG test server has written a 1280 x 720 picture to the moment the frame
// callback holds it (goal: at most 300 ms), and the processor time of
// watching an RTSP H.264 stream of a clip next to decoding the same file as
// replay does (goal: at most 1.0 times, apart from the network's share).
#include "Bench.h"

#include "video/NetworkCaptureDevice.h"
#include "video/VideoDecoder.h"

#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using vigilux::video::CaptureSource;
using vigilux::video::NetworkCaptureDevice;

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool ffmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-y"), QStringLiteral("-loglevel"),
                                                  QStringLiteral("error")} +
                                          args);
    return p.waitForFinished(300000) && p.exitCode() == 0;
}

// Starts a test server script; returns its port, 0 when it did not come up.
quint16 startServer(QProcess& server, const QStringList& args) {
    server.start(QStringLiteral("/usr/bin/python3"), args);
    if (!server.waitForStarted(10000))
        return 0;
    QByteArray line;
    while (!line.endsWith('\n') && server.waitForReadyRead(15000))
        line += server.readLine();
    return line.startsWith("port ") ? quint16(line.mid(5).trimmed().toUInt()) : 0;
}

void stopServer(QProcess& server) {
    server.closeWriteChannel();
    if (!server.waitForFinished(5000))
        server.kill();
    server.waitForFinished(5000);
}

// Watches `source` until `enough` says so or 60 s pass, handing every frame
// to `seen`.
void watch(const CaptureSource& source, const std::function<void(const uchar*)>& seen,
           const std::function<bool()>& enough) {
    // An event loop that sleeps between frames: a polling loop here would
    // be counted as the device's processor time.
    QEventLoop loop;
    NetworkCaptureDevice device(source);
    device.setFrameCallback([&](const vigilux::video::FrameHeader& h) {
        seen(h.data);
        if (enough())
            loop.quit();
    });
    device.setPreview(true);
    device.connectDriver();
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

void latency(const QString& scripts, const QTemporaryDir& dir) {
    // Picture K is grey level 4K all over, so the callback can tell which
    // one it holds.
    const QString frames = dir.filePath(QStringLiteral("frames"));
    QDir().mkpath(frames);
    if (!ffmpeg({"-f", "lavfi", "-i",
                 "color=c=black:s=1280x720:r=25:d=2,geq=lum='N*4':cb=128:cr=128", "-q:v", "3",
                 frames + "/f%03d.jpg"})) {
        std::printf("network latency: ffmpeg could not make the pictures\n");
        return;
    }
    QProcess server;
    const quint16 port = startServer(
        server, {scripts + "/mjpeg_server.py", "--frames", frames, "--stamps", "--count", "50"});
    if (!port) {
        std::printf("network latency: the test server did not start\n");
        return;
    }
    QHash<int, double> received;
    watch(
        CaptureSource::network(QStringLiteral("http://127.0.0.1:%1/cam").arg(port)),
        [&](const uchar* y) { received.insert((y[0] + 2) / 4, monotonicSeconds()); },
        [&] { return received.contains(49); });
    std::vector<double> ms;
    for (const QByteArray& line : server.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "sent" && received.contains(f[1].toInt()))
            ms.push_back((received.value(f[1].toInt()) - f[2].toDouble()) * 1000);
    }
    stopServer(server);
    if (ms.empty()) {
        std::printf("network latency: no frame arrived\n");
        return;
    }
    const double worst = *std::max_element(ms.begin(), ms.end());
    const std::size_t count = ms.size();
    std::printf("network latency (MJPEG 1280x720 over loopback, %zu frames): median %.1f ms, "
                "worst %.1f ms, goal <= 300 ms\n",
                count, vigilux::bench::median(ms), worst);
}

void cost(const QString& scripts, const QTemporaryDir& dir) {
    const QString clip = dir.filePath(QStringLiteral("clip.mkv"));
    if (!ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=12", "-c:v",
                 "libx264", "-g", "50", "-bf", "0", "-pix_fmt", "yuv420p", clip})) {
        std::printf("network cost: ffmpeg could not make the clip\n");
        return;
    }
    // Replay's decoding of the whole file.
    double start = cpuSeconds();
    vigilux::video::VideoDecoder decoder;
    int decoded = 0;
    if (decoder.open(clip))
        while (decoder.next() && decoder.picture())
            ++decoded;
    const double fileCpu = cpuSeconds() - start;

    QProcess server;
    const quint16 port =
        startServer(server, {scripts + "/rtsp_server.py", "--clip", clip, "--codec", "h264"});
    if (!port || decoded == 0) {
        std::printf("network cost: the RTSP server or the clip failed\n");
        return;
    }
    int streamed = 0;
    start = cpuSeconds();
    watch(
        CaptureSource::network(QStringLiteral("rtsp://127.0.0.1:%1/cam").arg(port)),
        [&](const uchar*) { ++streamed; }, [&] { return streamed >= decoded - 5; });
    const double streamCpu = cpuSeconds() - start;
    stopServer(server);
    // Per frame, since the stream may end a few frames short.
    const double ratio = (streamCpu / std::max(streamed, 1)) / (fileCpu / decoded);
    std::printf("network cost (RTSP H.264 1280x720 25 fps vs decoding the file): %.2f ms vs "
                "%.2f ms of processor per frame, ratio %.2f (%d and %d frames)\n",
                streamCpu * 1000 / std::max(streamed, 1), fileCpu * 1000 / decoded, ratio, streamed,
                decoded);
}

void runNetwork() {
    QTemporaryDir dir;
    const QString scripts = QStringLiteral(VIGILUX_VIDEO_TESTS);
    latency(scripts, dir);
    cost(scripts, dir);
}

const bool registered = vigilux::bench::add("network", &runNetwork);

} // namespace
