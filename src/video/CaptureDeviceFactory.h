#pragma once

#include "video/CaptureDevice.h"
#include "video/CaptureSource.h"

#include <QStringList>

#include <memory>

namespace vigilux::video {

// Creates the device for a source. A camera that does not exist still gets
// a camera device: its connectDriver fails, which the capture control shows
// as the offline picture.
std::unique_ptr<CaptureDevice> createCaptureDevice(const CaptureSource& source,
                                                   QObject* parent = nullptr);

// The source for a run without a choice on the command line: the first
// camera, whether the machine has one yet or not.
CaptureSource defaultCaptureSource();

// Descriptions of the machine's cameras, in driver-index order.
QStringList cameraDescriptions();

} // namespace vigilux::video
