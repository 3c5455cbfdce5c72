#pragma once

#include "core/NotifySettings.h"
#include "core/Settings.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <span>

namespace vigilux::core {

class IniFile;

// The windows whose OK writes a key; each writes only its own keys.
enum class KeyOwner : unsigned {
    ProgramOptions = 1, // "Настройки" (and its defaults button)
    DetectorWindow = 2,
    FtpWindow = 4,
    NotifyPage = 8,
    RemotePage = 16, // "Удалённый доступ"
};

// One key of options.ini and the field of a settings record it fills.
template <typename Record>
struct SettingKey {
    // A choice is stored as one of `words` (read in any case), the field
    // holding its index.
    enum class Type { Flag, Int16, Int32, Text, Choice };
    enum Rule : unsigned {
        // A number outside the range gives the default instead of the
        // nearest end (a mode number: a neighbouring mode is no better).
        OutOfRangeGivesDefault = 1,
        // A blank text gives the default (an address nobody would leave empty).
        BlankGivesDefault = 2,
        // Stored scrambled (the FTP password).
        Scrambled = 4,
        // Kept by the keyring or in numbered continuation keys; not read or
        // written as a plain key (see core::NotifyOptions).
        Secret = 8,
        // The default is a path inside the program's data folder.
        InDataFolder = 16,
        // What the user types is stored without surrounding blanks.
        Trimmed = 32,
        // Only a plain file name (no folder, not hidden); else the default.
        PlainName = 64,
    };

    QString section;
    QString name;
    Type type = Type::Text;
    QVariant defaultValue;
    qint32 low = 0;    // numbers: what the option pages offer; a hand-edited
    qint32 high = 0;   // value beyond it is pulled to the nearest end
    QStringList words; // a choice's stored words, by index
    unsigned rules = 0;
    unsigned owners = 0;
    QVariant (*get)(const Record&) = nullptr;
    void (*set)(Record&, const QVariant&) = nullptr;
    // Numbers: the value an unreadable text stands for, when not the default
    // (a clip's post-roll follows the event gap until it is set).
    qint32 (*fallback)(const Record&) = nullptr;

    bool has(Rule rule) const { return (rules & rule) != 0; }
    bool ownedBy(KeyOwner owner) const { return (owners & static_cast<unsigned>(owner)) != 0; }
    bool isNumber() const { return type == Type::Int16 || type == Type::Int32; }
};

// Every key of options.ini that fills a settings record, once: section,
// name, default, range and the field. Load, defaults, saves and the editors
// of the option pages all go through it, so a new setting is one field and
// one row. Rows are in the order of a fresh file; load and saves go in that
// order. Keys outside any record (the HD probe's result, the first-run mark,
// the last update check) are their owners' own.
//
// The reading rules of the load: a flag takes "True"/"False" in any case or
// a number (0 false, else true); a number takes decimal text within its
// type; anything else, "" included, gives the default. A number beyond the
// key's range is pulled to the nearest end. A text is taken as stored ("" when
// missing); with no file at all the record keeps what it has.
//
// Record is Settings (the rows of core::Settings) or NotifySettings (the
// [Notify] section, loaded and saved by core::NotifyOptions).
template <typename Record>
class SettingsTable final {
public:
    using Key = SettingKey<Record>;

    static std::span<const Key> keys();
    // The key of this name (names are unique within a table); null if none.
    static const Key* find(QStringView name);

    // Reads every key but the secrets into `record`. `haveFile` false keeps
    // the texts as they are (there is nothing to read them from).
    static void load(IniFile& ini, Record& record, bool haveFile = true);
    // Writes the keys `owner` writes, in table order.
    static void save(IniFile& ini, const Record& record, KeyOwner owner);
    // Sets the keys any of `owners` writes to their defaults; a path default
    // is placed in `dataFolder` ("" gives an empty path).
    static void reset(Record& record, unsigned owners, const QString& dataFolder);
};

extern template class SettingsTable<Settings>;
extern template class SettingsTable<NotifySettings>;

} // namespace vigilux::core
