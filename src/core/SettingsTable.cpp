#include "core/SettingsTable.h"

#include "core/IniFile.h"
#include "core/SettingsStorage.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace vigilux::core {

namespace {

template <typename Member>
struct MemberOf;
template <typename Record, typename T>
struct MemberOf<T Record::*> {
    using RecordType = Record;
    using ValueType = T;
};

template <typename Record, typename T>
constexpr auto typeOf() {
    using Type = typename SettingKey<Record>::Type;
    if constexpr (std::is_same_v<T, bool>)
        return Type::Flag;
    else if constexpr (std::is_same_v<T, qint16>)
        return Type::Int16;
    else if constexpr (std::is_same_v<T, qint32>)
        return Type::Int32;
    else if constexpr (std::is_enum_v<T>)
        return Type::Choice;
    else {
        static_assert(std::is_same_v<T, QString>, "a setting is a flag, a number or a text");
        return Type::Text;
    }
}

// A row under construction: the field, then what sets it apart.
template <typename Record>
struct Row {
    using Key = SettingKey<Record>;
    Key key;

    Row range(qint32 low, qint32 high) && {
        key.low = low;
        key.high = high;
        return std::move(*this);
    }
    Row rules(unsigned rules) && {
        key.rules |= rules;
        return std::move(*this);
    }
    Row owners(KeyOwner a, KeyOwner b = KeyOwner{}) && {
        key.owners = static_cast<unsigned>(a) | static_cast<unsigned>(b);
        return std::move(*this);
    }
    Row words(QStringList words) && {
        key.words = std::move(words);
        return std::move(*this);
    }
    template <auto Field>
    Row followsWhenUnreadable() && {
        key.fallback = [](const Record& r) { return static_cast<qint32>(r.*Field); };
        return std::move(*this);
    }
};

// The row of the key `name` in `section` that fills `Field`.
template <auto Field>
auto row(const char* section, const char* name, const QVariant& defaultValue) {
    using Record = typename MemberOf<decltype(Field)>::RecordType;
    using T = typename MemberOf<decltype(Field)>::ValueType;
    Row<Record> r;
    r.key.section = QString::fromLatin1(section);
    r.key.name = QString::fromLatin1(name);
    r.key.type = typeOf<Record, T>();
    r.key.defaultValue = defaultValue;
    if constexpr (std::is_enum_v<T>) {
        r.key.get = [](const Record& record) { return QVariant(static_cast<int>(record.*Field)); };
        r.key.set = [](Record& record, const QVariant& value) {
            record.*Field = static_cast<T>(value.toInt());
        };
    } else {
        r.key.get = [](const Record& record) { return QVariant::fromValue(record.*Field); };
        r.key.set = [](Record& record, const QVariant& value) { record.*Field = value.value<T>(); };
    }
    return r;
}

// The row of one of the detector's values.
template <std::size_t Index>
Row<Settings> detectorRow(const char* name, qint32 defaultValue, qint32 low, qint32 high) {
    Row<Settings> r;
    r.key.section = QStringLiteral("Sensor");
    r.key.name = QString::fromLatin1(name);
    r.key.type = SettingKey<Settings>::Type::Int32;
    r.key.defaultValue = defaultValue;
    r.key.get = [](const Settings& s) { return QVariant(s.detectorValues[Index]); };
    r.key.set = [](Settings& s, const QVariant& v) { s.detectorValues[Index] = v.toInt(); };
    return std::move(r).range(low, high).owners(KeyOwner::DetectorWindow);
}

template <typename Record>
std::vector<SettingKey<Record>> finished(std::initializer_list<Row<Record>> rows,
                                         KeyOwner usualOwner) {
    std::vector<SettingKey<Record>> keys;
    for (const Row<Record>& r : rows) {
        keys.push_back(r.key);
        if (keys.back().owners == 0)
            keys.back().owners = static_cast<unsigned>(usualOwner);
    }
    return keys;
}

using K = SettingKey<Settings>;
using N = SettingKey<NotifySettings>;

// The file's order: a fresh file gets its sections in this order.
std::vector<K> makeSettingsKeys() {
    using S = Settings;
    constexpr auto Ftp = KeyOwner::FtpWindow;
    // The detector window's OK writes the object detector's keys.
    constexpr auto Detector = KeyOwner::DetectorWindow;
    constexpr auto Program = KeyOwner::ProgramOptions;
    return finished<S>(
        {
            row<&S::startMinimized>("Interface", "MinStart", false),
            row<&S::startWatching>("Interface", "AutoStart", false),
            row<&S::soundOnSave>("Interface", "Sound", true),
            row<&S::saveSoundPath>("Interface", "SoundPath", QStringLiteral("/sound/save.wav"))
                .rules(K::InDataFolder),
            row<&S::blockScreenSaver>("Interface", "BlockSSaver", true),
            row<&S::autoCheckUpdates>("Interface", "AutoCheckUpdates", true),

            // The first start asks for the folder (core::SettingsStorage).
            row<&S::savePath>("Files", "SavePath", QString()),
            row<&S::createSubfolders>("Files", "CreateSubFolders", true),
            row<&S::singleFile>("Files", "StaticFile", false),
            row<&S::singleFileName>("Files", "StaticFilePath", QStringLiteral("frame")),
            row<&S::limitFiles>("Files", "MaxFiles", true),
            row<&S::maxFileCount>("Files", "MaxFilesCount", 1000).range(1, 10000),

            row<&S::saveAsJpeg>("Image", "Convert2JPG", true),
            row<&S::imprintDate>("Image", "InPrintDate", false),
            row<&S::jpegQuality>("Image", "JPGq", 75).range(10, 100),
            row<&S::syncPreviewRate>("Image", "SyncPreRate", true),

            row<&S::saveOnAlarm>("MotionDetector", "SaveAlarm", true),
            row<&S::soundOnAlarm>("MotionDetector", "SoundAlarm", false),
            row<&S::alarmSoundPath>("MotionDetector", "SoundAlarmPath",
                                    QStringLiteral("/sound/alarm.wav"))
                .rules(K::InDataFolder),
            row<&S::runOnAlarm>("MotionDetector", "RunAlarm", false),
            row<&S::alarmProgramPath>("MotionDetector", "RunAlarmPath", QString()),
            row<&S::waitForAlarmProgram>("MotionDetector", "RunAlarmWait", false),
            row<&S::balloonOnAlarm>("MotionDetector", "SysTrayAlarm", false),

            row<&S::eventGap>("Events", "EventGap", 10).range(1, 3600),
            row<&S::soundPerEvent>("Events", "SoundPerEvent", false),
            row<&S::balloonPerEvent>("Events", "BalloonPerEvent", false),
            row<&S::programPerEvent>("Events", "ProgramPerEvent", false),
            row<&S::eventFrames>("Events", "EventFrames", 0)
                .range(0, 2)
                .rules(K::OutOfRangeGivesDefault),
            row<&S::eventFirstFrames>("Events", "EventFirstFrames", 3).range(1, 100),
            row<&S::eventFrameInterval>("Events", "EventFrameInterval", 5).range(1, 3600),
            row<&S::eventClips>("Events", "EventClips", false),
            row<&S::clipPreRoll>("Events", "PreRoll", 2).range(0, 10),
            row<&S::clipPostRoll>("Events", "PostRoll", 10)
                .range(0, 3600)
                .followsWhenUnreadable<&S::eventGap>(),
            row<&S::clipFrameRate>("Events", "ClipFrameRate", 10).range(1, 60),
            row<&S::maxClipMinutes>("Events", "MaxClip", 10).range(1, 600),
            row<&S::uploadClips>("Events", "UploadClips", false),

            // Uploading is switched in both windows; the connection only in
            // the FTP window, whose defaults are never reset.
            row<&S::ftpUpload>("FTP", "FtpUpload", false).owners(Program, Ftp),
            row<&S::ftpServer>("FTP", "FtpServer", QString()).owners(Ftp),
            row<&S::ftpFolder>("FTP", "FtpFolder", QString()).owners(Ftp),
            row<&S::ftpLogin>("FTP", "FtpLogin", QString()).owners(Ftp),
            row<&S::ftpPassword>("FTP", "FtpPass", QString()).rules(K::Scrambled).owners(Ftp),

            // Never reset by the defaults button: switching the phone's access
            // off and forgetting its password is the user's own choice.
            row<&S::remoteOn>("Remote", "RemoteOn", false).owners(KeyOwner::RemotePage),
            row<&S::remotePort>("Remote", "Port", 8443)
                .range(1, 65535)
                .owners(KeyOwner::RemotePage),
            row<&S::remotePasswordHash>("Remote", "PasswordHash", QString())
                .owners(KeyOwner::RemotePage),
            row<&S::remoteLocalOnly>("Remote", "LocalOnly", true).owners(KeyOwner::RemotePage),
            row<&S::remoteCertificate>("Remote", "Certificate", QString())
                .rules(K::Trimmed)
                .owners(KeyOwner::RemotePage),
            row<&S::remoteKey>("Remote", "Key", QString())
                .rules(K::Trimmed)
                .owners(KeyOwner::RemotePage),

            row<&S::resolutionCandidates>("HD", "DefHD", SettingsStorage::DefaultResolutions),

            // A file without a known Kind: see core::SettingsStorage::load.
            row<&S::detectorKind>("Detector", "Kind", int(S::DetectorKind::ByteCompare))
                .words({QStringLiteral("Bytes"), QStringLiteral("Objects")})
                .owners(Detector),
            row<&S::objectSensitivity>("Detector", "Sensitivity", 40)
                .range(20, 100)
                .owners(Detector),
            row<&S::objectNoiseFloor>("Detector", "NoiseFloor", 10).range(2, 80).owners(Detector),
            row<&S::objectMinSize>("Detector", "MinObject", 20).range(5, 2000).owners(Detector),
            row<&S::objectPersistence>("Detector", "Persistence", 400)
                .range(0, 5000)
                .owners(Detector),
            row<&S::objectLearnSeconds>("Detector", "LearnSeconds", 20)
                .range(1, 600)
                .owners(Detector),
            row<&S::objectPersonOnly>("Detector", "PersonOnly", false).owners(Detector),
            row<&S::objectBoxes>("Detector", "DrawBoxes", false).owners(Detector),
            // The mask lives beside options.ini.
            row<&S::objectMask>("Detector", "Mask", QStringLiteral("mask.png"))
                .rules(K::PlainName)
                .owners(Detector),

            detectorRow<IntervalValue>("Timer", 500, 100, 5000),
            detectorRow<NoiseValue>("Noise", 5, 0, 15),
            detectorRow<SimilarityValue>("Percent", 10, 1, 100),
        },
        Program);
}

std::vector<N> makeNotifyKeys() {
    using S = NotifySettings;
    constexpr unsigned Typed = N::Trimmed;
    return finished<S>(
        {
            row<&S::telegramOn>("Notify", "TelegramOn", false),
            row<&S::telegramApi>("Notify", "TelegramApi",
                                 QStringLiteral("https://api.telegram.org"))
                .rules(N::BlankGivesDefault | Typed),
            row<&S::telegramToken>("Notify", "TelegramToken", QString()).rules(N::Secret | Typed),
            row<&S::telegramChat>("Notify", "TelegramChat", QString()).rules(Typed),
            row<&S::mailOn>("Notify", "MailOn", false),
            row<&S::smtpServer>("Notify", "SmtpServer", QString()).rules(Typed),
            row<&S::smtpPort>("Notify", "SmtpPort", 587).range(0, 65535),
            row<&S::smtpSecurity>("Notify", "SmtpSecurity", int{S::SecurityStartTls})
                .range(S::SecurityNone, S::SecurityTls),
            row<&S::smtpLogin>("Notify", "SmtpLogin", QString()).rules(Typed),
            row<&S::smtpPassword>("Notify", "SmtpPass", QString()).rules(N::Secret),
            row<&S::mailFrom>("Notify", "MailFrom", QString()).rules(Typed),
            row<&S::mailTo>("Notify", "MailTo", QString()).rules(Typed),
            row<&S::smtpCaFile>("Notify", "SmtpCaFile", QString()).rules(Typed),
            row<&S::sendClips>("Notify", "SendClips", true),
            row<&S::mailClip>("Notify", "MailClip", false),
            row<&S::mailClipMaxMb>("Notify", "MailClipMaxMb", 20).range(1, 1024),
        },
        KeyOwner::NotifyPage);
}

template <typename Record>
const std::vector<SettingKey<Record>>& table();
template <>
const std::vector<K>& table<Settings>() {
    static const std::vector<K> keys = makeSettingsKeys();
    return keys;
}
template <>
const std::vector<N>& table<NotifySettings>() {
    static const std::vector<N> keys = makeNotifyKeys();
    return keys;
}

template <typename Record>
QVariant readValue(const SettingKey<Record>& key, const QString& text, const Record& record,
                   bool haveFile) {
    using Type = typename SettingKey<Record>::Type;
    switch (key.type) {
    case Type::Flag:
        return SettingsStorage::textToBool(text, key.defaultValue.toBool());
    case Type::Int16:
    case Type::Int32: {
        const qint32 fallback = key.fallback ? key.fallback(record) : key.defaultValue.toInt();
        const qint32 value = key.type == Type::Int16
                                 ? SettingsStorage::textToInt16(text, static_cast<qint16>(fallback))
                                 : SettingsStorage::textToInt32(text, fallback);
        if (value >= key.low && value <= key.high)
            return value;
        if (key.has(SettingKey<Record>::OutOfRangeGivesDefault))
            return key.defaultValue.toInt();
        return std::clamp(value, key.low, key.high);
    }
    case Type::Choice: {
        for (qsizetype i = 0; i < key.words.size(); ++i)
            if (key.words[i].compare(text.trimmed(), Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        return key.defaultValue;
    }
    case Type::Text:
        break;
    }
    if (!haveFile)
        return key.get(record);
    if (key.has(SettingKey<Record>::Scrambled))
        return SettingsStorage::unscramblePassword(text);
    if (key.has(SettingKey<Record>::BlankGivesDefault) && text.trimmed().isEmpty())
        return key.defaultValue;
    if (key.has(SettingKey<Record>::PlainName) &&
        (text.isEmpty() || text.contains(QLatin1Char('/')) || text.contains(QLatin1Char('\\')) ||
         text.startsWith(QLatin1Char('.'))))
        return key.defaultValue;
    return text;
}

} // namespace

template <typename Record>
std::span<const SettingKey<Record>> SettingsTable<Record>::keys() {
    return table<Record>();
}

template <typename Record>
const SettingKey<Record>* SettingsTable<Record>::find(QStringView name) {
    for (const Key& key : table<Record>())
        if (key.name == name)
            return &key;
    return nullptr;
}

template <typename Record>
void SettingsTable<Record>::load(IniFile& ini, Record& record, bool haveFile) {
    for (const Key& key : table<Record>()) {
        if (key.has(Key::Secret))
            continue;
        const QString text = ini.read(key.name, key.section);
        key.set(record, readValue(key, text, record, haveFile));
    }
}

template <typename Record>
void SettingsTable<Record>::save(IniFile& ini, const Record& record, KeyOwner owner) {
    const IniFile::WriteGroup group(ini);
    for (const Key& key : table<Record>()) {
        if (key.has(Key::Secret) || !key.ownedBy(owner))
            continue;
        const QVariant value = key.get(record);
        if (key.type == Key::Type::Choice)
            ini.write(key.words.value(value.toInt()), key.name, key.section);
        else if (key.has(Key::Scrambled))
            ini.write(SettingsStorage::scramblePassword(value.toString()), key.name, key.section);
        else
            ini.write(value, key.name, key.section);
    }
}

template <typename Record>
void SettingsTable<Record>::reset(Record& record, unsigned owners, const QString& dataFolder) {
    for (const Key& key : table<Record>()) {
        if ((key.owners & owners) == 0)
            continue;
        if (key.has(Key::InDataFolder))
            key.set(record,
                    dataFolder.isEmpty() ? QString() : dataFolder + key.defaultValue.toString());
        else
            key.set(record, key.defaultValue);
    }
}

template class SettingsTable<Settings>;
template class SettingsTable<NotifySettings>;

// The records start from their tables' defaults.
Settings::Settings() {
    SettingsTable<Settings>::reset(*this, ~0U, QString());
    liveDetectorValues = detectorValues;
}

NotifySettings::NotifySettings() {
    SettingsTable<NotifySettings>::reset(*this, ~0U, QString());
}

} // namespace vigilux::core
