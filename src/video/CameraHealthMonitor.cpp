#include "video/CameraHealthMonitor.h"

namespace vigilux::video {

CameraHealthMonitor::CameraHealthMonitor(const platform::Clock& clock, CameraHealth::Limits limits,
                                         QObject* parent)
    : QObject(parent)
    , m_health(clock, limits) {
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CameraHealthMonitor::onTick);
}

void CameraHealthMonitor::watch(video::CaptureDevice* device) {
    disconnect(m_frames);
    m_device = device;
    m_health.restart();
    if (!device) {
        m_timer.stop();
        return;
    }
    m_frames =
        connect(device, &video::CaptureDevice::framePresented, this, &CameraHealthMonitor::onFrame);
    m_timer.start();
}

void CameraHealthMonitor::onFrame() {
    if (!m_device)
        return;
    report(m_health.frame(FrameSignature::of(m_device->frameLayout(), m_device->frameData())));
}

void CameraHealthMonitor::onTick() {
    report(m_health.tick());
}

void CameraHealthMonitor::report(const std::vector<CameraHealth::Alert>& alerts) {
    for (CameraHealth::Alert a : alerts)
        emit alert(a, CameraHealth::text(a));
}

} // namespace vigilux::video
