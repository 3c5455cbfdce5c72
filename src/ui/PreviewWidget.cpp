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
    m_stale = false;
    update();
}

void PreviewWidget::framePresented() {
    // Converted when painted, at the painted size: a hidden or minimised
    // window gets no paint events and so costs nothing, and frames that
    // come faster than the screen repaints are never converted.
    m_stale = true;
    update();
}

void PreviewWidget::paintEvent(QPaintEvent*) {
    if (m_stale && m_device) {
        m_stale = false;
        m_frame = m_device->frameLayout().toPreview(m_device->frameData(), size());
    }
    QPainter p(this);
    if (m_frame.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    p.drawImage(rect(), m_frame);
}

} // namespace vigilux::ui
