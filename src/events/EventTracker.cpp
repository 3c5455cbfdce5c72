#include "events/EventTracker.h"

#include "platform/Clock.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace vigilux::events {

EventTracker::EventTracker(platform::Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock) {}

void EventTracker::setGapSeconds(int seconds) {
    m_gapSeconds = std::clamp(seconds, MinGapSeconds, MaxGapSeconds);
}

void EventTracker::restart() {
    finish();
    m_count = 0;
    m_event = MotionEvent();
}

bool EventTracker::gapPassed(double nowMs) const {
    return nowMs - m_event.endMs >= m_gapSeconds * 1000.0;
}

double EventTracker::msUntilEnd() const {
    if (!m_open)
        return -1.0;
    return std::max(0.0, m_event.endMs + m_gapSeconds * 1000.0 - m_clock.steadyMs());
}

void EventTracker::alarmStep(int changedPercent) {
    const double nowMs = m_clock.steadyMs();
    if (m_open && gapPassed(nowMs))
        end();
    const int change = std::clamp(changedPercent, 0, 100);
    if (!m_open) {
        m_event = MotionEvent();
        // The count saturates rather than wraps: numbers stay unique.
        if (m_count < std::numeric_limits<int>::max())
            ++m_count;
        m_event.number = m_count;
        m_event.startMs = nowMs;
        m_event.startTime = m_clock.now();
        m_event.endMs = nowMs;
        m_event.endTime = m_event.startTime;
        m_event.steps = 1;
        m_event.peakChange = change;
        m_event.peakObjects = std::exchange(m_stepObjects, 0);
        m_event.largestObject = std::exchange(m_stepLargest, 0);
        m_open = true;
        emit eventStarted(m_event);
        return;
    }
    m_event.endMs = nowMs;
    m_event.endTime = m_clock.now();
    ++m_event.steps;
    m_event.peakChange = std::max(m_event.peakChange, change);
    m_event.peakObjects = std::max(m_event.peakObjects, std::exchange(m_stepObjects, 0));
    m_event.largestObject = std::max(m_event.largestObject, std::exchange(m_stepLargest, 0));
}

bool EventTracker::poll() {
    if (!m_open || !gapPassed(m_clock.steadyMs()))
        return false;
    end();
    return true;
}

void EventTracker::finish() {
    if (m_open)
        end();
}

void EventTracker::addSavedFile(const QString& path) {
    if (!m_open && !m_ending)
        return;
    m_event.files << path;
    emit fileAdded(m_event, path);
}

void EventTracker::addClip(const QString& path) {
    if (m_open || m_ending)
        m_event.clips << path;
}

void EventTracker::clipCut(const QString& path, bool removed) {
    if ((!m_open && !m_ending) || !m_event.clips.contains(path))
        return;
    m_event.clipCut = true;
    if (removed)
        m_event.clips.removeAll(path);
}

void EventTracker::end() {
    // Closed before the signals, so a listener that feeds a step or calls
    // finish() from inside them cannot end the same event twice.
    m_open = false;
    m_ending = true;
    emit eventEnding(m_event);
    m_ending = false;
    emit eventEnded(m_event);
}

} // namespace vigilux::events
