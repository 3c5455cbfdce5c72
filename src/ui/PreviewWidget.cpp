#include "ui/PreviewWidget.h"

#include "video/CaptureDevice.h"

#include <QPaintEvent>
#include <QPainter>

namespace vigilux::ui {

PreviewWidget::PreviewWidget(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("preview"));
    // Every pixel is painted each time: skip the background fill.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewWidget::setDevice(video::CaptureDevice* device) {
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    if (m_device)
        connect(m_device, &video::CaptureDevice::framePresented, this,
                &PreviewWidget::framePresented);
}

void PreviewWidget::clear() {
    m_frame = QImage();
    m_stale = false;
    update();
}

QString PreviewWidget::signalLostText(const QDateTime& since) {
    QString text = QStringLiteral("Нет сигнала от камеры");
    if (since.isValid())
        text += QStringLiteral("\nс ") + since.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    return text;
}

void PreviewWidget::showSignalLost(const QDateTime& since) {
    takeLatestFrame();
    m_lost = true;
    m_lostSince = since;
    // Grey and pale: plainly not the live picture.
    m_greyed = m_frame.isNull() ? QImage() : m_frame.convertToFormat(QImage::Format_Grayscale8);
    if (!m_greyed.isNull()) {
        m_greyed = m_greyed.convertToFormat(QImage::Format_RGB32);
        QPainter p(&m_greyed);
        p.fillRect(m_greyed.rect(), QColor(128, 128, 128, 140));
    }
    update();
}

void PreviewWidget::clearSignalLost() {
    if (!m_lost)
        return;
    m_lost = false;
    m_greyed = QImage();
    update();
}

void PreviewWidget::framePresented() {
    // A frame is the signal back (whatever the device reports later).
    clearSignalLost();
    // Converted when painted, at the painted size: a hidden or minimised
    // window gets no paint events and so costs nothing, and frames that
    // come faster than the screen repaints are never converted.
    m_stale = true;
    update();
}

void PreviewWidget::takeLatestFrame() {
    if (!m_stale || !m_device)
        return;
    m_stale = false;
    // A device that forgot its frame meanwhile (lost, stopped) leaves the
    // last picture shown; clear() is what blanks it.
    // The picture's own buffer is reused from frame to frame.
    if (m_device->frameLayout().toPreview(m_device->frameData(), size(), m_frame))
        ++m_converted;
}

void PreviewWidget::paintEvent(QPaintEvent* event) {
    takeLatestFrame();
    QPainter p(this);
    const QImage& picture = m_lost ? m_greyed : m_frame;
    if (picture.isNull()) {
        p.fillRect(rect(), Qt::black);
    } else if (picture.size() == size()) {
        // Rectangle by rectangle: the widgets over the picture cut the
        // painted region, and a picture clipped to a region is blended span
        // by span on Qt's worker threads, ten times a second, where one
        // clipped to a rectangle is copied straight.
        for (const QRect& piece : event->region()) {
            p.setClipRect(piece);
            p.drawImage(piece.topLeft(), picture, piece);
        }
        p.setClipping(false);
    } else {
        p.drawImage(rect(), picture);
    }
    if (!m_lost)
        return;
    QFont font = p.font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    p.setFont(font);
    const QString text = signalLostText(m_lostSince);
    // A dark halo keeps the caption readable on any picture.
    p.setPen(QColor(0, 0, 0, 200));
    for (const QPoint d : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
        p.drawText(rect().translated(d), Qt::AlignCenter, text);
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, text);
}

} // namespace vigilux::ui
