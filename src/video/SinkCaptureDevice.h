#pragma once

#include "video/CaptureDevice.h"

#include <QVideoFrame>
#include <QVideoSink>

namespace vigilux::video {

// Common part of the devices fed by Qt Multimedia: frames reach a
// QVideoSink (on the UI thread, through the event loop), are dropped at
// once when the preview rate says so, and otherwise are mapped read-only
// and copied plane by plane into the reused frame buffer.
class SinkCaptureDevice : public CaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SinkCaptureDevice)
public:
    QImage currentFrame(QImage::Format format = QImage::Format_RGB888) const override;

    static FrameLayout::Pixel pixelOf(QVideoFrameFormat::PixelFormat format);

protected:
    explicit SinkCaptureDevice(QObject* parent = nullptr);
    ~SinkCaptureDevice() override;

    QVideoSink* sink() { return &m_sink; }
    // Size of the last frame the sink received, delivered or not.
    QSize lastFrameSize() const { return m_lastSize; }
    QVideoFrameFormat::PixelFormat lastPixelFormat() const { return m_lastPixel; }
    void forgetFrames();

private:
    void onFrame(const QVideoFrame& frame);

    QVideoSink m_sink;
    QSize m_lastSize;
    QVideoFrameFormat::PixelFormat m_lastPixel = QVideoFrameFormat::Format_Invalid;
    // Kept only for pixel formats we cannot convert ourselves, so
    // currentFrame() can still ask Qt to convert it.
    QVideoFrame m_unconvertible;
};

} // namespace vigilux::video
