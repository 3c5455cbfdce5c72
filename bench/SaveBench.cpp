// save_jpeg: the whole frame-saving path (frame bytes to picture, imprint,
// encode, write, sync, rename) against a plain QImage::save of the same
// picture, by turns. Both are measured in CPU time of the whole process, so
// the saver's worker thread counts, and the saver is timed until it reports
// the file (frameSaved). ui_us is how long saveFrame held its caller (wall
// time: on a busy machine the scheduler may hand the core to the worker
// meanwhile), ui_cpu_us what it spent of the caller's own CPU.
#include "Bench.h"

#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "platform/SystemClock.h"
#include "recording/FrameSaver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <random>
#include <utility>
#include <vector>

namespace {

using namespace vigilux;

class SilentDialogs final : public platform::Dialogs {
public:
    Answer message(Icon, const QString&, const QString& text, Buttons) override {
        std::fprintf(stderr, "save_jpeg: %s\n", qPrintable(text));
        return Answer::Ok;
    }
    QString openFile(const QString&, const QString&, const QString&) override { return {}; }
    QString browseFolder(const QString&) override { return {}; }
};

double cpuNs(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

double processCpuNs() {
    return cpuNs(CLOCK_PROCESS_CPUTIME_ID);
}

constexpr int WarmUp = 3;

void runSave(int width, int height, int rounds) {
    QTemporaryDir dir;
    platform::SystemClock clock;
    SilentDialogs dialogs;
    AppContext context(clock, dialogs, dir.path());
    auto& s = context.settings;
    s.savePath = dir.path();
    s.createSubfolders = false;
    s.limitFiles = false;
    s.singleFile = true; // numbered names: one new file per save
    s.singleFileName = QStringLiteral("f");
    s.maxFileCount = 1000;
    s.saveAsJpeg = true;
    s.imprintDate = true;
    s.jpegQuality = 75;
    s.soundOnSave = false;

    // A camera-like picture: smooth gradients with noise, so the encoder
    // works as hard as on real frames.
    QImage plain(width, height, QImage::Format_RGB888);
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y) {
        uchar* line = plain.scanLine(y);
        for (int x = 0; x < width * 3; ++x)
            line[x] = static_cast<uchar>((x / 3 + y) / 4 % 200 + rng() % 24);
    }
    recording::FrameSaver saving(context);
    QSignalSpy saved(&saving, &recording::FrameSaver::frameSaved);

    std::vector<double> ratios;
    std::vector<double> uiUs;
    std::vector<double> uiCpuUs;
    for (int r = 0; r < rounds; ++r) {
        double start = processCpuNs();
        plain.save(dir.filePath(QStringLiteral("plain%1.jpg").arg(r)), "JPG", 75);
        const double plainNs = processCpuNs() - start;
        // A fresh picture handed over, as the watch pipeline hands over the
        // frame it has just converted (and the snapshot button its copy):
        // the saver may draw into it without copying it first.
        QImage frame = plain.copy();
        QElapsedTimer ui;
        start = processCpuNs();
        const double uiCpu = cpuNs(CLOCK_THREAD_CPUTIME_ID);
        ui.start();
        saving.saveFrame(std::move(frame));
        uiUs.push_back(static_cast<double>(ui.nsecsElapsed()) / 1000.0);
        uiCpuUs.push_back((cpuNs(CLOCK_THREAD_CPUTIME_ID) - uiCpu) / 1000.0);
        // Waits for the worker and reports; the wake-up it posted for the
        // window's event loop is handled too, and counted.
        saving.finishPending(10000);
        QCoreApplication::processEvents();
        if (saved.size() <= r) {
            std::fprintf(stderr, "save_jpeg: no picture reported\n");
            return;
        }
        const double saveNs = processCpuNs() - start;
        // The first pictures load the fonts and warm the worker up.
        if (r >= WarmUp)
            ratios.push_back(saveNs / plainNs);
    }
    const double ratio = bench::median(ratios);
    std::printf("save_jpeg %dx%d ratio_vs_plain=%.3f ui_us_median=%.0f ui_cpu_us_median=%.0f\n",
                width, height, ratio, bench::median(uiUs), bench::median(uiCpuUs));
}

const bool registered = bench::add("save", [] {
    runSave(640, 480, 150);
    runSave(1920, 1080, 30);
});

} // namespace
