#pragma once

#include "detection/PreviewRateTarget.h"
#include "pipeline/WatchPipeline.h"
#include "video/CameraHealthMonitor.h"
#include "video/CaptureCommands.h"
#include "video/CaptureSource.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace vigilux {
struct AppContext;
}
namespace vigilux::video {
class CaptureDevice;
}
namespace vigilux::controls {
class PushButton;
}

namespace vigilux::ui {

class PreviewWidget;
class MotionLevelBar;
class CaptureControlHost;

// The capture control: owns the capture device, shows its live preview,
// feeds the device's frames to the watch pipeline (detector, events,
// pictures, clips), shows the level indicator, offers
// the format and source dialogs and resolution changes, shows an offline
// picture with a retry button when no camera can be connected, and checks
// once after start whether the picture is only black. Reports to its owner
// through its signals. UI thread only.
class CaptureControl final : public QWidget,
                             public video::CaptureCommands,
                             public detection::PreviewRateTarget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CaptureControl)
public:
    using DeviceFactory =
        std::function<std::unique_ptr<video::CaptureDevice>(const video::CaptureSource&)>;

    // `factory` makes the device for a source (at start and when the source
    // dialog switches); `cameras` lists the machine's cameras for that dialog.
    CaptureControl(AppContext& context, CaptureControlHost& host, video::CaptureSource source,
                   DeviceFactory factory, std::function<QStringList()> cameras,
                   QWidget* parent = nullptr);
    ~CaptureControl() override;

    void startCapture();
    void stopCapture();
    void startBlackScreenCheck();
    bool isBlackScreen();
    // "Сделать снимок": the latest frame, saved now.
    void saveFrame();

    // CaptureCommands
    void chooseFormat() override;
    void chooseSource() override;
    // Switches to `source` (the stored one, loaded after the start), started
    // when capture was running; the same source again changes nothing.
    void useSource(const video::CaptureSource& source);
    bool setResolution(qint16 width, qint16 height, bool probing = false) override;
    void pausePreview(bool paused) override;

    // The detector's members, as the owner reaches them.
    void startDetector() { detector().startDetector(); }
    void formatChanged() { detector().formatChanged(); }
    void setLevelMaximum(qint32 threshold) { detector().setLevelMaximum(threshold); }
    void setDetectorInterval(qint16 ms) { detector().setDetectorInterval(ms); }
    void setNoiseTolerance(qint16 noise) { detector().setNoiseTolerance(noise); }
    void setSimilarityThreshold(qint16 amount) { detector().setSimilarityThreshold(amount); }
    void setPreviewRate(qint16 ms) override;

    // The watch pipeline the device's frames go through; watch mode starts
    // and stops it.
    pipeline::WatchPipeline& pipeline() { return m_pipeline; }
    detection::MotionDetector& detector() { return m_pipeline.detector(); }

    bool running() const { return m_running; }
    // True from a device error until the device works again: the reconnect
    // timer keeps trying, further apart each time.
    bool recovering() const { return m_recovering; }
    video::CaptureSource source() const { return m_source; }
    video::CaptureDevice* device() const { return m_device.get(); }
    MotionLevelBar& sensor() const { return *m_sensor; }
    QWidget& offlineWidget() const { return *m_offlineWidget; }
    controls::PushButton& retryButton() const { return *m_retry; }
    QTimer& reconnectTimer() { return m_reconnectTimer; }
    QTimer& blackScreenTimer() { return m_blackScreenTimer; }

    // The camera's health (lost, frozen, covered, restored) is watched on
    // whatever device is in use while this is on (watch mode).
    void setHealthWatched(bool on);
    video::CameraHealthMonitor& health() { return m_health; }
    PreviewWidget& preview() const { return *m_preview; }

    // The machine's cameras changed: a camera source that is not running
    // tries again at once (a camera plugged in after the start).
    void onCamerasChanged();

    // Timer handlers (public so tests need not wait).
    void onReconnectTick();
    void onBlackScreenCheck();

    // The offline picture: ours, drawn at run time.
    static QImage offlinePicture();

signals:
    // The user chose another source in the source dialog (to be stored).
    void sourceChosen(const vigilux::video::CaptureSource& source);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void useDevice(std::unique_ptr<video::CaptureDevice> device);
    void onDeviceLost();
    void onDeviceFrame(const video::FrameHeader& header);
    // A network camera's stream came or went (it reconnects by itself).
    void onNetworkState();
    // The device's preview rate: the one asked for, or faster while clips are on.
    void applyPreviewRate();
    void layoutChildren();

    AppContext& m_context;
    CaptureControlHost& m_host;
    video::CaptureSource m_source;
    DeviceFactory m_factory;
    std::function<QStringList()> m_cameras;
    std::unique_ptr<video::CaptureDevice> m_device;
    video::CameraHealthMonitor m_health; // after m_device: holds it weakly
    bool m_healthWatched = false;
    bool m_streamLost = false; // the network camera's stream, until it is back
    pipeline::WatchPipeline m_pipeline;
    int m_previewRateMs = 0; // asked for; 0: not yet set
    PreviewWidget* m_preview = nullptr;
    QWidget* m_offlineWidget = nullptr;
    controls::PushButton* m_retry = nullptr;
    MotionLevelBar* m_sensor = nullptr;
    QTimer m_reconnectTimer;
    QTimer m_blackScreenTimer;
    bool m_running = false;
    bool m_recovering = false;
    int m_failedReconnects = 0;
};

} // namespace vigilux::ui
