#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace vigilux::core {

// The one reader/writer of options.ini. Each call touches exactly one key of
// one section; values go in and come out as text. Section and key names are
// matched without regard to case. The object remembers the section of its
// last call: an empty section means "the same as last time" (or "Main" on a
// fresh object). UI thread only.
//
// The file is read the way the platform's profile functions read one: lines
// end at CR LF, LF or a lone CR; text is UTF-16 when it starts with a UTF-16
// byte-order mark, else UTF-8 (optional mark) when every byte sequence is
// valid UTF-8, else Windows-1251, so files written by older versions keep
// their Cyrillic paths. Blank and ";" comment lines are skipped; blanks
// around names, "=" and values go; a value in double quotes loses them. A
// section header runs from "[" to the last "]" of its line (a line without
// "]" is no header); only the first section of a name counts, and in it the
// first key of a name. "=5" is the empty key's value.
//
// Only regular files are opened (never a FIFO or a device, which could block
// or never end). Every call re-reads the file; a write replaces it through a
// renamed temporary copy, changing only the one line it sets (or adding it at
// the end of its section, or a new section at the end of the file), so every
// other line, the byte-order mark, the encoding and the line-end style stay;
// a new file is UTF-8 with LF line ends.
class IniFile final {
public:
    // Why a file cannot serve as the settings file.
    enum class Problem { None, Missing, Folder, NotRegular, Unreadable, TooBig };

    explicit IniFile(QString fileName = QString());

    QString fileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }
    QString lastSection() const { return m_lastSection; }

    // The value of keyName in sectionName, cut to 254 characters; "" when the
    // file, the section or the key is missing. Never creates the file.
    QString read(const QString& keyName, const QString& sectionName);

    // Stores keyValue (bool -> "True"/"False", integers as decimal text,
    // dates as the system's short date, strings unchanged) under keyName in
    // sectionName, creating file, section and key as needed and keeping every
    // other line in its place. A write that fails leaves the file as it was,
    // returns false, sets lastError() and is reported (see setFailureReporter).
    bool write(const QVariant& keyValue, const QString& keyName, const QString& sectionName);

    // Why the last write failed ("" after a success).
    QString lastError() const { return m_lastError; }

    // Called with a complete user-facing text when a write fails. Inside a
    // WriteGroup only the first failure is reported.
    void setFailureReporter(std::function<void(const QString& text)> reporter) {
        m_reporter = std::move(reporter);
    }

    // The writes of one settings window's confirmation: a file that refuses
    // them is reported once, not once per key. Groups nest.
    class WriteGroup {
    public:
        explicit WriteGroup(IniFile& ini);
        ~WriteGroup();
        WriteGroup(const WriteGroup&) = delete;
        WriteGroup& operator=(const WriteGroup&) = delete;

    private:
        IniFile& m_ini;
    };

    // The text write stores for a value.
    static QString toText(const QVariant& value);

    // Whether the file at `path` can be read as a settings file, without
    // opening anything that could block.
    static Problem check(const QString& path);
    // The reason for a problem, as the user reads it (Russian).
    static QString describe(Problem problem);

    // Longest value read returns.
    static constexpr int MaxValueLength = 254;
    // Beyond this size a file is not ours to parse.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

    struct Contents; // the file's bytes as last read or written, decoded and split

private:
    QString chooseSection(const QString& section);
    bool fail(const QString& reason);
    // The contents for these bytes: the cached ones when the file has not
    // changed, so a settings load does not decode a big file sixty times.
    const Contents& contentsOf(QByteArray bytes);

    QString m_fileName;
    QString m_lastSection;
    QString m_lastError;
    std::function<void(const QString&)> m_reporter;
    int m_groupDepth = 0;
    bool m_groupReported = false;
    std::shared_ptr<Contents> m_cache;
};

} // namespace vigilux::core
