#include "app/QuietTime.h"

#include <algorithm>
#include <cmath>

namespace vigilux::app {

QuietTime::QuietTime(platform::Clock& clock, QObject* parent)
    : QObject(parent)
    , m_mute(clock) {
    m_endTimer.setObjectName(QStringLiteral("quietTimeEndTimer"));
    m_endTimer.setSingleShot(true);
    connect(&m_endTimer, &QTimer::timeout, this, &QuietTime::check);
}

void QuietTime::mute(ActionMute::Span span) {
    m_mute.mute(span);
    m_wasMuted = true;
    arm();
    emit changed();
}

void QuietTime::unmute() {
    m_mute.unmute();
    m_wasMuted = false;
    m_endTimer.stop();
    emit changed();
}

QString QuietTime::statusText() const {
    if (!m_mute.isMuted())
        return QStringLiteral(" Оповещения включены");
    return QStringLiteral(" Оповещения отключены ") + m_mute.untilText();
}

void QuietTime::check() {
    if (m_mute.isMuted()) {
        arm(); // a timer that fired early, or the clock was set back
        return;
    }
    if (m_wasMuted) {
        m_wasMuted = false;
        emit changed();
    }
}

void QuietTime::arm() {
    const double left = m_mute.msLeft();
    if (left < 0) {
        m_endTimer.stop(); // until unmuted: nothing to wait for
        return;
    }
    // At most a minute at a time, so a changed wall clock is noticed soon.
    m_endTimer.start(static_cast<int>(std::ceil(std::min(left, 60000.0))) + 1);
}

} // namespace vigilux::app
