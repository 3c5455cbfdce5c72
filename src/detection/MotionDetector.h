#pragma once

#include "detection/CacheLineAllocator.h"
#include "detection/ObjectDetector.h"
#include "detection/SpeedMeter.h"
#include "video/FrameHeader.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <span>

namespace vigilux {
struct AppContext;
}

namespace vigilux::detection {

class LevelIndicator;
class PreviewRateTarget;

// The motion detector of the capture control. Each tick of the detector timer
// asks for one frame; the next frame the capture device hands to onFrame is
// copied into the frame buffer and compared with the previous sample
// (startDetector), which raises speedChanged, similarityChanged and, while
// watch mode is on, alarm, in that order, through direct connections: the
// handlers (and the save after an alarm) run inside the step, before the next
// frame is taken.
//
// It decides in one of two ways. The byte compare works on raw bytes only
// and never interprets pixels. The object detector looks at every frame it
// is shown (observe()), learns the scene and follows moving objects; a step
// then reports the largest moving share since the last step and alarms
// when an object was confirmed meanwhile. UI thread only: timer
// ticks and frame callbacks arrive on the same thread, so nothing is locked.
// The context, indicator and preview-rate target must outlive the detector.
class MotionDetector final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MotionDetector)

public:
    static constexpr int kDefaultInterval = 500; // ms, the detector timer at creation
    static constexpr qint16 kIdlePreviewRate = 30;

    explicit MotionDetector(AppContext& context, QObject* parent = nullptr);
    ~MotionDetector() override;

    enum class Kind { ByteCompare, Objects };
    // Takes effect at once; the object detector starts learning afresh.
    void setKind(Kind kind);
    Kind kind() const { return m_kind; }
    void setObjectSettings(const ObjectDetectorSettings& settings);
    void setObjectMask(const QImage& mask);
    // A frame for the object detector (every frame the source delivers,
    // timed by a steady clock); ignored by the byte compare and while not
    // detecting.
    void observe(const uchar* data, qsizetype bytes, const video::FrameLayout& layout,
                 std::int64_t timeMs);
    // What the object detector saw since the step before the last: the
    // objects of the frame that alarmed, or of the latest frame.
    const ObjectStep& objects() const { return m_stepObjects; }

    // Seams to the rest of CaptureControl; each may be left unset (nullptr / empty).
    void setIndicator(LevelIndicator* indicator) { m_indicator = indicator; }
    void setPreviewRateTarget(PreviewRateTarget* target) { m_previewRate = target; }
    // Frame saving: called after the alarm(true) handlers have returned, when
    // saving on alarm is on and the detector settings window is not open.
    void setSaveFrame(std::function<void()> saveFrame) { m_saveFrame = std::move(saveFrame); }

    // The detector timer's tick: asks for the next frame, nothing else.
    void onDetectorTick() { m_grabRequest = true; }

    // The capture device's frame callback; always returns 0. Takes the frame
    // only when a tick asked for one. Frames with no bytes are not samples:
    // the request stays for the next frame. At most min(bytesUsed,
    // bufferLength) bytes are read from data.
    int onFrame(const video::FrameHeader& header);
    // The same for a frame that lies in pieces (the rows of a decoder's
    // planes, replay): the pieces, in order, are the frame's bytes, and
    // header.bytesUsed must count them all (header.data is not read). The
    // byte compare reads them where they lie, so the frame is never packed
    // into a buffer of its own first.
    struct Piece {
        const uchar* data = nullptr;
        std::size_t size = 0;
    };
    int onFrame(const video::FrameHeader& header, std::span<const Piece> pieces);

    // One detector step on the frame buffer. Does nothing while the buffer is
    // empty (no frame sampled yet): there is nothing to compare.
    void startDetector();

    // The next step re-reads the frame buffer's length and compares against
    // an all-zero previous frame.
    void formatChanged();

    // Capture start and the format/source dialogs call this: the next step
    // never raises alarm(true) and does not move the indicator.
    void clearPrimed() { m_primed = false; }

    void setLevelMaximum(qint32 threshold);
    void setDetectorInterval(qint16 ms);
    void setNoiseTolerance(qint16 noise) { m_noise = noise; }
    void setSimilarityThreshold(qint16 amount);
    void setDetecting(bool start);
    void setPreviewRate(qint16 ms);

    // State, read by CaptureControl, calibration and tests.
    QTimer& detectorTimer() { return m_timer; }
    SpeedMeter& speedMeter() { return m_speed; }
    bool primed() const { return m_primed; }
    bool grabRequest() const { return m_grabRequest; }
    bool bufferSized() const { return m_bufferSized; }
    const video::FrameHeader& videoHeader() const { return m_header; }
    const FrameBytes& frameBuffer() const { return m_frameBuffer; }
    std::size_t frameLength() const { return m_frameLength; }
    std::uint64_t unchangedCount() const { return m_unchanged; }
    qint32 similarity() const { return m_similarity; }
    qint16 detectorInterval() const { return m_interval; }
    qint16 noiseTolerance() const { return m_noise; }
    qint16 similarityThreshold() const { return m_threshold; }

    // Similarity percent of `unchanged` bytes out of `n` (n > 0), rounded to
    // the nearest integer with halves to even.
    static qint32 similarityPercent(std::uint64_t unchanged, std::size_t n);

signals:
    void speedChanged(qint16 speed);
    void similarityChanged(qint32 similarity);
    void alarm(bool motion);

private:
    // How many bytes of the frame a callback takes (0: none); takeFrame
    // then sizes the frame buffer for them and ends the grab request.
    std::size_t takenBytes(const video::FrameHeader& header) const;
    void takeFrame(const video::FrameHeader& header, std::size_t n);
    // The step; with `pieces`, the byte compare reads the frame from them
    // and leaves it in the frame buffer, which then also stands for the
    // previous frame (m_previousInBuffer).
    void step(std::span<const Piece> pieces);
    // Makes m_previous the previous frame again before the frame buffer is
    // written or compared with it.
    void restorePrevious();
    int timerIntervalMs() const;
    // The source's frame interval for a detector interval: the object
    // detector looks at ten frames a second at least.
    qint16 previewRateFor(int intervalMs) const;

    AppContext& m_context;
    LevelIndicator* m_indicator = nullptr;
    PreviewRateTarget* m_previewRate = nullptr;
    std::function<void()> m_saveFrame;
    QTimer m_timer;
    SpeedMeter m_speed;

    // Sampling state.
    FrameBytes m_frameBuffer;
    video::FrameHeader m_header; // data is stale once the callback returned
    bool m_bufferSized = false;
    bool m_grabRequest = false;
    bool m_primed = false;
    bool m_inStep = false; // a step's handlers are running

    // Detector state. The frame buffer itself is this step's frame: the
    // compare pass reads it directly and stores it as the previous frame.
    std::size_t m_frameLength = 0;
    FrameBytes m_previous;
    // After a step from pieces the frame buffer holds the previous frame and
    // m_previous is stale: one buffer, one pass over memory per step.
    bool m_previousInBuffer = false;
    std::uint64_t m_unchanged = 0;
    qint32 m_similarity = 0;
    qint16 m_interval = kDefaultInterval;
    qint16 m_noise = 0;
    qint16 m_threshold = 0;

    Kind m_kind = Kind::ByteCompare;
    bool m_detecting = false;
    ObjectDetector m_objects;
    ObjectStep m_latestObjects; // since the last step: the latest, or the one that alarmed
    ObjectStep m_stepObjects;   // what the last step reported
    bool m_objectAlarm = false;
    int m_objectChanged = 0;
};

} // namespace vigilux::detection
