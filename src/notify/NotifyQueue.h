#pragma once

#include "core/LineJournal.h"
#include "notify/MailClient.h"
#include "notify/NotifyResult.h"
#include "notify/TelegramClient.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

namespace vigilux::platform {
class Clock;
}
namespace vigilux::core {
struct NotifySettings;
}

namespace vigilux::notify {

enum class NotifyChannel { Telegram = 0, Mail = 1 };

// One message waiting to go out on one channel.
struct Notification {
    enum class Kind { Text = 0, Picture = 1, Video = 2 };

    qint64 id = 0; // given by the queue
    NotifyChannel channel = NotifyChannel::Telegram;
    Kind kind = Kind::Text;
    QString subject; // e-mail only
    QString text;    // the caption or the body
    QString file;    // the picture or clip; empty for text only
    int failures = 0;
    qint64 firstFailureMs = 0; // wall clock, ms since the epoch; 0 before a failure
};

// The outgoing messages of both channels. Each channel is a lane of its own
// (a mail server that is down never holds up Telegram) that delivers its
// messages one at a time in the order they came. A failed message is tried
// again after 10 s, 30 s, 1 min, 5 min and then every 5 min (or later, when
// the server asked us to wait longer), and given up 24 hours after its first
// failure. Every failed attempt raises exactly one `statusText`.
//
// Messages are kept in a line journal, each change one appended line, so
// they survive a crash or a kill and are sent after the next start (a
// message whose sending was cut short may arrive twice; none is lost).
// Settings (addresses and secrets) are read at each attempt, so a message
// waiting for a fixed password goes out with it.
//
// UI thread only; nothing here waits: the clients run on signals and a
// worker thread, the journal writes one short line per change.
class NotifyQueue final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotifyQueue)

public:
    // `settings` and `clock` must outlive the queue. The journal's messages
    // are loaded at once; delivery begins with start().
    NotifyQueue(const QString& journalPath, const core::NotifySettings& settings,
                platform::Clock& clock, QObject* parent = nullptr);
    ~NotifyQueue() override;

    // Begins delivering (the caller waits until the secrets are loaded).
    void start();

    // Adds a message; returns its id. A message for a channel that is off
    // is not queued (0).
    qint64 enqueue(Notification message);

    QList<Notification> waiting(NotifyChannel channel) const;
    qsizetype pendingCount() const;
    // The last failure of the channel, with its local time; "" before one.
    QString lastError(NotifyChannel channel) const;
    // How long the channel waits before its next attempt; 0 when it is not
    // waiting after a failure.
    qint64 retryDelayMs(NotifyChannel channel) const;
    // Lanes waiting after a failure try again now (the user fixed a setting).
    void retryNow();

    // The clients, so tests and callers can tighten their bounds.
    TelegramClient& telegram() { return m_telegram; }
    MailClient& mail() { return m_mail; }

    static QString channelName(NotifyChannel channel);
    // The clients' view of the settings.
    static TelegramClient::Target telegramTarget(const core::NotifySettings& settings);
    static MailClient::Server mailServer(const core::NotifySettings& settings);
    static MailClient::Message mailMessage(const core::NotifySettings& settings,
                                           const QString& subject, const QString& text,
                                           const QString& file);
    // The text with the token and the password masked.
    static QString withoutSecrets(const core::NotifySettings& settings, QString text);
    // "42 с", "1 мин", "5 мин".
    static QString delayText(qint64 ms);

signals:
    void statusText(const QString& text);
    void delivered(qint64 id);

private:
    struct Lane {
        QList<Notification> items;
        bool busy = false;
        QTimer retry;
        qint64 plannedDelayMs = 0;
        QString lastError;
    };

    Lane& lane(NotifyChannel channel) { return m_lanes[static_cast<std::size_t>(channel)]; }
    const Lane& lane(NotifyChannel channel) const {
        return m_lanes[static_cast<std::size_t>(channel)];
    }
    void load();
    void pump(NotifyChannel channel);
    void send(const Notification& message);
    void onResult(NotifyChannel channel, const NotifyResult& result);
    void drop(Lane& lane);
    void record(const QString& line);
    void compactIfIdle();
    qint64 nowMs() const;
    bool channelOn(NotifyChannel channel) const;

    const core::NotifySettings& m_settings;
    platform::Clock& m_clock;
    core::LineJournal m_journal;
    TelegramClient m_telegram;
    MailClient m_mail;
    std::array<Lane, 2> m_lanes;
    qint64 m_nextId = 1;
    int m_doneSinceCompaction = 0;
    bool m_started = false;
    bool m_journalFailed = false;
};

} // namespace vigilux::notify
