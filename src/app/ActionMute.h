#pragma once

#include <QDateTime>
#include <QString>

namespace vigilux::platform {
class Clock;
}

namespace vigilux::app {

// A quiet time for the alarm actions (sound, balloon, external program),
// chosen from the tray menu: 15 minutes, one hour, or until unmuted.
// Detection, counting, saving and the event log go on. The mute ends by
// itself when its time has passed on the Clock; it is not remembered across
// runs. UI thread only; the clock must outlive it.
class ActionMute final {
public:
    enum class Span { Minutes15, Hour, UntilUnmuted };

    explicit ActionMute(platform::Clock& clock);

    // Starts a mute from now; replaces any earlier one.
    void mute(Span span);
    void unmute();

    bool isMuted() const;
    // Muted with no end.
    bool isIndefinite() const { return isMuted() && m_indefinite; }
    // Local time the mute ends; invalid when not muted or indefinite.
    QDateTime until() const;
    // Milliseconds until the mute ends; negative when not muted or indefinite.
    double msLeft() const;
    // "до 14:35", "до отмены", or "" when not muted; the date is added when
    // the end is not today.
    QString untilText() const;

    static double spanMs(Span span);

private:
    platform::Clock& m_clock;
    bool m_active = false;
    bool m_indefinite = false;
    double m_endMs = 0.0;
    QDateTime m_until;
};

} // namespace vigilux::app
