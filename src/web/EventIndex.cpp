#include "web/EventIndex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vigilux::web {

namespace {

constexpr qint64 TailBytes = 4 * 1024 * 1024;

std::optional<EventEntry> parse(const QString& line) {
    const QStringList f = EventIndex::splitLine(line);
    if (f.size() < 9)
        return std::nullopt;
    EventEntry e;
    bool ok = false;
    e.number = f[0].toInt(&ok);
    if (!ok)
        return std::nullopt;
    e.start = QDateTime::fromString(f[1], Qt::ISODateWithMs);
    e.durationSeconds = f[3].toDouble();
    e.peakPercent = f[5].toInt();
    e.firstFile = QDir::fromNativeSeparators(f[6]);
    if (f.size() > 9 && !f[9].isEmpty())
        for (const QString& clip : f[9].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            e.clips << QDir::fromNativeSeparators(clip);
    return e;
}

} // namespace

QStringList EventIndex::splitLine(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

QList<EventEntry> EventIndex::read(const QString& csvPath) {
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size > TailBytes)
        file.seek(size - TailBytes);
    QList<QByteArray> lines = file.readAll().split('\n');
    if (size > TailBytes && !lines.isEmpty())
        lines.removeFirst(); // cut in the middle
    QList<EventEntry> events;
    for (const QByteArray& raw : lines) {
        if (auto e = parse(QString::fromUtf8(raw).trimmed()))
            events << *e;
    }
    return events;
}

std::optional<EventEntry> EventIndex::find(const QString& csvPath, int number) {
    const QList<EventEntry> events = read(csvPath);
    for (auto it = events.crbegin(); it != events.crend(); ++it)
        if (it->number == number)
            return *it;
    return std::nullopt;
}

QString EventIndex::resolveInside(const QString& folder, const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name) || name.contains(QLatin1Char('\\')))
        return {};
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty())
        return {};
    const QFileInfo target(QDir(root).filePath(name));
    const QString real = target.canonicalFilePath(); // resolves every link
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (real.isEmpty() || !real.startsWith(prefix) || !QFileInfo(real).isFile())
        return {};
    return real;
}

} // namespace vigilux::web
