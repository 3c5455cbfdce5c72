#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vigilux::web {

// One line of events.csv as the remote view shows it.
struct EventEntry {
    int number = 0;
    QDateTime start;
    double durationSeconds = 0;
    int peakPercent = 0;
    QString firstFile; // as the log names it, relative to the save folder
    QStringList clips; // likewise
};

// Reads events.csv (the last 4 MB of it, so a huge log costs a bounded
// read) and finds the files it names inside the save folder. The log is the
// only source of file names: an address carries an event number and which
// file, never a path. Any thread; reads the disk on each call.
namespace EventIndex {

QList<EventEntry> read(const QString& csvPath);
std::optional<EventEntry> find(const QString& csvPath, int number);

// The fields of one CSV line (quoted fields may hold commas and quotes).
QStringList splitLine(const QString& line);

// The regular file `name` inside `folder`, with every symbolic link
// resolved; empty when the name is absolute, leaves the folder (by "..", a
// link or otherwise) or names no regular file.
QString resolveInside(const QString& folder, const QString& name);

} // namespace EventIndex

} // namespace vigilux::web
