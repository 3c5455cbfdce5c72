#pragma once

#include "app/TrayIcon.h"
#include "core/StatusSink.h"
#include "ui/MainWindowLayout.h"

#include <QObject>

#include <array>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace vigilux {
struct AppContext;
}
namespace vigilux::app {
class QuietTime;
}
namespace vigilux::events {
class EventTracker;
}
namespace vigilux::controls {
class PushButton;
}
namespace vigilux::platform {
class TrayBackend;
}

namespace vigilux::ui {

// The main window in the notification area: hiding to the tray and coming
// back, the icon's menu (the window's commands, greyed with their buttons,
// and the quiet time), and a tip that counts the watch's events and says
// how long it stays quiet.
class MainWindowTray final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindowTray)
public:
    // Icon handles: the program icon, and the red-lens phase of the
    // recording blink.
    static constexpr qint32 IdleIcon = 1;
    static constexpr qint32 WatchingIcon = 2;

    // `window` is the one hidden to the tray; `status` shows a text in its
    // status line. Everything given must outlive this.
    MainWindowTray(AppContext& context, platform::TrayBackend& backend,
                   std::function<int()> shellVersion, app::QuietTime& quiet, QWidget& window,
                   core::StatusSink status);

    // The menu: its command items run `command` with the index of the
    // window's button they stand for and are greyed with it; "Открыть
    // программу" calls showWindow().
    void buildMenu(const MainWindowLayout& layout,
                   std::function<void(MainWindowLayout::Button)> command,
                   std::function<void()> showWindow);
    // The tip counts the events of `tracker` (which must outlive this).
    void follow(const events::EventTracker& tracker);

    // Hides the window to the tray (not without a notification area) and
    // explains the icon the first time.
    void hideWindow();
    // Brings the window back from the tray.
    void showWindow();
    // The tip after a change of watching, events or quiet time.
    void refreshTip();
    // The icon's mouse codes: 1 shows the window, 5 opens the menu.
    void onActivated(qint16 button);

    app::TrayIcon& icon() { return m_icon; }
    QMenu* menu() const { return m_menu; }
    QAction* openAction() const { return m_openAction; }
    QAction* snapshotAction() const { return m_snapshotAction; }
    QAction* watchAction() const { return m_watchAction; }
    QAction* detectorAction() const { return m_detectorAction; }
    QAction* optionsAction() const { return m_optionsAction; }
    QAction* exitAction() const { return m_exitAction; }
    // Quiet time: 15 minutes, 1 hour, until unmuted, unmute.
    QAction* muteAction(int index) const { return m_muteActions.at(static_cast<size_t>(index)); }

private:
    void onQuietTimeChanged();

    AppContext& m_context;
    app::TrayIcon m_icon;
    app::QuietTime& m_quiet;
    QWidget& m_window;
    core::StatusSink m_status;
    std::function<void()> m_showWindow;
    const events::EventTracker* m_tracker = nullptr;

    QMenu* m_menu = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_snapshotAction = nullptr;
    QAction* m_watchAction = nullptr;
    QAction* m_detectorAction = nullptr;
    QAction* m_optionsAction = nullptr;
    QAction* m_exitAction = nullptr;
    std::array<QAction*, 4> m_muteActions{};
    bool m_eventTip = false; // the tip shows events or the quiet time
};

} // namespace vigilux::ui
