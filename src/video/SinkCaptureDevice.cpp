#include "video/SinkCaptureDevice.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vigilux::video {

SinkCaptureDevice::SinkCaptureDevice(QObject* parent)
    : CaptureDevice(parent) {
    // Auto connection: should a backend emit from its own thread, the frame
    // is queued to ours, where the callback must run.
    connect(&m_sink, &QVideoSink::videoFrameChanged, this, &SinkCaptureDevice::onFrame);
}

SinkCaptureDevice::~SinkCaptureDevice() = default;

FrameLayout::Pixel SinkCaptureDevice::pixelOf(QVideoFrameFormat::PixelFormat format) {
    using P = FrameLayout::Pixel;
    using F = QVideoFrameFormat;
    switch (format) {
    case F::Format_ARGB8888:
    case F::Format_ARGB8888_Premultiplied:
    case F::Format_XRGB8888:
        return P::Xrgb32;
    case F::Format_BGRA8888:
    case F::Format_BGRA8888_Premultiplied:
    case F::Format_BGRX8888:
        return P::Bgrx32;
    case F::Format_ABGR8888:
    case F::Format_XBGR8888:
        return P::Xbgr32;
    case F::Format_RGBA8888:
    case F::Format_RGBX8888:
        return P::Rgbx32;
    case F::Format_YUV420P:
        return P::Yuv420p;
    case F::Format_YV12:
        return P::Yv12;
    case F::Format_YUV422P:
        return P::Yuv422p;
    case F::Format_NV12:
        return P::Nv12;
    case F::Format_NV21:
        return P::Nv21;
    case F::Format_YUYV:
        return P::Yuyv;
    case F::Format_UYVY:
        return P::Uyvy;
    case F::Format_Y8:
        return P::Gray8;
    default:
        return P::Unknown;
    }
}

void SinkCaptureDevice::onFrame(const QVideoFrame& frame) {
    if (!frame.isValid())
        return;
    m_lastSize = frame.size();
    m_lastPixel = frame.pixelFormat();
    if (!takeFrameSlot())
        return; // the common case between preview intervals: nothing mapped, nothing copied

    QVideoFrame f(frame); // shallow; map() needs a non-const frame
    if (!f.map(QVideoFrame::ReadOnly))
        return;
    // A known layout is packed row by row: the detector compares the
    // picture, never the padding a backend adds at the end of each line.
    FrameLayout layout = FrameLayout::packed(pixelOf(f.pixelFormat()), f.size());
    const int planes = f.planeCount();
    bool packed = layout.isValid() && planes == layout.planeCount;
    if (packed) {
        std::array<const uchar*, 3> bits{};
        std::array<int, 3> lines{};
        for (int i = 0; i < planes; ++i) {
            const auto p = size_t(i);
            bits[p] = f.bits(i);
            lines[p] = f.bytesPerLine(i);
            // The mapping must hold every line the layout reads.
            if (f.mappedBytes(i) <
                qsizetype(lines[p]) * (layout.planeRows(i) - 1) + layout.stride[p])
                packed = false;
        }
        packed = packed && layout.pack(bits, lines, frameBuffer(layout.bytes));
    }
    if (!packed) {
        // A layout we cannot read: the mapped bytes as they are, so the
        // detector still sees the picture change.
        layout = FrameLayout();
        layout.size = f.size();
        layout.pixel = pixelOf(f.pixelFormat());
        layout.planeCount = std::min(planes, 3);
        qsizetype total = 0;
        for (int i = 0; i < planes; ++i)
            total += f.mappedBytes(i);
        uchar* buffer = frameBuffer(total);
        qsizetype at = 0;
        for (int i = 0; i < planes; ++i) {
            if (i < 3) {
                layout.offset[size_t(i)] = at;
                layout.stride[size_t(i)] = f.bytesPerLine(i);
            }
            const qsizetype n = f.mappedBytes(i);
            std::memcpy(buffer + at, f.bits(i), size_t(n));
            at += n;
        }
        layout.bytes = total;
    }
    f.unmap();

    if (layout.isValid())
        m_unconvertible = QVideoFrame();
    else
        m_unconvertible = frame;
    publishFrame(layout);
}

QImage SinkCaptureDevice::currentFrame(QImage::Format format) const {
    QImage img = CaptureDevice::currentFrame(format);
    if (img.isNull() && m_unconvertible.isValid()) {
        img = m_unconvertible.toImage();
        if (!img.isNull() && img.format() != format)
            img = img.convertToFormat(format);
    }
    return img;
}

void SinkCaptureDevice::forgetFrames() {
    clearFrame();
    m_unconvertible = QVideoFrame();
    m_lastSize = QSize();
    m_lastPixel = QVideoFrameFormat::Format_Invalid;
}

} // namespace vigilux::video
