#pragma once

#include "core/StatusSink.h"
#include "events/EventLog.h"
#include "video/CameraHealth.h"

#include <QObject>
#include <QString>

#include <functional>

namespace vigilux {
struct AppContext;
}
namespace vigilux::video {
class CameraHealthMonitor;
}

namespace vigilux::ui {

// What the program does when the camera fails without an error, for any
// source: each alert of the health monitor (lost, frozen, covered or dark,
// and restored when all is well again) becomes a line of camera.csv in the
// save folder, a status text, a balloon and a message to the phone on the
// channels the user turned on. The monitor reports once per outage, so
// these come once per outage too. The tray's quiet time does not silence
// them: it is for motion, and a dead camera must be heard of.
//
// UI thread only; the monitor must outlive this.
class CameraHealthWiring final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CameraHealthWiring)
public:
    struct Sinks {
        core::StatusSink status;
        // Title, text, icon flags (1 information, 2 warning).
        std::function<void(const QString&, const QString&, int)> balloon;
        // Subject and text of a phone message.
        std::function<void(const QString&, const QString&)> phone;
        // The source watched, as it may be shown (password masked).
        std::function<QString()> source;
    };

    CameraHealthWiring(AppContext& context, Sinks sinks, QObject* parent = nullptr);

    void follow(video::CameraHealthMonitor& monitor);
    void onAlert(video::CameraHealth::Alert alert, const QString& text);

    // "lost", "frozen", "covered", "restored": the log's alert column.
    static QString alertName(video::CameraHealth::Alert alert);

private:
    AppContext& m_context;
    Sinks m_sinks;
    events::EventLog m_log;
};

} // namespace vigilux::ui
