#pragma once

#include <QObject>
#include <QString>

namespace vigilux::core {
class IniFile;
struct NotifySettings;
} // namespace vigilux::core

namespace vigilux::platform {
class Keyring;
}

namespace vigilux::core {

// Loads and saves the [Notify] section. The bot token and the mail password
// go to the desktop keyring when there is one; otherwise (or when it fails)
// into options.ini, scrambled the way the FTP password is. That is
// obfuscation against a glance over the shoulder, not encryption. The key
// "Secrets" says where they are ("keyring" or "ini").
//
// Keyring answers come later, so both operations finish with a signal, raised
// after the call has returned. UI thread only; `ini`, `settings` and
// `keyring` (null: none) must outlive the object.
class NotifyOptions final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotifyOptions)

public:
    static const QString Section;

    NotifyOptions(core::IniFile& ini, core::NotifySettings& settings, platform::Keyring* keyring,
                  QObject* parent = nullptr);
    ~NotifyOptions() override;

    // Reads every key into the settings record; the secrets may follow
    // later (`loaded`).
    void load();
    // Writes every key from the settings record; `saved` tells where the
    // secrets went.
    void save();

    // The scrambling of the FTP password applied to the secret's UTF-8
    // bytes, so no character is lost.
    static QString scramble(const QString& secret);
    static QString unscramble(const QString& stored);

signals:
    // `problem` is "" or a Russian text for the status line.
    void loaded(const QString& problem);
    void saved(bool inKeyring);

private:
    QString readSecretFromIni(const QString& key);
    void writeSecretToIni(const QString& key, const QString& secret);
    void readFromKeyring();
    void writeToKeyring();
    void finishSave(bool inKeyring);

    core::IniFile& m_ini;
    core::NotifySettings& m_settings;
    platform::Keyring* m_keyring;
    int m_pending = 0;
    bool m_allOk = true;
    quint64 m_generation = 0; // answers of a superseded load or save are ignored
};

} // namespace vigilux::core
