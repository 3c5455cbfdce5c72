#pragma once

#include <QString>

namespace vigilux::core {
struct Settings;
}

namespace vigilux::app {

// Which alarm actions one counted alarm step runs. Each action has its own
// switch (the keys SoundAlarm, SysTrayAlarm, RunAlarm) and may be limited to
// the step that starts a motion event; a mute from the tray silences all
// three.
// The balloon also needs the window hidden to the tray.
struct AlarmActions {
    bool sound = false;
    bool balloon = false;
    bool program = false;

    // `startsEvent`: this step began a motion event; `muted`: the tray's
    // quiet time is on; `inTray`: the window is hidden to the tray.
    static AlarmActions forStep(const core::Settings& s, bool startsEvent, bool muted, bool inTray);

    // The balloon text for the start of event `number` (per-event balloons).
    static QString eventBalloonText(int number, int changedPercent);

    // The tray tip: the usual one with no events and no mute, otherwise the
    // event count and the end of the mute, within the tip's 63 characters.
    static QString trayTip(bool watching, int events, const QString& muteUntil);
};

} // namespace vigilux::app
