#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace vigilux::events {
class EventTracker;
struct MotionEvent;
} // namespace vigilux::events
namespace vigilux::recording {

class ClipRecorder;

// Ties a clip recorder to motion events: a clip starts with an event's first
// alarm step (PreRoll seconds of video before it come from the recorder's
// buffer), each later step of the event keeps it going, and once the event
// has ended the clip runs on until PostRoll seconds after the last step.
// Every clip file is named in its event (MotionEvent::clips, hence in the
// event log line), and a finished clip is announced by clipSaved only after
// its event has ended, so that an upload sends it after the event's frames.
//
// Times are those of the recorder's latest frame: the detector examines the
// frame just handed to the recorder, so the clip and the alarm steps share
// the capture clock. Connect onAlarm to the detector after the event
// recorder, so the tracker has counted the step already. UI thread only;
// both references must outlive this object.
class EventClips final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventClips)
public:
    EventClips(ClipRecorder& clips, events::EventTracker& tracker, QObject* parent = nullptr);

    // Whether events get clips; switched off, the clip being recorded ends.
    void setEnabled(bool on);
    bool enabled() const { return m_enabled; }

    // The detector's alarm output of one step.
    void onAlarm(bool motion);

signals:
    // A clip is complete on disk and its event has ended.
    void clipSaved(const QString& path);

private:
    void onEventStarted();
    void onEventEnded();
    void onClipStarted(const QString& path);
    void onClipFinished(const QString& path);

    ClipRecorder& m_clips;
    events::EventTracker& m_tracker;
    bool m_enabled = false;
    bool m_inEvent = false;   // an event is open and its clip follows it
    int m_steps = 0;          // steps of the open event seen so far
    QStringList m_eventClips; // files started for the open event
    QStringList m_held;       // of those, finished before the event ended
};

} // namespace vigilux::recording
