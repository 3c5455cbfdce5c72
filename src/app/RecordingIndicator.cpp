#include "app/RecordingIndicator.h"

#include "app/TrayIcon.h"
#include "resources/Pictures.h"
#include "settings/AppContext.h"

#include <QPainter>

namespace vigilux::app {

const QString RecordingIndicator::RecordingTip = QStringLiteral("Vigilux [>] включена автосъемка.");

RecordingIndicator::RecordingIndicator(AppContext& context, TrayIcon& tray, qint32 i1, qint32 i2,
                                       QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_tray(tray)
    , m_i1(i1)
    , m_i2(i2) {
    setObjectName(QStringLiteral("Record1"));
    setFixedSize(DotSize, DotSize);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(1000);
    connect(&m_timer1, &QTimer::timeout, this, &RecordingIndicator::Timer1_Timer);
}

void RecordingIndicator::setDot(bool lit) {
    m_dot = lit;
    update();
}

void RecordingIndicator::start() {
    m_timer1.start();
    setDot(true);
    m_tray.setToolTipText(RecordingTip);
    m_tray.Modify();
}

void RecordingIndicator::Stopp() {
    m_timer1.stop();
    setDot(false);
    if (m_context.InTray) {
        m_tray.setIcon(m_i1);
        m_tray.setToolTipText(QStringLiteral("Vigilux"));
        m_tray.Modify();
    }
}

void RecordingIndicator::Stop2() {
    m_timer1.stop();
    setDot(true);
}

void RecordingIndicator::Timer1_Timer() {
    setDot(!m_dot);
    if (m_context.InTray) {
        m_tray.setIcon(m_tray.Icon() == m_i1 ? m_i2 : m_i1);
        m_tray.Modify();
    }
}

void RecordingIndicator::paintEvent(QPaintEvent*) {
    if (!m_dot)
        return;
    QPainter p(this);
    resources::Pictures::paint(p, QStringLiteral("recording-dot"), rect());
}

} // namespace vigilux::app
