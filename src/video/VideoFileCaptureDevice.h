#pragma once

#include "video/CaptureDevice.h"
#include "video/FrameHandover.h"

#include <memory>
#include <thread>

namespace vigilux::video {

class VideoDecoder;

// A video file played as a camera: looped forever at the file's own rate,
// without sound. It has exactly one format, the file's own frame size.
//
// A thread of its own decodes the file with one decoder thread (the same
// decoding and packing as replay, so live watching and replay compare the
// same bytes), waits for each frame's time and hands it over; the UI
// thread takes the newest through the event loop, as from a network
// camera. The preview's rate is applied there, on the file's own frame
// times, so frames nobody takes are decoded but never packed or handed
// over. A machine too busy to keep up is not made to catch up in a burst:
// the clock restarts from the frame that was late.
//
// Threading: all members are called on the UI thread. disconnectDriver()
// and the destructor stop the thread and wait for it (at most one frame's
// decoding).
class VideoFileCaptureDevice final : public CaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoFileCaptureDevice)
public:
    explicit VideoFileCaptureDevice(QString path, QObject* parent = nullptr);
    ~VideoFileCaptureDevice() override;

    // False when the file is missing, unreadable or holds no video that
    // decodes (its first frame is decoded here). A file that stops decoding
    // later ends with deviceLost().
    bool connectDriver() override;
    void disconnectDriver() override;
    QSize videoSize() const override { return m_size; }
    bool setVideoSize(QSize size) override;
    QList<VideoFormat> videoFormats() const override;
    bool setVideoFormat(int index) override;
    QString name() const override;
    QString description() const override;

    const QString& path() const { return m_path; }

    // A frame late by more than this restarts the clock instead of being
    // followed by a burst of frames.
    static constexpr int MaxLateMs = 500;

protected:
    void previewSettingsChanged() override;

private:
    struct Shared;

    void startWorker(std::unique_ptr<VideoDecoder> decoder);
    void stopWorker();
    void takeFrame(quint64 generation);
    void onFailed(quint64 generation);

    QString m_path;
    QSize m_size;
    QString m_pixelName;
    double m_frameRate = 0;
    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    quint64 m_generation = 0;          // of the running thread, to ignore a stopped one's posts
    std::vector<std::uint8_t> m_taken; // the frame taken from the thread
};

} // namespace vigilux::video
