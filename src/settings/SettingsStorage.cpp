#include "settings/SettingsStorage.h"

#include "platform/Cp1251.h"
#include "platform/Dialogs.h"
#include "settings/AppContext.h"
#include "settings/DetectorValuesTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace vigilux::settings {

namespace {

const QString Interface = QStringLiteral("Interface");
const QString Files = QStringLiteral("Files");
const QString Image = QStringLiteral("Image");
const QString MotionDetector = QStringLiteral("MotionDetector");
const QString MotionLevelBar = QStringLiteral("Sensor");
const QString FtpClient = QStringLiteral("FTP");
const QString HD = QStringLiteral("HD");

const QString Separator = QStringLiteral("QXZ");

// The ranges the settings windows offer. A hand-edited number outside them
// is pulled to the nearest end, so no consumer sees, say, a 0 ms interval.
struct Range {
    qint32 low;
    qint32 high;
};
constexpr Range MaxFilesCountRange{1, 10000};
constexpr Range JPGqRange{10, 100};
constexpr std::array<Range, 3> SensorRanges{{{100, 5000}, {0, 15}, {1, 100}}};

template <typename T>
T clamped(T value, Range range) {
    return static_cast<T>(std::clamp<qint32>(value, range.low, range.high));
}

bool parseInteger(const QString& text, qlonglong& value) {
    bool ok = false;
    value = text.toLongLong(&ok, 10);
    return ok;
}

// Shifts every character's code; the scrambled form only ever moves digits
// and letters, and anything that would leave the 16-bit range stays put.
QString shifted(const QString& text, int by) {
    QString out = text;
    for (QChar& c : out) {
        const int code = c.unicode() + by;
        if (code >= 0 && code <= 0xFFFF)
            c = QChar(static_cast<char16_t>(code));
    }
    return out;
}

} // namespace

const QString SettingsStorage::DefaultHD = QStringLiteral(
    "752,416,800,448,800,600,864,480,960,544,960,720,1024,576,1024,768,1184,656,1280,720,1280,"
    "960,1280,960,1392,768,1504,832,1600,896,1600,1200,3200,2400,4000,3000,5160,3870");

SettingsStorage::SettingsStorage(AppContext& context, DetectorValuesTarget& sensorTarget)
    : m_context(context)
    , m_sensorTarget(sensorTarget) {}

