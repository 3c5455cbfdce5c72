#include "core/AppContext.h"
#include "core/Cp1251.h"
#include "core/DetectorValuesTarget.h"
#include "core/IniLocation.h"
#include "core/SettingsStorage.h"
#include "support/FakeClock.h"
#include "support/FakeDialogs.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace vigilux;
using vigilux::core::Cp1251;
using vigilux::core::IniLocation;
using vigilux::core::SettingsStorage;
using Icon = vigilux::platform::Dialogs::Icon;

namespace {

class RecordingTarget final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(qint16 index, qint32 value) override { calls.append({index, value}); }
    QList<QPair<qint16, qint32>> calls;
};

// One program start: its own context, fakes and settings module.
struct Program {
    explicit Program(const QString& folder)
        : context(clock, dialogs, folder)
        , options(context, target) {}
    test::FakeClock clock;
    test::FakeDialogs dialogs;
    RecordingTarget target;
    AppContext context;
    SettingsStorage options;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// "Section/Key" for every key line, in file order.
QStringList keysOf(const QByteArray& file) {
    QStringList keys;
    QString section;
    for (const QByteArray& raw : file.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.size() - 2);
        else if (line.contains(QLatin1Char('=')))
            keys << section + QLatin1Char('/') + line.section(QLatin1Char('='), 0, 0);
    }
    return keys;
}

const QStringList FirstStartKeys = {"Interface/MinStart",
                                    "Interface/AutoStart",
                                    "Interface/Sound",
                                    "Interface/SoundPath",
                                    "Interface/BlockSSaver",
                                    "Interface/AutoCheckUpdates",
                                    "Files/SavePath",
                                    "Files/CreateSubFolders",
                                    "Files/StaticFile",
                                    "Files/StaticFilePath",
                                    "Files/MaxFiles",
                                    "Files/MaxFilesCount",
                                    "Image/Convert2JPG",
                                    "Image/InPrintDate",
                                    "Image/JPGq",
                                    "Image/SyncPreRate",
                                    "MotionDetector/SaveAlarm",
                                    "MotionDetector/SoundAlarm",
                                    "MotionDetector/SoundAlarmPath",
                                    "MotionDetector/RunAlarm",
                                    "MotionDetector/RunAlarmPath",
                                    "MotionDetector/RunAlarmWait",
                                    "MotionDetector/SysTrayAlarm",
                                    "Events/EventGap",
                                    "Events/SoundPerEvent",
                                    "Events/BalloonPerEvent",
                                    "Events/ProgramPerEvent",
                                    "Events/EventFrames",
                                    "Events/EventFirstFrames",
                                    "Events/EventFrameInterval",
                                    "Events/EventClips",
                                    "Events/PreRoll",
                                    "Events/PostRoll",
                                    "Events/ClipFrameRate",
                                    "Events/MaxClip",
                                    "Events/UploadClips",
                                    "FTP/FtpUpload",
                                    "HD/DefHD",
                                    "Detector/Kind",
                                    "Detector/Sensitivity",
                                    "Detector/NoiseFloor",
                                    "Detector/MinObject",
                                    "Detector/Persistence",
                                    "Detector/LearnSeconds",
                                    "Detector/PersonOnly",
                                    "Detector/DrawBoxes",
                                    "Detector/Mask",
                                    "Sensor/Timer",
                                    "Sensor/Noise",
                                    "Sensor/Percent"};

using Calls = QList<QPair<qint16, qint32>>;

} // namespace

