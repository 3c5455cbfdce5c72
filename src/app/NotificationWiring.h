#pragma once

#include "app/Notifications.h"

#include <QObject>

#include <functional>

namespace vigilux {
struct AppContext;
}
namespace vigilux::capture {
class CaptureControl;
}
namespace vigilux::settings {
class ProgramOptionsWindow;
}

namespace vigilux::app {

class QuietTime;

// The main window's messages to the user's phone: one pair per motion event
// of the capture control, a finished clip after its event, quiet with the
// other alarm actions, and their page in the program options window.
class NotificationWiring final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationWiring)
public:
    // `status` shows a text in the status line.
    NotificationWiring(AppContext& context, std::function<void(const QString&)> status,
                       QObject* parent = nullptr);

    // Both must outlive this.
    void follow(capture::CaptureControl& control, const QuietTime& quiet);
    // Once the settings are loaded.
    void start() { m_notify.start(); }
    // The "Уведомления" page, once started.
    void addPageTo(settings::ProgramOptionsWindow& window);

    Notifications& notifications() { return m_notify; }

private:
    AppContext& m_context;
    Notifications m_notify;
};

} // namespace vigilux::app
