#pragma once

#include "core/Settings.h"

#include <QtGlobal>

#include <array>

namespace vigilux::core {

// The three detector values in the order Settings keeps them.
inline constexpr std::array<DetectorValue, 3> AllDetectorValues{IntervalValue, NoiseValue,
                                                                SimilarityValue};

// Receives one detector setting and applies it to the running detector. The
// main window implements it; the settings load and the detector window call
// it.
class DetectorValuesTarget {
public:
    virtual ~DetectorValuesTarget() = default;
    virtual void setDetectorValue(DetectorValue which, qint32 value) = 0;
};

} // namespace vigilux::core
