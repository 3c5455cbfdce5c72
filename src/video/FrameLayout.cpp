#include "video/FrameLayout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vigilux::video {

namespace {

uchar clamp255(int v) {
    return static_cast<uchar>(std::clamp(v, 0, 255));
}

// BT.601 limited range, integer arithmetic (8 fractional bits). Inlined:
// it runs for every pixel a preview or a saved picture shows.
[[gnu::always_inline]] inline void yuvToRgb(int y, int u, int v, uchar* out) {
    const int c = 298 * (y - 16);
    const int d = u - 128;
    const int e = v - 128;
    out[0] = clamp255((c + 409 * e + 128) >> 8);
    out[1] = clamp255((c - 100 * d - 208 * e + 128) >> 8);
    out[2] = clamp255((c + 516 * d + 128) >> 8);
}

// One row of gathered Y, U and V samples to RGB32, the preview's format.
// The hottest loop of a shown window: built for AVX2 too where the
// processor has it (chosen when the program loads).
[[gnu::target_clones("avx2", "default")]] void yuvRowToRgb32(const uchar* ys, const uchar* us,
                                                             const uchar* vs, int n, QRgb* out) {
    for (int x = 0; x < n; ++x) {
        uchar rgb[3];
        yuvToRgb(ys[x], us[x], vs[x], rgb);
        out[x] = qRgb(rgb[0], rgb[1], rgb[2]);
    }
}

struct PackedRgb {
    int bytesPerPixel;
    int r, g, b;
};

bool packedRgb(FrameLayout::Pixel p, PackedRgb& out) {
    using P = FrameLayout::Pixel;
    switch (p) {
    case P::Rgb24:
        out = {3, 0, 1, 2};
        return true;
    case P::Bgr24:
        out = {3, 2, 1, 0};
        return true;
    case P::Bgrx32:
        out = {4, 2, 1, 0};
        return true;
    case P::Rgbx32:
        out = {4, 0, 1, 2};
        return true;
    case P::Xrgb32:
        out = {4, 1, 2, 3};
        return true;
    case P::Xbgr32:
        out = {4, 3, 2, 1};
        return true;
    default:
        return false;
    }
}

// Bytes the planes of a frame need at least, from its strides and height.
qsizetype minimumBytes(const FrameLayout& f) {
    using P = FrameLayout::Pixel;
    const int h = f.size.height();
    const int ch = (h + 1) / 2;
    qsizetype end = 0;
    auto plane = [&](int i, int rows) {
        end = std::max(end, f.offset[static_cast<size_t>(i)] +
                                qsizetype(f.stride[static_cast<size_t>(i)]) * rows);
    };
    switch (f.pixel) {
    case P::Yuv420p:
    case P::Yv12:
        plane(0, h);
        plane(1, ch);
        plane(2, ch);
        break;
    case P::Yuv422p:
        plane(0, h);
        plane(1, h);
        plane(2, h);
        break;
    case P::Nv12:
    case P::Nv21:
        plane(0, h);
        plane(1, ch);
        break;
    default:
        plane(0, h);
        break;
    }
    return end;
}

int planesOf(FrameLayout::Pixel p) {
    using P = FrameLayout::Pixel;
    switch (p) {
    case P::Yuv420p:
    case P::Yv12:
    case P::Yuv422p:
        return 3;
    case P::Nv12:
    case P::Nv21:
        return 2;
    case P::Unknown:
        return 0;
    default:
        return 1;
    }
}

int minimumStride(FrameLayout::Pixel p, int width) {
    using P = FrameLayout::Pixel;
    switch (p) {
    case P::Rgb24:
    case P::Bgr24:
        return width * 3;
    case P::Bgrx32:
    case P::Rgbx32:
    case P::Xrgb32:
    case P::Xbgr32:
        return width * 4;
    case P::Yuyv:
    case P::Uyvy:
        return ((width + 1) / 2) * 4;
    default:
        return width;
    }
}

} // namespace

FrameLayout FrameLayout::rgb24(QSize size) {
    FrameLayout f;
    f.size = size;
    f.pixel = Pixel::Rgb24;
    f.planeCount = 1;
    f.stride[0] = size.width() * 3;
    f.bytes = qsizetype(f.stride[0]) * size.height();
    return f;
}

FrameLayout FrameLayout::packed(Pixel pixel, QSize size) {
    FrameLayout f;
    f.size = size;
    f.pixel = pixel;
    f.planeCount = planesOf(pixel);
    if (size.isEmpty() || f.planeCount == 0)
        return f;
    const int w = size.width();
    const int cw = (w + 1) / 2;
    f.stride[0] = minimumStride(pixel, w);
    switch (pixel) {
    case Pixel::Yuv420p:
    case Pixel::Yv12:
    case Pixel::Yuv422p:
        f.stride[1] = f.stride[2] = cw;
        break;
    case Pixel::Nv12:
    case Pixel::Nv21:
        f.stride[1] = cw * 2;
        break;
    default:
        break;
    }
    qsizetype at = 0;
    for (int i = 0; i < f.planeCount; ++i) {
        f.offset[static_cast<size_t>(i)] = at;
        at += qsizetype(f.stride[static_cast<size_t>(i)]) * f.planeRows(i);
    }
    f.bytes = at;
    return f;
}

