#pragma once

#include "core/StatusSink.h"
#include "notify/NotifyQueue.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace vigilux {
struct AppContext;
}
namespace vigilux::core {
class NotifyOptions;
}
namespace vigilux::events {
class EventTracker;
struct MotionEvent;
} // namespace vigilux::events
namespace vigilux::platform {
class Keyring;
}

namespace vigilux::notify {

class EventNotifier;

// The messages about motion events on the user's phone, put together: the
// [Notify] settings with their secrets, the outgoing queue kept next to
// options.ini, and the EventNotifier that feeds it from the event tracker.
// Delivery begins once the secrets are in, so nothing waiting in the queue
// goes out without its password. UI thread only.
class Notifications final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Notifications)

public:
    static QString journalFileName() { return QStringLiteral("notify-queue.journal"); }

    // `status` shows a text in the main window's status line; `keyring`
    // (null: none, the secrets stay in options.ini) must outlive this.
    Notifications(AppContext& context, core::StatusSink status, QObject* parent = nullptr);
    ~Notifications() override;

    void setKeyring(platform::Keyring* keyring) { m_keyring = keyring; }

    // Loads the settings and opens the queue (once the settings file is
    // known); delivery follows when the secrets are loaded.
    void start();
    bool started() const { return m_queue != nullptr; }
    // Messages for the tracker's events from now on, silent while `muted`
    // says so. Works before and after start().
    void follow(events::EventTracker& tracker, std::function<bool()> muted);
    // A clip of the last event was written.
    void clipFinished(const QString& path);
    // A text message about the camera (lost, frozen, covered, restored) on
    // every channel that is on. Dropped before start().
    void cameraAlert(const QString& subject, const QString& text);
    // An event the last run left open, finished at start (EventNotifier).
    void finishInterrupted(const events::MotionEvent& event, bool summaryDue,
                           const QStringList& clips);

    // Null before start().
    notify::NotifyQueue* queue() const { return m_queue.get(); }
    // Null before start().
    core::NotifyOptions* options() const { return m_options.get(); }
    QString lastError(notify::NotifyChannel channel) const;
    QString journalPath() const;

private:
    void connectNotifier();

    AppContext& m_context;
    core::StatusSink m_status;
    platform::Keyring* m_keyring = nullptr;
    std::unique_ptr<core::NotifyOptions> m_options;
    std::unique_ptr<notify::NotifyQueue> m_queue;
    std::unique_ptr<EventNotifier> m_notifier;
    events::EventTracker* m_tracker = nullptr;
    std::function<bool()> m_muted;
};

} // namespace vigilux::notify
