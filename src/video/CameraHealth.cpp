#include "video/CameraHealth.h"

#include <cmath>
#include <cstdlib>

namespace vigilux::video {

namespace {

using Pixel = video::FrameLayout::Pixel;

// Where the luma (or the colours to make it from) of pixel x lies within a
// line: bytes per pixel and the offsets of R, G, B, or of Y (r < 0).
struct Sampling {
    int step = 1;
    int r = -1, g = -1, b = -1, y = 0;
};

bool samplingOf(Pixel pixel, Sampling& s) {
    switch (pixel) {
    case Pixel::Gray8:
    case Pixel::Yuv420p:
    case Pixel::Yv12:
    case Pixel::Yuv422p:
    case Pixel::Nv12:
    case Pixel::Nv21:
        s = {1, -1, -1, -1, 0};
        return true;
    case Pixel::Yuyv:
        s = {2, -1, -1, -1, 0};
        return true;
    case Pixel::Uyvy:
        s = {2, -1, -1, -1, 1};
        return true;
    case Pixel::Rgb24:
        s = {3, 0, 1, 2, 0};
        return true;
    case Pixel::Bgr24:
        s = {3, 2, 1, 0, 0};
        return true;
    case Pixel::Bgrx32:
        s = {4, 2, 1, 0, 0};
        return true;
    case Pixel::Rgbx32:
        s = {4, 0, 1, 2, 0};
        return true;
    case Pixel::Xrgb32:
        s = {4, 1, 2, 3, 0};
        return true;
    case Pixel::Xbgr32:
        s = {4, 3, 2, 1, 0};
        return true;
    case Pixel::Unknown:
        break;
    }
    return false;
}

} // namespace

FrameSignature FrameSignature::of(const video::FrameLayout& layout, const std::uint8_t* data) {
    FrameSignature sig;
    Sampling s;
    const int w = layout.size.width();
    const int h = layout.size.height();
    if (!data || w <= 0 || h <= 0 || layout.planeCount < 1 || !samplingOf(layout.pixel, s))
        return sig;
    const qsizetype stride = layout.stride[0];
    const qsizetype last = layout.offset[0] + (h - 1) * stride + qsizetype{w} * s.step;
    if (stride < qsizetype{w} * s.step || last > layout.bytes)
        return sig;

    double sum = 0;
    double sumSquares = 0;
    for (int row = 0; row < Rows; ++row) {
        // The centre of each grid cell.
        const int y = (2 * row + 1) * h / (2 * Rows);
        const std::uint8_t* line = data + layout.offset[0] + y * stride;
        for (int col = 0; col < Columns; ++col) {
            const int x = (2 * col + 1) * w / (2 * Columns);
            const std::uint8_t* p = line + qsizetype{x} * s.step;
            const int luma = s.r < 0 ? p[s.y] : (77 * p[s.r] + 150 * p[s.g] + 29 * p[s.b]) >> 8;
            sig.luma[static_cast<std::size_t>(row * Columns + col)] =
                static_cast<std::uint8_t>(luma);
            sum += luma;
            sumSquares += double(luma) * luma;
        }
    }
    const double n = Columns * Rows;
    const double mean = sum / n;
    sig.spread = std::sqrt(std::max(0.0, sumSquares / n - mean * mean));
    sig.valid = true;
    return sig;
}

double FrameSignature::distance(const FrameSignature& other) const {
    long total = 0;
    for (std::size_t i = 0; i < luma.size(); ++i)
        total += std::abs(int(luma[i]) - int(other.luma[i]));
    return double(total) / double(luma.size());
}

CameraHealth::CameraHealth(const platform::Clock& clock)
    : CameraHealth(clock, Limits{}) {}

CameraHealth::CameraHealth(const platform::Clock& clock, Limits limits)
    : m_clock(clock)
    , m_limits(limits) {
    restart();
}

void CameraHealth::restart() {
    m_lastFrameMs = m_clock.steadyMs();
    m_reference = {};
    m_sameSinceMs = m_lastFrameMs;
    m_uniformSinceMs = -1;
    m_lost = m_frozen = m_covered = false;
}

std::vector<CameraHealth::Alert> CameraHealth::frame(const FrameSignature& signature) {
    std::vector<Alert> out;
    const double now = m_clock.steadyMs();
    const bool wasFailing = failing();
    m_lastFrameMs = now;
    m_lost = false;
    if (!signature.valid)
        return out; // a frame we cannot read still proves the camera is alive

    if (signature.spread < m_limits.uniformSpread) {
        // A uniform picture is also the same picture every time; it is
        // reported as covered only, never as frozen too.
        m_frozen = false;
        m_reference = {};
        if (m_uniformSinceMs < 0)
            m_uniformSinceMs = now;
        if (!m_covered && now - m_uniformSinceMs >= m_limits.coveredMs) {
            m_covered = true;
            out.push_back(Alert::Covered);
        }
    } else {
        m_uniformSinceMs = -1;
        m_covered = false;
        // Compared with the first frame of the run, not the previous one, so
        // a slow drift cannot pass for a still picture step by step.
        if (m_reference.valid && signature.distance(m_reference) <= m_limits.sameDistance) {
            if (!m_frozen && now - m_sameSinceMs >= m_limits.frozenMs) {
                m_frozen = true;
                out.push_back(Alert::Frozen);
            }
        } else {
            m_reference = signature;
            m_sameSinceMs = now;
            m_frozen = false;
        }
    }
    clearIfHealthy(wasFailing, out);
    return out;
}

std::vector<CameraHealth::Alert> CameraHealth::tick() {
    std::vector<Alert> out;
    if (!m_lost && m_clock.steadyMs() - m_lastFrameMs >= m_limits.lostMs) {
        m_lost = true;
        out.push_back(Alert::Lost);
    }
    return out;
}

void CameraHealth::clearIfHealthy(bool wasFailing, std::vector<Alert>& out) {
    if (wasFailing && !failing())
        out.push_back(Alert::Restored);
}

QString CameraHealth::text(Alert alert) {
    switch (alert) {
    case Alert::Lost:
        return QStringLiteral("Нет сигнала от камеры");
    case Alert::Frozen:
        return QStringLiteral("Изображение с камеры застыло");
    case Alert::Covered:
        return QStringLiteral("Камера закрыта или снимает в темноте");
    case Alert::Restored:
        return QStringLiteral("Изображение с камеры восстановилось");
    }
    return {};
}

} // namespace vigilux::video
