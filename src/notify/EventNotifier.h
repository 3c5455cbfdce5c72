#pragma once

#include "events/MotionEvent.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace vigilux::events {
class EventTracker;
}
namespace vigilux::notify {
class NotifyQueue;
}
namespace vigilux::core {
struct NotifySettings;
}

namespace vigilux::notify {

// Turns motion events into messages on the user's phone: at the start of an
// event its first saved picture with a short caption, at its end a one-line
// summary, and the event's clip when one was recorded and fits the channel.
// Both channels (Telegram, e-mail) get the same messages through the
// outgoing queue, which keeps them until they are delivered.
//
// The start message waits for the event's first picture, but not for long:
// when none comes within pictureWaitMs (pictures are not saved, or the event
// ends at once) it goes out as text. While the alarm actions are muted an
// event that starts stays silent from start to end, and the summary of an
// event that was muted meanwhile is not sent either.
//
// UI thread only; the tracker, the queue and the settings must outlive it.
class EventNotifier final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EventNotifier)

public:
    static constexpr int DefaultPictureWaitMs = 3000;

    EventNotifier(events::EventTracker& tracker, notify::NotifyQueue& queue,
                  const core::NotifySettings& settings, std::function<bool()> muted,
                  QObject* parent = nullptr);
    ~EventNotifier() override;

    void setPictureWaitMs(int ms) { m_pictureWait.setInterval(ms); }

    // A clip was written; it belongs to the last event that was announced.
    void clipFinished(const QString& path);
    // An event the last run left open (a kill, a power cut), finished at
    // start: its summary when `summaryDue` (its end was never told), then
    // its clips. Silent while muted.
    void finishInterrupted(const events::MotionEvent& event, bool summaryDue,
                           const QStringList& clips);

    // "Событие 3: движение в кадре, 06.12.2026 21:30:05, изменение 12 %"
    static QString startCaption(const events::MotionEvent& event);
    // "Событие 3 закончилось: 1 мин 5 с, снимков: 4, наибольшее изменение 30 %"
    // ("прервано" for an interrupted event)
    static QString summary(const events::MotionEvent& event);
    // "0 с", "42 с", "3 мин 5 с", "2 ч 0 мин"
    static QString durationText(double seconds);

private:
    void onStarted(const events::MotionEvent& event);
    void onFileAdded(const events::MotionEvent& event, const QString& path);
    void onEnding(const events::MotionEvent& event);
    void onEnded(const events::MotionEvent& event);
    void sendStart(const QString& picture);
    void sendBoth(const QString& subject, const QString& text, const QString& picture);
    void sendClip(int number, const QString& path);

    notify::NotifyQueue& m_queue;
    const core::NotifySettings& m_settings;
    std::function<bool()> m_muted;
    QTimer m_pictureWait;
    events::MotionEvent m_event; // the open event as it was announced
    bool m_startPending = false; // the start message waits for a picture
    bool m_silent = true;        // the current event sends nothing
    int m_lastAnnounced = 0;     // number of the last event that was announced
    int m_endedNumber = 0;       // number of the last event whose end was heard
    QStringList m_heldClips;     // clips of the open event, sent after its summary
};

} // namespace vigilux::notify
