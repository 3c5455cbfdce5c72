#pragma once

#include "app/ActionMute.h"

#include <QObject>
#include <QTimer>

namespace vigilux::app {

// The tray's quiet time as the main window uses it: the mute itself, a
// timer that notices when it runs out, and the texts for the status line.
// `changed` comes on every mute and unmute, and once when a mute ends by
// itself. UI thread only; the clock must outlive it.
class QuietTime final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuietTime)
public:
    explicit QuietTime(platform::Clock& clock, QObject* parent = nullptr);

    void mute(ActionMute::Span span);
    void unmute();

    const ActionMute& state() const { return m_mute; }
    bool isMuted() const { return m_mute.isMuted(); }

    // " Оповещения отключены до 14:35" while muted, " Оповещения включены"
    // otherwise.
    QString statusText() const;

    // The end check; the timer calls it (public so tests need not wait).
    void check();
    QTimer& endTimer() { return m_endTimer; }

signals:
    void changed();

private:
    void arm();

    ActionMute m_mute;
    QTimer m_endTimer;
    bool m_wasMuted = false;
};

} // namespace vigilux::app
