#include "notify/NotifyQueue.h"

#include "core/NotifySettings.h"
#include "core/RetryBackoff.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace vigilux::notify {

namespace {

using core::RetryBackoff;

// Journal lines: {"add":...} a new message with its whole state,
// {"fail":id,...} its failure count after a failed attempt, {"done":id} it
// left the queue (delivered or given up).
QString addRecord(const Notification& m) {
    QJsonObject o;
    o.insert(QStringLiteral("add"), m.id);
    o.insert(QStringLiteral("channel"), static_cast<int>(m.channel));
    o.insert(QStringLiteral("kind"), static_cast<int>(m.kind));
    o.insert(QStringLiteral("subject"), m.subject);
    o.insert(QStringLiteral("text"), m.text);
    o.insert(QStringLiteral("file"), m.file);
    o.insert(QStringLiteral("failures"), m.failures);
    o.insert(QStringLiteral("first"), m.firstFailureMs);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString failRecord(const Notification& m) {
    QJsonObject o;
    o.insert(QStringLiteral("fail"), m.id);
    o.insert(QStringLiteral("failures"), m.failures);
    o.insert(QStringLiteral("first"), m.firstFailureMs);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString doneRecord(qint64 id) {
    QJsonObject o;
    o.insert(QStringLiteral("done"), id);
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

MailClient::Security security(qint32 value) {
    switch (value) {
    case core::NotifySettings::SecurityNone:
        return MailClient::Security::None;
    case core::NotifySettings::SecurityTls:
        return MailClient::Security::Tls;
    default:
        return MailClient::Security::StartTls;
    }
}

constexpr int CompactAfterDone = 200;

} // namespace

NotifyQueue::NotifyQueue(const QString& journalPath, const core::NotifySettings& settings,
                         platform::Clock& clock, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_journal(journalPath) {
    for (NotifyChannel channel : {NotifyChannel::Telegram, NotifyChannel::Mail}) {
        Lane& l = lane(channel);
        l.retry.setSingleShot(true);
        connect(&l.retry, &QTimer::timeout, this, [this, channel] {
            lane(channel).plannedDelayMs = 0;
            pump(channel);
        });
    }
    connect(&m_telegram, &TelegramClient::finished, this,
            [this](const NotifyResult& r) { onResult(NotifyChannel::Telegram, r); });
    connect(&m_mail, &MailClient::finished, this,
            [this](const NotifyResult& r) { onResult(NotifyChannel::Mail, r); });
    load();
}

NotifyQueue::~NotifyQueue() = default;

QString NotifyQueue::channelName(NotifyChannel channel) {
    return channel == NotifyChannel::Telegram ? QStringLiteral("Telegram")
                                              : QStringLiteral("E-mail");
}

QString NotifyQueue::delayText(qint64 ms) {
    const qint64 seconds = (ms + 999) / 1000;
    if (seconds < 60 || seconds % 60 != 0)
        return QStringLiteral("%1 с").arg(seconds);
    return QStringLiteral("%1 мин").arg(seconds / 60);
}

qint64 NotifyQueue::nowMs() const {
    return m_clock.now().toMSecsSinceEpoch();
}

bool NotifyQueue::channelOn(NotifyChannel channel) const {
    return channel == NotifyChannel::Telegram ? m_settings.telegramOn : m_settings.mailOn;
}

void NotifyQueue::load() {
    QList<Notification> all;
    for (const QString& line : m_journal.readAll()) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.contains(QStringLiteral("add"))) {
            Notification m;
            m.id = o.value(QStringLiteral("add")).toInteger();
            const int channel = o.value(QStringLiteral("channel")).toInt(-1);
            const int kind = o.value(QStringLiteral("kind")).toInt(-1);
            if (m.id <= 0 || channel < 0 || channel > 1 || kind < 0 || kind > 2)
                continue; // not a line this program wrote
            m.channel = static_cast<NotifyChannel>(channel);
            m.kind = static_cast<Notification::Kind>(kind);
            m.subject = o.value(QStringLiteral("subject")).toString();
            m.text = o.value(QStringLiteral("text")).toString();
            m.file = o.value(QStringLiteral("file")).toString();
            m.failures = o.value(QStringLiteral("failures")).toInt();
            m.firstFailureMs = o.value(QStringLiteral("first")).toInteger();
            all.removeIf([&](const Notification& n) { return n.id == m.id; });
            all.append(m);
            m_nextId = std::max(m_nextId, m.id + 1);
        } else if (o.contains(QStringLiteral("fail"))) {
            const qint64 id = o.value(QStringLiteral("fail")).toInteger();
            for (Notification& m : all) {
                if (m.id == id) {
                    m.failures = o.value(QStringLiteral("failures")).toInt();
                    m.firstFailureMs = o.value(QStringLiteral("first")).toInteger();
                }
            }
        } else if (o.contains(QStringLiteral("done"))) {
            const qint64 id = o.value(QStringLiteral("done")).toInteger();
            all.removeIf([id](const Notification& m) { return m.id == id; });
        }
    }
    QStringList live;
    for (const Notification& m : all) {
        lane(m.channel).items.append(m);
        live << addRecord(m);
    }
    // Start from a journal that holds only what still waits; when that
    // cannot be written the old journal stays valid, only longer.
    if (!m_journal.readAll().isEmpty())
        m_journal.rewrite(live);
}

void NotifyQueue::start() {
    m_started = true;
    pump(NotifyChannel::Telegram);
    pump(NotifyChannel::Mail);
}

qint64 NotifyQueue::enqueue(Notification message) {
    if (!channelOn(message.channel))
        return 0;
    message.id = m_nextId++;
    message.failures = 0;
    message.firstFailureMs = 0;
    lane(message.channel).items.append(message);
    record(addRecord(message));
    pump(message.channel);
    return message.id;
}

QList<Notification> NotifyQueue::waiting(NotifyChannel channel) const {
    return lane(channel).items;
}

qsizetype NotifyQueue::pendingCount() const {
    return m_lanes[0].items.size() + m_lanes[1].items.size();
}

QString NotifyQueue::lastError(NotifyChannel channel) const {
    return lane(channel).lastError;
}

qint64 NotifyQueue::retryDelayMs(NotifyChannel channel) const {
    return lane(channel).retry.isActive() ? lane(channel).plannedDelayMs : 0;
}

void NotifyQueue::retryNow() {
    for (NotifyChannel channel : {NotifyChannel::Telegram, NotifyChannel::Mail}) {
        Lane& l = lane(channel);
        if (l.retry.isActive()) {
            l.retry.stop();
            l.plannedDelayMs = 0;
            pump(channel);
        }
    }
}

void NotifyQueue::pump(NotifyChannel channel) {
    Lane& l = lane(channel);
    if (!m_started || l.busy || l.retry.isActive())
        return;
    // The user switched the channel off: what waits for it is not wanted.
    while (!l.items.isEmpty() && !channelOn(channel))
        drop(l);
    if (l.items.isEmpty()) {
        compactIfIdle();
        return;
    }
    l.busy = true;
    send(l.items.first());
}

TelegramClient::Target NotifyQueue::telegramTarget(const core::NotifySettings& s) {
    return {s.telegramApi, s.telegramToken, s.telegramChat};
}

MailClient::Server NotifyQueue::mailServer(const core::NotifySettings& s) {
    MailClient::Server server;
    server.host = s.smtpServer;
    server.port = s.smtpPort;
    server.security = security(s.smtpSecurity);
    server.login = s.smtpLogin;
    server.password = s.smtpPassword;
    server.caFile = s.smtpCaFile;
    return server;
}

MailClient::Message NotifyQueue::mailMessage(const core::NotifySettings& s, const QString& subject,
                                             const QString& text, const QString& file) {
    MailClient::Message message;
    message.from = s.mailFrom;
    message.to = MailClient::splitAddresses(s.mailTo);
    message.subject = subject;
    message.text = text;
    if (!file.isEmpty())
        message.attachments << file;
    return message;
}

void NotifyQueue::send(const Notification& m) {
    if (m.channel == NotifyChannel::Telegram) {
        const TelegramClient::Target target = telegramTarget(m_settings);
        switch (m.kind) {
        case Notification::Kind::Text:
            m_telegram.sendMessage(target, m.text);
            break;
        case Notification::Kind::Picture:
            m_telegram.sendPhoto(target, m.text, m.file);
            break;
        case Notification::Kind::Video:
            m_telegram.sendVideo(target, m.text, m.file);
            break;
        }
        return;
    }
    m_mail.send(mailServer(m_settings), mailMessage(m_settings, m.subject, m.text, m.file));
}

void NotifyQueue::onResult(NotifyChannel channel, const NotifyResult& result) {
    Lane& l = lane(channel);
    if (!l.busy || l.items.isEmpty())
        return;
    l.busy = false;
    Notification& m = l.items.first();
    if (result.ok) {
        const qint64 id = m.id;
        drop(l);
        emit delivered(id);
        pump(channel);
        return;
    }

    const QString error = withoutSecrets(m_settings, result.error);
    l.lastError =
        m_clock.now().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) + QStringLiteral(" ") + error;
    const qint64 now = nowMs();
    if (m.failures == 0 || m.firstFailureMs <= 0)
        m.firstFailureMs = now;
    m.failures = std::min(m.failures + 1, 1000000);
    if (result.permanent) {
        drop(l);
        emit statusText(error + QStringLiteral(". Сообщение не будет отправлено"));
        pump(channel);
        return;
    }
    if (RetryBackoff::givesUp(m.firstFailureMs, now)) {
        drop(l);
        emit statusText(error +
                        QStringLiteral(". Сообщение не отправлено за сутки попыток и удалено"));
        pump(channel);
        return;
    }
    record(failRecord(m));
    l.plannedDelayMs = std::max(RetryBackoff::delayMs(m.failures), result.retryAfterMs);
    l.retry.start(static_cast<int>(std::min<qint64>(l.plannedDelayMs, 24LL * 60 * 60 * 1000)));
    emit statusText(error + QStringLiteral(". Повтор через ") + delayText(l.plannedDelayMs));
}

void NotifyQueue::drop(Lane& l) {
    record(doneRecord(l.items.first().id));
    l.items.removeFirst();
    ++m_doneSinceCompaction;
}

void NotifyQueue::compactIfIdle() {
    if (pendingCount() != 0 || m_doneSinceCompaction < CompactAfterDone)
        return;
    if (m_journal.rewrite({}))
        m_doneSinceCompaction = 0;
}

void NotifyQueue::record(const QString& line) {
    if (m_journal.append(line))
        return;
    // Sending goes on from memory; the user learns once that a restart would
    // lose what waits.
    if (m_journalFailed)
        return;
    m_journalFailed = true;
    emit statusText(QStringLiteral("Очередь уведомлений не сохраняется на диск: ") +
                    m_journal.lastError());
}

QString NotifyQueue::withoutSecrets(const core::NotifySettings& settings, QString text) {
    for (const QString& secret : {settings.telegramToken.trimmed(), settings.smtpPassword}) {
        if (secret.size() >= 3)
            text.replace(secret, QStringLiteral("***"));
    }
    return text;
}

} // namespace vigilux::notify
