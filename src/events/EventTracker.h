#pragma once

#include "events/MotionEvent.h"

#include <QObject>

namespace vigilux::platform {
class Clock;
}

namespace vigilux::events {

// Groups alarm steps into motion events. An event begins with the first alarm
// step after a quiet time and ends once no alarm step has come for the gap
// (EventGap seconds). Time comes from the Clock, so tests and the replay drive
// it; the tracker has no timer of its own: whoever feeds it calls poll() on
// every detector step (and, if steps may stop, from a timer after
// msUntilEnd()), and finish() when watching stops or the program exits.
//
// Signals, each with the event as it stands, through direct connections:
//   eventStarted  the first alarm step of an event was counted;
//   fileAdded     a picture was saved for the open or the ending event;
//   eventEnding   the event is over but not yet reported: listeners may still
//                 add files with addSavedFile() (a picture written at the end);
//   eventEnded    the event is final (log it, notify about it).
// An event is always ended before the next one starts, and at most one is
// open. UI thread only; the clock must outlive the tracker.
class EventTracker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventTracker)
public:
    static constexpr int DefaultGapSeconds = 10;
    static constexpr int MinGapSeconds = 1;
    static constexpr int MaxGapSeconds = 3600;

    explicit EventTracker(platform::Clock& clock, QObject* parent = nullptr);

    // Takes effect from the next check; clamped to 1..3600 s.
    void setGapSeconds(int seconds);
    int gapSeconds() const { return m_gapSeconds; }

    // Watch mode was switched on: ends an open event, then numbers from 1.
    void restart();

    // One counted alarm step with this share of changed bytes (percent).
    // Ends the open event first when the gap has passed since its last
    // step, and starts a new event when none is open.
    void alarmStep(int changedPercent);
    // What the object detector found on the coming alarm step; counts for
    // that step only.
    void setStepObjects(int count, int largestHundredths) {
        m_stepObjects = count;
        m_stepLargest = largestHundredths;
    }

    // Ends the open event when the gap has passed since its last alarm
    // step. True when it ended one.
    bool poll();

    // Ends the open event now, whatever the gap (watching stops, exit).
    void finish();

    // A picture saved for the open (or the ending) event; ignored when no
    // event is open.
    void addSavedFile(const QString& path);
    // A video clip of the open (or the ending) event; ignored otherwise.
    void addClip(const QString& path);
    // That clip of the open (or ending) event ended early on a write error;
    // `removed`: it held no playable frame and is gone. Ignored otherwise.
    void clipCut(const QString& path, bool removed);

    bool isOpen() const { return m_open; }
    // The open event, or the last one ended (number 0 before the first).
    const MotionEvent& current() const { return m_event; }
    // Events started since the last restart().
    int eventCount() const { return m_count; }
    // Milliseconds until the open event ends unless another alarm step
    // comes; negative when no event is open.
    double msUntilEnd() const;

signals:
    void eventStarted(const vigilux::events::MotionEvent& event);
    void fileAdded(const vigilux::events::MotionEvent& event, const QString& path);
    void eventEnding(const vigilux::events::MotionEvent& event);
    void eventEnded(const vigilux::events::MotionEvent& event);

private:
    bool gapPassed(double nowMs) const;
    void end();

    platform::Clock& m_clock;
    int m_gapSeconds = DefaultGapSeconds;
    MotionEvent m_event;
    bool m_open = false;
    bool m_ending = false;
    int m_count = 0;
    int m_stepObjects = 0;
    int m_stepLargest = 0;
};

} // namespace vigilux::events
