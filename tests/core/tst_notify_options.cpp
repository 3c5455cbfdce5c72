#include "core/IniFile.h"
#include "core/NotifyOptions.h"
#include "core/NotifySettings.h"
#include "core/SettingsStorage.h"
#include "platform/Keyring.h"

#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using vigilux::core::IniFile;
using vigilux::core::NotifyOptions;
using vigilux::core::NotifySettings;
using vigilux::platform::Keyring;

namespace {

// A keyring in memory that answers on the next turn of the event loop, or
// fails every request when `working` is false.
class FakeKeyring final : public Keyring {
public:
    QMap<QString, QString> values;
    bool working = true;

    void read(const QString& key, ReadDone done) override {
        QTimer::singleShot(
            0, [this, key, done] { done(working, working ? values.value(key) : QString()); });
    }
    void write(const QString& key, const QString& value, WriteDone done) override {
        QTimer::singleShot(0, [this, key, value, done] {
            if (working)
                values.insert(key, value);
            done(working);
        });
    }
};

const QString Token = QStringLiteral("7123456789:AAHdqTcvCH1vGWJxfSeofSAs0K5PALDsaw0-xyz");
const QString Password = QStringLiteral("пароль с 🔑 и ;=\"");

NotifySettings filled() {
    NotifySettings s;
    s.telegramOn = true;
    s.telegramApi = QStringLiteral("http://127.0.0.1:8081");
    s.telegramToken = Token;
    s.telegramChat = QStringLiteral("-100123");
    s.mailOn = true;
    s.smtpServer = QStringLiteral("smtp.home.test");
    s.smtpPort = 465;
    s.smtpSecurity = NotifySettings::SecurityTls;
    s.smtpLogin = QStringLiteral("camera");
    s.smtpPassword = Password;
    s.mailFrom = QStringLiteral("cam@home.test");
    s.mailTo = QStringLiteral("me@home.test; wife@home.test");
    s.smtpCaFile = QStringLiteral("/etc/own-ca.pem");
    s.sendClips = false;
    s.mailClip = true;
    s.mailClipMaxMb = 7;
    return s;
}

} // namespace

class TestNotifyOptions : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString freshIni() { return m_dir.filePath(QStringLiteral("options%1.ini").arg(++m_files)); }

    static void save(IniFile& ini, NotifySettings s, Keyring* keyring, bool expectInKeyring) {
        NotifyOptions options(ini, s, keyring);
        QSignalSpy saved(&options, &NotifyOptions::saved);
        options.save();
        QVERIFY(saved.wait(5000));
        QCOMPARE(saved.at(0).at(0).toBool(), expectInKeyring);
    }
    static NotifySettings load(IniFile& ini, Keyring* keyring, QString* problem = nullptr) {
        NotifySettings s;
        NotifyOptions options(ini, s, keyring);
        QSignalSpy loaded(&options, &NotifyOptions::loaded);
        options.load();
        if (loaded.wait(5000) && problem)
            *problem = loaded.at(0).at(0).toString();
        return s;
    }
    static QByteArray fileText(const IniFile& ini) {
        QFile file(ini.fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void missingKeysGiveTheDefaults() {
        IniFile ini(freshIni());
        QCOMPARE(load(ini, nullptr), NotifySettings());
    }

    // Without a keyring the secrets sit in the file, scrambled; every
    // character comes back, even ones the code page lacks, and a token
    // longer than one value of the file holds.
    void fileKeepsEverythingWithScrambledSecrets() {
        IniFile ini(freshIni());
        save(ini, filled(), nullptr, false);
        const QByteArray text = fileText(ini);
        QVERIFY(text.contains("[Notify]"));
        QVERIFY(text.contains("Secrets=ini"));
        QVERIFY(text.contains("TelegramToken2="));
        QVERIFY(!text.contains(Token.toUtf8()));
        QVERIFY(!text.contains("AAHdqTcvCH1"));
        QVERIFY(!text.contains(Password.toUtf8()));
        QCOMPARE(load(ini, nullptr), filled());

        // A shorter secret leaves no tail of the old one behind.
        NotifySettings shorter = filled();
        shorter.telegramToken = QStringLiteral("1:a");
        shorter.smtpPassword.clear();
        save(ini, shorter, nullptr, false);
        QCOMPARE(ini.read(QStringLiteral("TelegramToken2"), QStringLiteral("Notify")), QString());
        QCOMPARE(load(ini, nullptr), shorter);
    }

    // Plain ASCII scrambles exactly as the FTP password does.
    void scramblingIsTheFtpOne() {
        QCOMPARE(NotifyOptions::scramble(QStringLiteral("ab1")),
                 vigilux::core::SettingsStorage::scramblePassword(QStringLiteral("ab1")));
        QCOMPARE(NotifyOptions::unscramble(NotifyOptions::scramble(Password)), Password);
        QCOMPARE(NotifyOptions::scramble(QString()), QString());
    }

    void keyringKeepsTheSecretsOutOfTheFile() {
        FakeKeyring keyring;
        IniFile ini(freshIni());
        // An earlier fallback copy is wiped once the keyring has them.
        save(ini, filled(), nullptr, false);
        save(ini, filled(), &keyring, true);
        const QByteArray text = fileText(ini);
        QVERIFY(text.contains("Secrets=keyring"));
        QCOMPARE(ini.read(QStringLiteral("TelegramToken"), QStringLiteral("Notify")), QString());
        QCOMPARE(ini.read(QStringLiteral("TelegramToken2"), QStringLiteral("Notify")), QString());
        QCOMPARE(ini.read(QStringLiteral("SmtpPass"), QStringLiteral("Notify")), QString());
        QCOMPARE(keyring.values.value(QStringLiteral("TelegramToken")), Token);
        QCOMPARE(load(ini, &keyring), filled());
    }

    void keyringTroubleFallsBackOrSaysSo() {
        FakeKeyring keyring;
        keyring.working = false;
        IniFile ini(freshIni());
        save(ini, filled(), &keyring, false);
        QVERIFY(fileText(ini).contains("Secrets=ini"));
        QCOMPARE(load(ini, &keyring), filled()); // the file says where they are

        keyring.working = true;
        save(ini, filled(), &keyring, true);
        keyring.working = false;
        QString problem;
        const NotifySettings s = load(ini, &keyring, &problem);
        QCOMPARE(s.telegramToken, QString());
        QCOMPARE(problem, QStringLiteral("Не удалось прочитать токен Telegram или пароль почты из "
                                         "хранилища паролей"));
        QVERIFY(!problem.contains(Token));
    }
};

QTEST_GUILESS_MAIN(TestNotifyOptions)
#include "tst_notify_options.moc"
