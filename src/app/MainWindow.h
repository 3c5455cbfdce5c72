#pragma once

#include "app/IniLastCheckStore.h"
#include "app/LifecycleHost.h"
#include "app/Notifications.h"
#include "app/OpenWindows.h"
#include "app/QuietTime.h"
#include "app/Resizer.h"
#include "app/SoundPlayer.h"
#include "app/SplashWindow.h"
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
class ScreenSaverInhibitor;
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
    static constexpr qint32 IdleTrayIcon = 1;
    static constexpr qint32 WatchingTrayIcon = 2;
    // Background of the motion label, and its alarm colour.
    static const QColor LabelGrey;
    static const QColor AlarmRed;
    // The help page for black pictures.
    static const QString BlackPictureHelpUrl;

    // The settings module the windows save through (set once by main()).
    void setOptions(settings::SettingsStorage* options) { m_options = options; }
    // Keeps the screen awake while watching when "блокировать хранитель
    // экрана" is on (set once by main(); none: nothing is kept awake).
    void setScreenSaverInhibitor(platform::ScreenSaverInhibitor* inhibitor) {
        m_screenSaver = inhibitor;
    }
    // The desktop keyring for the notification secrets (set once by main();
    // none: they stay in options.ini).
    void setKeyring(platform::Keyring* keyring) { m_notify.setKeyring(keyring); }

    // DetectorValuesTarget
    void setDetectorValue(qint16 index, qint32 value) override;

    // Shell
    void hideMain() override;
    void placeBorderLines() override;
    void makeTopmost() override;
    void createTray() override;
    void showSplash() override;
    void startCapture() override;
    void setLabelTips(const QStringList& tips) override;
    void installWindowProc() override;
    void restoreUploads() override;
    void showSettingsFolderNote(const QString& iniPath) override;
    void showMain() override;
    void hideToTray() override;
    void toggleWatching() override;
    void armUpdateCheck() override;
    void startBlackScreenCheck() override;
    void stopCapture() override;
    void restoreWindowProc() override;
    void unloadAll() override;

    // CaptureControlHost
    void setCaptureButtonsEnabled(bool enabled) override;
    // The status of watching that is on: paused while capture is down.
    QString watchingStatus() const;
    void showSavingIndicator() override;
    void startIndicatorHideTimer() override;
    void playSound(const QString& path) override;
    void showStatus(const QString& text) override;
    void showBlackPicture() override;
    // A text that gives way: not shown while the settings-folder note stands.
    void showPassingStatus(const QString& text);

    // Handlers of the capture control's events.
    void onAlarm(bool value);
    void onSimilarity(qint32 value);
    void onSpeed(qint16 value);
    void onImageFormat(const QString& value);
    void onFrameSaved(const QString& path);

    // Commands: the button bar (index as PushButton), title-bar buttons, tray.
    void onButtonClicked(int index);
    void onHideClicked();
    void onMaximizeClicked();
    void onTrayActivated(qint16 button);
    void showFromTray();
    void onSavedMarkTimeout();
    void onCaptureStartTimeout();
    // The layout routine, run on every resize.
    void layoutControls();

    // The exit command: unloads the main window, then ends the process.
    void exitProgram();

    // Parts, for the windows that need them and for tests.
    capture::CaptureControl& capture() const { return *m_capture; }
    TrayIcon& tray() { return m_tray; }
    RecordingIndicator& recordingIndicator() const { return *m_record; }
    net::FtpClient& ftp() { return m_ftp; }
    UploadQueue& queue() { return m_queue; }
    Notifications& notifications() { return m_notify; }
    UpdateChecker& updates() { return m_updates; }
    // Motion events of the watch (hook here to hear of them) and the tray's
    // quiet time for the alarm actions.
    capture::EventTracker& eventTracker() const { return m_capture->events().tracker(); }
    QuietTime& quietTime() { return m_quiet; }
    const ActionMute& actionMute() const { return m_quiet.state(); }
    controls::PushButton& button(int index) const {
        return *m_buttons.at(static_cast<size_t>(index));
    }
    controls::OverlayLabel& label(int index) const {
        return *m_labels.at(static_cast<size_t>(index));
    }
    QLabel* statusLine() const { return m_statusLine; }
    QWidget* savedMark() const { return m_savedMark; }
    QWidget* blackPicture() const { return m_blackPicture; }
    controls::SizeGrip* sizeGrip() const { return m_sizeGrip; }
    QMenu* trayMenu() const { return m_trayMenu; }
    QAction* openAction() const { return m_openAction; }
    QAction* snapshotAction() const { return m_snapshotAction; }
    QAction* watchAction() const { return m_watchAction; }
    QAction* detectorAction() const { return m_detectorAction; }
    QAction* optionsAction() const { return m_optionsAction; }
    QAction* exitAction() const { return m_exitAction; }
    // Quiet time: 15 minutes, 1 hour, until unmuted, unmute.
    QAction* muteAction(int index) const { return m_muteActions.at(static_cast<size_t>(index)); }
    QTimer& savedMarkTimer() { return m_savedMarkTimer; }
    QTimer& captureStartTimer() { return m_captureStartTimer; }
    QTimer& updateCheckTimer() { return m_updates.delayTimer(); }
    SplashWindow* splash() const { return m_splash; }
    std::array<QWidget*, 4> borderLines() const { return m_borderLines; }
    qint32 lastPercent() const { return m_lastPercent; }

