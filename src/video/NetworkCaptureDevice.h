#pragma once

#include "video/CaptureDevice.h"
#include "video/CaptureSource.h"
#include "video/FrameHandover.h"
#include "video/NetworkStream.h"

#include <QDateTime>

#include <memory>
#include <thread>

namespace vigilux::video {

// A network camera as a capture device: RTSP, MJPEG over HTTP or a JPEG
// snapshot address polled every source.snapshotIntervalMs (an address that
// answers with single pictures is polled every second when no interval is
// set).
//
// A decoder thread of its own reads and decodes (NetworkStream) and hands
// each frame over; the UI thread takes the newest one through the event
// loop, so it never waits on the network and never delivers a frame twice
// (frames it had no time for are dropped, the newest wins).
//
// It keeps watching by itself: a stream that ends or stalls is opened again
// after 0.5 s, the wait doubling up to 30 s, reset once frames flow. The
// device therefore never emits deviceLost(); it reports through state()
// and stateChanged() instead. A refused login (or access) is not retried:
// the device waits in LoginRefused until setCredentials() or a new
// connectDriver().
//
// Threading: all members are called on the UI thread. disconnectDriver()
// and the destructor stop the decoder thread and wait for it, which takes
// at most about 0.1 s plus one frame's decoding (every network wait is
// interruptible).
class NetworkCaptureDevice final : public video::CaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkCaptureDevice)
public:
    enum class State { Idle, Connecting, Streaming, Lost, LoginRefused };
    Q_ENUM(State)

    static constexpr int FirstRetryMs = 500;
    static constexpr int LastRetryMs = 30000;
    static constexpr int DefaultSnapshotMs = 1000;

    explicit NetworkCaptureDevice(video::CaptureSource source, NetworkLimits limits = {},
                                  QObject* parent = nullptr);
    ~NetworkCaptureDevice() override;

    // Starts the decoder thread and returns true at once for a usable
    // address (the first frame comes later, or state() turns Lost); false
    // only for an address that is no network camera address.
    bool connectDriver() override;
    void disconnectDriver() override;

    QSize videoSize() const override { return m_size; }
    bool setVideoSize(QSize size) override;
    QList<VideoFormat> videoFormats() const override;
    bool setVideoFormat(int index) override;
    QString name() const override;
    QString description() const override;

    // New login details: a device waiting after a refused login (or
    // running) starts over with them.
    void setCredentials(const QString& user, const QString& password);

    State state() const { return m_state; }
    // When the picture was last seen (the last frame, or the first failure
    // when none came); null unless state() is Lost or LoginRefused.
    QDateTime lostSince() const { return m_lostSince; }
    // Russian text of the last failure; empty while streaming.
    QString errorText() const { return m_errorText; }
    // The address with the password masked, for status texts and titles.
    QString maskedAddress() const { return m_source.maskedAddress(); }

    // Whole frames the decoder thread decoded, delivered or not.
    quint64 receivedFrames() const;

signals:
    void stateChanged(vigilux::video::NetworkCaptureDevice::State state);

protected:
    void previewSettingsChanged() override;

private:
    struct Shared;

    void startWorker();
    void stopWorker();
    void takeFrame(quint64 generation);
    void onSessionFailed(quint64 generation, StreamError error);
    void setState(State state);

    video::CaptureSource m_source;
    NetworkLimits m_limits;
    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
    quint64 m_generation = 0;          // of the running thread, to ignore a stopped one's reports
    std::vector<std::uint8_t> m_taken; // the frame taken from the thread
    QSize m_size;
    QString m_pixelName;
    State m_state = State::Idle;
    qint64 m_lastFrameMs = 0; // of the last session, ms since the epoch
    QDateTime m_lostSince;
    QString m_errorText;
};

} // namespace vigilux::video
