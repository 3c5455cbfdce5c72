#include "ui/PreviewWidget.h"

#include "video/CaptureDevice.h"

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
    update();
}

void PreviewWidget::framePresented() {
    if (!m_device)
        return;
    // The 32-bit form paints fastest.
    m_frame = m_device->currentFrame(QImage::Format_RGB32);
    update();
}

void PreviewWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_frame.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    p.drawImage(rect(), m_frame);
}

} // namespace vigilux::ui
