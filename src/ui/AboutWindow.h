#pragma once

#include <QDialog>
#include <QTimer>
#include <QUrl>

class QLabel;

namespace vigilux {
struct AppContext;
}

namespace vigilux::app {
class UpdateChecker;
}
namespace vigilux::platform {
class UrlOpener;
}

namespace vigilux::controls {
class TitleBarButton;
class PushButton;
} // namespace vigilux::controls

namespace vigilux::ui {

// The About window: version, web site, contact address and the manual update
// check. Borderless; dragged by its header picture. Opened modal by the
// main window and destroyed when closed (OK accepts, the close box rejects).
//
// The update checker belongs to the main window and outlives this window; a
// check still running when the window closes goes on without a caption to
// write to. UI thread only.
class AboutWindow final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutWindow)

public:
    static constexpr int BlinkIntervalMs = 800;

    AboutWindow(AppContext& context, app::UpdateChecker& checker, platform::UrlOpener& opener,
                QWidget* parent = nullptr);
    ~AboutWindow() override;

    // Where the site and mail links lead.
    static QUrl webSite();
    static QUrl mailTo();

    QTimer& blinkTimer() { return m_blinkTimer; }
    // The small blinking shape.
    QLabel* blinkLabel() const { return m_blinkLabel; }

    // Timer handler, public so tests need not wait for ticks.
    void onBlinkTick();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* addLabel(const char* name, const QString& text, const QPoint& at);
    void makeLink(QLabel* label);

    AppContext& m_context;
    app::UpdateChecker& m_checker;
    platform::UrlOpener& m_opener;

    QLabel* m_header = nullptr;
    QLabel* m_mailLabel = nullptr;
    QLabel* m_siteLabel = nullptr;
    QLabel* m_blinkLabel = nullptr;
    controls::TitleBarButton* m_closeButton = nullptr;
    controls::PushButton* m_okButton = nullptr;
    controls::PushButton* m_updateButton = nullptr;
    QTimer m_blinkTimer;
};

} // namespace vigilux::ui
