#include "controls/InfoTipWindow.h"

#include "controls/SystemColor.h"

#include <QPainter>

#include <algorithm>

namespace vigilux::controls {

namespace {

QFont boldOf(QFont font) {
    font.setBold(true);
    return font;
}

QSize textSize(const QFont& font, const QString& text) {
    if (text.isEmpty())
        return {0, QFontMetrics(font).height()};
    return QFontMetrics(font).boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft, text).size();
}

Qt::Alignment horizontal(int alignment) {
    switch (alignment) {
    case 1:
        return Qt::AlignHCenter;
    case 2:
        return Qt::AlignRight;
    default:
        return Qt::AlignLeft;
    }
}

// Shadow strength at `depth` (1 outermost .. 4 innermost), faded in over the
// first eight pixels `along` the band.
int shadowAlpha(int depth, int along) {
    const int full = 15 * depth;
    return along < 8 ? full * (along + 1) / 9 : full;
}

} // namespace

InfoTipWindow::InfoTipWindow(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

InfoTipWindow::~InfoTipWindow() = default;

QSize InfoTipWindow::faceSize(const InfoTipContent& c) {
    const QSize message = textSize(c.font, c.message);
    int width = message.width();
    int height = message.height() + c.padding;
    if (c.showTitle) {
        const QSize title = textSize(boldOf(c.font), c.title);
        // A title wider than the message must not be cut off.
        width = std::max(width, title.width());
        height += title.height() + c.padding;
    }
    return {width + 2 * c.padding, height};
}

QSize InfoTipWindow::windowSize(const InfoTipContent& c) {
    const int extra = c.dropShadow ? ShadowDepth : 0;
    return faceSize(c) + QSize(extra, extra);
}

void InfoTipWindow::setContent(const InfoTipContent& content) {
    m_content = content;
    resize(windowSize(content));
    update();
}

void InfoTipWindow::paintEvent(QPaintEvent*) {
    const InfoTipContent& c = m_content;
    QPainter p(this);
    const QSize face = faceSize(c);
    const QRect faceRect(QPoint(0, 0), face);
    p.fillRect(faceRect, c.backColor);

    const QRect edge = faceRect.adjusted(0, 0, -1, -1);
    p.setBrush(Qt::NoBrush);
    if (c.borderStyle == 1) {
        p.setPen(c.borderColor);
        p.drawRect(edge);
    } else {
        p.setPen(systemColor(SysColor::BtnHighlight));
        p.drawLine(edge.topLeft(), edge.topRight());
        p.drawLine(edge.topLeft(), edge.bottomLeft());
        p.setPen(systemColor(SysColor::DarkShadow3D));
        p.drawLine(edge.bottomLeft(), edge.bottomRight());
        p.drawLine(edge.topRight(), edge.bottomRight());
        p.setPen(systemColor(SysColor::BtnShadow));
        p.drawLine(edge.left() + 1, edge.bottom() - 1, edge.right() - 1, edge.bottom() - 1);
        p.drawLine(edge.right() - 1, edge.top() + 1, edge.right() - 1, edge.bottom() - 1);
    }

    QRect area = faceRect.adjusted(c.padding, c.padding / 2, -c.padding, -c.padding / 2);
    if (c.showTitle) {
        const QFont bold = boldOf(c.font);
        const int titleHeight = textSize(bold, c.title).height();
        p.setFont(bold);
        p.setPen(c.titleColor);
        p.drawText(QRect(area.left(), area.top(), area.width(), titleHeight),
                   horizontal(c.titleAlignment) | Qt::AlignTop, c.title);
        const int lineY = area.top() + titleHeight + c.padding / 2;
        p.setPen(c.borderStyle == 1 ? c.borderColor : systemColor(SysColor::BtnShadow));
        p.drawLine(1, lineY, face.width() - 2, lineY);
        area.setTop(area.top() + titleHeight + c.padding);
    }
    p.setFont(c.font);
    p.setPen(c.foreColor);
    p.drawText(area, horizontal(c.textAlignment) | Qt::AlignTop, c.message);

    if (!c.dropShadow)
        return;
    // Right band, then bottom band (which also takes the corner square).
    for (int d = 0; d < ShadowDepth; ++d) {
        const int depth = ShadowDepth - d; // 4 next to the face, 1 outermost
        for (int y = ShadowDepth; y < face.height(); ++y)
            p.fillRect(face.width() + d, y, 1, 1,
                       QColor(0, 0, 0, shadowAlpha(depth, y - ShadowDepth)));
        for (int x = ShadowDepth; x < face.width() + ShadowDepth; ++x) {
            const int cornerDepth =
                x >= face.width() ? std::min(depth, ShadowDepth - (x - face.width())) : depth;
            p.fillRect(x, face.height() + d, 1, 1,
                       QColor(0, 0, 0, shadowAlpha(cornerDepth, x - ShadowDepth)));
        }
    }
}

} // namespace vigilux::controls