void SettingsStorage::LoadOptions() {
    IniFile& ini = m_context.ini;
    Settings& s = m_context.settings;
    const Settings defaults;

    if (!QFileInfo::exists(ini.FileName()))
        SetDefaultOptions();
    // When even the defaults could not be written there is nothing to read
    // back: the paths keep the defaults just set instead of becoming "".
    const bool haveFile = QFileInfo::exists(ini.FileName());
    const auto text = [&](const QString& key, const QString& section, const QString& current) {
        const QString value = ini.ReadINI(key, section);
        return haveFile ? value : current;
    };
    const auto flag = [&](const QString& key, const QString& section, bool fallback) {
        return TextToBool(ini.ReadINI(key, section), fallback);
    };

    s.MinStart = flag(QStringLiteral("MinStart"), Interface, defaults.MinStart);
    s.AutoStart = flag(QStringLiteral("AutoStart"), Interface, defaults.AutoStart);
    s.SoundPlayer = flag(QStringLiteral("Sound"), Interface, defaults.SoundPlayer);
    s.SoundPath = text(QStringLiteral("SoundPath"), Interface, s.SoundPath);
    s.BlockSSaver = flag(QStringLiteral("BlockSSaver"), Interface, defaults.BlockSSaver);
    s.AutoCheckUpdates =
        flag(QStringLiteral("AutoCheckUpdates"), Interface, defaults.AutoCheckUpdates);

    s.SavePath = text(QStringLiteral("SavePath"), Files, s.SavePath);
    s.CreateSubFolders = flag(QStringLiteral("CreateSubFolders"), Files, defaults.CreateSubFolders);
    s.StaticFile = flag(QStringLiteral("StaticFile"), Files, defaults.StaticFile);
    s.StaticFilePath = text(QStringLiteral("StaticFilePath"), Files, s.StaticFilePath);
    s.MaxFiles = flag(QStringLiteral("MaxFiles"), Files, defaults.MaxFiles);
    s.MaxFilesCount = clamped(
        TextToInt16(ini.ReadINI(QStringLiteral("MaxFilesCount"), Files), defaults.MaxFilesCount),
        MaxFilesCountRange);

    s.Convert2JPG = flag(QStringLiteral("Convert2JPG"), Image, defaults.Convert2JPG);
    s.InPrintDate = flag(QStringLiteral("InPrintDate"), Image, defaults.InPrintDate);
    s.JPGq =
        clamped(TextToInt16(ini.ReadINI(QStringLiteral("JPGq"), Image), defaults.JPGq), JPGqRange);
    s.SyncPreRate = flag(QStringLiteral("SyncPreRate"), Image, defaults.SyncPreRate);

    s.SaveAlarm = flag(QStringLiteral("SaveAlarm"), MotionDetector, defaults.SaveAlarm);
    s.SoundAlarm = flag(QStringLiteral("SoundAlarm"), MotionDetector, defaults.SoundAlarm);
    s.SoundAlarmPath = text(QStringLiteral("SoundAlarmPath"), MotionDetector, s.SoundAlarmPath);
    s.RunAlarm = flag(QStringLiteral("RunAlarm"), MotionDetector, defaults.RunAlarm);
    s.RunAlarmPath = text(QStringLiteral("RunAlarmPath"), MotionDetector, s.RunAlarmPath);
    s.RunAlarmWait = flag(QStringLiteral("RunAlarmWait"), MotionDetector, defaults.RunAlarmWait);
    s.SysTrayAlarm = flag(QStringLiteral("SysTrayAlarm"), MotionDetector, defaults.SysTrayAlarm);

    const std::array<QString, 3> sensorKeys{QStringLiteral("Timer"), QStringLiteral("Noise"),
                                            QStringLiteral("Percent")};
    for (std::size_t i = 0; i < sensorKeys.size(); ++i) {
        s.SensorValues[i] = clamped(
            TextToInt32(ini.ReadINI(sensorKeys[i], MotionLevelBar), defaults.SensorValues[i]),
            SensorRanges[i]);
    }
    pushSensorValues();

    s.FtpUpload = flag(QStringLiteral("FtpUpload"), FtpClient, defaults.FtpUpload);
    s.FtpServer = text(QStringLiteral("FtpServer"), FtpClient, s.FtpServer);
    s.FtpFolder = text(QStringLiteral("FtpFolder"), FtpClient, s.FtpFolder);
    s.FtpLogin = text(QStringLiteral("FtpLogin"), FtpClient, s.FtpLogin);
    const QString storedPass = ini.ReadINI(QStringLiteral("FtpPass"), FtpClient);
    if (haveFile)
        s.FtpPass = UnscramblePassword(storedPass);

    s.DefHD = text(QStringLiteral("DefHD"), HD, s.DefHD);
}

QString SettingsStorage::defaultSaveFolder() const {
    const QString& program = m_context.programFolder;
    if (m_context.settingsFolder == program)
        return program + QStringLiteral("/save/");
    // The program's folder is not ours to write: the user's pictures.
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty())
        return pictures + QStringLiteral("/Vigilux/");
    return m_context.settingsFolder + QStringLiteral("/save/");
}

