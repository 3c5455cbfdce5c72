#include "notify/Notifications.h"

#include "core/AppContext.h"
#include "core/NotifyOptions.h"
#include "notify/EventNotifier.h"

#include <QFileInfo>

namespace vigilux::notify {

Notifications::Notifications(AppContext& context, core::StatusSink status, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_status(std::move(status)) {}

Notifications::~Notifications() = default;

QString Notifications::journalPath() const {
    const QString ini = m_context.ini.fileName();
    const QString folder = ini.isEmpty() ? m_context.settingsFolder : QFileInfo(ini).absolutePath();
    return folder + QLatin1Char('/') + journalFileName();
}

void Notifications::start() {
    if (m_queue)
        return;
    m_options =
        std::make_unique<core::NotifyOptions>(m_context.ini, m_context.settings.notify, m_keyring);
    m_queue = std::make_unique<notify::NotifyQueue>(journalPath(), m_context.settings.notify,
                                                    m_context.clock);
    m_queue->setFileFolder([this] { return m_context.settings.savePath; });
    connect(m_queue.get(), &notify::NotifyQueue::statusText, this, [this](const QString& text) {
        if (m_status)
            m_status(QLatin1Char(' ') + text);
    });
    connect(m_options.get(), &core::NotifyOptions::loaded, this, [this](const QString& problem) {
        if (!problem.isEmpty() && m_status)
            m_status(QLatin1Char(' ') + problem);
        m_queue->start();
    });
    // A setting fixed in the window is tried at once rather than after the
    // backoff.
    connect(m_options.get(), &core::NotifyOptions::saved, m_queue.get(),
            &notify::NotifyQueue::retryNow);
    m_options->load();
    connectNotifier();
}

void Notifications::follow(events::EventTracker& tracker, std::function<bool()> muted) {
    m_tracker = &tracker;
    m_muted = std::move(muted);
    connectNotifier();
}

void Notifications::connectNotifier() {
    if (!m_queue || !m_tracker)
        return;
    m_notifier =
        std::make_unique<EventNotifier>(*m_tracker, *m_queue, m_context.settings.notify, m_muted);
}

void Notifications::clipFinished(const QString& path) {
    if (m_notifier)
        m_notifier->clipFinished(path);
}

void Notifications::cameraAlert(const QString& subject, const QString& text) {
    if (!m_queue)
        return;
    for (const NotifyChannel channel : {NotifyChannel::Telegram, NotifyChannel::Mail}) {
        Notification message;
        message.channel = channel;
        message.kind = Notification::Kind::Text;
        message.subject = subject;
        message.text = text;
        m_queue->enqueue(message);
    }
}

void Notifications::finishInterrupted(const events::MotionEvent& event, bool summaryDue,
                                      const QStringList& clips) {
    if (m_notifier)
        m_notifier->finishInterrupted(event, summaryDue, clips);
}

QString Notifications::lastError(notify::NotifyChannel channel) const {
    return m_queue ? m_queue->lastError(channel) : QString();
}

} // namespace vigilux::notify
