#include "events/EventFramePolicy.h"

#include <algorithm>

namespace vigilux::events {

void EventFramePolicy::setMode(int mode) {
    switch (mode) {
    case 1:
        m_mode = Mode::FirstThenEvery;
        break;
    case 2:
        m_mode = Mode::LargestOnly;
        break;
    default:
        m_mode = Mode::EveryStep;
        break;
    }
}

void EventFramePolicy::setFirstFrames(int k) {
    m_firstFrames = std::clamp(k, MinFirstFrames, MaxFirstFrames);
}

void EventFramePolicy::setEverySeconds(int s) {
    m_everySeconds = std::clamp(s, MinEverySeconds, MaxEverySeconds);
}

void EventFramePolicy::beginEvent() {
    m_chosen = 0;
    m_lastChosenMs = 0.0;
    m_largest = -1;
}

EventFramePolicy::Decision EventFramePolicy::step(double nowMs, int changedPercent) {
    switch (m_mode) {
    case Mode::EveryStep:
        return Decision::Save;
    case Mode::FirstThenEvery:
        if (m_chosen < m_firstFrames || nowMs - m_lastChosenMs >= m_everySeconds * 1000.0) {
            if (m_chosen < m_firstFrames)
                ++m_chosen;
            m_lastChosenMs = nowMs;
            return Decision::Save;
        }
        return Decision::Skip;
    case Mode::LargestOnly:
        if (changedPercent > m_largest) {
            m_largest = changedPercent;
            return Decision::KeepAsLargest;
        }
        return Decision::Skip;
    }
    return Decision::Save;
}

} // namespace vigilux::events