int FrameLayout::planeRows(int i) const {
    const int h = size.height();
    if (i == 0 || pixel == Pixel::Yuv422p)
        return h;
    return (h + 1) / 2;
}

bool FrameLayout::pack(const std::array<const uchar*, 3>& planes,
                       const std::array<int, 3>& lineBytes, uchar* out) const {
    if (!out || !isValid())
        return false;
    for (int i = 0; i < planeCount; ++i) {
        const auto p = static_cast<size_t>(i);
        // A negative line length is a picture stored bottom-up; it packs the same.
        if (!planes[p] || std::abs(lineBytes[p]) < stride[p])
            return false;
    }
    for (int i = 0; i < planeCount; ++i) {
        const auto p = static_cast<size_t>(i);
        const uchar* src = planes[p];
        uchar* dst = out + offset[p];
        const auto row = static_cast<size_t>(stride[p]);
        const int rows = planeRows(i);
        if (lineBytes[p] == stride[p]) {
            std::memcpy(dst, src, row * static_cast<size_t>(rows));
            continue;
        }
        for (int y = 0; y < rows; ++y, src += lineBytes[p], dst += row)
            std::memcpy(dst, src, row);
    }
    return true;
}

bool FrameLayout::isValid() const {
    if (pixel == Pixel::Unknown || size.isEmpty() || planeCount != planesOf(pixel))
        return false;
    if (stride[0] < minimumStride(pixel, size.width()))
        return false;
    for (int i = 1; i < planeCount; ++i)
        if (stride[static_cast<size_t>(i)] <= 0)
            return false;
    return minimumBytes(*this) <= bytes;
}

