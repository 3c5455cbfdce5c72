#pragma once

#include "core/StatusSink.h"
#include "notify/Notifications.h"

#include <QObject>

#include <functional>

namespace vigilux {
struct AppContext;
}

namespace vigilux::app {
class QuietTime;
}
namespace vigilux::pipeline {
class WatchPipeline;
}
namespace vigilux::ui {
class ProgramOptionsWindow;

// The main window's messages to the user's phone: one pair per motion event
// of the capture control, a finished clip after its event, quiet with the
// other alarm actions, and their page in the program options window.
class NotificationWiring final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationWiring)
public:
    // `status` shows a text in the status line.
    NotificationWiring(AppContext& context, core::StatusSink status, QObject* parent = nullptr);

    // Both must outlive this.
    void follow(pipeline::WatchPipeline& watch, const app::QuietTime& quiet);
    // Once the settings are loaded.
    void start() { m_notify.start(); }
    // The "Уведомления" page, once started.
    void addPageTo(ui::ProgramOptionsWindow& window);

    notify::Notifications& notifications() { return m_notify; }

private:
    AppContext& m_context;
    notify::Notifications m_notify;
};

} // namespace vigilux::ui
