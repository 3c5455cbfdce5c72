#include "core/NotifyOptions.h"

#include "core/Cp1251.h"
#include "core/IniFile.h"
#include "core/NotifySettings.h"
#include "core/SettingsStorage.h"
#include "platform/Keyring.h"

#include <QTimer>

#include <algorithm>

namespace vigilux::core {

namespace {

using core::NotifySettings;

const QString TokenKey = QStringLiteral("TelegramToken");
const QString PassKey = QStringLiteral("SmtpPass");
const QString SecretsKey = QStringLiteral("Secrets");
const QString InKeyring = QStringLiteral("keyring");
const QString InIni = QStringLiteral("ini");

// A scrambled secret grows about sevenfold, past what one value of the file
// holds (a bot token alone needs some 330 characters), so it is spread over
// the key and numbered continuation keys ("TelegramToken2", ...).
constexpr int ChunkLength = 240;
constexpr int MaxChunks = 16;

QString chunkKey(const QString& key, int index) {
    return index == 0 ? key : key + QString::number(index + 1);
}

} // namespace

const QString NotifyOptions::Section = QStringLiteral("Notify");

NotifyOptions::NotifyOptions(core::IniFile& ini, core::NotifySettings& settings,
                             platform::Keyring* keyring, QObject* parent)
    : QObject(parent)
    , m_ini(ini)
    , m_settings(settings)
    , m_keyring(keyring) {}

NotifyOptions::~NotifyOptions() = default;

QString NotifyOptions::scramble(const QString& secret) {
    // Each UTF-8 byte as the code-page character of that code: the FTP
    // scrambling then stores exactly the byte.
    QString bytes;
    for (const char b : secret.toUtf8())
        bytes += QChar(core::Cp1251::character(static_cast<unsigned char>(b)));
    return SettingsStorage::scramblePassword(bytes);
}

QString NotifyOptions::unscramble(const QString& stored) {
    return QString::fromUtf8(core::Cp1251::encode(SettingsStorage::unscramblePassword(stored)));
}

QString NotifyOptions::readSecretFromIni(const QString& key) {
    QString stored;
    for (int i = 0; i < MaxChunks; ++i) {
        const QString chunk = m_ini.read(chunkKey(key, i), Section);
        if (chunk.isEmpty())
            break;
        stored += chunk;
    }
    return unscramble(stored);
}

void NotifyOptions::writeSecretToIni(const QString& key, const QString& secret) {
    const QString stored = scramble(secret);
    int i = 0;
    for (; i * ChunkLength < stored.size() && i < MaxChunks; ++i)
        m_ini.write(stored.mid(i * ChunkLength, ChunkLength), chunkKey(key, i), Section);
    // An older, longer secret must not leave its tail behind; the first key
    // is always written so the file shows where the secret belongs.
    if (i == 0)
        m_ini.write(QString(), chunkKey(key, i++), Section);
    for (; i < MaxChunks && !m_ini.read(chunkKey(key, i), Section).isEmpty(); ++i)
        m_ini.write(QString(), chunkKey(key, i), Section);
}

void NotifyOptions::load() {
    ++m_generation;
    NotifySettings& s = m_settings;
    const NotifySettings defaults;
    const auto flag = [&](const QString& key, bool fallback) {
        return SettingsStorage::textToBool(m_ini.read(key, Section), fallback);
    };
    const auto number = [&](const QString& key, qint32 fallback, qint32 low, qint32 high) {
        return std::clamp(SettingsStorage::textToInt32(m_ini.read(key, Section), fallback), low,
                          high);
    };
    const auto text = [&](const QString& key) { return m_ini.read(key, Section); };

    s.telegramOn = flag(QStringLiteral("TelegramOn"), defaults.telegramOn);
    s.telegramApi = text(QStringLiteral("TelegramApi"));
    if (s.telegramApi.trimmed().isEmpty())
        s.telegramApi = defaults.telegramApi;
    s.telegramChat = text(QStringLiteral("TelegramChat"));
    s.mailOn = flag(QStringLiteral("MailOn"), defaults.mailOn);
    s.smtpServer = text(QStringLiteral("SmtpServer"));
    s.smtpPort = number(QStringLiteral("SmtpPort"), defaults.smtpPort, 0, 65535);
    s.smtpSecurity = number(QStringLiteral("SmtpSecurity"), defaults.smtpSecurity,
                            NotifySettings::SecurityNone, NotifySettings::SecurityTls);
    s.smtpLogin = text(QStringLiteral("SmtpLogin"));
    s.mailFrom = text(QStringLiteral("MailFrom"));
    s.mailTo = text(QStringLiteral("MailTo"));
    s.smtpCaFile = text(QStringLiteral("SmtpCaFile"));
    s.sendClips = flag(QStringLiteral("SendClips"), defaults.sendClips);
    s.mailClip = flag(QStringLiteral("MailClip"), defaults.mailClip);
    s.mailClipMaxMb = number(QStringLiteral("MailClipMaxMb"), defaults.mailClipMaxMb, 1, 1024);

    if (text(SecretsKey) == InKeyring) {
        if (m_keyring) {
            readFromKeyring();
            return;
        }
        s.telegramToken.clear();
        s.smtpPassword.clear();
        const quint64 generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                emit loaded(QStringLiteral("Хранилище паролей недоступно: токен Telegram и "
                                           "пароль почты не загружены"));
        });
        return;
    }
    s.telegramToken = readSecretFromIni(TokenKey);
    s.smtpPassword = readSecretFromIni(PassKey);
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation)
            emit loaded(QString());
    });
}

