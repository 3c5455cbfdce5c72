#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

namespace vigilux {
struct AppContext;
}

namespace vigilux::app {
class TrayIcon;
}
namespace vigilux::ui {

// The recording indicator: a red dot that blinks once a second while watch
// mode is on, and makes the tray icon blink with it while the window is in
// the tray.
class RecordingIndicator final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecordingIndicator)
public:
    // `idleIcon` and `watchingIcon` are the tray's two icon handles.
    RecordingIndicator(AppContext& context, app::TrayIcon& tray, qint32 idleIcon,
                       qint32 watchingIcon, QWidget* parent = nullptr);

    static constexpr int DotSize = 12;
    static const QString RecordingTip; // "Vigilux [>] включена автосъемка."

    void start();
    void stop();
    void stopLit();

    QTimer& blinkTimer() { return m_blinkTimer; }
    // The dot is lit.
    bool dotVisible() const { return m_dot; }
    void onBlinkTick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setDot(bool lit);

    AppContext& m_context;
    app::TrayIcon& m_tray;
    qint32 m_idleIcon;
    qint32 m_watchingIcon;
    QTimer m_blinkTimer;
    bool m_dot = true;
    QImage m_dotPicture; // drawn once, at the dot's size
};

} // namespace vigilux::ui
