#include "ui/SplashWindow.h"

#include "resources/Pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace vigilux::ui {

namespace {
constexpr int SplashWidth = 420;
constexpr int SplashHeight = 230;
} // namespace

SplashWindow::SplashWindow(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("splashWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(SplashWidth, SplashHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_endTimer.setObjectName(QStringLiteral("endTimer"));
    m_endTimer.setSingleShot(true);
    m_endTimer.setInterval(4000);
    connect(&m_endTimer, &QTimer::timeout, this, &SplashWindow::onEndTimeout);
    m_endTimer.start();

    m_blinkTimer.setObjectName(QStringLiteral("blinkTimer"));
    m_blinkTimer.setInterval(800);
    connect(&m_blinkTimer, &QTimer::timeout, this, &SplashWindow::onBlinkTick);
    m_blinkTimer.start();
}

void SplashWindow::onEndTimeout() {
    if (m_ended)
        return;
    m_ended = true;
    m_endTimer.stop();
    m_blinkTimer.stop();
    close();
    emit finished();
}

void SplashWindow::onBlinkTick() {
    m_indicatorVisible = !m_indicatorVisible;
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

    // The blinking indicator.
    if (m_indicatorVisible)
        resources::Pictures::paint(p, QStringLiteral("blink-dot"), QRectF(20, 181, 12, 12));
}

} // namespace vigilux::ui
