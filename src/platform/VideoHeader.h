#pragma once

#include <QtGlobal>

namespace vigilux::platform {

// What a capture device hands to the frame callback for one frame, shaped
// like the capture driver's video header the detector was written against.
// lpData points at the frame's raw bytes in the device's native pixel
// format (all planes, in order); it is valid only during the callback.
struct VideoHeader {
    const uchar* lpData = nullptr;
    quint32 dwBufferLength = 0;
    quint32 dwBytesUsed = 0;
    quint32 dwTimeCaptured = 0;
    quint32 dwFlags = 0;
};

} // namespace vigilux::platform
