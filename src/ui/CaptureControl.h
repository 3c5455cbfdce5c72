#pragma once

#include "detection/PreviewRateTarget.h"
#include "pipeline/WatchPipeline.h"
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

    // The machine's cameras changed: a camera source that is not running
    // tries again at once (a camera plugged in after the start).
    void onCamerasChanged();

    // Timer handlers (public so tests need not wait).
    void onReconnectTick();
    void onBlackScreenCheck();

    // The offline picture: ours, drawn at run time.
    static QImage offlinePicture();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void useDevice(std::unique_ptr<video::CaptureDevice> device);
    void onDeviceLost();
    void onDeviceFrame(const video::FrameHeader& header);
    // The device's preview rate: the one asked for, or faster while clips are on.
    void applyPreviewRate();
    void layoutChildren();

    AppContext& m_context;
    CaptureControlHost& m_host;
    video::CaptureSource m_source;
    DeviceFactory m_factory;
    std::function<QStringList()> m_cameras;
    std::unique_ptr<video::CaptureDevice> m_device;
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
