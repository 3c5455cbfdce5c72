#pragma once

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
// through five events. UI thread only.
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
           DeviceFactory factory, std::function<QStringList()> cameras, QWidget* parent = nullptr);
    ~CaptureControl() override;

    void WebcamStart();
    void WebcamStop();
    void BScheck();
    bool BlackScreen();
    void SaveFrame();

    // CaptureCommands
    void WebcamFormat() override;
    void WebcamOptions() override;
    bool SetRes(qint16 xWith, qint16 xHeight, bool Detect = false) override;
    void PrePause(bool Pause) override;

    // The detector's members, as the owner reaches them.
    void StartSensor() { m_detector.StartSensor(); }
    void NewFormat() { m_detector.NewFormat(); }
    void SensorNewMax(qint32 newMax) { m_detector.SensorNewMax(newMax); }
    void setMotionDetectTimerInterval(qint16 ms) { m_detector.setMotionDetectTimerInterval(ms); }
    void setMotionDetectNoise(qint16 noise) { m_detector.setMotionDetectNoise(noise); }
    void setMotionDetectAmount(qint16 amount) { m_detector.setMotionDetectAmount(amount); }
    void MotionDetect(bool start) { m_detector.MotionDetect(start); }
    void setPreviewRate(qint16 ms) override;

    bool running() const { return m_running; }
    platform::CaptureSource source() const { return m_source; }
    platform::CaptureDevice* device() const { return m_device.get(); }
    MotionDetector& detector() { return m_detector; }
    FrameSaver& saving() { return m_saving; }
    MotionLevelBar& sensor() const { return *m_sensor; }
    QWidget& pOffline() const { return *m_pOffline; }
    controls::PushButton& XpB1() const { return *m_retry; }
    QTimer& Timer2() { return m_timer2; }
    QTimer& BS() { return m_bs; }

    // Timer handlers (public so tests need not wait).
    void Timer2_Timer();
    void BS_Timer();

    // The offline picture: ours, drawn at run time.
    static QImage offlinePicture();

signals:
    void Alarm(bool Value);
    void Percent(qint32 Value);
    void FPS(qint16 Value);
    void ImgFormat(const QString& Value);
    void Saved(const QString& Path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // FrameSaverHost
    QImage currentFrame() override;
    void showSavingIndicator() override;
    void startIndicatorHideTimer() override;
    void StartAuto() override;
    void playSound(const QString& path) override;
    void showStatus(const QString& text) override;

    void useDevice(std::unique_ptr<platform::CaptureDevice> device);
    void layoutChildren();

    AppContext& m_context;
    CaptureControlHost& m_host;
    platform::CaptureSource m_source;
    DeviceFactory m_factory;
    std::function<QStringList()> m_cameras;
    std::unique_ptr<platform::CaptureDevice> m_device;
    MotionDetector m_detector;
    FrameSaver m_saving;
    PreviewWidget* m_prePicture = nullptr;
    QWidget* m_pOffline = nullptr;
    controls::PushButton* m_retry = nullptr;
    MotionLevelBar* m_sensor = nullptr;
    QTimer m_timer2;
    QTimer m_bs;
    bool m_running = false;
};

} // namespace vigilux::capture
