#include "platform/CaptureDeviceFactory.h"

#include "platform/CameraCaptureDevice.h"
#include "platform/DemoCaptureDevice.h"
#include "platform/VideoFileCaptureDevice.h"

#include <QMediaDevices>

namespace vigilux::platform {

std::unique_ptr<CaptureDevice> createCaptureDevice(const CaptureSource& source, QObject* parent) {
    switch (source.kind) {
    case CaptureSource::Kind::Camera:
        return std::make_unique<CameraCaptureDevice>(source.index, parent);
    case CaptureSource::Kind::VideoFile:
        return std::make_unique<VideoFileCaptureDevice>(source.path, parent);
    case CaptureSource::Kind::Demo:
        break;
    case CaptureSource::Kind::Network:
        return nullptr; // made by video::createCaptureDevice, which decodes streams
    }
    return std::make_unique<DemoCaptureDevice>(1, parent);
}

CaptureSource defaultCaptureSource() {
    return QMediaDevices::videoInputs().isEmpty() ? CaptureSource::demo()
                                                  : CaptureSource::camera(0);
}

QStringList cameraDescriptions() {
    QStringList list;
    for (const QCameraDevice& d : QMediaDevices::videoInputs())
        list.append(d.description());
    return list;
}

} // namespace vigilux::platform
