#pragma once

#include "capture/ClipRecorder.h"
#include "capture/EventClips.h"
#include "capture/EventRecorder.h"
#include "capture/FrameSaver.h"
#include "capture/MotionDetector.h"
#include "capture/PreviewRateTarget.h"
#include "platform/CaptureCommands.h"
#include "platform/CaptureSource.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace vigilux {
struct AppContext;
}
namespace vigilux::controls {
class PushButton;
}
namespace vigilux::platform {
class CaptureDevice;
}

namespace vigilux::capture {

class PreviewWidget;
class MotionLevelBar;
class CaptureControlHost;

// The capture control: owns the capture device, shows its live preview,
// hosts the motion detector, frame saving and the level indicator, offers
// the format and source dialogs and resolution changes, shows an offline
// picture with a retry button when no camera can be connected, and checks
// once after start whether the picture is only black. Reports to its owner
// through its signals. UI thread only.
class CaptureControl final : public QWidget,
                             public platform::CaptureCommands,
                             public FrameSaverHost,
                             public PreviewRateTarget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CaptureControl)
public:
    using DeviceFactory =
        std::function<std::unique_ptr<platform::CaptureDevice>(const platform::CaptureSource&)>;

    // `factory` makes the device for a source (at start and when the source
    // dialog switches); `cameras` lists the machine's cameras for that dialog.
    CaptureControl(AppContext& context, CaptureControlHost& host, platform::CaptureSource source,
                   DeviceFactory factory, std::function<QStringList()> cameras,
                   QWidget* parent = nullptr);
    ~CaptureControl() override;

    void startCapture();
    void stopCapture();
    void startBlackScreenCheck();
    bool isBlackScreen();
    void saveFrame();

    // CaptureCommands
    void chooseFormat() override;
    void chooseSource() override;
    bool setResolution(qint16 width, qint16 height, bool probing = false) override;
    void pausePreview(bool paused) override;

    // The detector's members, as the owner reaches them.
    void startDetector() { m_detector.startDetector(); }
    void formatChanged() { m_detector.formatChanged(); }
    void setLevelMaximum(qint32 threshold) { m_detector.setLevelMaximum(threshold); }
    void setDetectorInterval(qint16 ms) { m_detector.setDetectorInterval(ms); }
    void setNoiseTolerance(qint16 noise) { m_detector.setNoiseTolerance(noise); }
    void setSimilarityThreshold(qint16 amount) { m_detector.setSimilarityThreshold(amount); }
    // Watch mode on (the clip settings are read again) or off (an open
    // event ends and is logged, then its clip is closed).
    void setDetecting(bool start);
    void setPreviewRate(qint16 ms) override;

    // Event clips: while on and watching, delivered frames go to the clip
    // recorder, motion events get their clips, and the device delivers at
    // least the clips' frame rate whatever preview rate the detector asks for.
    void setClips(bool on, const ClipOptions& options);
    bool clipsOn() const { return m_clipsOn; }
    ClipRecorder& clips() { return m_clips; }

    bool running() const { return m_running; }
    // True from a device error until the device works again: the reconnect
    // timer keeps trying, further apart each time.
    bool recovering() const { return m_recovering; }
    platform::CaptureSource source() const { return m_source; }
    platform::CaptureDevice* device() const { return m_device.get(); }
    MotionDetector& detector() { return m_detector; }
    FrameSaver& saving() { return m_saving; }
    // Motion events of this detector; feeds on its steps, decides its saves.
    EventRecorder& events() { return m_events; }
    MotionLevelBar& sensor() const { return *m_sensor; }
    QWidget& offlineWidget() const { return *m_offlineWidget; }
    controls::PushButton& retryButton() const { return *m_retry; }
    QTimer& reconnectTimer() { return m_reconnectTimer; }
    QTimer& blackScreenTimer() { return m_blackScreenTimer; }

    // Timer handlers (public so tests need not wait).
    void onReconnectTick();
    void onBlackScreenCheck();

    // The offline picture: ours, drawn at run time.
    static QImage offlinePicture();

signals:
    void alarm(bool value);
    void similarityChanged(qint32 value);
    void speedChanged(qint16 value);
    void imageFormatChanged(const QString& value);
    void frameSaved(const QString& path);
    // An event clip is complete and its event has ended.
    void clipSaved(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // FrameSaverHost
    QImage currentFrame() override;
    void showSavingIndicator() override;
    void startIndicatorHideTimer() override;
    void toggleWatching() override;
    void playSound(const QString& path) override;
    void showStatus(const QString& text) override;

    void useDevice(std::unique_ptr<platform::CaptureDevice> device);
    void onDeviceLost();
    void onDeviceFrame(const platform::FrameHeader& header);
    // The device's preview rate: the one asked for, or faster while clips are on.
    void applyPreviewRate();
    void layoutChildren();

    AppContext& m_context;
    CaptureControlHost& m_host;
    platform::CaptureSource m_source;
    DeviceFactory m_factory;
    std::function<QStringList()> m_cameras;
    std::unique_ptr<platform::CaptureDevice> m_device;
    MotionDetector m_detector;
    FrameSaver m_saving;
    ClipRecorder m_clips; // after m_saving: it holds files in the saver's rotation
    bool m_clipsOn = false;
    int m_previewRateMs = 0; // asked for; 0: not yet set
    EventRecorder m_events;  // after detector and saving: it connects to both
    EventClips m_eventClips; // after m_events: hears its tracker and alarms after it
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

} // namespace vigilux::capture
