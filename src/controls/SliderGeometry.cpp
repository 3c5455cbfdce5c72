#include "controls/SliderGeometry.h"

#include <algorithm>
#include <cmath>

namespace vigilux::controls::SliderGeometry {

std::optional<double> stepWidth(int trackLength, int min, int max, int step) {
    if (step <= 0 || max <= min || trackLength <= 0)
        return std::nullopt;
    const double steps = (static_cast<double>(max) - min) / step;
    return trackLength / steps;
}

std::optional<double> offsetForValue(int value, int trackLength, int min, int max, int step) {
    const auto width = stepWidth(trackLength, min, max, step);
    if (!width)
        return std::nullopt;
    const double position =
        (static_cast<double>(value) - min) / (static_cast<double>(max) - min) * trackLength;
    // The epsilon keeps a value exactly on a step from landing one step low.
    const double k = std::floor(position / *width + 1e-9);
    return std::clamp(k * *width, 0.0, static_cast<double>(trackLength));
}

std::optional<Drag> dragTo(double offset, int trackLength, int min, int max, int step) {
    const auto width = stepWidth(trackLength, min, max, step);
    if (!width || offset < 0 || offset > trackLength)
        return std::nullopt;
    const double k = std::round(offset / *width);
    const double snapped = k * *width;
    const double mapped =
        std::round(snapped / trackLength * (static_cast<double>(max) - min)) + min;
    if (mapped > max)
        return Drag{max, 0, false};
    return Drag{static_cast<int>(mapped), snapped, true};
}

} // namespace vigilux::controls::SliderGeometry
