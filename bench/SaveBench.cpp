// save_jpeg: the whole frame-saving path (frame bytes to picture, imprint,
// encode, write) against a plain QImage::save of the same picture.
#include "Bench.h"

#include "capture/FrameSaver.h"
#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "platform/SystemClock.h"

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

// Hands out the camera's raw RGB24 bytes as a picture, the way the capture
// control does when a save asks for the frame.
class BytesHost final : public capture::FrameSaverHost {
public:
    std::vector<uchar> bytes;
    int width = 0;
    int height = 0;
    QImage currentFrame() override {
        return QImage(bytes.data(), width, height, width * 3, QImage::Format_RGB888).copy();
    }
    void showSavingIndicator() override {}
    void startIndicatorHideTimer() override {}
    void toggleWatching() override {}
    void playSound(const QString&) override {}
    void showStatus(const QString&) override {}
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

    BytesHost host;
    host.width = width;
    host.height = height;
    host.bytes.resize(static_cast<size_t>(width) * height * 3);
    // A camera-like picture: smooth gradients with noise, so the encoder
    // works as hard as on real frames.
    std::mt19937 rng(7);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            host.bytes[static_cast<size_t>(y) * width * 3 + x] =
                static_cast<uchar>((x / 3 + y) / 4 % 200 + rng() % 24);
    const QImage plain = host.currentFrame();
    capture::FrameSaver saving(context, host);

    std::vector<double> ratios;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        plain.save(dir.filePath(QStringLiteral("plain%1.jpg").arg(r)), "JPG", 75);
        const double plainNs = static_cast<double>(t.nsecsElapsed());
        t.restart();
        saving.saveFrame();
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
