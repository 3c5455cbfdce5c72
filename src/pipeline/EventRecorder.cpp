#include "pipeline/EventRecorder.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "recording/FrameSaver.h"

#include <QDir>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vigilux::pipeline {

EventRecorder::EventRecorder(AppContext& context, recording::FrameSaver& saving, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_saving(saving)
    , m_tracker(context.clock)
    , m_log([this](const QString& text) { emit status(text); }) {
    m_endTimer.setSingleShot(true);
    connect(&m_endTimer, &QTimer::timeout, this, [this] {
        if (!m_tracker.poll())
            armEndTimer();
    });
    connect(&m_tracker, &events::EventTracker::eventStarted, this, [this] {
        m_policy.beginEvent();
        m_largest = QImage();
        m_startedThisStep = true;
    });
    connect(&m_tracker, &events::EventTracker::eventEnding, this, &EventRecorder::onEventEnding);
    connect(&m_tracker, &events::EventTracker::eventEnded, this, &EventRecorder::onEventEnded);
}

void EventRecorder::applySettings() {
    const core::Settings& s = m_context.settings;
    m_tracker.setGapSeconds(s.eventGap);
    m_policy.setMode(s.eventFrames);
    m_policy.setFirstFrames(s.eventFirstFrames);
    m_policy.setEverySeconds(s.eventFrameInterval);
}

void EventRecorder::start() {
    applySettings();
    m_tracker.restart();
}

void EventRecorder::stop() {
    m_endTimer.stop();
    m_tracker.finish();
}

void EventRecorder::onStep(qint32 similarity) {
    m_change = 100 - similarity;
    m_startedThisStep = false;
    // Every step checks the gap, so an event ends at the first step after
    // its quiet time, alarm or not.
    m_tracker.poll();
}

void EventRecorder::onAlarm(bool motion) {
    if (!motion || m_context.detectorWindowShown ||
        m_context.calibrationPhase != core::CalibrationPhase::None)
        return;
    m_tracker.alarmStep(m_change);
    armEndTimer();
}

void EventRecorder::armEndTimer() {
    if (!m_endTimerEnabled || !m_tracker.isOpen())
        return;
    // Capped so a long gap cannot overflow the timer's milliseconds.
    const double ms = std::min(m_tracker.msUntilEnd(), 3600.0 * 1000.0);
    m_endTimer.start(static_cast<int>(std::ceil(ms)) + 1);
}

// By value and moved on: the saver's worker then draws into the picture
// without copying it first.
void EventRecorder::saveAlarmFrame(QImage picture) {
    if (!m_tracker.isOpen()) {
        m_saving.saveFrame(std::move(picture));
        return;
    }
    switch (m_policy.step(m_context.clock.steadyMs(), m_change)) {
    case events::EventFramePolicy::Decision::Save:
        m_saving.saveFrame(std::move(picture));
        break;
    case events::EventFramePolicy::Decision::KeepAsLargest:
        m_largest = std::move(picture);
        m_largestTime = m_context.clock.now();
        break;
    case events::EventFramePolicy::Decision::Skip:
        break;
    }
}

void EventRecorder::onEventEnding() {
    if (!m_largest.isNull()) {
        // Written under the time it was taken, so its name tells when.
        QImage picture = std::exchange(m_largest, QImage());
        m_saving.saveFrame(std::move(picture), m_largestTime);
    }
    // The event's pictures still on their way join it before its log line
    // and its summary. Nothing waits unless one is (usually only the
    // largest-change picture just given); a dead disk holds this up at most
    // for the bound, and its pictures then come after the line.
    if (m_saving.pendingCount() > 0)
        m_saving.finishPending(EventEndWaitMs);
}

void EventRecorder::onEventEnded(const events::MotionEvent& event) {
    m_endTimer.stop();
    QString folder = m_context.settings.savePath;
    // No save folder at all: saving already says so, the log has no place.
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_log.setPath(folder + events::EventLog::FileName);
    // Named from the log's own folder, so the log stays right when the whole
    // folder is moved or copied.
    events::MotionEvent logged = event;
    const QDir dir(folder);
    for (QString& file : logged.files)
        file = dir.relativeFilePath(file);
    for (QString& clip : logged.clips)
        clip = dir.relativeFilePath(clip);
    m_log.append(logged);
}

} // namespace vigilux::pipeline
