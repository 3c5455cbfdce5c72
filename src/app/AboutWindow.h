#pragma once

#include <QDialog>
#include <QTimer>
#include <QUrl>

class QLabel;

namespace vigilux {
struct AppContext;
}

namespace vigilux::platform {
class UrlOpener;
}

namespace vigilux::controls {
class TitleBarButton;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::app {

class UpdateChecker;

// The About window: version, web site, contact address and the manual update
// check. Borderless; dragged by its header picture `Head`. Opened modal by the
// main window and destroyed when closed (XpB1 accepts, tb11 rejects).
//
// The update checker belongs to the main window and outlives this window; a
// check still running when the window closes goes on without a caption to
// write to. UI thread only.
class AboutWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutWindow)

public:
    static constexpr int ATimerInterval = 800;

    AboutWindow(AppContext& context, UpdateChecker& checker, platform::UrlOpener& opener,
          QWidget* parent = nullptr);
    ~AboutWindow() override;

    // Where Label6 and Label4 lead.
    static QUrl WebSite();
    static QUrl MailTo();

    QTimer& ATimer() { return m_ATimer; }
    // The small blinking shape.
    QLabel* Blink() const { return m_blink; }

    // Timer handler, public so tests need not wait for ticks.
    void ATimer_Timer();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, const QString& text, const QPoint& at);
    void makeLink(QLabel* label);

    AppContext& m_context;
    UpdateChecker& m_checker;
    platform::UrlOpener& m_opener;

    QLabel* m_Head = nullptr;
    QLabel* m_Label4 = nullptr;
    QLabel* m_Label6 = nullptr;
    QLabel* m_blink = nullptr;
    controls::TitleBarButton* m_tb11 = nullptr;
    controls::PushButton* m_XpB1 = nullptr;
    controls::PushButton* m_XpB2 = nullptr;
    QTimer m_ATimer;
};

} // namespace vigilux::app
