#include "app/ActionMute.h"

#include "platform/Clock.h"

namespace vigilux::app {

ActionMute::ActionMute(platform::Clock& clock)
    : m_clock(clock) {}

double ActionMute::spanMs(Span span) {
    switch (span) {
    case Span::Minutes15:
        return 15 * 60 * 1000.0;
    case Span::Hour:
        return 60 * 60 * 1000.0;
    case Span::UntilUnmuted:
        break;
    }
    return -1.0;
}

void ActionMute::mute(Span span) {
    m_active = true;
    m_indefinite = span == Span::UntilUnmuted;
    if (m_indefinite) {
        m_endMs = 0.0;
        m_until = QDateTime();
        return;
    }
    const double ms = spanMs(span);
    // The steady clock decides the end, so a change of the wall clock does
    // not stretch or cut the quiet time; the wall time is for the texts.
    m_endMs = m_clock.steadyMs() + ms;
    m_until = m_clock.now().addMSecs(static_cast<qint64>(ms));
}

void ActionMute::unmute() {
    m_active = false;
    m_indefinite = false;
    m_until = QDateTime();
}

bool ActionMute::isMuted() const {
    return m_active && (m_indefinite || m_clock.steadyMs() < m_endMs);
}

QDateTime ActionMute::until() const {
    return isMuted() && !m_indefinite ? m_until : QDateTime();
}

double ActionMute::msLeft() const {
    if (!isMuted() || m_indefinite)
        return -1.0;
    return m_endMs - m_clock.steadyMs();
}

QString ActionMute::untilText() const {
    if (!isMuted())
        return QString();
    if (m_indefinite)
        return QStringLiteral("до отмены");
    const QString time = m_until.toString(QStringLiteral("HH:mm"));
    if (m_until.date() == m_clock.now().date())
        return QStringLiteral("до ") + time;
    return QStringLiteral("до ") + m_until.toString(QStringLiteral("dd.MM")) + QLatin1Char(' ') +
           time;
}

} // namespace vigilux::app
