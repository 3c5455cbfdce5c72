#pragma once

#include "platform/CaptureDevice.h"
#include "platform/CaptureSource.h"

#include <memory>

namespace vigilux::video {

// Creates the device for any source: network cameras here, the others
// through platform::createCaptureDevice. A network source with an unusable
// address still gets its device, whose connectDriver fails, which the
// capture control shows as the offline picture.
std::unique_ptr<platform::CaptureDevice> createCaptureDevice(const platform::CaptureSource& source,
                                                             QObject* parent = nullptr);

} // namespace vigilux::video
