#pragma once

#include <QtGlobal>

namespace vigilux::core {

// The open calibration window, as the main window's detector-event handlers
// see it: they forward speed values in phase 1 and similarity values in
// phases 2 and 3 (AppContext::calibrationPhase).
class CalibrationTarget {
public:
    virtual ~CalibrationTarget() = default;
    virtual void speedValue(qint16 value) = 0;
    virtual void similarityValue(qint32 value) = 0;
};

} // namespace vigilux::core