void NotifyOptions::readFromKeyring() {
    const quint64 generation = m_generation;
    m_pending = 2;
    m_allOk = true;
    const auto answer = [this, generation](QString NotifySettings::*field) {
        return [this, generation, field](bool ok, const QString& value) {
            if (generation != m_generation)
                return;
            if (ok)
                m_settings.*field = value;
            m_allOk = m_allOk && ok;
            if (--m_pending == 0)
                emit loaded(m_allOk ? QString()
                                    : QStringLiteral("Не удалось прочитать токен Telegram или "
                                                     "пароль почты из хранилища паролей"));
        };
    };
    m_keyring->read(TokenKey, answer(&NotifySettings::telegramToken));
    m_keyring->read(PassKey, answer(&NotifySettings::smtpPassword));
}

void NotifyOptions::save() {
    ++m_generation;
    const NotifySettings& s = m_settings;
    m_ini.write(s.telegramOn, QStringLiteral("TelegramOn"), Section);
    m_ini.write(s.telegramApi, QStringLiteral("TelegramApi"), Section);
    m_ini.write(s.telegramChat, QStringLiteral("TelegramChat"), Section);
    m_ini.write(s.mailOn, QStringLiteral("MailOn"), Section);
    m_ini.write(s.smtpServer, QStringLiteral("SmtpServer"), Section);
    m_ini.write(s.smtpPort, QStringLiteral("SmtpPort"), Section);
    m_ini.write(s.smtpSecurity, QStringLiteral("SmtpSecurity"), Section);
    m_ini.write(s.smtpLogin, QStringLiteral("SmtpLogin"), Section);
    m_ini.write(s.mailFrom, QStringLiteral("MailFrom"), Section);
    m_ini.write(s.mailTo, QStringLiteral("MailTo"), Section);
    m_ini.write(s.smtpCaFile, QStringLiteral("SmtpCaFile"), Section);
    m_ini.write(s.sendClips, QStringLiteral("SendClips"), Section);
    m_ini.write(s.mailClip, QStringLiteral("MailClip"), Section);
    m_ini.write(s.mailClipMaxMb, QStringLiteral("MailClipMaxMb"), Section);

    if (m_keyring) {
        writeToKeyring();
        return;
    }
    finishSave(false);
}

void NotifyOptions::writeToKeyring() {
    const quint64 generation = m_generation;
    m_pending = 2;
    m_allOk = true;
    const auto answer = [this, generation](bool ok) {
        if (generation != m_generation)
            return;
        m_allOk = m_allOk && ok;
        if (--m_pending == 0)
            finishSave(m_allOk);
    };
    m_keyring->write(TokenKey, m_settings.telegramToken, answer);
    m_keyring->write(PassKey, m_settings.smtpPassword, answer);
}

void NotifyOptions::finishSave(bool inKeyring) {
    // The file says where the secrets are only once they are there, and a
    // copy in the file is wiped only once the keyring holds them.
    if (inKeyring) {
        writeSecretToIni(TokenKey, QString());
        writeSecretToIni(PassKey, QString());
        m_ini.write(InKeyring, SecretsKey, Section);
    } else {
        writeSecretToIni(TokenKey, m_settings.telegramToken);
        writeSecretToIni(PassKey, m_settings.smtpPassword);
        m_ini.write(InIni, SecretsKey, Section);
    }
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, inKeyring] {
        if (generation == m_generation)
            emit saved(inKeyring);
    });
}

} // namespace vigilux::core
