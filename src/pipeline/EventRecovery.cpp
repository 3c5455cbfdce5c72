#include "pipeline/EventRecovery.h"

#include "core/LineJournal.h"
#include "events/EventLog.h"
#include "pipeline/EventJournal.h"
#include "platform/RegularFile.h"
#include "video/VideoDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <map>
#include <utility>

namespace vigilux::pipeline {

namespace {

// More pictures than one event saves in days; a larger count in a journal is
// not one the program wrote.
constexpr int MaxFiles = 1000000;
constexpr int MaxRecords = 100000;

// One event as the journal tells it.
struct JournalEvent : EventJournal::EventRecord {
    bool known = false; // its start was journalled (a clip begun after its event has none)
    QStringList clips;  // every clip of the event, in the order they began
};

struct JournalState {
    int records = 0;
    std::map<qint64, JournalEvent> events; // by start, ms since the epoch
    QStringList openClips;                 // created and neither handed over nor removed
    std::map<QString, qint64> clipEvent;   // clip -> start of its event
};

// Splits a record into at most `count` fields; the last one takes the rest
// (a path may hold anything but a line break).
QStringList fields(const QString& line, int count) {
    QStringList parts;
    qsizetype from = 0;
    while (parts.size() + 1 < count) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'), from);
        if (tab < 0)
            break;
        parts << line.mid(from, tab - from);
        from = tab + 1;
    }
    parts << line.mid(from);
    return parts;
}

JournalState readJournal(core::LineJournal& journal, bool* ok) {
    JournalState state;
    *ok = journal.forEach([&state](const QString& line) {
        // The program's journal is emptied after every event and written
        // again in short during a long one; more is not its own.
        if (++state.records > MaxRecords)
            return;
        const QString kind = line.section(QLatin1Char('\t'), 0, 0);
        bool valid = true;
        if (kind == QLatin1String("closed")) {
            const QString path = fields(line, 2).value(1);
            state.openClips.removeAll(path);
            return;
        }
        const QStringList f = fields(line, kind == QLatin1String("seen") ? 5 : 4);
        const qint64 start = f.value(1).toLongLong(&valid);
        if (!valid)
            return; // not a record the program wrote
        if (kind == QLatin1String("event")) {
            JournalEvent& e = state.events[start];
            e.number = f.value(2).toInt();
            e.seen = std::max(e.seen, start);
            e.known = true;
        } else if (kind == QLatin1String("seen")) {
            JournalEvent& e = state.events[start];
            e.seen = std::max(e.seen, f.value(2).toLongLong());
            e.steps = std::max(e.steps, f.value(3).toInt());
            e.peak = std::max(e.peak, f.value(4).toInt());
        } else if (kind == QLatin1String("file")) {
            JournalEvent& e = state.events[start];
            const QString path = f.value(3);
            if (e.firstFile.isEmpty())
                e.firstFile = path;
            e.lastFile = path;
            e.files = std::max(e.files, f.value(2).toInt());
        } else if (kind == QLatin1String("clip")) {
            const QString path = fields(line, 3).value(2);
            if (path.isEmpty() || state.clipEvent.count(path))
                return;
            state.events[start].clips << path;
            state.openClips << path;
            state.clipEvent[path] = start;
        } else if (kind == QLatin1String("cut")) {
            state.events[start].cut = true;
        } else if (kind == QLatin1String("logged")) {
            state.events[start].logged = true;
        }
    });
    return state;
}

} // namespace

EventRecovery::EventRecovery(QString journalPath, QString saveFolder, core::StatusSink status)
    : m_journalPath(std::move(journalPath))
    , m_saveFolder(std::move(saveFolder))
    , m_status(std::move(status)) {}

bool EventRecovery::plays(const QString& clip, QDateTime* lastFrame) {
    video::VideoDecoder decoder;
    if (!decoder.open(clip))
        return false;
    std::int64_t lastMs = -1;
    while (decoder.next())
        lastMs = decoder.time().floorMs();
    if (lastMs < 0)
        return false;
    // The clip states when its first frame was taken.
    const std::optional<QDateTime> first = decoder.recordedAt();
    if (lastFrame)
        *lastFrame = first ? first->toLocalTime().addMSecs(lastMs) : QDateTime();
    return true;
}

