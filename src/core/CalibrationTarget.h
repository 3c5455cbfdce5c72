#pragma once

#include <QtGlobal>

namespace vigilux::core {

// The open calibration window, as the main window's detector-event handlers
// see it: they forward speed values while the speed is measured and
// similarity values while noise and difference are (AppContext::calibrationPhase).
class CalibrationTarget {
public:
    virtual ~CalibrationTarget() = default;
    virtual void speedValue(qint16 value) = 0;
    virtual void similarityValue(qint32 value) = 0;
};

} // namespace vigilux::core
