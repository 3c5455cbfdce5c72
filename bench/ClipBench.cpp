// clip: the event clip's cost. CPU time the encoder needs per second of a
// 640 x 480 video at 25 fps (camera-like: sensor noise and a moving box),
// from the camera's own yuv420p and from packed RGB converted once; and the
// pre-roll buffer's memory at 1280 x 720 with the default 2 s at 10 fps.
#include "Bench.h"

#include "recording/ClipWriter.h"
#include "recording/PreRollBuffer.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

using vigilux::recording::ClipWriter;
using vigilux::recording::PreRollBuffer;
using vigilux::video::FrameLayout;
using Pixel = FrameLayout::Pixel;

constexpr int kFps = 25;
constexpr int kSeconds = 10;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

FrameLayout packedLayout(QSize size, Pixel pixel, int bytesPerPixel) {
    FrameLayout f;
    f.size = size;
    f.pixel = pixel;
    f.planeCount = 1;
    f.stride[0] = size.width() * bytesPerPixel;
    f.bytes = qsizetype{f.stride[0]} * size.height();
    return f;
}

FrameLayout planarLayout(QSize size, Pixel pixel) {
    const qsizetype luma = qsizetype{size.width()} * size.height();
    FrameLayout f;
    f.size = size;
    f.pixel = pixel;
    if (pixel == Pixel::Nv12) {
        f.planeCount = 2;
        f.stride = {size.width(), size.width(), 0};
        f.offset = {0, luma, 0};
    } else {
        f.planeCount = 3;
        f.stride = {size.width(), size.width() / 2, size.width() / 2};
        f.offset = {0, luma, luma + luma / 4};
    }
    f.bytes = luma + luma / 2;
    return f;
}

// A still room with sensor noise and a box crossing it; `bytesPerPixel`
// bytes per pixel of the first plane (1 for planar YUV, 3 for RGB).
void paintScene(std::vector<uchar>& bytes, const FrameLayout& layout, int index,
                std::mt19937& noise) {
    const int w = layout.size.width();
    const int h = layout.size.height();
    const int bpp = layout.stride[0] / w;
    std::uniform_int_distribution<int> grain(-3, 3);
    for (int y = 0; y < h; ++y) {
        uchar* row = bytes.data() + qsizetype{layout.stride[0]} * y;
        for (int x = 0; x < w * bpp; ++x)
            row[x] = static_cast<uchar>(60 + ((x / bpp) * 97 / w) + (y * 61 / h) + grain(noise));
    }
    const int box = h / 4;
    const int bx = (index * 9) % (w - box);
    for (int y = h / 3; y < h / 3 + box; ++y)
        for (int x = bx * bpp; x < (bx + box) * bpp; ++x)
            bytes[static_cast<std::size_t>(qsizetype{layout.stride[0]} * y + x)] = 220;
    if (layout.planeCount > 1)
        std::fill(bytes.begin() + layout.offset[1], bytes.end(), 128);
}

// CPU seconds per second of video, and the file's bytes per second.
void encodeRun(const char* label, const FrameLayout& layout, const QString& path,
               const char* preset = ClipWriter::Preset) {
    std::vector<uchar> bytes(static_cast<std::size_t>(layout.bytes));
    std::mt19937 noise(7);
    PreRollBuffer ring; // the conversion the recorder does, for layouts the encoder refuses
    ring.configure(0, kFps);
    ClipWriter writer;
    ClipWriter::Options options;
    options.fps = kFps;
    options.preset = preset;
    bool opened = false;
    double cpu = 0.0;
    for (int i = 0; i < kFps * kSeconds; ++i) {
        paintScene(bytes, layout, i, noise);
        const double before = threadCpuSeconds();
        const PreRollBuffer::Frame* frame = ring.push(bytes.data(), layout, i * 1000 / kFps);
        vigilux::core::Status ok = frame != nullptr
                                       ? vigilux::core::Status()
                                       : vigilux::core::Status::failure(QStringLiteral("no frame"));
        if (ok && !opened) {
            ok = writer.open(path, frame->layout.size, frame->layout.pixel, options);
            opened = ok.ok();
        }
        if (ok)
            ok = writer.write(frame->bytes.data(), frame->layout, frame->ms);
        cpu += threadCpuSeconds() - before;
        if (!ok) {
            std::fprintf(stderr, "clip: %s: %s\n", label, qPrintable(ok.error()));
            return;
        }
    }
    const double before = threadCpuSeconds();
    (void)writer.close(); // the bench measures; a failed end shows in the size below
    cpu += threadCpuSeconds() - before;
    std::printf("clip_encode %-28s %-9s cpu_s_per_video_s=%.3f (goal <= 0.100) kbit_s=%.0f\n",
                label, preset, cpu / kSeconds,
                static_cast<double>(QFileInfo(path).size()) * 8 / 1000 / kSeconds);
}

void preRollMemory(const char* label, const FrameLayout& layout) {
    std::vector<uchar> bytes(static_cast<std::size_t>(layout.bytes), 100);
    PreRollBuffer ring;
    ring.configure(2000, 10);     // the defaults: PreRoll 2 s, at most 10 fps
    for (int i = 0; i < 300; ++i) // half a minute of frames
        ring.push(bytes.data(), layout, i * 100);
    std::printf("clip_preroll_1280x720 %-10s frames=%d peak_mb=%.1f (goal < 64)\n", label,
                ring.capacity(), static_cast<double>(ring.peakBytes()) / (1 << 20));
}

void runClipBench() {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "clip: needs a temporary folder\n");
        return;
    }
    std::printf("clip: libx264 preset %s, 1 thread, %d s of video\n", ClipWriter::Preset, kSeconds);
    const QSize vga(640, 480);
    encodeRun("640x480@25 yuv420p", planarLayout(vga, Pixel::Yuv420p),
              dir.filePath(QStringLiteral("yuv.mp4")));
    encodeRun("640x480@25 rgb24 (converted)", packedLayout(vga, Pixel::Rgb24, 3),
              dir.filePath(QStringLiteral("rgb.mp4")));
    // The next presets up, for the size they would save.
    for (const char* slower : {"superfast", "veryfast"})
        encodeRun("640x480@25 yuv420p", planarLayout(vga, Pixel::Yuv420p),
                  dir.filePath(QStringLiteral("yuv-%1.mp4").arg(QLatin1String(slower))), slower);

    const QSize hd(1280, 720);
    preRollMemory("nv12", planarLayout(hd, Pixel::Nv12));
    preRollMemory("yuyv", packedLayout(hd, Pixel::Yuyv, 2));
    preRollMemory("bgrx32", packedLayout(hd, Pixel::Bgrx32, 4));
}

const bool registered = vigilux::bench::add("clip", &runClipBench);

} // namespace
