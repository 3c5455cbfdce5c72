#include "core/NotifyOptions.h"

#include "core/Cp1251.h"
#include "core/IniFile.h"
#include "core/NotifySettings.h"
#include "core/SettingsStorage.h"
#include "core/SettingsTable.h"
#include "platform/Keyring.h"
#include "platform/RegularFile.h"

#include <QTimer>

#include <vector>

namespace vigilux::core {

namespace {

using core::NotifySettings;

using Table = SettingsTable<NotifySettings>;

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

// The bot token and the mail password, in the table's order.
std::vector<const Table::Key*> secrets() {
    std::vector<const Table::Key*> keys;
    for (const Table::Key& key : Table::keys())
        if (key.has(Table::Key::Secret))
            keys.push_back(&key);
    return keys;
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
    // A file made readable to others before it held a secret is closed now.
    if (!secret.isEmpty())
        platform::RegularFile::makePrivate(m_ini.fileName());
}

void NotifyOptions::load() {
    ++m_generation;
    NotifySettings& s = m_settings;
    Table::load(m_ini, s);

    if (m_ini.read(SecretsKey, Section) == InKeyring) {
        if (m_keyring) {
            readFromKeyring();
            return;
        }
        for (const Table::Key* key : secrets())
            key->set(s, QString());
        const quint64 generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                emit loaded(QStringLiteral("Хранилище паролей недоступно: токен Telegram и "
                                           "пароль почты не загружены"));
        });
        return;
    }
    for (const Table::Key* key : secrets())
        key->set(s, readSecretFromIni(key->name));
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation)
            emit loaded(QString());
    });
}

void NotifyOptions::readFromKeyring() {
    const quint64 generation = m_generation;
    const std::vector<const Table::Key*> keys = secrets();
    m_pending = static_cast<int>(keys.size());
    m_allOk = true;
    for (const Table::Key* key : keys) {
        m_keyring->read(key->name, [this, generation, key](bool ok, const QString& value) {
            if (generation != m_generation)
                return;
            if (ok)
                key->set(m_settings, value);
            m_allOk = m_allOk && ok;
            if (--m_pending == 0)
                emit loaded(m_allOk ? QString()
                                    : QStringLiteral("Не удалось прочитать токен Telegram или "
                                                     "пароль почты из хранилища паролей"));
        });
    }
}

void NotifyOptions::save() {
    ++m_generation;
    Table::save(m_ini, m_settings, KeyOwner::NotifyPage);
    if (m_keyring) {
        writeToKeyring();
        return;
    }
    finishSave(false);
}

void NotifyOptions::writeToKeyring() {
    const quint64 generation = m_generation;
    m_pending = static_cast<int>(secrets().size());
    m_allOk = true;
    const auto answer = [this, generation](bool ok) {
        if (generation != m_generation)
            return;
        m_allOk = m_allOk && ok;
        if (--m_pending == 0)
            finishSave(m_allOk);
    };
    for (const Table::Key* key : secrets())
        m_keyring->write(key->name, key->get(m_settings).toString(), answer);
}

void NotifyOptions::finishSave(bool inKeyring) {
    // The file says where the secrets are only once they are there, and a
    // copy in the file is wiped only once the keyring holds them.
    for (const Table::Key* key : secrets())
        writeSecretToIni(key->name, inKeyring ? QString() : key->get(m_settings).toString());
    m_ini.write(inKeyring ? InKeyring : InIni, SecretsKey, Section);
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, inKeyring] {
        if (generation == m_generation)
            emit saved(inKeyring);
    });
}

} // namespace vigilux::core
