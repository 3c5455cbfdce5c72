#pragma once

#include <QString>

namespace vigilux {
struct AppContext;
}
namespace vigilux::ui {
class CaptureControl;
}
namespace vigilux::platform {
class ScreenSaverInhibitor;
}

namespace vigilux::ui {

class MainWindowLayout;
class MainWindowTray;
class RecordingIndicator;
class StatusLine;

// Watching switched on and off from the main window, and the window's
// controls kept in step with it and with the capture device: the counters,
// the buttons and the tray item, the status line, the recording blink, and
// the screen kept awake while watching when the settings ask for it.
class WatchMode final {
public:
    // The parts belong to the main window and outlive this.
    struct Parts {
        ui::CaptureControl& capture;
        MainWindowLayout& layout;
        MainWindowTray& tray;
        StatusLine& status;
        RecordingIndicator& record;
    };

    WatchMode(AppContext& context, Parts parts);

    // Keeps the screen awake while watching (none: nothing is kept awake).
    void setScreenSaverInhibitor(platform::ScreenSaverInhibitor* inhibitor) {
        m_screenSaver = inhibitor;
    }

    void toggle();
    // The snapshot and watch buttons follow the capture device.
    void setCaptureButtonsEnabled(bool enabled);
    // The status of watching that is on: paused while capture is down.
    QString status() const;
    // Gives the screen back (at exit).
    void releaseScreen();

private:
    AppContext& m_context;
    Parts m_parts;
    platform::ScreenSaverInhibitor* m_screenSaver = nullptr;
};

} // namespace vigilux::ui
