#include "recording/PreRollBuffer.h"

#include "recording/ClipWriter.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <limits>

namespace vigilux::recording {

namespace {

using video::FrameLayout;
using Pixel = FrameLayout::Pixel;

// The source layout as swscale knows it; `swapUv` for a V-before-U planar
// layout read as yuv420p.
AVPixelFormat sourceFormat(Pixel pixel, bool& swapUv) {
    swapUv = false;
    switch (pixel) {
    case Pixel::Rgb24:
        return AV_PIX_FMT_RGB24;
    case Pixel::Bgr24:
        return AV_PIX_FMT_BGR24;
    case Pixel::Bgrx32:
        return AV_PIX_FMT_BGR0;
    case Pixel::Rgbx32:
        return AV_PIX_FMT_RGB0;
    case Pixel::Xrgb32:
        return AV_PIX_FMT_0RGB;
    case Pixel::Xbgr32:
        return AV_PIX_FMT_0BGR;
    case Pixel::Gray8:
        return AV_PIX_FMT_GRAY8;
    case Pixel::Yuv420p:
        return AV_PIX_FMT_YUV420P;
    case Pixel::Yv12:
        swapUv = true;
        return AV_PIX_FMT_YUV420P;
    case Pixel::Yuv422p:
        return AV_PIX_FMT_YUV422P;
    case Pixel::Nv12:
        return AV_PIX_FMT_NV12;
    case Pixel::Nv21:
        return AV_PIX_FMT_NV21;
    case Pixel::Yuyv:
        return AV_PIX_FMT_YUYV422;
    case Pixel::Uyvy:
        return AV_PIX_FMT_UYVY422;
    case Pixel::Unknown:
        break;
    }
    return AV_PIX_FMT_NONE;
}

// A tightly packed 4:2:0 layout of an even size.
FrameLayout packed420(QSize size, Pixel pixel) {
    const int w = size.width();
    const int h = size.height();
    FrameLayout f;
    f.size = size;
    f.pixel = pixel;
    const qsizetype luma = qsizetype{w} * h;
    if (pixel == Pixel::Yuv420p) {
        f.planeCount = 3;
        f.stride = {w, w / 2, w / 2};
        f.offset = {0, luma, luma + luma / 4};
    } else {
        f.planeCount = 2;
        f.stride = {w, w, 0};
        f.offset = {0, luma, 0};
    }
    f.bytes = luma + luma / 2;
    return f;
}

void copyPlane(uchar* dst, int dstStride, const uchar* src, int srcStride, int rowBytes, int rows) {
    for (int y = 0; y < rows; ++y)
        std::memcpy(dst + qsizetype{dstStride} * y, src + qsizetype{srcStride} * y,
                    static_cast<std::size_t>(rowBytes));
}

} // namespace

// How frames of the current source become stored frames.
struct PreRollBuffer::Converter {
    SwsContext* sws = nullptr;
    bool copy = false;   // the encoder takes the source layout (or it with U and V swapped)
    bool swapUv = false; // a yv12 source
    AVPixelFormat source = AV_PIX_FMT_NONE;
    Pixel stored = Pixel::Yuv420p;

