#pragma once

#include "recording/ClipWriter.h"
#include "recording/FileRotation.h"
#include "recording/PreRollBuffer.h"

#include <QObject>
#include <QString>

#include <cstdint>

namespace vigilux {
struct AppContext;
}
namespace vigilux::core {
struct Settings;
}

namespace vigilux::recording {

// What the clips of events are made of.
struct ClipOptions {
    int preRollSeconds = 2;   // video kept from before the first alarm step, 0..10
    int postRollSeconds = 10; // video kept after the last alarm step (the event gap)
    int maxFps = 10;          // frames a second at most; a slower device gives fewer
    int maxClipMinutes = 10;  // a longer clip is closed and the next one started

    ClipOptions clamped() const;
    // The clip settings of the settings record.
    static ClipOptions fromSettings(const core::Settings& s);
};

// Records a video clip of every event: from PreRoll seconds before its first
// alarm step to PostRoll seconds after its last one, at the capture size and
// the device's frame rate capped by maxFps. The clip goes into the save
// folder (the day folder when frames get one) with a time-stamped name like
// the frames' and the extension ".mp4"; it counts against the file limit
// like a frame.
//
// All times are milliseconds of the capture clock (the frame header's
// capture time); the wall clock of the context only names the files.
//
// Failures (no save folder, a full disk, an encoder error) end the clip with
// one message, keep what plays of it (a file without a playable frame is
// removed), and never reach the caller as anything else: the next event gets
// a new clip. UI thread only.
class ClipRecorder final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ClipRecorder)
public:
    explicit ClipRecorder(AppContext& context, QObject* parent = nullptr);
    ~ClipRecorder() override; // ends the clip being recorded

    // Takes effect at once; a changed pre-roll empties the buffer.
    void setOptions(const ClipOptions& options);
    const ClipOptions& options() const { return m_options; }

    // The rotation of the folder the frames are saved in, so one file limit
    // and one upload guard cover frames and clips; without one the recorder
    // rotates on its own. It must outlive the recorder.
    void setRotation(FileRotation* rotation) { m_rotation = rotation ? rotation : &m_ownRotation; }

    // Whether a frame taken at `ms` would be kept (the frame-rate cap), so
    // a caller can skip preparing frames that would be dropped.
    bool wantsFrameAt(std::int64_t ms) const;
    // A frame as the capture device delivered it, taken at `ms`.
    void addFrame(const uchar* data, const video::FrameLayout& layout, std::int64_t ms);
    // An alarm step at `ms`: starts a clip unless one is being recorded, and
    // keeps it going until `ms` + PostRoll.
    void alarmStep(std::int64_t ms);
    // An event's first alarm step at `ms`: the clip still running on after
    // the last event ends here, and a new one starts. Until endEvent() the
    // clip stays open: frames more than PostRoll after the latest step are
    // left out, and a later step of the event brings back what the buffer
    // still holds from PreRoll before it.
    void startEvent(std::int64_t ms);
    // The event is over: the clip ends PostRoll after its last step.
    void endEvent();
    // The time of the latest frame handed in (0 before the first).
    std::int64_t lastFrameMs() const { return m_haveLast ? m_lastMs : 0; }
    // Ends the clip being recorded now and forgets the pre-roll (watching
    // stopped, the program is closing).
    void stop();

    bool isRecording() const { return m_state == State::Recording; }
    // The file of the clip being (or last) recorded; empty before the first.
    QString clipPath() const { return m_path; }
    const PreRollBuffer& preRoll() const { return m_preRoll; }

signals:
    // A clip file was created (its first frame is being written).
    void clipStarted(const QString& path);
    // A clip file was closed; also after a failure, if a frame of it plays.
    void clipFinished(const QString& path);
    // A started clip ended early on a write error (a full disk), before
    // clipFinished; `removed`: no frame of it played, so the file is gone
    // and no clipFinished follows.
    void clipCut(const QString& path, bool removed);
    // One line for the status line: why a clip ended early or never began.
    void status(const QString& text);

private:
    enum class State { Idle, Recording, Failed };

    bool rateAllows(std::int64_t ms);
    // Starts a clip named after the wall clock now (no file until its first frame).
    void begin(std::int64_t ms);
    bool writeFrame(const PreRollBuffer::Frame& frame);
    bool openFile(const PreRollBuffer::Frame& frame);
    void finish();
    void fail(const QString& detail);
    // The open clip was closed after a write error: kept when a frame of
    // it plays, removed otherwise.
    void reportCut(const QString& detail);
    // Closes the file and lets rotation have it again; fails when closing did.
    core::Status closeFile();

    AppContext& m_context;
    ClipOptions m_options;
    PreRollBuffer m_preRoll;
    FileRotation m_ownRotation;
    FileRotation* m_rotation = &m_ownRotation;
    ClipWriter m_writer;
    State m_state = State::Idle;
    QString m_path;             // the clip being recorded
    QDateTime m_startedAt;      // wall-clock time the clip is named after...
    std::int64_t m_startMs = 0; // ...and the same moment on the capture clock
    std::int64_t m_endMs = 0;   // last alarm step + PostRoll
    std::int64_t m_firstMs = 0; // first frame of the clip
    QSize m_clipSize;           // format of the clip's frames
    video::FrameLayout::Pixel m_clipPixel = video::FrameLayout::Pixel::Unknown;
    double m_nextDueMs = 0; // frame-rate cap
    bool m_haveDue = false;
    std::int64_t m_lastMs = 0; // latest frame, to notice a restarted capture clock
    bool m_haveLast = false;
    bool m_eventOpen = false; // between startEvent() and endEvent()
};

} // namespace vigilux::recording
