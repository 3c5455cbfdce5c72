#include "notify/EventNotifier.h"

#include "core/NotifySettings.h"
#include "events/EventTracker.h"
#include "notify/NotifyQueue.h"
#include "notify/TelegramClient.h"

#include <QFileInfo>

#include <cmath>
#include <utility>

namespace vigilux::notify {

namespace {

const QString TimeFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");

} // namespace

EventNotifier::EventNotifier(events::EventTracker& tracker, notify::NotifyQueue& queue,
                             const core::NotifySettings& settings, std::function<bool()> muted,
                             QObject* parent)
    : QObject(parent)
    , m_queue(queue)
    , m_settings(settings)
    , m_muted(std::move(muted)) {
    m_pictureWait.setSingleShot(true);
    m_pictureWait.setInterval(DefaultPictureWaitMs);
    connect(&m_pictureWait, &QTimer::timeout, this, [this] { sendStart(QString()); });
    connect(&tracker, &events::EventTracker::eventStarted, this, &EventNotifier::onStarted);
    connect(&tracker, &events::EventTracker::fileAdded, this, &EventNotifier::onFileAdded);
    connect(&tracker, &events::EventTracker::eventEnding, this, &EventNotifier::onEnding);
    connect(&tracker, &events::EventTracker::eventEnded, this, &EventNotifier::onEnded);
}

EventNotifier::~EventNotifier() = default;

QString EventNotifier::durationText(double seconds) {
    const qint64 total = std::llround(std::max(0.0, seconds));
    const qint64 hours = total / 3600;
    const qint64 minutes = total % 3600 / 60;
    const qint64 rest = total % 60;
    if (hours > 0)
        return QStringLiteral("%1 ч %2 мин").arg(hours).arg(minutes);
    if (minutes > 0)
        return QStringLiteral("%1 мин %2 с").arg(minutes).arg(rest);
    return QStringLiteral("%1 с").arg(rest);
}

namespace {

// What the object detector found, when it watches: ", объектов: 2, крупнейший 1,25 % кадра".
QString objectsText(const events::MotionEvent& event) {
    if (event.peakObjects <= 0)
        return {};
    return QStringLiteral(", объектов: %1, крупнейший %2,%3 % кадра")
        .arg(event.peakObjects)
        .arg(event.largestObject / 100)
        .arg(event.largestObject % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

QString EventNotifier::startCaption(const events::MotionEvent& event) {
    return QStringLiteral("Событие %1: движение в кадре, %2, изменение %3 %")
               .arg(event.number)
               .arg(event.startTime.toString(TimeFormat))
               .arg(event.peakChange) +
           objectsText(event);
}

QString EventNotifier::summary(const events::MotionEvent& event) {
    // An interrupted event's end is where the program stopped, not where
    // the motion did.
    return QStringLiteral("Событие %1 %2: %3, снимков: %4, наибольшее изменение %5 %")
               .arg(event.number)
               .arg(event.interrupted ? QStringLiteral("прервано") : QStringLiteral("закончилось"))
               .arg(durationText(event.durationSeconds()))
               .arg(event.files.size())
               .arg(event.peakChange) +
           objectsText(event);
}

void EventNotifier::onStarted(const events::MotionEvent& event) {
    m_pictureWait.stop();
    m_event = event;
    m_heldClips.clear();
    m_silent = m_muted && m_muted();
    m_startPending = !m_silent;
    // A clip that comes after a muted event is that event's: not sent.
    m_lastAnnounced = m_silent ? 0 : event.number;
    if (m_silent)
        return;
    if (!event.files.isEmpty())
        sendStart(event.files.first());
    else
        m_pictureWait.start();
}

void EventNotifier::onFileAdded(const events::MotionEvent& event, const QString& path) {
    if (m_startPending && event.number == m_event.number)
        sendStart(path);
}

void EventNotifier::onEnding(const events::MotionEvent& event) {
    // An event over before its first picture still gets its start message.
    if (m_startPending && event.number == m_event.number)
        sendStart(event.files.value(0));
}

void EventNotifier::onEnded(const events::MotionEvent& event) {
    m_pictureWait.stop();
    m_endedNumber = event.number;
    const QStringList held = std::exchange(m_heldClips, {});
    if (m_silent || event.number != m_event.number)
        return;
    m_silent = true;
    if (m_muted && m_muted())
        return;
    sendBoth(QStringLiteral("Событие %1 закончилось").arg(event.number), summary(event), QString());
    // Every event's messages come in one order: start, summary, clip.
    for (const QString& clip : held)
        clipFinished(clip);
}

void EventNotifier::sendStart(const QString& picture) {
    if (!m_startPending)
        return;
    m_startPending = false;
    m_pictureWait.stop();
    sendBoth(QStringLiteral("Движение в кадре: событие %1").arg(m_event.number),
             startCaption(m_event), picture);
}

void EventNotifier::clipFinished(const QString& path) {
    if (m_lastAnnounced == 0 || (m_muted && m_muted()))
        return;
    // A clip of an event whose end is not yet told waits for its summary.
    if (m_lastAnnounced == m_event.number && m_endedNumber != m_event.number) {
        m_heldClips << path;
        return;
    }
    sendClip(m_lastAnnounced, path);
}

void EventNotifier::finishInterrupted(const events::MotionEvent& event, bool summaryDue,
                                      const QStringList& clips) {
    if (m_muted && m_muted())
        return;
    // The order of every event: its start went out in the last run, the
    // summary and the clips follow now.
    if (summaryDue)
        sendBoth(QStringLiteral("Событие %1 прервано").arg(event.number), summary(event),
                 QString());
    for (const QString& clip : clips)
        sendClip(event.number, clip);
}

void EventNotifier::sendClip(int number, const QString& path) {
    const qint64 size = QFileInfo(path).size();
    if (size <= 0)
        return;
    const QString text = QStringLiteral("Видео события %1").arg(number);
    if (m_settings.sendClips && size <= notify::TelegramClient::MaxUploadBytes) {
        notify::Notification m;
        m.channel = notify::NotifyChannel::Telegram;
        m.kind = notify::Notification::Kind::Video;
        m.text = text;
        m.file = path;
        m_queue.enqueue(m);
    }
    if (m_settings.mailClip && size <= qint64(m_settings.mailClipMaxMb) * 1024 * 1024) {
        notify::Notification m;
        m.channel = notify::NotifyChannel::Mail;
        m.kind = notify::Notification::Kind::Video;
        m.subject = text;
        m.text = text;
        m.file = path;
        m_queue.enqueue(m);
    }
}

void EventNotifier::sendBoth(const QString& subject, const QString& text, const QString& picture) {
    using Kind = notify::Notification::Kind;
    const Kind kind = picture.isEmpty() ? Kind::Text : Kind::Picture;
    for (notify::NotifyChannel channel :
         {notify::NotifyChannel::Telegram, notify::NotifyChannel::Mail}) {
        notify::Notification m;
        m.channel = channel;
        m.kind = kind;
        m.subject = subject;
        m.text = text;
        m.file = picture;
        m_queue.enqueue(m); // a channel that is off takes nothing
    }
}

} // namespace vigilux::notify
