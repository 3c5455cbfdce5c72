#pragma once

#include <QString>

namespace vigilux::core {

// The [Notify] keys: where messages about motion events go (a Telegram bot
// and an e-mail account). Both channels are off until the user sets them up.
// telegramToken and smtpPassword hold the plain secrets in memory only; the file
// or the desktop keyring keeps them (see core::NotifyOptions). The keys and
// defaults are in core::SettingsTable.
struct NotifySettings {
    enum Security { SecurityNone = 0, SecurityStartTls = 1, SecurityTls = 2 };

    NotifySettings();

    bool telegramOn;
    QString telegramApi;
    QString telegramToken;
    QString telegramChat;

    bool mailOn;
    QString smtpServer;
    qint32 smtpPort;
    qint32 smtpSecurity;
    QString smtpLogin;
    QString smtpPassword;
    QString mailFrom;
    QString mailTo; // addresses separated by commas or semicolons
    QString smtpCaFile;

    // The event clip goes with the end-of-event message when clips exist and
    // fit the channel's limit; by mail only when asked for (mailboxes fill).
    bool sendClips;
    bool mailClip;
    qint32 mailClipMaxMb;

    bool operator==(const NotifySettings&) const = default;
};

} // namespace vigilux::core
