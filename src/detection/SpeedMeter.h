#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

namespace vigilux::platform {
class Clock;
}

namespace vigilux::detection {

// Measures how long a detector step takes and turns the recent durations into
// the steps per second this computer can sustain (the speed the detector
// reports). Durations come from the clock's steady time in fractional
// milliseconds, so steps that finish within a millisecond still give a true
// figure.
//
// The window of the last 100 durations keeps a running sum in whole
// nanoseconds: reading costs O(1) and the sum never drifts, however long the
// program runs. UI thread only; the clock must outlive the meter.
class SpeedMeter final {
public:
    static constexpr int kWindow = 100;
    // Reported when the mean duration is 0 or 1000 / mean is out of range.
    static constexpr qint16 kMaxSpeed = 32767;

    explicit SpeedMeter(const platform::Clock& clock);

    // Start of a step.
    void markStart();

    // Ends the step that began at the last start mark: appends its duration
    // to the window (dropping the oldest beyond 100) and returns 1000 / mean
    // duration in ms, rounded to the nearest integer, halves to even.
    qint16 readSpeed();

    // Number of durations in the window (0..100).
    int count() const { return m_count; }

    // "hh:mm:ss." + two digits of hundredths of the clock's local time.
    QString timeText() const;

private:
    const platform::Clock& m_clock;
    double m_startMs = 0.0;
    std::array<std::int64_t, kWindow> m_durationsNs{};
    std::int64_t m_sumNs = 0;
    int m_next = 0;  // slot the next duration goes into
    int m_count = 0; // durations held
};

} // namespace vigilux::detection
