#include "ui/HeaderPiece.h"

#include "resources/Pictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace vigilux::ui {

HeaderPiece::HeaderPiece(int index, QWidget* parent)
    : QWidget(parent)
    , m_index(index) {}

void HeaderPiece::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Drawn once per size: the header is repainted whenever the recording
    // dot over it blinks.
    const qreal ratio = devicePixelRatioF();
    if (m_band.size() != size() * ratio || m_band.devicePixelRatio() != ratio) {
        m_band = resources::Pictures::image(QStringLiteral("header-band"), size(), ratio);
        if (m_index == 0)
            m_mark =
                resources::Pictures::image(QStringLiteral("header-mark"), QSize(28, Height), ratio);
    }
    p.drawImage(QPointF(0, 0), m_band);
    if (m_index == 1) {
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(236, 240, 246));
        p.drawText(rect().adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("Vigilux"));
    } else if (m_index == 0) {
        p.drawImage(QPointF(0, (height() - Height) / 2.0), m_mark);
    }
}

void HeaderPiece::mousePressEvent(QMouseEvent* event) {
    QWindow* handle = window()->windowHandle();
    if (event->button() == Qt::LeftButton && handle != nullptr) {
        handle->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace vigilux::ui