void SettingsStorage::SetDefaultOptions() {
    Settings& s = m_context.settings;
    const QString& data = m_context.dataFolder;
    platform::Dialogs& dialogs = m_context.dialogs;

    s.MinStart = false;
    s.AutoStart = false;
    s.SoundPlayer = true;
    s.SoundPath = data + QStringLiteral("/sound/save.wav");
    s.BlockSSaver = true;
    s.AutoCheckUpdates = true;

    const QString chosen =
        dialogs.browseFolder(QStringLiteral("Выберите каталог для сохранения снимков"));
    if (!chosen.isEmpty()) {
        s.SavePath = chosen;
    } else {
        s.SavePath = defaultSaveFolder();
        const bool exists = QDir(s.SavePath).exists() || QDir().mkpath(s.SavePath);
        if (exists) {
            dialogs.message(platform::Dialogs::Icon::Information, QStringLiteral("Внимание!"),
                            QStringLiteral("Был выбран каталог для сохранения по умолчанию\r\n") +
                                s.SavePath +
                                QStringLiteral("\r\n\r\nВы можете изменить его в настройках "
                                               "программы (файлы - папка для сохранения снимков)"));
        } else {
            // Claiming the folder was chosen would hide that no picture can
            // be saved until another one is set.
            dialogs.message(platform::Dialogs::Icon::Warning, QStringLiteral("Внимание!"),
                            QStringLiteral("Не удалось создать каталог для сохранения по "
                                           "умолчанию\r\n") +
                                s.SavePath +
                                QStringLiteral("\r\n\r\nВыберите другой каталог в настройках "
                                               "программы (файлы - папка для сохранения снимков)"));
        }
    }

    s.CreateSubFolders = true;
    s.StaticFile = false;
    s.StaticFilePath = QStringLiteral("frame");
    s.MaxFiles = true;
    s.MaxFilesCount = 1000;
    s.Convert2JPG = true;
    s.InPrintDate = false;
    s.JPGq = 75;
    s.SyncPreRate = true;
    s.SaveAlarm = true;
    s.SoundAlarm = false;
    s.SoundAlarmPath = data + QStringLiteral("/sound/alarm.wav");
    s.RunAlarm = false;
    s.RunAlarmWait = false;
    s.RunAlarmPath = QString();
    s.SysTrayAlarm = false;
    s.FtpUpload = false;
    s.DefHD = DefaultHD;
    s.SensorValues = {500, 5, 10};

    SaveOptions();
    pushSensorValues();
}

void SettingsStorage::SaveOptions() {
    IniFile& ini = m_context.ini;
    const Settings& s = m_context.settings;

    ini.SaveINI(s.MinStart, QStringLiteral("MinStart"), Interface);
    ini.SaveINI(s.AutoStart, QStringLiteral("AutoStart"), Interface);
    ini.SaveINI(s.SoundPlayer, QStringLiteral("Sound"), Interface);
    ini.SaveINI(s.SoundPath, QStringLiteral("SoundPath"), Interface);
    ini.SaveINI(s.BlockSSaver, QStringLiteral("BlockSSaver"), Interface);
    ini.SaveINI(s.AutoCheckUpdates, QStringLiteral("AutoCheckUpdates"), Interface);

    ini.SaveINI(s.SavePath, QStringLiteral("SavePath"), Files);
    ini.SaveINI(s.CreateSubFolders, QStringLiteral("CreateSubFolders"), Files);
    ini.SaveINI(s.StaticFile, QStringLiteral("StaticFile"), Files);
    ini.SaveINI(s.StaticFilePath, QStringLiteral("StaticFilePath"), Files);
    ini.SaveINI(s.MaxFiles, QStringLiteral("MaxFiles"), Files);
    ini.SaveINI(s.MaxFilesCount, QStringLiteral("MaxFilesCount"), Files);

    ini.SaveINI(s.Convert2JPG, QStringLiteral("Convert2JPG"), Image);
    ini.SaveINI(s.InPrintDate, QStringLiteral("InPrintDate"), Image);
    ini.SaveINI(s.JPGq, QStringLiteral("JPGq"), Image);
    ini.SaveINI(s.SyncPreRate, QStringLiteral("SyncPreRate"), Image);

    ini.SaveINI(s.SaveAlarm, QStringLiteral("SaveAlarm"), MotionDetector);
    ini.SaveINI(s.SoundAlarm, QStringLiteral("SoundAlarm"), MotionDetector);
    ini.SaveINI(s.SoundAlarmPath, QStringLiteral("SoundAlarmPath"), MotionDetector);
    ini.SaveINI(s.RunAlarm, QStringLiteral("RunAlarm"), MotionDetector);
    ini.SaveINI(s.RunAlarmPath, QStringLiteral("RunAlarmPath"), MotionDetector);
    ini.SaveINI(s.RunAlarmWait, QStringLiteral("RunAlarmWait"), MotionDetector);
    ini.SaveINI(s.SysTrayAlarm, QStringLiteral("SysTrayAlarm"), MotionDetector);

    ini.SaveINI(s.FtpUpload, QStringLiteral("FtpUpload"), FtpClient);
    ini.SaveINI(s.DefHD, QStringLiteral("DefHD"), HD);

    SaveSensorOptions();
}

