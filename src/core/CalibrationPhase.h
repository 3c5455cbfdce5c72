#pragma once

#include <QtGlobal>

namespace vigilux::core {

// Where the detector's auto-calibration stands. While it measures, the
// detector's steps feed the calibration instead of counting alarms.
enum class CalibrationPhase : qint8 {
    None,             // not calibrating
    Speed,            // measuring steps per second
    Noise,            // measuring the still picture's noise
    LargestDifference // measuring the largest change the noise makes
};

} // namespace vigilux::core
