#include "notify/NotifyTestSender.h"

#include "core/NotifySettings.h"

namespace vigilux::notify {

const QString NotifyTestSender::Subject = QStringLiteral("Проверка уведомлений");
const QString NotifyTestSender::Text = QStringLiteral(
    "Это проверочное сообщение: уведомления о движении в кадре будут приходить сюда.");

NotifyTestSender::NotifyTestSender(QObject* parent)
    : QObject(parent) {
    // A test that ends while its settings were retyped still masks the
    // secrets it was sent with.
    connect(&m_telegram, &TelegramClient::finished, this, [this](NotifyResult result) {
        core::NotifySettings secrets;
        secrets.telegramToken = m_secrets[0];
        result.error = NotifyQueue::withoutSecrets(secrets, result.error);
        emit finished(NotifyChannel::Telegram, result);
    });
    connect(&m_mail, &MailClient::finished, this, [this](NotifyResult result) {
        core::NotifySettings secrets;
        secrets.smtpPassword = m_secrets[1];
        result.error = NotifyQueue::withoutSecrets(secrets, result.error);
        emit finished(NotifyChannel::Mail, result);
    });
}

NotifyTestSender::~NotifyTestSender() = default;

bool NotifyTestSender::isBusy(NotifyChannel channel) const {
    return channel == NotifyChannel::Telegram ? m_telegram.isBusy() : m_mail.isBusy();
}

void NotifyTestSender::send(NotifyChannel channel, const core::NotifySettings& settings) {
    if (isBusy(channel))
        return;
    if (channel == NotifyChannel::Telegram) {
        m_secrets[0] = settings.telegramToken.trimmed();
        m_telegram.sendMessage(NotifyQueue::telegramTarget(settings), Text);
        return;
    }
    m_secrets[1] = settings.smtpPassword;
    m_mail.send(NotifyQueue::mailServer(settings),
                NotifyQueue::mailMessage(settings, Subject, Text, QString()));
}

} // namespace vigilux::notify
