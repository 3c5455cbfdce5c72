#pragma once

#include <QObject>

namespace vigilux {
struct AppContext;
}
namespace vigilux::app {
class QuietTime;
class SoundPlayer;
class TrayIcon;
} // namespace vigilux::app
namespace vigilux::ui {
class CaptureControl;
}
namespace vigilux::platform {
class Processes;
}

namespace vigilux::ui {

class MainWindowLayout;
class StatusLine;

// Answers the capture control's readings and alarms in the main window: the
// rate, motion and format in the overlay labels, the alarm count, the
// calibration window's values, and for each counted alarm step the alarm
// actions (sound, tray balloon, external program) the settings ask for.
class AlarmDispatcher final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlarmDispatcher)
public:
    // The parts it uses belong to the main window and outlive this.
    struct Parts {
        ui::CaptureControl& capture;
        MainWindowLayout& layout;
        StatusLine& status;
        app::SoundPlayer& sound;
        app::TrayIcon& tray;
        platform::Processes& processes;
        app::QuietTime& quiet;
    };

    AlarmDispatcher(AppContext& context, Parts parts, QObject* parent = nullptr);

    // Connects the capture control's signals to the handlers below.
    void follow();

    void onAlarm(bool value);
    void onSimilarity(qint32 value);
    void onSpeed(qint16 value);
    void onImageFormat(const QString& value);

    // The similarity of the last compared frames, in percent.
    qint32 lastPercent() const { return m_lastPercent; }

private:
    void runAlarmActions();

    AppContext& m_context;
    Parts m_parts;
    qint32 m_lastPercent = 0;
};

} // namespace vigilux::ui
