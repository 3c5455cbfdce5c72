#include "ui/MotionLevelBarGeometry.h"

#include <algorithm>
#include <cmath>

namespace vigilux::ui::MotionLevelBarGeometry {

int toPixels(double units) {
    return static_cast<int>(std::lround(units / kUnitsPerPixel));
}

int toUnits(int pixels) {
    return pixels * kUnitsPerPixel;
}

double barTop(int heightUnits, qint32 value) {
    return static_cast<double>(heightUnits) * value / 100.0;
}

int markTop(int heightUnits, qint32 threshold) {
    const double level = static_cast<double>(threshold) * heightUnits / 100.0;
    return static_cast<int>(std::nearbyint(level)) - kMarkHeight;
}

int scaleStep(int heightUnits) {
    const auto step = static_cast<int>(std::nearbyint(heightUnits / 100.0));
    return std::max(1, step);
}

std::vector<Tick> ticks(int heightUnits) {
    std::vector<Tick> result;
    if (heightUnits < 0)
        return result;
    const int step = scaleStep(heightUnits);
    result.reserve(static_cast<std::size_t>(heightUnits / step + 1));
    for (int d = 0; d <= heightUnits; d += step) {
        const bool major = d % 100 == 0;
        result.push_back({d, major ? kMajorTickLength : kMinorTickLength, major});
    }
    return result;
}

} // namespace vigilux::ui::MotionLevelBarGeometry
