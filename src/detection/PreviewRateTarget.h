#pragma once

#include <QtGlobal>

namespace vigilux::detection {

// Where the detector sends the capture preview's frame interval. The capture
// device implements it: frames reach the frame callback at most this often,
// so the detector's sampling rate is the lower of its tick rate and this.
// UI thread only.
class PreviewRateTarget {
public:
    virtual ~PreviewRateTarget() = default;
    virtual void setPreviewRate(qint16 ms) = 0;
};

} // namespace vigilux::detection
