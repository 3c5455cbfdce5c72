#pragma once

#include "app/IniLastCheckStore.h"
#include "app/LifecycleHost.h"
#include "app/QuietTime.h"
#include "app/Resizer.h"
#include "app/SoundPlayer.h"
#include "app/UpdateChecker.h"
#include "core/DetectorValuesTarget.h"
#include "ui/CaptureControl.h"
#include "ui/CaptureControlHost.h"
#include "ui/MainWindowLayout.h"
#include "ui/MainWindowTray.h"
#include "ui/NotificationWiring.h"
#include "ui/OpenWindows.h"
#include "ui/RemoteViewWiring.h"
#include "ui/SplashWindow.h"
#include "ui/UploadWiring.h"
#include "video/CaptureSource.h"

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
namespace vigilux::core {
class SettingsStorage;
}
namespace vigilux::video {
class SourceOptions;
}
namespace vigilux::platform {
class Keyring;
class Processes;
class ScreenSaverInhibitor;
class SoundOutput;
class TrayBackend;
class UrlOpener;
} // namespace vigilux::platform

namespace vigilux::ui {

class AlarmDispatcher;
class CameraHealthWiring;
class MainWindowDialogs;
class RecordingIndicator;
class StatusLine;
class WatchMode;

// The main window: borderless, always on top, dragged by its header. It owns
// the long-lived parts of the program and forwards to them: the layout of
// its children (MainWindowLayout), the alarm chain (AlarmDispatcher),
// watching (WatchMode), uploads (UploadWiring), phone messages
// (NotificationWiring), the tray (MainWindowTray), the windows it opens
// (MainWindowDialogs) and the status line (StatusLine). It carries out the
// start-up and shutdown steps for Lifecycle and routes its buttons' commands.
class MainWindow final : public QWidget,
                         public app::LifecycleHost,
                         public core::DetectorValuesTarget,
                         public ui::CaptureControlHost {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)
public:
    // The platform services and choices the window is built with.
    struct Services {
        platform::TrayBackend& tray;
        platform::SoundOutput& sound;
        platform::Processes& processes;
        platform::UrlOpener& urls;
        video::CaptureSource source;
        ui::CaptureControl::DeviceFactory deviceFactory;
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
    static constexpr qint32 IdleTrayIcon = MainWindowTray::IdleIcon;
    static constexpr qint32 WatchingTrayIcon = MainWindowTray::WatchingIcon;
    // Background of the motion label, and its alarm colour.
    static inline const QColor& LabelGrey = MainWindowLayout::LabelGrey;
    static inline const QColor& AlarmRed = MainWindowLayout::AlarmRed;

    // The settings storage the windows save through (set once by main()).
    void setOptions(core::SettingsStorage* options);
    // Keeps the screen awake while watching when "блокировать хранитель
    // экрана" is on (set once by main(); none: nothing is kept awake).
    void setScreenSaverInhibitor(platform::ScreenSaverInhibitor* inhibitor);
    // The desktop keyring for the notification secrets (set once by main();
    // none: they stay in options.ini).
    void setKeyring(platform::Keyring* keyring);
    // The run starts with the source stored in options.ini, when there is
    // one, instead of the one it was built with (no source was given on the
    // command line). Set before start-up.
    void useStoredSource(bool on) { m_useStoredSource = on; }
    // The stored source's keys (created on first use, with the keyring).
    video::SourceOptions& sourceOptions();

    // DetectorValuesTarget
    void setDetectorValue(core::DetectorValue which, qint32 value) override;

    // LifecycleHost
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
    void showStatus(const QString& text) override;
    void showBlackPicture() override;
    // A text that gives way: not shown while the settings-folder note stands.
    void showPassingStatus(const QString& text);

    // Handlers of the capture control's signals.
    void onAlarm(bool value);
    void onSimilarity(qint32 value);
    void onSpeed(qint16 value);
    void onImageFormat(const QString& value);

