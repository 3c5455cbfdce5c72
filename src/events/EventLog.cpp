#include "events/EventLog.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <utility>

namespace vigilux::events {

const QString EventLog::FileName = QStringLiteral("events.csv");
const QString EventLog::Header = QStringLiteral(
    "number,start,end,duration_s,steps,peak_percent,first_file,last_file,files,clips");

namespace {

// Where the last whole line of the file ends (0 when there is none).
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
        const qsizetype at = bytes.lastIndexOf('\n');
        if (at >= 0)
            return from + at + 1;
        pos = from;
    }
    return 0;
}

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
    return QStringList{QString::number(event.number),
                       timeText(event.startTime),
                       timeText(event.endTime),
                       QString::number(event.durationSeconds(), 'f', 3),
                       QString::number(event.steps),
                       QString::number(event.peakChange),
                       field(first),
                       field(last),
                       QString::number(event.files.size()),
                       field(clips.join(QLatin1Char(';')))}
        .join(QLatin1Char(','));
}

bool EventLog::append(const MotionEvent& event) {
    return write(line(event).toUtf8() + '\n');
}

bool EventLog::write(const QByteArray& line) {
    if (m_path.isEmpty()) {
        fail(QStringLiteral("нет пути"));
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        fail(file.errorString());
        return false;
    }
    qint64 size = file.size();
    if (size > 0) {
        // A line cut short by a power failure is dropped, so the new line
        // does not continue it.
        const qint64 whole = endOfLastLine(file, size);
        if (whole < 0 || (whole != size && !file.resize(whole))) {
            fail(file.errorString());
            return false;
        }
        size = whole;
    }
    QByteArray bytes;
    if (size == 0)
        bytes = Header.toUtf8() + '\n';
    bytes += line;
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
