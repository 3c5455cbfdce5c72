#pragma once

#include <optional>

namespace vigilux::controls {

// The slider's step arithmetic, apart from any widget. Offsets are the
// handle's distance in pixels from the start of a track `trackLength` pixels
// long. A step of 0 or below, or max not above min, leaves the step width
// undefined: every function then answers nullopt and the caller keeps what
// it had.
namespace SliderGeometry {

std::optional<double> stepWidth(int trackLength, int min, int max, int step);

// Where the handle sits for `value`: the whole step at or below it, kept on
// the track.
std::optional<double> offsetForValue(int value, int trackLength, int min, int max, int step);

struct Drag {
    int value = 0;
    double offset = 0;  // where the handle goes
    bool moved = false; // false: the value was clamped to max, the handle stays
};

// A drag that proposes the handle at `offset`. nullopt when the offset lies
// outside 0..trackLength (the move is ignored) or the step is undefined.
std::optional<Drag> dragTo(double offset, int trackLength, int min, int max, int step);

} // namespace SliderGeometry
} // namespace vigilux::controls
