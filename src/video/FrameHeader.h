#pragma once

#include <QtGlobal>

namespace vigilux::video {

// The header a capture device hands to the frame callback together with the
// frame's bytes. Only valid for the duration of the callback: data points
// into the device's own buffer, which the device reuses for the next frame.
struct FrameHeader {
    const uchar* data = nullptr; // the frame's bytes, in the device's native layout
    quint32 bufferLength = 0;    // size of the buffer behind data
    quint32 bytesUsed = 0;       // bytes of this frame (never more than bufferLength)
    quint32 timeCapturedMs = 0;  // ms since capture started
    quint32 flags = 0;
};

} // namespace vigilux::video
