#pragma once

#include <QTimer>
#include <QWidget>

namespace vigilux::app {

// The start-up splash: shown for four seconds while capture starts behind
// it, with a blinking indicator. Unloads itself and then reports `Finished`.
class SplashWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplashWindow)
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    QTimer& Timer1() { return m_timer1; }
    QTimer& ATimer() { return m_aTimer; }
    bool indicatorVisible() const { return m_aVisible; }

    // Timer handlers, public so tests need not wait four seconds.
    void Timer1_Timer();
    void ATimer_Timer();

signals:
    // Raised once, after the splash has closed.
    void Finished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer1;
    QTimer m_aTimer;
    bool m_aVisible = true;
    bool m_ended = false;
};

} // namespace vigilux::app
