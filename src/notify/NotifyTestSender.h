#pragma once

#include "notify/MailClient.h"
#include "notify/NotifyQueue.h"
#include "notify/NotifyResult.h"
#include "notify/TelegramClient.h"

#include <QObject>

namespace vigilux::core {
struct NotifySettings;
}

namespace vigilux::notify {

// Sends one test message on a channel straight away, past the queue, with
// settings that need not be saved yet (the settings window tries what the
// user typed). One test per channel at a time; each ends with one
// `finished`, raised after the call that started it has returned.
class NotifyTestSender final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotifyTestSender)

public:
    static const QString Subject;
    static const QString Text;

    explicit NotifyTestSender(QObject* parent = nullptr);
    ~NotifyTestSender() override;

    bool isBusy(NotifyChannel channel) const;
    // A call while the channel's test runs is ignored.
    void send(NotifyChannel channel, const core::NotifySettings& settings);

    TelegramClient& telegram() { return m_telegram; }
    MailClient& mail() { return m_mail; }

signals:
    void finished(vigilux::notify::NotifyChannel channel,
                  const vigilux::notify::NotifyResult& result);

private:
    TelegramClient m_telegram;
    MailClient m_mail;
    QString m_secrets[2]; // of the tests in progress, kept out of the answers
};

} // namespace vigilux::notify