signals:
    // The splash has ended; start-up continues with Lifecycle::splashEnded.
    void splashEnded();
    // The exit command asks for the unload sequence (Lifecycle::Unload).
    void unloadRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildTrayMenu();
    void placeLine(int index);
    void placeBottomLabels();
    void openDetectorSettings();
    void openProgramOptions();
    void openFtpSettings();
    void openAbout();
    void runAlarmActions();
    void refreshTrayTip();
    void onQuietTimeChanged();

    AppContext& m_context;
    Services m_services;
    settings::SettingsStorage* m_options = nullptr;
    platform::ScreenSaverInhibitor* m_screenSaver = nullptr;
    OpenWindows m_forms;
    Resizer m_resizer;
    SoundPlayer m_sound;
    TrayIcon m_tray;
    net::FtpClient m_ftp;
    UploadQueue m_queue;
    Notifications m_notify;
    IniLastCheckStore m_lastCheck;
    UpdateChecker m_updates;
    QuietTime m_quiet;

    std::array<QWidget*, 3> m_header{};
    controls::TitleBarButton* m_closeButton = nullptr;
    controls::TitleBarButton* m_hideButton = nullptr;
    controls::TitleBarButton* m_maximizeButton = nullptr;
    std::array<QWidget*, 4> m_borderLines{};
    std::array<QLineF, 4> m_borderGeometry{};
    controls::SizeGrip* m_sizeGrip = nullptr;
    std::array<controls::PushButton*, 8> m_buttons{};
    std::array<controls::OverlayLabel*, 6> m_labels{};
    QLabel* m_statusLine = nullptr;
    QWidget* m_savedMark = nullptr;
    RecordingIndicator* m_record = nullptr;
    QWidget* m_blackPicture = nullptr;
    capture::CaptureControl* m_capture = nullptr;

    QMenu* m_trayMenu = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_snapshotAction = nullptr;
    QAction* m_watchAction = nullptr;
    QAction* m_detectorAction = nullptr;
    QAction* m_optionsAction = nullptr;
    QAction* m_exitAction = nullptr;
    std::array<QAction*, 4> m_muteActions{};

    QPointer<SplashWindow> m_splash;
    QTimer m_captureStartTimer;
    QTimer m_savedMarkTimer;
    qint32 m_lastPercent = 0;
    bool m_exiting = false;
    bool m_eventTip = false;     // the tray tip shows events or the quiet time
    bool m_noteStanding = false; // the settings-folder note is on the status line
};

} // namespace vigilux::app
