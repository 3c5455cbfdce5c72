#include "app/SplashWindow.h"

#include "resources/Pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace vigilux::app {

namespace {
constexpr int SplashWidth = 420;
constexpr int SplashHeight = 230;
} // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("Running"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(SplashWidth, SplashHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setSingleShot(true);
    m_timer1.setInterval(4000);
    connect(&m_timer1, &QTimer::timeout, this, &SplashWindow::Timer1_Timer);
    m_timer1.start();

    m_aTimer.setObjectName(QStringLiteral("ATimer"));
    m_aTimer.setInterval(800);
    connect(&m_aTimer, &QTimer::timeout, this, &SplashWindow::ATimer_Timer);
    m_aTimer.start();
}

void SplashWindow::Timer1_Timer() {
    if (m_ended)
        return;
    m_ended = true;
    m_timer1.stop();
    m_aTimer.stop();
    close();
    emit Finished();
}

void SplashWindow::ATimer_Timer() {
    m_aVisible = !m_aVisible;
    update();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The face with the program's lens; the texts go on top of it.
    resources::Pictures::paint(p, QStringLiteral("splash"), rect());

    QFont title = font();
    title.setPointSize(26);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(240, 244, 250));
    p.drawText(QRect(125, 55, 280, 50), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Vigilux"));

    QFont small = font();
    small.setPointSize(10);
    p.setFont(small);
    p.setPen(QColor(170, 185, 210));
    p.drawText(QRect(128, 100, 280, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Наблюдение с веб-камеры"));
    p.drawText(QRect(128, 120, 280, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("версия 2.0 beta"));

    p.setPen(QColor(200, 210, 228));
    p.drawText(QRect(40, 175, 340, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Подключение к камере..."));

    // The blinking indicator A.
    if (m_aVisible)
        resources::Pictures::paint(p, QStringLiteral("blink-dot"), QRectF(20, 181, 12, 12));
}

} // namespace vigilux::app
