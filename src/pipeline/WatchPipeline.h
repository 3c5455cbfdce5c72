#pragma once

#include "detection/MotionDetector.h"
#include "pipeline/EventJournal.h"
#include "pipeline/EventRecorder.h"
#include "recording/ClipRecorder.h"
#include "recording/EventClips.h"
#include "recording/FrameSaver.h"
#include "video/FrameHeader.h"
#include "video/FrameLayout.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <span>

namespace vigilux {
struct AppContext;
}

namespace vigilux::pipeline {

// A frame's whole way while watching, put together in one place:
//
//   source frame ─┬─► clip recorder: pre-roll, and the open event's clip
//                 ├─► object detector (every frame, when it decides)
//                 └─► detector step (a frame per detector tick)
//                        │ similarity, alarm
//                        ├─► event recorder: tracker, frames per event, events.csv
//                        ├─► event clips: an event's clip starts, goes on, ends
//                        ├─► outside listeners (labels, alarm actions, calibration)
//                        └─► saver, given the picture the detector judged
//                               └─► pictureSaved ─► upload queue, phone, "saved" mark
//   an event's clip, once its event has ended ─► clipSaved ─► upload queue, phone
//   the open event and every clip not yet handed over ─► event journal
//   eventStarted / eventEnded (tracker()) ─► phone messages, tray tip
//
// The order is fixed here, not by the order of connections elsewhere: a
// frame reaches the clip recorder before the detector, so an alarm it raises
// finds it in the pre-roll; the event recorder hears each step before the
// clips and before anyone outside, so they see the tracker already updated;
// an event's log line and last picture come before its clip.
//
// Live watching (the capture control), replay and the tests build one and
// feed it frames. start() and stop() are the only way watching begins and
// ends, and both are idempotent, so every event starts and ends exactly once
// however often the window is hidden, shown or resized. A capture restart is
// no stop: frames are timed by the context's steady clock, so a device that
// restarts its own clock does not cut the event's clip. UI thread only.
class WatchPipeline final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WatchPipeline)
public:
    explicit WatchPipeline(AppContext& context, QObject* parent = nullptr);
    ~WatchPipeline() override;

    // Watch mode on: the event and clip settings are read again, the alarm
    // count restarts, events are numbered from 1, the detector timer runs.
    void start();
    // Watch mode off, or the program ends: the open event ends (its last
    // picture and log line), then its clip is closed and announced.
    void stop();
    bool running() const { return m_running; }

    // A frame as the source delivered it: to the clips while watching, then
    // to the detector when its timer asked for one. `layout` describes the
    // bytes of `header`.
    void addFrame(const video::FrameHeader& header, const video::FrameLayout& layout);

    // For a caller that times the steps itself (replay): whether the clips
    // would keep a frame taken at `ms` (so a dropped one need not be
    // unpacked), a frame for the clips only, and a frame that is a detector
    // step whatever the timer says.
    bool clipsWantFrameAt(std::int64_t ms) const;
    void addClipFrame(const uchar* data, const video::FrameLayout& layout, std::int64_t ms);
    // Whether the detector wants to see every frame (the object detector),
    // and a frame for it, taken at `ms`; a step's frame too, before step().
    bool detectorWantsEveryFrame() const;
    void observeFrame(const uchar* data, const video::FrameLayout& layout, std::int64_t ms);
    void step(const video::FrameHeader& header, const video::FrameLayout& layout);
    // The same with a frame that lies in pieces, in order (the rows of a
    // decoder's planes): the detector reads them where they lie (see
    // MotionDetector::onFrame).
    void step(const video::FrameHeader& header, const video::FrameLayout& layout,
              std::span<const detection::MotionDetector::Piece> pieces);

    // "Сделать снимок": saves the picture given (the preview's latest frame).
    void saveSnapshot(const QImage& picture);

    // The journal of open events and clips (beside options.ini), so the next
    // start can finish what a kill leaves open; empty: none (replay).
    void setEventJournal(const QString& path) { m_journal.setPath(path); }

    // Live watching ends an event on time even when steps stop (a lost
    // camera); a replay drives time itself.
    void setEndTimerEnabled(bool enabled) { m_events.setEndTimerEnabled(enabled); }

    // The stages, for the window's readings and settings and for tests.
    detection::MotionDetector& detector() { return m_detector; }
    EventRecorder& events() { return m_events; }
    events::EventTracker& tracker() { return m_events.tracker(); }
    recording::FrameSaver& saver() { return m_saver; }
    recording::ClipRecorder& clips() { return m_clips; }
    bool clipsOn() const { return m_clipsOn; }

    // The [Detector] settings into the detector: its kind, the object
    // detector's values and the mask beside options.ini. Watch mode reads
    // them at its start; the detector windows after OK.
    void applyDetectorSettings();
    // The object detector's mask picture: beside options.ini.
    static QString maskFile(const AppContext& context);

    // Where the object detector's last alarm was: its objects' boxes in
    // the frame's pixels, for "ignore this area". Empty before one.
    struct AlarmArea {
        QSize frameSize;
        QList<QRect> boxes;
    };
    const AlarmArea& lastAlarmArea() const { return m_lastAlarmArea; }

signals:
    // One detector step, in this order, after the event stage has seen it.
    void speedChanged(qint16 speed);
    void similarityChanged(qint32 similarity);
    void alarm(bool motion);
    // A picture or an event's clip is complete on disk.
    void pictureSaved(const QString& path);
    void clipSaved(const QString& path);
    // The saver's progress, for the "saved" mark and the save sound.
    void savingStarted();
    void savingFinished();
    void soundRequested(const QString& path);
    void imageFormatChanged(const QString& value);
    // The save folder is gone while watching.
    void watchingMustStop();
    // One line for the status line, from any stage.
    void status(const QString& text);

private:
    void onSimilarity(qint32 similarity);
    void onAlarm(bool motion);
    void saveAlarmPicture();

    AppContext& m_context;
    detection::MotionDetector m_detector;
    recording::FrameSaver m_saver;
    EventRecorder m_events;
    EventJournal m_journal;
    recording::ClipRecorder m_clips;
    recording::EventClips m_eventClips;
    video::FrameLayout m_stepLayout; // layout of the frame the detector holds
    AlarmArea m_lastAlarmArea;
    bool m_running = false;
    bool m_clipsOn = false;
};

} // namespace vigilux::pipeline
