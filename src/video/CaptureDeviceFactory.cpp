#include "video/CaptureDeviceFactory.h"

#include "video/CameraCaptureDevice.h"
#include "video/DemoCaptureDevice.h"
#include "video/VideoFileCaptureDevice.h"

#include <QMediaDevices>

namespace vigilux::video {

std::unique_ptr<CaptureDevice> createCaptureDevice(const CaptureSource& source, QObject* parent) {
    switch (source.kind) {
    case CaptureSource::Kind::Camera:
        return std::make_unique<CameraCaptureDevice>(source.index, parent);
    case CaptureSource::Kind::VideoFile:
        return std::make_unique<VideoFileCaptureDevice>(source.path, parent);
    case CaptureSource::Kind::Demo:
        break;
    }
    return std::make_unique<DemoCaptureDevice>(1, parent);
}

CaptureSource defaultCaptureSource() {
    // Even on a machine without one: no camera shows the offline picture
    // until one is plugged in; the demo scene is only for --demo.
    return CaptureSource::camera(0);
}

QStringList cameraDescriptions() {
    QStringList list;
    for (const QCameraDevice& d : QMediaDevices::videoInputs())
        list.append(d.description());
    return list;
}

} // namespace vigilux::video
