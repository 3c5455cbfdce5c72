#pragma once

#include <QString>
#include <QVariant>

namespace vigilux::settings {

// The one reader/writer of options.ini. Each call touches exactly one key of
// one section; values go in and come out as text. Section and key names are
// matched without regard to case. The object remembers the section of its
// last call: an empty section means "the same as last time" (or "Main" on a
// fresh object). UI thread only.
//
// The file is read the way the platform's profile functions read one: CRLF or
// LF line ends, an optional UTF-8 byte-order mark, blank and ";" comment
// lines, blanks around names, "=" and values, a value in double quotes
// without them; when a section or key repeats, the first key found wins.
// Text is in the system's 8-bit code page. Every call re-reads the file; a
// write replaces the file through a renamed temporary copy, changing only the
// one line it sets (or adding it at the end of its section, or a new section
// at the end of the file), so every other byte, the byte-order mark and the
// line-end style stay; a new file gets LF line ends.
class IniFile final {
public:
    explicit IniFile(QString fileName = QString());

    QString FileName() const { return m_fileName; }
    void setFileName(const QString& FName) { m_fileName = FName; }
    QString LastSection() const { return m_lastSection; }

    // The value of KeyName in Section, cut to 254 characters; "" when the
    // file, the section or the key is missing. Never creates the file.
    QString ReadINI(const QString& KeyName, const QString& Section);

    // Stores KeyValue (bool -> "True"/"False", integers as decimal text,
    // dates as the system's short date, strings unchanged) under KeyName in
    // Section, creating file, section and key as needed and keeping every
    // other line in its place. A write that fails leaves the file as it was.
    void SaveINI(const QVariant& KeyValue, const QString& KeyName, const QString& Section);

    // The text SaveINI stores for a value.
    static QString toText(const QVariant& value);

    // Longest value ReadINI returns.
    static constexpr int MaxValueLength = 254;

private:
    QString chooseSection(const QString& section);

    QString m_fileName;
    QString m_lastSection;
};

} // namespace vigilux::settings
