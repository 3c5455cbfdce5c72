#include "core/IniFile.h"
#include "core/SettingsStorage.h"
#include "core/SettingsTable.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux::core;

namespace {

// What stored files rely on: every plain key with the text its default is
// written as. A renamed key or a changed default loses users' settings.
const QStringList StoredDefaults{"Interface/MinStart=False",
                                 "Interface/AutoStart=False",
                                 "Interface/Sound=True",
                                 "Interface/SoundPath=",
                                 "Interface/BlockSSaver=True",
                                 "Interface/AutoCheckUpdates=True",
                                 "Files/SavePath=",
                                 "Files/CreateSubFolders=True",
                                 "Files/StaticFile=False",
                                 "Files/StaticFilePath=frame",
                                 "Files/MaxFiles=True",
                                 "Files/MaxFilesCount=1000",
                                 "Image/Convert2JPG=True",
                                 "Image/InPrintDate=False",
                                 "Image/JPGq=75",
                                 "Image/SyncPreRate=True",
                                 "MotionDetector/SaveAlarm=True",
                                 "MotionDetector/SoundAlarm=False",
                                 "MotionDetector/SoundAlarmPath=",
                                 "MotionDetector/RunAlarm=False",
                                 "MotionDetector/RunAlarmPath=",
                                 "MotionDetector/RunAlarmWait=False",
                                 "MotionDetector/SysTrayAlarm=False",
                                 "Events/EventGap=10",
                                 "Events/SoundPerEvent=False",
                                 "Events/BalloonPerEvent=False",
                                 "Events/ProgramPerEvent=False",
                                 "Events/EventFrames=0",
                                 "Events/EventFirstFrames=3",
                                 "Events/EventFrameInterval=5",
                                 "Events/EventClips=False",
                                 "Events/PreRoll=2",
                                 "Events/PostRoll=10",
                                 "Events/ClipFrameRate=10",
                                 "Events/MaxClip=10",
                                 "Events/UploadClips=False",
                                 "FTP/FtpUpload=False",
                                 "FTP/FtpServer=",
                                 "FTP/FtpFolder=",
                                 "FTP/FtpLogin=",
                                 "FTP/FtpPass=",
                                 "Remote/RemoteOn=False",
                                 "Remote/Port=8443",
                                 "Remote/PasswordHash=",
                                 "Remote/LocalOnly=True",
                                 "Remote/Certificate=",
                                 "Remote/Key=",
                                 "HD/DefHD=", // + the default list (not known yet here)
                                 "Detector/Kind=Bytes",
                                 "Detector/Sensitivity=40",
                                 "Detector/NoiseFloor=10",
                                 "Detector/MinObject=20",
                                 "Detector/Persistence=400",
                                 "Detector/LearnSeconds=20",
                                 "Detector/PersonOnly=False",
                                 "Detector/DrawBoxes=False",
                                 "Detector/Mask=mask.png",
                                 "Sensor/Timer=500",
                                 "Sensor/Noise=5",
                                 "Sensor/Percent=10",
                                 "Notify/TelegramOn=False",
                                 "Notify/TelegramApi=https://api.telegram.org",
                                 "Notify/TelegramChat=",
                                 "Notify/MailOn=False",
                                 "Notify/SmtpServer=",
                                 "Notify/SmtpPort=587",
                                 "Notify/SmtpSecurity=1",
                                 "Notify/SmtpLogin=",
                                 "Notify/MailFrom=",
                                 "Notify/MailTo=",
                                 "Notify/SmtpCaFile=",
                                 "Notify/SendClips=True",
                                 "Notify/MailClip=False",
                                 "Notify/MailClipMaxMb=20"};

constexpr std::array<KeyOwner, 5> Owners{KeyOwner::ProgramOptions, KeyOwner::DetectorWindow,
                                         KeyOwner::FtpWindow, KeyOwner::NotifyPage,
                                         KeyOwner::RemotePage};

// A key's hand-edited or typed text and the text it is written back as.
struct Case {
    QString id;
    QString section;
    QString name;
    QString stored;
    QString expected;
};

// Each key, by its type: values it keeps, and hand-edited values it pulls
// into range or refuses (falling back to the default) as the load always has.
// Case i of every key goes into file i.
template <typename Record>
void addCases(QList<QList<Case>>& files, QStringList& ids) {
    using Key = SettingKey<Record>;
    for (const Key& key : SettingsTable<Record>::keys()) {
        if (key.has(Key::Secret))
            continue;
        const QString id = key.section + QLatin1Char('/') + key.name;
        ids << id;
        const QString def = key.type == Key::Type::Choice
                                ? key.words.value(key.defaultValue.toInt())
                                : IniFile::toText(key.defaultValue);
        QList<QPair<QString, QString>> cases;
        if (key.type == Key::Type::Flag) {
            const QString other = key.defaultValue.toBool() ? "False" : "True";
            cases = {{other.toLower(), other}, {"0", "False"}, {"-1", "True"}, {"yes", def}};
        } else if (key.isNumber()) {
            const QString low = QString::number(key.low);
            const QString high = QString::number(key.high);
            const bool refuse = key.has(Key::OutOfRangeGivesDefault);
            cases = {{high, high},
                     {" " + low + " ", low},
                     {QString::number(key.high + 1), refuse ? def : high},
                     {QString::number(key.low - 1), refuse ? def : low},
                     {"7.5", def},
                     {"", def}};
        } else if (key.type == Key::Type::Choice) {
            const QString last = key.words.last();
            cases = {{" " + last.toUpper(), last},
                     {key.words.first(), key.words.first()},
                     {"7", def},
                     {"", def}};
        } else if (key.has(Key::Scrambled)) {
            const QString scrambled = SettingsStorage::scramblePassword("Пароль=1");
            cases = {{scrambled, scrambled}, {"", ""}};
        } else {
            // A plain name holds no folder: the mask stays beside options.ini.
            const bool plain = key.has(Key::PlainName);
            cases = {{" C:\\Снимки; =x ", plain ? def : " C:\\Снимки; =x "},
                     {"", key.has(Key::BlankGivesDefault) || plain ? def : ""},
                     {"x y.png", "x y.png"}};
        }
        for (qsizetype i = 0; i < cases.size(); ++i) {
            if (files.size() <= i)
                files.append(QList<Case>());
            files[i].append({id, key.section, key.name, cases[i].first, cases[i].second});
        }
    }
}

template <typename Record>
void saveAll(IniFile& ini, const Record& record) {
    for (KeyOwner owner : Owners)
        SettingsTable<Record>::save(ini, record, owner);
}

} // namespace

