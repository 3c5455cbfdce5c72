#pragma once

#include <QTimer>
#include <QWidget>

namespace vigilux::ui {

// The start-up splash: shown for four seconds while capture starts behind
// it, with a blinking indicator. Closes itself and then reports `finished`.
class SplashWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SplashWindow)
public:
    explicit SplashWindow(QWidget* parent = nullptr);

    QTimer& endTimer() { return m_endTimer; }
    QTimer& blinkTimer() { return m_blinkTimer; }
    bool indicatorVisible() const { return m_indicatorVisible; }

    // Timer handlers, public so tests need not wait four seconds.
    void onEndTimeout();
    void onBlinkTick();

signals:
    // Raised once, after the splash has closed.
    void finished();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_endTimer;
    QTimer m_blinkTimer;
    bool m_indicatorVisible = true;
    bool m_ended = false;
};

} // namespace vigilux::ui
