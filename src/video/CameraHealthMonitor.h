#pragma once

#include "platform/Clock.h"
#include "video/CameraHealth.h"
#include "video/CaptureDevice.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace vigilux::video {

// CameraHealth attached to a capture device: every frame the device
// presents is fingerprinted and fed in, and a one-second timer ticks it, so
// a camera that sends nothing at all is noticed too. Works with any device.
//
// Threading: UI thread, like the device. The device may be replaced or
// destroyed while watching (it is held by QPointer).
class CameraHealthMonitor final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CameraHealthMonitor)
public:
    CameraHealthMonitor(const platform::Clock& clock, CameraHealth::Limits limits = {},
                        QObject* parent = nullptr);

    // Starts watching `device` afresh (at watch start, after a source
    // change); nullptr stops.
    void watch(video::CaptureDevice* device);
    void stop() { watch(nullptr); }

    const CameraHealth& health() const { return m_health; }

    // Fed by the device's frames; public for tests without a device.
    void onFrame();
    void onTick();

signals:
    // Once per outage each, and Restored once when all is well again; the
    // text is CameraHealth::text(alert).
    void alert(vigilux::video::CameraHealth::Alert alert, const QString& text);

private:
    void report(const std::vector<CameraHealth::Alert>& alerts);

    CameraHealth m_health;
    QPointer<video::CaptureDevice> m_device;
    QMetaObject::Connection m_frames;
    QTimer m_timer;
};

} // namespace vigilux::video
