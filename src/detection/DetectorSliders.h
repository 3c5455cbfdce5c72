#pragma once

#include <QtGlobal>

namespace vigilux::detection {

// The detector settings window's three sliders, as the calibration writes
// them: 0 detector interval (ms), 1 noise tolerance, 2 motion percent. The
// detector settings window implements it; the calibration tests use a fake.
class DetectorSliders {
public:
    virtual ~DetectorSliders() = default;
    // Puts the value into the detector (through the live values) without
    // moving the slider.
    virtual void onSliderChanged(qint16 index, qint32 value) = 0;
    // Moves the slider to the value, then handles it like a user's move.
    virtual void setSlider(qint16 index, qint32 value) = 0;
    // The value the slider shows now.
    virtual qint32 sliderValue(qint16 index) const = 0;
};

} // namespace vigilux::detection