    using Button = MainWindowLayout::Button;
    using Label = MainWindowLayout::Label;
    // Commands: the button bar, title-bar buttons, tray.
    void onButtonClicked(Button which);
    void onHideClicked();
    void onMaximizeClicked();
    void showFromTray();
    void onSavedMarkTimeout();
    void onCaptureStartTimeout();
    // The layout routine, run on every resize.
    void layoutControls();

    // The exit command: runs the shutdown sequence, then ends the process.
    void exitProgram();

    // Parts, for the windows that need them and for tests.
    ui::CaptureControl& capture() const { return *m_capture; }
    app::TrayIcon& tray() { return m_tray.icon(); }
    RecordingIndicator& recordingIndicator() const { return *m_record; }
    upload::FtpClient& ftp() { return m_uploads.ftp(); }
    upload::UploadQueue& queue() { return m_uploads.queue(); }
    notify::Notifications& notifications() { return m_notify.notifications(); }
    RemoteViewWiring& remoteView() const { return *m_remote; }
    app::UpdateChecker& updates() { return m_updates; }
    // Motion events of the watch (hook here to hear of them) and the tray's
    // quiet time for the alarm actions.
    events::EventTracker& eventTracker() const { return m_capture->pipeline().tracker(); }
    app::QuietTime& quietTime() { return m_quiet; }
    const app::ActionMute& actionMute() const { return m_quiet.state(); }
    QMenu* trayMenu() const { return m_tray.menu(); }
    QAction* openAction() const { return m_tray.openAction(); }
    QAction* snapshotAction() const { return m_tray.snapshotAction(); }
    QAction* watchAction() const { return m_tray.watchAction(); }
    QAction* detectorAction() const { return m_tray.detectorAction(); }
    QAction* optionsAction() const { return m_tray.optionsAction(); }
    QAction* exitAction() const { return m_tray.exitAction(); }
    // Quiet time: 15 minutes, 1 hour, until unmuted, unmute.
    QAction* muteAction(int index) const { return m_tray.muteAction(index); }
    QTimer& savedMarkTimer();
    QTimer& captureStartTimer() { return m_captureStartTimer; }
    QTimer& updateCheckTimer() { return m_updates.delayTimer(); }
    SplashWindow* splash() const { return m_splash; }
    qint32 lastPercent() const;

signals:
    // The splash has ended; start-up continues with Lifecycle::splashEnded.
    void splashEnded();
    // The exit command asks for the shutdown sequence (Lifecycle::unload).
    void unloadRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Logs and sends what the last run left open, then journals anew.
    void finishInterruptedEvents();

    AppContext& m_context;
    Services m_services;
    OpenWindows m_forms;
    app::Resizer m_resizer;
    app::SoundPlayer m_sound;
    app::QuietTime m_quiet;
    MainWindowTray m_tray;
    UploadWiring m_uploads;
    NotificationWiring m_notify;
    app::IniLastCheckStore m_lastCheck;
    app::UpdateChecker m_updates;

    ui::CaptureControl* m_capture = nullptr;
    RecordingIndicator* m_record = nullptr;
    std::unique_ptr<MainWindowLayout> m_layout;
    std::unique_ptr<StatusLine> m_status;
    std::unique_ptr<AlarmDispatcher> m_alarms;
    std::unique_ptr<WatchMode> m_watch;
    std::unique_ptr<RemoteViewWiring> m_remote;
    std::unique_ptr<MainWindowDialogs> m_dialogs;
    std::unique_ptr<CameraHealthWiring> m_cameraHealth;
    std::unique_ptr<video::SourceOptions> m_sourceOptions;
    platform::Keyring* m_keyring = nullptr;
    bool m_useStoredSource = false;

    QPointer<SplashWindow> m_splash;
    QTimer m_captureStartTimer;
    bool m_exiting = false;
};

} // namespace vigilux::ui
