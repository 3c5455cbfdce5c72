#pragma once

#include <QtGlobal>

namespace vigilux::platform {

// The header a capture device hands to the frame callback together with the
// frame's bytes. Only valid for the duration of the callback: lpData points
// into the device's own buffer, which the device reuses for the next frame.
struct FrameHeader {
    const uchar* lpData = nullptr; // the frame's bytes, in the device's native layout
    quint32 dwBufferLength = 0;    // size of the buffer behind lpData
    quint32 dwBytesUsed = 0;       // bytes of this frame (never more than dwBufferLength)
    quint32 dwTimeCaptured = 0;    // ms since capture started
    quint32 dwFlags = 0;
};

} // namespace vigilux::platform
