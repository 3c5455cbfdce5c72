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
    // The last byte read: the frame must hold it, and all its layout claims.
    const int lastChannel = a.rgb ? std::max({a.r, a.g, a.b}) : 0;
    const qsizetype last =
        a.offset + qsizetype(a.stride) * (h - 1) + qsizetype(w - 1) * a.step + lastChannel;
    if (last >= bytes || bytes < layout.bytes)
        return std::nullopt;
    return a;
}

// BT.601 weights in 1/256: the same luma a camera's own YUV would carry.
inline std::uint32_t lumaOf(const std::uint8_t* p, const Access& a) {
    return (77u * p[a.r] + 150u * p[a.g] + 29u * p[a.b] + 128u) >> 8;
}

// Sums `factor` pixels of one line into each column of `sums`.
template <bool Rgb>
void addLine(const std::uint8_t* line, const Access& a, int factor, int width,
             std::uint32_t* sums) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t s = 0;
        const int step = a.step;
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

// Each box of `Factor` columns of summed lines, averaged over 2^Shift samples.
template <int Factor, int Shift>
void boxes(const std::uint16_t* sums, int width, std::uint8_t* row) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t sum = 0;
        for (int k = 0; k < Factor; ++k)
            sum += sums[x * Factor + k];
        row[x] = std::uint8_t((sum + (1u << (Shift - 1))) >> Shift);
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
    const std::uint32_t area = std::uint32_t(factor) * factor;
    // Division by the box area as a multiplication: exact for every sum of
    // `area` bytes (the error of the reciprocal stays below one unit).
    const std::uint64_t reciprocal = ((std::uint64_t(1) << 32) + area - 1) / area;
    const auto average = [&](std::uint32_t sum) {
        return std::uint8_t((std::uint64_t(sum + area / 2) * reciprocal) >> 32);
    };
    if (!a.rgb && a.step == 1) {
        // The Y plane: add whole lines first (the compiler vectorises it),
        // then the boxes along each summed line. Boxes four or more lines
        // high take every other line: reading the frame is most of the
        // cost, and the smoothing below makes up for the noise.
        const int lineStep = factor >= 4 ? 2 : 1;
        const std::uint32_t used = std::uint32_t(factor / lineStep) * factor;
        const std::uint64_t usedReciprocal = ((std::uint64_t(1) << 32) + used - 1) / used;
        m_lineSums.resize(std::size_t(w) * factor);
        for (int y = 0; y < h; ++y) {
            std::fill(m_lineSums.begin(), m_lineSums.end(), std::uint16_t(0));
            for (int k = 0; k < factor; k += lineStep) {
                const std::uint8_t* line = data + a.offset + qsizetype(a.stride) * (y * factor + k);
                for (std::size_t i = 0; i < m_lineSums.size(); ++i)
                    m_lineSums[i] = std::uint16_t(m_lineSums[i] + line[i]);
            }
            std::uint8_t* row = out.pixels.data() + std::size_t(y) * w;
            const std::uint16_t* sums = m_lineSums.data();
            // 640 and 1280 wide, the usual pictures: 4 and 8 samples a box,
            // a shift (the same result) that runs in vector lanes.
            if (factor == 2 && used == 4) {
                boxes<2, 2>(sums, w, row);
                continue;
            }
            if (factor == 4 && used == 8) {
                boxes<4, 3>(sums, w, row);
                continue;
            }
            for (int x = 0; x < w; ++x, sums += factor) {
                std::uint32_t sum = 0;
                for (int k = 0; k < factor; ++k)
                    sum += sums[k];
                row[x] = std::uint8_t((std::uint64_t(sum + used / 2) * usedReciprocal) >> 32);
            }
        }
        smooth(out);
        return true;
    }
    m_rowSums.assign(std::size_t(w), 0);
    for (int y = 0; y < h; ++y) {
        std::fill(m_rowSums.begin(), m_rowSums.end(), 0u);
        for (int k = 0; k < factor; ++k) {
            const std::uint8_t* line = data + a.offset + qsizetype(a.stride) * (y * factor + k);
            if (a.rgb)
                addLine<true>(line, a, factor, w, m_rowSums.data());
            else
                addLine<false>(line, a, factor, w, m_rowSums.data());
        }
        std::uint8_t* row = out.pixels.data() + std::size_t(y) * w;
        for (int x = 0; x < w; ++x)
            row[x] = average(m_rowSums[std::size_t(x)]);
    }
    smooth(out);
    return true;
}

void LumaScaler::smooth(LumaImage& image) {
    // 3 x 3 box, edges repeated: sensor noise of a dark room drops to a third
    // while a person, dozens of pixels across even here, keeps its contrast.
    const int w = image.width;
    const int h = image.height;
    if (w < 2 || h < 2)
        return;
    m_lineSums.resize(std::size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = image.pixels.data() + std::size_t(y) * w;
        std::uint16_t* sums = m_lineSums.data() + std::size_t(y) * w;
        sums[0] = std::uint16_t(2 * row[0] + row[1]);
        for (int x = 1; x < w - 1; ++x)
            sums[x] = std::uint16_t(row[x - 1] + row[x] + row[x + 1]);
        sums[w - 1] = std::uint16_t(row[w - 2] + 2 * row[w - 1]);
    }
    for (int y = 0; y < h; ++y) {
        const std::uint16_t* above = m_lineSums.data() + std::size_t(std::max(0, y - 1)) * w;
        const std::uint16_t* here = m_lineSums.data() + std::size_t(y) * w;
        const std::uint16_t* below = m_lineSums.data() + std::size_t(std::min(h - 1, y + 1)) * w;
        std::uint8_t* row = image.pixels.data() + std::size_t(y) * w;
        // (sum + 4) / 9 as a multiplication, exact for sums up to 9 x 255.
        for (int x = 0; x < w; ++x)
            row[x] = std::uint8_t(((above[x] + here[x] + below[x] + 4u) * 7282u) >> 16);
    }
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
