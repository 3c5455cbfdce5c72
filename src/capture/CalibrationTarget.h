#pragma once

#include <QtGlobal>

namespace vigilux::capture {

// The open calibration window, as the main window's detector-event handlers
// see it: they forward speed values in phase 1 and similarity values in
// phases 2 and 3 (AppContext::CalibrationPhase).
class CalibrationTarget {
public:
    virtual ~CalibrationTarget() = default;
    virtual void FPSValue(qint16 Value) = 0;
    virtual void PercentValue(qint32 Value) = 0;
};

} // namespace vigilux::capture
