#include "ui/RecordingIndicator.h"

#include "app/TrayIcon.h"
#include "core/AppContext.h"
#include "resources/Pictures.h"

#include <QPainter>

namespace vigilux::ui {

const QString RecordingIndicator::RecordingTip = QStringLiteral("Vigilux [>] включена автосъемка.");

RecordingIndicator::RecordingIndicator(AppContext& context, app::TrayIcon& tray, qint32 idleIcon,
                                       qint32 watchingIcon, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_tray(tray)
    , m_idleIcon(idleIcon)
    , m_watchingIcon(watchingIcon) {
    setObjectName(QStringLiteral("recordingIndicator"));
    setFixedSize(DotSize, DotSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_blinkTimer.setObjectName(QStringLiteral("blinkTimer"));
    m_blinkTimer.setInterval(1000);
    connect(&m_blinkTimer, &QTimer::timeout, this, &RecordingIndicator::onBlinkTick);
}

void RecordingIndicator::setDot(bool lit) {
    m_dot = lit;
    update();
}

void RecordingIndicator::start() {
    m_blinkTimer.start();
    setDot(true);
    m_tray.setToolTipText(RecordingTip);
    m_tray.modify();
}

void RecordingIndicator::stop() {
    m_blinkTimer.stop();
    setDot(false);
    if (m_context.inTray) {
        m_tray.setIcon(m_idleIcon);
        m_tray.setToolTipText(QStringLiteral("Vigilux"));
        m_tray.modify();
    }
}

void RecordingIndicator::stopLit() {
    m_blinkTimer.stop();
    setDot(true);
}

void RecordingIndicator::onBlinkTick() {
    setDot(!m_dot);
    if (m_context.inTray) {
        m_tray.setIcon(m_tray.icon() == m_idleIcon ? m_watchingIcon : m_idleIcon);
        m_tray.modify();
    }
}

void RecordingIndicator::paintEvent(QPaintEvent*) {
    if (!m_dot)
        return;
    // Drawn once: the dot blinks every second while watching.
    const qreal ratio = devicePixelRatioF();
    if (m_dotPicture.isNull() || m_dotPicture.devicePixelRatio() != ratio)
        m_dotPicture = resources::Pictures::image(QStringLiteral("recording-dot"), size(), ratio);
    QPainter p(this);
    p.drawImage(QPointF(0, 0), m_dotPicture);
}

} // namespace vigilux::ui
