#pragma once

#include "core/StatusSink.h"
#include "events/MotionEvent.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vigilux::events {

// The event log, events.csv: one line per ended event, UTF-8, comma
// separated, with a header line when the file is new. Columns: number,
// start and end (local time, ISO 8601 with milliseconds), duration in
// seconds, alarm steps, largest change in percent, first and last saved
// file, count of saved files, video clips (separated by ';'). A line whose
// event was interrupted or whose clip was cut carries one more field, the
// note ("interrupted", "cut" or "interrupted;cut"); other lines keep the ten
// fields, so readers of the first ten see no change.
//
// Each line goes to the end of the file in one write of the whole line; a
// write that comes up short is cut off again, so the file holds whole lines
// only, and earlier lines are never rewritten. New lines take the line end
// the file already uses (LF, CRLF or CR: it may have been saved by a
// spreadsheet). Before the next line, a last record without its line end
// gets one; only a really torn record (open quotes, a field count unlike the
// first line's) left by a power cut is cut off. A failure calls `status` once with a
// message for the status line; the next failures stay quiet until a line is
// written again. UI thread only.
class EventLog final {
public:
    static const QString FileName; // "events.csv"
    static const QString Header;
    // The camera's health log beside it, written the same careful way: one
    // line per lost, frozen, covered or restored camera.
    static const QString CameraFileName; // "camera.csv"
    static const QString CameraHeader;
    // Fields of a line without and with the note.
    static constexpr int Fields = 10;
    static constexpr int FieldsWithNote = 11;
    static const QString InterruptedNote; // "interrupted"
    static const QString CutNote;         // "cut"

    explicit EventLog(core::StatusSink status = {});

    // The file to write; usually the save folder + FileName.
    void setPath(const QString& path) { m_path = path; }
    const QString& path() const { return m_path; }

    // Appends the line of `event`. False when it could not be written.
    bool append(const MotionEvent& event);

    // For another log of this kind: its header line, and a record of
    // fields (each quoted as needed here).
    void setHeader(const QString& header) { m_header = header; }
    bool appendFields(const QStringList& fields);

    // The line of one event, without the line break.
    static QString line(const MotionEvent& event);
    // A field quoted for CSV when it holds a comma, a quote or a line break.
    static QString field(const QString& text);
    // "yyyy-MM-ddTHH:mm:ss.zzz", the clock's own time zone, no offset.
    static QString timeText(const QDateTime& time);

private:
    bool write(const QByteArray& line);
    void fail(const QString& reason);

    core::StatusSink m_status;
    QString m_path;
    QString m_header = Header;
    bool m_failing = false;
};

} // namespace vigilux::events
