#include "detection/LumaScaler.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <optional>

namespace vigilux::detection {

namespace {

using Pixel = video::FrameLayout::Pixel;

// Where a pixel's luma (or its R, G, B) sits in the frame.
struct Access {
    qsizetype offset = 0; // first pixel of the first line
    int stride = 0;       // bytes per line
    int step = 1;         // bytes per pixel
    bool rgb = false;     // luma must be computed from R, G, B
    int r = 0, g = 0, b = 0;
};

std::optional<Access> accessFor(const video::FrameLayout& layout, qsizetype bytes) {
    Access a;
    a.offset = layout.offset[0];
    a.stride = layout.stride[0];
    switch (layout.pixel) {
    case Pixel::Gray8:
    case Pixel::Yuv420p:
    case Pixel::Yv12:
    case Pixel::Yuv422p:
    case Pixel::Nv12:
    case Pixel::Nv21:
        break; // the Y plane comes first
    case Pixel::Yuyv:
        a.step = 2;
        break;
    case Pixel::Uyvy:
        a.step = 2;
        a.offset += 1;
        break;
    case Pixel::Rgb24:
        a = {a.offset, a.stride, 3, true, 0, 1, 2};
        break;
    case Pixel::Bgr24:
        a = {a.offset, a.stride, 3, true, 2, 1, 0};
        break;
    case Pixel::Bgrx32:
        a = {a.offset, a.stride, 4, true, 2, 1, 0};
        break;
    case Pixel::Rgbx32:
        a = {a.offset, a.stride, 4, true, 0, 1, 2};
        break;
    case Pixel::Xrgb32:
        a = {a.offset, a.stride, 4, true, 1, 2, 3};
        break;
    case Pixel::Xbgr32:
        a = {a.offset, a.stride, 4, true, 3, 2, 1};
        break;
    case Pixel::Unknown:
        return std::nullopt;
    }
    const int w = layout.size.width();
    const int h = layout.size.height();
    if (w <= 0 || h <= 0 || a.offset < 0 || a.stride < w * a.step)
        return std::nullopt;
    const qsizetype last = a.offset + qsizetype(a.stride) * (h - 1) + qsizetype(w) * a.step;
    if (last > bytes)
        return std::nullopt;
    return a;
}

// BT.601 weights in 1/256: the same luma a camera's own YUV would carry.
inline std::uint32_t lumaOf(const std::uint8_t* p, const Access& a) {
    return (77u * p[a.r] + 150u * p[a.g] + 29u * p[a.b] + 128u) >> 8;
}

// Sums `factor` pixels of one line into each column of `sums`; Step 0 reads
// the step from the access.
template <bool Rgb, int Step>
void addLine(const std::uint8_t* line, const Access& a, int factor, int width,
             std::uint32_t* sums) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t s = 0;
        const int step = Step ? Step : a.step; // a constant step lets the compiler vectorise
        const std::uint8_t* p = line + qsizetype(x) * factor * step;
        for (int k = 0; k < factor; ++k, p += step) {
            if constexpr (Rgb)
                s += lumaOf(p, a);
            else
                s += p[0];
        }
        sums[x] += s;
    }
}

} // namespace

int LumaScaler::factorFor(int width) {
    return std::max(1, (width + kTargetWidth / 2) / kTargetWidth);
}

bool LumaScaler::scale(const std::uint8_t* data, qsizetype bytes, const video::FrameLayout& layout,
                       LumaImage& out) {
    const auto access = accessFor(layout, bytes);
    if (!data || !access)
        return false;
    const Access& a = *access;
    const int factor = factorFor(layout.size.width());
    const int w = layout.size.width() / factor;
    const int h = layout.size.height() / factor;
    if (w <= 0 || h <= 0)
        return false;
    out.width = w;
    out.height = h;
    out.factor = factor;
    out.pixels.resize(std::size_t(w) * h);
    m_rowSums.assign(std::size_t(w), 0);
    const std::uint32_t area = std::uint32_t(factor) * factor;
    for (int y = 0; y < h; ++y) {
        std::fill(m_rowSums.begin(), m_rowSums.end(), 0u);
        for (int k = 0; k < factor; ++k) {
            const std::uint8_t* line = data + a.offset + qsizetype(a.stride) * (y * factor + k);
            if (a.rgb)
                addLine<true, 0>(line, a, factor, w, m_rowSums.data());
            else if (a.step == 1)
                addLine<false, 1>(line, a, factor, w, m_rowSums.data());
            else
                addLine<false, 0>(line, a, factor, w, m_rowSums.data());
        }
        std::uint8_t* row = out.pixels.data() + std::size_t(y) * w;
        for (int x = 0; x < w; ++x)
            row[x] = std::uint8_t((m_rowSums[std::size_t(x)] + area / 2) / area);
    }
    return true;
}

cv::Mat LumaScaler::fullLuma(const std::uint8_t* data, qsizetype bytes,
                             const video::FrameLayout& layout, QRect region) {
    const auto access = accessFor(layout, bytes);
    region = region.intersected(QRect(QPoint(0, 0), layout.size));
    if (!data || !access || region.isEmpty())
        return {};
    const Access& a = *access;
    cv::Mat out(region.height(), region.width(), CV_8UC1);
    for (int y = 0; y < region.height(); ++y) {
        const std::uint8_t* p = data + a.offset + qsizetype(a.stride) * (region.top() + y) +
                                qsizetype(region.left()) * a.step;
        std::uint8_t* row = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < region.width(); ++x, p += a.step)
            row[x] = a.rgb ? std::uint8_t(lumaOf(p, a)) : p[0];
    }
    return out;
}

} // namespace vigilux::detection
