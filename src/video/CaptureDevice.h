#pragma once

#include "video/FrameHeader.h"
#include "video/FrameLayout.h"
#include "video/RateGate.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

namespace vigilux::video {

// A source of video frames driven like a capture window: connect the
// driver, switch the preview on, set the preview rate, install a frame
// callback; read and write the video format; save the current frame.
//
// Threading: everything runs on the UI thread. Frames arrive through the
// event loop (a timer or a video sink signal), never inside a call made on
// the device, so a callback may call back into the device safely.
//
// Lifetime: the device owns its platform objects; destroying it
// disconnects. The frame buffer handed to the callback is reused for every
// frame and is valid only during the call. The callback must not destroy
// the device (use deleteLater); it may call any other operation.
//
// Frames flow only while the device is connected AND the preview is on.
// The preview flag survives connect/disconnect and starts off, as with the
// capture window (the caller switches it on after connecting).
class CaptureDevice : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CaptureDevice)
public:
    using FrameCallback = std::function<void(const FrameHeader&)>;

    // One capture format as the format dialog lists it.
    struct VideoFormat {
        QSize size;
        QString pixelFormat;
        double maxFrameRate = 0;
    };

    explicit CaptureDevice(QObject* parent = nullptr);
    ~CaptureDevice() override;

    // Opens the device and starts producing frames. Returns false, without
    // any message, when the device cannot be opened. Connecting while
    // connected returns true and changes nothing.
    virtual bool connectDriver() = 0;
    // Stops the device. Harmless when not connected.
    virtual void disconnectDriver() = 0;
    bool isConnected() const { return m_connected; }

    // Frames reach the callback and the preview only while this is on.
    void setPreview(bool on);
    bool previewing() const { return m_preview; }

    // On average at most one frame per `ms` reaches the callback and the
    // preview; the others are dropped before they are copied. Small arrival
    // jitter is absorbed, so a rate equal to the source's frame interval
    // passes every frame. Values below 1 are taken as 1.
    void setPreviewRate(int ms);
    int previewRate() const { return m_gate.interval(); }

    // Called for every delivered frame. An empty function removes it.
    void setFrameCallback(FrameCallback callback);

    // Current capture size (empty when not yet known, e.g. a video file
    // before its first frame).
    virtual QSize videoSize() const = 0;
    // Switches to the given size if the device offers it; returns false and
    // leaves the current format in force otherwise.
    virtual bool setVideoSize(QSize size) = 0;

    // The formats the device offers, for the format dialog, and applying one
    // of them by index (false for an index out of range or a refused format).
    virtual QList<VideoFormat> videoFormats() const = 0;
    virtual bool setVideoFormat(int index) = 0;

    // The latest delivered frame, converted on request; null before the
    // first frame.
    virtual QImage currentFrame(QImage::Format format = QImage::Format_RGB888) const;

    // The latest delivered frame as the device keeps it, unconverted: its
    // layout (invalid before the first frame) and its bytes (null before the
    // first frame). The bytes stay valid until the next frame or a format
    // change; inside the frame callback they are the frame being delivered.
    const FrameLayout& frameLayout() const { return m_layout; }
    const uchar* frameData() const { return m_haveFrame ? m_buffer.data() : nullptr; }

    // Writes the latest delivered frame as a 24-bit BMP. False when there is
    // no frame yet or the file cannot be written.
    bool saveBitmap(const QString& path) const;

    // Short name and a longer description for the source dialog.
    virtual QString name() const = 0;
    virtual QString description() const = 0;

    // Number of frames handed to the callback since construction.
    quint64 deliveredFrames() const { return m_delivered; }

signals:
    // A new frame is ready for the preview widget (read currentFrame()).
    void framePresented();
    // The device stopped on its own after a successful connectDriver (camera
    // unplugged, file turned out unplayable). It is disconnected by then.
    void deviceLost();

protected:
    // Connection bookkeeping for implementations: starts the capture clock
    // and resets the preview-rate gate.
    void setConnected(bool connected);

    // True when a frame arriving now should be delivered: connected, preview
    // on and due by the preview rate. Implementations call it before doing
    // any work on a frame; a true answer commits the slot.
    bool takeFrameSlot();
    // Frames are wanted at all: connected and the preview on. For devices
    // that apply the preview rate themselves, on the frames' own times.
    bool deliveryOpen() const { return m_connected && m_preview; }
    // The preview flag or rate changed (on the UI thread).
    virtual void previewSettingsChanged() {}

    // The reused frame buffer, grown to at least `bytes` (it never shrinks,
    // so steady state does not allocate).
    uchar* frameBuffer(qsizetype bytes);

    // Hands the frame now in the buffer to the callback and signals the
    // preview. `layout.bytes` is the number of bytes used.
    void publishFrame(const FrameLayout& layout);
    // The same for a frame filled elsewhere: `bytes` is swapped with the
    // reused buffer (no copy) and holds the previous frame's buffer after.
    void publishFrame(std::vector<uchar>& bytes, const FrameLayout& layout);

    // Forgets the latest frame (after a format change or disconnect).
    void clearFrame();

    qint64 msSinceConnect() const;

private:
    bool m_connected = false;
    bool m_preview = false;
    FrameCallback m_callback;
    bool m_inCallback = false;
    bool m_callbackReplaced = false;
    std::vector<uchar> m_buffer;
    FrameLayout m_layout;
    bool m_haveFrame = false;
    QElapsedTimer m_clock;
    RateGate m_gate; // the preview rate, on arrival times
    quint64 m_delivered = 0;
};

} // namespace vigilux::video
