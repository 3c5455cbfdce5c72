#include "recording/Imprinter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace vigilux::recording {

int Imprinter::pixelSize(int pictureHeight) {
    // Legible on large frames too.
    return std::max(12, pictureHeight / 40);
}

void Imprinter::setSize(int size) {
    if (size == m_size)
        return;
    m_size = size;
    m_font = QFont();
    m_font.setPixelSize(size);
    const QFontMetrics metrics(m_font);
    m_ascent = metrics.ascent();
    m_height = metrics.height();
    m_pad = std::max(2, m_height / 3); // room for ink outside the advance
    m_glyphs.clear();
}

const Imprinter::Glyph& Imprinter::glyph(QChar c) {
    const auto found = m_glyphs.constFind(c);
    if (found != m_glyphs.cend())
        return *found;
    Glyph g;
    const QString text(c);
    // Fractional, as a text layout places the glyphs.
    g.advance = QFontMetricsF(m_font).horizontalAdvance(text);
    QImage ink(static_cast<int>(std::ceil(g.advance)) + 2 * m_pad, m_height + 2 * m_pad,
               QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    {
        QPainter painter(&ink);
        painter.setFont(m_font);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(m_pad, m_pad + m_ascent), text);
    }
    g.mask = ink.convertToFormat(QImage::Format_Alpha8);
    return *m_glyphs.insert(c, g);
}

void Imprinter::blend(QImage& picture, const Glyph& g, int x, int y, uchar value) const {
    // (x, y): where the mask's top-left corner lands.
    const int x0 = std::max(0, -x);
    const int y0 = std::max(0, -y);
    const int x1 = std::min(g.mask.width(), picture.width() - x);
    const int y1 = std::min(g.mask.height(), picture.height() - y);
    for (int my = y0; my < y1; ++my) {
        const uchar* cover = g.mask.constScanLine(my);
        uchar* line = picture.scanLine(y + my) + 3 * x;
        for (int mx = x0; mx < x1; ++mx) {
            const int a = cover[mx];
            if (a == 0)
                continue;
            uchar* p = line + 3 * mx;
            for (int k = 0; k < 3; ++k)
                p[k] = static_cast<uchar>((value * a + p[k] * (255 - a) + 127) / 255);
        }
    }
}

void Imprinter::draw(QImage& picture, const QString& text) {
    if (picture.format() != QImage::Format_RGB888 || picture.isNull())
        return;
    setSize(pixelSize(picture.height()));
    // All of the shadow first, then all of the text over it, as two painter
    // passes would.
    for (const auto& [dx, dy, value] : {std::tuple{2, 2, uchar(0)}, std::tuple{3, 1, uchar(255)}}) {
        qreal pen = 0;
        for (const QChar c : text) {
            const Glyph& g = glyph(c);
            blend(picture, g, dx + qRound(pen) - m_pad, dy - m_pad, value);
            pen += g.advance;
        }
    }
}

} // namespace vigilux::recording
