#pragma once

#include "core/StatusSink.h"
#include "web/PublishedRemoteViewSource.h"
#include "web/RemoteViewSettings.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

namespace vigilux {
struct AppContext;
}
namespace vigilux::app {
class QuietTime;
}
namespace vigilux::events {
class EventTracker;
}
namespace vigilux::notify {
class Notifications;
}
namespace vigilux::upload {
class UploadQueue;
}
namespace vigilux::web {
class RemoteViewServer;
}

namespace vigilux::ui {

class CaptureControl;
class ProgramOptionsWindow;

// The remote view (a web page for the user's phone) wired into the program:
// while [Remote] RemoteOn is set it runs web::RemoteViewServer and publishes
// the live picture, the state of watching and the save folder to it; its
// actions (watching, mute, snapshot) come back here. Nothing of it exists
// while it is off: no server, no thread, no timer.
//
// The live picture costs the UI thread nothing while nobody looks: the
// server asks for a picture only while a viewer is connected, and only then
// does a timer here copy the device's latest frame, at most five a second;
// scaling and JPEG encoding happen on the server's thread.
//
// UI thread only, except the source's getters, which the server calls on
// its own thread (they read only what was published, under the base's
// lock). The parts must outlive this object.
class RemoteViewWiring final : public QObject, private web::PublishedRemoteViewSource {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteViewWiring)
public:
    struct Parts {
        CaptureControl& capture;
        app::QuietTime& quiet;
        upload::UploadQueue& uploads;
        notify::Notifications& notifications;
        // The watch button's command (refused while it is greyed).
        std::function<void()> toggleWatching;
        // The latest motion level, in percent.
        std::function<qint32()> level;
        core::StatusSink status;
    };

    static constexpr int FrameIntervalMs = 200;
    // A viewer that has not asked for a picture for this long has gone.
    static constexpr qint64 InterestMs = 2000;
    static constexpr int StateIntervalMs = 1000;

    RemoteViewWiring(AppContext& context, Parts parts, QObject* parent = nullptr);
    ~RemoteViewWiring() override;

    // Counts today's events as they start.
    void follow(events::EventTracker& tracker);

    // Starts, restarts or stops the server as the settings say; a failure is
    // a status text (and error()), never more.
    void apply();
    void stop();

    bool isRunning() const;
    quint16 port() const;
    // The last failure to start; "" once running or off.
    const QString& error() const { return m_error; }
    // SHA-256 of the certificate the phone will see ("AB:CD:..."): the
    // running server's, else that of the certificate file, if one exists.
    QString fingerprint() const;
    // What to type on the phone, one address per line.
    QStringList phoneAddresses() const;

    // Where the server listens; every interface unless a test narrows it.
    void setListenAddress(const QHostAddress& address) { m_address = address; }

    // The "Удалённый доступ" page.
    void addPageTo(ProgramOptionsWindow& window);

private:
    // RemoteViewSource, on the server's thread.
    QByteArray latestJpeg() override;
    // RemoteViewSource actions, on this thread.
    void setWatching(bool on) override;
    void mute(web::MuteChoice choice) override;
    void takeSnapshot() override;

    web::RemoteViewSettings wanted() const;
    void startPulling();
    void pullFrame();
    void publishNow();
    void countEventsInLog();

    AppContext& m_context;
    Parts m_parts;
    std::unique_ptr<web::RemoteViewServer> m_server;
    web::RemoteViewSettings m_running;
    QHostAddress m_address = QHostAddress::Any;
    QString m_error;

    QTimer m_frameTimer;
    QTimer m_stateTimer;
    QElapsedTimer m_clock;                 // read on both threads
    std::atomic<qint64> m_lastAskedMs{-1}; // by the server's thread
    std::atomic<bool> m_pulling{false};
    quint64 m_lastDelivered = 0;

    QDateTime m_watchingSince;
    QDate m_countDay;
    int m_eventsToday = 0;
    QDateTime m_lastEvent;
};

} // namespace vigilux::ui
