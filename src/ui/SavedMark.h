#pragma once

#include <QTimer>
#include <QWidget>

namespace vigilux::ui {

// The "saved" mark beside the picture: shown while a frame is written and
// hidden again half a second after the saving ended.
class SavedMark final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SavedMark)
public:
    explicit SavedMark(QWidget* parent);

    // Shows the mark at once, before the writing begins.
    void showNow();
    // Starts the half second after which the mark goes.
    void startHideTimer();
    // The hide timer's tick (public so tests need not wait).
    void onHideTimeout();
    QTimer& hideTimer() { return m_hideTimer; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_hideTimer;
};

} // namespace vigilux::ui
