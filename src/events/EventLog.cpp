#include "events/EventLog.h"

#include <QDir>
#include <QFile>

#include "platform/RegularFile.h"

#include <algorithm>
#include <utility>

namespace vigilux::events {

const QString EventLog::FileName = QStringLiteral("events.csv");
const QString EventLog::Header = QStringLiteral(
    "number,start,end,duration_s,steps,peak_percent,first_file,last_file,files,clips");
const QString EventLog::InterruptedNote = QStringLiteral("interrupted");
const QString EventLog::CutNote = QStringLiteral("cut");

const QString EventLog::CameraFileName = QStringLiteral("camera.csv");
const QString EventLog::CameraHeader = QStringLiteral("time,alert,text,source");

namespace {

// Fields of one CSV record; -1 when a quoted field is still open (the record
// goes on past what was given).
int csvFields(const QByteArray& record) {
    bool quoted = false;
    int fields = 1;
    for (const char c : record) {
        if (c == '"')
            quoted = !quoted; // a doubled quote toggles twice
        else if (c == ',' && !quoted)
            ++fields;
    }
    return quoted ? -1 : fields;
}

bool isBreak(char c) {
    return c == '\n' || c == '\r';
}

// The line end the file already uses, from its first line break: the log is
// often opened in spreadsheets and editors that write CRLF or CR only.
QByteArray lineEndOf(const QByteArray& head) {
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (head[i] == '\n')
            return "\n";
        if (head[i] == '\r')
            return i + 1 < head.size() && head[i + 1] == '\n' ? "\r\n" : "\r";
    }
    return "\n";
}

// Where the last line break of the file ends (0 when there is none).
qint64 endOfLastLine(QFile& file, qint64 size) {
    constexpr qint64 Chunk = 4096;
    qint64 pos = size;
    while (pos > 0) {
        const qint64 from = std::max<qint64>(0, pos - Chunk);
        if (!file.seek(from))
            return -1;
        const QByteArray bytes = file.read(pos - from);
        if (bytes.size() != pos - from)
            return -1;
        for (qsizetype at = bytes.size() - 1; at >= 0; --at)
            if (isBreak(bytes[at]))
                return from + at + 1;
        pos = from;
    }
    return 0;
}

// Longest last line taken for a record the program wrote; a longer one is
// not ours, and only the part after it is looked at as a possible record.
constexpr qint64 MaxRecordBytes = 1024 * 1024;

} // namespace

EventLog::EventLog(core::StatusSink status)
    : m_status(std::move(status)) {}

QString EventLog::timeText(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

QString EventLog::field(const QString& text) {
    QString plain = text;
    // One line per event, whatever a file name holds.
    plain.replace(QLatin1Char('\r'), QLatin1Char(' '));
    plain.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (!plain.contains(QLatin1Char(',')) && !plain.contains(QLatin1Char('"')))
        return plain;
    plain.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + plain + QLatin1Char('"');
}

QString EventLog::line(const MotionEvent& event) {
    const QString first =
        event.files.isEmpty() ? QString() : QDir::toNativeSeparators(event.files.first());
    const QString last =
        event.files.isEmpty() ? QString() : QDir::toNativeSeparators(event.files.last());
    // The clips of an event: usually one, more when it outlasted MaxClip.
    QStringList clips;
    for (const QString& clip : event.clips)
        clips << QDir::toNativeSeparators(clip);
    QStringList fields{QString::number(event.number),
                       timeText(event.startTime),
                       timeText(event.endTime),
                       QString::number(event.durationSeconds(), 'f', 3),
                       QString::number(event.steps),
                       QString::number(event.peakChange),
                       field(first),
                       field(last),
                       QString::number(event.files.size()),
                       field(clips.join(QLatin1Char(';')))};
    // Only a line that has something to say gets the eleventh field.
    QStringList notes;
    if (event.interrupted)
        notes << InterruptedNote;
    if (event.clipCut)
        notes << CutNote;
    if (!notes.isEmpty())
        fields << notes.join(QLatin1Char(';'));
    return fields.join(QLatin1Char(','));
}

bool EventLog::append(const MotionEvent& event) {
    return write(line(event).toUtf8());
}

bool EventLog::appendFields(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields)
        quoted << field(f);
    return write(quoted.join(QLatin1Char(',')).toUtf8());
}

bool EventLog::write(const QByteArray& line) {
    if (m_path.isEmpty()) {
        fail(QStringLiteral("нет пути"));
        return false;
    }
    QFile file;
    QString why;
    // A FIFO named events.csv would block the program for ever.
    if (!platform::RegularFile::openForAppend(file, m_path, &why)) {
        fail(why);
        return false;
    }
    qint64 size = file.size();
    QByteArray eol = "\n";
    QByteArray before; // what completes the file's last line before the new one
    if (size > 0) {
        if (!file.seek(0)) {
            fail(file.errorString());
            return false;
        }
        const QByteArray head = file.read(std::min<qint64>(size, 64 * 1024));
        eol = lineEndOf(head);
        const qint64 whole = endOfLastLine(file, size);
        if (whole < 0 || !file.seek(whole)) {
            fail(file.errorString());
            return false;
        }
        if (whole == size) {
            // A CRLF file whose last CR lost its LF.
            if (eol == "\r\n" && file.seek(size - 1) && file.read(1) == "\r")
                before = "\n";
        } else {
            // Only a record that is really torn goes: one whose quotes are
            // still open or that has fewer or more fields than the first
            // line. A whole record that lacks its line end gets it.
            const QByteArray tail =
                size - whole <= MaxRecordBytes ? file.read(size - whole) : QByteArray();
            const qsizetype firstBreak =
                std::find_if(head.cbegin(), head.cend(), isBreak) - head.cbegin();
            const int expected = firstBreak < head.size() ? csvFields(head.left(firstBreak))
                                                          : csvFields(m_header.toUtf8());
            // Our lines have ten fields, or eleven with a note.
            const int fields = csvFields(tail);
            const auto ours = [](int n) { return n == Fields || n == FieldsWithNote; };
            if (!tail.isEmpty() && (fields == expected || (ours(fields) && ours(expected)))) {
                before = eol;
            } else if (!file.resize(whole)) {
                fail(file.errorString());
                return false;
            } else {
                size = whole;
            }
        }
    }
    QByteArray bytes = before;
    if (size == 0)
        bytes = m_header.toUtf8() + eol;
    bytes += line + eol;
    // One write of the whole text: a kill leaves it whole or absent; a short
    // write (full disk) is cut off again.
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.resize(size);
        fail(reason);
        return false;
    }
    m_failing = false;
    return true;
}

void EventLog::fail(const QString& reason) {
    if (m_failing)
        return;
    m_failing = true;
    if (m_status)
        m_status(QStringLiteral(" Не удалось записать журнал событий ") +
                 QDir::toNativeSeparators(m_path) + QStringLiteral(": ") + reason);
}

} // namespace vigilux::events
