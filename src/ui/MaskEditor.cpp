#include "ui/MaskEditor.h"

#include "detection/DetectionMask.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace vigilux::ui {

namespace {

// Ignored areas in a dark red the picture shows through.
QImage shadeOf(const QImage& mask) {
    return detection::DetectionMask::shade(mask, qRgba(160, 0, 0, 150));
}

} // namespace

MaskEditor::MaskEditor(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("maskEditor"));
    setMinimumSize(320, 180);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Левая кнопка мыши: не следить за областью, правая: следить снова"));
}

void MaskEditor::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void MaskEditor::setMask(const QImage& mask) {
    m_mask = mask;
    m_shade = shadeOf(m_mask);
    update();
}

QRect MaskEditor::pictureRect() const {
    const QSize frame = m_picture.isNull() ? QSize(16, 9) : m_picture.size();
    const QSize fitted = frame.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

QPoint MaskEditor::toFrame(const QPoint& widgetPoint) const {
    const QRect r = pictureRect();
    if (r.isEmpty() || m_picture.isNull())
        return {};
    const int x = std::clamp(widgetPoint.x() - r.left(), 0, r.width() - 1);
    const int y = std::clamp(widgetPoint.y() - r.top(), 0, r.height() - 1);
    return QPoint(int(qint64(x) * m_picture.width() / r.width()),
                  int(qint64(y) * m_picture.height() / r.height()));
}

void MaskEditor::paintStroke(const QPoint& to) {
    const QPoint point = toFrame(to);
    const int radius = std::max(1, m_picture.width() * kBrushPercent / 100);
    m_mask = detection::DetectionMask::withStroke(m_mask, m_picture.size(), m_last, point, radius,
                                                  m_ignore);
    m_last = point;
    m_shade = shadeOf(m_mask);
    update();
    emit maskChanged();
}

void MaskEditor::mousePressEvent(QMouseEvent* event) {
    // Nothing to measure a stroke against before the first picture.
    if (m_picture.isNull() ||
        (event->button() != Qt::LeftButton && event->button() != Qt::RightButton))
        return;
    m_ignore = event->button() == Qt::LeftButton;
    m_painting = true;
    m_last = toFrame(event->position().toPoint());
    paintStroke(event->position().toPoint());
}

void MaskEditor::mouseMoveEvent(QMouseEvent* event) {
    if (m_painting)
        paintStroke(event->position().toPoint());
}

void MaskEditor::mouseReleaseEvent(QMouseEvent*) {
    m_painting = false;
}

void MaskEditor::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QRect r = pictureRect();
    if (m_picture.isNull()) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("Нет изображения с камеры"));
        return;
    }
    p.drawImage(r, m_picture);
    if (!m_shade.isNull())
        p.drawImage(r, m_shade);
}

} // namespace vigilux::ui