namespace {

// Converts the frame, sampled to the size of `img` (nearest pixel; the
// frame's own size samples every pixel), handing each picture pixel to
// put(line, x, rgb). False for a layout it cannot read.
template <typename Put>
bool convertSampled(const FrameLayout& f, const uchar* data, QImage& img, Put put) {
    using Pixel = FrameLayout::Pixel;
    const int w = f.size.width();
    const int h = f.size.height();
    const int tw = img.width();
    const int th = img.height();
    // Source column of every picture column.
    std::vector<int> xs(static_cast<std::size_t>(tw));
    for (int x = 0; x < tw; ++x)
        xs[static_cast<std::size_t>(x)] = int(qint64(x) * w / tw);

    PackedRgb rgb{};
    const bool packed = packedRgb(f.pixel, rgb);
    uchar px[3];
    // YUV rows are gathered into plain arrays first, so that the conversion
    // (the dearest part, done for every pixel painted) runs over contiguous
    // samples and vectorises.
    std::vector<uchar> samples(3 * static_cast<std::size_t>(tw));
    uchar* ys = samples.data();
    uchar* us = ys + tw;
    uchar* vs = us + tw;
    const bool rgb32 = img.format() == QImage::Format_RGB32;
    const auto convertRow = [&](uchar* line) {
        if (rgb32) {
            yuvRowToRgb32(ys, us, vs, tw, reinterpret_cast<QRgb*>(line));
            return;
        }
        for (int x = 0; x < tw; ++x) {
            uchar out[3];
            yuvToRgb(ys[x], us[x], vs[x], out);
            put(line, x, out);
        }
    };
    int chromaRow = -1; // the chroma row whose samples us and vs hold
    for (int ty = 0; ty < th; ++ty) {
        const int y = int(qint64(ty) * h / th);
        uchar* line = img.scanLine(ty);
        const uchar* row = data + f.offset[0] + qsizetype(f.stride[0]) * y;
        if (packed) {
            for (int x = 0; x < tw; ++x) {
                const uchar* q = row + qsizetype(xs[std::size_t(x)]) * rgb.bytesPerPixel;
                px[0] = q[rgb.r];
                px[1] = q[rgb.g];
                px[2] = q[rgb.b];
                put(line, x, px);
            }
            continue;
        }
        switch (f.pixel) {
        case Pixel::Gray8:
            for (int x = 0; x < tw; ++x) {
                px[0] = px[1] = px[2] = row[xs[std::size_t(x)]];
                put(line, x, px);
            }
            break;
        case Pixel::Yuv420p:
        case Pixel::Yv12:
        case Pixel::Yuv422p: {
            const int cy = f.pixel == Pixel::Yuv422p ? y : y / 2;
            const size_t ui = f.pixel == Pixel::Yv12 ? 2 : 1;
            const size_t vi = f.pixel == Pixel::Yv12 ? 1 : 2;
            const uchar* u = data + f.offset[ui] + qsizetype(f.stride[ui]) * cy;
            const uchar* v = data + f.offset[vi] + qsizetype(f.stride[vi]) * cy;
            for (std::size_t x = 0; x < std::size_t(tw); ++x)
                ys[x] = row[xs[x]];
            if (cy != chromaRow) // rows sharing chroma share its samples
                for (std::size_t x = 0; x < std::size_t(tw); ++x) {
                    us[x] = u[xs[x] / 2];
                    vs[x] = v[xs[x] / 2];
                }
            chromaRow = cy;
            convertRow(line);
            break;
        }
        case Pixel::Nv12:
        case Pixel::Nv21: {
            const uchar* uv = data + f.offset[1] + qsizetype(f.stride[1]) * (y / 2);
            const int uo = f.pixel == Pixel::Nv12 ? 0 : 1;
            for (std::size_t x = 0; x < std::size_t(tw); ++x)
                ys[x] = row[xs[x]];
            if (y / 2 != chromaRow)
                for (std::size_t x = 0; x < std::size_t(tw); ++x) {
                    const int pair = (xs[x] / 2) * 2;
                    us[x] = uv[pair + uo];
                    vs[x] = uv[pair + 1 - uo];
                }
            chromaRow = y / 2;
            convertRow(line);
            break;
        }
        case Pixel::Yuyv:
        case Pixel::Uyvy: {
            const bool yFirst = f.pixel == Pixel::Yuyv;
            for (int x = 0; x < tw; ++x) {
                const int sx = xs[std::size_t(x)];
                const uchar* q = row + (sx / 2) * 4;
                const int yv = yFirst ? q[(sx & 1) * 2] : q[1 + (sx & 1) * 2];
                yuvToRgb(yv, yFirst ? q[1] : q[0], yFirst ? q[3] : q[2], px);
                put(line, x, px);
            }
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

} // namespace

QImage FrameLayout::toImage(const uchar* data) const {
    if (!data || !isValid())
        return {};
    QImage img(size, QImage::Format_RGB888);
    if (img.isNull())
        return {};
    if (pixel == Pixel::Rgb24) {
        for (int y = 0; y < size.height(); ++y)
            std::memcpy(img.scanLine(y), data + offset[0] + qsizetype(stride[0]) * y,
                        size_t(size.width()) * 3);
        return img;
    }
    const bool read = convertSampled(*this, data, img, [](uchar* line, int x, const uchar* rgb) {
        std::memcpy(line + 3 * x, rgb, 3);
    });
    return read ? img : QImage();
}

QImage FrameLayout::toPreview(const uchar* data, QSize target) const {
    QImage img;
    return toPreview(data, target, img) ? img : QImage();
}

bool FrameLayout::toPreview(const uchar* data, QSize target, QImage& image) const {
    if (!data || !isValid())
        return false;
    const QSize wanted(std::clamp(target.width(), 1, size.width()),
                       std::clamp(target.height(), 1, size.height()));
    if (image.size() != wanted || image.format() != QImage::Format_RGB32)
        image = QImage(wanted, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    return convertSampled(*this, data, image, [](uchar* line, int x, const uchar* rgb) {
        reinterpret_cast<QRgb*>(line)[x] = qRgb(rgb[0], rgb[1], rgb[2]);
    });
}

QString FrameLayout::pixelName(Pixel pixel) {
    switch (pixel) {
    case Pixel::Rgb24:
        return QStringLiteral("RGB24");
    case Pixel::Bgr24:
        return QStringLiteral("BGR24");
    case Pixel::Bgrx32:
        return QStringLiteral("BGRX32");
    case Pixel::Rgbx32:
        return QStringLiteral("RGBX32");
    case Pixel::Xrgb32:
        return QStringLiteral("XRGB32");
    case Pixel::Xbgr32:
        return QStringLiteral("XBGR32");
    case Pixel::Gray8:
        return QStringLiteral("Y8");
    case Pixel::Yuv420p:
        return QStringLiteral("I420");
    case Pixel::Yv12:
        return QStringLiteral("YV12");
    case Pixel::Yuv422p:
        return QStringLiteral("I422");
    case Pixel::Nv12:
        return QStringLiteral("NV12");
    case Pixel::Nv21:
        return QStringLiteral("NV21");
    case Pixel::Yuyv:
        return QStringLiteral("YUY2");
    case Pixel::Uyvy:
        return QStringLiteral("UYVY");
    case Pixel::Unknown:
        break;
    }
    return QStringLiteral("?");
}

} // namespace vigilux::video
