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
    resources::Pictures::paint(p, QStringLiteral("header-band"), rect());
    if (m_index == 1) {
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(236, 240, 246));
        p.drawText(rect().adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("Vigilux"));
    } else if (m_index == 0) {
        resources::Pictures::paint(p, QStringLiteral("header-mark"),
                                   QRectF(0, (height() - Height) / 2.0, 28, Height));
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
