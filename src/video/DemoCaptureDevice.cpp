#include "video/DemoCaptureDevice.h"

#include "resources/Pictures.h"

#include <algorithm>
#include <cstring>

namespace vigilux::video {

namespace {

// Room for the per-frame offset into the noise table.
constexpr int NoiseSlack = 65521;

quint64 mix(quint64 x) {
    // splitmix64 finaliser: a cheap, well-spread hash for scheduling and
    // noise offsets.
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

quint64 hash2(quint64 seed, quint64 k) {
    return mix(seed * 0x100000001B3ULL ^ mix(k));
}

uchar keepInRange(int v) {
    return static_cast<uchar>(std::clamp(v, 8, 247));
}

// The image as RGB24 bytes kept in 8..247, so adding noise of at most 3
// either way never wraps.
void toSafeRgb24(const QImage& src, std::vector<uchar>& out) {
    const QImage rgb = src.convertToFormat(QImage::Format_RGB888);
    const int rowBytes = rgb.width() * 3;
    out.resize(size_t(rowBytes) * size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < rowBytes; ++x)
            out[size_t(y) * size_t(rowBytes) + size_t(x)] = keepInRange(line[x]);
    }
}

// The room, stretched to the frame size.
QImage paintRoom(QSize size) {
    return resources::Pictures::image(QStringLiteral("demo/room"), size);
}

// The walking person, with straight (not premultiplied) colours.
QImage paintFigure(QSize size) {
    return resources::Pictures::image(QStringLiteral("demo/figure"), size)
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

DemoCaptureDevice::DemoCaptureDevice(quint64 seed, QObject* parent)
    : CaptureDevice(parent)
    , m_seed(seed)
    , m_size(640, 480) {
    m_timer.setInterval(FrameIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DemoCaptureDevice::onTick);
}

DemoCaptureDevice::~DemoCaptureDevice() = default;

bool DemoCaptureDevice::connectDriver() {
    if (isConnected())
        return true;
    prepare();
    setConnected(true);
    m_timer.start();
    return true;
}

void DemoCaptureDevice::disconnectDriver() {
    m_timer.stop();
    setConnected(false);
}

QList<QSize> DemoCaptureDevice::supportedSizes() {
    return {QSize(320, 240), QSize(640, 480), QSize(800, 600), QSize(1280, 720)};
}

bool DemoCaptureDevice::setVideoSize(QSize size) {
    if (!supportedSizes().contains(size))
        return false;
    if (size == m_size)
        return true;
    m_size = size;
    m_prepared = false;
    clearFrame();
    if (isConnected())
        prepare();
    return true;
}

QList<CaptureDevice::VideoFormat> DemoCaptureDevice::videoFormats() const {
    QList<VideoFormat> formats;
    for (const QSize& s : supportedSizes())
        formats.append(
            {s, FrameLayout::pixelName(FrameLayout::Pixel::Rgb24), 1000.0 / FrameIntervalMs});
    return formats;
}

bool DemoCaptureDevice::setVideoFormat(int index) {
    const QList<QSize> sizes = supportedSizes();
    return index >= 0 && index < sizes.size() && setVideoSize(sizes.at(index));
}

QString DemoCaptureDevice::name() const {
    return QStringLiteral("Демонстрационная сцена");
}

QString DemoCaptureDevice::description() const {
    return QStringLiteral("Демонстрационная сцена, %1 x %2")
        .arg(m_size.width())
        .arg(m_size.height());
}

qsizetype DemoCaptureDevice::frameBytes() const {
    return qsizetype(m_size.width()) * m_size.height() * 3;
}

qint64 DemoCaptureDevice::crossingStart(quint64 frameIndex) const {
    // Starts are cumulative gaps drawn from the seed; recomputed from the
    // beginning each time, which costs one hash per 20-30 s of run time.
    qint64 last = -1;
    quint64 start = 0;
    for (quint64 k = 0;; ++k) {
        start += MinGapFrames + hash2(m_seed, k) % (MaxGapFrames - MinGapFrames + 1);
        if (start > frameIndex)
            return last;
        last = qint64(start);
    }
}

bool DemoCaptureDevice::figureVisible(quint64 frameIndex) const {
    const qint64 start = crossingStart(frameIndex);
    return start >= 0 && frameIndex < quint64(start) + CrossingFrames;
}

void DemoCaptureDevice::prepare() {
    if (m_prepared)
        return;
    toSafeRgb24(paintRoom(m_size), m_background);

    // Sensor noise: each byte gets the sum of three values from {-1, 0, 1}
    // (so -3..3, mostly near 0). Stored modulo 256 so adding it to the
    // background is a plain byte add.
    m_noise.resize(size_t(frameBytes()) + NoiseSlack);
    quint64 bits = 0;
    int left = 0;
    for (uchar& n : m_noise) {
        int v = 0;
        for (int i = 0; i < 3; ++i) {
            if (left == 0) {
                bits = hash2(m_seed ^ 0x5EED, quint64(&n - m_noise.data()));
                left = 21; // 21 draws of 3 bits each from 64 bits
            }
            v += int(bits % 3) - 1;
            bits >>= 3;
            --left;
        }
        n = static_cast<uchar>(v);
    }

    const int fh = m_size.height() * 7 / 10;
    m_figureSize = QSize(fh * 3 / 10, fh);
    const QImage fig = paintFigure(m_figureSize);
    m_figure.resize(size_t(m_figureSize.width()) * size_t(fh) * 3);
    m_figureMask.assign(size_t(m_figureSize.width()) * size_t(fh), 0);
    for (int y = 0; y < fh; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(fig.constScanLine(y));
        for (int x = 0; x < m_figureSize.width(); ++x) {
            const size_t i = size_t(y) * size_t(m_figureSize.width()) + size_t(x);
            m_figureMask[i] = qAlpha(line[x]) > 127 ? 1 : 0;
            m_figure[i * 3] = keepInRange(qRed(line[x]));
            m_figure[i * 3 + 1] = keepInRange(qGreen(line[x]));
            m_figure[i * 3 + 2] = keepInRange(qBlue(line[x]));
        }
    }
    m_prepared = true;
}

void DemoCaptureDevice::renderFrame(quint64 frameIndex, uchar* out) {
    prepare();
    const int noiseOffset = int(hash2(m_seed, frameIndex ^ 0xF00D0000ULL) % NoiseSlack);
    const uchar* bg = m_background.data();
    const uchar* noise = m_noise.data() + noiseOffset;
    const size_t n = size_t(frameBytes());
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uchar>(bg[i] + noise[i]);

    const qint64 start = crossingStart(frameIndex);
    if (start >= 0 && frameIndex < quint64(start) + CrossingFrames)
        blitFigure(frameIndex, start, out, noiseOffset);
}

void DemoCaptureDevice::blitFigure(quint64 frameIndex, qint64 start, uchar* out,
                                   int noiseOffset) const {
    const int W = m_size.width();
    const int H = m_size.height();
    const int fw = m_figureSize.width();
    const int fh = m_figureSize.height();
    // Walks across the whole picture, entering on one side and leaving on the
    // other; every other crossing goes the other way.
    const double t = double(frameIndex - quint64(start)) / (CrossingFrames - 1);
    const bool leftToRight = hash2(m_seed, quint64(start)) % 2 == 0;
    const double travel = double(W + fw);
    const int x0 = int(leftToRight ? -fw + t * travel : W - t * travel);
    // A slight bob with the steps.
    const int bob = (frameIndex / 6) % 2 ? H / 120 : 0;
    const int y0 = H * 95 / 100 - fh - bob;
    const uchar* noise = m_noise.data() + noiseOffset;
    for (int fy = 0; fy < fh; ++fy) {
        const int y = y0 + fy;
        if (y < 0 || y >= H)
            continue;
        const int xa = std::max(0, x0);
        const int xb = std::min(W, x0 + fw);
        for (int x = xa; x < xb; ++x) {
            const size_t fi = size_t(fy) * size_t(fw) + size_t(x - x0);
            if (!m_figureMask[fi])
                continue;
            const size_t o = (size_t(y) * size_t(W) + size_t(x)) * 3;
            for (int c = 0; c < 3; ++c)
                out[o + size_t(c)] =
                    static_cast<uchar>(m_figure[fi * 3 + size_t(c)] + noise[o + size_t(c)]);
        }
    }
}

void DemoCaptureDevice::onTick() {
    if (!takeFrameSlot())
        return;
    const auto frameIndex = quint64(msSinceConnect() / FrameIntervalMs);
    const FrameLayout layout = FrameLayout::rgb24(m_size);
    uchar* buffer = frameBuffer(layout.bytes);
    renderFrame(frameIndex, buffer);
    publishFrame(layout);
}

} // namespace vigilux::video