    ~Converter() { sws_freeContext(sws); }
};

PreRollBuffer::PreRollBuffer()
    : m_converter(std::make_unique<Converter>()) {}

PreRollBuffer::~PreRollBuffer() = default;

void PreRollBuffer::configure(std::int64_t spanMs, int fps) {
    const std::int64_t span = std::max<std::int64_t>(0, spanMs);
    const std::int64_t rate = std::max(1, fps);
    m_spanFrames = static_cast<int>(std::min<std::int64_t>((span * rate + 999) / 1000 + SpareFrames,
                                                           std::numeric_limits<int>::max() / 2));
    release();
}

void PreRollBuffer::release() {
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_header = 0;
    m_count = 0;
    m_bytes = 0;
    m_sourceSize = {};
    m_sourcePixel = Pixel::Unknown;
    m_limit = m_spanFrames;
}

void PreRollBuffer::clear() {
    m_header = 0;
    m_count = 0;
}

const PreRollBuffer::Frame* PreRollBuffer::push(const uchar* data, const FrameLayout& layout,
                                                std::int64_t ms, QString* error) {
    auto refuse = [&](const QString& text) -> const Frame* {
        if (error)
            *error = text;
        return nullptr;
    };
    bool swapUv = false;
    const AVPixelFormat source = sourceFormat(layout.pixel, swapUv);
    if (!data || !layout.isValid() || source == AV_PIX_FMT_NONE)
        return refuse(QStringLiteral("неизвестный формат кадра"));
    const QSize size = ClipWriter::encodedSize(layout.size);
    if (size.width() < 2 || size.height() < 2)
        return refuse(QStringLiteral("слишком маленький кадр"));

    if (layout.size != m_sourceSize || layout.pixel != m_sourcePixel) {
        // Frames of the old format cannot go into the same clip as these.
        release();
        m_sourceSize = layout.size;
        m_sourcePixel = layout.pixel;
        Converter& c = *m_converter;
        c.swapUv = swapUv;
        c.source = source;
        if (ClipWriter::accepts(layout.pixel)) {
            c.copy = true;
            c.stored = layout.pixel;
        } else {
            c.copy = swapUv && ClipWriter::accepts(Pixel::Yuv420p);
            c.stored = Pixel::Yuv420p;
        }
        const qsizetype frameBytes = packed420(size, c.stored).bytes;
        m_limit = static_cast<int>(
            std::clamp<qsizetype>(MaxBytes / frameBytes, SpareFrames, m_spanFrames));
    }

    if (static_cast<int>(m_slots.size()) <= m_header)
        m_slots.resize(static_cast<std::size_t>(m_header) + 1);
    Frame& slot = m_slots[static_cast<std::size_t>(m_header)];
    const qsizetype before = static_cast<qsizetype>(slot.bytes.capacity());
    const bool stored = store(slot, data, layout, error);
    m_bytes += static_cast<qsizetype>(slot.bytes.capacity()) - before;
    m_peakBytes = std::max(m_peakBytes, m_bytes);
    if (!stored) {
        clear(); // the slot may have held the oldest frame, now overwritten
        return nullptr;
    }
    slot.ms = ms;
    m_header = (m_header + 1) % m_limit;
    m_count = std::min(m_count + 1, m_limit);
    return &slot;
}

bool PreRollBuffer::store(Frame& slot, const uchar* data, const FrameLayout& layout,
                          QString* error) {
    Converter& c = *m_converter;
    const QSize size = ClipWriter::encodedSize(layout.size);
    const int w = size.width();
    const int h = size.height();
    slot.layout = packed420(size, c.stored);
    slot.bytes.resize(static_cast<std::size_t>(slot.layout.bytes));
    uchar* out = slot.bytes.data();
    const FrameLayout& o = slot.layout;

    auto src = [&](std::size_t plane) { return data + layout.offset[plane]; };
    if (c.copy) {
        copyPlane(out, o.stride[0], src(0), layout.stride[0], w, h);
        if (o.planeCount == 2) {
            copyPlane(out + o.offset[1], o.stride[1], src(1), layout.stride[1], w, h / 2);
        } else {
            const std::size_t u = c.swapUv ? 2 : 1;
            const std::size_t v = c.swapUv ? 1 : 2;
            copyPlane(out + o.offset[1], o.stride[1], src(u), layout.stride[u], w / 2, h / 2);
            copyPlane(out + o.offset[2], o.stride[2], src(v), layout.stride[v], w / 2, h / 2);
        }
        return true;
    }

    // One conversion, the same bytes on every run: no threads, bit-exact
    // arithmetic, and no scaling (an odd last row or column is left out).
    c.sws = sws_getCachedContext(c.sws, w, h, c.source, w, h, AV_PIX_FMT_YUV420P,
                                 SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND, nullptr, nullptr,
                                 nullptr);
    if (!c.sws) {
        if (error)
            *error = QStringLiteral("кадр формата ") + FrameLayout::pixelName(layout.pixel) +
                     QStringLiteral(" не удалось преобразовать");
        return false;
    }
    const uchar* srcPlanes[4] = {nullptr, nullptr, nullptr, nullptr};
    int srcStrides[4] = {0, 0, 0, 0};
    for (int i = 0; i < layout.planeCount; ++i) {
        const auto plane = static_cast<std::size_t>(i);
        srcPlanes[i] = src(plane);
        srcStrides[i] = layout.stride[plane];
    }
    if (c.swapUv) {
        std::swap(srcPlanes[1], srcPlanes[2]);
        std::swap(srcStrides[1], srcStrides[2]);
    }
    uchar* dstPlanes[4] = {out, out + o.offset[1], out + o.offset[2], nullptr};
    const int dstStrides[4] = {o.stride[0], o.stride[1], o.stride[2], 0};
    if (sws_scale(c.sws, srcPlanes, srcStrides, 0, h, dstPlanes, dstStrides) != h) {
        if (error)
            *error = QStringLiteral("кадр формата ") + FrameLayout::pixelName(layout.pixel) +
                     QStringLiteral(" не удалось преобразовать");
        return false;
    }
    return true;
}

std::vector<const PreRollBuffer::Frame*> PreRollBuffer::since(std::int64_t fromMs) const {
    std::vector<const Frame*> frames;
    frames.reserve(static_cast<std::size_t>(m_count));
    for (int i = 0; i < m_count; ++i) {
        const int index = (m_header - m_count + i + m_limit) % m_limit;
        const Frame& f = m_slots[static_cast<std::size_t>(index)];
        if (f.ms >= fromMs)
            frames.push_back(&f);
    }
    return frames;
}

} // namespace vigilux::recording
