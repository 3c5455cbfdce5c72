#pragma once

#include <QtGlobal>

#include <vector>

// The arithmetic of the motion level bar, kept apart from the widget so it
// can be tested without one. Lengths are in units of 1/15 pixel (twips), the
// scale the indicator's layout was designed in.
namespace vigilux::ui::MotionLevelBarGeometry {

constexpr int kUnitsPerPixel = 15;
constexpr int kScaleWidth = 100;
constexpr int kBarWidth = 120;       // a little wider than the scale
constexpr int kBarHeight = 10000;    // reaches past the bottom whatever its top
constexpr int kBarDesignTop = 3960;  // before the first level arrives
constexpr int kMarkHeight = 30;      // the threshold mark
constexpr int kMajorTickLength = 50; // ticks at whole multiples of 100 units
constexpr int kMinorTickLength = 10;

int toPixels(double units);
int toUnits(int pixels);

// Top of the bar for a similarity percent: height * value / 100.
double barTop(int heightUnits, qint32 value);

// Top of the threshold mark: height * threshold / 100 rounded (halves to even),
// minus the mark's height, so the mark sits just above the threshold level.
int markTop(int heightUnits, qint32 threshold);

// Distance between ticks: height / 100 rounded (halves to even), at least 1
// so that a very short scale still ends.
int scaleStep(int heightUnits);

struct Tick {
    int y;      // units from the top
    int length; // units from the left edge
    bool major;
};

// Ticks at 0, step, 2 * step, ... while <= height.
std::vector<Tick> ticks(int heightUnits);

} // namespace vigilux::ui::MotionLevelBarGeometry
