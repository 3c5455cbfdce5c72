#include "core/SettingsStorage.h"

#include "core/AppContext.h"
#include "core/Cp1251.h"
#include "core/DetectorValuesTarget.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace vigilux::core {

namespace {

const QString InterfaceSection = QStringLiteral("Interface");
const QString FilesSection = QStringLiteral("Files");
const QString ImageSection = QStringLiteral("Image");
const QString DetectorSection = QStringLiteral("MotionDetector");
const QString SensorSection = QStringLiteral("Sensor");
const QString EventsSection = QStringLiteral("Events");
const QString FtpSection = QStringLiteral("FTP");
const QString ResolutionSection = QStringLiteral("HD");

const QString ScrambleSeparator = QStringLiteral("QXZ");

// The ranges the settings windows offer. A hand-edited number outside them
// is pulled to the nearest end, so no consumer sees, say, a 0 ms interval.
struct Range {
    qint32 low;
    qint32 high;
};
constexpr Range MaxFilesCountRange{1, 10000};
constexpr Range JpegQualityRange{10, 100};
constexpr Range EventGapRange{1, 3600};
constexpr Range EventFramesRange{0, 2};
constexpr Range EventFirstFramesRange{1, 100};
constexpr Range EventFrameIntervalRange{1, 3600};
constexpr Range ClipPreRollRange{0, 10};
constexpr Range ClipPostRollRange{0, 3600};
constexpr Range ClipFrameRateRange{1, 60};
constexpr Range MaxClipMinutesRange{1, 600};
constexpr std::array<Range, 3> DetectorValueRanges{{{100, 5000}, {0, 15}, {1, 100}}};

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

const QString SettingsStorage::DefaultResolutions = QStringLiteral(
    "752,416,800,448,800,600,864,480,960,544,960,720,1024,576,1024,768,1184,656,1280,720,1280,"
    "960,1280,960,1392,768,1504,832,1600,896,1600,1200,3200,2400,4000,3000,5160,3870");

SettingsStorage::SettingsStorage(AppContext& context, DetectorValuesTarget& detectorValuesTarget)
    : m_context(context)
    , m_detectorValuesTarget(detectorValuesTarget) {}

void SettingsStorage::load() {
    core::IniFile& ini = m_context.ini;
    core::Settings& s = m_context.settings;
    const core::Settings defaults;

    if (!QFileInfo::exists(ini.fileName()))
        setDefaults();
    // When even the defaults could not be written there is nothing to read
    // back: the paths keep the defaults just set instead of becoming "".
    const bool haveFile = QFileInfo::exists(ini.fileName());
    const auto text = [&](const QString& key, const QString& section, const QString& current) {
        const QString value = ini.read(key, section);
        return haveFile ? value : current;
    };
    const auto flag = [&](const QString& key, const QString& section, bool fallback) {
        return textToBool(ini.read(key, section), fallback);
    };

    s.startMinimized = flag(QStringLiteral("MinStart"), InterfaceSection, defaults.startMinimized);
    s.startWatching = flag(QStringLiteral("AutoStart"), InterfaceSection, defaults.startWatching);
    s.soundOnSave = flag(QStringLiteral("Sound"), InterfaceSection, defaults.soundOnSave);
    s.saveSoundPath = text(QStringLiteral("SoundPath"), InterfaceSection, s.saveSoundPath);
    s.blockScreenSaver =
        flag(QStringLiteral("BlockSSaver"), InterfaceSection, defaults.blockScreenSaver);
    s.autoCheckUpdates =
        flag(QStringLiteral("AutoCheckUpdates"), InterfaceSection, defaults.autoCheckUpdates);

    s.savePath = text(QStringLiteral("SavePath"), FilesSection, s.savePath);
    s.createSubfolders =
        flag(QStringLiteral("CreateSubFolders"), FilesSection, defaults.createSubfolders);
    s.singleFile = flag(QStringLiteral("StaticFile"), FilesSection, defaults.singleFile);
    s.singleFileName = text(QStringLiteral("StaticFilePath"), FilesSection, s.singleFileName);
    s.limitFiles = flag(QStringLiteral("MaxFiles"), FilesSection, defaults.limitFiles);
    s.maxFileCount = clamped(
        textToInt16(ini.read(QStringLiteral("MaxFilesCount"), FilesSection), defaults.maxFileCount),
        MaxFilesCountRange);

    s.saveAsJpeg = flag(QStringLiteral("Convert2JPG"), ImageSection, defaults.saveAsJpeg);
    s.imprintDate = flag(QStringLiteral("InPrintDate"), ImageSection, defaults.imprintDate);
    s.jpegQuality =
        clamped(textToInt16(ini.read(QStringLiteral("JPGq"), ImageSection), defaults.jpegQuality),
                JpegQualityRange);
    s.syncPreviewRate = flag(QStringLiteral("SyncPreRate"), ImageSection, defaults.syncPreviewRate);

    s.saveOnAlarm = flag(QStringLiteral("SaveAlarm"), DetectorSection, defaults.saveOnAlarm);
    s.soundOnAlarm = flag(QStringLiteral("SoundAlarm"), DetectorSection, defaults.soundOnAlarm);
    s.alarmSoundPath = text(QStringLiteral("SoundAlarmPath"), DetectorSection, s.alarmSoundPath);
    s.runOnAlarm = flag(QStringLiteral("RunAlarm"), DetectorSection, defaults.runOnAlarm);
    s.alarmProgramPath = text(QStringLiteral("RunAlarmPath"), DetectorSection, s.alarmProgramPath);
    s.waitForAlarmProgram =
        flag(QStringLiteral("RunAlarmWait"), DetectorSection, defaults.waitForAlarmProgram);
    s.balloonOnAlarm =
        flag(QStringLiteral("SysTrayAlarm"), DetectorSection, defaults.balloonOnAlarm);

    const std::array<QString, 3> sensorKeys{QStringLiteral("Timer"), QStringLiteral("Noise"),
                                            QStringLiteral("Percent")};
    for (std::size_t i = 0; i < sensorKeys.size(); ++i) {
        s.detectorValues[i] =
            clamped(textToInt32(ini.read(sensorKeys[i], SensorSection), defaults.detectorValues[i]),
                    DetectorValueRanges[i]);
    }
    pushDetectorValues();

    // A file from before events reads as the defaults: one action per step.
    const auto number = [&](const QString& key, qint32 fallback, Range range) {
        return clamped(textToInt32(ini.read(key, EventsSection), fallback), range);
    };
    s.eventGap = number(QStringLiteral("EventGap"), defaults.eventGap, EventGapRange);
    s.soundPerEvent = flag(QStringLiteral("SoundPerEvent"), EventsSection, defaults.soundPerEvent);
    s.balloonPerEvent =
        flag(QStringLiteral("BalloonPerEvent"), EventsSection, defaults.balloonPerEvent);
    s.programPerEvent =
        flag(QStringLiteral("ProgramPerEvent"), EventsSection, defaults.programPerEvent);
    // An unknown mode saves every step rather than a neighbouring mode.
    const qint32 frames =
        textToInt32(ini.read(QStringLiteral("EventFrames"), EventsSection), defaults.eventFrames);
    s.eventFrames = frames >= EventFramesRange.low && frames <= EventFramesRange.high
                        ? frames
                        : defaults.eventFrames;
    s.eventFirstFrames = number(QStringLiteral("EventFirstFrames"), defaults.eventFirstFrames,
                                EventFirstFramesRange);
    s.eventFrameInterval = number(QStringLiteral("EventFrameInterval"), defaults.eventFrameInterval,
                                  EventFrameIntervalRange);

    s.ftpUpload = flag(QStringLiteral("FtpUpload"), FtpSection, defaults.ftpUpload);
    s.ftpServer = text(QStringLiteral("FtpServer"), FtpSection, s.ftpServer);
    s.ftpFolder = text(QStringLiteral("FtpFolder"), FtpSection, s.ftpFolder);
    s.ftpLogin = text(QStringLiteral("FtpLogin"), FtpSection, s.ftpLogin);
    const QString storedPass = ini.read(QStringLiteral("FtpPass"), FtpSection);
    if (haveFile)
        s.ftpPassword = unscramblePassword(storedPass);
    loadClips();

    s.resolutionCandidates =
        text(QStringLiteral("DefHD"), ResolutionSection, s.resolutionCandidates);
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

void SettingsStorage::setDefaults() {
    core::Settings& s = m_context.settings;
    const QString& data = m_context.dataFolder;
    platform::Dialogs& dialogs = m_context.dialogs;

    s.startMinimized = false;
    s.startWatching = false;
    s.soundOnSave = true;
    s.saveSoundPath = data + QStringLiteral("/sound/save.wav");
    s.blockScreenSaver = true;
    s.autoCheckUpdates = true;

    const QString chosen =
        dialogs.browseFolder(QStringLiteral("Выберите каталог для сохранения снимков"));
    if (!chosen.isEmpty()) {
        s.savePath = chosen;
    } else {
        s.savePath = defaultSaveFolder();
        const bool exists = QDir(s.savePath).exists() || QDir().mkpath(s.savePath);
        if (exists) {
            dialogs.message(platform::Dialogs::Icon::Information, QStringLiteral("Внимание!"),
                            QStringLiteral("Был выбран каталог для сохранения по умолчанию\r\n") +
                                s.savePath +
                                QStringLiteral("\r\n\r\nВы можете изменить его в настройках "
                                               "программы (файлы - папка для сохранения снимков)"));
        } else {
            // Claiming the folder was chosen would hide that no picture can
            // be saved until another one is set.
            dialogs.message(platform::Dialogs::Icon::Warning, QStringLiteral("Внимание!"),
                            QStringLiteral("Не удалось создать каталог для сохранения по "
                                           "умолчанию\r\n") +
                                s.savePath +
                                QStringLiteral("\r\n\r\nВыберите другой каталог в настройках "
                                               "программы (файлы - папка для сохранения снимков)"));
        }
    }

    s.createSubfolders = true;
    s.singleFile = false;
    s.singleFileName = QStringLiteral("frame");
    s.limitFiles = true;
    s.maxFileCount = 1000;
    s.saveAsJpeg = true;
    s.imprintDate = false;
    s.jpegQuality = 75;
    s.syncPreviewRate = true;
    s.saveOnAlarm = true;
    s.soundOnAlarm = false;
    s.alarmSoundPath = data + QStringLiteral("/sound/alarm.wav");
    s.runOnAlarm = false;
    s.waitForAlarmProgram = false;
    s.alarmProgramPath = QString();
    s.balloonOnAlarm = false;
    s.ftpUpload = false;
    s.resolutionCandidates = DefaultResolutions;
    s.detectorValues = {500, 5, 10};
    // The event and clip options take the record's own defaults.
    const core::Settings defaults;
    s.eventClips = defaults.eventClips;
    s.clipPreRoll = defaults.clipPreRoll;
    s.clipPostRoll = defaults.clipPostRoll;
    s.clipFrameRate = defaults.clipFrameRate;
    s.maxClipMinutes = defaults.maxClipMinutes;
    s.uploadClips = defaults.uploadClips;
    s.eventGap = defaults.eventGap;
    s.soundPerEvent = defaults.soundPerEvent;
    s.balloonPerEvent = defaults.balloonPerEvent;
    s.programPerEvent = defaults.programPerEvent;
    s.eventFrames = defaults.eventFrames;
    s.eventFirstFrames = defaults.eventFirstFrames;
    s.eventFrameInterval = defaults.eventFrameInterval;

    save();
    pushDetectorValues();
}

void SettingsStorage::save() {
    core::IniFile& ini = m_context.ini;
    const core::IniFile::WriteGroup group(ini);
    const core::Settings& s = m_context.settings;

    ini.write(s.startMinimized, QStringLiteral("MinStart"), InterfaceSection);
    ini.write(s.startWatching, QStringLiteral("AutoStart"), InterfaceSection);
    ini.write(s.soundOnSave, QStringLiteral("Sound"), InterfaceSection);
    ini.write(s.saveSoundPath, QStringLiteral("SoundPath"), InterfaceSection);
    ini.write(s.blockScreenSaver, QStringLiteral("BlockSSaver"), InterfaceSection);
    ini.write(s.autoCheckUpdates, QStringLiteral("AutoCheckUpdates"), InterfaceSection);

    ini.write(s.savePath, QStringLiteral("SavePath"), FilesSection);
    ini.write(s.createSubfolders, QStringLiteral("CreateSubFolders"), FilesSection);
    ini.write(s.singleFile, QStringLiteral("StaticFile"), FilesSection);
    ini.write(s.singleFileName, QStringLiteral("StaticFilePath"), FilesSection);
    ini.write(s.limitFiles, QStringLiteral("MaxFiles"), FilesSection);
    ini.write(s.maxFileCount, QStringLiteral("MaxFilesCount"), FilesSection);

    ini.write(s.saveAsJpeg, QStringLiteral("Convert2JPG"), ImageSection);
    ini.write(s.imprintDate, QStringLiteral("InPrintDate"), ImageSection);
    ini.write(s.jpegQuality, QStringLiteral("JPGq"), ImageSection);
    ini.write(s.syncPreviewRate, QStringLiteral("SyncPreRate"), ImageSection);

    ini.write(s.saveOnAlarm, QStringLiteral("SaveAlarm"), DetectorSection);
    ini.write(s.soundOnAlarm, QStringLiteral("SoundAlarm"), DetectorSection);
    ini.write(s.alarmSoundPath, QStringLiteral("SoundAlarmPath"), DetectorSection);
    ini.write(s.runOnAlarm, QStringLiteral("RunAlarm"), DetectorSection);
    ini.write(s.alarmProgramPath, QStringLiteral("RunAlarmPath"), DetectorSection);
    ini.write(s.waitForAlarmProgram, QStringLiteral("RunAlarmWait"), DetectorSection);
    ini.write(s.balloonOnAlarm, QStringLiteral("SysTrayAlarm"), DetectorSection);

    ini.write(s.eventGap, QStringLiteral("EventGap"), EventsSection);
    ini.write(s.soundPerEvent, QStringLiteral("SoundPerEvent"), EventsSection);
    ini.write(s.balloonPerEvent, QStringLiteral("BalloonPerEvent"), EventsSection);
    ini.write(s.programPerEvent, QStringLiteral("ProgramPerEvent"), EventsSection);
    ini.write(s.eventFrames, QStringLiteral("EventFrames"), EventsSection);
    ini.write(s.eventFirstFrames, QStringLiteral("EventFirstFrames"), EventsSection);
    ini.write(s.eventFrameInterval, QStringLiteral("EventFrameInterval"), EventsSection);

    ini.write(s.ftpUpload, QStringLiteral("FtpUpload"), FtpSection);
    ini.write(s.resolutionCandidates, QStringLiteral("DefHD"), ResolutionSection);

    saveClips();
    saveDetectorValues();
}

void SettingsStorage::loadClips() {
    core::IniFile& ini = m_context.ini;
    core::Settings& s = m_context.settings;
    const core::Settings defaults;
    const QString section = QStringLiteral("Events");
    const auto number = [&](const QString& key, qint32 fallback, Range range) {
        return clamped(textToInt32(ini.read(key, section), fallback), range);
    };
    s.eventClips = textToBool(ini.read(QStringLiteral("EventClips"), section), defaults.eventClips);
    s.clipPreRoll = number(QStringLiteral("PreRoll"), defaults.clipPreRoll, ClipPreRollRange);
    // Until set, the clip ends with its event.
    const qint32 gap = std::clamp(
        textToInt32(ini.read(QStringLiteral("EventGap"), section), defaults.clipPostRoll), 1, 3600);
    s.clipPostRoll = number(QStringLiteral("PostRoll"), gap, ClipPostRollRange);
    s.clipFrameRate =
        number(QStringLiteral("ClipFrameRate"), defaults.clipFrameRate, ClipFrameRateRange);
    s.maxClipMinutes =
        number(QStringLiteral("MaxClip"), defaults.maxClipMinutes, MaxClipMinutesRange);
    s.uploadClips =
        textToBool(ini.read(QStringLiteral("UploadClips"), section), defaults.uploadClips);
}

void SettingsStorage::saveClips() {
    core::IniFile& ini = m_context.ini;
    const core::IniFile::WriteGroup group(ini);
    const core::Settings& s = m_context.settings;
    const QString section = QStringLiteral("Events");
    ini.write(s.eventClips, QStringLiteral("EventClips"), section);
    ini.write(s.clipPreRoll, QStringLiteral("PreRoll"), section);
    ini.write(s.clipPostRoll, QStringLiteral("PostRoll"), section);
    ini.write(s.clipFrameRate, QStringLiteral("ClipFrameRate"), section);
    ini.write(s.maxClipMinutes, QStringLiteral("MaxClip"), section);
    ini.write(s.uploadClips, QStringLiteral("UploadClips"), section);
}

void SettingsStorage::saveDetectorValues() {
    core::IniFile& ini = m_context.ini;
    const core::IniFile::WriteGroup group(ini);
    const core::Settings& s = m_context.settings;
    ini.write(s.detectorValues[core::IntervalValue], QStringLiteral("Timer"), SensorSection);
    ini.write(s.detectorValues[core::NoiseValue], QStringLiteral("Noise"), SensorSection);
    ini.write(s.detectorValues[core::SimilarityValue], QStringLiteral("Percent"), SensorSection);
}

void SettingsStorage::saveFtp() {
    core::IniFile& ini = m_context.ini;
    const core::IniFile::WriteGroup group(ini);
    const core::Settings& s = m_context.settings;
    ini.write(s.ftpUpload, QStringLiteral("FtpUpload"), FtpSection);
    ini.write(s.ftpServer, QStringLiteral("FtpServer"), FtpSection);
    ini.write(s.ftpFolder, QStringLiteral("FtpFolder"), FtpSection);
    ini.write(s.ftpLogin, QStringLiteral("FtpLogin"), FtpSection);
    ini.write(scramblePassword(s.ftpPassword), QStringLiteral("FtpPass"), FtpSection);
}

void SettingsStorage::pushDetectorValues() {
    const auto& values = m_context.settings.detectorValues;
    for (const DetectorValue which : AllDetectorValues)
        m_detectorValuesTarget.setDetectorValue(which, values[which]);
}

QString SettingsStorage::scramblePassword(const QString& text) {
    QString s;
    for (const QChar c : text) {
        // A character outside the code page is stored as the page's "?".
        const int code = core::Cp1251::code(c.unicode());
        s += QString::number((code < 0 ? 63 : code) + 1) + ScrambleSeparator;
    }
    // One up, then thirteen down: twelve below the digits and "QXZ", all
    // printable.
    return shifted(shifted(s, 1), -13);
}

QString SettingsStorage::unscramblePassword(const QString& text) {
    const QString s = shifted(shifted(text, 13), -1);
    QString password;
    for (const QString& item : s.split(ScrambleSeparator)) {
        const bool digits = !item.isEmpty() && std::all_of(item.cbegin(), item.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!digits)
            continue;
        bool ok = false;
        const int n = item.toInt(&ok);
        // A code outside the code page (a damaged entry) is skipped too.
        if (ok && n >= 1 && n <= 256)
            password += QChar(core::Cp1251::character(static_cast<unsigned char>(n - 1)));
    }
    return password;
}

bool SettingsStorage::textToBool(const QString& text, bool fallback) {
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

qint16 SettingsStorage::textToInt16(const QString& text, qint16 fallback) {
    qlonglong value = 0;
    if (!parseInteger(text.trimmed(), value) || value < -32768 || value > 32767)
        return fallback;
    return static_cast<qint16>(value);
}

qint32 SettingsStorage::textToInt32(const QString& text, qint32 fallback) {
    qlonglong value = 0;
    if (!parseInteger(text.trimmed(), value) || value < INT32_MIN || value > INT32_MAX)
        return fallback;
    return static_cast<qint32>(value);
}

QList<QPair<qint16, qint16>> SettingsStorage::parseResolutions(const QString& list) {
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

} // namespace vigilux::core
