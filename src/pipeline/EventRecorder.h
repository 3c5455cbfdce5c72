#pragma once

#include "events/EventFramePolicy.h"
#include "events/EventLog.h"
#include "events/EventTracker.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QTimer>

namespace vigilux {
struct AppContext;
}
namespace vigilux::recording {
class FrameSaver;
}

namespace vigilux::pipeline {

// The event stage of the watch pipeline: feeds the tracker from the
// detector's steps, chooses which alarm frames are saved (the
// frames-per-event setting), writes the picture with the largest change when
// an event ends in that mode, collects the saved files of each event, and
// appends every ended event to events.csv in the save folder.
//
// Counted alarm steps feed the tracker: those raised while the detector
// settings window is not shown from the main window and no calibration runs
// (the steps the alarm counter counts). The watch pipeline calls onStep and
// onAlarm before anything else hears of a step, so later stages see the
// tracker already updated (stepStartedEvent()). The recorder hears its own
// tracker before anyone else: by the time others hear eventEnding the
// largest-change picture is written (the saver's queue is waited for, at
// most EventEndWaitMs), and by eventEnded the log line is.
// UI thread only; the context and saver must outlive the recorder.
class EventRecorder final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventRecorder)
public:
    EventRecorder(AppContext& context, recording::FrameSaver& saving, QObject* parent = nullptr);

    // How long an ending event waits for its pictures still being written.
    static constexpr int EventEndWaitMs = 3000;

    events::EventTracker& tracker() { return m_tracker; }
    const events::EventTracker& tracker() const { return m_tracker; }
    const events::EventFramePolicy& policy() const { return m_policy; }

    // Watch mode switched on: settings are read again and numbering starts
    // from 1. Switched off (or the program ends): the open event ends and is
    // logged.
    void start();
    void stop();

    // One detector step: its similarity, then its alarm output.
    void onStep(qint32 similarity);
    void onAlarm(bool motion);
    // A picture of the pipeline's saver is in place.
    void onPictureSaved(const QString& path) { m_tracker.addSavedFile(path); }

    // Saves, skips or keeps this step's alarm picture as the
    // frames-per-event setting says. Without an open event (a step the
    // tracker does not count) the picture is saved as always.
    void saveAlarmFrame(QImage picture);

    // True from the alarm step that started an event until the next step.
    bool stepStartedEvent() const { return m_startedThisStep; }

    // In the live program detector steps may stop (camera lost), so a timer
    // also ends an event on time. The replay drives time itself.
    void setEndTimerEnabled(bool enabled) { m_endTimerEnabled = enabled; }

signals:
    // One line for the status line (the log could not be written).
    void status(const QString& text);

private:
    void applySettings();
    void onEventEnding();
    void onEventEnded(const events::MotionEvent& event);
    void armEndTimer();

    AppContext& m_context;
    recording::FrameSaver& m_saving;
    events::EventTracker m_tracker;
    events::EventFramePolicy m_policy;
    events::EventLog m_log;
    QTimer m_endTimer;
    bool m_endTimerEnabled = false;
    int m_change = 0; // changed share of the current step, percent
    bool m_startedThisStep = false;
    QImage m_largest; // the kept frame with the largest change
    QDateTime m_largestTime;
};

} // namespace vigilux::pipeline
