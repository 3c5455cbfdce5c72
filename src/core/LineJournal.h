#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QFile;

namespace vigilux::core {

// A text file of records, one UTF-8 line each, that only grows between
// compactions. Each append is a single write of the whole line opened in
// append mode, so a crash or kill leaves at most a torn last line, which
// reading skips. Compaction writes a new file and renames it into place, so
// it never leaves a half-written journal. The file is held open between
// appends, so it must not be replaced behind the journal's back. UI thread
// only; not shared across processes.
class LineJournal final {
public:
    explicit LineJournal(const QString& path);
    ~LineJournal();
    LineJournal(LineJournal&&) noexcept;
    LineJournal& operator=(LineJournal&&) noexcept;

    const QString& path() const { return m_path; }

    // Appends one record (a line break inside it is written as a space).
    // False, with lastError() set, when the line could not be written whole.
    bool append(const QString& record);

    // Every complete record in file order; a missing file has none.
    QStringList readAll() const;

    // Replaces the whole journal by `records` (empty: an empty file).
    bool rewrite(const QStringList& records);

    // The reason of the last failure, for a status text.
    const QString& lastError() const { return m_lastError; }

private:
    bool openForAppend();

    QString m_path;
    QString m_lastError;
    std::unique_ptr<QFile> m_appender; // open between appends
};

} // namespace vigilux::core
