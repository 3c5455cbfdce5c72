// save_jpeg: the whole frame-saving path (frame bytes to picture, imprint,
// encode, write) against a plain QImage::save of the same picture.
#include "Bench.h"

#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "platform/SystemClock.h"
#include "recording/FrameSaver.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <random>
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

    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        plain.save(dir.filePath(QStringLiteral("plain%1.jpg").arg(r)), "JPG", 75);
        const double plainNs = static_cast<double>(t.nsecsElapsed());
        t.restart();
        saving.saveFrame(plain);
        const double saveNs = static_cast<double>(t.nsecsElapsed());
        ratios.push_back(saveNs / plainNs);
    }
    std::printf("save_jpeg %dx%d ratio_vs_plain=%.3f\n", width, height, bench::median(ratios));
}

const bool registered = bench::add("save", [] {
    runSave(640, 480, 60);
    runSave(1920, 1080, 20);
});

} // namespace
