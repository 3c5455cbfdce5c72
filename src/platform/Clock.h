#pragma once

#include <QDateTime>

namespace vigilux::platform {

// Time as the program sees it. Everything that measures durations or stamps
// names asks a Clock, so tests can drive time. Used on the UI thread only.
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds from an arbitrary fixed start, monotonic, fractional.
    virtual double steadyMs() const = 0;

    // The current local date and time, with milliseconds.
    virtual QDateTime now() const = 0;
};

} // namespace vigilux::platform
