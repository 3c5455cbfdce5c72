#include "detection/SpeedMeter.h"

#include "core/TimeText.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace vigilux::detection {

SpeedMeter::SpeedMeter(const platform::Clock& clock)
    : m_clock(clock) {}

void SpeedMeter::markStart() {
    m_startMs = m_clock.steadyMs();
}

qint16 SpeedMeter::readSpeed() {
    // A steady clock never runs backwards; the clamp only guards against a
    // read without a start mark on a clock that starts below 0.
    const double elapsedMs = std::max(0.0, m_clock.steadyMs() - m_startMs);
    const auto durationNs = static_cast<std::int64_t>(std::llround(elapsedMs * 1e6));

    if (m_count == kWindow)
        m_sumNs -= m_durationsNs[static_cast<std::size_t>(m_next)];
    else
        ++m_count;
    m_durationsNs[static_cast<std::size_t>(m_next)] = durationNs;
    m_sumNs += durationNs;
    m_next = (m_next + 1) % kWindow;

    if (m_sumNs <= 0)
        return kMaxSpeed;
    // 1000 / (sum / count / 1e6) = count * 1e9 / sum
    const double speed =
        std::nearbyint(static_cast<double>(m_count) * 1e9 / static_cast<double>(m_sumNs));
    return speed > kMaxSpeed ? kMaxSpeed : static_cast<qint16>(speed);
}

QString SpeedMeter::timeText() const {
    return timeTextWithHundredths(m_clock.now());
}

} // namespace vigilux::detection
