#pragma once

#include "app/IniLastCheckStore.h"
#include "app/OpenWindows.h"
#include "app/Resizer.h"
#include "app/SplashWindow.h"
#include "app/LifecycleHost.h"
#include "app/SoundPlayer.h"
#include "app/TrayIcon.h"
#include "app/UpdateChecker.h"
#include "app/UploadQueue.h"
#include "capture/CaptureControl.h"
#include "capture/CaptureControlHost.h"
#include "net/FtpClient.h"
#include "platform/CaptureSource.h"
#include "settings/DetectorValuesTarget.h"

#include <QLabel>
#include <QLineF>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace vigilux {
struct AppContext;
}
namespace vigilux::controls {
class OverlayLabel;
class SizeGrip;
class TitleBarButton;
class PushButton;
} // namespace vigilux::controls
namespace vigilux::platform {
class Processes;
class SoundOutput;
class TrayBackend;
class UrlOpener;
} // namespace vigilux::platform
namespace vigilux::settings {
class SettingsStorage;
}

namespace vigilux::app {

class RecordingIndicator;

// The main window: borderless, always on top, dragged by its header. It owns
// the long-lived parts of the program (capture control, recording
// indicator, upload control and queue, tray icon), carries out the start-up
// and shutdown steps for Lifecycle, applies detector settings, reacts to the
// capture control's events (the alarm chain) and routes the commands of its
// buttons and tray menu.
class MainWindow final : public QWidget,
                   public LifecycleHost,
                   public settings::DetectorValuesTarget,
                   public capture::CaptureControlHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)
