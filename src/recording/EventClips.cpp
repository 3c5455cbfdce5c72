#include "recording/EventClips.h"

#include "events/EventTracker.h"
#include "recording/ClipRecorder.h"

#include <utility>

namespace vigilux::recording {

EventClips::EventClips(ClipRecorder& clips, events::EventTracker& tracker, QObject* parent)
    : QObject(parent)
    , m_clips(clips)
    , m_tracker(tracker) {
    connect(&tracker, &events::EventTracker::eventStarted, this, [this] { onEventStarted(); });
    connect(&tracker, &events::EventTracker::eventEnded, this, [this] { onEventEnded(); });
    connect(&clips, &ClipRecorder::clipStarted, this, &EventClips::onClipStarted);
    connect(&clips, &ClipRecorder::clipFinished, this, &EventClips::onClipFinished);
    connect(&clips, &ClipRecorder::clipCut, this, [this](const QString& path, bool removed) {
        // The log line of an event still open says its clip was cut; one
        // already written (the cut came in the post-roll) stays as it is.
        if (!m_inEvent || !m_eventClips.contains(path))
            return;
        m_tracker.clipCut(path, removed);
        if (removed)
            m_eventClips.removeAll(path);
    });
}

void EventClips::setEnabled(bool on) {
    if (m_enabled == on)
        return;
    m_enabled = on;
    if (!on) {
        m_inEvent = false;
        m_clips.stop();
    }
}

void EventClips::onAlarm(bool motion) {
    if (!motion || !m_inEvent || !m_tracker.isOpen())
        return;
    // Only the steps the tracker counted (not those of a calibration).
    const int steps = m_tracker.current().steps;
    if (steps == m_steps)
        return;
    m_steps = steps;
    m_clips.alarmStep(m_clips.lastFrameMs());
}

void EventClips::onEventStarted() {
    if (!m_enabled)
        return;
    m_inEvent = true;
    m_steps = m_tracker.current().steps;
    m_eventClips.clear();
    m_held.clear();
    m_clips.startEvent(m_clips.lastFrameMs());
}

void EventClips::onEventEnded() {
    if (!m_inEvent)
        return;
    // The event's frames are saved and its log line is written: its clips
    // may follow them now.
    m_inEvent = false;
    const QStringList held = std::exchange(m_held, {});
    m_eventClips.clear();
    for (const QString& path : held)
        emit clipSaved(path);
    m_clips.endEvent();
}

void EventClips::onClipStarted(const QString& path) {
    if (!m_inEvent)
        return;
    m_eventClips << path;
    m_tracker.addClip(path);
}

void EventClips::onClipFinished(const QString& path) {
    if (m_inEvent && m_eventClips.contains(path))
        m_held << path;
    else
        emit clipSaved(path);
}

} // namespace vigilux::recording
