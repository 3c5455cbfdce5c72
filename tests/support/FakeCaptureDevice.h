#pragma once

#include "video/CaptureDevice.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

namespace vigilux::test {

// A capture device driven by the test. Frames are pushed by the test and
// delivered at once, synchronously, when the device is connected and the
// preview is on; the preview rate is recorded but not applied, so tests do
// not depend on time. Connection results and accepted sizes are scripted;
// calls are counted.
class FakeCaptureDevice final : public video::CaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeCaptureDevice)
public:
    explicit FakeCaptureDevice(QObject* parent = nullptr);

    // Script.
    bool connectResult = true;
    QList<QSize> acceptedSizes{QSize(640, 480), QSize(320, 240)};
    QSize size{640, 480};
    // Sizes the format list shows; empty = acceptedSizes. Lets a test list a
    // size the device then refuses.
    QList<QSize> listedSizes;

    // Record.
    int connectCalls = 0;
    int disconnectCalls = 0;
    QList<QSize> setVideoFormatCalls;

    bool connectDriver() override;
    void disconnectDriver() override;
    QSize videoSize() const override { return size; }
    bool setVideoSize(QSize size) override;
    QList<VideoFormat> videoFormats() const override;
    bool setVideoFormat(int index) override;
    QString name() const override;
    QString description() const override;

    // Delivers `bytes` as one frame; true when it reached the callback.
    // Bytes of exactly width x height x 3 are taken as RGB24 (so
    // currentFrame() and saveBitmap() work); other lengths are delivered
    // as opaque bytes.
    bool pushFrame(const QByteArray& bytes);
    // Delivers the image, converted to RGB24 at its own size.
    bool pushFrame(const QImage& image);
    // A frame of the current size filled with one byte value.
    bool pushFilled(uchar value);

    // The device stops on its own, as an unplugged camera does.
    void loseDevice();
};

} // namespace vigilux::test