public:
    // The platform services and choices the window is built with.
    struct Services {
        platform::TrayBackend& tray;
        platform::SoundOutput& sound;
        platform::Processes& processes;
        platform::UrlOpener& urls;
        platform::CaptureSource source;
        capture::CaptureControl::DeviceFactory deviceFactory;
        std::function<QStringList()> cameras;
        std::function<int()> shellVersion;
        QUrl updateEndpoint;
    };

    MainWindow(AppContext& context, Services services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Designed inner size and the smallest size the user can drag it to.
    static constexpr QSize DesignSize{505, 348};
    static constexpr QSize MinimumSize{504, 348};
    // Tray icon handles.
    static constexpr qint32 I1 = 1;
    static constexpr qint32 I2 = 2;
    // Background of the motion label, and its alarm colour.
    static const QColor LabelGrey;
    static const QColor AlarmRed;
    // The help page for black pictures.
    static const QString BlackPictureHelpUrl;

    // The settings module the windows save through (set once by main()).
    void setOptions(settings::SettingsStorage* options) { m_options = options; }

    // DetectorValuesTarget
    void SetSensor(qint16 Number, qint32 Value) override;

    // Shell
    void hideMain() override;
    void placeBorderLines() override;
    void makeTopmost() override;
    void createTray() override;
    void showSplash() override;
    void WebcamStart() override;
    void setLabelTips(const QStringList& tips) override;
    void installWindowProc() override;
    void showSettingsFolderNote(const QString& iniPath) override;
    void showMain() override;
    void MeHide() override;
    void StartAuto() override;
    void armUpdateCheck() override;
    void BScheck() override;
    void WebcamStop() override;
    void restoreWindowProc() override;
    void UnLoadAll() override;

    // CaptureControlHost
    void setCaptureButtonsEnabled(bool enabled) override;
    void showSavingIndicator() override;
    void startIndicatorHideTimer() override;
    void playSound(const QString& path) override;
    void showStatus(const QString& text) override;
    void showBlackPicture() override;

    // Handlers of the capture control's events.
    void WebCam_Alarm(bool Value);
    void WebCam_Percent(qint32 Value);
    void WebCam_FPS(qint16 Value);
    void WebCam_ImgFormat(const QString& Value);
    void WebCam_Saved(const QString& Path);

    // Commands: the button bar (index as PushButton), title-bar buttons, tray.
    void XpB_Click(int Index);
    void tb2_Click();
    void tb3_Click();
    void cTray_OnIcon(qint16 MouseButton);
    void MeShow();
    void PsaveT_Timer();
    void WCstart_Timer();
    // The layout routine, run on every resize.
    void layoutControls();

    // The exit command: unloads the main window, then ends the process.
    void Exit();

    // Parts, for the windows that need them and for tests.
    capture::CaptureControl& CaptureControl() const { return *m_webCam; }
    TrayIcon& cTray() { return m_tray; }
    RecordingIndicator& Record1() const { return *m_record; }
    net::FtpClient& FTP1() { return m_ftp; }
    UploadQueue& queue() { return m_queue; }
    UpdateChecker& updates() { return m_updates; }
    controls::PushButton& PushButton(int index) const { return *m_xpb.at(static_cast<size_t>(index)); }
    controls::OverlayLabel& OverlayLabel(int index) const { return *m_plabel.at(static_cast<size_t>(index)); }
    QLabel* St() const { return m_st; }
    QWidget* PSave() const { return m_psave; }
    QWidget* BlackPicture() const { return m_blackPicture; }
    controls::SizeGrip* SizeGrip1() const { return m_sizeGrip; }
    QMenu* traymnu() const { return m_traymnu; }
    QAction* mnuOpen() const { return m_mnuOpen; }
    QAction* mnuShot() const { return m_mnuShot; }
    QAction* mnuAuto() const { return m_mnuAuto; }
    QAction* mnuDetect() const { return m_mnuDetect; }
    QAction* mnuOptions() const { return m_mnuOptions; }
    QAction* mnuExit() const { return m_mnuExit; }
    QTimer& PsaveT() { return m_psaveT; }
    QTimer& WCstart() { return m_wcStart; }
    QTimer& UpTimer() { return m_updates.UpTimer(); }
    SplashWindow* splash() const { return m_splash; }
    std::array<QWidget*, 4> L() const { return m_L; }
    qint32 LastPercent() const { return m_lastPercent; }

signals:
    // The splash has ended; start-up continues with Lifecycle::SplashEnded.
    void SplashEnded();
    // The exit command asks for the unload sequence (Lifecycle::Unload).
    void UnloadRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildTrayMenu();
    void placeLine(int index);
    void openDetectorSettings();
    void openProgramOptions();
    void openFtpSettings();
    void openAbout();

    AppContext& m_context;
    Services m_services;
    settings::SettingsStorage* m_options = nullptr;
    OpenWindows m_forms;
    Resizer m_resizer;
    SoundPlayer m_sound;
    TrayIcon m_tray;
    net::FtpClient m_ftp;
    UploadQueue m_queue;
    IniLastCheckStore m_lastCheck;
    UpdateChecker m_updates;

    std::array<QWidget*, 3> m_head{};
    controls::TitleBarButton* m_tb1 = nullptr;
    controls::TitleBarButton* m_tb2 = nullptr;
    controls::TitleBarButton* m_tb3 = nullptr;
    std::array<QWidget*, 4> m_L{};
    std::array<QLineF, 4> m_lines{};
    controls::SizeGrip* m_sizeGrip = nullptr;
    std::array<controls::PushButton*, 8> m_xpb{};
    std::array<controls::OverlayLabel*, 6> m_plabel{};
    QLabel* m_st = nullptr;
    QWidget* m_psave = nullptr;
    RecordingIndicator* m_record = nullptr;
    QWidget* m_blackPicture = nullptr;
    capture::CaptureControl* m_webCam = nullptr;

    QMenu* m_traymnu = nullptr;
    QAction* m_mnuOpen = nullptr;
    QAction* m_mnuShot = nullptr;
    QAction* m_mnuAuto = nullptr;
    QAction* m_mnuDetect = nullptr;
    QAction* m_mnuOptions = nullptr;
    QAction* m_mnuExit = nullptr;

    QPointer<SplashWindow> m_splash;
    QTimer m_wcStart;
    QTimer m_psaveT;
    qint32 m_lastPercent = 0;
    bool m_exiting = false;
};

} // namespace vigilux::app