void SettingsStorage::SaveSensorOptions() {
    IniFile& ini = m_context.ini;
    const Settings& s = m_context.settings;
    ini.SaveINI(s.SensorValues[SensorTimer], QStringLiteral("Timer"), MotionLevelBar);
    ini.SaveINI(s.SensorValues[SensorNoise], QStringLiteral("Noise"), MotionLevelBar);
    ini.SaveINI(s.SensorValues[SensorPercent], QStringLiteral("Percent"), MotionLevelBar);
}

void SettingsStorage::SaveFtpOptions() {
    IniFile& ini = m_context.ini;
    const Settings& s = m_context.settings;
    ini.SaveINI(s.FtpUpload, QStringLiteral("FtpUpload"), FtpClient);
    ini.SaveINI(s.FtpServer, QStringLiteral("FtpServer"), FtpClient);
    ini.SaveINI(s.FtpFolder, QStringLiteral("FtpFolder"), FtpClient);
    ini.SaveINI(s.FtpLogin, QStringLiteral("FtpLogin"), FtpClient);
    ini.SaveINI(ScramblePassword(s.FtpPass), QStringLiteral("FtpPass"), FtpClient);
}

void SettingsStorage::pushSensorValues() {
    const auto& values = m_context.settings.SensorValues;
    for (qint16 i = 0; i < 3; ++i)
        m_sensorTarget.SetSensor(i, values[static_cast<std::size_t>(i)]);
}

QString SettingsStorage::ScramblePassword(const QString& text) {
    QString s;
    for (const QChar c : text) {
        // A character outside the code page is stored as the page's "?".
        const int code = platform::Cp1251::code(c.unicode());
        s += QString::number((code < 0 ? 63 : code) + 1) + Separator;
    }
    // One up, then thirteen down: twelve below the digits and "QXZ", all
    // printable.
    return shifted(shifted(s, 1), -13);
}

QString SettingsStorage::UnscramblePassword(const QString& text) {
    const QString s = shifted(shifted(text, 13), -1);
    QString password;
    for (const QString& item : s.split(Separator)) {
        const bool digits = !item.isEmpty() && std::all_of(item.cbegin(), item.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!digits)
            continue;
        bool ok = false;
        const int n = item.toInt(&ok);
        // A code outside the code page (a damaged entry) is skipped too.
        if (ok && n >= 1 && n <= 256)
            password += QChar(platform::Cp1251::character(static_cast<unsigned char>(n - 1)));
    }
    return password;
}

bool SettingsStorage::TextToBool(const QString& text, bool fallback) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    qlonglong integer = 0;
    if (parseInteger(t, integer))
        return integer != 0;
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (ok && std::isfinite(number))
        return number != 0.0;
    return fallback;
}

qint16 SettingsStorage::TextToInt16(const QString& text, qint16 fallback) {
    qlonglong value = 0;
    if (!parseInteger(text.trimmed(), value) || value < -32768 || value > 32767)
        return fallback;
    return static_cast<qint16>(value);
}

qint32 SettingsStorage::TextToInt32(const QString& text, qint32 fallback) {
    qlonglong value = 0;
    if (!parseInteger(text.trimmed(), value) || value < INT32_MIN || value > INT32_MAX)
        return fallback;
    return static_cast<qint32>(value);
}

QList<QPair<qint16, qint16>> SettingsStorage::ParseHD(const QString& list) {
    QList<QPair<qint16, qint16>> pairs;
    const QStringList items = list.split(QLatin1Char(','));
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        qlonglong w = 0;
        qlonglong h = 0;
        if (!parseInteger(items[i].trimmed(), w) || !parseInteger(items[i + 1].trimmed(), h))
            continue;
        if (w < -32768 || w > 32767 || h < -32768 || h > 32767)
            continue;
        pairs.append({static_cast<qint16>(w), static_cast<qint16>(h)});
    }
    return pairs;
}

} // namespace vigilux::settings
