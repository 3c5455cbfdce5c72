#pragma once

#include <QObject>

namespace vigilux {
struct AppContext;
}
namespace vigilux::capture {
class CaptureControl;
}
namespace vigilux::platform {
class Processes;
}

namespace vigilux::app {

class MainWindowLayout;
class QuietTime;
class SoundPlayer;
class StatusLine;
class TrayIcon;

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
        capture::CaptureControl& capture;
        MainWindowLayout& layout;
        StatusLine& status;
        SoundPlayer& sound;
        TrayIcon& tray;
        platform::Processes& processes;
        QuietTime& quiet;
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

} // namespace vigilux::app
