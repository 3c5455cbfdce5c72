#pragma once

#include "core/DetectorValuesTarget.h"

#include <QtGlobal>

namespace vigilux::detection {

// The detector settings window's three sliders, one per detector value, as
// the calibration writes them. The detector settings window implements it;
// the calibration tests use a fake.
class DetectorSliders {
public:
    virtual ~DetectorSliders() = default;
    // Puts the value into the detector (through the live values) without
    // moving the slider.
    virtual void onSliderChanged(core::DetectorValue which, qint32 value) = 0;
    // Moves the slider to the value, then handles it like a user's move.
    virtual void setSlider(core::DetectorValue which, qint32 value) = 0;
    // The value the slider shows now.
    virtual qint32 sliderValue(core::DetectorValue which) const = 0;
};

} // namespace vigilux::detection
