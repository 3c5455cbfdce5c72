#pragma once

#include <QtGlobal>

namespace vigilux::core {

// Receives one detector setting (0 interval ms, 1 noise, 2 motion percent)
// and applies it to the running detector. The main window implements it;
// the settings load and the detector window call it.
class DetectorValuesTarget {
public:
    virtual ~DetectorValuesTarget() = default;
    virtual void setDetectorValue(qint16 index, qint32 value) = 0;
};

} // namespace vigilux::core
