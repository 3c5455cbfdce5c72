// vigilux-capture-soak: runs one capture device for a while the way the
// program drives it (preview on, a preview rate, a frame callback copying the
// frame as the detector does, and optionally the preview's conversion of
// every presented frame) and prints the process's CPU share and resident
// memory at the start and the end.
//
//   vigilux-capture-soak (--demo | --video FILE | --camera N)
//                        [--seconds 60] [--rate 50] [--preview]

#include "video/CaptureDeviceFactory.h"

#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// User + system CPU time of this process, in seconds.
double cpuSeconds() {
    std::ifstream f("/proc/self/stat");
    std::string line;
    std::getline(f, line);
    // Fields after the command name (which is in parentheses).
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0;
    unsigned long stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoul(field);
        if (i == 15)
            stime = std::stoul(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

long rssKb() {
    std::ifstream f("/proc/self/statm");
    long size = 0;
    long resident = 0;
    f >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QString error;
    const auto source = vigilux::video::CaptureSource::fromArguments(app.arguments(), &error);
    if (!source) {
        std::fprintf(stderr, "%s\n",
                     error.isEmpty() ? "choose --demo, --video FILE or --camera N"
                                     : qPrintable(error));
        return 2;
    }
    int seconds = 60;
    int rate = 50;
    bool preview = false;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--seconds") && i + 1 < args.size())
            seconds = args[++i].toInt();
        else if (args[i] == QLatin1String("--rate") && i + 1 < args.size())
            rate = args[++i].toInt();
        else if (args[i] == QLatin1String("--preview"))
            preview = true;
    }

    auto device = vigilux::video::createCaptureDevice(*source);
    std::vector<uchar> detectorCopy;
    quint64 frames = 0;
    device->setFrameCallback([&](const vigilux::video::FrameHeader& h) {
        ++frames;
        if (detectorCopy.size() < h.bytesUsed)
            detectorCopy.resize(h.bytesUsed);
        std::memcpy(detectorCopy.data(), h.data, h.bytesUsed);
    });
    qint64 pixels = 0;
    if (preview)
        QObject::connect(device.get(), &vigilux::video::CaptureDevice::framePresented,
                         [&] { pixels += device->currentFrame().width(); });
    device->setPreviewRate(rate);
    device->setPreview(true);
    if (!device->connectDriver()) {
        std::fprintf(stderr, "the device did not connect\n");
        return 1;
    }

    // Let the pipeline settle before the first reading.
    double cpu0 = 0;
    long rss0 = 0;
    quint64 frames0 = 0;
    QTimer::singleShot(2000, [&] {
        cpu0 = cpuSeconds();
        rss0 = rssKb();
        frames0 = frames;
        std::printf("start: rss %ld kB, frames so far %llu, size %dx%d\n", rss0,
                    static_cast<unsigned long long>(frames), device->videoSize().width(),
                    device->videoSize().height());
        std::fflush(stdout);
    });
    QTimer::singleShot(2000 + seconds * 1000, [&] {
        const double cpu = cpuSeconds() - cpu0;
        std::printf("end after %d s: cpu %.1f %% of one core, rss %ld kB (start %ld kB), "
                    "frames %llu (%.1f per s), preview conversion %s\n",
                    seconds, 100.0 * cpu / seconds, rssKb(), rss0,
                    static_cast<unsigned long long>(frames - frames0),
                    double(frames - frames0) / seconds, preview ? "on" : "off");
        app.quit();
    });
    return app.exec();
}
