#pragma once

#include "capture/EventFramePolicy.h"
#include "capture/EventLog.h"
#include "capture/EventTracker.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QTimer>

namespace vigilux {
struct AppContext;
}

namespace vigilux::capture {

class FrameSaver;
class FrameSaverHost;
class MotionDetector;

// Watches one detector and its frame saving for motion events: feeds the
// tracker from the detector's steps, chooses which alarm frames are saved
// (the frames-per-event setting), writes the picture with the largest change
// when an event ends in that mode, collects the saved files of each event,
// and appends every ended event to events.csv in the save folder.
//
// Counted alarm steps feed the tracker: those raised while the detector
// settings window is not shown from the main window and no calibration
// runs (the steps the alarm counter counts). Connect it before anything else
// listens to the detector, so that listeners of the detector's alarm see the
// tracker already updated for that step (stepStartedEvent()).
//
// The capture control and the replay each own one. The recorder connects to
// its tracker first, so by the time other listeners hear eventEnding the
// largest-change picture is written, and by eventEnded the log line is.
// UI thread only; all references must outlive the recorder.
class EventRecorder final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventRecorder)
public:
    EventRecorder(AppContext& context, MotionDetector& detector, FrameSaver& saving,
                  FrameSaverHost& host, QObject* parent = nullptr);

    EventTracker& tracker() { return m_tracker; }
    const EventFramePolicy& policy() const { return m_policy; }

    // Watch mode switched on: settings are read again and numbering starts
    // from 1. Switched off (or the program ends): the open event ends and is
    // logged.
    void start();
    void stop();

    // The detector's saving hook: saves, skips or keeps this alarm frame as
    // the frames-per-event setting says. Without an open event (a step the
    // tracker does not count) the frame is saved as always.
    void saveAlarmFrame();

    // True from the alarm step that started an event until the next step.
    bool stepStartedEvent() const { return m_startedThisStep; }

    // In the live program detector steps may stop (camera lost), so a timer
    // also ends an event on time. The replay drives time itself.
    void setEndTimerEnabled(bool enabled) { m_endTimerEnabled = enabled; }

private:
    void applySettings();
    void onSimilarity(qint32 similarity);
    void onAlarm(bool motion);
    void onEventEnding();
    void onEventEnded(const MotionEvent& event);
    void armEndTimer();

    AppContext& m_context;
    FrameSaver& m_saving;
    FrameSaverHost& m_host;
    EventTracker m_tracker;
    EventFramePolicy m_policy;
    EventLog m_log;
    QTimer m_endTimer;
    bool m_endTimerEnabled = false;
    int m_change = 0; // changed share of the current step, percent
    bool m_startedThisStep = false;
    QImage m_largest; // the kept frame with the largest change
    QDateTime m_largestTime;
};

} // namespace vigilux::capture
