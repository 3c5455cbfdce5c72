#pragma once

#include "video/CaptureDevice.h"

#include <QTimer>

#include <vector>

namespace vigilux::video {

// The demo scene: a still room seen by a slightly noisy camera, crossed by
// a figure for a few seconds every 20 to 30 seconds. Frames are RGB24 at
// 25 per second. The picture is a pure function of the seed, the format and
// the frame number, so tests can rely on it; it is the device used when the
// machine has no camera.
//
// Cost per delivered frame is one pass over the frame adding a slice of a
// precomputed noise table to a prerendered background, plus a blit of the
// prerendered figure; frames the preview rate would drop are not rendered.
class DemoCaptureDevice final : public CaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DemoCaptureDevice)
public:
    static constexpr int FrameIntervalMs = 40;
    static constexpr int CrossingFrames = 100; // 4 s in the picture
    static constexpr int MinGapFrames = 500;   // 20 s between crossing starts ...
    static constexpr int MaxGapFrames = 750;   // ... up to 30 s

    explicit DemoCaptureDevice(quint64 seed = 1, QObject* parent = nullptr);
    ~DemoCaptureDevice() override;

    bool connectDriver() override;
    void disconnectDriver() override;
    QSize videoSize() const override { return m_size; }
    bool setVideoSize(QSize size) override;
    QList<VideoFormat> videoFormats() const override;
    bool setVideoFormat(int index) override;
    QString name() const override;
    QString description() const override;

    static QList<QSize> supportedSizes();

    // Frame `frameIndex` (25 per second since connecting) of the current
    // format, written into `out`, which holds frameBytes() bytes.
    void renderFrame(quint64 frameIndex, uchar* out);
    qsizetype frameBytes() const;

    // The first frame of the crossing in progress or most recently finished
    // at `frameIndex`, or -1 before the first one; and whether the figure is
    // in the picture at that frame.
    qint64 crossingStart(quint64 frameIndex) const;
    bool figureVisible(quint64 frameIndex) const;

private:
    void onTick();
    void prepare();
    void blitFigure(quint64 frameIndex, qint64 start, uchar* out, int noiseOffset) const;

    quint64 m_seed;
    QSize m_size;
    QTimer m_timer;
    bool m_prepared = false;
    std::vector<uchar> m_background; // RGB24, values kept in 8..247
    std::vector<uchar> m_noise;      // small signed offsets stored modulo 256
    std::vector<uchar> m_figure;     // RGB24 sprite, values kept in 8..247
    std::vector<uchar> m_figureMask; // 1 where the sprite is opaque
    QSize m_figureSize;
};

} // namespace vigilux::video