class TestSettingsTable : public QObject {
    Q_OBJECT

private slots:
    void everyKeyRoundTrips() {
        QTemporaryDir dir;
        IniFile ini(dir.filePath("options.ini"));
        QStringList ids;
        QList<QList<Case>> files;
        addCases<Settings>(files, ids);
        addCases<NotifySettings>(files, ids);

        // Each key once, with the default stored files rely on.
        QStringList defaults = StoredDefaults;
        defaults.replaceInStrings("HD/DefHD=", "HD/DefHD=" + SettingsStorage::DefaultResolutions);
        saveAll(ini, Settings());
        saveAll(ini, NotifySettings());
        QStringList written;
        for (const QString& id : ids)
            written << id + "=" + ini.read(id.section('/', 1), id.section('/', 0, 0));
        QCOMPARE(written, defaults);

        for (const QList<Case>& cases : files) {
            QFile::remove(ini.fileName());
            for (const Case& c : cases)
                ini.write(c.stored, c.name, c.section);
            Settings settings;
            NotifySettings notify;
            SettingsTable<Settings>::load(ini, settings);
            SettingsTable<NotifySettings>::load(ini, notify);
            QFile::remove(ini.fileName());
            saveAll(ini, settings);
            saveAll(ini, notify);
            for (const Case& c : cases)
                QVERIFY2(ini.read(c.name, c.section) == c.expected,
                         qPrintable(c.id + " from '" + c.stored + "'"));
        }
    }
    // Each window writes only its own keys, so OK in one never overwrites
    // what another holds unsaved.
    void ownersWriteOnlyTheirKeys_data() {
        QTest::addColumn<int>("owner");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("program options")
            << int(KeyOwner::ProgramOptions)
            << QStringList{"Interface", "Files", "Image", "MotionDetector", "Events", "FTP", "HD"};
        QTest::newRow("detector window")
            << int(KeyOwner::DetectorWindow) << QStringList{"Detector", "Sensor"};
        QTest::newRow("ftp window") << int(KeyOwner::FtpWindow) << QStringList{"FTP"};
        QTest::newRow("remote page") << int(KeyOwner::RemotePage) << QStringList{"Remote"};
    }
    void ownersWriteOnlyTheirKeys() {
        QFETCH(int, owner);
        QFETCH(QStringList, sections);
        QTemporaryDir dir;
        IniFile ini(dir.filePath("options.ini"));
        SettingsTable<Settings>::save(ini, Settings(), static_cast<KeyOwner>(owner));
        QFile file(ini.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QStringList written;
        for (const QByteArray& line : text.split('\n'))
            if (line.startsWith('['))
                written << QString::fromUtf8(line.mid(1, line.size() - 2));
        QCOMPARE(written, sections);
        if (owner == int(KeyOwner::ProgramOptions)) // the switch, not the connection
            QVERIFY(text.contains("FtpUpload=") && !text.contains("FtpServer"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsTable)
#include "tst_settings_table.moc"