class TestSettingsStorage : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = m_dir->path();
        m_ini = m_folder + QStringLiteral("/options.ini");
    }

    void firstStartWithDefaultFolder() {
        Program p(m_folder);
        p.options.load();

        const QByteArray file = readAll(m_ini);
        QCOMPARE(keysOf(file), FirstStartKeys);
        QVERIFY(file.contains(QByteArray("\n[Files]\nSavePath=" + m_folder.toUtf8() + "/save/\n")));
        QVERIFY(file.contains("[Interface]\nMinStart=False\nAutoStart=False\nSound=True\n"));
        QVERIFY(file.contains("Timer=500\nNoise=5\nPercent=10\n"));
        QVERIFY(file.contains("[Detector]\nKind=Objects\n")); // a new file watches for objects
        QVERIFY(QDir(m_folder + QStringLiteral("/save")).exists());

        QCOMPARE(p.dialogs.pickers.size(), 1);
        QCOMPARE(p.dialogs.pickers[0].title,
                 QStringLiteral("Выберите каталог для сохранения снимков"));
        QCOMPARE(p.dialogs.messages.size(), 1);
        QCOMPARE(p.dialogs.messages[0].icon, Icon::Information);
        QCOMPARE(p.dialogs.messages[0].title, QStringLiteral("Внимание!"));
        QCOMPARE(p.dialogs.messages[0].text,
                 QStringLiteral("Был выбран каталог для сохранения по умолчанию\r\n") + m_folder +
                     QStringLiteral("/save/\r\n\r\nВы можете изменить его в настройках программы "
                                    "(файлы - папка для сохранения снимков)"));

        // Pushed by the defaults, then again by the load.
        const Calls once{{0, 500}, {1, 5}, {2, 10}};
        QCOMPARE(p.target.calls, once + once);
        QCOMPARE(p.context.ini.lastSection(), QStringLiteral("HD"));

        const core::Settings& s = p.context.settings;
        QCOMPARE(s.saveSoundPath, m_folder + QStringLiteral("/sound/save.wav"));
        QCOMPARE(s.alarmSoundPath, m_folder + QStringLiteral("/sound/alarm.wav"));
        QCOMPARE(s.savePath, m_folder + QStringLiteral("/save/"));
        QCOMPARE(s.resolutionCandidates, SettingsStorage::DefaultResolutions);
        QCOMPARE(s.singleFileName, QStringLiteral("frame"));
        QCOMPARE(s.ftpPassword, QString());
    }

    void firstStartWithChosenFolder() {
        Program p(m_folder);
        p.dialogs.folderAnswers.enqueue(QStringLiteral("/srv/Снимки"));
        p.options.load();
        QVERIFY(readAll(m_ini).contains("\nSavePath=/srv/Снимки\n"));
        QCOMPARE(p.context.settings.savePath, QStringLiteral("/srv/Снимки"));
        QVERIFY(p.dialogs.messages.isEmpty());
        QVERIFY(!QDir(m_folder + QStringLiteral("/save")).exists());
    }

    void defaultFolderThatCannotBeMadeIsReported() {
        writeAll(m_folder + QStringLiteral("/save"), "a file in the way");
        Program p(m_folder);
        p.options.load();
        QCOMPARE(p.dialogs.messages.size(), 1);
        QCOMPARE(p.dialogs.messages[0].icon, Icon::Warning);
        QVERIFY(p.dialogs.messages[0].text.startsWith(
            QStringLiteral("Не удалось создать каталог для сохранения по умолчанию\r\n")));
        QCOMPARE(keysOf(readAll(m_ini)), FirstStartKeys);
    }

    void unwritableFileKeepsDefaultsInMemory() {
        // No options.ini can be written: the load keeps the defaults rather
        // than reading "" for every path.
        Program p(m_folder);
        p.context.ini.setFileName(m_folder + QStringLiteral("/missing/options.ini"));
        p.options.load();
        QCOMPARE(p.context.settings.saveSoundPath, m_folder + QStringLiteral("/sound/save.wav"));
        QCOMPARE(p.context.settings.resolutionCandidates, SettingsStorage::DefaultResolutions);
        QCOMPARE(p.target.calls.size(), 6);
        QCOMPARE(p.context.ini.lastSection(), QStringLiteral("HD"));
    }

    void savedSettingsLoadBackUnchanged() {
        core::Settings changed;
        changed.startMinimized = true;
        changed.startWatching = true;
        changed.soundOnSave = false;
        changed.saveSoundPath = QStringLiteral("/звук/s.wav");
        changed.blockScreenSaver = false;
        changed.autoCheckUpdates = false;
        changed.savePath = QStringLiteral(" /with blanks/ ");
        changed.createSubfolders = false;
        changed.singleFile = true;
        changed.singleFileName = QStringLiteral("cam");
        changed.limitFiles = false;
        changed.maxFileCount = 10000;
        changed.saveAsJpeg = false;
        changed.imprintDate = true;
        changed.jpegQuality = 10;
        changed.syncPreviewRate = false;
        changed.saveOnAlarm = false;
        changed.soundOnAlarm = true;
        changed.alarmSoundPath = QStringLiteral("/a.wav");
        changed.runOnAlarm = true;
        changed.alarmProgramPath = QStringLiteral("/bin/run \"x\"");
        changed.waitForAlarmProgram = true;
        changed.balloonOnAlarm = true;
        changed.detectorValues = {5000, 0, 100};
        changed.eventGap = 3600;
        changed.soundPerEvent = true;
        changed.balloonPerEvent = true;
        changed.programPerEvent = true;
        changed.eventFrames = 2;
        changed.eventFirstFrames = 100;
        changed.eventFrameInterval = 1;
        changed.eventClips = true;
        changed.clipPreRoll = 0;
        changed.clipPostRoll = 3600;
        changed.clipFrameRate = 60;
        changed.maxClipMinutes = 1;
        changed.uploadClips = true;
        changed.ftpUpload = true;
        changed.ftpServer = QStringLiteral("ftp.example");
        changed.ftpFolder = QStringLiteral("/in");
        changed.ftpLogin = QStringLiteral("user");
        changed.ftpPassword = QStringLiteral("Пароль;=QXZ 1");
        changed.resolutionCandidates = QStringLiteral("640,480");

        {
            Program writer(m_folder);
            writer.context.settings = changed;
            writer.options.save();
            QCOMPARE(writer.context.ini.lastSection(), QStringLiteral("Sensor"));
            writer.options.saveFtp();
        }
        const QByteArray written = readAll(m_ini);
        QVERIFY(!written.contains("Пароль"));

        Program reader(m_folder);
        reader.options.load();
        QVERIFY(reader.dialogs.pickers.isEmpty());
        QCOMPARE(reader.context.settings, changed);
        QCOMPARE(reader.target.calls, (Calls{{0, 5000}, {1, 0}, {2, 100}}));

        // Saving what was loaded changes nothing.
        reader.options.save();
        reader.options.saveFtp();
        QCOMPARE(readAll(m_ini), written);
    }

    void ftpConnectionKeysAreOnlyWrittenByTheFtpSave() {
        Program p(m_folder);
        p.options.load();
        p.context.settings.ftpServer = QStringLiteral("host");
        p.context.settings.ftpPassword = QStringLiteral("pw");
        p.options.save();
        QVERIFY(!readAll(m_ini).contains("FtpServer"));
        QVERIFY(!readAll(m_ini).contains("FtpPass"));

        p.options.saveFtp();
        const QByteArray ftp =
            "[FTP]\nFtpUpload=False\nFtpServer=host\nFtpFolder=\nFtpLogin=\nFtpPass=" +
            SettingsStorage::scramblePassword(QStringLiteral("pw")).toUtf8() + "\n";
        QVERIFY(readAll(m_ini).contains(ftp));

        // A reset to defaults leaves them as they are.
        p.dialogs.folderAnswers.enqueue(QStringLiteral("/x"));
        p.options.setDefaults();
        QVERIFY(readAll(m_ini).contains(ftp));
    }

    // Hand-edited values the table's own rules do not show (tst_settings_table
    // has every key's range and fallbacks): files from before a section, a
    // number beyond its type, keys that follow others.
    void handEditedValues_data() {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bool missing") << QByteArray("[Interface]\nMinStart=True") << "Sound"
                                      << "1";
        QTest::newRow("int16 overflow")
            << QByteArray("[Files]\nMaxFilesCount=99999") << "MaxFilesCount"
            << "1000";
        QTest::newRow("int32 overflow") << QByteArray("[Sensor]\nTimer=99999999999") << "Timer"
                                        << "500";
        QTest::newRow("percent plus sign") << QByteArray("[Sensor]\nPercent=+20") << "Percent"
                                           << "20";
        // A file from before events, and hand-edited event values.
        QTest::newRow("events missing") << QByteArray("[Sensor]\nTimer=500") << "EventGap"
                                        << "10 0 3 5";
        QTest::newRow("unknown frames mode")
            << QByteArray("[Events]\nEventFrames=3\nEventFirstFrames=x") << "EventGap"
            << "10 0 3 5";
        // Clips: off in a file from before them, and a post-roll that follows
        // the event gap until it is set.
        QTest::newRow("clips missing") << QByteArray("[Sensor]\nTimer=500") << "Clips"
                                       << "0 2 10 10 10 0";
        QTest::newRow("post-roll follows the gap")
            << QByteArray("[Events]\nEventGap=30\nEventClips=1") << "Clips"
            << "1 2 30 10 10 0";
        QTest::newRow("string missing") << QByteArray("[Files]\nJPGq=75") << "SavePath"
                                        << "";
        // The detector: a tuned file ([Sensor], no Kind) keeps the byte
        // compare, a file without [Sensor] gets the object detector; values
        // beyond their window are pulled in, a mask is only a plain name.
        QTest::newRow("tuned file keeps bytes") << QByteArray("[Sensor]\nTimer=500") << "Detector"
                                                << "0 40 20 mask.png";
        QTest::newRow("no sensor values: objects") << QByteArray("[Files]\nJPGq=75") << "Detector"
                                                   << "1 40 20 mask.png";
        QTest::newRow("kind named")
            << QByteArray("[Sensor]\nTimer=500\n[Detector]\nKind=objects") << "Detector"
            << "1 40 20 mask.png";
        QTest::newRow("detector values beyond window")
            << QByteArray("[Detector]\nKind=Bytes\nSensitivity=5\nMinObject=99999\nMask=../x.png")
            << "Detector"
            << "0 20 2000 mask.png";
    }
    void handEditedValues() {
        QFETCH(QByteArray, lines);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        writeAll(m_ini, lines + "\n");
        Program p(m_folder);
        p.options.load();
        QVERIFY(p.dialogs.pickers.isEmpty());
        const core::Settings& s = p.context.settings;
        const QHash<QString, QString> fields{{"MinStart", QString::number(s.startMinimized)},
                                             {"Sound", QString::number(s.soundOnSave)},
                                             {"MaxFilesCount", QString::number(s.maxFileCount)},
                                             {"JPGq", QString::number(s.jpegQuality)},
                                             {"Timer", QString::number(s.detectorValues[0])},
                                             {"Noise", QString::number(s.detectorValues[1])},
                                             {"Percent", QString::number(s.detectorValues[2])},
                                             {"SavePath", s.savePath},
                                             {"EventGap", QStringLiteral("%1 %2 %3 %4")
                                                              .arg(s.eventGap)
                                                              .arg(s.eventFrames)
                                                              .arg(s.eventFirstFrames)
                                                              .arg(s.eventFrameInterval)},
                                             {"Clips", QStringLiteral("%1 %2 %3 %4 %5 %6")
                                                           .arg(static_cast<int>(s.eventClips))
                                                           .arg(s.clipPreRoll)
                                                           .arg(s.clipPostRoll)
                                                           .arg(s.clipFrameRate)
                                                           .arg(s.maxClipMinutes)
                                                           .arg(static_cast<int>(s.uploadClips))},
                                             {"Detector", QStringLiteral("%1 %2 %3 %4")
                                                              .arg(static_cast<int>(s.detectorKind))
                                                              .arg(s.objectSensitivity)
                                                              .arg(s.objectMinSize)
                                                              .arg(s.objectMask)}};
        QCOMPARE(fields.value(field), expected);
    }

    void damagedFileNeitherCrashesNorLosesKeys() {
        QByteArray junk;
        for (int i = 0; i < 2048; ++i)
            junk.append(static_cast<char>((i * 131) & 0xFF));
        const QByteArray hugeLine = QByteArray(10 * 1024 * 1024, '\xd0') + "\n";
        const QByteArray tail = "[FTP]\nFtpServer=keep.me\n[HD]\nMyHD=640,480\nHDsupport=True\n";
        writeAll(m_ini, junk + "\n" + hugeLine + tail);

        Program p(m_folder);
        p.options.load();
        QCOMPARE(p.context.settings.ftpServer, QStringLiteral("keep.me"));
        QCOMPARE(p.context.settings.detectorValues, (std::array<qint32, 3>{500, 5, 10}));
        QCOMPARE(p.context.settings.soundOnSave, true);

        p.options.saveDetectorValues();
        p.options.save();
        const QByteArray after = readAll(m_ini);
        QVERIFY(after.startsWith(
            QByteArray(junk + "\n" + hugeLine + "[FTP]\nFtpServer=keep.me\nFtpUpload=False\n")));
        QVERIFY(after.contains("[HD]\nMyHD=640,480\nHDsupport=True\nDefHD="));
    }

    void scrambling_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("stored");
        // "ab": "98QXZ99QXZ", every character twelve codes lower.
        QTest::newRow("two latin letters") << "ab"
                                           << "-,ELN--ELN";
        QTest::newRow("empty") << ""
                               << "";
        // "Я" is 223 in the code page, so "224QXZ".
        QTest::newRow("cyrillic") << "Я"
                                  << "&&(ELN";
        QTest::newRow("NUL-free low code") << "\x01"
                                           << "&ELN";
    }
    void scrambling() {
        QFETCH(QString, password);
        QFETCH(QString, stored);
        QCOMPARE(SettingsStorage::scramblePassword(password), stored);
        QCOMPARE(SettingsStorage::unscramblePassword(stored), password);
    }

    void scramblingRoundTripsTheCodePage() {
        QString all;
        for (int code = 1; code < 256; ++code)
            all += QChar(Cp1251::character(static_cast<unsigned char>(code)));
        const QString stored = SettingsStorage::scramblePassword(all);
        for (QChar c : stored)
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7F, "stored form is printable");
        QCOMPARE(SettingsStorage::unscramblePassword(stored), all);
        // Outside the code page: the replacement character.
        QCOMPARE(SettingsStorage::unscramblePassword(
                     SettingsStorage::scramblePassword(QStringLiteral("a中b"))),
                 QStringLiteral("a?b"));
    }

    void unscramblingDamagedText() {
        const auto scrambled = [](const QString& step1) {
            QString s = step1;
            for (QChar& c : s)
                c = QChar(static_cast<char16_t>(c.unicode() - 12));
            return s;
        };
        QCOMPARE(SettingsStorage::unscramblePassword(scrambled(QStringLiteral("98QXZxyQXZ99QXZ"))),
                 QStringLiteral("ab"));
        // Codes outside the page are skipped, not turned into something.
        QCOMPARE(SettingsStorage::unscramblePassword(scrambled(QStringLiteral("0QXZ1000QXZ98"))),
                 QStringLiteral("a"));
        QCOMPARE(SettingsStorage::unscramblePassword(QStringLiteral("\xff\xfe garbage")),
                 QString());
        QCOMPARE(SettingsStorage::unscramblePassword(QString(1, QChar(0xFFFF))), QString());
    }

    void hdList() {
        const auto pairs = SettingsStorage::parseResolutions(SettingsStorage::DefaultResolutions);
        QCOMPARE(pairs.size(), 19);
        QCOMPARE(pairs.first(), (QPair<qint16, qint16>(752, 416)));
        QCOMPARE(pairs[10], (QPair<qint16, qint16>(1280, 960)));
        QCOMPARE(pairs[11], (QPair<qint16, qint16>(1280, 960)));
        QCOMPARE(pairs.last(), (QPair<qint16, qint16>(5160, 3870)));

        QVERIFY(SettingsStorage::parseResolutions(QString()).isEmpty());
        const auto damaged =
            SettingsStorage::parseResolutions(QStringLiteral("640,480,x,1,99999,2,320,240,7"));
        QCOMPARE(damaged, (QList<QPair<qint16, qint16>>{{640, 480}, {320, 240}}));
    }

    void iniLocation() {
        // The program folder when it can be written.
        IniLocation here = IniLocation::choose(m_folder);
        QCOMPARE(here.folder, m_folder);
        QVERIFY(!here.fellBack);
        QVERIFY(here.writable);
        QCOMPARE(here.filePath(), m_ini);

        // Otherwise the user's configuration folder, created on the way.
        QStandardPaths::setTestModeEnabled(true);
        const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir(config).removeRecursively();
        const IniLocation away = IniLocation::choose(m_folder + QStringLiteral("/not-a-folder"));
        QVERIFY(away.fellBack);
        QVERIFY(away.writable);
        QCOMPARE(away.folder, QDir::cleanPath(config));
        QVERIFY(QDir(config).exists());
        QVERIFY(away.startWarning().isEmpty()); // a status-line note is enough here

        // An options.ini that cannot be used (here a folder) is not silently
        // ignored: settings go to the configuration folder, and the start-up
        // warning names the file, the reason and the new place.
        QFile::remove(m_ini);
        QVERIFY(QDir().mkdir(m_ini));
        const IniLocation unusable = IniLocation::choose(m_folder);
        QVERIFY(unusable.fellBack);
        QVERIFY(unusable.writable);
        QCOMPARE(unusable.folder, QDir::cleanPath(config));
        const QString warning = unusable.startWarning();
        QVERIFY(warning.contains(QDir::toNativeSeparators(m_ini)));
        QVERIFY(warning.contains(QStringLiteral("это папка, а не файл")));
        QVERIFY(warning.contains(QDir::toNativeSeparators(unusable.filePath())));
        vigilux::core::IniFile moved(unusable.filePath());
        QVERIFY(moved.write(true, QStringLiteral("Sound"), QStringLiteral("Interface")));
        QVERIFY(QDir().rmdir(m_ini));
        QDir(config).removeRecursively();
        QStandardPaths::setTestModeEnabled(false);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_ini;
};

QTEST_GUILESS_MAIN(TestSettingsStorage)
#include "tst_settings_storage.moc"