int EventRecovery::run(const HandOver& handOver) {
    core::LineJournal journal(m_journalPath);
    bool readable = true;
    JournalState state = readJournal(journal, &readable);
    if (!readable) {
        if (m_status)
            m_status(QStringLiteral(" Журнал открытых событий не прочитан: ") +
                     journal.lastError());
        return 0;
    }
    if (state.records == 0)
        return 0; // nothing was left open; the file is left as it is
    const auto say = [this](const QString& text) {
        if (m_status)
            m_status(text);
    };

    // The clips first: an event's end and its line depend on what plays.
    std::map<qint64, QStringList> playable; // event start -> its clips that play
    std::map<QString, QDateTime> lastFrame;
    for (const QString& clip : std::as_const(state.openClips)) {
        const qint64 start = state.clipEvent[clip];
        if (!QFileInfo::exists(clip) && !QFileInfo(clip).isSymLink()) {
            state.events[start].clips.removeAll(clip);
            continue; // removed meanwhile (the file limit, by hand)
        }
        if (!platform::RegularFile::isInside(clip, m_saveFolder)) {
            say(QStringLiteral(" Видео вне папки сохранения пропущено: ") +
                QDir::toNativeSeparators(clip));
            state.events[start].clips.removeAll(clip);
            continue;
        }
        QDateTime last;
        if (plays(clip, &last)) {
            playable[start] << clip;
            lastFrame[clip] = last;
            continue;
        }
        QFile::remove(clip);
        state.events[start].clips.removeAll(clip);
        state.events[start].cut = true;
        say(QStringLiteral(
                " Видео прерванного события удалено: в нём нет ни одного целого кадра (") +
            QDir::toNativeSeparators(clip) + QLatin1Char(')'));
    }

    QString folder = m_saveFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    events::EventLog log(m_status);
    log.setPath(folder + events::EventLog::FileName);
    const QDir dir(folder);
    int finished = 0;
    for (auto& [start, e] : state.events) {
        const QStringList clips = playable.count(start) ? playable[start] : QStringList();
        if ((e.logged || !e.known) && clips.isEmpty())
            continue;
        RecoveredEvent r;
        r.event.number = e.number;
        r.event.startTime = QDateTime::fromMSecsSinceEpoch(start);
        QDateTime end = QDateTime::fromMSecsSinceEpoch(std::max(e.seen, start));
        for (const QString& clip : clips)
            if (lastFrame[clip].isValid() && lastFrame[clip] > end)
                end = lastFrame[clip];
        r.event.endTime = end;
        r.event.endMs = static_cast<double>(r.event.startTime.msecsTo(end));
        r.event.steps = e.steps;
        r.event.peakChange = e.peak;
        if (e.files > 0) {
            // The log names the first and the last picture and counts them;
            // the count is bounded, whatever the journal says.
            r.event.files << e.firstFile;
            for (int i = 1; i < std::min(e.files, MaxFiles); ++i)
                r.event.files << e.lastFile;
        }
        r.event.clips = e.clips;
        r.event.interrupted = true;
        r.event.clipCut = e.cut;
        r.clips = clips;
        // Only an event whose start is known gets a line; a clip alone is
        // handed over.
        if (!e.logged && e.known && !folder.isEmpty()) {
            events::MotionEvent logged = r.event;
            for (QString& file : logged.files)
                file = dir.relativeFilePath(file);
            for (QString& clip : logged.clips)
                clip = dir.relativeFilePath(clip);
            r.loggedNow = log.append(logged);
            if (r.loggedNow)
                journal.append(QStringLiteral("logged\t") + QString::number(start));
        }
        if (handOver)
            handOver(r);
        for (const QString& clip : clips)
            journal.append(QStringLiteral("closed\t") + clip);
        ++finished;
    }
    if (!journal.rewrite({}) && m_status)
        m_status(QStringLiteral(" Не удалось очистить журнал открытых событий: ") +
                 journal.lastError());
    if (finished > 0)
        say(QStringLiteral(" Завершено событий, прерванных при прошлом запуске: %1").arg(finished));
    return finished;
}

} // namespace vigilux::pipeline
