#include "video/CaptureDevices.h"

#include "platform/CaptureDeviceFactory.h"
#include "video/NetworkCaptureDevice.h"

namespace vigilux::video {

std::unique_ptr<platform::CaptureDevice> createCaptureDevice(const platform::CaptureSource& source,
                                                             QObject* parent) {
    if (source.kind == platform::CaptureSource::Kind::Network)
        return std::make_unique<NetworkCaptureDevice>(source, NetworkLimits{}, parent);
    return platform::createCaptureDevice(source, parent);
}

} // namespace vigilux::video
