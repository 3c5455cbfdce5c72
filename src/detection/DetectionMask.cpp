#include "detection/DetectionMask.h"

#include <QPainter>

#include <algorithm>

namespace vigilux::detection::DetectionMask {

namespace {
constexpr int kMaskWidth = 320;
constexpr int kIgnoreBelow = 128; // grey level: darker ignores
} // namespace

std::vector<std::uint8_t> scaled(const QImage& mask, int width, int height) {
    std::vector<std::uint8_t> out(std::size_t(std::max(0, width)) * std::max(0, height), 255);
    if (mask.isNull() || width <= 0 || height <= 0)
        return out;
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        const uchar* line = grey.constScanLine(int(qint64(y) * grey.height() / height));
        for (int x = 0; x < width; ++x) {
            if (line[qint64(x) * grey.width() / width] < kIgnoreBelow)
                out[std::size_t(y) * width + x] = 0;
        }
    }
    return out;
}

namespace {

QImage editable(const QImage& mask, const QSize& frameSize) {
    QImage out = mask.convertToFormat(QImage::Format_Grayscale8);
    if (out.isNull()) {
        const int w = std::min(kMaskWidth, std::max(1, frameSize.width()));
        const int h =
            std::max(1, int(qint64(frameSize.height()) * w / std::max(1, frameSize.width())));
        out = QImage(w, h, QImage::Format_Grayscale8);
        out.fill(255);
    }
    return out;
}

} // namespace

QImage withStroke(const QImage& mask, const QSize& frameSize, const QPoint& from, const QPoint& to,
                  int radius, bool ignore) {
    QImage out = editable(mask, frameSize);
    if (frameSize.isEmpty())
        return out;
    const double sx = double(out.width()) / frameSize.width();
    const double sy = double(out.height()) / frameSize.height();
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(ignore ? Qt::black : Qt::white);
    pen.setWidthF(std::max(1.0, 2.0 * radius * std::min(sx, sy)));
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QPointF a(from.x() * sx, from.y() * sy);
    const QPointF b(to.x() * sx, to.y() * sy);
    if (a == b)
        painter.drawPoint(a);
    else
        painter.drawLine(a, b);
    return out;
}

QImage withIgnoredArea(const QImage& mask, const QSize& frameSize, const QRect& box) {
    QImage out = editable(mask, frameSize);
    if (frameSize.isEmpty())
        return out;
    // Outward rounding: the whole false alarm is covered.
    const qint64 fw = frameSize.width(), fh = frameSize.height();
    const int left = int(qint64(box.left()) * out.width() / fw);
    const int top = int(qint64(box.top()) * out.height() / fh);
    const int right = int((qint64(box.right() + 1) * out.width() + fw - 1) / fw);
    const int bottom = int((qint64(box.bottom() + 1) * out.height() + fh - 1) / fh);
    for (int y = std::max(0, top); y < std::min(out.height(), bottom); ++y) {
        uchar* line = out.scanLine(y);
        for (int x = std::max(0, left); x < std::min(out.width(), right); ++x)
            line[x] = 0;
    }
    return out;
}

bool ignoresNothing(const QImage& mask) {
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        if (std::any_of(line, line + grey.width(), [](uchar v) { return v < kIgnoreBelow; }))
            return false;
    }
    return true;
}

QImage shade(const QImage& mask, QRgb colour) {
    if (mask.isNull())
        return {};
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
    QImage out(grey.size(), QImage::Format_ARGB32_Premultiplied);
    const QRgb ignored = qPremultiply(colour);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* in = grey.constScanLine(y);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < grey.width(); ++x)
            line[x] = in[x] < kIgnoreBelow ? ignored : 0;
    }
    return out;
}

} // namespace vigilux::detection::DetectionMask
