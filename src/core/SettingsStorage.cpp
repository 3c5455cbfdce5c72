#include "core/SettingsStorage.h"

#include "core/AppContext.h"
#include "core/Cp1251.h"
#include "core/DetectorValuesTarget.h"
#include "core/SettingsTable.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace vigilux::core {

namespace {

const QString ScrambleSeparator = QStringLiteral("QXZ");

using Table = SettingsTable<Settings>;

// What the program options' OK writes and their defaults button resets:
// everything but the FTP connection and [Notify], the detector's values last.
constexpr unsigned OwnKeys = static_cast<unsigned>(KeyOwner::ProgramOptions) |
                             static_cast<unsigned>(KeyOwner::DetectorWindow);

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
    const bool newFile = !QFileInfo::exists(ini.fileName());
    if (newFile)
        setDefaults();
    // When even the defaults could not be written there is nothing to read
    // back: the texts keep the defaults just set instead of becoming "".
    // A file without a known detector kind keeps the byte compare when it
    // has [Sensor] values (a tuned setup stays as it was); otherwise it gets
    // the object detector, as a new file does.
    const SettingKey<Settings>* kind = Table::find(u"Kind");
    const bool kindNamed =
        kind->words.contains(ini.read(kind->name, kind->section).trimmed(), Qt::CaseInsensitive);
    const bool tuned = !ini.read(QStringLiteral("Timer"), QStringLiteral("Sensor")).isEmpty();
    Table::load(ini, m_context.settings, QFileInfo::exists(ini.fileName()));
    if (!kindNamed)
        m_context.settings.detectorKind = newFile || !tuned
                                              ? core::Settings::DetectorKind::Objects
                                              : core::Settings::DetectorKind::ByteCompare;
    pushDetectorValues();
    // The first-run mark goes into the section read last, which has always
    // been [HD].
    ini.read(QStringLiteral("DefHD"), QStringLiteral("HD"));
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
    platform::Dialogs& dialogs = m_context.dialogs;
    Table::reset(s, OwnKeys, m_context.dataFolder);
    // A new file watches for objects, not changed bytes.
    s.detectorKind = core::Settings::DetectorKind::Objects;

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

    save();
    pushDetectorValues();
}

void SettingsStorage::save() {
    const core::IniFile::WriteGroup group(m_context.ini);
    Table::save(m_context.ini, m_context.settings, KeyOwner::ProgramOptions);
    saveDetectorValues();
}

void SettingsStorage::saveDetectorValues() {
    Table::save(m_context.ini, m_context.settings, KeyOwner::DetectorWindow);
}

void SettingsStorage::saveFtp() {
    Table::save(m_context.ini, m_context.settings, KeyOwner::FtpWindow);
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
